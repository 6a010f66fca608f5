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
  AddedActionsTest() {
    // Library 40: a reference into a library whose file is missing, one to no library, and a
    // plain one.
    m_set.WriteCurrent(40, {"LIB[7,1]", "LIB[300,1]", "LIB[26,2]"});
  }
  void Open(int library, int entry) {
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
  [[nodiscard]] std::string Full(const std::string& head) const {
    return head + kCur + m_set.Utils();
  }
  [[nodiscard]] std::string Tip() const { return Utf8(m_port.captionToolTip); }

  WindowLibraries m_set;
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

}  // namespace
}  // namespace viewer::testing
