// The walk of each key's index pages and its comparison with the records (see index_walk.h).
#include "btrieve/index_walk.h"

#include <algorithm>
#include <span>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/format_constants.h"
#include "btrieve/key_order.h"
#include "btrieve/session_registry.h"

namespace btrieve {
namespace {

constexpr std::uint32_t kCountOffset = 6;
constexpr std::uint32_t kLastChildOffset = 8;
constexpr std::uint32_t kEntriesOffset = 12;
constexpr std::uint32_t kChildSize = 4;
constexpr std::uint32_t kAddressSize = 4;
constexpr std::uint8_t kIndexPageType = 0x80;  // + key number, in 6.x page references
constexpr std::uint32_t kNoLogicalPage = 0xFFFFFF;
// Key spec fields the record manager itself does not need.
constexpr std::uint32_t kSpecRoot = 0x00;
constexpr std::uint32_t kSpecEntrySize = 0x0C;

// A key's findings beyond this many are counted, not listed: a tree damaged near its root would
// otherwise give one finding per record, and the list would outgrow the file.
constexpr std::size_t kMaxFindingsPerKey = 1000;

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0x0F]);
    value >>= 4;
  } while (value != 0);
  return "0x" + digits;
}

// The record at a record address (what index entries and duplicate pointers hold): the records
// bucketed by the page part of their address, found within a bucket by a search over at most one
// page's slots. Built in linear time.
class RecordLookup {
 public:
  explicit RecordLookup(const ParsedFile& file) : m_pageSize(file.Facts().pageSize) {
    const FileFacts& facts = file.Facts();
    ByteReader reader(file.Image());
    const std::span<const RecordRef> records = file.Records();
    m_addresses.resize(records.size());
    std::uint64_t highest = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const std::uint64_t slot = records[i].slotOffset;
      std::uint64_t address = slot;
      if (facts.constants->pagesMappedThroughPat) {
        // 6.x: the logical page its data page names in its header (checked at parse time).
        const std::uint64_t start = slot - slot % m_pageSize;
        const std::uint64_t logical =
            (std::uint64_t{reader.U8(start)} << 16) | reader.U16(start + 2);
        address = logical * m_pageSize + slot % m_pageSize;
      }
      m_addresses[i] = address;
      highest = std::max(highest, address / m_pageSize);
    }
    m_bucketStart.assign(records.empty() ? 1 : highest + 2, 0);
    for (const std::uint64_t address : m_addresses)
      ++m_bucketStart[address / m_pageSize + 1];
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
      m_bucketStart[b] += m_bucketStart[b - 1];
    m_byAddress.resize(records.size());
    std::vector<std::uint32_t> fill(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::uint32_t i = 0; i < records.size(); ++i)
      m_byAddress[fill[m_addresses[i] / m_pageSize]++] = i;
    for (std::size_t b = 0; b + 1 < m_bucketStart.size(); ++b) {
      std::sort(m_byAddress.begin() + m_bucketStart[b], m_byAddress.begin() + m_bucketStart[b + 1],
                [&](std::uint32_t x, std::uint32_t y) { return m_addresses[x] < m_addresses[y]; });
    }
  }

  [[nodiscard]] std::optional<std::uint32_t> Find(std::uint64_t address) const {
    const std::uint64_t bucket = address / m_pageSize;
    if (bucket + 1 >= m_bucketStart.size()) return std::nullopt;
    const auto begin = m_byAddress.begin() + m_bucketStart[bucket];
    const auto end = m_byAddress.begin() + m_bucketStart[bucket + 1];
    const auto it = std::lower_bound(
        begin, end, address, [&](std::uint32_t r, std::uint64_t a) { return m_addresses[r] < a; });
    if (it == end || m_addresses[*it] != address) return std::nullopt;
    return *it;
  }

  [[nodiscard]] std::uint64_t Address(std::uint32_t record) const { return m_addresses[record]; }

 private:
  std::uint64_t m_pageSize;
  std::vector<std::uint64_t> m_addresses;
  std::vector<std::uint32_t> m_bucketStart;
  std::vector<std::uint32_t> m_byAddress;
};

// The walk of one key's tree.
class KeyWalk {
 public:
  KeyWalk(const ParsedFile& file, const RecordLookup& lookup, std::uint32_t keyNumber,
          std::vector<std::uint32_t>& visited, std::vector<IndexFinding>& findings)
      : m_file(file),
        m_facts(file.Facts()),
        m_key(file.Keys()[keyNumber]),
        m_lookup(lookup),
        m_keyNumber(keyNumber),
        m_reader(file.Image()),
        m_visited(visited),
        m_findings(findings),
        m_reached(file.RecordCount(), 0) {}

