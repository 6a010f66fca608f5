// A front without a widget: it keeps what the core shows and asks, as a list box, a label, a
// clipboard and a window would, and a script player that feeds the core a user's input.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/codepage.h"
#include "viewer/core/caption.h"
#include "viewer/core/kelmform_core.h"
#include "viewer/core/window_port.h"

namespace viewer::testing {

// UTF-16 to UTF-8, for readable comparisons.
inline std::string Utf8(std::u16string_view text) {
  return Utf8FromShown(text);
}

class FakePort final : public WindowPort {
 public:
  int visibleRows = 20;
  std::shared_ptr<const core::tcodelist> list;
  int item = -1;
  int top = 0;
  std::u16string caption;
  std::u16string captionToolTip;
  std::u16string listToolTip;
  std::u16string clipboard = u"vorher";
  bool closed = false;
  std::vector<std::string> errors;      // UTF-8
  std::vector<std::string> unreadable;  // the lines for stderr
  std::vector<std::string> notices;     // UTF-8
  std::string windowTitle;              // the text window's, UTF-8
  std::string windowText;
  std::string choicesTitle;  // the choice window's, UTF-8
  std::vector<std::string> choices;
  std::string choicesEmpty;
  bool findOpened = false;
  std::vector<std::string> findRows;
  std::string findEmpty;
  std::string chosenFile;   // what the file dialog gives back (UTF-8)
  std::string fileDialog;   // its pattern and directory, when it was opened
  bool background = false;  // searches in the background
  int wakes = 0;            // written on the search's thread: read after WaitForSearch

  [[nodiscard]] int Count() const { return list == nullptr ? 0 : static_cast<int>(list->Count()); }
  // Row `index` as shown, in UTF-8.
  [[nodiscard]] std::string Row(int index) const {
    return text::Cp1252ToUtf8((*list)[static_cast<std::size_t>(index)].String());
  }

  void ShowList(std::shared_ptr<const core::tcodelist> shown) override {
    list = std::move(shown);
    item = -1;
    top = 0;
  }
  [[nodiscard]] int ItemIndex() const override { return item; }
  void SetItemIndex(int index) override {
    if (index < 0 || index >= Count()) {
      item = -1;
      return;
    }
    item = index;
    if (index < top) top = index;
    if (index >= top + visibleRows) top = index - visibleRows + 1;
  }
  [[nodiscard]] int TopIndex() const override { return top; }
  void SetTopIndex(int index) override {
    top = std::clamp(index, 0, std::max(0, Count() - visibleRows));
  }
  [[nodiscard]] int VisibleRows() const override { return visibleRows; }
  void SetCaption(const std::u16string& text) override { caption = text; }
  [[nodiscard]] std::u16string Caption() const override { return caption; }
  void SetCaptionToolTip(const std::u16string& text) override { captionToolTip = text; }
  void SetListToolTip(const std::u16string& text) override { listToolTip = text; }
  void CopyText(const std::u16string& text) override { clipboard = text; }
  void Close() override { closed = true; }
  void ReportError(const std::u16string& message) override { errors.push_back(Utf8(message)); }
  void ReportUnreadableLibrary(const std::string& line) override { unreadable.push_back(line); }
  void ShowNotice(const std::u16string& text, int) override { notices.push_back(Utf8(text)); }
  void ShowChoices(const std::u16string& title, const std::vector<std::u16string>& rows,
                   const std::u16string& emptyText) override {
    choicesTitle = Utf8(title);
    choices.clear();
    for (const std::u16string& row : rows)
      choices.push_back(Utf8(row));
    choicesEmpty = Utf8(emptyText);
  }
  void ShowFindWindow() override { findOpened = true; }
  void ShowFindResults(const std::vector<std::u16string>& rows,
                       const std::u16string& emptyText) override {
    findRows.clear();
    for (const std::u16string& row : rows)
      findRows.push_back(Utf8(row));
    findEmpty = Utf8(emptyText);
  }
  [[nodiscard]] std::string ChooseFile(const std::u16string&, const std::u16string&,
                                       const std::string& pattern,
                                       const std::string& directory) override {
    fileDialog = pattern + " in " + directory;
    return chosenFile;
  }
  [[nodiscard]] bool SearchesInBackground() const override { return background; }
  void WakeForSearchResults() override { ++wakes; }
  void AppendFindResults(const std::vector<std::u16string>& rows) override {
    for (const std::u16string& row : rows)
      findRows.push_back(Utf8(row));
  }
  void ShowTextWindow(const std::u16string& title, const std::u16string& text) override {
    windowTitle = Utf8(title);
    windowText = Utf8(text);
  }
};

struct Key {
  std::uint16_t code;
  ShiftState shift;
};

// The keys a script names.
inline Key KeyNamed(std::string_view name) {
  struct Named {
    std::string_view name;
    Key key;
  };
  static const Named kKeys[] = {
      {"Down", {kVkDown, {}}},
      {"Up", {kVkUp, {}}},
      {"Left", {kVkLeft, {}}},
      {"Right", {kVkRight, {}}},
      {"PgDn", {kVkPageDown, {}}},
      {"PgUp", {kVkPageUp, {}}},
      {"Home", {kVkHome, {}}},
      {"End", {kVkEnd, {}}},
      {"Enter", {kVkEnter, {}}},
      {"ShiftEnter", {kVkEnter, {true, false, false}}},
      {"CtrlShiftEnter", {kVkEnter, {true, true, false}}},
      {"Esc", {kVkEscape, {}}},
      {"Space", {kVkSpace, {}}},
      {"CtrlC", {kVkC, {false, true, false}}},
      {"Backspace", {kVkBack, {}}},
      {"F1", {kVkF1, {}}},
      {"F3", {kVkF3, {}}},
      {"ShiftF3", {kVkF3, {true, false, false}}},
      {"F5", {kVkF5, {}}},
      {"F12", {kVkF12, {}}},
      {"ShiftF12", {kVkF12, {true, false, false}}},
      {"AltLeft", {kVkLeft, {false, false, true}}},
      {"AltRight", {kVkRight, {false, false, true}}},
      {"CtrlW", {kVkW, {false, true, false}}},
      {"CtrlQ", {kVkQ, {false, true, false}}},
      {"CtrlF", {kVkF, {false, true, false}}},
      {"CtrlO", {kVkO, {false, true, false}}},
  };
  for (const Named& named : kKeys) {
    if (named.name == name) return named.key;
  }
  throw std::invalid_argument("unknown key " + std::string(name));
}

// Plays a script of user input on `core`: cN, dN, rN, mN, bN click, double-click (a click first,
// as a real double click has one), right-click, middle-click, back-button click on row N (rows
// beyond the last give the last, as below the rows of a list); =text types the text (UTF-8; a
// letter's key goes down first); "pause" lets more than the type-ahead interval pass; a key name
// presses and releases that key; ^Name releases it only.
class ScriptPlayer {
 public:
  ScriptPlayer(KelmformCore& core, FakePort& port) : m_core(core), m_port(port) {}

