// Record order of one key, including the duplicate-chain rule (see key_order.h).
#include "btrieve/key_order.h"

#include <algorithm>
#include <utility>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/format_constants.h"

namespace btrieve {
namespace {

std::span<const std::byte> RecordData(std::span<const std::byte> image, const FileFacts& facts,
                                      const RecordRef& record) {
  return image.subspan(record.slotOffset + facts.constants->dataOffsetInSlot, facts.recordLength);
}

// The address duplicate pointers use for a record: pre-6.0 the slot's file offset; 6.x the logical
// page (which its data page repeats in its header, checked at parse time) times the page size plus
// the slot's offset in the page.
std::uint64_t RecordAddress(ByteReader& reader, const FileFacts& facts, std::uint32_t slotOffset) {
  if (!facts.constants->pagesMappedThroughPat) return slotOffset;
  const std::uint64_t pageStart = slotOffset - slotOffset % facts.pageSize;
  const std::uint64_t logical =
      (std::uint64_t{reader.U8(pageStart)} << 16) | reader.U16(pageStart + 2);
  return logical * facts.pageSize + slotOffset % facts.pageSize;
}

// Puts group[0..n) (record indices with equal key values, in physical order) into chain order.
// Answers a reason (status 2) when the pointers do not form one chain over exactly these records.
Reason OrderByChain(std::span<std::uint32_t> group, const KeySpec& key,
                    std::span<const std::byte> image, const FileFacts& facts,
                    std::span<const RecordRef> records) {
  ByteReader reader(image);
  // Where the chain breaks: the slot of record `index`.
  const auto broken = [&](Check check, std::uint32_t index, std::uint64_t bound) {
    const std::uint64_t slotOffset = records[index].slotOffset;
    Reason reason = Refusal(status::kIoError, check)
                        .At(slotOffset / facts.pageSize, facts.physicalPages)
                        .Values(group.size(), bound);
    reason.slot = (slotOffset % facts.pageSize - layout::kPageHeaderSize) / facts.physicalLength;
    return reason;
  };
  struct Member {
    std::uint64_t address;
    std::uint32_t previous;
    std::uint32_t next;
    std::uint32_t record;
  };
  std::vector<Member> members;
  members.reserve(group.size());
  for (const std::uint32_t index : group) {
    const std::uint64_t pair =
        std::uint64_t{records[index].slotOffset} + key.duplicatePointerOffset;
    members.push_back({RecordAddress(reader, facts, records[index].slotOffset), reader.Ws32(pair),
                       reader.Ws32(pair + 4), index});
  }
  if (!reader.Ok()) return broken(Check::kDuplicateChainBroken, group[0], Reason::kUnset);
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return a.address < b.address; });
  const auto find = [&](std::uint64_t address) -> const Member* {
    const auto it =
        std::lower_bound(members.begin(), members.end(), address,
                         [](const Member& m, std::uint64_t value) { return m.address < value; });
    return (it != members.end() && it->address == address) ? &*it : nullptr;
  };

  const Member* current = nullptr;
  std::uint64_t heads = 0;
  for (const Member& member : members) {
    if (member.previous != layout::kNoPointer) continue;
    ++heads;
    if (current == nullptr) current = &member;
  }
  if (heads != 1) return broken(Check::kDuplicateHeads, group[0], heads);
  std::size_t placed = 0;
  std::vector<bool> visited(members.size(), false);
  while (current != nullptr) {
    const auto slot = static_cast<std::size_t>(current - members.data());
    if (visited[slot] || placed == group.size()) {
      return broken(Check::kDuplicateChainBroken, current->record, Reason::kUnset);
    }
    visited[slot] = true;
    group[placed++] = current->record;
    if (current->next == layout::kNoPointer) break;
    const Member* next = find(current->next);
    if (next == nullptr || next->previous != current->address) {
      return broken(Check::kDuplicateChainBroken, current->record, Reason::kUnset);
    }
    current = next;
  }
  if (placed != group.size()) {
    return broken(Check::kDuplicateChainBroken, group[placed - 1], Reason::kUnset);
  }
  return {};
}

}  // namespace

KeyOrder BuildKeyOrder(const KeySpec& key, std::span<const std::byte> image, const FileFacts& facts,
                       std::span<const RecordRef> records) {
  KeyOrder result;
  if (!key.comparable) {
    result.status = status::kOperationNotAllowed;
    result.reason = Refusal(result.status, Check::kKeyType);
    for (std::size_t s = 0; s < key.segments.size(); ++s) {
      if (key.segments[s].order != SegmentOrder::kUnsupported) continue;
      result.reason.segment = s + 1;
      result.reason.found = key.segments[s].type;
      break;
    }
    return result;
  }
  if (key.collationMissing) {
    result.status = status::kIoError;
    result.reason = Refusal(result.status, Check::kCollationMissing);
    return result;
  }
  result.records.reserve(records.size());
  for (std::uint32_t i = 0; i < records.size(); ++i) {
    if (!IsNullKey(key, RecordData(image, facts, records[i]))) result.records.push_back(i);
  }
  const auto less = [&](std::uint32_t a, std::uint32_t b) {
    return CompareRecordKeys(key, RecordData(image, facts, records[a]),
                             RecordData(image, facts, records[b])) < 0;
  };
  // Files are mostly written in key order: a single look tells, and the sort is then not needed.
  if (!std::is_sorted(result.records.begin(), result.records.end(), less)) {
    std::stable_sort(result.records.begin(), result.records.end(), less);
  }

  if (!HasLinkedDuplicates(key)) return result;
  std::span<std::uint32_t> all(result.records);
  std::size_t begin = 0;
  while (begin < all.size()) {
    std::size_t end = begin + 1;
    while (end < all.size() && !less(all[begin], all[end]))
      ++end;
    if (end - begin > 1) {
      Reason reason = OrderByChain(all.subspan(begin, end - begin), key, image, facts, records);
      if (reason.status != status::kSuccess) {
        result.status = reason.status;
        result.reason = reason;
        result.records.clear();
        return result;
      }
    }
    begin = end;
  }
  return result;
}

}  // namespace btrieve
