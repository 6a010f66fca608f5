// The library cache and loader, and the reference resolver that nests loads inside a load.
#include "libraries/library_cache.h"

#include <algorithm>
#include <span>
#include <utility>

#include "libfile/library_file.h"
#include "libraries/reference.h"

namespace core {

namespace {

// The entry text in `buffer`: from its second byte up to the first zero byte, and never beyond
// the entry's data part.
std::string_view TextInBuffer(std::span<const std::byte> buffer, std::size_t dataLength) {
  const std::size_t end = std::min(dataLength, buffer.size());
  if (end <= 1) return {};
  const char* const first = reinterpret_cast<const char*>(buffer.data()) + 1;
  const std::string_view data(first, end - 1);
  return data.substr(0, data.find('\0'));
}

}  // namespace

// What an unresolved load of an unchanged file produced: a later unresolved load of the same file,
// served by the same live snapshot, gets the same list without reading its entries again.
struct LibraryCache::ReuseMemo {
  std::weak_ptr<const void> snapshot;
  bool is16Bit = false;
  std::uint16_t count = 0;
  std::shared_ptr<tcodelist> list;
  // The load (counted from the outermost call) that last saw the file unchanged.
  std::uint64_t checkedLoad = 0;
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
      m_memos(std::make_unique<std::array<ReuseMemo, 256>>()),
      m_targets(std::make_unique<std::array<TargetOutcome, 256>>()) {}

LibraryCache::~LibraryCache() = default;

bool LibraryCache::LoadLibraryList(std::uint8_t number, bool reload, bool resolve, bool& is16Bit) {
  // Loads nest (a reference loads its library in the middle of a load); the outermost call counts.
  if (m_loadDepth == 0) ++m_outerLoad;
  ++m_loadDepth;
  bool loaded = false;
  TargetOutcome& target = (*m_targets)[number];
  if (!resolve && reload && target.load == m_outerLoad) {
    // Read before in this load: the same outcome, without touching the file again.
    ReleaseLibraryList(number);
    is16Bit = target.is16Bit;
    loaded = target.loaded;
    if (loaded) Install(number, target.list);
  } else {
    loaded = Load(number, reload, resolve, is16Bit);
    if (!resolve && reload) {
      target = {m_outerLoad, loaded, is16Bit, loaded ? m_lists[number] : nullptr};
    }
  }
  --m_loadDepth;
  // A failed load opens nothing else after its own failed open, so the status it left stands.
  if (loaded) m_lastLoadStatus = 0;
  return loaded;
}

// Defined before Load, whose generic lambda is where the two instantiations are made.
template <typename File>
std::shared_ptr<tcodelist> LibraryCache::ReadEntries(File& file, std::uint16_t count,
                                                     std::uint8_t number, bool resolve,
                                                     bool is16Bit) {
  // An unresolved list depends on nothing but the file, so an unchanged file gives the list it
  // gave before. Resolved lists depend on other files as well and are always built anew, but from
  // that list when there is one: it holds every text as stored, so only the references among them
  // need work, and the entries are not read a second time.
  ReuseMemo& memo = (*m_memos)[number];
  const std::shared_ptr<const void> snapshot = file.Snapshot();
  if (snapshot != nullptr && memo.list != nullptr && memo.snapshot.lock() == snapshot &&
      memo.is16Bit == is16Bit && memo.count == count) {
    if (!resolve) {
      memo.checkedLoad = m_outerLoad;
      return memo.list;
    }
    const std::shared_ptr<const tcodelist> stored = memo.list;  // whatever resolving replaces
    auto list = std::make_shared<tcodelist>();
    list->Reserve(stored->Count());
    list->Add("*");
    for (std::size_t k = 1; k < stored->Count(); ++k) {
      // Texts of their own: an empty text is stored between the marks, which no reference is.
      const std::string_view text = (*stored)[k].head;
      if (text.starts_with("LIB")) {
        AddStoredText(text, true, *list);
      } else {
        list->Add(text);
      }
    }
    return list;
  }

  // The list is built privately and put into the cache only when complete: a reference into the
  // library being loaded installs a list of its own meanwhile, which this one then replaces, so
  // every entry stands at its position and no released list is ever touched.
  auto list = std::make_shared<tcodelist>();
  list->Reserve(static_cast<std::size_t>(count) + 1);
  list->Add("*");
  const std::span<std::byte> buffer(*m_recordBuffer);
  // Entries 1 to count, as ReadEntry gives them, in one run.
  file.ReadEntries(
      count, buffer, [&](std::int32_t /*k*/, bool arrived, std::span<const std::byte> /*trailer*/) {
        // An entry that could not be read is empty, never the previous entry's text
        // left in the buffer.
        AddStoredText(arrived ? TextInBuffer(buffer, file.EntryDataLength()) : std::string_view(),
                      resolve, *list);
      });

  if (!resolve) {
    if (snapshot != nullptr) {
      memo = ReuseMemo{snapshot, is16Bit, count, list, m_outerLoad};
    } else {
      memo = ReuseMemo{};
    }
  }
  return list;
}

bool LibraryCache::Load(std::uint8_t number, bool reload, bool resolve, bool& is16Bit) {
  is16Bit = false;
  if (m_loaded[number]) {
    if (!reload) return true;
    ReleaseLibraryList(number);
  }

  // An unresolved load of a file that the record manager would serve from the very snapshot an
  // earlier load read gives that load's list: each reference reloads its target library, and a
  // library of many references into one other library must not read that library each time. The
  // file is checked once per outermost load, so one load sees each file as it was at the first
  // reference into it.
  if (!resolve) {
    ReuseMemo& memo = (*m_memos)[number];
    if (memo.list != nullptr) {
      const std::shared_ptr<const void> snapshot = memo.snapshot.lock();
      if (snapshot != nullptr && (memo.checkedLoad == m_outerLoad ||
                                  m_fileContext.recordManager.SnapshotIsCurrent(
                                      LibraryFileName(m_utilsDirectory, number), snapshot))) {
        memo.checkedLoad = m_outerLoad;
        is16Bit = memo.is16Bit;
        Install(number, memo.list);
        return true;
      }
    }
  }

  const std::string fileName = LibraryFileName(m_utilsDirectory, number);
  const std::span<std::byte> buffer(*m_recordBuffer);
  std::int32_t count = 0;
  std::shared_ptr<tcodelist> list = libfile::OpenLibraryFile(
      m_fileContext, fileName, buffer, count,
      [&](auto& file, bool sixteenBit) -> std::shared_ptr<tcodelist> {
        is16Bit = sixteenBit;
        if (file.Status() != 0) {
          m_lastLoadStatus = file.Status();
          return nullptr;
        }
        return ReadEntries(file, static_cast<std::uint16_t>(count), number, resolve, sixteenBit);
      });
  if (list == nullptr) return false;
  Install(number, std::move(list));
  return true;
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

std::shared_ptr<const tcodelist> LibraryCache::SharedList(int number) const {
  if (!LibraryLoaded(number)) return nullptr;
  return m_lists[static_cast<std::size_t>(number)];
}

bool LibraryCache::SetText(int number, std::size_t index, std::string text) {
  if (!LibraryLoaded(number)) return false;
  std::shared_ptr<tcodelist>& list = m_lists[static_cast<std::size_t>(number)];
  if (index >= list->Count()) return false;
  // Copy on write: the memos, the lists whose references show its texts and the holders of
  // SharedList may share this list, and none of them sees it change.
  if (list.use_count() > 1) list = std::make_shared<tcodelist>(*list);
  list->Set(index, text);
  return true;
}

void LibraryCache::BeginLoadGroup() {
  if (m_loadDepth == 0) ++m_outerLoad;
  ++m_loadDepth;
}

void LibraryCache::EndLoadGroup() {
  if (m_loadDepth > 0) --m_loadDepth;
}

LibraryCache::Resolution LibraryCache::ClassifyReference(std::string_view text) {
  using enum ReferenceOutcome;
  const std::optional<Reference> reference = ParseReference(text);
  if (!reference) return {};
  Resolution resolution;
  resolution.reference = *reference;

  // The low 8 bits name the file: -1 reads library 255, 259 reads library 3.
  bool is16Bit = false;
  if (!LoadLibraryList(static_cast<std::uint8_t>(reference->library), true, false, is16Bit)) {
    resolution.outcome = kTargetUnreadable;
    return resolution;
  }
  // The full number decides whether the target is cached, so 256 and above leave the text alone.
  if (reference->library < 0) {
    resolution.outcome = kLibraryNegative;
  } else if (reference->library >= kLibraryTablePositions) {
    resolution.outcome = kLibraryOutsideTables;
  } else if (!LibraryLoaded(reference->library)) {
    resolution.outcome = kLibraryAbove255;
  } else if (reference->entry <= 0) {
    resolution.outcome = kEntryNotPositive;
  } else {
    std::shared_ptr<const tcodelist> target = SharedList(reference->library);
    const auto entry = static_cast<std::size_t>(reference->entry);
    if (target->Count() <= entry) {
      resolution.outcome = kEntryBeyondLibrary;
    } else {
      resolution.outcome = kResolved;
      resolution.target = (*target)[entry];
      resolution.list = std::move(target);
    }
  }
  return resolution;
}

void LibraryCache::ResolveReference(std::string& text) {
  const Resolution resolution = ClassifyReference(text);
  switch (resolution.outcome) {
    case ReferenceOutcome::kResolved:
      text += kReferenceJoint;
      resolution.target.AppendTo(text);
      break;
    case ReferenceOutcome::kTargetUnreadable:
      text += kUnreadableMark;
      break;
    case ReferenceOutcome::kEntryBeyondLibrary:
      text.clear();
      break;
    default:  // every other outcome leaves the text alone
      break;
  }
}

void LibraryCache::AddStoredText(std::string_view read, bool resolve, tcodelist& list) {
  // The resolver may load other libraries and so overwrite the record buffer that `read` points
  // into: a text that may be a reference is taken out first.
  std::string taken;
  if (resolve && read.starts_with("LIB")) {
    taken.assign(read);
    read = taken;
  }
  const Resolution resolution = resolve ? ClassifyReference(read) : Resolution{};
  std::string& text = m_textScratch;
  switch (resolution.outcome) {
    case ReferenceOutcome::kResolved:
      // The target's text is not copied: the list keeps a view of it and its list alive.
      text.assign(read);
      text += kReferenceJoint;
      if (resolution.target.tail.empty()) {
        list.AddJoined(text, resolution.target.head, resolution.list);
      } else {
        resolution.target.AppendTo(text);
        list.Add(text);
      }
      return;
    case ReferenceOutcome::kTargetUnreadable:
      text.assign(read);
      text += kUnreadableMark;
      list.Add(text);
      return;
    case ReferenceOutcome::kEntryBeyondLibrary:
      break;
    default:  // left alone
      if (!read.empty()) {
        list.Add(read);
        return;
      }
      break;
  }
  // An empty text is stored between the marks, with what was read (a reference whose entry lies
  // beyond its library) between them.
  text.assign(kEmptyOpenMark);
  text += read;
  text += kEmptyCloseMark;
  list.Add(text);
}

}  // namespace core
