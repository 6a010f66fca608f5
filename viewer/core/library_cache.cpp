// The library cache and loader, and the reference resolver that nests loads inside a load.
#include "viewer/core/library_cache.h"

#include <algorithm>
#include <span>
#include <utility>

#include "libfile/basis_datei.h"
#include "libfile/basis_datei32.h"
#include "viewer/core/reference.h"

namespace core {

namespace {

// The record manager's read-only open mode.
constexpr std::int16_t kReadOnlyOpenMode = -2;

// A data length below this means the file's records are too short for the current layout.
constexpr std::uint16_t kMinimumCurrentDataLength = 39;

// The entry text in `buffer`: from its second byte up to the first zero byte, and never beyond
// the entry's data part.
std::string EntryText(std::span<const std::byte> buffer, std::size_t dataLength) {
  const std::size_t end = std::min(dataLength, buffer.size());
  if (end <= 1) return {};
  const char* const first = reinterpret_cast<const char*>(buffer.data()) + 1;
  const std::string_view data(first, end - 1);
  return std::string(data.substr(0, data.find('\0')));
}

}  // namespace

// What an unresolved load of an unchanged file produced: a later unresolved load of the same file,
// served by the same live snapshot, gets the same list without reading its entries again.
struct LibraryCache::ReuseMemo {
  std::weak_ptr<const void> snapshot;
  bool is16Bit = false;
  std::uint16_t count = 0;
  std::shared_ptr<tcodelist> list;
};

std::string LibraryFileName(std::string_view utilsDirectory, std::uint8_t number) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string name(utilsDirectory);
  name += "KL7";
  name += kHexDigits[number >> 4];
  name += kHexDigits[number & 0x0F];
  name += ".DAT";
  return name;
}

LibraryCache::LibraryCache(libfile::RecordManager& recordManager, std::string utilsDirectory)
    : m_fileContext(recordManager),
      m_utilsDirectory(std::move(utilsDirectory)),
      m_recordBuffer(std::make_unique<std::array<std::byte, kRecordBufferSize>>()),
      m_memos(std::make_unique<std::array<ReuseMemo, 256>>()) {}

LibraryCache::~LibraryCache() = default;

bool LibraryCache::LoadLibraryList(std::uint8_t number, bool reload, bool resolve, bool& is16Bit) {
  is16Bit = false;
  if (m_loaded[number]) {
    if (!reload) return true;
    ReleaseLibraryList(number);
  }

  const std::string fileName = LibraryFileName(m_utilsDirectory, number);
  const std::span<std::byte> buffer(*m_recordBuffer);
  std::int32_t count = 0;
  {
    libfile::TBasisDatei32 file(m_fileContext, fileName, buffer, count, kReadOnlyOpenMode);
    if (file.DataLength() >= kMinimumCurrentDataLength) {
      if (file.Status() != 0) {
        (void)file.Close();
        return false;
      }
      std::shared_ptr<tcodelist> list =
          ReadEntries(file, static_cast<std::uint16_t>(count), number, resolve, false);
      (void)file.Close();
      Install(number, std::move(list));
      return true;
    }
    (void)file.Close();
  }

  is16Bit = true;
  libfile::TBasisDatei file(m_fileContext, fileName, buffer, count, kReadOnlyOpenMode);
  if (file.Status() != 0) {
    (void)file.Close();
    return false;
  }
  std::shared_ptr<tcodelist> list =
      ReadEntries(file, static_cast<std::uint16_t>(count), number, resolve, true);
  (void)file.Close();
  Install(number, std::move(list));
  return true;
}