  void Run() {
    const std::uint64_t fcr = std::uint64_t{m_facts.fcrPage} * m_facts.pageSize;
    const std::uint64_t spec = fcr + m_key.specOffset;
    const std::uint32_t entrySize = m_reader.U16(spec + kSpecEntrySize);
    m_pointers = entrySize >= kChildSize + m_key.length
                     ? (entrySize - kChildSize - m_key.length) / kAddressSize
                     : 0;
    const std::uint32_t expected = HasLinkedDuplicates(m_key) ? 2 : 1;
    if (m_pointers != expected ||
        entrySize != kChildSize + m_key.length + expected * kAddressSize) {
      Find(Reason::kUnset, Reason::kUnset,
           "index entries of " + std::to_string(entrySize) + " bytes do not fit a key of " +
               std::to_string(m_key.length) + " bytes with " + std::to_string(expected) +
               " record address(es) each");
      return;
    }
    m_entrySize = entrySize;
    m_maxEntries = (m_facts.pageSize - kEntriesOffset) / entrySize;

    struct Frame {
      std::uint64_t page;  // physical
      std::uint32_t count;
      std::uint32_t next = 0;  // the entry to handle next
      bool childDone = false;  // the child before entry `next` is walked
      bool lastDone = false;   // the child after the last entry is walked
    };
    std::vector<Frame> stack;
    const auto enter = [&](std::uint64_t page) {
      const std::uint64_t start = page * m_facts.pageSize;
      std::uint32_t count = m_reader.U16(start + kCountOffset);
      if (count > m_maxEntries) {
        Find(page, Reason::kUnset,
             "entry count " + std::to_string(count) + " does not fit the page (at most " +
                 std::to_string(m_maxEntries) + ")");
        count = m_maxEntries;
      }
      stack.push_back({page, count});
    };
    if (const std::optional<std::uint64_t> root =
            Child(m_reader.U32(spec + kSpecRoot), Reason::kUnset, Reason::kUnset)) {
      enter(*root);
    }
    while (!stack.empty()) {
      Frame& top = stack.back();
      const std::uint64_t start = top.page * m_facts.pageSize;
      if (top.next < top.count) {
        const std::uint64_t entry = start + kEntriesOffset + std::uint64_t{top.next} * m_entrySize;
        if (!top.childDone) {
          top.childDone = true;
          const std::uint64_t page = top.page;
          if (const auto child = Child(m_reader.U32(entry), page, top.next)) enter(*child);
          continue;
        }
        Entry(top.page, top.next, entry);
        ++top.next;
        top.childDone = false;
        continue;
      }
      if (!top.lastDone) {
        top.lastDone = true;
        const std::uint64_t page = top.page;
        if (const auto child = Child(m_reader.U32(start + kLastChildOffset), page, top.count)) {
          enter(*child);
        }
        continue;
      }
      stack.pop_back();
    }
    Finish();
  }

 private:
  void Find(std::uint64_t page, std::uint64_t entry, std::string what) {
    if (m_listed == kMaxFindingsPerKey) {
      ++m_unlisted;
      return;
    }
    ++m_listed;
    m_findings.push_back({m_keyNumber, page, entry, std::move(what)});
  }

  // The physical page a child reference names (stored bytes as a little-endian word), nothing for
  // "none" and for a reference that names no index page of this key (a finding at `page`, `entry`,
  // the entry whose child it is).
  std::optional<std::uint64_t> Child(std::uint32_t stored, std::uint64_t page,
                                     std::uint64_t entry) {
    const auto b = [stored](int i) { return (stored >> (8 * i)) & 0xFF; };
    std::uint64_t physical = 0;
    std::string named;
    if (!m_facts.constants->pagesMappedThroughPat) {
      if (stored == layout::kNoPointer) return std::nullopt;
      physical = (std::uint64_t{b(1) << 8 | b(0)} << 16) | (b(3) << 8 | b(2));
      named = "page " + std::to_string(physical);
      if (physical == 0 || physical >= m_facts.physicalPages) {
        Find(page, entry, "child " + named + " lies outside the file");
        return std::nullopt;
      }
      const std::uint64_t at = physical * m_facts.pageSize;
      if (m_reader.Ws32(at) != physical || (m_reader.U16(at + 4) & layout::kPre6DataPageBit) != 0) {
        Find(page, entry, "child " + named + " is not an index page");
        return std::nullopt;
      }
    } else {
      const std::uint32_t logical = (b(0) << 16) | (b(3) << 8) | b(2);
      if (logical == kNoLogicalPage) return std::nullopt;
      const auto type = static_cast<std::uint8_t>(kIndexPageType + m_keyNumber);
      const std::span<const std::uint32_t> map = m_file.PageMap();
      named = "logical page " + std::to_string(logical);
      if (logical == 0 || logical >= map.size() || (map[logical] >> 24) != type) {
        Find(page, entry, "child " + named + " is not an index page of this key");
        return std::nullopt;
      }
      physical = map[logical] & 0xFFFFFF;
      const std::uint64_t at = physical * m_facts.pageSize;
      const std::uint32_t own = (std::uint32_t{m_reader.U8(at)} << 16) | m_reader.U16(at + 2);
      if (b(1) != type || m_reader.U8(at + 1) != type || own != logical) {
        Find(page, entry,
             "child " + named + " (page " + std::to_string(physical) +
                 ") does not name itself as this key's index page");
        return std::nullopt;
      }
    }
    if (m_visited[physical] == m_keyNumber + 1) {
      Find(page, entry, "child " + named + " is reached a second time (a cycle or a shared page)");
      return std::nullopt;
    }
    m_visited[physical] = m_keyNumber + 1;
    return physical;
  }

