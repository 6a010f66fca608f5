// Full case folding, for the characters that can meet an entry text. Entry texts are Windows-1252,
// so a search text can only match through characters that fold to what such a text holds; every
// other character of a search text is compared as it is (it matches nothing either way).
#include "libraries/text_folding.h"

#include <cstdint>
#include <string>

#include "text/codepage.h"

namespace core {

namespace {

// Appends the full case folding of `c`: the foldings whose result lies in Windows-1252 (or is the
// Greek mu, which the micro sign folds to), the sharp s and the Latin ligatures into several
// letters, and `c` itself otherwise.
void AppendFolded(std::u32string& out, char32_t c) {
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
    out += c + 0x20;
    return;
  }
  switch (c) {
    case 0x00DF:  // ß
    case 0x1E9E:  // capital sharp s
      out += U"ss";
      return;
    case 0x0152:  // Œ
    case 0x0160:  // Š
    case 0x017D:  // Ž
    case 0x0191:  // Ƒ
      out += c + 1;
      return;
    case 0x0178:  // Ÿ
      out += char32_t{0x00FF};
      return;
    case 0x00B5:  // micro sign
    case 0x039C:  // capital mu
      out += char32_t{0x03BC};
      return;
    case 0x017F:  // long s
      out += U's';
      return;
    case 0x212A:  // Kelvin sign
      out += U'k';
      return;
    case 0x212B:  // Angstrom sign
      out += char32_t{0x00E5};
      return;
    case 0xFB00:
      out += U"ff";
      return;
    case 0xFB01:
      out += U"fi";
      return;
    case 0xFB02:
      out += U"fl";
      return;
    case 0xFB03:
      out += U"ffi";
      return;
    case 0xFB04:
      out += U"ffl";
      return;
    case 0xFB05:
    case 0xFB06:
      out += U"st";
      return;
    default:
      out += c;
      return;
  }
}

// The German folding on top of the case folding: ä, ö, ü as two letters each.
void AppendFolded(std::u32string& out, char32_t c, Folding folding) {
  const std::size_t at = out.size();
  AppendFolded(out, c);
  if (folding != Folding::kUmlaut || out.size() != at + 1) return;
  switch (out.back()) {
    case 0x00E4:
      out.back() = U'a';
      out += U'e';
      return;
    case 0x00F6:
      out.back() = U'o';
      out += U'e';
      return;
    case 0x00FC:
      out.back() = U'u';
      out += U'e';
      return;
    default:
      return;
  }
}

}  // namespace

std::u32string FoldUtf8(std::string_view utf8, Folding folding) {
  std::u32string folded;
  for (const char32_t c : text::Utf8ToUtf32(utf8))
    AppendFolded(folded, c, folding);
  return folded;
}

std::u32string FoldCp1252(std::string_view cp1252, Folding folding) {
  std::u32string folded;
  folded.reserve(cp1252.size());
  for (const char byte : cp1252)
    AppendFolded(folded, text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte)), folding);
  return folded;
}

FoldedNeedle::FoldedNeedle(std::string_view utf8, Folding folding)
    : m_needle(FoldUtf8(utf8, folding)), m_folding(folding) {}

bool FoldedNeedle::FoundIn(std::string_view cp1252) const {
  return FoldCp1252(cp1252, m_folding).find(m_needle) != std::u32string::npos;
}

bool FoldedNeedle::Equals(std::string_view cp1252) const {
  return FoldCp1252(cp1252, m_folding) == m_needle;
}

std::vector<std::pair<char32_t, std::u32string>> FoldingTable(Folding folding) {
  std::vector<std::pair<char32_t, std::u32string>> table;
  std::u32string folded;
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates are no characters
    folded.clear();
    AppendFolded(folded, c, folding);
    if (folded.size() != 1 || folded[0] != c) table.emplace_back(c, folded);
  }
  return table;
}

std::string BmpUtf8(std::u32string_view characters) {
  std::string utf8;
  utf8.reserve(characters.size());
  for (const char32_t c : characters) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string FoldedUtf8(std::string_view cp1252, Folding folding) {
  return BmpUtf8(FoldCp1252(cp1252, folding));
}

}  // namespace core
