// The list's movement by keys and typed prefixes, the widest-row estimate, and the window's
// placement: the rules both fronts share.
#include "viewer/core/list_behaviour.h"

#include <gtest/gtest.h>

#include <string>

#include "viewer/core/layout.h"
#include "viewer/core/virtual_keys.h"

namespace viewer {
namespace {

TEST(NavigationTarget, MovesAsAListBoxDoes) {
  struct Case {
    const char* what;
    std::uint16_t key;
    int current;
    int count;
    int top;
    int expected;  // -2: not a navigation key
  };
  // 100 rows, 10 visible.
  const Case cases[] = {
      {"Down with nothing selected", kVkDown, -1, 100, 0, 0},
      {"Up with nothing selected", kVkUp, -1, 100, 0, 0},
      {"Right is Down", kVkRight, 4, 100, 0, 5},
      {"Left is Up", kVkLeft, 4, 100, 0, 3},
      {"Up at the first row", kVkUp, 0, 100, 0, 0},
      {"Down at the last row", kVkDown, 99, 100, 90, 99},
      {"Home", kVkHome, 50, 100, 45, 0},
      {"End", kVkEnd, -1, 100, 0, 99},
      {"Page Down to the page's last row", kVkPageDown, 3, 100, 0, 9},
      {"Page Down with nothing selected", kVkPageDown, -1, 100, 0, 9},
      {"Page Down from the page's last row", kVkPageDown, 9, 100, 0, 18},
      {"Page Down near the end", kVkPageDown, 95, 100, 90, 99},
      {"Page Up to the page's first row", kVkPageUp, 25, 100, 20, 20},
      {"Page Up from the page's first row", kVkPageUp, 20, 100, 20, 11},
      {"Page Up near the start", kVkPageUp, 5, 100, 5, 0},
      {"an empty list", kVkDown, -1, 0, 0, -1},
      {"not a moving key", kVkEnter, 3, 100, 0, -2},
      {"a letter", 'A', 3, 100, 0, -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<int> target = NavigationTarget(c.key, c.current, c.count, c.top, 10);
    EXPECT_EQ(target.value_or(-2), c.expected);
  }
}

core::tcodelist ListOf(std::initializer_list<const char*> texts) {
  core::tcodelist list;
  for (const char* text : texts)
    list.Add(text);
  return list;
}

TEST(TypeAhead, FindsTheNextRowStartingWithTheTypedPrefix) {
  // Rows 0 to 6; "\xDC" is Ü, "\xFC" ü, "\x8A" Š, "\x9A" š in Windows-1252.
  const core::tcodelist list = ListOf({"Bibliotheksnamen", "Farben", "Fehlt", "gelb",
                                       "\xDC"
                                       "ber",
                                       "\x8A"
                                       "ach",
                                       "Grau"});
  struct Keystroke {
    char16_t character;
    std::uint32_t gap;  // milliseconds since the previous one
  };
  struct Case {
    const char* what;
    int current;
    std::vector<Keystroke> typed;
    int expected;  // -1: no match
  };
  const Case cases[] = {
      {"first letter, nothing selected", -1, {{u'f', 0}}, 1},
      {"upper case finds lower case", -1, {{u'G', 0}}, 3},
      {"a new prefix starts after the selected row", 1, {{u'f', 0}}, 2},
      {"a prefix within the interval", -1, {{u'f', 0}, {u'e', 100}}, 2},
      {"a prefix after the interval starts anew", -1, {{u'f', 0}, {u'g', 401}}, 3},
      {"the same letter again walks on", -1, {{u'g', 0}, {u'g', 100}}, 6},
      {"the same letter wraps around", 6, {{u'g', 0}}, 3},
      {"a prefix matches from the selected row on", 2, {{u'f', 500}, {u'e', 100}}, 2},
      {"umlaut, other case", -1, {{u'\u00FC', 0}}, 4},
      {"S with caron, other case", -1, {{u'\u0161', 0}}, 5},
      {"no match", 2, {{u'q', 0}}, -1},
      {"no match once the prefix fails", -1, {{u'f', 0}, {u'x', 100}}, -1},
      {"across the clock's wrap-around", -1, {{u'f', 0xFFFFFFF0}, {u'e', 0x20}}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TypeAhead typeAhead;
    std::uint32_t time = 0;
    std::optional<int> found;
    int current = c.current;
    for (const Keystroke& key : c.typed) {
      time += key.gap;
      found = typeAhead.Type(&list, current, key.character, time);
      if (found) current = *found;
    }
    EXPECT_EQ(found.value_or(-1), c.expected);
  }
  TypeAhead typeAhead;
  EXPECT_FALSE(typeAhead.Type(nullptr, -1, u'a', 0));
}

TEST(EstimateWidestRow, SumsTheAdvancesOfEachRow) {
  std::array<int, 256> advances{};
  advances.fill(5);
  advances['W'] = 12;
  advances['i'] = 2;
  core::tcodelist list = ListOf({"iiiiiiii", "WWW", "abcdefg"});
  list.AddJoined("W", "WW", std::make_shared<core::tcodelist>());
  const WidestRow widest = EstimateWidestRow(list, advances);
  EXPECT_EQ(widest.row, 1);  // the first of the two widest (36)
  EXPECT_EQ(widest.estimate, 36);
  EXPECT_EQ(EstimateWidestRow(core::tcodelist(), advances).row, -1);
}

TEST(FitFrame, MovesAndShrinksIntoTheAvailableArea) {
  struct Case {
    const char* what;
    Rect available;
    Rect fitted;
  };
  const Rect frame{229, 106, 696, 581};
  const Case cases[] = {
      {"fits", {0, 0, 1280, 800}, frame},
      {"fits exactly", {229, 106, 696, 581}, frame},
      {"too far right and down", {0, 0, 800, 600}, {104, 19, 696, 581}},
      {"too large", {0, 0, 640, 400}, {0, 0, 640, 400}},
      {"too wide, behind a panel at the top", {0, 30, 600, 770}, {0, 106, 600, 581}},
      {"screen to the left and above", {-1920, -200, 1920, 1080}, {-696, 106, 696, 581}},
      {"no area known", {}, frame},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(FitFrame(frame, c.available), c.fitted);
  }
  const ControlPlaces places = PlaceControls(900, 700);
  EXPECT_EQ(places.toolBar, (Rect{0, 0, 900, 32}));
  EXPECT_EQ(places.label, (Rect{4, 4, 898, 24}));
  EXPECT_EQ(places.list, (Rect{0, 32, 900, 668}));
}

}  // namespace
}  // namespace viewer