template <typename File>
std::shared_ptr<tcodelist> LibraryCache::ReadEntries(File& file, std::uint16_t count,
                                                     std::uint8_t number, bool resolve,
                                                     bool is16Bit) {
  // An unresolved list depends on nothing but the file, so an unchanged file gives the list it
  // gave before. Resolved lists depend on other files as well and are always built anew.
  ReuseMemo& memo = (*m_memos)[number];
  std::shared_ptr<const void> snapshot;
  if (!resolve) {
    snapshot = file.Snapshot();
    if (snapshot != nullptr && memo.list != nullptr && memo.snapshot.lock() == snapshot &&
        memo.is16Bit == is16Bit && memo.count == count) {
      return memo.list;
    }
  }

  // The list is built privately and put into the cache only when complete: a reference into the
  // library being loaded installs a list of its own meanwhile, which this one then replaces, so
  // every entry stands at its position and no released list is ever touched.
  auto list = std::make_shared<tcodelist>();
  list->Reserve(static_cast<std::size_t>(count) + 1);
  list->Add("*");
  const std::span<std::byte> buffer(*m_recordBuffer);
  for (std::uint32_t k = 1; k <= count; ++k) {
    std::array<std::byte, File::kTrailerLength> trailer{};
    const bool arrived = file.ReadEntry(static_cast<std::int32_t>(k), buffer, trailer);
    // An entry that could not be read is empty, never the previous entry's text left in the
    // buffer.
    const std::string read = arrived ? EntryText(buffer, file.EntryDataLength()) : std::string();
    std::string text = read;
    // The resolver may load other libraries and overwrite the record buffer; the text has been
    // taken out before.
    if (resolve) ResolveReference(text);
    if (text.empty()) {
      text.reserve(kEmptyOpenMark.size() + read.size() + kEmptyCloseMark.size());
      text += kEmptyOpenMark;
      text += read;
      text += kEmptyCloseMark;
    }
    list->Add(std::move(text));
  }

  if (!resolve) {
    if (snapshot != nullptr) {
      memo = ReuseMemo{snapshot, is16Bit, count, list};
    } else {
      memo = ReuseMemo{};
    }
  }
  return list;
}

void LibraryCache::Install(std::uint8_t number, std::shared_ptr<tcodelist> list) {
  m_lists[number] = std::move(list);
  m_loaded[number] = true;
}

void LibraryCache::ReleaseLibraryList(int number) {
  if (!LibraryLoaded(number)) return;
  m_lists[static_cast<std::size_t>(number)].reset();
  m_loaded[static_cast<std::size_t>(number)] = false;
}

bool LibraryCache::LibraryLoaded(int number) const {
  return number >= 0 && number < kLibraryTablePositions &&
         m_loaded[static_cast<std::size_t>(number)];
}

const tcodelist* LibraryCache::LibraryLists(int number) const {
  if (!LibraryLoaded(number)) return nullptr;
  return m_lists[static_cast<std::size_t>(number)].get();
}

bool LibraryCache::SetText(int number, std::size_t index, std::string text) {
  if (!LibraryLoaded(number)) return false;
  std::shared_ptr<tcodelist>& list = m_lists[static_cast<std::size_t>(number)];
  if (index >= list->Count()) return false;
  // Copy on write: the memo (and nobody else) may share this list.
  if (list.use_count() > 1) list = std::make_shared<tcodelist>(*list);
  (*list)[index] = std::move(text);
  return true;
}

void LibraryCache::ResolveReference(std::string& text) {
  const std::optional<Reference> reference = ParseReference(text);
  if (!reference) return;

  // The low 8 bits name the file: -1 reads library 255, 259 reads library 3.
  bool is16Bit = false;
  if (!LoadLibraryList(static_cast<std::uint8_t>(reference->library), true, false, is16Bit)) {
    text += kUnreadableMark;
    return;
  }
  // The full number decides whether the target is cached, so 256 and above leave the text alone.
  if (reference->entry <= 0 || !LibraryLoaded(reference->library)) return;
  const tcodelist& target = *LibraryLists(reference->library);
  const auto entry = static_cast<std::size_t>(reference->entry);
  if (target.Count() > entry) {
    text += kReferenceJoint;
    text += target[entry];
  } else {
    text.clear();
  }
}

}  // namespace core
