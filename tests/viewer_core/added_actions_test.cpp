// The window's actions beyond the list box's: following a reference, the history, closing keys,
// the key list, reloading and the copy notice, through the fake front.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fake_port.h"
#include "libfile/record_manager.h"
#include "viewer/core/kelmform_core.h"
#include "window_libraries.h"

namespace viewer::testing {
namespace {

const std::string kCur = "  -  ";

class AddedActionsTest : public ::testing::Test {
 protected:
  AddedActionsTest() { Fresh(); }
  // A new utilities directory. Library 40 holds a reference into a library whose file is
  // missing, one to no library, and a plain one.
  void Fresh() {
    m_set = std::make_unique<WindowLibraries>();
    m_set->WriteCurrent(40, {"LIB[7,1]", "LIB[300,1]", "LIB[26,2]"});
  }
  // Library 26 written anew with `entries` entries; removed for -1.
  void RewriteFarben(int entries) {
    if (entries < 0) {
      std::filesystem::remove(m_set->FileOf(26));
      return;
    }
    std::vector<std::string> texts;
    for (int k = 1; k <= entries; ++k)
      texts.push_back("neu " + std::to_string(k));
    m_set->WriteCurrent(26, texts);
  }
  void Open(int library, int entry) {
    startup::StartupValues values;
    values.settings.Write(startup::kUtilsKey, m_set->Utils());
    values.CurrentLibrary = static_cast<std::uint8_t>(library);
    values.CurrentEntry = entry;
    m_port = FakePort();
    m_core = std::make_unique<KelmformCore>(std::move(values), m_recordManager, m_port);
    m_core->Create();
  }
  void Perform(std::string_view script) { ScriptPlayer(*m_core, m_port).Play(script); }
  [[nodiscard]] std::string Caption() const { return Utf8(m_port.caption); }
  [[nodiscard]] std::string Full(const std::string& head) const {
    return head + kCur + m_set->Utils();
  }
  [[nodiscard]] std::string Tip() const { return Utf8(m_port.captionToolTip); }

