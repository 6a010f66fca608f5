// The escaping rules of each output format, field by field.
#include "cli/row_writer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "cli/table_writer.h"
#include "text/codepage.h"

namespace cli {
namespace {

struct EscapeCase {
  std::string field;
  std::string tab;
  std::string csv;
  std::string json;
};

TEST(RowWriter, EscapesEachFieldByItsFormatsRules) {
  const std::vector<EscapeCase> cases = {
      {"plain", "plain", "plain", "\"plain\""},
      {"", "", "", "\"\""},
      {"a,b", "a,b", "\"a,b\"", "\"a,b\""},
      {"say \"hi\"", "say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \\\"hi\\\"\""},
      {"\"", "\"", "\"\"\"\"", "\"\\\"\""},
      {"two\nlines", "two\\nlines", "\"two\nlines\"", "\"two\\nlines\""},
      {"cr\rhere", "cr\\rhere", "\"cr\rhere\"", "\"cr\\rhere\""},
      {"tab\there", "tab\\there", "tab\there", "\"tab\\there\""},
      {"back\\slash", "back\\\\slash", "back\\slash", "\"back\\\\slash\""},
      {" padded ", " padded ", " padded ", "\" padded \""},
      {"semi;colon", "semi;colon", "semi;colon", "\"semi;colon\""},
      // Controls never reach a terminal from text or tsv.
      {"bell\x07", "bell\\x07", "bell\x07", "\"bell\\u0007\""},
      {"\x1b]52;c;eA==\x07\x7f", "\\x1b]52;c;eA==\\x07\\x7f", "\x1b]52;c;eA==\x07\x7f",
       "\"\\u001b]52;c;eA==\\u0007\\u007f\""},
      // A field that a spreadsheet may take for a formula stays as it is.
      {"=1+2", "=1+2", "=1+2", "\"=1+2\""},
      {"Grüße €", "Grüße €", "Grüße €", "\"Grüße €\""},
      // Bytes that are not UTF-8 never reach a json document as they are.
      {"bad\xFF", "bad\xFF", "bad\xFF", "\"bad\xEF\xBF\xBD\""},
      {"cut\xE2\x82", "cut\xE2\x82", "cut\xE2\x82", "\"cut\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const EscapeCase& c : cases) {
    std::string tab;
    AppendTabEscaped(tab, c.field);
    EXPECT_EQ(tab, c.tab) << c.field;
    std::string csv;
    AppendCsvField(csv, c.field);
    EXPECT_EQ(csv, c.csv) << c.field;
    std::string json;
    AppendJsonString(json, c.field);
    EXPECT_EQ(json, c.json) << c.field;
  }
}

TEST(RowWriter, Cp1252ConversionAgreesWithTheCodePageModule) {
  std::string every;
  for (int byte = 0; byte < 256; ++byte)
    every += static_cast<char>(byte);
  // Mostly ASCII with a translated byte now and then, at every position within eight bytes and
  // across the blocks the conversion works in.
  std::string mixed;
  const char alphabet[] = "abcdefgh \xE4\xFC\x80\\\t\n\r";
  std::uint32_t seed = 7;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 1103515245u + 12345u;
    mixed += (seed >> 16) % 4 != 0 ? 'x' : alphabet[(seed >> 8) % (sizeof alphabet - 1)];
  }
  for (const std::string& bytes : {every,
                                   std::string("Gr\xFC\xDF"
                                               "e \x80 \x84x\x93"),
                                   mixed, std::string()}) {
    std::string converted = "prefix";
    AppendCp1252AsUtf8(converted, bytes);
    EXPECT_EQ(converted, "prefix" + text::Cp1252ToUtf8(bytes));
    std::string escaped;
    AppendTabEscaped(escaped, bytes);
    std::string expected;
    for (const char c : bytes) {
      const char* escape = c == '\t'   ? "\\t"
                           : c == '\n' ? "\\n"
                           : c == '\r' ? "\\r"
                           : c == '\\' ? "\\\\"
                                       : nullptr;
      const auto byte = static_cast<unsigned char>(c);
      // Controls, and the five bytes that Windows-1252 leaves undefined (C1 controls in Unicode).
      const std::string character = text::Cp1252ToUtf8(std::string(1, c));
      const bool control = byte < 0x20 || byte == 0x7F ||
                           (character.size() == 2 && character[0] == '\xC2' &&
                            static_cast<unsigned char>(character[1]) <= 0x9F);
      static constexpr char kHex[] = "0123456789abcdef";
      expected += escape != nullptr ? std::string(escape)
                  : control         ? std::string{'\\', 'x', kHex[byte >> 4], kHex[byte & 15]}
                                    : std::string(1, c);
    }
    EXPECT_EQ(escaped, expected);
  }
}

TEST(RowWriter, EmptyDocumentsStayValid) {
  static constexpr std::array<Column, 2> kColumns{
      {{"n", ColumnKind::kNumber}, {"t", ColumnKind::kText}}};
  struct EmptyCase {
    Format format;
    bool header;
    std::string expected;
  };
  const std::vector<EmptyCase> cases = {
      {Format::kText, true, ""},       {Format::kTsv, true, "n\tt\n"}, {Format::kTsv, false, ""},
      {Format::kCsv, true, "n,t\r\n"}, {Format::kJson, true, "[]\n"},  {Format::kJsonl, true, ""},
  };
  for (const EmptyCase& c : cases) {
    std::ostringstream out;
    Options options;
    options.format = c.format;
    options.header = c.header;
    { RowWriter writer(out, options, kColumns); }
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(RowWriter, EmptyNumberIsJsonNullAndTextsAreConverted) {
  static constexpr std::array<Column, 2> kColumns{
      {{"n", ColumnKind::kNumber}, {"t", ColumnKind::kText}}};
  std::ostringstream out;
  Options options;
  options.format = Format::kJsonl;
  RowWriter writer(out, options, kColumns);
  const std::array<std::string, 2> row = {"", "\x80\x81\xFC"};
  writer.Row(row);
  writer.Finish();
  EXPECT_EQ(out.str(), "{\"n\":null,\"t\":\"€\xC2\x81ü\"}\n");
}

TEST(RowWriter, TextRowsEscapeTheControlsOfTextsAndNames) {
  static constexpr std::array<Column, 2> kColumns{
      {{"name", ColumnKind::kName}, {"t", ColumnKind::kText}}};
  // A name in UTF-8 with a C0 control, a C1 control and a lone byte that an 8-bit terminal would
  // take for one; a text whose undefined byte becomes U+009D.
  const std::array<std::string, 2> row = {"a\x1b[2J\xC2\x9d\x9b\xC3\xA4\t\\", "b\x9d\x1b\xFC"};
  for (const Encoding encoding : {Encoding::kUtf8, Encoding::kCp1252}) {
    std::ostringstream out;
    Options options;
    options.encoding = encoding;
    RowWriter writer(out, options, kColumns);
    writer.Row(row);
    writer.Finish();
    EXPECT_EQ(out.str(), encoding == Encoding::kUtf8
                             ? "a\\x1b[2J\\u009d\\x9b\xC3\xA4\\t\\\\\tb\\u009d\\x1b\xC3\xBC\n"
                             : "a\\x1b[2J\\u009d\\x9b\xC3\xA4\\t\\\\\tb\\x9d\\x1b\xFC\n");
  }
}

TEST(RowWriter, LargeOutputArrivesWholeAndInOrder) {
  static constexpr std::array<Column, 1> kColumns{{{"n", ColumnKind::kNumber}}};
  std::ostringstream out;
  Options options;
  RowWriter writer(out, options, kColumns);
  std::string expected;
  for (int i = 0; i < 50000; ++i) {
    const std::array<std::string, 1> row = {std::to_string(i)};
    writer.Row(row);
    expected += row[0] + "\n";
  }
  writer.Finish();
  EXPECT_EQ(out.str(), expected);
}

}  // namespace
}  // namespace cli

namespace cli {
namespace {

// What the table format writes for `rows`, at a terminal of `width` columns (0: none).
std::string Table(const std::vector<std::array<std::string, 3>>& rows, std::size_t width) {
  static constexpr std::array<Column, 3> kColumns{{
      {"n", ColumnKind::kNumber},
      {"name", ColumnKind::kName},  // UTF-8 as given
      {"text", ColumnKind::kText},  // Windows-1252
  }};
  Options options;
  options.format = Format::kTable;
  options.terminalWidth = width;
  std::ostringstream out;
  RowWriter writer(out, options, kColumns);
  for (const std::array<std::string, 3>& row : rows)
    writer.Row(row);
  writer.Finish();
  return out.str();
}

TEST(RowWriter, TableAlignsByDisplayWidthAndCutsOnlyAtATerminal) {
  const std::vector<std::array<std::string, 3>> rows = {
      {"1", "Grüße",
       "Stra\xDF"
       "e und \xC4rger"},              // umlauts: one column each
      {"22", "日本", "x"},             // wide: two columns each
      {"3", "e\u0301te", "\x1B[31m"},  // a combining mark: none; a control escaped
  };
  EXPECT_EQ(Table(rows, 0),
            " n  name   text\n"
            " 1  Grüße  Straße und Ärger\n"
            "22  日本   x\n"
            " 3  e\u0301te    \\x1B[31m\n");
  // 20 columns: the numbers and gaps take 6, the text columns share 14.
  EXPECT_EQ(Table(rows, 20),
            " n  name   text\n"
            " 1  Grüße  Straße u…\n"
            "22  日本   x\n"
            " 3  e\u0301te    \\x1B[31m\n");
  // A wide character that would straddle the cut stays out whole (6 columns: 日本 and "…").
  EXPECT_EQ(Table({{"1", "日本語の本", "abc"}}, 15),
            "n  name    text\n"
            "1  日本…   abc\n");
  EXPECT_EQ(DisplayWidth("e\u0301日\xFF"), 4u);
}

}  // namespace
}  // namespace cli
