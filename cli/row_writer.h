// Prints rows in the chosen format: text and tsv (tab-separated, with \t \n \r \\ escaped; tsv has
// a header row), csv (RFC 4180, header row, CRLF), json (one array of objects), jsonl (one
// object per line) and table (aligned columns, written at the end). Output is collected and
// written in large pieces.
#pragma once

#include <exception>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/options.h"

namespace cli {

enum class ColumnKind {
  kNumber,  // decimal digits (a number in json; null when empty)
  kText,    // an entry text in Windows-1252: converted to UTF-8 unless cp1252 output is asked for
  kName,    // a path or a fixed word, bytes as the system gave them (UTF-8 expected)
  kValue,   // a number in json when it is one (decimal digits), otherwise a kName
};

struct Column {
  std::string_view name;
  ColumnKind kind;
};

class TableLayout;

class RowWriter {
 public:
  // `columns` must outlive the writer. The header row (csv and tsv, unless switched off) and the
  // opening bracket of json are written with the first row or by Finish.
  RowWriter(std::ostream& out, const Options& options, std::span<const Column> columns);
  ~RowWriter();

  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // One row; `fields` holds one field per column.
  void Row(std::span<const std::string> fields);
  // Ends the document (json's closing bracket) and writes what is collected.
  void Finish();

 private:
  void Start();
  void Field(std::string_view field, ColumnKind kind);
  void Flush();

  std::ostream& m_out;
  Format m_format;
  Encoding m_encoding;
  bool m_header;
  std::span<const Column> m_columns;
  std::string m_buffer;
  std::string m_scratch;
  bool m_started = false;
  bool m_finished = false;
  bool m_anyRow = false;
  std::unique_ptr<TableLayout> m_table;  // the table format's rows, until Finish
  std::size_t m_terminalWidth;
  int m_exceptions = std::uncaught_exceptions();  // those unwinding when the writer was made
};

// Windows-1252 bytes as UTF-8 (the same mapping as text::Cp1252ToUtf8), appended to `out`.
void AppendCp1252AsUtf8(std::string& out, std::string_view bytes);
// The escaping of text and tsv: tab, newline, carriage return and backslash become \t \n \r \\.
void AppendTabEscaped(std::string& out, std::string_view field);
// A csv field by RFC 4180: quoted, with quotes doubled, when it holds a comma, a quote, CR or LF.
void AppendCsvField(std::string& out, std::string_view field);
// A json string literal of UTF-8 text; bytes that are not well-formed UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace cli
