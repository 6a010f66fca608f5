// The bounded cache of parsed files (see snapshot_cache.h).
#include "btrieve/snapshot_cache.h"

#include <algorithm>
#include <utility>

namespace btrieve {

SnapshotCache& SnapshotCache::Instance() {
  static SnapshotCache cache(32, std::size_t{256} << 20);
  return cache;
}

bool SnapshotCache::IsSettled(const FileIdentity& identity, std::int64_t nowNs) {
  const std::int64_t latest = std::max(identity.modifiedNs, identity.changedNs);
  return latest <= nowNs - kSettleNs;
}

std::shared_ptr<const ParsedFile> SnapshotCache::Find(const FileIdentity& identity,
                                                      std::int64_t nowNs) {
  if (!IsSettled(identity, nowNs)) return nullptr;
  const std::lock_guard lock(m_mutex);
  const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [&](const Entry& entry) { return entry.identity == identity; });
  if (it == m_entries.end()) return nullptr;
  m_entries.splice(m_entries.begin(), m_entries, it);
  return it->file;
}

void SnapshotCache::Store(const FileIdentity& identity, std::shared_ptr<const ParsedFile> file,
                          std::int64_t nowNs) {
  if (file == nullptr || !IsSettled(identity, nowNs) || file->HeldBytes() > m_maxBytes) return;
  const std::lock_guard lock(m_mutex);
  const auto same = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
    return entry.identity.device == identity.device && entry.identity.inode == identity.inode;
  });
  if (same != m_entries.end()) {
    m_bytes -= same->file->HeldBytes();
    m_entries.erase(same);
  }
  m_bytes += file->HeldBytes();
  m_entries.push_front({identity, std::move(file)});
  while (m_entries.size() > m_maxEntries || m_bytes > m_maxBytes) {
    m_bytes -= m_entries.back().file->HeldBytes();
    m_entries.pop_back();
  }
}

}  // namespace btrieve
