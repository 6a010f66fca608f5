// The main window on Windows: the tool bar with the outlined caption line above the list, sized
// for the monitor's resolution, and the port through which the window core drives it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "libfile/record_manager.h"
#include "startup/startup_sequence.h"
#include "viewer/core/kelmform_core.h"
#include "viewer/core/window_port.h"
#include "viewer/win32/choice_window.h"
#include "viewer/win32/entry_list_box.h"
#include "viewer/win32/fonts.h"
#include "viewer/win32/outlined_label.h"
#include "viewer/win32/text_window.h"

namespace viewer::win32 {

class KelmformWindow final : public WindowPort {
 public:
  // Creates the window (not shown yet) inside the work area of the monitor it opens on, and runs
  // the core's FormCreate. `recordManager` must outlive the window.
  KelmformWindow(startup::StartupValues values, libfile::RecordManager& recordManager);
  ~KelmformWindow() override;
  KelmformWindow(const KelmformWindow&) = delete;
  KelmformWindow& operator=(const KelmformWindow&) = delete;

  // Shows the window and runs the message loop until the window is closed.
  void Run();

  // WindowPort
  void ShowList(std::shared_ptr<const core::tcodelist> list) override;
  [[nodiscard]] int ItemIndex() const override;
  void SetItemIndex(int index) override;
  [[nodiscard]] int TopIndex() const override;
  void SetTopIndex(int index) override;
  [[nodiscard]] int VisibleRows() const override;
  void SetCaption(const std::u16string& text) override;
  [[nodiscard]] std::u16string Caption() const override;
  void SetCaptionToolTip(const std::u16string& text) override;
  void SetListToolTip(const std::u16string& text) override;
  void CopyText(const std::u16string& text) override;
  void Close() override;
  void ReportError(const std::u16string& message) override;
  void ReportUnreadableLibrary(const std::string& line) override;
  void ShowNotice(const std::u16string& text, int row) override;
  void ShowTextWindow(const std::u16string& title, const std::u16string& text) override;
  void ShowChoices(const std::u16string& title, const std::vector<std::u16string>& rows,
                   const std::u16string& emptyText) override;
  void ShowFindWindow() override;
  void ShowFindResults(const std::vector<std::u16string>& rows,
                       const std::u16string& emptyText) override;
  [[nodiscard]] std::string ChooseFile(const std::u16string& title,
                                       const std::u16string& filterName, const std::string& pattern,
                                       const std::string& directory) override;
  [[nodiscard]] bool SearchesInBackground() const override { return true; }
  void WakeForSearchResults() override;
  void AppendFindResults(const std::vector<std::u16string>& rows) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // Fonts, row height and sizes for the resolution `dpi`.
  void ApplyResolution(unsigned dpi);
  // The tool bar across the top, the label inside it, the list below.
  void ArrangeControls();
  void PaintToolBar();
  void SetToolTip(HWND tool, const std::u16string& text);

  HWND m_window = nullptr;
  unsigned m_dpi = 96;
  WindowFonts m_fonts;
  std::unique_ptr<OutlinedLabel> m_label;
  std::unique_ptr<EntryListBox> m_list;
  HWND m_toolTip = nullptr;
  HWND m_notice = nullptr;  // a tool tip placed by the program, for notices
  std::unique_ptr<TextWindow> m_textWindow;
  std::unique_ptr<ChoiceWindow> m_usedWindow;  // where an entry is used
  std::unique_ptr<ChoiceWindow> m_findWindow;
  std::unique_ptr<KelmformCore> m_core;
  bool m_closing = false;
};

}  // namespace viewer::win32
