// The library cache: one tcodelist per library number that has been read, the loader that turns a
// library file KL7xx.DAT into such a list, and the resolver of cross-library references LIB[n,m].
// A program creates one cache and hands it the utilities directory; tests make fresh ones. Nothing
// here writes to a file, throws or prints: every outcome is a result or a text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "libfile/library_file_context.h"
#include "libfile/record_manager.h"
#include "libraries/reference.h"
#include "libraries/tcodelist.h"

namespace core {

inline constexpr std::size_t kRecordBufferSize = 65529;
inline constexpr int kLibraryTablePositions = 501;  // positions 0 to 500

// The mark appended to a reference whose library cannot be read, and the joint between a resolved
// reference and its target's text.
inline constexpr std::string_view kUnreadableMark = " ---> ?????";
inline constexpr std::string_view kReferenceJoint = " ---> ";
// An entry whose text ends up empty is stored between these two marks.
inline constexpr std::string_view kEmptyOpenMark = "-###";
inline constexpr std::string_view kEmptyCloseMark = "###-";
// The name that both programs show for library 0, the catalogue, in place of its placeholder.
inline constexpr std::string_view kCatalogueHeading = "Bibliotheksnamen";

// The file name of library `number`: the utilities directory (with its trailing separator, or
// empty for the bare name), "KL7", the number as two upper-case hexadecimal digits, ".DAT".
[[nodiscard]] std::string LibraryFileName(std::string_view utilsDirectory, std::uint8_t number);

class LibraryCache {
 public:
  // Set-up: allocates the record buffer and both tables; no library is cached. `recordManager`
  // must outlive the cache. `utilsDirectory` is the "UTILS" value.
  LibraryCache(libfile::RecordManager& recordManager, std::string utilsDirectory);
  ~LibraryCache();

  LibraryCache(const LibraryCache&) = delete;
  LibraryCache& operator=(const LibraryCache&) = delete;

  // Reads library `number` into the cache. `is16Bit` is set to false first and to true when the
  // file is handed to the older layout's class (the current layout's class reported a data length
  // below 39, or could not open the file). With `resolve`, each entry text goes through
  // ResolveReference before it is stored. Returns true when the file was read and its list is now
  // cached; a reload that fails leaves the library not cached. With `reload` false a cached library
  // is left as it is and the result is true.
  bool LoadLibraryList(std::uint8_t number, bool reload, bool resolve, bool& is16Bit);

  // The status that made the last LoadLibraryList fail: the record manager's (or the file class's)
  // status of the open that failed last; 0 after a load that succeeded.
  [[nodiscard]] std::uint16_t LastLoadStatus() const { return m_lastLoadStatus; }

  // Destroys the list of `number` when it is cached; otherwise nothing.
  void ReleaseLibraryList(int number);

  // Whether library `number` is cached; false for any number outside 0 to 500.
  [[nodiscard]] bool LibraryLoaded(int number) const;
  // The cached list of `number`, or null when it is not cached. The pointer stays valid until the
  // library is released, reloaded or changed through SetText.
  [[nodiscard]] const tcodelist* LibraryLists(int number) const;
  // The same list, shared: it never changes, whatever the cache does later (SetText copies a list
  // that anyone else holds before changing it).
  [[nodiscard]] std::shared_ptr<const tcodelist> SharedList(int number) const;

  // Replaces the text at `index` of the cached list of `number` (the window's catalogue heading);
  // a list shared with the reuse memo is copied first. Returns false when there is no such
  // position.
  bool SetText(int number, std::size_t index, std::string text);

  // Resolves a reference in place: unchanged when `text` is no reference, or its entry number is
  // 0 or less, or its library number is negative or outside the tables; `text` + " ---> " + the
  // target entry's text when the entry exists; `text` + " ---> ?????" when the library cannot be
  // read; empty when the entry lies beyond the library's last entry. A reference reads its target
  // library again (without resolution), but within one outermost load each target file is read
  // at most once, whatever came of it: a load sees each file as it was at its first reference
  // into it, and a file that failed fails for the rest of that load without being read again.
  void ResolveReference(std::string& text);

  // What ResolveReference makes of `text` and why: the outcome, the reference read (when the text
  // is one) and, for kResolved, the target entry's text and the list that holds it (kept alive by
  // `list`). The one classification that ResolveReference and the loader themselves use; it reads
  // the target library exactly as they do, and so changes what the cache holds for it.
  struct Resolution {
    ReferenceOutcome outcome = ReferenceOutcome::kNotAReference;
    Reference reference;                    // when the text is a reference
    EntryText target;                       // kResolved: the target entry's text in the cache
    std::shared_ptr<const tcodelist> list;  // kResolved: the list that holds it
  };
  [[nodiscard]] Resolution ClassifyReference(std::string_view text);

  // Makes every load and classification until the matching EndLoadGroup one outermost load: each
  // target file is read at most once in that time, and all of them see it as it was then. For a
  // program that classifies many texts of a directory that does not change under it. Groups nest.
  void BeginLoadGroup();
  void EndLoadGroup();

  [[nodiscard]] const std::string& UtilsDirectory() const { return m_utilsDirectory; }

 private:
  struct ReuseMemo;

  // Appends to `list` the text stored for an entry read as `read` (in the record buffer): resolved
  // when asked, and marked when it ends up empty.
  void AddStoredText(std::string_view read, bool resolve, tcodelist& list);

  bool Load(std::uint8_t number, bool reload, bool resolve, bool& is16Bit);
  // Reads every entry of an opened file object into a new list.
  template <typename File>
  std::shared_ptr<tcodelist> ReadEntries(File& file, std::uint16_t count, std::uint8_t number,
                                         bool resolve, bool is16Bit);
  void Install(std::uint8_t number, std::shared_ptr<tcodelist> list);

  libfile::LibraryFileContext m_fileContext;
  std::string m_utilsDirectory;
  std::unique_ptr<std::array<std::byte, kRecordBufferSize>> m_recordBuffer;
  std::array<std::shared_ptr<tcodelist>, kLibraryTablePositions> m_lists{};
  std::array<bool, kLibraryTablePositions> m_loaded{};
  std::unique_ptr<std::array<ReuseMemo, 256>> m_memos;
  // What the unresolved load of each library file gave in the outermost load numbered `load`.
  struct TargetOutcome {
    std::uint64_t load = 0;
    bool loaded = false;
    bool is16Bit = false;
    std::shared_ptr<tcodelist> list;
  };
  std::unique_ptr<std::array<TargetOutcome, 256>> m_targets;
  std::string m_textScratch;  // where a joined or marked text is put together before it is stored
  int m_loadDepth = 0;
  std::uint16_t m_lastLoadStatus = 0;
  std::uint64_t m_outerLoad = 0;
};

}  // namespace core
