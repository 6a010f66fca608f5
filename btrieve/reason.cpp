// Reasons in words, and this thread's latest refusal (see reason.h).
#include "btrieve/reason.h"

#include <array>
#include <cstdio>
#include <utility>

namespace btrieve {
namespace {

// The phrase of each check. {found}, {bound}, {offset}, {slot}, {key} and {segment} stand for the
// reason's figures, {found:x} and {bound:x} for them in hexadecimal.
std::string_view Phrase(Check check) {
  switch (check) {
    case Check::kNone:
      return "no check failed";
    case Check::kCannotOpen:
      return "the file cannot be opened for reading";
    case Check::kCannotRead:
      return "the file cannot be read, or it changed while it was read";
    case Check::kChangedWhileRead:
      return "the file changed each time it was read";
    case Check::kNoMemory:
      return "not enough memory to read its {found} bytes";
    case Check::kTooLarge:
      return "the file has {found} bytes, more than the {bound} this reader takes";
    case Check::kTooShort:
      return "the file has {found} bytes, less than the smallest page of {bound}";
    case Check::kNoSignature:
      return "no record-file signature at the start of the file";
    case Check::kPageSize:
      return "page size {found} is not a multiple of 512 up to 4096";
    case Check::kVersion:
      return "format version {found:x} is not supported";
    case Check::kShorterThanHeader:
      return "the file has {found} bytes, less than the {bound} of its file control pages";
    case Check::kNeedsRecovery:
      return "the file was left open by a writer and needs recovery";
    case Check::kControlRecord:
      return "the current file control record lacks its signature or names page size {found}";
    case Check::kKeyCountCopy:
      return "key count {found} differs from its copy {bound}";
    case Check::kCompressed:
      return "file flags {found:x}: compressed records are not supported";
    case Check::kKeyOnly:
      return "file flags {found:x}: key-only files are not supported";
    case Check::kVariableTails:
      return "file flags {found:x}: variable-tail allocation tables are not supported";
    case Check::kVariableMarkers:
      return "file flags {found:x} and variable-length marker {bound:x} disagree or announce "
             "blank truncation";
    case Check::kRecordLengthZero:
      return "record length 0";
    case Check::kSlotTooShort:
      return "slot size {found} is shorter than the {bound} bytes of the record's fixed part";
    case Check::kSlotTooLong:
      return "slot size {found} exceeds the {bound} bytes a page has for slots";
    case Check::kSlotOverheadUnannounced:
      return "{found} bytes of slot overhead that the file flags do not announce";
    case Check::kSlotOverhead:
      return "{found} bytes of slot overhead do not hold {bound} duplicate pointer pairs";
    case Check::kKeyCount:
      return "{found} keys do not fit the file control record (at most {bound})";
    case Check::kKeySpecOutside:
      return "key {key}: its segment {segment} lies beyond the file control record or beyond "
             "{bound} segments";
    case Check::kSegmentOutside:
      return "key {key} segment {segment} (offset {offset}, length {found}) does not lie inside "
             "the "
             "record of {bound} bytes";
    case Check::kDuplicatePointersOutside:
      return "key {key}: its duplicate pointers at slot offset {found} lie outside the slot of "
             "{bound} bytes";
    case Check::kPageCount:
      return "page count {found} does not fit the file's {bound} pages";
    case Check::kDeletedOutsideData:
      return "the deleted-record chain leads to offset {offset}, outside the data pages";
    case Check::kDeletedBetweenSlots:
      return "the deleted-record chain leads to offset {offset}, between record slots";
    case Check::kSlotBeyondPage:
      return "record slot {slot} lies beyond the page";
    case Check::kDeletedLoop:
      return "the deleted-record chain runs in a circle at record slot {slot}";
    case Check::kPatOutside:
      return "page allocation table pair {found} lies beyond the file's {bound} pages or is "
             "used twice";
    case Check::kPatSignature:
      return "page allocation table without its PP signature";
    case Check::kPageOutside:
      return "logical page {found} is mapped to physical page {offset}, beyond the file's {bound} "
             "pages";
    case Check::kPageNamedTwice:
      return "logical page {found} is mapped to physical page {offset}, which is in use already";
    case Check::kDataPageHeader:
      return "data page header names logical page {found}, the page allocation table {bound}";
    case Check::kRecordCount:
      return "{found} records found, the file control record counts {bound}";
    case Check::kStructureBeyondEnd:
      return "a structure reaches beyond the end of the file";
    case Check::kKeyType:
      return "key {key}: segment {segment} has type {found} of length {bound}, which cannot be "
             "ordered";
    case Check::kCollationMissing:
      return "key {key}: its alternate collating sequence is not in the file";
    case Check::kDuplicateHeads:
      return "key {key}: a duplicate chain of {found} equal values has {bound} first members";
    case Check::kDuplicateChainBroken:
      return "key {key}: the duplicate chain of {found} equal values breaks at record slot {slot}";
    case Check::kVariablePage:
      return "pointer {found:x} names no variable page";
    case Check::kFragmentTable:
      return "a fragment table of {found} entries does not fit the page";
    case Check::kFragmentIndex:
      return "fragment {found} of a page with {bound} fragments";
    case Check::kFragmentFree:
      return "fragment {found} is free";
    case Check::kFragmentEnd:
      return "fragment {found} has no end in the fragment table";
    case Check::kFragmentOutside:
      return "fragment {found} (offset {offset}) lies outside its page";
    case Check::kFragmentLoop:
      return "the fragment chain runs in a circle after {found} fragments";
    case Check::kFragmentTooLong:
      return "the fragment chain holds more than the file's {bound} bytes";
    case Check::kFragmentShared:
      return "pointer {found:x} names a fragment that another record's chain also holds";
  }
  return "unknown check";
}

std::string Hex(std::uint64_t value) {
  std::array<char, 24> digits{};
  std::snprintf(digits.data(), digits.size(), "0x%llX", static_cast<unsigned long long>(value));
  return digits.data();
}

std::string Figure(std::uint64_t value, bool hex) {
  if (value == Reason::kUnset) return "?";
  return hex ? Hex(value) : std::to_string(value);
}

struct Noted {
  std::string name;
  Reason reason;
};

thread_local Noted t_latest;

}  // namespace

std::string ReasonText(const Reason& reason) {
  std::string text;
  if (reason.page != Reason::kUnset) {
    text = "page " + std::to_string(reason.page);
    if (reason.pageCount != Reason::kUnset) text += " of " + std::to_string(reason.pageCount);
    text += ": ";
  }
  const std::string_view phrase = Phrase(reason.check);
  const std::pair<std::string_view, std::string> fields[] = {
      {"{found}", Figure(reason.found, false)},   {"{found:x}", Figure(reason.found, true)},
      {"{bound}", Figure(reason.bound, false)},   {"{bound:x}", Figure(reason.bound, true)},
      {"{offset}", Figure(reason.offset, false)}, {"{slot}", Figure(reason.slot, false)},
      {"{key}", Figure(reason.key, false)},       {"{segment}", Figure(reason.segment, false)},
  };
  for (std::size_t at = 0; at < phrase.size();) {
    bool replaced = false;
    if (phrase[at] == '{') {
      for (const auto& [field, value] : fields) {
        if (phrase.substr(at, field.size()) == field) {
          text += value;
          at += field.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) text += phrase[at++];
  }
  return text;
}

std::optional<Reason> LastRefusal(std::string_view name, std::uint16_t status) {
  if (t_latest.reason.status == 0 || t_latest.reason.status != status || t_latest.name != name) {
    return std::nullopt;
  }
  return t_latest.reason;
}

void NoteRefusal(std::string_view name, const Reason& reason) {
  t_latest.name.assign(name);
  t_latest.reason = reason;
}

}  // namespace btrieve
