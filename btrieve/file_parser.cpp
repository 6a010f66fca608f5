// Recognition, validation and record collection for pre-6.0 and 6.x record files (see
// file_parser.h).
#include "btrieve/file_parser.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/key_order.h"

namespace btrieve {
namespace {

bool ValidPageSize(std::uint32_t size) {
  return size >= layout::kMinPageSize && size <= layout::kMaxPageSize &&
         size % layout::kMinPageSize == 0;
}

bool HasV6Signature(ByteReader& reader, std::uint64_t offset) {
  return reader.U8(offset) == 'F' && reader.U8(offset + 1) == 'C' && reader.U8(offset + 2) == 0 &&
         reader.U8(offset + 3) == 0;
}

// FCR byte 0x38 of a variable-length file with blank truncation.
constexpr std::uint8_t kTruncatedMarker = 0xFD;

// Where a slot's fixed part ends, the variable-part pointer included.
std::uint32_t FixedEnd(const FileFacts& facts) {
  return facts.constants->dataOffsetInSlot + facts.recordLength +
         (facts.variable ? layout::kVariablePointerSize : 0);
}

constexpr std::uint16_t kDamaged = status::kIoError;
constexpr std::uint16_t kUnsupported = status::kNotBtrieveFile;

struct Recognised {
  Reason reason;
  FileFacts facts;
  std::uint64_t fcrOffset = 0;
};

Recognised RecognisePre6(ByteReader& reader) {
  Recognised result;
  result.facts.constants = &kPre6Constants;
  const std::uint8_t stored = reader.U8(layout::kFcrPre6Version + 1);
  result.facts.versionWord =
      static_cast<std::uint16_t>((reader.U8(layout::kFcrPre6Version) << 8) | stored);
  // 0xFD, 0xFC, 0xFB are versions 3, 4, 5 negated as a signed byte (seen in real version-4 files
  // whose headers are otherwise ordinary); they pass through exactly the checks the plain words do.
  result.facts.version = stored <= 5 ? stored : static_cast<std::uint16_t>(256 - stored);
  result.facts.pageSize = reader.U16(layout::kFcrPageSize);
  if (!ValidPageSize(result.facts.pageSize)) {
    result.reason = Refusal(kUnsupported, Check::kPageSize).Values(result.facts.pageSize);
  } else if (reader.Size() < result.facts.pageSize) {
    result.reason =
        Refusal(kDamaged, Check::kShorterThanHeader).Values(reader.Size(), result.facts.pageSize);
  } else if (reader.U16(layout::kFcrRecovery) == 0xFFFF) {
    result.reason =
        Refusal(kDamaged, Check::kNeedsRecovery).At(0, reader.Size() / result.facts.pageSize);
  }
  return result;
}

// 6.x keeps two FCR copies; the page size of page 0 locates page 1. A page 0 without a usable page
// size (a blank template) is tolerated when exactly one page size places a matching FCR after it.
Recognised RecogniseV6(ByteReader& reader) {
  Recognised result;
  result.facts.constants = &kV6Constants;
  std::uint32_t pageSize = reader.U16(layout::kFcrPageSize);
  if (!ValidPageSize(pageSize)) {
    pageSize = 0;
    for (std::uint32_t candidate = layout::kMinPageSize; candidate <= layout::kMaxPageSize;
         candidate += layout::kMinPageSize) {
      if (reader.Fits(0, 2ULL * candidate) && HasV6Signature(reader, candidate) &&
          reader.U16(candidate + layout::kFcrPageSize) == candidate) {
        pageSize = candidate;
        break;
      }
    }
    if (pageSize == 0) {
      result.reason =
          Refusal(kUnsupported, Check::kPageSize).Values(reader.U16(layout::kFcrPageSize));
      return result;
    }
  }
  result.facts.pageSize = pageSize;
  if (!reader.Fits(0, 2ULL * pageSize)) {
    result.reason =
        Refusal(kDamaged, Check::kShorterThanHeader).Values(reader.Size(), 2ULL * pageSize);
    return result;
  }
  const std::uint64_t pages = reader.Size() / pageSize;
  // The copy with the larger usage count is current; a tie goes to page 1.
  const bool firstIsCurrent =
      reader.U32(layout::kFcrUsage) > reader.U32(pageSize + layout::kFcrUsage);
  result.fcrOffset = firstIsCurrent ? 0 : pageSize;
  const std::uint64_t fcr = result.fcrOffset;
  if (!HasV6Signature(reader, fcr) || reader.U16(fcr + layout::kFcrPageSize) != pageSize) {
    result.reason = Refusal(kDamaged, Check::kControlRecord)
                        .At(fcr / pageSize, pages)
                        .Values(reader.U16(fcr + layout::kFcrPageSize));
    return result;
  }
  result.facts.version = reader.U16(fcr + layout::kFcrV6Version);
  result.facts.versionWord = result.facts.version;
  if ((result.facts.version >> 8) != 6) {
    // 7.x and later, or no known version at all
    result.reason = Refusal(kUnsupported, Check::kVersion)
                        .At(fcr / pageSize, pages)
                        .Values(result.facts.version);
    return result;
  }
  if (reader.U8(fcr + layout::kFcrKeyCountCopy) !=
      (reader.U16(fcr + layout::kFcrKeyCount) & 0xFF)) {
    result.reason = Refusal(kDamaged, Check::kKeyCountCopy)
                        .At(fcr / pageSize, pages)
                        .Values(reader.U16(fcr + layout::kFcrKeyCount),
                                reader.U8(fcr + layout::kFcrKeyCountCopy));
  }
  return result;
}

Recognised Recognise(ByteReader& reader) {
  Recognised result;
  if (reader.Size() < layout::kMinPageSize) {
    result.reason =
        Refusal(kUnsupported, Check::kTooShort).Values(reader.Size(), layout::kMinPageSize);
    return result;
  }
  if (HasV6Signature(reader, 0)) return RecogniseV6(reader);
  if (reader.U32(0) == 0 && reader.U8(layout::kFcrPre6Version) == 0) {
    const std::uint8_t version = reader.U8(layout::kFcrPre6Version + 1);
    if ((version >= 3 && version <= 5) || (version >= 0xFB && version <= 0xFD)) {
      return RecognisePre6(reader);
    }
  }
  result.reason = Refusal(kUnsupported, Check::kNoSignature);
  return result;
}

// Reads the record shape and refuses the variants this reader does not handle: compressed,
// key-only and variable-tail-table files, and variable-length files with blank truncation or whose
// two variable-length markers (file flag 0x0001, FCR byte 0x38) disagree.
Reason ReadRecordShape(ByteReader& reader, std::uint64_t fcr, FileFacts& facts) {
  const auto refuse = [&](std::uint16_t status, Check check) {
    return Refusal(status, check).At(fcr / facts.pageSize, facts.physicalPages);
  };
  facts.fileFlags = reader.U16(fcr + layout::kFcrFileFlags);
  const std::uint8_t marker = reader.U8(fcr + layout::kFcrVariableMarker);
  const bool flagged = (facts.fileFlags & file_flags::kVariableLength) != 0;
  if ((facts.fileFlags & file_flags::kCompression) != 0) {
    return refuse(kUnsupported, Check::kCompressed).Values(facts.fileFlags);
  }
  if ((facts.fileFlags & file_flags::kKeyOnly) != 0) {
    return refuse(kUnsupported, Check::kKeyOnly).Values(facts.fileFlags);
  }
  if ((facts.fileFlags & file_flags::kVariableTailTables) != 0) {
    return refuse(kUnsupported, Check::kVariableTails).Values(facts.fileFlags);
  }
  facts.variable = flagged || marker != 0;
  if (facts.variable && (!flagged || marker == 0 || marker == kTruncatedMarker ||
                         (facts.fileFlags & file_flags::kBlankTruncation) != 0)) {
    return refuse(kUnsupported, Check::kVariableMarkers).Values(facts.fileFlags, marker);
  }

  facts.recordLength = reader.U16(fcr + layout::kFcrRecordLength);
  facts.physicalLength = reader.U16(fcr + layout::kFcrPhysicalLength);
  facts.recordCount = reader.Ws32(fcr + layout::kFcrRecordCount);
  if (facts.recordLength == 0) return refuse(kDamaged, Check::kRecordLengthZero);
  if (facts.physicalLength < FixedEnd(facts)) {
    return refuse(kDamaged, Check::kSlotTooShort).Values(facts.physicalLength, FixedEnd(facts));
  }
  if (facts.physicalLength > facts.pageSize - layout::kPageHeaderSize) {
    return refuse(kDamaged, Check::kSlotTooLong)
        .Values(facts.physicalLength, facts.pageSize - layout::kPageHeaderSize);
  }
  return {};
}

// A variable-length slot holds the usage count (6.x), the fixed part, the variable-part pointer
// and 8 bytes per duplicate-pointer pair. A remainder of 2 or 4 is overhead of blank truncation or
// tables that the flags did not announce (30); any other misfit is damage (2).
Reason CheckVariableSlot(const FileFacts& facts, const std::vector<KeySpec>& keys) {
  if (!facts.variable) return {};
  const std::uint32_t rest = facts.physicalLength - FixedEnd(facts);
  std::uint32_t linked = 0;
  for (const KeySpec& key : keys) {
    if (HasLinkedDuplicates(key)) ++linked;
  }
  if (rest % 8 == 2 || rest % 8 == 4) {
    return Refusal(kUnsupported, Check::kSlotOverheadUnannounced).Values(rest);
  }
  if (rest % 8 != 0 || rest < 8 * linked) {
    return Refusal(kDamaged, Check::kSlotOverhead).Values(rest, linked);
  }
  return {};
}

struct KeysResult {
  Reason reason;
  std::vector<KeySpec> keys;
};

// Reads the key definitions from the FCR page. Segments of a key are consecutive specs, all but the
// last flagged "segmented". 6.x names each key's first spec in the key attribute table; pre-6.0
// (and a 6.x FCR without a table) keeps all specs back to back from 0x110.
KeysResult ReadKeys(std::span<const std::byte> fcrPage, std::uint64_t fcrPageNumber,
                    const FileFacts& facts) {
  KeysResult result;
  const auto refuse = [&](Check check) {
    return Refusal(kDamaged, check).At(fcrPageNumber, facts.physicalPages);
  };
  ByteReader reader(fcrPage);
  const std::uint32_t keyCount = reader.U16(layout::kFcrKeyCount);
  const std::uint32_t maxSegments = facts.pageSize / layout::kKeySpecSize;
  const std::uint32_t attributeTable =
      facts.constants->hasKeyAttributeTable ? reader.U16(layout::kFcrKeyAttributeTable) : 0;
  const std::uint32_t bias = facts.constants->keyPositionBias;
  if (keyCount > maxSegments) {
    result.reason = refuse(Check::kKeyCount).Values(keyCount, maxSegments);
    return result;
  }
  result.keys.reserve(keyCount);
  std::uint64_t next = layout::kFcrKeySpecs;
  std::uint32_t totalSegments = 0;
  for (std::uint32_t k = 0; k < keyCount; ++k) {
    std::uint64_t offset = attributeTable != 0 ? reader.U16(attributeTable + 2ULL * k) : next;
    KeySpec key;
    bool more = true;
    while (more) {
      if (++totalSegments > maxSegments || !reader.Fits(offset, layout::kKeySpecSize)) {
        result.reason = refuse(Check::kKeySpecOutside).Values(offset, maxSegments);
        result.reason.key = k;
        result.reason.segment = key.segments.size() + 1;
        result.reason.offset = offset;
        return result;
      }
      SegmentSpec segment;
      segment.flags = reader.U16(offset + layout::kSpecFlags);
      const std::uint32_t stored = reader.U16(offset + layout::kSpecPosition);
      segment.length = reader.U16(offset + layout::kSpecLength);
      segment.type = reader.U8(offset + layout::kSpecType);
      segment.nullValue = reader.U8(offset + layout::kSpecNullValue);
      if (stored < bias || segment.length == 0 ||
          segment.length >
              facts.recordLength - std::min<std::uint32_t>(stored - bias, facts.recordLength)) {
        result.reason = refuse(Check::kSegmentOutside).Values(segment.length, facts.recordLength);
        result.reason.key = k;
        result.reason.segment = key.segments.size() + 1;
        result.reason.offset = stored - std::min(stored, bias);
        return result;
      }
      segment.recordOffset = stored - bias;
      segment.order = ClassifySegment(segment.flags, segment.type, segment.length);
      segment.collation = CollationOf(segment.flags);
      segment.collationPage =
          (std::uint32_t{reader.U8(offset + layout::kSpecCollationPage)} << 16) |
          reader.U16(offset + layout::kSpecCollationPage + 1);
      segment.descending = (segment.flags & key_flags::kDescending) != 0;
      if (key.segments.empty()) {
        key.specOffset = static_cast<std::uint32_t>(offset);
        key.flags = segment.flags;
        key.uniqueCount = reader.Ws32(offset + layout::kSpecUniqueCount);
        key.duplicatePointerOffset = reader.U16(offset + layout::kSpecDuplicatePointers);
      }
      key.comparable = key.comparable && segment.order != SegmentOrder::kUnsupported;
      key.length += segment.length;
      key.segments.push_back(segment);
      more = (segment.flags & key_flags::kSegmented) != 0;
      offset += layout::kKeySpecSize;
    }
    next = offset;
    if (HasLinkedDuplicates(key) && (key.duplicatePointerOffset < FixedEnd(facts) ||
                                     key.duplicatePointerOffset + 8U > facts.physicalLength)) {
      result.reason = refuse(Check::kDuplicatePointersOutside)
                          .Values(key.duplicatePointerOffset, facts.physicalLength);
      result.reason.key = k;
      return result;
    }
    result.keys.push_back(std::move(key));
  }
  if (!reader.Ok()) result.reason = refuse(Check::kStructureBeyondEnd);
  return result;
}

struct RecordsResult {
  Reason reason;
  std::vector<RecordRef> records;
  // 6.x: per logical page (index 0 unused), its PAT type in the top byte and the physical page.
  std::vector<std::uint32_t> pageMap;
};

// The parse walks the data pages once, each slot's cache lines far from the processor: it asks
// for the page this far ahead while it works on one.
constexpr std::uint64_t kPagesAhead = 2;

void PrefetchPage(const ByteReader& reader, std::uint64_t offset, std::uint64_t pageSize) {
#if defined(__GNUC__) || defined(__clang__)
  if (!reader.Fits(offset, pageSize)) return;
  const std::byte* const start = reader.Whole().data() + offset;
  for (std::uint64_t line = 0; line < pageSize; line += 64)
    __builtin_prefetch(start + line);
#else
  (void)reader;
  (void)offset;
  (void)pageSize;
#endif
}

bool AllZero(std::span<const std::byte> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

// Pre-6.0: pages are physical. Data pages (bit 15 of the word at 4) among pages 1 .. count - 1 hold
// the records, less the slots on the deleted-record chain and the never-used all-zero slots.
// `firstOrder` (SmallIntegerKeyOrder or SortableKeyOrder), when given, takes each record's key 0.
template <typename FirstOrder>
RecordsResult CollectPre6(ByteReader& reader, const FileFacts& facts, FirstOrder* firstOrder) {
  RecordsResult result;
  const std::uint64_t pageSize = facts.pageSize;
  const std::uint64_t pageCount = reader.Ws32(layout::kFcrPageCount);
  const std::uint64_t pages = facts.physicalPages;
  if (pageCount == 0 || !reader.Fits(0, pageCount * pageSize)) {
    result.reason = Refusal(kDamaged, Check::kPageCount).At(0, pages).Values(pageCount, pages);
    return result;
  }
  const std::uint64_t physical = facts.physicalLength;
  const std::uint64_t slotsPerPage = (pageSize - layout::kPageHeaderSize) / physical;
  const auto isDataPage = [&](std::uint64_t page) {
    return page >= 1 && page < pageCount &&
           (reader.U16(page * pageSize + 4) & layout::kPre6DataPageBit) != 0;
  };

  std::vector<bool> deleted((pageCount - 1) * slotsPerPage, false);
  for (std::uint64_t pointer = reader.Ws32(layout::kFcrDeletedChain); pointer != layout::kNoPointer;
       pointer = reader.Ws32(pointer)) {
    const std::uint64_t page = pointer / pageSize;
    const std::uint64_t within = pointer % pageSize;
    if (!isDataPage(page)) {
      result.reason = Refusal(kDamaged, Check::kDeletedOutsideData);
      if (page < pages) result.reason.At(page, pages);
      result.reason.offset = pointer;
      return result;
    }
    if (within < layout::kPageHeaderSize || (within - layout::kPageHeaderSize) % physical != 0) {
      result.reason = Refusal(kDamaged, Check::kDeletedBetweenSlots).At(page, pages);
      result.reason.offset = pointer;
      return result;
    }
    if ((within - layout::kPageHeaderSize) / physical >= slotsPerPage) {
      result.reason = Refusal(kDamaged, Check::kSlotBeyondPage)
                          .At(page, pages)
                          .Values((within - layout::kPageHeaderSize) / physical, slotsPerPage);
      result.reason.slot = result.reason.found;
      result.reason.offset = pointer;
      return result;
    }
    const std::uint64_t slot =
        (page - 1) * slotsPerPage + (within - layout::kPageHeaderSize) / physical;
    if (deleted[slot]) {
      result.reason = Refusal(kDamaged, Check::kDeletedLoop).At(page, pages);
      result.reason.slot = (within - layout::kPageHeaderSize) / physical;
      result.reason.offset = pointer;
      return result;
    }
    deleted[slot] = true;
  }

  result.records.reserve(std::min<std::uint64_t>(facts.recordCount, pageCount * slotsPerPage));
  for (std::uint64_t page = 1; page < pageCount; ++page) {
    PrefetchPage(reader, (page + kPagesAhead) * pageSize, pageSize);
    if (!isDataPage(page)) continue;
    for (std::uint64_t s = 0; s < slotsPerPage; ++s) {
      const std::uint64_t offset = page * pageSize + layout::kPageHeaderSize + s * physical;
      const std::span<const std::byte> slot = reader.Bytes(offset, physical);
      if (deleted[(page - 1) * slotsPerPage + s] || AllZero(slot)) continue;
      if (firstOrder != nullptr && !slot.empty()) {
        firstOrder->Add(slot.data(), static_cast<std::uint32_t>(result.records.size()));
      }
      result.records.push_back({static_cast<std::uint32_t>(offset)});
    }
  }
  if (!reader.Ok()) result.reason = Refusal(kDamaged, Check::kStructureBeyondEnd);
  return result;
}

// 6.x: logical pages 1 .. count - 1 reach physical pages through the current copy of their PAT
// pair. Data pages must repeat their type and logical number in their own header; no physical page
// may be named twice (nor be an FCR or PAT page). Used slots have a non-zero usage count.
template <typename FirstOrder>
RecordsResult CollectV6(ByteReader& reader, const FileFacts& facts, std::uint64_t fcr,
                        FirstOrder* firstOrder) {
  RecordsResult result;
  const std::uint64_t pageSize = facts.pageSize;
  const std::uint64_t logicalCount = reader.Ws32(fcr + layout::kFcrPageCount);
  const std::uint64_t physicalPages = reader.Size() / pageSize;
  const std::uint64_t entriesPerPat = pageSize / 4 - 2;
  const std::uint64_t pairStride = pageSize / 4;
  const std::uint64_t physical = facts.physicalLength;
  const std::uint64_t slotsPerPage = (pageSize - layout::kPageHeaderSize) / physical;
  const auto fail = [&](Reason reason) {
    result.reason = reason;
    result.records.clear();
    result.pageMap.clear();
    return result;
  };
  const auto refuse = [&](Check check, std::uint64_t page) {
    Reason reason = Refusal(kDamaged, check);
    if (page < physicalPages) reason.At(page, physicalPages);
    return reason;
  };

  std::vector<bool> used(physicalPages, false);
  used[0] = used[1] = true;  // the FCR copies (the image holds at least two pages)
  result.records.reserve(std::min<std::uint64_t>(facts.recordCount, physicalPages * slotsPerPage));
  std::uint64_t currentPair = UINT64_MAX;
  std::uint64_t patOffset = 0;
  result.pageMap.push_back(0);  // there is no logical page 0
  for (std::uint64_t logical = 1; logical < logicalCount; ++logical) {
    const std::uint64_t pair = (logical - 1) / entriesPerPat;
    if (pair != currentPair) {
      const std::uint64_t first = 2 + pair * pairStride;
      const std::uint64_t second = first + 1;
      if (second >= physicalPages || used[first] || used[second]) {
        return fail(refuse(Check::kPatOutside, physicalPages).Values(pair, physicalPages));
      }
      used[first] = used[second] = true;
      // Per pair, the copy with the larger usage count is current; a tie goes to the second.
      const bool firstIsCurrent = reader.U32(first * pageSize + layout::kPatUsage) >
                                  reader.U32(second * pageSize + layout::kPatUsage);
      patOffset = (firstIsCurrent ? first : second) * pageSize;
      if (reader.U8(patOffset) != layout::kPageTypePat ||
          reader.U8(patOffset + 1) != layout::kPageTypePat) {
        return fail(refuse(Check::kPatSignature, patOffset / pageSize));
      }
      currentPair = pair;
    }
    const std::uint64_t entry =
        patOffset + layout::kPatHeaderSize + 4 * ((logical - 1) - pair * entriesPerPat);
    const std::uint8_t type = reader.U8(entry + 1);
    if (type == 0) {  // logical page not in use
      result.pageMap.push_back(0);
      continue;
    }
    const std::uint64_t target = (std::uint64_t{reader.U8(entry)} << 16) | reader.U16(entry + 2);
    if (target >= physicalPages || used[target]) {
      Reason reason = refuse(target >= physicalPages ? Check::kPageOutside : Check::kPageNamedTwice,
                             patOffset / pageSize)
                          .Values(logical, physicalPages);
      reason.offset = target;
      return fail(reason);
    }
    used[target] = true;
    result.pageMap.push_back((std::uint32_t{type} << 24) | static_cast<std::uint32_t>(target));
    if (type != layout::kPageTypeData) continue;

    // Data pages mostly follow each other in the file.
    PrefetchPage(reader, (target + kPagesAhead) * pageSize, pageSize);
    const std::uint64_t page = target * pageSize;
    const std::uint64_t ownLogical = (std::uint64_t{reader.U8(page)} << 16) | reader.U16(page + 2);
    if (reader.U8(page + 1) != layout::kPageTypeData || ownLogical != logical) {
      return fail(refuse(Check::kDataPageHeader, target).Values(ownLogical, logical));
    }
    // The whole page is in the image (target < physicalPages): its slots' usage counts are read
    // directly.
    const std::span<const std::byte> pageBytes = reader.Bytes(page, pageSize);
    if (pageBytes.size() != pageSize) return fail(Refusal(kDamaged, Check::kStructureBeyondEnd));
    const std::byte* const bytes = pageBytes.data();
    for (std::uint64_t within = layout::kPageHeaderSize;
         within + physical <= layout::kPageHeaderSize + slotsPerPage * physical;
         within += physical) {
      if (bytes[within] == std::byte{0} && bytes[within + 1] == std::byte{0}) continue;
      if (firstOrder != nullptr) {
        firstOrder->Add(bytes + within, static_cast<std::uint32_t>(result.records.size()));
      }
      result.records.push_back({static_cast<std::uint32_t>(page + within)});
    }
  }
  if (!reader.Ok()) return fail(Refusal(kDamaged, Check::kStructureBeyondEnd));
  return result;
}

// The entry CollectV6 puts in its page map for 6.x logical page `logical` (type in the top byte,
// physical page below; 0 for a page not in use or not in the file), read from the current copy of
// its PAT pair as CollectV6 reads it. Wherever CollectV6 succeeds, the two agree; where it fails,
// the file is refused whatever this answers.
std::uint32_t PageMapEntry(ByteReader& reader, const FileFacts& facts, std::uint64_t fcr,
                           std::uint64_t logical) {
  const std::uint64_t pageSize = facts.pageSize;
  const std::uint64_t logicalCount = reader.Ws32(fcr + layout::kFcrPageCount);
  if (logical < 1 || logical >= logicalCount) return 0;
  const std::uint64_t entriesPerPat = pageSize / 4 - 2;
  const std::uint64_t pair = (logical - 1) / entriesPerPat;
  const std::uint64_t first = 2 + pair * (pageSize / 4);
  const std::uint64_t second = first + 1;
  const bool firstIsCurrent = reader.U32(first * pageSize + layout::kPatUsage) >
                              reader.U32(second * pageSize + layout::kPatUsage);
  const std::uint64_t entry = (firstIsCurrent ? first : second) * pageSize +
                              layout::kPatHeaderSize + 4 * ((logical - 1) - pair * entriesPerPat);
  const std::uint8_t type = reader.U8(entry + 1);
  if (type == 0) return 0;
  return (std::uint32_t{type} << 24) | (std::uint32_t{reader.U8(entry)} << 16) |
         reader.U16(entry + 2);
}

// The image offset of the ACS page a segment names, if it is there: pre-6.0 page 1 (header naming
// page 1, marker 0xAC); 6.x the logical page the segment names, mapped by the PAT as an ACS page
// whose own header agrees.
std::optional<std::uint64_t> CollationPage(ByteReader& reader, const FileFacts& facts,
                                           std::uint64_t fcr, const SegmentSpec& segment) {
  const std::uint64_t pageSize = facts.pageSize;
  std::uint64_t start = 0;
  if (!facts.constants->pagesMappedThroughPat) {
    start = pageSize;
    if (reader.Ws32(start) != 1) return std::nullopt;
  } else {
    const std::uint32_t logical = segment.collationPage;
    const std::uint32_t mapped = PageMapEntry(reader, facts, fcr, logical);
    if ((mapped >> 24) != layout::kPageTypeCollation) return std::nullopt;
    start = std::uint64_t{mapped & 0xFFFFFF} * pageSize;
    const std::uint32_t own = (std::uint32_t{reader.U8(start)} << 16) | reader.U16(start + 2);
    if (reader.U8(start + 1) != layout::kPageTypeCollation || own != logical) return std::nullopt;
  }
  if (!reader.Fits(start, pageSize) ||
      reader.U8(start + layout::kCollationMarkerOffset) != layout::kCollationMarker) {
    return std::nullopt;
  }
  return start;
}

// Gives every segment that needs one its collation table; a key whose ACS is missing is marked so
// that its Gets answer 2. Segments naming the same page share one table. Done before the records
// are collected, so that key 0's order can be built while they are.
void ResolveCollations(ByteReader& reader, const FileFacts& facts, std::uint64_t fcr,
                       std::vector<KeySpec>& keys) {
  std::vector<std::pair<std::uint64_t, std::shared_ptr<const CollationTable>>> tables;
  for (KeySpec& key : keys) {
    for (SegmentSpec& segment : key.segments) {
      if (segment.order == SegmentOrder::kUnsupported) continue;
      if (segment.collation == Collation::kCaseInsensitive) {
        segment.table = CaseInsensitiveTable();
        continue;
      }
      if (segment.collation != Collation::kAlternate) continue;
      const std::optional<std::uint64_t> page = CollationPage(reader, facts, fcr, segment);
      if (!page) {
        key.collationMissing = true;
        continue;
      }
      const auto known = std::find_if(tables.begin(), tables.end(),
                                      [&](const auto& entry) { return entry.first == *page; });
      if (known != tables.end()) {
        segment.table = known->second;
        continue;
      }
      auto table = std::make_shared<CollationTable>();
      const auto bytes =
          reader.Bytes(*page + layout::kCollationTableOffset, layout::kCollationTableSize);
      for (std::size_t i = 0; i < bytes.size(); ++i)
        (*table)[i] = std::to_integer<std::uint8_t>(bytes[i]);
      segment.table = table;
      tables.emplace_back(*page, std::move(table));
    }
  }
}

}  // namespace

HeaderJudgement JudgeHeader(std::span<const std::byte> head, std::uint64_t fileSize) {
  HeaderJudgement result;
  result.readLimit = fileSize;
  ByteReader reader(head);
  Recognised recognised = Recognise(reader);
  if (recognised.reason.status != status::kSuccess) {
    result.reason = recognised.reason;
    return result;
  }
  FileFacts& facts = recognised.facts;
  facts.physicalPages =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize / facts.pageSize, UINT32_MAX));
  result.reason = ReadRecordShape(reader, recognised.fcrOffset, facts);
  // Pre-6.0 pages are physical and counted in the FCR: nothing beyond them is ever read.
  const std::uint64_t pageCount = reader.Ws32(layout::kFcrPageCount);
  if (!facts.constants->pagesMappedThroughPat && pageCount > 0 &&
      pageCount <= fileSize / facts.pageSize) {
    result.readLimit = pageCount * facts.pageSize;
  }
  result.placedThroughPat = facts.constants->pagesMappedThroughPat;
  return result;
}

