// The summary as a script reads it: the key=value line and, with --json,
// one JSON object with the same fields, whose strings stay valid JSON
// whatever bytes they hold. (tests/e2e/operator_output_test.cpp parses the
// tool's own output with a real JSON parser.)
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "main/json_text.h"
#include "main/outcome.h"

namespace {

// What `write` puts on a stream.
template <typename Write>
std::string written(Write write) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  EXPECT_NE(out, nullptr);
  write(out);
  std::fclose(out);
  std::string s(text, size);
  std::free(text);
  return s;
}

std::string json(const std::string& text) {
  return written([&](std::FILE* out) { tessel::put_json_string(text.c_str(), out); });
}

TEST(JsonText, EveryByteComesOutAsValidJson) {
  struct Case {
    const char* what;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "OK", "\"OK\""},
      {"empty", "", "\"\""},
      {"quote and backslash", "say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
      {"line ends and tabs", "\b\f\n\r\t", "\"\\u0008\\u000c\\u000a\\u000d\\u0009\""},
      {"other controls and DEL", "\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
      {"ESC of a terminal sequence", "\x1b[2J", "\"\\u001b[2J\""},
      {"two-, three-, four-byte UTF-8", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\xb6",
       "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\xb6\""},
      {"highest code points", "\xef\xbf\xbf\xf4\x8f\xbf\xbf", "\"\xef\xbf\xbf\xf4\x8f\xbf\xbf\""},
      {"a stray continuation byte", "a\x80z", "\"a\\ufffdz\""},
      {"Latin-1, not UTF-8", "caf\xe9", "\"caf\\ufffd\""},
      {"overlong slash", "\xc0\xaf", "\"\\ufffd\\ufffd\""},
      {"overlong three bytes", "\xe0\x80\xaf", "\"\\ufffd\\ufffd\\ufffd\""},
      {"a surrogate", "\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
      {"above U+10FFFF", "\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
      {"F5 and FF", "\xf5\xff", "\"\\ufffd\\ufffd\""},
      {"cut at the end", "x\xe2\x82", "\"x\\ufffd\\ufffd\""},
      {"cut by the next character", "\xe2\x82\"", "\"\\ufffd\\ufffd\\\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(json(c.in), c.out) << c.what;
}

// One list of fields feeds both styles: same keys, same order, same values;
// in JSON the numbers bare and '-' as null.
TEST(Summary, JsonHoldsTheKeyValueLinesFieldsInOrder) {
  tessel::SarOutcome sar(tessel::Job::kUpdate, 48001);
  sar.result = tessel::SarResult::kUpdated;
  sar.size = 3000;
  sar.have_file_md5 = true;
  sar.file_md5.fill(0xab);
  sar.apply = "unanswered";
  const std::string file = "abababababababababababababababab";  // 16 bytes of 0xab
  struct Case {
    std::string key_value;
    std::string json;
  };
  tessel::AtOutcome error;
  error.result = tessel::AtResult::kError;
  error.final = "CME_ERROR";
  error.code = 10;
  tessel::SarOutcome failed(tessel::Job::kUpdate);
  failed.fail(tessel::Status(tessel::Code::kNoChannel).at(tessel::Step::kConnect));
  const auto both = [](const auto& o) {
    return Case{written([&](std::FILE* f) { print_summary(o, tessel::SummaryStyle::kKeyValue, f); }),
                written([&](std::FILE* f) { print_summary(o, tessel::SummaryStyle::kJson, f); })};
  };
  const Case got[] = {both(sar), both(error), both(failed)};
  const Case want[] = {
      {"result=updated item=48001 size=3000 file_md5=" + file +
           " modem_md5=- step=- apply=unanswered\n",
       "{\"result\":\"updated\",\"item\":48001,\"size\":3000,\"file_md5\":\"" + file +
           "\",\"modem_md5\":null,\"step\":null,\"apply\":\"unanswered\"}\n"},
      {"result=error final=CME_ERROR code=10 step=-\n",
       "{\"result\":\"error\",\"final\":\"CME_ERROR\",\"code\":10,\"step\":null}\n"},
      {"result=failed item=0 size=- file_md5=- modem_md5=- step=connect apply=-\n",
       "{\"result\":\"failed\",\"item\":0,\"size\":null,\"file_md5\":null,\"modem_md5\":null,"
       "\"step\":\"connect\",\"apply\":null}\n"},
  };
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_EQ(got[i].key_value, want[i].key_value);
    EXPECT_EQ(got[i].json, want[i].json);
  }
}

}  // namespace