  // Marks `record` reached from entry (`page`, `entry`); false (and a finding) the second time.
  bool Reach(std::uint32_t record, std::uint64_t page, std::uint64_t entry) {
    if (m_reached[record] == 0) {
      m_reached[record] = 1;
      m_sequence.push_back({record, page, entry});
      return true;
    }
    Find(page, entry, "record at " + Hex(m_lookup.Address(record)) + " is reached a second time");
    return false;
  }

  void Entry(std::uint64_t page, std::uint32_t number, std::uint64_t at) {
    const std::span<const std::byte> value = m_reader.Bytes(at + kChildSize, m_key.length);
    if (value.size() != m_key.length) return;  // the entry fits the page: cannot happen
    const std::uint64_t addresses = at + kChildSize + m_key.length;
    const std::uint32_t firstAddress = m_reader.Ws32(addresses);
    const bool linked = m_pointers == 2;
    const std::uint32_t lastAddress = linked ? m_reader.Ws32(addresses + kAddressSize) : 0;

    // Order and duplicates, against the entry before.
    // (A key this reader cannot order is checked for equal neighbours only.)
    int order = 1;
    if (m_previous.has_value()) {
      if (m_key.comparable) {
        order = CompareKeyValues(m_key, value, *m_previous);
      } else {
        order =
            std::equal(value.begin(), value.end(), m_previous->begin(), m_previous->end()) ? 0 : 1;
      }
      if (order < 0) {
        Find(page, number, "the entry's key sorts before the entry before it");
      } else if (order == 0 && (m_key.flags & key_flags::kDuplicates) == 0) {
        Find(page, number, "the same key value as the entry before it in a key without duplicates");
      } else if (order == 0 && linked) {
        Find(page, number,
             "the same key value as the entry before it (linked duplicates share "
             "one entry)");
      }
    }
    if (order != 0) ++m_distinct;
    m_previous.emplace(value.begin(), value.end());

    const std::optional<std::uint32_t> first = m_lookup.Find(firstAddress);
    if (!first) {
      Find(page, number,
           "the entry names record address " + Hex(firstAddress) + ", where no record is");
      return;
    }
    CheckRecord(*first, value, page, number);
    if (!Reach(*first, page, number) || !linked) return;

    // Linked duplicates: the chain from the first record to the last, through the next pointers.
    const std::optional<std::uint32_t> last = m_lookup.Find(lastAddress);
    if (!last) {
      Find(page, number,
           "the entry's last duplicate is record address " + Hex(lastAddress) +
               ", where no record is");
      return;
    }
    std::uint32_t current = *first;
    for (std::size_t steps = 0; current != *last; ++steps) {
      if (steps > m_file.RecordCount()) {
        Find(page, number, "the duplicate chain runs in a circle");
        return;
      }
      const std::uint32_t next = m_reader.Ws32(std::uint64_t{m_file.Records()[current].slotOffset} +
                                               m_key.duplicatePointerOffset + kAddressSize);
      if (next == layout::kNoPointer) {
        Find(page, number,
             "the duplicate chain ends at " + Hex(m_lookup.Address(current)) +
                 " before the entry's last record " + Hex(lastAddress));
        return;
      }
      const std::optional<std::uint32_t> member = m_lookup.Find(next);
      if (!member) {
        Find(page, number,
             "the duplicate chain names record address " + Hex(next) + ", where no record is");
        return;
      }
      if (!Reach(*member, page, number)) return;
      const std::span<const std::byte> record = m_file.Record(*member);
      if (!IsNullKey(m_key, record) &&
          (m_key.comparable ? CompareRecordWithValue(m_key, record, value) != 0
                            : !SameBytes(record, value))) {
        Find(page, number,
             "record at " + Hex(next) + " in the duplicate chain holds another key value");
      }
      current = *member;
    }
  }

