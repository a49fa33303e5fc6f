// The option table builder: what getopt_long is given and how --help lays
// the options out, from a small table written here; the expected bytes are
// written by hand. (docs_list_the_options holds the real tables against
// the docs; the end-to-end tests run the real parsers.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "main/option_table.h"

namespace {

using tessel::OptionRow;

constexpr OptionRow kRows[] = {
    tessel::text_row("Usage: x [options]\n"),
    {nullptr, 'd', "<dev>", "the device"},
    {"force", 'F', nullptr, "two lines\nof help"},
    {"quiet", 'q', nullptr, "also -q", true},
    {"hostile-end", 'E', nullptr, "the widest that keeps its line"},
    {"too-wide", 'L', "<n>", "alone above its help"},
    {nullptr, 'h', nullptr, "usage"},
};

TEST(OptionTable, ShortStringLongTableAndHelpAreBuiltFromTheRows) {
  constexpr auto kShort = tessel::short_options<kRows>();
  EXPECT_STREQ(kShort.data(), "d:qh");

  constexpr auto kLong = tessel::long_options<kRows>();
  ASSERT_EQ(kLong.size(), 5u);  // four long options and getopt_long's all-zero end
  const char* const names[] = {"force", "quiet", "hostile-end", "too-wide"};
  const int codes[] = {'F', 'q', 'E', 'L'};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_STREQ(kLong[i].name, names[i]);
    EXPECT_EQ(kLong[i].has_arg, i == 3 ? required_argument : no_argument);
    EXPECT_EQ(kLong[i].flag, nullptr);
    EXPECT_EQ(kLong[i].val, codes[i]);
  }
  EXPECT_EQ(kLong[4].name, nullptr);
  EXPECT_EQ(kLong[4].val, 0);

  // Help at column 16: "  --hostile-end" is 15 wide and keeps one blank;
  // "  --too-wide <n>", 16 wide, would leave none.
  constexpr auto kHelp = tessel::help_text<kRows, 16>();
  EXPECT_EQ(std::string(kHelp.data()),
            "Usage: x [options]\n"
            "  -d <dev>      the device\n"
            "  --force       two lines\n"
            "                of help\n"
            "  --quiet       also -q\n"
            "  --hostile-end the widest that keeps its line\n"
            "  --too-wide <n>\n"
            "                alone above its help\n"
            "  -h            usage\n");
  EXPECT_EQ(std::strlen(kHelp.data()) + 1, kHelp.size());  // sized to the text
}

}  // namespace
