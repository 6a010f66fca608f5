// TKelmform, the main window: a caption line above the list of one library (or of the catalogue,
// library 0), and the handlers that move between the catalogue and the libraries, copy entries to
// the clipboard and close the program.
#pragma once

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "startup/startup_sequence.h"
#include "viewer/error_report.h"
#include "viewer/virtual_keys.h"
#include "viewer/window_state.h"

class QFrame;

namespace viewer {

class EntryListView;
class OutlinedLabel;

class TKelmform final : public QWidget {
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

  [[nodiscard]] const WindowState& State() const { return m_state; }
  [[nodiscard]] EntryListView& ListBox1() { return *m_list; }
  [[nodiscard]] OutlinedLabel& Label1() { return *m_label; }

  // The handlers, wired to the window's creation and the list's events. Each may throw (reading
  // the entry at item index -1); the wiring hands the error to the error report.
  void FormCreate(QObject* sender);
  void ListBox2Click(QObject* sender);
  void ListBox1DblClick(QObject* sender);
  void ListBox1KeyDown(QObject* sender, std::uint16_t& key, ShiftState shift);
  void ListBox1KeyUp(QObject* sender, std::uint16_t& key, ShiftState shift);
  void ListBox1MouseDown(QObject* sender, MouseButton button, ShiftState shift, QPoint position);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Runs `handler`; an error it raises goes to the error report and no further.
  template <typename Handler>
  void Guarded(Handler&& handler);

  // The tool bar across the top, the label inside it, the list below.
  void ArrangeControls();
  // Sets the label to `head` (8-bit text), then appends the layout marker and the "UTILS" value.
  void SetCaption(const std::string& head);
  // The label's tool tip (the line about an unreadable library, then the whole caption) and the
  // list's (the keys of the current view).
  void UpdateToolTips();
  // Names the library file that the last load could not read, with the status and its meaning: one
  // line on stderr, and the same line at the head of the label's tool tip until the view changes.
  void ReportUnreadable(std::uint8_t library);
  // The catalogue's list with its first line reading "Bibliotheksnamen"; null when the cache holds
  // no catalogue. Valid until the next load or the next call.
  const core::tcodelist* CatalogueList();
  // The catalogue's line `library`, or nothing when the catalogue did not load at creation or has
  // no such line.
  std::optional<std::string> Name(int library);
  // Moves the top index half the way towards the selected entry.
  void CentreSelection();
  // The right button's way from a library back to the catalogue.
  void BackToCatalogue();

  startup::Settings m_settings;
  libfile::RecordManager& m_recordManager;
  ErrorReport m_errorReport;
  WindowState m_state;
  std::unique_ptr<core::LibraryCache> m_cache;
  QString m_problem;  // the line about the library that could not be read; empty when none

  QFrame* m_toolBar = nullptr;
  OutlinedLabel* m_label = nullptr;
  EntryListView* m_list = nullptr;
};

}  // namespace viewer
