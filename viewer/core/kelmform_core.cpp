// The main window's state, captions and handlers, and the list's movement.
#include "viewer/core/kelmform_core.h"

#include <algorithm>
#include <atomic>
#include <bitset>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "btrieve/status_meaning.h"
#include "libraries/reference.h"
#include "startup/native_path.h"
#include "text/case.h"
#include "text/control_escape.h"
#include "viewer/core/caption.h"

namespace viewer {

KelmformCore::KelmformCore(startup::StartupValues values, libfile::RecordManager& recordManager,
                           WindowPort& port)
    : m_settings(std::move(values.settings)), m_recordManager(recordManager), m_port(port) {
  m_state.CurrentLibrary = values.CurrentLibrary;
  m_state.CurrentEntry = values.CurrentEntry;
}

KelmformCore::~KelmformCore() {
  // The search's thread ends before anything it calls goes.
  m_search.reset();
}

void KelmformCore::Create() {
  m_port.SetCaption(ShownText(kInitialLabelCaption));
  UpdateToolTips();
  Guarded([&] { FormCreate(); });
}

template <typename Handler>
void KelmformCore::Guarded(Handler&& handler) {
  std::u16string message;
  try {
    handler();
    return;
  } catch (const std::exception& error) {
    message = ShownPath(error.what());
  } catch (...) {
    message = u"Unbekannter Fehler";
  }
  try {
    m_port.ReportError(message);
  } catch (...) {
    // The report itself failed; nothing may leave an event.
  }
}

std::u16string KelmformCore::EntryText(int index) const {
  if (m_shown == nullptr || index < 0 || static_cast<std::size_t>(index) >= m_shown->Count()) {
    throw ListIndexError(index);
  }
  return ShownText((*m_shown)[static_cast<std::size_t>(index)].String());
}

void KelmformCore::Show(std::shared_ptr<const core::tcodelist> list) {
  m_shown = std::move(list);
  m_dragging = false;
  m_typeAhead.Reset();
  m_port.ShowList(m_shown);
  WatchView();
}

void KelmformCore::SelectRow(int row) {
  m_port.SetItemIndex(row);
}

void KelmformCore::SetCaption(const std::string& head) {
  // Two stages: the head, then what the label gives back, the layout marker and the directory.
  m_port.SetCaption(ShownText(head));
  m_port.SetCaption(m_port.Caption() + ShownText(m_state.LayoutMarker) +
                    ShownPath(m_settings.Read(startup::kUtilsKey)));
  UpdateToolTips();
}

std::size_t KelmformCore::CaptionDirectoryLength(std::u16string_view caption) const {
  const std::u16string directory = ShownPath(m_settings.Read(startup::kUtilsKey));
  const std::u16string marker = ShownText(m_state.LayoutMarker);
  if (directory.empty() || !caption.ends_with(directory) ||
      !caption.substr(0, caption.size() - directory.size()).ends_with(marker)) {
    return 0;
  }
  return directory.size();
}

void KelmformCore::UpdateToolTips() {
  // The whole caption, which the label may cut off, after the line about a library that could
  // not be read.
  const std::u16string caption = m_port.Caption();
  m_port.SetCaptionToolTip(m_problem.empty() ? caption : m_problem + u'\n' + caption);
  std::u16string keys;
  if (m_state.CurrentLibrary == 0) {
    keys = u"Enter oder Doppelklick: Bibliothek \u00F6ffnen\n";
  } else {
    keys = u"Enter, Doppelklick oder Strg+C: Eintrag kopieren\n";
    if (m_state.CatalogueLoaded) {
      keys +=
          u"R\u00FCcktaste, Umschalt+Enter, rechte oder Zur\u00FCck-Maustaste: zur\u00FCck zum "
          u"Katalog\n";
    }
  }
  keys += u"F1: alle Tasten\nEsc: schlie\u00DFen";
  m_port.SetListToolTip(keys);
}

void KelmformCore::ReportUnreadable(std::uint8_t library) {
  const std::uint16_t status = m_cache->LastLoadStatus();
  std::string_view meaning = btrieve::StatusMeaning(status);
  if (meaning.empty()) meaning = "unknown status";
  const std::string line =
      "kl7view: " + core::LibraryFileName(m_settings.Read(startup::kUtilsKey), library) +
      ": cannot read the library: " + std::string(meaning) + " (status " + std::to_string(status) +
      ")";
  m_port.ReportUnreadableLibrary(text::ControlsEscaped(line));
  m_problem = ShownPath(line);
  UpdateToolTips();
}

const core::tcodelist* KelmformCore::CatalogueList() {
  const core::tcodelist* catalogue = m_cache->LibraryLists(0);
  if (catalogue == nullptr) return nullptr;
  // A reference into the catalogue reloads it without its heading; put the heading back.
  if (m_state.CatalogueLoaded && catalogue->Count() > 0 && (*catalogue)[0] != kCatalogueHeading) {
    (void)m_cache->SetText(0, 0, std::string(kCatalogueHeading));
    catalogue = m_cache->LibraryLists(0);
  }
  return catalogue;
}

std::optional<std::string> KelmformCore::Name(int library) {
  if (!m_state.CatalogueLoaded) return std::nullopt;
  const core::tcodelist* catalogue = CatalogueList();
  if (catalogue == nullptr || library < 0 ||
      static_cast<std::size_t>(library) >= catalogue->Count()) {
    return std::nullopt;
  }
  return std::string((*catalogue)[static_cast<std::size_t>(library)]);
}

void KelmformCore::CentreSelection() {
  const int item = m_port.ItemIndex();
  const int top = m_port.TopIndex();
  m_port.SetTopIndex(top + (item - top) / 2);
}

void KelmformCore::FormCreate() {
  m_cache =
      std::make_unique<core::LibraryCache>(m_recordManager, m_settings.Read(startup::kUtilsKey));
  m_history.assign(1, View{m_state.CurrentLibrary, -1});
  m_historyAt = 0;
  bool is16Bit = false;
  m_state.CatalogueLoaded = m_cache->LoadLibraryList(0, true, true, is16Bit);

  const std::uint8_t library = m_state.CurrentLibrary;
  if (!m_cache->LoadLibraryList(library, true, true, is16Bit)) {
    ReportUnreadable(library);
    return;
  }
  m_state.LayoutMarker = is16Bit ? kSixteenBitLayoutMarker : kCurrentLayoutMarker;
  (void)CatalogueList();

  SetCaption(CaptionHead(CaptionOccasion::kCreation, Name(library), library, m_state.CurrentEntry));
  if (library == 0) (void)CatalogueList();
  if (auto shown = m_cache->SharedList(library)) Show(std::move(shown));
  if (m_state.CurrentEntry > 0) {
    m_port.SetItemIndex(m_state.CurrentEntry);
    CentreSelection();
  }
}

void KelmformCore::ListBox2Click() {
  const int item = m_port.ItemIndex();
  const std::uint8_t library = m_state.CurrentLibrary;
  if (library != 0) {
    SetCaption(CaptionHead(CaptionOccasion::kLibraryRefresh, Name(library), library, item));
  } else {
    SetCaption(CaptionHead(CaptionOccasion::kCatalogueRefresh, Name(0), 0, item));
  }
}

void KelmformCore::ListBox1DblClick() {
  if (m_state.CurrentLibrary != 0) {
    // The entry as displayed, resolution and marks included. Its characters all come from
    // Windows-1252, so the clipboard's Unicode text holds exactly the entry's bytes.
    const int item = m_port.ItemIndex();
    m_port.CopyText(EntryText(item));
    m_port.ShowNotice(u"kopiert", item);
    return;
  }
  // In the catalogue: line n opens library n. The heading line, no selection and lines beyond the
  // last library number open nothing.
  const int item = m_port.ItemIndex();
  if (item < 1 || item > 255) return;
  const auto library = static_cast<std::uint8_t>(item);
  m_state.CurrentLibrary = library;
  bool is16Bit = false;
  if (!m_cache->LoadLibraryList(library, true, true, is16Bit)) {
    // The catalogue stays on screen, so the window stays in the catalogue.
    m_state.CurrentLibrary = 0;
    ReportUnreadable(library);
    return;
  }
  m_problem.clear();
  SetCaption(CaptionHead(CaptionOccasion::kOpened, Name(library), library, 0));
  if (auto opened = m_cache->SharedList(library)) Show(std::move(opened));
  NoteViewChange(0, item);
}

void KelmformCore::BackToCatalogue() {
  const std::uint8_t left = m_state.CurrentLibrary;
  if (CatalogueList() == nullptr) {
    // A reference into the catalogue whose reload failed took the catalogue's list away.
    bool is16Bit = false;
    if (!m_cache->LoadLibraryList(0, true, true, is16Bit)) return;
    if (CatalogueList() == nullptr) return;
  }
  const int leftEntry = m_port.ItemIndex();
  m_state.CurrentLibrary = 0;
  m_problem.clear();
  SetCaption(CaptionHead(CaptionOccasion::kBack, Name(0), left, 0));
  Show(m_cache->SharedList(0));
  m_port.SetItemIndex(left);
  CentreSelection();
  NoteViewChange(left, leftEntry);
}

void KelmformCore::ListBox1MouseDown(MouseButton button, ShiftState) {
  // The back button does what the right button does.
  const bool back = button == MouseButton::kRight || button == MouseButton::kBack;
  if (!m_state.CatalogueLoaded || !back || m_state.CurrentLibrary == 0) return;
  BackToCatalogue();
}

void KelmformCore::ListBox1KeyDown(std::uint16_t& key, ShiftState shift) {
  if (key == kVkEscape) {
    m_closed = true;
    m_port.Close();
    return;
  }
  if (key == kVkEnter && shift.shift) {
    ListBox1MouseDown(MouseButton::kRight, shift);
    key = 0;
  }
  if (key == kVkEnter) {
    ListBox1DblClick();
    return;
  }
  // Beside those: Backspace goes back as the right button does, and Ctrl+C copies inside a library
  // as Enter does (in the catalogue it does nothing).
  if (key == kVkBack) {
    ListBox1MouseDown(MouseButton::kRight, shift);
    key = 0;
  } else if (key == kVkC && shift.ctrl && !shift.alt) {
    if (m_state.CurrentLibrary != 0) ListBox1DblClick();
    key = 0;
  }
}

void KelmformCore::ListBox1KeyUp(std::uint16_t& key, ShiftState) {
  if (key == kVkPageUp || key == kVkPageDown || key == kVkEnd || key == kVkHome) ListBox2Click();
}

namespace {

// The key list that F1 shows.
constexpr std::u16string_view kKeyListTitle = u"Tasten";
constexpr std::u16string_view kKeyList =
    u"Pfeiltasten, Bild auf, Bild ab, Pos1, Ende: in der Liste bewegen\n"
    u"Buchstaben tippen: zum n\u00E4chsten Eintrag, der so beginnt\n"
    u"Linke Maustaste: Eintrag w\u00E4hlen\n"
    u"Enter, Doppelklick: im Katalog die Bibliothek \u00F6ffnen, in einer Bibliothek den "
    u"Eintrag in die Zwischenablage kopieren\n"
    u"Strg+C: in einer Bibliothek den Eintrag kopieren\n"
    u"R\u00FCcktaste, Umschalt+Enter, rechte Maustaste, Zur\u00FCck-Maustaste: zur\u00FCck zum "
    u"Katalog\n"
    u"F12: dem Verweis LIB[n,m] des Eintrags folgen\n"
    u"Umschalt+F12: zeigen, wo der Eintrag verwendet wird (Enter, Doppelklick: dorthin)\n"
    u"Strg+F: in allen Bibliotheken suchen (Enter, Doppelklick: zum Treffer)\n"
    u"F3, Umschalt+F3: zum n\u00E4chsten, zum vorigen Treffer\n"
    u"Alt+Links, Alt+Rechts: zur vorigen, zur n\u00E4chsten Ansicht\n"
    u"F5: die Bibliothek neu lesen (ge\u00E4nderte Dateien liest das Fenster von selbst neu)\n"
    u"Strg+O: eine Bibliotheksdatei (KL7??.DAT) \u00F6ffnen\n"
    u"F1: diese Liste\n"
    u"Esc, Strg+W, Strg+Q: Fenster schlie\u00DFen";

}  // namespace

bool KelmformCore::AddedKey(std::uint16_t key, ShiftState shift) {
  const bool plain = !shift.shift && !shift.ctrl && !shift.alt;
  if (key == kVkF1 && plain) {
    m_port.ShowTextWindow(std::u16string(kKeyListTitle), std::u16string(kKeyList));
    return true;
  }
  if (key == kVkF5 && plain) {
    Reload();
    return true;
  }
  if (key == kVkF12 && plain) {
    FollowReference();
    return true;
  }
  if (key == kVkO && shift.ctrl && !shift.alt && !shift.shift) {
    OpenFile();
    return true;
  }
  if (key == kVkF && shift.ctrl && !shift.alt && !shift.shift) {
    m_port.ShowFindWindow();
    return true;
  }
  if (key == kVkF3 && !shift.ctrl && !shift.alt) {
    NextMatch(shift.shift ? -1 : 1);
    return true;
  }
  if (key == kVkF12 && shift.shift && !shift.ctrl && !shift.alt) {
    WhereUsed();
    return true;
  }
  if ((key == kVkW || key == kVkQ) && shift.ctrl && !shift.alt) {
    // Close as Esc does.
    std::uint16_t escape = kVkEscape;
    ListBox1KeyDown(escape, {});
    return true;
  }
  if ((key == kVkLeft || key == kVkRight) && shift.alt && !shift.ctrl && !shift.shift) {
    WalkHistory(key == kVkLeft ? -1 : 1);
    return true;
  }
  return false;
}

void KelmformCore::OpenFile() {
  const std::string path = m_port.ChooseFile(u"Bibliothek \u00F6ffnen", u"Bibliotheken",
                                             "KL7??.DAT", m_settings.Read(startup::kUtilsKey));
  if (path.empty()) return;
  // As a start on that file: its name gives the library, its directory the utilities directory.
  startup::FileSystemLookup lookup;
  startup::StartupOutcome outcome = startup::RunStartup({path}, startup::kSystemPathStyle, lookup);
  if (!outcome.values) {
    Explain(u"Strg+O: " + ShownPath(outcome.reason));
    return;
  }
  Restart(std::move(*outcome.values));
}

void KelmformCore::Restart(startup::StartupValues values) {
  m_search.reset();
  m_settings = std::move(values.settings);
  m_state = WindowState{};
  m_state.CurrentLibrary = values.CurrentLibrary;
  m_state.CurrentEntry = values.CurrentEntry;
  m_cache.reset();
  m_problem.clear();
  m_history.clear();
  m_historyAt = 0;
  m_choices.clear();
  m_matches.clear();
  m_matchAt = -1;
  Show(nullptr);
  m_port.SetCaption(ShownText(kInitialLabelCaption));
  UpdateToolTips();
  FormCreate();
}

void KelmformCore::NoteViewChange(std::uint8_t leftLibrary, int leftEntry) {
  if (m_history.empty()) m_history.push_back({});
  m_history[m_historyAt] = {leftLibrary, leftEntry};
  m_history.resize(m_historyAt + 1);
  m_history.push_back({m_state.CurrentLibrary, m_port.ItemIndex()});
  m_historyAt = m_history.size() - 1;
}

void KelmformCore::WalkHistory(int step) {
  if (m_cache == nullptr || m_history.empty()) return;
  if ((step < 0 && m_historyAt == 0) || (step > 0 && m_historyAt + 1 >= m_history.size())) {
    Explain(step < 0 ? u"Alt+Links: Es gibt keine fr\u00FChere Ansicht."
                     : u"Alt+Rechts: Es gibt keine sp\u00E4tere Ansicht.");
    return;
  }
  m_history[m_historyAt] = {m_state.CurrentLibrary, m_port.ItemIndex()};
  const std::size_t target = step < 0 ? m_historyAt - 1 : m_historyAt + 1;
  if (ShowLibrary(m_history[target].library, m_history[target].entry)) m_historyAt = target;
}

void KelmformCore::Explain(const std::u16string& reason) {
  m_problem = reason;
  UpdateToolTips();
  m_port.ShowNotice(reason, m_port.ItemIndex());
}

bool KelmformCore::ShowLibrary(std::uint8_t library, int entry) {
  bool is16Bit = false;
  if (library == 0) {
    if (CatalogueList() == nullptr &&
        (!m_cache->LoadLibraryList(0, true, true, is16Bit) || CatalogueList() == nullptr)) {
      ReportUnreadable(0);
      return false;
    }
  } else if (!m_cache->LoadLibraryList(library, true, true, is16Bit)) {
    ReportUnreadable(library);
    return false;
  }
  m_state.CurrentLibrary = library;
  m_problem.clear();
  Show(library == 0 ? m_cache->SharedList(0) : m_cache->SharedList(library));
  if (entry >= 1 && m_shown != nullptr && static_cast<std::size_t>(entry) < m_shown->Count()) {
    m_port.SetItemIndex(entry);
    CentreSelection();
    ListBox2Click();
  } else {
    SetCaption(CaptionHead(CaptionOccasion::kOpened, Name(library), library, 0));
  }
  return true;
}

void KelmformCore::FollowReference() {
  const int item = m_port.ItemIndex();
  if (m_shown == nullptr || item < 0 || static_cast<std::size_t>(item) >= m_shown->Count()) {
    Explain(u"F12: Kein Eintrag ist gew\u00E4hlt.");
    return;
  }
  // The stored text: a reference whose entry does not exist is shown between the empty marks.
  std::string stored = (*m_shown)[static_cast<std::size_t>(item)].String();
  if (stored.size() > core::kEmptyOpenMark.size() + core::kEmptyCloseMark.size() &&
      stored.starts_with(core::kEmptyOpenMark) && stored.ends_with(core::kEmptyCloseMark)) {
    stored =
        stored.substr(core::kEmptyOpenMark.size(),
                      stored.size() - core::kEmptyOpenMark.size() - core::kEmptyCloseMark.size());
  }
  const std::optional<core::Reference> reference = core::ParseReference(stored);
  if (!reference) {
    Explain(u"F12: Der Eintrag ist kein Verweis LIB[n,m].");
    return;
  }
  if (reference->library < 0 || reference->library > 255) {
    Explain(u"F12: LIB[" + ShownText(std::to_string(reference->library)) +
            u",\u2026] nennt keine Bibliothek (0 bis 255).");
    return;
  }
  const std::uint8_t left = m_state.CurrentLibrary;
  if (ShowLibrary(static_cast<std::uint8_t>(reference->library), reference->entry)) {
    NoteViewChange(left, item);
  } else {
    m_port.ShowNotice(m_problem, item);
  }
}

void KelmformCore::Reload() {
  if (m_cache == nullptr) return;
  const std::uint8_t library = m_state.CurrentLibrary;
  const int item = m_port.ItemIndex();
  const int top = m_port.TopIndex();
  bool is16Bit = false;
  if (!m_cache->LoadLibraryList(library, true, true, is16Bit)) {
    ReportUnreadable(library);
    const std::u16string problem = m_problem;
    const bool catalogue =
        library != 0 && m_state.CatalogueLoaded &&
        (CatalogueList() != nullptr ||
         (m_cache->LoadLibraryList(0, true, true, is16Bit) && CatalogueList() != nullptr));
    if (catalogue) {
      m_state.CurrentLibrary = 0;
      SetCaption(CaptionHead(CaptionOccasion::kBack, Name(0), library, 0));
      Show(m_cache->SharedList(0));
      m_port.SetItemIndex(library);
      CentreSelection();
      NoteViewChange(library, item);
    } else {
      Show(nullptr);
    }
    m_problem = problem;
    UpdateToolTips();
    return;
  }
  if (library == 0) (void)CatalogueList();
  m_problem.clear();
  Show(m_cache->SharedList(library));
  m_port.SetTopIndex(top);
  if (item >= 0 && m_shown != nullptr && m_shown->Count() > 0) {
    m_port.SetItemIndex(std::min(item, static_cast<int>(m_shown->Count()) - 1));
    ListBox2Click();
  } else {
    UpdateToolTips();
  }
}

namespace {

// The file `path` names, or the one whose name differs from it only in letter case, as the loader
// finds it.
std::string ExistingFile(const std::string& path) {
  std::error_code error;
  if (std::filesystem::exists(startup::NativePath(path), error)) return path;
  const std::size_t slash = path.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto entries = startup::ListDirectory(
      directory,
      [&](const std::string& candidate) { return text::EqualsIgnoreCase(candidate, name); }, error);
  if (!entries || entries->empty()) return path;
  return path.substr(0, slash + 1) + entries->front().name;
}

}  // namespace

void KelmformCore::WatchView() {
  m_watched.clear();
  m_changed = false;
  if (m_cache == nullptr) return;
  std::bitset<256> libraries;
  libraries.set(m_state.CurrentLibrary);
  if (m_shown != nullptr) {
    for (const core::EntryText entry : *m_shown) {
      std::string_view head = entry.head;
      if (head.starts_with(core::kEmptyOpenMark)) head.remove_prefix(core::kEmptyOpenMark.size());
      if (!head.starts_with("LIB")) continue;
      // The resolver reads the file of the number's low 8 bits.
      if (const auto reference = core::ParseReference(head)) {
        libraries.set(static_cast<std::uint8_t>(reference->library));
      }
    }
  }
  const std::string utils = m_settings.Read(startup::kUtilsKey);
  for (int number = 0; number < 256; ++number) {
    if (libraries.test(static_cast<std::size_t>(number))) {
      m_watched.push_back(
          ExistingFile(core::LibraryFileName(utils, static_cast<std::uint8_t>(number))));
    }
  }
  m_readStates = WatchedStates();
}

std::vector<KelmformCore::FileState> KelmformCore::WatchedStates() const {
  std::vector<FileState> states;
  states.reserve(m_watched.size());
  for (const std::string& path : m_watched) {
    const std::filesystem::path file = startup::NativePath(path);
    std::error_code error;
    FileState state;
    state.exists = std::filesystem::is_regular_file(file, error);
    if (state.exists) {
      state.size = std::filesystem::file_size(file, error);
      state.modified = static_cast<std::int64_t>(
          std::filesystem::last_write_time(file, error).time_since_epoch().count());
    }
    states.push_back(state);
  }
  return states;
}

void KelmformCore::OnTick(std::uint32_t time) {
  // A front that misses a wake-up still gets the search's matches.
  OnSearchResults();
  if (m_closed || m_cache == nullptr || m_watched.empty()) return;
  std::vector<FileState> now = WatchedStates();
  if (now == m_readStates) {
    m_changed = false;
    return;
  }
  // A file is read again only once it has held still for a while: never while it is written.
  constexpr std::uint32_t kSettleMs = 1000;
  if (!m_changed || now != m_changedStates) {
    m_changed = true;
    m_changedStates = std::move(now);
    m_changeSince = time;
    return;
  }
  if (static_cast<std::uint32_t>(time - m_changeSince) < kSettleMs) return;
  Guarded([&] { Reload(); });
}

void KelmformCore::WhereUsed() {
  const int item = m_port.ItemIndex();
  if (m_cache == nullptr || item < 0) {
    Explain(u"Umschalt+F12: Kein Eintrag ist gew\u00E4hlt.");
    return;
  }
  const std::uint8_t library = m_state.CurrentLibrary;
  // Every library as its file holds it, unresolved, in a cache of its own: the window's lists
  // stay as they are. The rows and their order are those of kl7 refs.
  core::LibraryCache search(m_recordManager, m_settings.Read(startup::kUtilsKey));
  search.BeginLoadGroup();
  std::vector<std::u16string> rows;
  m_choices.clear();
  for (int number = 0; number < 256; ++number) {
    bool is16Bit = false;
    const auto n = static_cast<std::uint8_t>(number);
    if (!search.LoadLibraryList(n, true, false, is16Bit)) continue;
    const std::shared_ptr<const core::tcodelist> list = search.SharedList(n);
    for (std::size_t k = 1; list != nullptr && k < list->Count(); ++k) {
      const core::EntryText text = (*list)[k];
      if (!text.head.starts_with("LIB")) continue;
      const std::string raw = text.String();
      const std::optional<core::Reference> reference = core::ParseReference(raw);
      if (!reference || reference->library != library || reference->entry != item) continue;
      m_choices.push_back({n, static_cast<int>(k)});
      rows.push_back(ShownText("LIB[" + std::to_string(number) + "," + std::to_string(k) + "]  " +
                               Name(number).value_or(std::string()) + "  " + raw));
    }
    search.ReleaseLibraryList(n);
  }
  search.EndLoadGroup();
  const std::u16string target =
      ShownText("LIB[" + std::to_string(library) + "," + std::to_string(item) + "]");
  m_port.ShowChoices(u"Verwendet in", rows, target + u" wird nirgends verwendet.");
}

bool KelmformCore::ShowPlace(std::uint8_t library, int entry) {
  const std::uint8_t left = m_state.CurrentLibrary;
  const int leftEntry = m_port.ItemIndex();
  if (!ShowLibrary(library, entry)) return false;
  NoteViewChange(left, leftEntry);
  return true;
}

void KelmformCore::OnChoice(int row) {
  if (m_closed || row < 0 || static_cast<std::size_t>(row) >= m_choices.size()) return;
  const View chosen = m_choices[static_cast<std::size_t>(row)];
  Guarded([&] { (void)ShowPlace(chosen.library, chosen.entry); });
}

void KelmformCore::OnFind(const std::u16string& typed) {
  if (m_closed || m_cache == nullptr) return;
  m_search.reset();
  Guarded([&] {
    m_matches.clear();
    m_matchAt = -1;
    m_searchText = typed;
    const std::string utf8 = Utf8FromShown(typed);
    if (utf8.find_first_not_of(" \t") == std::string::npos) {
      m_port.ShowFindResults({}, u"Bitte einen Suchtext eingeben.");
      return;
    }
    const std::string utils = m_settings.Read(startup::kUtilsKey);
    if (m_port.SearchesInBackground()) {
      m_port.ShowFindResults({}, u"Suche l\u00E4uft \u2026");
      m_search = std::make_unique<BackgroundSearch>(utils, utf8,
                                                    [this] { m_port.WakeForSearchResults(); });
      return;
    }
    std::vector<std::u16string> rows;
    const std::atomic<bool> never{false};
    SearchLibraries(utils, utf8, never, [&](std::vector<FoundEntry>&& matches) {
      std::vector<std::u16string> more = NoteMatches(std::move(matches));
      rows.insert(rows.end(), std::make_move_iterator(more.begin()),
                  std::make_move_iterator(more.end()));
    });
    m_port.ShowFindResults(rows, u"Nichts gefunden: " + typed);
  });
}

std::vector<std::u16string> KelmformCore::NoteMatches(std::vector<FoundEntry>&& matches) {
  std::vector<std::u16string> rows;
  rows.reserve(matches.size());
  for (const FoundEntry& match : matches) {
    m_matches.push_back({match.library, match.entry});
    rows.push_back(ShownText("LIB[" + std::to_string(match.library) + "," +
                             std::to_string(match.entry) + "]  " +
                             Name(match.library).value_or(std::string()) + "  " + match.text));
  }
  return rows;
}

void KelmformCore::OnSearchResults() {
  if (m_closed || m_search == nullptr) return;
  Guarded([&] {
    bool finished = false;
    std::string error;
    std::vector<FoundEntry> matches = m_search->Take(finished, error);
    if (!matches.empty()) m_port.AppendFindResults(NoteMatches(std::move(matches)));
    if (!finished) return;
    m_search.reset();
    if (m_matches.empty()) m_port.ShowFindResults({}, u"Nichts gefunden: " + m_searchText);
    if (!error.empty()) m_port.ReportError(ShownPath(error));
  });
}

void KelmformCore::OnFindClosed() {
  m_search.reset();
}

void KelmformCore::WaitForSearch() {
  if (m_search != nullptr) m_search->Wait();
  OnSearchResults();
}

void KelmformCore::OnFindChoice(int row) {
  if (m_closed || row < 0 || static_cast<std::size_t>(row) >= m_matches.size()) return;
  m_matchAt = row;
  const View chosen = m_matches[static_cast<std::size_t>(row)];
  Guarded([&] { (void)ShowPlace(chosen.library, chosen.entry); });
}

void KelmformCore::NextMatch(int step) {
  if (m_matches.empty()) {
    Explain(u"F3: Es gibt keine Treffer; Strg+F sucht.");
    return;
  }
  const int count = static_cast<int>(m_matches.size());
  if (m_matchAt < 0) {
    m_matchAt = step > 0 ? 0 : count - 1;
  } else {
    m_matchAt = (m_matchAt + step + count) % count;
  }
  const View match = m_matches[static_cast<std::size_t>(m_matchAt)];
  if (!ShowPlace(match.library, match.entry)) m_port.ShowNotice(m_problem, m_port.ItemIndex());
}

void KelmformCore::OnKeyDown(std::uint16_t key, ShiftState shift) {
  if (m_closed) return;
  bool added = false;
  Guarded([&] { added = AddedKey(key, shift); });
  if (added) return;
  bool handled = false;
  Guarded([&] {
    ListBox1KeyDown(key, shift);
    // Enter does nothing in the list itself, whatever the handler did.
    handled = key == 0 || key == kVkEnter || key == kVkEscape;
  });
  if (handled || m_closed) return;
  // What is left to the list: the moving keys.
  const int count = m_shown == nullptr ? 0 : static_cast<int>(m_shown->Count());
  const std::optional<int> target =
      NavigationTarget(key, m_port.ItemIndex(), count, m_port.TopIndex(), m_port.VisibleRows());
  if (!target) return;
  if (*target >= 0) SelectRow(*target);
  // The list reports an arrow key's move as a click; the paging keys refresh on key up.
  if (IsArrowKey(key)) Guarded([&] { ListBox2Click(); });
}

void KelmformCore::OnKeyUp(std::uint16_t key, ShiftState shift) {
  if (m_closed) return;
  Guarded([&] { ListBox1KeyUp(key, shift); });
}

void KelmformCore::OnCharacter(char16_t character, ShiftState shift, std::uint32_t time) {
  if (m_closed || shift.ctrl || shift.alt) return;
  // Control characters (Enter, Backspace, Esc, Tab and Ctrl combinations arrive as such) and the
  // space search nothing.
  if (character < 0x20 || character == u' ' || (character >= 0x7F && character < 0xA0)) return;
  const int before = m_port.ItemIndex();
  const std::optional<int> row = m_typeAhead.Type(m_shown.get(), before, character, time);
  if (!row || *row == before) return;
  SelectRow(*row);
  // A move by a typed character is reported as a click, as an arrow key's is.
  Guarded([&] { ListBox2Click(); });
}

void KelmformCore::OnMouseDown(MouseButton button, ShiftState shift, int row) {
  if (m_closed) return;
  // Only the left button chooses a row; the others leave the selection alone.
  const bool left = button == MouseButton::kLeft;
  if (left) {
    m_selectionAtPress = m_port.ItemIndex();
    if (row >= 0) {
      SelectRow(row);
      m_dragging = true;
    }
  }
  Guarded([&] { ListBox1MouseDown(button, shift); });
  if (left && m_dragging) {
    m_selectionAtPress = m_port.ItemIndex();
    Guarded([&] { ListBox2Click(); });
  }
}

void KelmformCore::OnMouseMove(int row) {
  if (m_closed || !m_dragging) return;
  if (row >= 0 && row != m_port.ItemIndex()) SelectRow(row);
}

void KelmformCore::OnMouseUp(MouseButton button) {
  if (m_closed || button != MouseButton::kLeft || !m_dragging) return;
  m_dragging = false;
  // A selection dragged to another row is reported as a click when the button comes up.
  if (m_port.ItemIndex() != m_selectionAtPress) Guarded([&] { ListBox2Click(); });
}

void KelmformCore::OnDoubleClick(MouseButton button, ShiftState shift, int) {
  if (m_closed) return;
  Guarded([&] { ListBox1MouseDown(button, shift); });
  if (button == MouseButton::kLeft) Guarded([&] { ListBox1DblClick(); });
}

}  // namespace viewer
