// The window core on a writer-built utilities directory, driven through a fake front as a user
// would drive the window: captions, views, copying, the way back, tool tips and errors.
#include "viewer/core/kelmform_core.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fake_port.h"
#include "libfile/record_manager.h"
#include "window_libraries.h"

namespace viewer::testing {
namespace {

const std::string kCur = "  -  ";
const std::string kOlder = " -(16Bit) ";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

class KelmformCoreTest : public ::testing::Test {
 protected:
  // Creates the core on `library` with `entry` selected, with or without the catalogue's file.
  void Open(int library, int entry, bool catalogue = true) {
    if (catalogue) {
      std::ofstream(m_set.FileOf(0), std::ios::binary) << m_catalogue;
    } else {
      std::filesystem::remove(m_set.FileOf(0));
    }
    startup::StartupValues values;
    values.settings.Write(startup::kUtilsKey, m_set.Utils());
    values.CurrentLibrary = static_cast<std::uint8_t>(library);
    values.CurrentEntry = entry;
    m_port = FakePort();
    m_core = std::make_unique<KelmformCore>(std::move(values), m_recordManager, m_port);
    m_core->Create();
  }
  void Perform(std::string_view script) { ScriptPlayer(*m_core, m_port).Play(script); }
  [[nodiscard]] std::string Caption() const { return Utf8(m_port.caption); }
  [[nodiscard]] std::string Full(const std::string& head, const std::string& marker) const {
    return head + marker + m_set.Utils();
  }
  // Where the top index ends after selecting `item` from the top and centring, in a list of
  // `count` rows that never scrolls beyond its last page.
  [[nodiscard]] int CentredTop(int item, int count) const {
    const int rows = m_port.visibleRows;
    const int scrolled = item < rows ? 0 : item - rows + 1;
    return std::min(scrolled + (item - scrolled) / 2, std::max(0, count - rows));
  }
  [[nodiscard]] std::string Clipboard() const { return Utf8(m_port.clipboard); }

