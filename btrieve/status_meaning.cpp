// The engine's status codes that a read-only reader can meet, with their usual meanings.
#include "btrieve/status_meaning.h"

#include <array>
#include <utility>

namespace btrieve {

std::string_view StatusMeaning(std::uint16_t status) {
  static constexpr std::array<std::pair<std::uint16_t, std::string_view>, 33> kMeanings{{
      {0, "success"},
      {1, "invalid operation"},
      {2, "I/O error or damaged file"},
      {3, "file not open"},
      {4, "key value not found"},
      {5, "duplicate key value"},
      {6, "invalid key number"},
      {7, "different key number"},
      {8, "invalid positioning"},
      {9, "end of file"},
      {11, "invalid file name"},
      {12, "file not found"},
      {13, "extension file error"},
      {14, "pre-image open error"},
      {15, "pre-image I/O error"},
      {18, "disk full"},
      {19, "unrecoverable error"},
      {20, "record manager inactive"},
      {21, "key buffer too short"},
      {22, "data buffer too short"},
      {30, "not a Btrieve file, or a variant this reader does not read"},
      {41, "operation not allowed"},
      {43, "invalid record address"},
      {46, "access to the file denied"},
      {47, "too many open files"},
      {49, "invalid extended key type"},
      {54, "variable part of a record damaged"},
      {82, "lost position"},
      {84, "record or page locked"},
      {85, "file locked"},
      {86, "file table full"},
      {88, "incompatible open mode"},
      {94, "permission error"},
  }};
  for (const auto& [code, meaning] : kMeanings) {
    if (code == status) return meaning;
  }
  return {};
}

}  // namespace btrieve
