// The immutable parsed form of a record file: the file image, its facts, its key definitions and
// the current records, with each key's record order built on first use. Shared between every
// session that opened the same unchanged file; safe to use from several threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "btrieve/file_image.h"
#include "btrieve/format_constants.h"
#include "btrieve/key_compare.h"
#include "btrieve/reason.h"

namespace btrieve {

struct FileFacts {
  const FormatConstants* constants = &kPre6Constants;
  std::uint16_t version = 0;  // pre-6.0: 3, 4 or 5; 6.x: the word at 0x4A (0x0600, 0x0610)
  // The version as stored: pre-6.0 bytes 6 and 7 (byte 6 the high byte: 0x0004, or 0x00FC for the
  // negated form); 6.x the word at 0x4A.
  std::uint16_t versionWord = 0;
  std::uint32_t pageSize = 0;
  std::uint16_t recordLength = 0;    // logical: what a Get returns and Stat reports
  std::uint16_t physicalLength = 0;  // slot size
  std::uint32_t recordCount = 0;
  std::uint16_t fileFlags = 0;
  std::uint32_t physicalPages = 0;  // whole pages in the file image
  std::uint32_t fcrPage = 0;        // the current FCR's physical page
  std::uint32_t filePages = 0;      // whole pages in the file (the image may end before them)
  bool variable = false;  // records may carry a variable part after the fixed recordLength bytes
};

// One current record: where its slot is in the image. Kept this small on purpose: a file of tiny
// records holds many of them.
struct RecordRef {
  std::uint32_t slotOffset = 0;
};

// A key's order: status 0 with the record indices in key order (null keys left out), 41 when the
// key's type cannot be ordered, or 2 when its duplicate chains contradict each other.
struct KeyOrder {
  std::uint16_t status = 0;
  std::vector<std::uint32_t> records;
  // True when values that the extracted keys could not tell apart were compared record by record.
  bool comparatorUsed = false;
  Reason reason;  // why, when status is not 0
};

// What copying a whole record gave: status 0, 22 (the buffer held only `copied` bytes of it) or 54
// (its variable part is damaged; `copied` bytes are the fixed part and what came before the fault).
struct RecordCopy {
  std::uint16_t status = 0;
  std::uint32_t copied = 0;
  Reason reason;  // why, when status is 54
};

class ParsedFile {
 public:
  // `pageMap` (6.x files only): per logical page, its type in the top byte and its physical page
  // below; empty otherwise.
  // `firstOrder`, when given, is key 0's order, built while the file was parsed.
  ParsedFile(FileImage image, FileFacts facts, std::vector<KeySpec> keys,
             std::vector<RecordRef> records, std::vector<std::uint32_t> pageMap = {},
             std::optional<KeyOrder> firstOrder = std::nullopt);

  [[nodiscard]] const FileFacts& Facts() const { return m_facts; }
  [[nodiscard]] const std::vector<KeySpec>& Keys() const { return m_keys; }
  [[nodiscard]] std::size_t RecordCount() const { return m_records.size(); }
  [[nodiscard]] std::size_t ImageSize() const { return m_image.Size(); }
  // The memory the image keeps (at least ImageSize()).
  [[nodiscard]] std::size_t HeldBytes() const { return m_image.HeldBytes(); }

  // The whole image, each record's slot, and (6.x) per logical page its type in the top byte and
  // its physical page below: for tools that look at the file's own structures (the index walk).
  [[nodiscard]] std::span<const std::byte> Image() const { return m_image.Bytes(); }
  [[nodiscard]] std::span<const RecordRef> Records() const { return m_records; }
  [[nodiscard]] std::span<const std::uint32_t> PageMap() const { return m_pageMap; }

  // The fixed part of record `index` (< RecordCount()), recordLength bytes: all that keys are
  // taken from.
  [[nodiscard]] std::span<const std::byte> Record(std::size_t index) const;

  // A hint that record `index` (< RecordCount()) will be read soon; does nothing observable.
  void Prefetch(std::size_t index) const {
#if defined(__GNUC__) || defined(__clang__)
    // Every cache line the slot's fixed part touches (slots need not start on a line).
    const std::byte* slot = m_image.Bytes().data() + m_records[index].slotOffset;
    const std::size_t last = m_facts.constants->dataOffsetInSlot + m_facts.recordLength - 1;
    for (std::size_t offset = 0; offset < last; offset += 64)
      __builtin_prefetch(slot + offset);
    __builtin_prefetch(slot + last);
#else
    (void)index;
#endif
  }

  // Copies record `index` whole, the fixed part followed by its variable part, into `out` as far
  // as it fits. Allocates nothing.
  [[nodiscard]] RecordCopy CopyRecord(std::size_t index, std::span<std::byte> out) const;

  // The order of key `key` (< Keys().size()); built once, on the first call for that key.
  [[nodiscard]] const KeyOrder& Order(std::size_t key) const;

  // The same order built afresh by pairwise comparison of records, the reference Order is checked
  // against; slow, never used by the operations.
  [[nodiscard]] KeyOrder ReferenceOrder(std::size_t key) const;

 private:
  struct LazyOrder {
    std::once_flag once;
    std::atomic<bool> built{false};  // spares every later call the once_flag's call
    KeyOrder order;
  };

  FileImage m_image;
  FileFacts m_facts;
  std::vector<KeySpec> m_keys;
  std::vector<RecordRef> m_records;
  std::vector<std::uint32_t> m_pageMap;
  std::unique_ptr<LazyOrder[]> m_orders;
  // The fragments that more than one record's chain reaches (variable-length files), found in one
  // walk of every chain when the file is parsed.
  std::unordered_set<std::uint64_t> m_shared;
};

}  // namespace btrieve