  void Play(std::string_view script) {
    while (!script.empty()) {
      const std::size_t end = script.find(' ');
      const std::string_view token = script.substr(0, end);
      script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
      if (!token.empty()) Step(token);
    }
  }

 private:
  void Step(std::string_view token) {
    m_time += 50;
    if (token == "pause") {
      m_time += 1000;
      return;
    }
    if (token.front() == '=') {
      for (const char32_t character : text::Utf8ToUtf32(token.substr(1))) {
        const auto unit = static_cast<char16_t>(character);
        if (unit >= u'a' && unit <= u'z') m_core.OnKeyDown(unit - u'a' + 'A', {});
        if (unit >= u'A' && unit <= u'Z') m_core.OnKeyDown(unit, {true, false, false});
        m_core.OnCharacter(unit, {}, m_time);
        m_time += 50;
      }
      return;
    }
    if (token.size() > 1 && token[1] >= '0' && token[1] <= '9' &&
        std::string_view("cdrmb").find(token.front()) != std::string_view::npos) {
      const int row = std::min(std::stoi(std::string(token.substr(1))), m_port.Count() - 1);
      MouseButton button = MouseButton::kLeft;
      if (token.front() == 'r') button = MouseButton::kRight;
      if (token.front() == 'm') button = MouseButton::kMiddle;
      if (token.front() == 'b') button = MouseButton::kBack;
      m_core.OnMouseDown(button, {}, row);
      m_core.OnMouseUp(button);
      if (token.front() == 'd') {
        m_core.OnDoubleClick(button, {}, row);
        m_core.OnMouseUp(button);
      }
      return;
    }
    if (token.front() == '^') {
      const Key key = KeyNamed(token.substr(1));
      m_core.OnKeyUp(key.code, key.shift);
      return;
    }
    const Key key = KeyNamed(token);
    m_core.OnKeyDown(key.code, key.shift);
    m_core.OnKeyUp(key.code, key.shift);
  }

  KelmformCore& m_core;
  FakePort& m_port;
  std::uint32_t m_time = 0xFFFFF000;  // near the clock's wrap-around
};

}  // namespace viewer::testing