std::uint64_t PlacedPagesLimit(std::span<const std::byte> head, std::uint64_t fileSize,
                               const PageReader& readPage) {
  ByteReader reader(head);
  const Recognised recognised = Recognise(reader);
  if (recognised.reason.status != status::kSuccess ||
      !recognised.facts.constants->pagesMappedThroughPat) {
    return fileSize;
  }
  const std::uint64_t pageSize = recognised.facts.pageSize;
  const std::uint64_t filePages = fileSize / pageSize;
  const std::uint64_t logicalCount = reader.Ws32(recognised.fcrOffset + layout::kFcrPageCount);
  if (!reader.Ok()) return fileSize;
  // As CollectV6 walks them: pair p of PAT pages at 2 + p * (pageSize / 4), each naming
  // pageSize / 4 - 2 logical pages, the copy with the larger usage count current.
  const std::uint64_t entriesPerPat = pageSize / 4 - 2;
  const std::uint64_t pairStride = pageSize / 4;
  std::vector<std::byte> first(pageSize);
  std::vector<std::byte> second(pageSize);
  std::uint64_t highest = 1;  // the FCR copies
  for (std::uint64_t pair = 0; logicalCount > 1 && pair <= (logicalCount - 2) / entriesPerPat;
       ++pair) {
    const std::uint64_t firstPage = 2 + pair * pairStride;
    if (firstPage + 1 >= filePages || !readPage(firstPage, first) ||
        !readPage(firstPage + 1, second)) {
      return fileSize;
    }
    highest = std::max(highest, firstPage + 1);
    ByteReader firstPat(first);
    ByteReader secondPat(second);
    ByteReader& pat =
        firstPat.U32(layout::kPatUsage) > secondPat.U32(layout::kPatUsage) ? firstPat : secondPat;
    const std::uint64_t entries = std::min(entriesPerPat, logicalCount - 1 - pair * entriesPerPat);
    for (std::uint64_t i = 0; i < entries; ++i) {
      const std::uint64_t entry = layout::kPatHeaderSize + 4 * i;
      if (pat.U8(entry + 1) == 0) continue;  // not in use
      const std::uint64_t target = (std::uint64_t{pat.U8(entry)} << 16) | pat.U16(entry + 2);
      if (target >= filePages) return fileSize;
      highest = std::max(highest, target);
    }
  }
  return std::min(fileSize, (highest + 1) * pageSize);
}