  std::unique_ptr<WindowLibraries> m_set;
  libfile::NativeRecordManager m_recordManager;
  FakePort m_port;
  std::unique_ptr<KelmformCore> m_core;
};

TEST_F(AddedActionsTest, F12FollowsTheSelectedReference) {
  struct Case {
    const char* what;
    int library;
    const char* input;
    int shownLibrary;
    int selected;
    const char* head;
    const char* why;  // the start of the tool tip's first line when nothing was followed
  };
  const Case cases[] = {
      {"resolved reference", 26, "c3 F12", 3, 2, "Drei  $03 LIB[3,2]", ""},
      {"marked reference beyond the last entry", 26, "c6 F12", 3, -1, "Drei  $03 LIB[3,0]", ""},
      {"into the catalogue", 9, "c1 F12", 0, 26, "Bibliotheksnamen  KL71A  LIB[0,26]", ""},
      {"into the same library", 40, "c3 F12", 26, 2, "Farben  $1A LIB[26,2]", ""},
      {"no reference", 26, "c1 F12", 26, 1, "Farben  $1A LIB[26,1]", "F12: Der Eintrag"},
      {"nothing selected", 26, "F12", 26, -1, "Farben  $1A LIB[26,0]", "F12: Kein Eintrag"},
      {"no such library", 40, "c2 F12", 40, 2, "Bibliothek 40  $28 LIB[40,2]", "F12: LIB[300"},
      {"unreadable library", 40, "c1 F12", 40, 1, "Bibliothek 40  $28 LIB[40,1]", "kl7view: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(c.library, 0);
    Perform(c.input);
    EXPECT_EQ(m_core->State().CurrentLibrary, c.shownLibrary);
    EXPECT_EQ(m_port.item, c.selected);
    EXPECT_EQ(Caption(), Full(c.head));
    EXPECT_TRUE(Tip().starts_with(c.why)) << Tip();
    EXPECT_EQ(m_port.notices.size(), std::string(c.why).empty() ? 0u : 1u);
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(AddedActionsTest, AltLeftAndRightWalkThroughTheViews) {
  struct Case {
    int library;
    int entry;
    const char* input;
    int shownLibrary;
    int selected;
    const char* head;
  };
  const Case cases[] = {
      {0, 0, "c26 Enter c5 AltLeft", 0, 26, "Bibliotheksnamen  KL71A  LIB[0,26]"},
      {0, 0, "c26 Enter c5 AltLeft AltRight", 26, 5, "Farben  $1A LIB[26,5]"},
      {26, 0, "c3 F12 AltLeft", 26, 3, "Farben  $1A LIB[26,3]"},
      {26, 0, "c3 F12 c1 AltLeft AltRight", 3, 1, "Drei  $03 LIB[3,1]"},
      {26, 0, "c3 F12 AltLeft c6 F12 AltRight", 3, -1, "Drei  $03 LIB[3,0]"},
      {26, 5, "Backspace AltLeft", 26, 5, "Farben  $1A LIB[26,5]"},
      {26, 5, "r1 c3 Enter AltLeft AltLeft", 26, 5, "Farben  $1A LIB[26,5]"},
      {26, 5, "AltLeft", 26, 5, "Farben  $1A LIB[26,5]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    Open(c.library, c.entry);
    Perform(c.input);
    EXPECT_EQ(m_core->State().CurrentLibrary, c.shownLibrary);
    EXPECT_EQ(m_port.item, c.selected);
    EXPECT_EQ(Caption(), Full(c.head));
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(AddedActionsTest, CtrlWAndCtrlQCloseAsEscDoes) {
  for (const char* key : {"CtrlW", "CtrlQ"}) {
    for (const int library : {0, 26}) {
      Open(library, 3);
      Perform(key);
      EXPECT_TRUE(m_port.closed);
    }
  }
  Open(26, 3);
  Perform("=w =q");
  EXPECT_FALSE(m_port.closed);
}

TEST_F(AddedActionsTest, CtrlOStartsAnewOnTheChosenFile) {
  // A second utilities directory, and one without a catalogue.
  const WindowLibraries other;
  other.WriteCurrent(26, {"Anders eins", "Anders zwei"});
  const kl7test::LibraryDirectory bare("kl7-bare");
  libfile::writer::LibraryContents alone;
  alone.texts = {"Allein"};
  libfile::writer::WriteLibraryFile(std::filesystem::path(bare.Path()) / "kl705.dat", alone);
  struct Case {
    std::string chosen;
    int library;
    int selected;
    std::string caption;
    bool catalogue;
  };
  const Case cases[] = {
      {other.Utils() + "KL71A.DAT", 26, -1, "Farben  $1A LIB[26,0]" + kCur + other.Utils(), true},
      {(std::filesystem::path(bare.Path()) / "kl705.dat").string(), 5, -1,
       "  $05 LIB[5,0]" + kCur + (std::filesystem::path(bare.Path()) / "").string(), false},
      // Chosen nothing, or a file that is no library: the view stays.
      {"", 3, 2, "Drei  $03 LIB[3,2]" + kCur + m_set->Utils(), true},
      {m_set->Utils() + "liesmich.txt", 3, 2, "Drei  $03 LIB[3,2]" + kCur + m_set->Utils(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    Open(26, 0);
    Perform("c3 F12");
    m_port.chosenFile = c.chosen;
    Perform("CtrlO");
    EXPECT_EQ(m_port.fileDialog, "KL7??.DAT in " + m_set->Utils());
    EXPECT_EQ(m_core->State().CurrentLibrary, c.library);
    EXPECT_EQ(m_port.item, c.selected);
    EXPECT_EQ(Caption(), c.caption);
    EXPECT_EQ(m_core->State().CatalogueLoaded, c.catalogue);
    EXPECT_TRUE(m_port.errors.empty());
    EXPECT_EQ(c.chosen.ends_with(".txt"), Tip().starts_with("Strg+O: ")) << Tip();
    // A start has no earlier view.
    Perform("AltLeft");
    EXPECT_EQ(m_core->State().CurrentLibrary, c.library == 3 ? 26 : c.library);
  }
}

TEST_F(AddedActionsTest, F1ListsEveryKey) {
  Open(26, 3);
  Perform("F1");
  EXPECT_EQ(m_port.windowTitle, "Tasten");
  for (const char* key : {"Pfeiltasten", "Buchstaben", "Enter", "Strg+C", "Umschalt+Enter",
                          "rechte Maustaste", "F12", "Umschalt+F12", "Strg+F", "F3, Umschalt+F3",
                          "Alt+Links", "F5", "Strg+O", "Esc, Strg+W, Strg+Q"}) {
    EXPECT_NE(m_port.windowText.find(key), std::string::npos) << key;
  }
  EXPECT_EQ(m_port.item, 3);
  EXPECT_FALSE(m_port.closed);
}

TEST_F(AddedActionsTest, F5ReadsTheLibraryAgainKeepingTheEntryNumber) {
  struct Case {
    const char* what;
    int entries;  // library 26 rewritten with this many entries; -1: removed
    bool catalogue;
    int shownLibrary;
    int selected;
    int count;
    const char* tip;  // the start of the label's tool tip
  };
  const Case cases[] = {
      {"more entries", 200, true, 26, 5, 201, "Farben"},
      {"fewer entries: the last is selected", 3, true, 26, 3, 4, "Farben"},
      {"file removed: the catalogue", -1, true, 0, 26, 61, "kl7view: "},
      {"file removed, no catalogue: an empty list", -1, false, 26, -1, 0, "kl7view: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    if (!c.catalogue) std::filesystem::remove(m_set->FileOf(0));
    Open(26, 5);
    RewriteFarben(c.entries);
    Perform("F5");
    EXPECT_EQ(m_core->State().CurrentLibrary, c.shownLibrary);
    EXPECT_EQ(m_port.item, c.selected);
    EXPECT_EQ(m_port.Count(), c.count);
    EXPECT_TRUE(Tip().starts_with(c.tip)) << Tip();
    EXPECT_EQ(m_port.unreadable.size(), c.entries < 0 ? 1u : 0u);
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(AddedActionsTest, AChangedFileIsReadAgainOnceItHoldsStill) {
  struct Case {
    const char* what;
    int library;
    int changed;  // the library whose file changes
    int row;      // the row to look at
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"the library's own file", 26, 26, 1, "Rot", "neu 1"},
      {"a file a reference was resolved from", 26, 3, 3, "LIB[3,2] ---> Drei zwei",
       "LIB[3,2] ---> anders 2"},
      {"the catalogue", 0, 0, 26, "Farben", "anders 26"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    Open(c.library, 0);
    std::uint32_t time = 1000;
    m_core->OnTick(time);
    // Replaced by rename, as a careful writer does.
    const std::filesystem::path file = m_set->FileOf(static_cast<std::uint8_t>(c.changed));
    std::vector<std::string> texts;
    for (int k = 1; k <= 30; ++k)
      texts.push_back((c.changed == 26 ? "neu " : "anders ") + std::to_string(k));
    m_set->WriteCurrent(250, texts);
    std::filesystem::rename(m_set->FileOf(250), file);
    m_core->OnTick(time += 500);
    m_core->OnTick(time += 500);
    EXPECT_EQ(m_port.Row(c.row), c.before);  // not yet held still for a second
    m_core->OnTick(time += 600);
    EXPECT_EQ(m_port.Row(c.row), c.after);
    EXPECT_TRUE(m_port.errors.empty());
  }
}

TEST_F(AddedActionsTest, ShiftF12ListsWhereTheEntryIsUsedAndShowsTheChosenOne) {
  // Library 41 refers to entry 2 of library 3 twice, library 26 once (entry 3); library 40 to
  // entry 2 of library 26.
  m_set->WriteCurrent(41, {"LIB[3,2]", "x", "LIB[3,02] anders", "LIB[259,2]", "LIB[3,1]"});
  struct Case {
    int library;
    int entry;
    std::vector<std::string> rows;  // the start of each row
    int choice;
    int shownLibrary;
    int selected;
  };
  const Case cases[] = {
      {3,
       2,
       {"LIB[26,3]  Farben  LIB[3,2]", "LIB[41,1]  Bibliothek 41  LIB[3,2]",
        "LIB[41,3]  Bibliothek 41  LIB[3,02] anders"},
       2,
       41,
       3},
      {26, 2, {"LIB[40,3]  Bibliothek 40  LIB[26,2]"}, 0, 40, 3},
      {0, 26, {"LIB[9,1]  Katalogverweis  LIB[0,26]"}, 0, 9, 1},
      {26, 1, {}, -1, 26, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.library) + "," + std::to_string(c.entry));
    Open(c.library, c.entry);
    Perform("ShiftF12");
    EXPECT_EQ(m_port.choicesTitle, "Verwendet in");
    EXPECT_EQ(m_port.choices, c.rows);
    EXPECT_EQ(m_port.choicesEmpty, "LIB[" + std::to_string(c.library) + "," +
                                       std::to_string(c.entry) + "] wird nirgends verwendet.");
    m_core->OnChoice(c.choice);
    EXPECT_EQ(m_core->State().CurrentLibrary, c.shownLibrary);
    EXPECT_EQ(m_port.item, c.selected);
    // The view it came from is one step back.
    Perform("AltLeft");
    EXPECT_EQ(m_core->State().CurrentLibrary, c.library);
    EXPECT_EQ(m_port.item, c.entry);
  }
}

TEST_F(AddedActionsTest, CtrlFFindsInEveryLibraryAndF3WalksTheMatches) {
  // On the window's thread, and in the background with the matches handed over as they come.
  for (const bool background : {false, true}) {
    SCOPED_TRACE(background ? "in the background" : "on the window's thread");
    Open(26, 1);
    m_port.background = background;
    const auto find = [&](std::u16string_view text) {
      m_core->OnFind(std::u16string(text));
      m_core->WaitForSearch();
    };
    Perform("CtrlF");
    EXPECT_TRUE(m_port.findOpened);
    find(u"DREI");
    const std::vector<std::string> rows = {"LIB[0,3]  Bibliotheksnamen  Drei",
                                           "LIB[3,1]  Drei  Drei eins", "LIB[3,2]  Drei  Drei zwei",
                                           "LIB[3,3]  Drei  Drei drei",
                                           "LIB[26,3]  Farben  LIB[3,2] ---> Drei zwei"};
    EXPECT_EQ(m_port.findRows, rows);
    struct Step {
      const char* input;  // "" for choosing the last row in the find window
      int library;
      int selected;
    };
    const Step steps[] = {{"", 26, 3},
                          {"F3", 0, 3},
                          {"ShiftF3", 26, 3},
                          {"F3 F3", 3, 1},
                          {"ShiftF3 ShiftF3", 26, 3},
                          {"AltLeft", 0, 3}};
    for (const Step& step : steps) {
      SCOPED_TRACE(step.input);
      if (*step.input == '\0') {
        m_core->OnFindChoice(4);
      } else {
        Perform(step.input);
      }
      EXPECT_EQ(m_core->State().CurrentLibrary, step.library);
      EXPECT_EQ(m_port.item, step.selected);
    }
    // Folded: upper and lower case and umlauts alike.
    find(u"GR\u00DCN");
    EXPECT_EQ(m_port.findRows,
              (std::vector<std::string>{"LIB[26,2]  Farben  Gr\u00FCn",
                                        "LIB[40,3]  Bibliothek 40  LIB[26,2] ---> Gr\u00FCn"}));
    find(u"nirgends");
    EXPECT_TRUE(m_port.findRows.empty());
    EXPECT_EQ(m_port.findEmpty, "Nichts gefunden: nirgends");
    find(u"  ");
    EXPECT_EQ(m_port.findEmpty, "Bitte einen Suchtext eingeben.");
    Perform("F3");
    EXPECT_TRUE(Tip().starts_with("F3: Es gibt keine Treffer")) << Tip();
    EXPECT_TRUE(m_port.errors.empty());
    EXPECT_EQ(m_port.wakes > 0, background);
  }
}

TEST_F(AddedActionsTest, ANewSearchOrClosingTheFindWindowStopsTheOldOne) {
  Open(26, 1);
  m_port.background = true;
  m_core->OnFind(u"DREI");
  EXPECT_EQ(m_port.findEmpty, "Suche l\u00E4uft \u2026");
  m_core->OnFind(u"GR\u00DCN");
  m_core->WaitForSearch();
  EXPECT_EQ(m_port.findRows.size(), 2u);
  EXPECT_TRUE(m_port.findRows.front().starts_with("LIB[26,2]")) << m_port.findRows.front();
  m_core->OnFind(u"DREI");
  m_core->OnFindClosed();
  m_core->WaitForSearch();
  EXPECT_TRUE(m_port.findRows.empty());
  Perform("F3");
  EXPECT_TRUE(Tip().starts_with("F3: Es gibt keine Treffer")) << Tip();
}

}  // namespace
}  // namespace viewer::testing
