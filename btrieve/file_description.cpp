// Facts of an open file, read from its parsed form (see file_description.h).
#include "btrieve/file_description.h"

#include "btrieve/btrieve.h"
#include "btrieve/platform_file.h"
#include "btrieve/session_registry.h"
#include "btrieve/snapshot_cache.h"

namespace btrieve {

std::optional<FileDescription> DescribeOpenFile(const void* positionBlock) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return std::nullopt;
  const ParsedFile& file = *session->file;
  const FileFacts& facts = file.Facts();
  FileDescription description;
  description.preV6 = facts.constants->format == FileFormat::kPre6;
  description.version = facts.version;
  description.versionWord = facts.versionWord;
  description.pageSize = facts.pageSize;
  description.recordLength = facts.recordLength;
  description.physicalRecordLength = facts.physicalLength;
  description.recordCount = static_cast<std::uint32_t>(file.RecordCount());
  description.physicalPages = facts.filePages;
  description.keyCount = static_cast<std::uint16_t>(file.Keys().size());
  description.fileFlags = facts.fileFlags;
  return description;
}

std::optional<RecordInFileOrder> ReadRecordInFileOrder(const void* positionBlock, std::size_t index,
                                                       std::span<std::byte> out) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return std::nullopt;
  const ParsedFile& file = *session->file;
  RecordInFileOrder result;
  if (index >= file.RecordCount()) {
    result.status = status::kEndOfFile;
    return result;
  }
  const RecordCopy copy = file.CopyRecord(index, out);
  result.status = copy.status;
  result.length = copy.copied;
  return result;
}

std::shared_ptr<const void> OpenFileSnapshot(const void* positionBlock) {
  const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(positionBlock);
  if (session == nullptr) return nullptr;
  return session->file;
}

bool SnapshotIsCurrent(const std::string& path, const std::shared_ptr<const void>& snapshot) {
  if (snapshot == nullptr) return false;
  const std::optional<FileIdentity> identity = PathIdentity(path);
  if (!identity) return false;
  return SnapshotCache::Instance().Find(*identity, NowNs()) == snapshot;
}

}  // namespace btrieve