  [[nodiscard]] bool SameBytes(std::span<const std::byte> record,
                               std::span<const std::byte> value) {
    m_scratch.resize(m_key.length);
    ExtractKey(m_key, record, m_scratch);
    return std::equal(m_scratch.begin(), m_scratch.end(), value.begin(), value.end());
  }

  void CheckRecord(std::uint32_t record, std::span<const std::byte> value, std::uint64_t page,
                   std::uint32_t number) {
    const std::span<const std::byte> data = m_file.Record(record);
    if (IsNullKey(m_key, data)) {
      Find(page, number,
           "record at " + Hex(m_lookup.Address(record)) +
               " has a null key value but is in the index");
    }
    if (!SameBytes(data, value)) {
      Find(page, number,
           "the entry's key bytes differ from those of record at " + Hex(m_lookup.Address(record)));
    }
  }

  void Finish() {
    for (std::uint32_t r = 0; r < m_reached.size(); ++r) {
      if (m_reached[r] != 0 || IsNullKey(m_key, m_file.Record(r))) continue;
      Find(m_file.Records()[r].slotOffset / m_facts.pageSize, Reason::kUnset,
           "record at " + Hex(m_lookup.Address(r)) + " is not in the index");
    }
    if (m_distinct != m_key.uniqueCount) {
      Find(Reason::kUnset, Reason::kUnset,
           "the key's definition counts " + std::to_string(m_key.uniqueCount) +
               " distinct values, the index holds " + std::to_string(m_distinct));
    }
    // With the index otherwise sound, the records it reaches, in its order, are the reader's own
    // order of the key: the same values in the same order, equal values of linked duplicates in
    // their chain's order and of repeating ones as the file stores them. A key whose order the
    // reader refuses (its chains contradict each other) is a finding of its own.
    const KeyOrder& order = m_file.Order(m_keyNumber);
    if (order.status == status::kIoError) {
      Find(Reason::kUnset, Reason::kUnset, "the key's order: " + ReasonText(order.reason));
    } else if (m_listed == 0 && order.status == status::kSuccess) {
      for (std::size_t i = 0; i < m_sequence.size() && i < order.records.size(); ++i) {
        const Reached& reached = m_sequence[i];
        if (reached.record == order.records[i]) continue;
        Find(reached.page, reached.entry,
             "the index has record at " + Hex(m_lookup.Address(reached.record)) +
                 " where the reader's order of the key has record at " +
                 Hex(m_lookup.Address(order.records[i])));
        break;
      }
    }
    if (m_unlisted > 0) {
      m_findings.push_back(
          {m_keyNumber, Reason::kUnset, Reason::kUnset,
           std::to_string(m_unlisted) + (m_unlisted == 1 ? " further finding is not listed"
                                                         : " further findings are not listed")});
    }
  }

  const ParsedFile& m_file;
  const FileFacts& m_facts;
  const KeySpec& m_key;
  const RecordLookup& m_lookup;
  std::uint32_t m_keyNumber;
  ByteReader m_reader;
  std::vector<std::uint32_t>& m_visited;
  std::vector<IndexFinding>& m_findings;
  std::vector<std::uint8_t> m_reached;  // per record, whether reached
  std::uint32_t m_entrySize = 0;
  std::uint32_t m_maxEntries = 0;
  std::uint32_t m_pointers = 0;
  std::uint64_t m_distinct = 0;
  std::size_t m_listed = 0;
  std::uint64_t m_unlisted = 0;
  std::optional<std::vector<std::byte>> m_previous;
  std::vector<std::byte> m_scratch;
  // The records in the order the walk reached them, with the entry that reached each.
  struct Reached {
    std::uint32_t record;
    std::uint64_t page;
    std::uint64_t entry;
  };
  std::vector<Reached> m_sequence;
};

}  // namespace

std::vector<IndexFinding> WalkIndexes(const ParsedFile& file) {
  std::vector<IndexFinding> findings;
  const RecordLookup lookup(file);
  std::vector<std::uint32_t> visited(file.Facts().physicalPages, 0);
  for (std::uint32_t k = 0; k < file.Keys().size(); ++k)
    KeyWalk(file, lookup, k, visited, findings).Run();
  return findings;
}

std::optional<std::vector<IndexFinding>> WalkIndexesOfOpenFile(const void* positionBlock) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return std::nullopt;
  return WalkIndexes(*session->file);
}

}  // namespace btrieve
