// The output formats of kl7's rows.
#include "cli/row_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cli/table_writer.h"
#include "text/codepage.h"
#include "text/control_escape.h"

namespace cli {

namespace {

constexpr std::size_t kFlushSize = 1 << 16;

// What each byte becomes in one kind of output: itself (a "plain" byte, copied in runs) or a
// sequence of up to four bytes.
class ByteTranslation {
 public:
  ByteTranslation(bool toUtf8, bool tabEscaped) {
    for (int byte = 0; byte < 256; ++byte) {
      const char self = static_cast<char>(byte);
      std::string converted;
      std::string_view sequence(&self, 1);
      if (toUtf8 && byte >= 0x80) sequence = converted = text::Cp1252ToUtf8(sequence);
      if (tabEscaped) {
        // Nothing reaches a terminal as a control: C0 controls and DEL as \xHH, the C1 controls
        // that the five undefined bytes become as \u00HH (as \xHH in Windows-1252 output).
        const std::string character = text::Cp1252ToUtf8(std::string_view(&self, 1));
        const bool c1 = character.size() == 2 && character[0] == '\xC2' &&
                        static_cast<std::uint8_t>(character[1]) <= 0x9F;
        if (byte < 0x20 || byte == 0x7F || (c1 && !toUtf8)) {
          converted = text::ByteEscape(static_cast<unsigned char>(byte));
          sequence = converted;
        } else if (c1) {
          converted =
              "\\u00" + text::ByteEscape(static_cast<unsigned char>(character[1])).substr(2);
          sequence = converted;
        }
        if (byte == '\t') sequence = "\\t";
        if (byte == '\n') sequence = "\\n";
        if (byte == '\r') sequence = "\\r";
        if (byte == '\\') sequence = "\\\\";
      }
      m_plain[byte] = sequence.size() == 1 && sequence[0] == self;
      m_lengths[byte] = static_cast<std::uint8_t>(sequence.size());
      if (sequence.size() > kMaxSequence) throw std::logic_error("translation");
      // A string_view, not a std::string: GCC 12 at -O3 warns falsely inside std::string::copy.
      std::memcpy(m_sequences[byte], sequence.data(),
                  std::min(sequence.size(), sizeof m_sequences[byte]));
      if (byte < 0x80 && !m_plain[byte]) {
        m_anyAsciiSpecial = true;
        if (byte >= 0x20) {
          // (Only the backslash and DEL are: the room for two is checked when the tables are
          // built.)
          if (m_printableSpecials == m_specialWords.size()) throw std::logic_error("translation");
          m_specialWords[m_printableSpecials++] = kOnes * static_cast<std::uint8_t>(byte);
        }
      }
    }
  }

  void Append(std::string& out, std::string_view bytes) const {
    // Translated into a block on the stack (every byte becomes at most kMaxSequence) and appended
    // from there: growing `out` first would fill the room with zeros only to overwrite it.
    constexpr std::size_t kBlock = 512;
    char block[kMaxSequence * kBlock];
    const char* from = bytes.data();
    const char* const end = from + bytes.size();
    while (from != end) {
      const char* const stop =
          from + std::min<std::size_t>(kBlock, static_cast<std::size_t>(end - from));
      char* to = block;
      // Eight bytes at a time: the plain ones before the first that is translated are copied
      // together (all eight, as the room allows; what follows the plain ones is overwritten), then
      // that one is translated. Most of any text is plain ASCII, with an umlaut every few words.
      while (stop - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        const std::uint64_t translated = TranslatedBytes(word);
        std::memcpy(to, from, 8);
        if (translated == 0) {
          to += 8;
          from += 8;
          continue;
        }
        const auto plain = FirstMarkedByte(translated);
        to += plain;
        from += plain;
        const auto byte = static_cast<std::uint8_t>(*from++);
        std::memcpy(to, m_sequences[byte], kMaxSequence);
        to += m_lengths[byte];
      }
      while (from != stop) {
        const auto byte = static_cast<std::uint8_t>(*from++);
        std::memcpy(to, m_sequences[byte], kMaxSequence);
        to += m_lengths[byte];
      }
      out.append(block, static_cast<std::size_t>(to - block));
    }
  }

