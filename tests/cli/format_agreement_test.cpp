// Every verb that prints rows gives the same table in every format: each output is parsed back
// (text and tsv unescaped, csv by RFC 4180, json and jsonl as JSON) and compared with the others.
#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "golden_libraries.h"

namespace cli::testing {
namespace {

using Table = std::vector<std::vector<std::string>>;

std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

// Lines of tab-separated, escaped fields.
Table ParseTabbed(const std::string& text) {
  Table table;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = text.find('\n', from);
    EXPECT_NE(end, std::string::npos) << "the last line ends with a newline";
    const std::string line = text.substr(from, end - from);
    std::vector<std::string> row;
    std::size_t start = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      row.push_back(Unescape(line.substr(start, tab - start)));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    table.push_back(row);
    from = end + 1;
  }
  return table;
}

// RFC 4180: records end with CRLF; a quoted field may hold commas, CRLF and doubled quotes.
Table ParseCsv(const std::string& text) {
  Table table;
  std::vector<std::string> row;
  std::string field;
  std::size_t i = 0;
  bool fieldStarted = false;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && !fieldStarted) {
      ++i;
      for (;;) {
        EXPECT_LT(i, text.size()) << "unterminated quoted field";
        if (i >= text.size()) return table;
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
      fieldStarted = true;
      continue;
    }
    if (c == ',') {
      row.push_back(field);
      field.clear();
      fieldStarted = false;
      ++i;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(field);
      table.push_back(row);
      row.clear();
      field.clear();
      fieldStarted = false;
      i += 2;
      continue;
    }
    EXPECT_NE(c, '"') << "a quote inside an unquoted field";
    EXPECT_NE(c, '\n') << "a bare line feed outside quotes";
    field += c;
    fieldStarted = true;
    ++i;
  }
  EXPECT_TRUE(row.empty() && field.empty()) << "the last record ends with CRLF";
  return table;
}

// Whether field `name` of a json row must be a number (null where it is empty): the numeric
// columns, and info's value where the property is a count or a size.
bool IsNumberField(const nlohmann::json& object, const std::string& name) {
  static const std::set<std::string> kColumns = {"library", "entry",          "entries",
                                                 "status",  "target_library", "target_entry"};
  static const std::set<std::string> kInfoProperties = {
      "page-size",         "record-length", "physical-record-length",
      "records",           "pages",         "keys",
      "data-length",       "entry-length",  "header-records",
      "records-per-entry", "entries",       "entries-in-file"};
  if (name == "value") {
    const auto property = object.find("property");
    return property != object.end() && property->is_string() &&
           kInfoProperties.count(property->get<std::string>()) > 0;
  }
  return kColumns.count(name) > 0;
}

std::vector<std::string> JsonRow(const nlohmann::json& object,
                                 const std::vector<std::string>& names) {
  EXPECT_TRUE(object.is_object()) << object;
  EXPECT_EQ(object.size(), names.size());
  std::vector<std::string> row;
  for (const std::string& name : names) {
    const auto value = object.find(name);
    if (value == object.end()) {
      ADD_FAILURE() << "no member " << name << " in " << object;
      row.push_back("");
      continue;
    }
    EXPECT_EQ(value->is_number_integer() || value->is_null(), IsNumberField(object, name))
        << name << " in " << object;
    if (value->is_number_integer()) {
      row.push_back(std::to_string(value->get<std::int64_t>()));
    } else if (value->is_null()) {
      row.push_back("");
    } else {
      EXPECT_TRUE(value->is_string()) << name << ": " << *value;
      row.push_back(value->is_string() ? value->get<std::string>() : value->dump());
    }
  }
  return row;
}

class FormatAgreement : public ::testing::TestWithParam<std::vector<std::string>> {
 protected:
  RunResult RunIn(const std::string& format) {
    std::vector<std::string> arguments;
    for (const std::string& argument : GetParam())
      arguments.push_back(ReplaceAll(argument, "{DIR}", m_dir.Path()));
    arguments.push_back("--format=" + format);
    return RunKl7(arguments);
  }

  GoldenLibraries m_dir;
};

TEST_P(FormatAgreement, EveryFormatGivesTheSameTable) {
  const RunResult text = RunIn("text");
  const RunResult tsv = RunIn("tsv");
  const RunResult csv = RunIn("csv");
  const RunResult json = RunIn("json");
  const RunResult jsonl = RunIn("jsonl");
  for (const RunResult* result : {&tsv, &csv, &json, &jsonl}) {
    EXPECT_EQ(result->exitStatus, text.exitStatus);
    EXPECT_EQ(result->err, text.err);
  }

  const Table rows = ParseTabbed(text.out);
  ASSERT_FALSE(rows.empty());
  Table tsvRows = ParseTabbed(tsv.out);
  ASSERT_FALSE(tsvRows.empty());
  const std::vector<std::string> names = tsvRows.front();
  tsvRows.erase(tsvRows.begin());
  EXPECT_EQ(tsvRows, rows);

  Table csvRows = ParseCsv(csv.out);
  ASSERT_FALSE(csvRows.empty());
  EXPECT_EQ(csvRows.front(), names);
  csvRows.erase(csvRows.begin());
  EXPECT_EQ(csvRows, rows);

  const nlohmann::json document = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_TRUE(document.is_array()) << json.out;
  Table jsonRows;
  for (const nlohmann::json& object : document)
    jsonRows.push_back(JsonRow(object, names));
  EXPECT_EQ(jsonRows, rows);

  Table jsonlRows;
  std::size_t from = 0;
  while (from < jsonl.out.size()) {
    const std::size_t end = jsonl.out.find('\n', from);
    ASSERT_NE(end, std::string::npos) << "the last line ends with a newline";
    const std::string line = jsonl.out.substr(from, end - from);
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    ASSERT_TRUE(object.is_object()) << "one object per line: " << line;
    jsonlRows.push_back(JsonRow(object, names));
    from = end + 1;
  }
  EXPECT_EQ(jsonlRows, rows);
}

INSTANTIATE_TEST_SUITE_P(
    Verbs, FormatAgreement,
    ::testing::Values(std::vector<std::string>{"info", "{DIR}/KL701.DAT", "{DIR}/KL702.DAT"},
                      std::vector<std::string>{"list", "{DIR}"},
                      std::vector<std::string>{"dump", "{DIR}", "1"},
                      std::vector<std::string>{"dump", "{DIR}/KL702.DAT"},
                      std::vector<std::string>{"export", "{DIR}"},
                      std::vector<std::string>{"export", "{DIR}", "--no-resolve"},
                      std::vector<std::string>{"find", "E", "{DIR}"},
                      std::vector<std::string>{"check", "{DIR}"},
                      std::vector<std::string>{"refs", "--all", "{DIR}"},
                      std::vector<std::string>{"refs", "{DIR}", "1"},
                      std::vector<std::string>{"dump", "--detail", "{DIR}", "2"},
                      std::vector<std::string>{"export", "--detail", "{DIR}"}),
    [](const ::testing::TestParamInfo<std::vector<std::string>>& info) {
      return info.param.front() + std::to_string(info.index);  // "dump2": the verb, and which
    });

}  // namespace
}  // namespace cli::testing
