// Full case folding, for the characters that can meet an entry text. Entry texts are Windows-1252,
// so a search text can only match through characters that fold to what such a text holds; every
// other character of a search text is compared as it is (it matches nothing either way).
#include "cli/case_folding.h"

#include <string>

#include "text/codepage.h"

namespace cli {

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

}  // namespace

struct FoldedNeedle::Folded {
  std::u32string needle;
};

FoldedNeedle::FoldedNeedle(std::string_view utf8) : m_folded(std::make_unique<Folded>()) {
  for (const char32_t c : text::Utf8ToUtf32(utf8))
    AppendFolded(m_folded->needle, c);
}

FoldedNeedle::~FoldedNeedle() = default;

std::string FoldedUtf8(std::string_view cp1252) {
  std::u32string folded;
  folded.reserve(cp1252.size());
  for (const char byte : cp1252)
    AppendFolded(folded, text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte)));
  std::string utf8;
  utf8.reserve(folded.size());
  for (const char32_t c : folded) {
    // Every folding lies in the Basic Multilingual Plane.
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

bool FoldedNeedle::FoundIn(std::string_view cp1252) const {
  std::u32string folded;
  folded.reserve(cp1252.size());
  for (const char byte : cp1252)
    AppendFolded(folded, text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte)));
  return folded.find(m_folded->needle) != std::u32string::npos;
}

}  // namespace cli
