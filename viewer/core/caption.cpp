// Caption heads, joined from fixed pieces with nothing between them.
#include "viewer/core/caption.h"

#include <cstdio>

#include "text/codepage.h"

namespace viewer {

std::string HexX2(std::int32_t value) {
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%02X",
                                   static_cast<unsigned>(static_cast<std::uint32_t>(value)));
  return std::string(digits, static_cast<std::size_t>(length));
}

std::string DecimalD(std::int32_t value) {
  return std::to_string(value);
}

std::string CaptionHead(CaptionOccasion occasion, const std::optional<std::string>& name,
                        std::uint8_t library, std::int32_t index) {
  std::string head = name.value_or(std::string());
  const std::int32_t number = library;
  switch (occasion) {
    case CaptionOccasion::kCreation:
    case CaptionOccasion::kLibraryRefresh:
      head += "  $" + HexX2(number) + " LIB[" + DecimalD(number) + "," + DecimalD(index) + "]";
      break;
    case CaptionOccasion::kCatalogueRefresh:
      head += "  KL7" + HexX2(index) + "  LIB[" + DecimalD(number) + "," + DecimalD(index) + "]";
      break;
    case CaptionOccasion::kOpened:
    case CaptionOccasion::kBack:
      head += "  $" + HexX2(number) + " LIB[" + DecimalD(number) + ",0]";
      break;
  }
  return head;
}

std::u16string ShownText(std::string_view cp1252) {
  return text::Cp1252ToUtf16(cp1252);
}

std::u16string ShownPath(std::string_view utf8) {
  std::u16string shown;
  for (const char32_t character : text::Utf8ToUtf32(utf8)) {
    if (character < 0x10000) {
      shown += static_cast<char16_t>(character);
    } else {
      const char32_t offset = character - 0x10000;
      shown += static_cast<char16_t>(0xD800 + (offset >> 10));
      shown += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    }
  }
  return shown;
}

std::string Utf8FromShown(std::u16string_view shown) {
  std::string utf8;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    char32_t c = shown[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < shown.size() && shown[i + 1] >= 0xDC00 &&
        shown[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (shown[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::u16string ElidedCaption(std::u16string_view caption, std::size_t directoryLength,
                             const std::function<bool(std::u16string_view)>& fits) {
  if (directoryLength == 0 || directoryLength > caption.size() || fits(caption)) {
    return std::u16string(caption);
  }
  const std::u16string_view kept = caption.substr(0, caption.size() - directoryLength);
  const std::u16string_view directory = caption.substr(kept.size());
  const auto elided = [&](std::size_t cut) {
    std::u16string text(kept);
    text += u'\u2026';
    text += directory.substr(cut);
    return text;
  };
  // The fewest characters cut from the directory's start that fit (all of them when none do);
  // a surrogate pair is cut whole.
  std::size_t low = 1;
  std::size_t high = directory.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (fits(elided(middle))) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  if (low < directory.size() && directory[low] >= 0xDC00 && directory[low] < 0xE000) ++low;
  return elided(low);
}

}  // namespace viewer