ParseResult ParseFile(std::vector<std::byte> image) {
  return ParseFile(FileImage(std::move(image)));
}

ParseResult ParseFile(FileImage image) {
  ParseResult result;
  const auto refuse = [&result](const Reason& reason) -> ParseResult& {
    result.status = reason.status;
    result.reason = reason;
    return result;
  };
  if (image.Size() > kMaxImageSize) {
    return refuse(Refusal(kDamaged, Check::kTooLarge).Values(image.Size(), kMaxImageSize));
  }
  ByteReader reader(image.Bytes());
  Recognised recognised = Recognise(reader);
  if (recognised.reason.status != status::kSuccess) return refuse(recognised.reason);
  FileFacts& facts = recognised.facts;
  facts.physicalPages = static_cast<std::uint32_t>(image.Size() / facts.pageSize);
  facts.fcrPage = static_cast<std::uint32_t>(recognised.fcrOffset / facts.pageSize);
  facts.filePages = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(image.FileSize() / facts.pageSize, UINT32_MAX));
  if (const Reason shape = ReadRecordShape(reader, recognised.fcrOffset, facts);
      shape.status != status::kSuccess) {
    return refuse(shape);
  }

  KeysResult keys = ReadKeys(reader.Bytes(recognised.fcrOffset, facts.pageSize),
                             recognised.fcrOffset / facts.pageSize, facts);
  if (keys.reason.status != status::kSuccess) return refuse(keys.reason);
  if (const Reason slot = CheckVariableSlot(facts, keys.keys); slot.status != status::kSuccess) {
    return refuse(slot);
  }
  {
    // (Its own reader: what it reads outside the image must not fail the collection.)
    ByteReader collations(image.Bytes());
    ResolveCollations(collations, facts, recognised.fcrOffset, keys.keys);
  }
  // Key 0's order is built while the slots are walked. Its reservation is bounded by the slots the
  // image can hold, whatever the FCR's record count says.
  const std::uint64_t expected =
      std::min<std::uint64_t>(facts.recordCount, image.Size() / facts.physicalLength);
  std::optional<SmallIntegerKeyOrder> smallOrder;
  std::optional<SortableKeyOrder> sortableOrder;
  if (!keys.keys.empty() && SmallIntegerKeyOrder::Handles(keys.keys[0])) {
    smallOrder.emplace(keys.keys[0], facts, expected);
  } else if (!keys.keys.empty() && SortableKeyOrder::Handles(keys.keys[0])) {
    sortableOrder.emplace(keys.keys[0], facts, expected);
  }
  const auto collect = [&](auto* firstOrder) {
    return facts.constants->pagesMappedThroughPat
               ? CollectV6(reader, facts, recognised.fcrOffset, firstOrder)
               : CollectPre6(reader, facts, firstOrder);
  };
  RecordsResult records =
      sortableOrder ? collect(&*sortableOrder) : collect(smallOrder ? &*smallOrder : nullptr);
  if (records.reason.status != status::kSuccess) return refuse(records.reason);
  if (records.records.size() != facts.recordCount) {
    return refuse(Refusal(kDamaged, Check::kRecordCount)
                      .At(recognised.fcrOffset / facts.pageSize, facts.physicalPages)
                      .Values(records.records.size(), facts.recordCount));
  }
  records.pageMap.shrink_to_fit();  // variable parts and the index walk need it

  // (Key 0 of a kind that cannot be ordered gets its refusal from ParsedFile::Order.)
  std::optional<KeyOrder> firstKeyOrder;
  if (smallOrder) firstKeyOrder = smallOrder->Finish(image.Bytes(), facts, records.records);
  if (sortableOrder) firstKeyOrder = sortableOrder->Finish(image.Bytes(), facts, records.records);
  auto file = std::make_shared<const ParsedFile>(
      std::move(image), facts, std::move(keys.keys), std::move(records.records),
      std::move(records.pageMap), std::move(firstKeyOrder));
  if (!file->Keys().empty() && file->Order(0).status == status::kIoError) {
    return refuse(file->Order(0).reason);
  }
  result.file = std::move(file);
  return result;
}

}  // namespace btrieve
