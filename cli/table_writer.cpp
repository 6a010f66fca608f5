// Display widths by the Unicode East Asian Width and combining classes, as terminals count them.
#include "cli/table_writer.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace cli {

namespace {

struct Range {
  char32_t first;
  char32_t last;
};

// Characters a terminal draws in no column of their own: combining marks, zero-width spaces and
// joiners, variation selectors, Hangul vowels and finals that join the syllable before them.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0900, 0x0902},
    {0x093A, 0x093A}, {0x093C, 0x093C}, {0x0941, 0x0948}, {0x094D, 0x094D}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1160, 0x11FF}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF},
    {0x200B, 0x200F}, {0x2028, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0x302A, 0x302F},
    {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0000, 0xE0FFF},
};

// Wide and fullwidth characters: two columns.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x3029},
    {0x3030, 0x303E},   {0x3041, 0x3098},   {0x309B, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18CFF},
    {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E},
    {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F320}, {0x1F32D, 0x1F335},
    {0x1F337, 0x1F37C}, {0x1F37E, 0x1F393}, {0x1F3A0, 0x1F3CA}, {0x1F3CF, 0x1F3D3},
    {0x1F3E0, 0x1F3F0}, {0x1F3F4, 0x1F3F4}, {0x1F3F8, 0x1F43E}, {0x1F440, 0x1F440},
    {0x1F442, 0x1F4FC}, {0x1F4FF, 0x1F53D}, {0x1F54B, 0x1F54E}, {0x1F550, 0x1F567},
    {0x1F57A, 0x1F57A}, {0x1F595, 0x1F596}, {0x1F5A4, 0x1F5A4}, {0x1F5FB, 0x1F64F},
    {0x1F680, 0x1F6C5}, {0x1F6CC, 0x1F6CC}, {0x1F6D0, 0x1F6D2}, {0x1F6D5, 0x1F6D7},
    {0x1F6DC, 0x1F6DF}, {0x1F6EB, 0x1F6EC}, {0x1F6F4, 0x1F6FC}, {0x1F7E0, 0x1F7EB},
    {0x1F7F0, 0x1F7F0}, {0x1F90C, 0x1F93A}, {0x1F93C, 0x1F945}, {0x1F947, 0x1F9FF},
    {0x1FA70, 0x1FAFF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool InRanges(const Range (&ranges)[N], char32_t c) {
  const Range* const end = ranges + N;
  const Range* at = std::upper_bound(
      ranges, end, c, [](char32_t value, const Range& r) { return value < r.first; });
  return at != ranges && c <= (at - 1)->last;
}

std::size_t CharacterWidth(char32_t c) {
  if (c < 0x0300) return 1;  // nothing before the combining marks is narrow or wide otherwise
  if (InRanges(kZeroWidth, c)) return 0;
  return InRanges(kWide, c) ? 2 : 1;
}

// The character at the start of `bytes` and its length; length 0 for a byte that is not the
// start of a well-formed sequence.
std::pair<char32_t, std::size_t> Decode(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  char32_t c = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, 0};
  }
  if (bytes.size() < length || byte(1) < low || byte(1) > high) return {0, 0};
  for (std::size_t i = 1; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return {0, 0};
    c = (c << 6) | (byte(i) & 0x3F);
  }
  return {c, length};
}

constexpr std::size_t kGap = 2;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";  // …
constexpr std::size_t kNarrowest = 4;                   // a text column is never cut narrower

// The longest start of `cell` that fits `width` columns (with the combining marks of its last
// character), appended to `out`; returns the columns it takes.
std::size_t AppendFitting(std::string& out, std::string_view cell, std::size_t width) {
  std::size_t used = 0;
  std::size_t at = 0;
  while (at < cell.size()) {
    const auto [c, length] = Decode(cell.substr(at));
    const std::size_t step = length == 0 ? 1 : length;
    const std::size_t columns = length == 0 ? 1 : CharacterWidth(c);
    if (used + columns > width) break;
    used += columns;
    at += step;
  }
  out.append(cell.substr(0, at));
  return used;
}

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  std::size_t at = 0;
  while (at < utf8.size()) {
    if (static_cast<std::uint8_t>(utf8[at]) < 0x80) {  // ASCII, most of any text
      ++width;
      ++at;
      continue;
    }
    const auto [c, length] = Decode(utf8.substr(at));
    if (length == 0) {
      ++width;
      ++at;
      continue;
    }
    width += CharacterWidth(c);
    at += length;
  }
  return width;
}