 private:
  static constexpr std::size_t kMaxSequence = 8;
  static constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  static constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

  // The eight bytes of `word` (loaded from memory) that may need translation, as the high bit of
  // each such byte; exact up to the first of them, which is all that is asked: a byte of 0x80 or
  // above, and, where some ASCII bytes are translated, a control byte or another such byte.
  std::uint64_t TranslatedBytes(std::uint64_t word) const {
    std::uint64_t marked = word & kHighs;
    if (!m_anyAsciiSpecial) return marked;
    marked |= (word - kOnes * 0x20) & kHighs;  // a byte below 0x20
    const auto zeroByte = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighs; };
    if (m_printableSpecials > 0) marked |= zeroByte(word ^ m_specialWords[0]);
    if (m_printableSpecials > 1) marked |= zeroByte(word ^ m_specialWords[1]);
    return marked;
  }

  // How many bytes in memory order come before the first byte marked in `marked` (not zero).
  static std::size_t FirstMarkedByte(std::uint64_t marked) {
    if constexpr (std::endian::native == std::endian::little) {
      return static_cast<std::size_t>(std::countr_zero(marked)) / 8;
    } else {
      return static_cast<std::size_t>(std::countl_zero(marked)) / 8;
    }
  }

  // Whether any ASCII byte is translated, and those of them from 0x20 on (control bytes are
  // checked all at once).
  bool m_anyAsciiSpecial = false;
  std::size_t m_printableSpecials = 0;
  std::array<std::uint64_t, 2> m_specialWords{};  // eight copies of each
  bool m_plain[256]{};
  char m_sequences[256][kMaxSequence]{};
  std::uint8_t m_lengths[256]{};
};

// Built on first use (the code page's own tables are then ready).
const ByteTranslation& ToUtf8() {
  static const ByteTranslation translation(true, false);
  return translation;
}
const ByteTranslation& TabEscaped() {
  static const ByteTranslation translation(false, true);
  return translation;
}
const ByteTranslation& ToUtf8TabEscaped() {
  static const ByteTranslation translation(true, true);
  return translation;
}

}  // namespace

void AppendCp1252AsUtf8(std::string& out, std::string_view bytes) {
  ToUtf8().Append(out, bytes);
}

void AppendTabEscaped(std::string& out, std::string_view field) {
  TabEscaped().Append(out, field);
}

void AppendCsvField(std::string& out, std::string_view field) {
  const bool plain = std::none_of(field.begin(), field.end(), [](char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
  });
  if (plain) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendJsonString(std::string& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t from = 0;  // start of the run copied as it is
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<std::uint8_t>(utf8[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      const std::size_t length = text::Utf8SequenceLength(utf8.substr(i));
      if (length > 0) {
        i += length;
        continue;
      }
    }
    out.append(utf8, from, i - from);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c >= 0x80) {
          out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not well-formed UTF-8
        } else {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0x0F];
        }
    }
    from = ++i;
  }
  out.append(utf8, from, std::string_view::npos);
  out += '"';
}

RowWriter::RowWriter(std::ostream& out, const Options& options, std::span<const Column> columns)
    : m_out(out),
      m_format(options.format),
      m_encoding(options.encoding),
      m_header(options.header),
      m_columns(columns),
      m_terminalWidth(options.terminalWidth) {
  m_buffer.reserve(kFlushSize + 4096);
  if (m_format == Format::kTable) {
    std::vector<bool> rightAligned;
    for (const Column& column : columns)
      rightAligned.push_back(column.kind == ColumnKind::kNumber);
    m_table = std::make_unique<TableLayout>(std::move(rightAligned));
  }
}

RowWriter::~RowWriter() {
  // Not while an error unwinds the verb: a usage error prints nothing, not even a header.
  if (std::uncaught_exceptions() > m_exceptions) return;
  Finish();
}

