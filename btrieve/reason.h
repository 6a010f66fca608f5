// Why the record manager refused a file or a record: which check failed and where (page, slot,
// offset, the value found and the bound it broke). Kept beside the status that BTRCALL answers;
// BTRCALL's contract does not depend on it, and tools read it through LastRefusal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace btrieve {

// One value per check that can refuse. Grouped by family: the file system, recognition of the
// format, the record shape and key definitions in the file control record, the pages, the order of
// a key, and the variable part of one record.
enum class Check : std::uint8_t {
  kNone,
  // the file system
  kCannotOpen,
  kCannotRead,
  kChangedWhileRead,
  kNoMemory,
  kTooLarge,
  // recognition
  kTooShort,
  kNoSignature,
  kPageSize,
  kVersion,
  kShorterThanHeader,
  kNeedsRecovery,
  kControlRecord,
  kKeyCountCopy,
  // record shape
  kCompressed,
  kKeyOnly,
  kVariableTails,
  kVariableMarkers,
  kRecordLengthZero,
  kSlotTooShort,
  kSlotTooLong,
  kSlotOverheadUnannounced,
  kSlotOverhead,
  // key definitions
  kKeyCount,
  kKeySpecOutside,
  kSegmentOutside,
  kDuplicatePointersOutside,
  // pages
  kPageCount,
  kDeletedOutsideData,
  kDeletedBetweenSlots,
  kSlotBeyondPage,
  kDeletedLoop,
  kPatOutside,
  kPatSignature,
  kPageOutside,
  kPageNamedTwice,
  kDataPageHeader,
  kRecordCount,
  kStructureBeyondEnd,
  // the order of a key
  kKeyType,
  kCollationMissing,
  kDuplicateHeads,
  kDuplicateChainBroken,
  // the variable part of a record
  kVariablePage,
  kFragmentTable,
  kFragmentIndex,
  kFragmentFree,
  kFragmentEnd,
  kFragmentOutside,
  kFragmentLoop,
  kFragmentTooLong,
  kFragmentShared,
};

struct Reason {
  // Location figures that do not apply keep kUnset.
  static constexpr std::uint64_t kUnset = UINT64_MAX;

  std::uint16_t status = 0;  // the status this reason explains; 0: nothing was refused
  Check check = Check::kNone;
  std::uint64_t page = kUnset;  // the physical page (0-based) and the file's whole pages
  std::uint64_t pageCount = kUnset;
  std::uint64_t slot = kUnset;  // the record slot within the page (0-based)
  std::uint64_t key = kUnset;
  std::uint64_t segment = kUnset;  // within the key, from 1
  std::uint64_t offset = kUnset;   // a file offset, or an offset within the page or slot
  std::uint64_t found = kUnset;    // the value found
  std::uint64_t bound = kUnset;    // the bound it broke, or the value expected

  Reason& At(std::uint64_t pageNumber, std::uint64_t pages) {
    page = pageNumber;
    pageCount = pages;
    return *this;
  }
  Reason& Values(std::uint64_t foundValue, std::uint64_t boundValue = kUnset) {
    found = foundValue;
    bound = boundValue;
    return *this;
  }
};

// A reason for `status` by `check`, without a location yet.
[[nodiscard]] inline Reason Refusal(std::uint16_t status, Check check) {
  Reason reason;
  reason.status = status;
  reason.check = check;
  return reason;
}

// The reason in words, without the status: "page 17 of 120: record slot 40 lies beyond the page"
// (pages counted from 0, as their offsets are page times page size).
[[nodiscard]] std::string ReasonText(const Reason& reason);

// The reason of the latest refusal with a reason that BTRCALL answered on this thread for the file
// opened as `name` (Open's key buffer), if that refusal answered `status`: Open's 2, 30 and the
// file system's refusals, a Get's 2 and 41 from a key's order and 54 from a record's variable
// part. Nothing otherwise.
[[nodiscard]] std::optional<Reason> LastRefusal(std::string_view name, std::uint16_t status);

// Keeps `reason` as this thread's latest refusal for `name` (used by BTRCALL).
void NoteRefusal(std::string_view name, const Reason& reason);

}  // namespace btrieve
