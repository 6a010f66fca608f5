// Keeps the parsed form of recently opened files so that opening an unchanged file again costs no
// read. Bounded: a few dozen files and the memory their images hold; the least recently used goes
// first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "btrieve/parsed_file.h"
#include "btrieve/platform_file.h"

namespace btrieve {

class SnapshotCache {
 public:
  // A file counts as settled once neither its modification nor its change time lies within this
  // span before now; only settled files are stored and reused.
  static constexpr std::int64_t kSettleNs = 2'000'000'000;

  SnapshotCache(std::size_t maxEntries, std::size_t maxBytes)
      : m_maxEntries(maxEntries), m_maxBytes(maxBytes) {}

  // The process-wide cache used by Open.
  [[nodiscard]] static SnapshotCache& Instance();

  // The stored parse of exactly this identity, if the file is settled at `nowNs`; else nothing.
  [[nodiscard]] std::shared_ptr<const ParsedFile> Find(const FileIdentity& identity,
                                                       std::int64_t nowNs);

  // Stores a parse read from a file of this identity, if the file is settled at `nowNs`. Replaces
  // an entry of the same device and inode.
  void Store(const FileIdentity& identity, std::shared_ptr<const ParsedFile> file,
             std::int64_t nowNs);

  [[nodiscard]] static bool IsSettled(const FileIdentity& identity, std::int64_t nowNs);

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const ParsedFile> file;
  };

  std::mutex m_mutex;
  std::list<Entry> m_entries;  // most recently used first
  std::size_t m_bytes = 0;
  std::size_t m_maxEntries;
  std::size_t m_maxBytes;
};

}  // namespace btrieve