void RowWriter::Start() {
  if (m_started) return;
  m_started = true;
  const bool header = m_header && (m_format == Format::kCsv || m_format == Format::kTsv);
  if (header) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
      if (i > 0) m_buffer += m_format == Format::kCsv ? ',' : '\t';
      m_buffer += m_columns[i].name;
    }
    m_buffer += m_format == Format::kCsv ? "\r\n" : "\n";
  }
  if (m_format == Format::kJson) m_buffer += '[';
  if (m_table != nullptr && m_header) {
    for (const Column& column : m_columns)
      m_table->Add(column.name);
  }
}

namespace {

// Decimal digits without a superfluous leading zero: a json number as it stands.
bool IsDecimal(std::string_view field) {
  if (field.empty() || (field.size() > 1 && field[0] == '0')) return false;
  return std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void RowWriter::Field(std::string_view field, ColumnKind kind) {
  // Entry texts are Windows-1252; everything else goes out as it came.
  const bool json = m_format == Format::kJson || m_format == Format::kJsonl;
  const bool convert = kind == ColumnKind::kText && (json || m_encoding == Encoding::kUtf8);
  switch (m_format) {
    case Format::kText:
    case Format::kTsv:
      // One pass converts and escapes; names and values are UTF-8 as the system gave them.
      if (kind == ColumnKind::kText) {
        (convert ? ToUtf8TabEscaped() : TabEscaped()).Append(m_buffer, field);
      } else {
        text::AppendControlsEscaped(m_buffer, field, true);
      }
      return;
    case Format::kTable:  // Row makes its cells
    case Format::kCsv:
    case Format::kHtml:  // never reaches a row writer
    case Format::kJson:
    case Format::kJsonl:
      break;
  }
  std::string_view bytes = field;
  if (convert) {
    m_scratch.clear();
    ToUtf8().Append(m_scratch, field);
    bytes = m_scratch;
  }
  if (m_format == Format::kCsv) {
    AppendCsvField(m_buffer, bytes);
  } else if (kind == ColumnKind::kNumber) {
    m_buffer += bytes.empty() ? std::string_view("null") : bytes;
  } else if (kind == ColumnKind::kValue && IsDecimal(bytes)) {
    m_buffer += bytes;
  } else {
    AppendJsonString(m_buffer, bytes);
  }
}

void RowWriter::Row(std::span<const std::string> fields) {
  Start();
  if (m_table != nullptr) {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
      std::string_view utf8 = i < fields.size() ? std::string_view(fields[i]) : "";
      if (m_columns[i].kind == ColumnKind::kText) {
        m_scratch.clear();
        ToUtf8().Append(m_scratch, utf8);
        utf8 = m_scratch;
      }
      m_table->Add(utf8);
    }
    return;
  }
  const bool json = m_format == Format::kJson || m_format == Format::kJsonl;
  if (json) {
    if (m_format == Format::kJson) m_buffer += m_anyRow ? ",\n" : "\n";
    m_buffer += '{';
  }
  for (std::size_t i = 0; i < m_columns.size(); ++i) {
    const std::string_view field = i < fields.size() ? std::string_view(fields[i]) : "";
    if (json) {
      if (i > 0) m_buffer += ',';
      AppendJsonString(m_buffer, m_columns[i].name);
      m_buffer += ':';
    } else if (i > 0) {
      m_buffer += m_format == Format::kCsv ? ',' : '\t';
    }
    Field(field, m_columns[i].kind);
  }
  if (json) m_buffer += '}';
  if (m_format == Format::kCsv) {
    m_buffer += "\r\n";
  } else if (m_format != Format::kJson) {
    m_buffer += '\n';
  }
  m_anyRow = true;
  if (m_buffer.size() >= kFlushSize) Flush();
}

void RowWriter::Finish() {
  if (m_finished) return;
  m_finished = true;
  Start();
  if (m_format == Format::kJson) m_buffer += m_anyRow ? "\n]\n" : "]\n";
  Flush();
  if (m_table != nullptr) m_table->Write(m_out, m_terminalWidth);
  m_out.flush();
}

void RowWriter::Flush() {
  m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
  m_buffer.clear();
}

}  // namespace cli