  WindowLibraries m_set;
  std::string m_catalogue = ReadFile(m_set.FileOf(0));  // the catalogue's file as written
  libfile::NativeRecordManager m_recordManager;
  FakePort m_port;
  std::unique_ptr<KelmformCore> m_core;
};

TEST_F(KelmformCoreTest, Captions) {
  struct Case {
    const char* what;
    bool catalogue;
    int library;
    int entry;
    const char* input;
    const char* head;
    std::string marker;
  };
  const Case cases[] = {
      {"creation on the catalogue, entry 3", true, 0, 3, "", "Bibliotheksnamen  $00 LIB[0,3]",
       kCur},
      {"creation, entry 0", true, 26, 0, "", "Farben  $1A LIB[26,0]", kCur},
      {"creation, entry beyond the last", true, 26, 500, "", "Farben  $1A LIB[26,500]", kCur},
      {"creation, negative entry", true, 26, -2, "", "Farben  $1A LIB[26,-2]", kCur},
      {"creation, older layout", true, 3, 0, "", "Drei  $03 LIB[3,0]", kOlder},
      {"creation without catalogue line", true, 80, 0, "", "  $50 LIB[80,0]", kCur},
      {"creation without catalogue", false, 26, 5, "", "  $1A LIB[26,5]", kCur},
      {"failed library, then the way back", true, 7, 0, "r1", "Bibliotheksnamen  $07 LIB[7,0]", ""},
      {"click in a library", true, 26, 0, "c5", "Farben  $1A LIB[26,5]", kCur},
      {"Down and Up", true, 26, 2, "Down Down Up", "Farben  $1A LIB[26,3]", kCur},
      {"Right and Left", true, 26, 2, "Right Right Left", "Farben  $1A LIB[26,3]", kCur},
      {"End", true, 26, 0, "End", "Farben  $1A LIB[26,100]", kCur},
      {"Home", true, 26, 50, "Home", "Farben  $1A LIB[26,0]", kCur},
      {"Up at the first line", true, 26, 0, "Home Up", "Farben  $1A LIB[26,0]", kCur},
      {"Down at the last line", true, 26, 0, "End Down", "Farben  $1A LIB[26,100]", kCur},
      {"click without catalogue", false, 26, 0, "c5", "  $1A LIB[26,5]", kCur},
      {"click without catalogue line", true, 80, 0, "c1", "  $50 LIB[80,1]", kCur},
      {"click in the catalogue", true, 0, 0, "c26", "Bibliotheksnamen  KL71A  LIB[0,26]", kCur},
      {"first Down in the catalogue selects line 0", true, 0, 0, "Down",
       "Bibliotheksnamen  KL700  LIB[0,0]", kCur},
      {"catalogue refresh with nothing selected", true, 0, 0, "^Home",
       "Bibliotheksnamen  KL7FFFFFFFF  LIB[0,-1]", kCur},
      {"opened by Enter", true, 0, 0, "c26 Enter", "Farben  $1A LIB[26,0]", kCur},
      {"opened by double click", true, 0, 0, "d26", "Farben  $1A LIB[26,0]", kCur},
      {"opening the older layout keeps the marker", true, 0, 0, "c3 Enter", "Drei  $03 LIB[3,0]",
       kCur},
      {"opening the current layout keeps the marker", true, 3, 0, "r0 c26 Enter",
       "Farben  $1A LIB[26,0]", kOlder},
      {"back by the right button", true, 26, 5, "r2", "Bibliotheksnamen  $1A LIB[26,0]", kCur},
      {"back by Shift+Enter", true, 26, 5, "ShiftEnter", "Bibliotheksnamen  $1A LIB[26,0]", kCur},
      {"back, then a click", true, 26, 5, "r2 c20", "Bibliotheksnamen  KL714  LIB[0,20]", kCur},
      {"a library that fails to open leaves the catalogue", true, 0, 0, "c7 Enter c8",
       "Bibliotheksnamen  KL708  LIB[0,8]", kCur},
      {"right button in the catalogue", true, 0, 0, "c5 r9", "Bibliotheksnamen  KL705  LIB[0,5]",
       kCur},
      {"middle button in a library", true, 26, 0, "c5 m9", "Farben  $1A LIB[26,5]", kCur},
      {"Enter in a library copies", true, 26, 0, "c2 Enter", "Farben  $1A LIB[26,2]", kCur},
      {"a typed letter in the catalogue", true, 0, 0, "=F", "Bibliotheksnamen  KL707  LIB[0,7]",
       kCur},
      {"typed letters, then Enter", true, 0, 0, "=fa Enter", "Farben  $1A LIB[26,0]", kCur},
      {"a typed letter in a library", true, 26, 0, "=g", "Farben  $1A LIB[26,2]", kCur},
      {"a letter that finds nothing", true, 26, 5, "=q", "Farben  $1A LIB[26,5]", kCur},
      {"back by Backspace", true, 26, 5, "Backspace", "Bibliotheksnamen  $1A LIB[26,0]", kCur},
      {"back by the back button", true, 26, 5, "b2", "Bibliotheksnamen  $1A LIB[26,0]", kCur},
      {"Ctrl+C in the catalogue", true, 0, 0, "c5 CtrlC", "Bibliotheksnamen  KL705  LIB[0,5]",
       kCur},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(c.library, c.entry, c.catalogue);
    Perform(c.input);
    EXPECT_EQ(Caption(), Full(c.head, c.marker));
    EXPECT_TRUE(m_port.errors.empty());
    // The label's tool tip is the whole caption, after the line about a library not read.
    const std::string tip = Utf8(m_port.captionToolTip);
    EXPECT_EQ(tip.substr(tip.size() - Caption().size()), Caption());
  }
}

TEST_F(KelmformCoreTest, CreationSelectsAndCentres) {
  struct Case {
    int library;
    int entry;
    int count;
    const char* firstLine;
    int selected;
  };
  const Case cases[] = {
      {0, 3, 61, "Bibliotheksnamen", 3},
      {0, 0, 61, "Bibliotheksnamen", -1},
      {26, 60, 101, "*", 60},
      {26, 100, 101, "*", 100},
      {26, 0, 101, "*", -1},
      {26, -2, 101, "*", -1},
      {26, 101, 101, "*", -1},
      {3, 2, 4, "*", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.library) + "," + std::to_string(c.entry));
    Open(c.library, c.entry);
    ASSERT_EQ(m_port.Count(), c.count);
    EXPECT_EQ(m_port.Row(0), c.firstLine);
    EXPECT_EQ(m_port.item, c.selected);
    EXPECT_EQ(m_port.top, c.selected < 0 ? 0 : CentredTop(c.selected, c.count));
    EXPECT_EQ(m_core->State().CurrentLibrary, c.library);
    EXPECT_TRUE(m_core->State().CatalogueLoaded);
  }
}

TEST_F(KelmformCoreTest, CreationOnLibraryThatFailsToLoad) {
  struct Case {
    const char* what;
    std::string file;  // "-": no file at all; "cut": half of a genuine file
    const char* reason;
  };
  const char* notRecordFile =
      "not a Btrieve file, or a variant this reader does not read (status 30)";
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "Farben\nRot\nGr\xFCn\n";
  const Case cases[] = {
      {"missing file", "-", "file not found (status 12)"},
      {"empty file", "", notRecordFile},
      {"not a record file", text, notRecordFile},
      {"cut record file", "cut", "I/O error or damaged file (status 2)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string contents = c.file;
    if (contents == "cut") {
      contents = ReadFile(m_set.FileOf(26));
      contents.resize(contents.size() / 2);
    }
    if (contents != "-") std::ofstream(m_set.FileOf(7), std::ios::binary) << contents;
    Open(7, 3);
    const std::string line =
        "kl7view: " + m_set.Utils() + "KL707.DAT: cannot read the library: " + c.reason;
    EXPECT_EQ(Caption(), "kk");
    EXPECT_EQ(Utf8(m_port.captionToolTip), line + "\nkk");
    EXPECT_EQ(m_port.unreadable, std::vector<std::string>{line});
    EXPECT_EQ(m_port.Count(), 0);
    EXPECT_TRUE(m_core->State().LayoutMarker.empty());
    EXPECT_EQ(m_core->State().CurrentLibrary, 7);
    // Inside the (empty) library, Enter reads entry -1.
    Perform("Enter");
    EXPECT_EQ(m_port.errors, std::vector<std::string>{"List index out of bounds (-1)"});
    std::filesystem::remove(m_set.FileOf(7));
  }
}

TEST_F(KelmformCoreTest, OpenFromCatalogue) {
  std::string keys = "End Home";
  for (int line = 0; line < 26; ++line)
    keys += " Down";
  for (const std::string& input : {std::string("c26 Enter"), std::string("d26"), keys + " Enter"}) {
    SCOPED_TRACE(input);
    Open(0, 26);
    Perform(input);
    EXPECT_EQ(m_core->State().CurrentLibrary, 26);
    ASSERT_EQ(m_port.Count(), 101);
    EXPECT_EQ(m_port.item, -1);
    EXPECT_EQ(m_port.top, 0);
    const std::vector<std::string> expected = {"*",
                                               "Rot",
                                               "Grün",
                                               "LIB[3,2] ---> Drei zwei",
                                               "€ „Zoll“ – x",
                                               "-######-",
                                               "-###LIB[3,99]###-",
                                               "Farbe 7"};
    for (int line = 0; line < static_cast<int>(expected.size()); ++line)
      EXPECT_EQ(m_port.Row(line), expected[static_cast<std::size_t>(line)]);
    // Opening is the only action: nothing was copied on the way.
    EXPECT_EQ(Clipboard(), "vorher");
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(KelmformCoreTest, OpenNothing) {
  struct Case {
    const char* input;
    const char* head;
  };
  const Case cases[] = {
      {"c0 Enter", "Bibliotheksnamen  KL700  LIB[0,0]"},
      {"d0", "Bibliotheksnamen  KL700  LIB[0,0]"},
      {"Enter", "Bibliotheksnamen  $00 LIB[0,0]"},
      {"c7 Enter", "Bibliotheksnamen  KL707  LIB[0,7]"},
      {"d7", "Bibliotheksnamen  KL707  LIB[0,7]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(0, 0);
    Perform(c.input);
    EXPECT_EQ(m_core->State().CurrentLibrary, 0);
    EXPECT_EQ(m_port.Count(), 61);
    EXPECT_EQ(m_port.Row(0), "Bibliotheksnamen");
    EXPECT_EQ(Caption(), Full(c.head, kCur));
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(KelmformCoreTest, NoLibraryBeyondLine255) {
  std::vector<std::string> names;
  for (int n = 1; n <= 600; ++n)
    names.push_back("Name " + std::to_string(n));
  m_set.WriteCurrent(0, names);
  m_catalogue = ReadFile(m_set.FileOf(0));
  for (const int line : {259, 511, 256}) {
    SCOPED_TRACE(line);
    Open(0, line);
    EXPECT_EQ(m_port.item, line);
    Perform("Enter d" + std::to_string(line));
    EXPECT_EQ(m_core->State().CurrentLibrary, 0);
    EXPECT_EQ(m_port.Count(), 601);
    EXPECT_EQ(m_port.item, line);
  }
}

TEST_F(KelmformCoreTest, WayBack) {
  struct Case {
    int library;
    const char* input;
  };
  const Case cases[] = {{26, "r3"},    {26, "ShiftEnter"}, {26, "CtrlShiftEnter"},
                        {26, "r3 r3"}, {26, "Backspace"},  {26, "b3"},
                        {80, "r1"},    {3, "ShiftEnter"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(c.library, 2);
    Perform(c.input);
    EXPECT_EQ(m_core->State().CurrentLibrary, 0);
    ASSERT_EQ(m_port.Count(), 61);
    EXPECT_EQ(m_port.Row(0), "Bibliotheksnamen");
    // The line of the library just left is selected and centred; a line the catalogue lacks
    // leaves nothing selected.
    const int selected = c.library < m_port.Count() ? c.library : -1;
    EXPECT_EQ(m_port.item, selected);
    EXPECT_EQ(m_port.top, selected < 0 ? 0 : CentredTop(selected, m_port.Count()));
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(KelmformCoreTest, NoWayBack) {
  struct Case {
    bool catalogue;
    int library;
    const char* input;
  };
  const Case cases[] = {{true, 0, "c5 r9"},        {true, 0, "c5 ShiftEnter"},
                        {false, 26, "c5 r9"},      {false, 26, "c5 ShiftEnter"},
                        {true, 0, "c5 Backspace"}, {false, 26, "c5 b9"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(c.library, 0, c.catalogue);
    const int count = m_port.Count();
    Perform(c.input);
    EXPECT_EQ(m_core->State().CurrentLibrary, c.library);
    EXPECT_EQ(m_port.Count(), count);
    EXPECT_EQ(m_port.item, 5);
    EXPECT_EQ(Clipboard(), "vorher");
  }
}

TEST_F(KelmformCoreTest, Copy) {
  struct Case {
    const char* input;
    const char* copied;
  };
  const Case cases[] = {
      {"c1 Enter", "Rot"},
      {"d2", "Grün"},
      {"c3 Enter", "LIB[3,2] ---> Drei zwei"},
      {"c4 Enter", "€ „Zoll“ – x"},
      {"d5", "-######-"},
      {"c6 Enter", "-###LIB[3,99]###-"},
      {"c0 Enter", "*"},
      {"c1 Down Down Enter", "LIB[3,2] ---> Drei zwei"},
      {"=g Enter", "Grün"},
      {"=GR Enter", "Grün"},
      {"c1 CtrlC", "Rot"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(26, 0);
    Perform(c.input);
    EXPECT_EQ(Clipboard(), c.copied);
    EXPECT_EQ(m_port.notices, std::vector<std::string>{"kopiert"});
    EXPECT_EQ(m_core->State().CurrentLibrary, 26);
    EXPECT_EQ(m_port.Count(), 101);
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(KelmformCoreTest, CopyWithNothingSelectedReportsErrorAndCarriesOn) {
  Open(26, 0);
  Perform("Enter");
  EXPECT_EQ(m_port.errors, std::vector<std::string>{"List index out of bounds (-1)"});
  // A double click acts on the item index, not on the row under the pointer.
  m_core->OnDoubleClick(MouseButton::kLeft, {}, 2);
  EXPECT_EQ(m_port.errors.size(), 2u);
  EXPECT_EQ(Clipboard(), "vorher");
  EXPECT_TRUE(m_port.notices.empty());
  Perform("c2 Enter");
  EXPECT_EQ(Clipboard(), "Grün");
  EXPECT_EQ(m_port.errors.size(), 2u);
  EXPECT_FALSE(m_port.closed);
}

TEST_F(KelmformCoreTest, EscClosesAndNothingFollows) {
  for (const auto& [library, input] : {std::pair{0, "c3"}, {26, "c3"}, {26, "r3"}}) {
    Open(library, 0);
    Perform(input);
    EXPECT_FALSE(m_port.closed);
    const std::u16string caption = m_port.caption;
    Perform("Esc c5 Down");
    EXPECT_TRUE(m_port.closed);
    EXPECT_EQ(m_port.caption, caption);
  }
}

TEST_F(KelmformCoreTest, SelectionChangesOnlyByLeftButtonAndKeys) {
  Open(0, 0);
  Perform("c5");
  const std::u16string caption = m_port.caption;
  Perform("r9 m9 b9 Space CtrlC");
  EXPECT_EQ(m_port.item, 5);
  EXPECT_EQ(m_port.caption, caption);
  EXPECT_EQ(Clipboard(), "vorher");
  // A drag reports one click, when the button comes up on another row.
  m_core->OnMouseDown(MouseButton::kLeft, {}, 3);
  EXPECT_EQ(Caption(), Full("Bibliotheksnamen  KL703  LIB[0,3]", kCur));
  m_core->OnMouseMove(6);
  EXPECT_EQ(m_port.item, 6);
  EXPECT_EQ(Caption(), Full("Bibliotheksnamen  KL703  LIB[0,3]", kCur));
  m_core->OnMouseUp(MouseButton::kLeft);
  EXPECT_EQ(Caption(), Full("Bibliotheksnamen  KL706  LIB[0,6]", kCur));
}

TEST_F(KelmformCoreTest, PageKeysRefreshOnKeyUp) {
  Open(26, 0);
  const int rows = m_port.visibleRows;
  const auto refreshed = [&](int entry) {
    return Full("Farben  $1A LIB[26," + std::to_string(entry) + "]", kCur);
  };
  const std::string start = Caption();
  m_core->OnKeyDown(kVkPageDown, {});
  EXPECT_EQ(m_port.item, rows - 1);
  EXPECT_EQ(Caption(), start);
  m_core->OnKeyUp(kVkPageDown, {});
  EXPECT_EQ(Caption(), refreshed(rows - 1));
  Perform("PgDn");
  EXPECT_EQ(m_port.item, 2 * (rows - 1));
  Perform("PgUp");
  EXPECT_EQ(m_port.item, m_port.top);
  EXPECT_EQ(Caption(), refreshed(m_port.top));
  Perform("End");
  EXPECT_EQ(Caption(), refreshed(100));
  EXPECT_EQ(m_port.top, 101 - rows);
}

TEST_F(KelmformCoreTest, CatalogueReloadedByReference) {
  Open(0, 0);
  // Library 9 refers into the catalogue, which the loader then reads again without its heading.
  Perform("c9 Enter");
  EXPECT_EQ(m_port.Row(1), "LIB[0,26] ---> Farben");
  EXPECT_EQ(Caption(), Full("Katalogverweis  $09 LIB[9,0]", kCur));
  Perform("r1");
  EXPECT_EQ(m_port.Row(0), "Bibliotheksnamen");
  EXPECT_EQ(m_port.item, 9);
  EXPECT_EQ(Caption(), Full("Bibliotheksnamen  $09 LIB[9,0]", kCur));
}

TEST_F(KelmformCoreTest, CatalogueLostByReference) {
  Open(0, 0);
  // The catalogue's file goes away: library 9's reference into it fails and takes the cached
  // catalogue with it.
  std::filesystem::remove(m_set.FileOf(0));
  Perform("c9 Enter");
  EXPECT_EQ(m_core->State().CurrentLibrary, 9);
  EXPECT_EQ(m_port.Row(1), "LIB[0,26] ---> ?????");
  EXPECT_EQ(Caption(), Full("  $09 LIB[9,0]", kCur));
  // The way back cannot load the catalogue: the window stays where it is.
  Perform("c2 r2");
  EXPECT_EQ(m_core->State().CurrentLibrary, 9);
  EXPECT_EQ(m_port.Row(2), "Neun zwei");
  EXPECT_EQ(Caption(), Full("  $09 LIB[9,2]", kCur));
  // Once the file is back, the way back reads it again.
  std::ofstream(m_set.FileOf(0), std::ios::binary) << m_catalogue;
  Perform("r2");
  EXPECT_EQ(m_core->State().CurrentLibrary, 0);
  EXPECT_EQ(m_port.Row(0), "Bibliotheksnamen");
  EXPECT_EQ(m_port.item, 9);
  EXPECT_EQ(Caption(), Full("Bibliotheksnamen  $09 LIB[9,0]", kCur));
  EXPECT_TRUE(m_port.errors.empty());
}

TEST_F(KelmformCoreTest, ToolTipsOfferTheViewsActions) {
  struct Case {
    bool catalogue;
    int library;
    const char* input;
    std::vector<std::string> actions;
  };
  const std::vector<std::string> inCatalogue = {"Bibliothek öffnen", "alle Tasten", "schließen"};
  const std::vector<std::string> inLibrary = {"Eintrag kopieren", "zurück zum Katalog",
                                              "alle Tasten", "schließen"};
  const Case cases[] = {
      {true, 0, "c5", inCatalogue},
      {true, 26, "c5", inLibrary},
      {true, 0, "c26 Enter", inLibrary},
      {true, 26, "Backspace", inCatalogue},
      {false, 26, "c5", {"Eintrag kopieren", "alle Tasten", "schließen"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(c.library, 0, c.catalogue);
    Perform(c.input);
    EXPECT_EQ(Utf8(m_port.captionToolTip), Caption());
    std::vector<std::string> offered;
    std::string tip = Utf8(m_port.listToolTip) + "\n";
    for (std::size_t end; (end = tip.find('\n')) != std::string::npos; tip.erase(0, end + 1))
      offered.push_back(tip.substr(tip.find(": ") + 2, end - tip.find(": ") - 2));
    EXPECT_EQ(offered, c.actions);
  }
}

TEST_F(KelmformCoreTest, UnreadableLibraryFromCatalogue) {
  Open(0, 0);
  Perform("c7 Enter");
  const std::string line = "kl7view: " + m_set.Utils() +
                           "KL707.DAT: cannot read the library: file not found (status 12)";
  EXPECT_EQ(m_port.unreadable, std::vector<std::string>{line});
  EXPECT_EQ(Utf8(m_port.captionToolTip), line + "\n" + Caption());
  // A refresh keeps the line; the next view change drops it.
  Perform("c8");
  EXPECT_EQ(Utf8(m_port.captionToolTip), line + "\n" + Caption());
  Perform("c26 Enter");
  EXPECT_EQ(Utf8(m_port.captionToolTip), Caption());
}

}  // namespace
}  // namespace viewer::testing
