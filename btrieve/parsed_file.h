// The immutable parsed form of a record file: the file image, its facts, its key definitions and
// the current records, with each key's record order built on first use. Shared between every
// session that opened the same unchanged file; safe to use from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "btrieve/format_constants.h"
#include "btrieve/key_compare.h"

namespace btrieve {

struct FileFacts {
  const FormatConstants* constants = &kPre6Constants;
  std::uint16_t version = 0;  // pre-6.0: byte 7 (3, 4 or 5); 6.x: the word at 0x4A (0x0600, 0x0610)
  std::uint32_t pageSize = 0;
  std::uint16_t recordLength = 0;    // logical: what a Get returns and Stat reports
  std::uint16_t physicalLength = 0;  // slot size
  std::uint32_t recordCount = 0;
  std::uint16_t fileFlags = 0;
  std::uint32_t physicalPages = 0;  // whole pages in the file image
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
};

class ParsedFile {
 public:
  ParsedFile(std::vector<std::byte> image, FileFacts facts, std::vector<KeySpec> keys,
             std::vector<RecordRef> records);

  [[nodiscard]] const FileFacts& Facts() const { return m_facts; }
  [[nodiscard]] const std::vector<KeySpec>& Keys() const { return m_keys; }
  [[nodiscard]] std::size_t RecordCount() const { return m_records.size(); }
  [[nodiscard]] std::size_t ImageSize() const { return m_image.size(); }

  // The logical record data of record `index` (< RecordCount()), recordLength bytes.
  [[nodiscard]] std::span<const std::byte> Record(std::size_t index) const;

  // The order of key `key` (< Keys().size()); built once, on the first call for that key.
  [[nodiscard]] const KeyOrder& Order(std::size_t key) const;

 private:
  struct LazyOrder {
    std::once_flag once;
    KeyOrder order;
  };

  std::vector<std::byte> m_image;
  FileFacts m_facts;
  std::vector<KeySpec> m_keys;
  std::vector<RecordRef> m_records;
  std::unique_ptr<LazyOrder[]> m_orders;
};

}  // namespace btrieve
