// option_table.h — a command line's options as one table, from which the
// parser's short-option string, its long-option table and the --help text
// are built when the program is compiled.
//
// Each option is written once, in one row: how it is spelt, what
// getopt_long returns for it, its argument and its help. So --help cannot
// list an option the parser does not take, or miss one it does; the docs
// check (tests/packaging) holds the manual pages and the README against
// the same rows. A row with neither spelling is text that --help prints as
// it stands (a heading, a paragraph, the usage lines).
//
// The help lays an option out in two columns,
//   "  " spelling [" " argument], padded with blanks to `column`, its help
// and a spelling too wide for the first column (it would leave no blank
// before the help) stands on a line of its own, its help on the next one
// at `column`. Each '\n' in a help starts a further line at `column`.
//
// Everything here runs in the compiler: what reaches the program is the
// two getopt tables and one help text per table, as if written by hand.
#ifndef TESSEL_MAIN_OPTION_TABLE_H_
#define TESSEL_MAIN_OPTION_TABLE_H_

#include <getopt.h>

#include <array>
#include <cstddef>
#include <iterator>

namespace tessel {

struct OptionRow {
  const char* long_name;   // "force" for --force; null for a short option alone
  int code;                // what getopt_long returns; a short option's letter
  const char* argument;    // as the help shows it ("<file>", "PATH"); null: none
  const char* help;        // without its last '\n'; a text row: lines as printed
  bool short_too = false;  // a long option whose code is also a short one (-q)
};

// Lines --help prints as they stand, each with its '\n'.
constexpr OptionRow text_row(const char* lines) { return {nullptr, 0, nullptr, lines}; }

constexpr bool is_text(const OptionRow& row) { return row.long_name == nullptr && row.code == 0; }

constexpr bool has_short_spelling(const OptionRow& row) {
  return row.code != 0 && (row.long_name == nullptr || row.short_too);
}

// Writes the help of `rows` to `out` when it is not null; returns its length
// (without a terminator) either way, so that one function both sizes and
// fills the text.
constexpr size_t lay_out_help(const OptionRow* rows, size_t count, size_t column, char* out) {
  size_t at = 0;
  size_t line = 0;  // characters since the line began
  auto put = [&](char c) {
    if (out != nullptr) out[at] = c;
    ++at;
    line = c == '\n' ? 0 : line + 1;
  };
  auto put_text = [&](const char* s) {
    while (*s != '\0') put(*s++);
  };
  for (size_t i = 0; i < count; ++i) {
    const OptionRow& row = rows[i];
    if (is_text(row)) {
      put_text(row.help);
      continue;
    }
    put_text("  ");
    if (row.long_name != nullptr) {
      put_text("--");
      put_text(row.long_name);
    } else {
      put('-');
      put(static_cast<char>(row.code));
    }
    if (row.argument != nullptr) {
      put(' ');
      put_text(row.argument);
    }
    if (line + 1 > column) put('\n');
    while (line < column) put(' ');
    for (const char* h = row.help; *h != '\0'; ++h) {
      put(*h);
      while (*h == '\n' && line < column) put(' ');
    }
    put('\n');
  }
  return at;
}

// The --help text of `kRows` with its options' help at `kColumn`, ending in
// a terminator: print it with fputs(text.data(), ...).
template <const auto& kRows, size_t kColumn>
constexpr auto help_text() {
  constexpr size_t kLength = lay_out_help(kRows, std::size(kRows), kColumn, nullptr);
  std::array<char, kLength + 1> text{};
  lay_out_help(kRows, std::size(kRows), kColumn, text.data());
  return text;
}

// getopt_long's short-option string of `kRows`: each short option's letter,
// followed by ':' when it takes an argument.
template <const auto& kRows>
constexpr auto short_options() {
  constexpr size_t kLength = [] {
    size_t n = 0;
    for (const OptionRow& row : kRows) {
      if (has_short_spelling(row)) n += row.argument != nullptr ? 2 : 1;
    }
    return n;
  }();
  std::array<char, kLength + 1> text{};
  size_t at = 0;
  for (const OptionRow& row : kRows) {
    if (!has_short_spelling(row)) continue;
    text[at++] = static_cast<char>(row.code);
    if (row.argument != nullptr) text[at++] = ':';
  }
  return text;
}

// getopt_long's long-option table of `kRows`, in the rows' order (which is
// the order of the parser's "possibilities" for an ambiguous abbreviation),
// ending in the all-zero row.
template <const auto& kRows>
constexpr auto long_options() {
  constexpr size_t kCount = [] {
    size_t n = 0;
    for (const OptionRow& row : kRows) n += row.long_name != nullptr ? 1 : 0;
    return n;
  }();
  std::array<option, kCount + 1> table{};
  size_t at = 0;
  for (const OptionRow& row : kRows) {
    if (row.long_name == nullptr) continue;
    table[at++] = option{row.long_name, row.argument != nullptr ? required_argument : no_argument,
                         nullptr, row.code};
  }
  return table;
}

}  // namespace tessel

#endif  // TESSEL_MAIN_OPTION_TABLE_H_