void AppendTableCell(std::string& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<std::uint8_t>(utf8[at]);
    if (lead >= 0x20 && lead < 0x7F && lead != '\\') {  // printable ASCII, most of any text
      out += static_cast<char>(lead);
      ++at;
      continue;
    }
    const auto [c, length] = Decode(utf8.substr(at));
    if (length == 0) {
      const auto byte = static_cast<std::uint8_t>(utf8[at++]);
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
      continue;
    }
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (control) {
      out += c < 0x80 ? "\\x" : "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out.append(utf8.substr(at, length));
    }
    at += length;
  }
}

TableLayout::TableLayout(std::vector<bool> rightAligned)
    : m_rightAligned(std::move(rightAligned)) {}

void TableLayout::Add(std::string_view utf8) {
  const std::size_t start = m_text.size();
  AppendTableCell(m_text, utf8);
  m_ends.push_back(m_text.size());
  // A cell is part of one entry or name: far below 4 GiB.
  m_widths.push_back(
      static_cast<std::uint32_t>(DisplayWidth(std::string_view(m_text).substr(start))));
}

void TableLayout::Write(std::ostream& stream, std::size_t width) const {
  constexpr std::size_t kPiece = std::size_t{1} << 16;
  std::string out;
  out.reserve(2 * kPiece);
  const std::size_t columns = m_rightAligned.size();
  if (columns == 0 || m_ends.empty()) return;
  std::vector<std::size_t> widths(columns, 0);
  for (std::size_t i = 0; i < m_widths.size(); ++i)
    widths[i % columns] = std::max<std::size_t>(widths[i % columns], m_widths[i]);

  if (width > 0) {
    // The number columns keep their width; the text columns share the rest, the widest narrowed
    // first, down to a common cap.
    std::size_t fixed = kGap * (columns - 1);
    std::size_t widest = 0;
    for (std::size_t i = 0; i < columns; ++i) {
      if (m_rightAligned[i]) {
        fixed += widths[i];
      } else {
        widest = std::max(widest, widths[i]);
      }
    }
    const auto textWidth = [&](std::size_t cap) {
      std::size_t sum = 0;
      for (std::size_t i = 0; i < columns; ++i) {
        if (!m_rightAligned[i]) sum += std::min(widths[i], cap);
      }
      return sum;
    };
    const std::size_t room = width > fixed ? width - fixed : 0;
    if (textWidth(widest) > room) {
      std::size_t low = kNarrowest;  // the cap sought: the largest that fits (kNarrowest at least)
      std::size_t high = widest;
      while (low < high) {
        const std::size_t middle = low + (high - low + 1) / 2;
        if (textWidth(middle) <= room) {
          low = middle;
        } else {
          high = middle - 1;
        }
      }
      for (std::size_t i = 0; i < columns; ++i) {
        if (!m_rightAligned[i]) widths[i] = std::min(widths[i], low);
      }
    }
  }

  for (std::size_t i = 0; i < m_ends.size(); ++i) {
    const std::size_t column = i % columns;
    const bool last = column == columns - 1;
    const std::size_t start = i == 0 ? 0 : m_ends[i - 1];
    const std::string_view cell = std::string_view(m_text).substr(start, m_ends[i] - start);
    std::size_t shown = m_widths[i];
    const std::size_t padding = shown < widths[column] ? widths[column] - shown : 0;
    if (m_rightAligned[column]) out.append(padding, ' ');
    if (shown <= widths[column]) {
      out += cell;
    } else {
      shown = AppendFitting(out, cell, widths[column] - 1) + 1;
      out += kEllipsis;
    }
    if (last) {
      // No blanks at the end of a line (an empty last cell leaves the gap before it).
      while (!out.empty() && out.back() == ' ')
        out.pop_back();
      out += '\n';
      if (out.size() >= kPiece) {
        stream.write(out.data(), static_cast<std::streamsize>(out.size()));
        out.clear();
      }
    } else {
      if (!m_rightAligned[column]) out.append(widths[column] - shown, ' ');
      out.append(kGap, ' ');
    }
  }
  stream.write(out.data(), static_cast<std::streamsize>(out.size()));
}

}  // namespace cli
