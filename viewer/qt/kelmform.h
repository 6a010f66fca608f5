// TKelmform, the main window in Qt: a caption line above the list of one library (or of the
// catalogue, library 0). The window core decides everything; this window lays out and draws the
// controls, passes the user's input on to the core and carries out the core's requests (the port).
#pragma once

#include <QWidget>
#include <memory>

#include "libfile/record_manager.h"
#include "startup/startup_sequence.h"
#include "viewer/core/kelmform_core.h"
#include "viewer/core/window_port.h"
#include "viewer/core/window_state.h"
#include "viewer/qt/error_report.h"

class QFrame;

namespace viewer {

class ChoiceWindow;
class EntryListView;
class OutlinedLabel;

class TKelmform final : public QWidget, private WindowPort {
  Q_OBJECT

 public:
  // Creates the window and runs FormCreate: the library cache (over `recordManager`, which must
  // outlive the window, and the "UTILS" value of `values.settings`) loads the catalogue and the
  // library `values.CurrentLibrary`, and the list shows that library with `values.CurrentEntry`
  // selected. `errorReport` receives the text of any error that ends a handler; empty shows a
  // message box. The window is not shown.
  TKelmform(startup::StartupValues values, libfile::RecordManager& recordManager,
            ErrorReport errorReport = {}, QWidget* parent = nullptr);
  ~TKelmform() override;

  [[nodiscard]] const WindowState& State() const { return m_core->State(); }
  [[nodiscard]] KelmformCore& Core() { return *m_core; }
  [[nodiscard]] EntryListView& ListBox1() { return *m_list; }
  [[nodiscard]] OutlinedLabel& Label1() { return *m_label; }
  // The windows of where-used and find; null until first opened.
  [[nodiscard]] ChoiceWindow* UsedWindow() { return m_usedWindow; }
  [[nodiscard]] ChoiceWindow* FindWindow() { return m_findWindow; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The tool bar across the top, the label inside it, the list below.
  void ArrangeControls();

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
  // The choice window `window` is done with: closed, and the focus back in the list.
  void ChoiceMade(ChoiceWindow& window, int row);

  ErrorReport m_errorReport;
  QFrame* m_toolBar = nullptr;
  OutlinedLabel* m_label = nullptr;
  EntryListView* m_list = nullptr;
  QWidget* m_textWindow = nullptr;       // the key list's window, once opened
  ChoiceWindow* m_usedWindow = nullptr;  // "Verwendet in", once opened
  ChoiceWindow* m_findWindow = nullptr;  // "Suchen", once opened
  std::unique_ptr<KelmformCore> m_core;
};

}  // namespace viewer
