// The main window's construction, caption line and handlers.
#include "viewer/kelmform.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFrame>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <utility>

#include "btrieve/status_meaning.h"
#include "text/codepage.h"
#include "viewer/caption.h"
#include "viewer/entry_list_view.h"
#include "viewer/outlined_label.h"
#include "viewer/window_placement.h"

namespace viewer {

namespace {

// The window's place and client size; the tool bar's height, the label's place inside it and the
// list's line height.
constexpr QPoint kWindowPosition(229, 106);
constexpr QSize kClientSize(688, 554);
// The frame that makes the window 696 by 581 pixels around that client area.
constexpr QMargins kFrameMargins(4, 23, 4, 4);
constexpr int kToolBarHeight = 32;
constexpr int kLabelLeft = 4;
constexpr int kLabelTop = 4;
constexpr int kLabelHeight = 24;
constexpr int kLabelWidthShortfall = 2;  // 686 of 688
constexpr int kLineHeight = 16;

// "MS Sans Serif" where it is installed, otherwise DejaVu Sans (which the package requires), and
// the system's sans-serif font only when neither is there: named, so that the look does not depend
// on what the font configuration would substitute for the first name.
QFont InterfaceFont(int pixelHeight, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("sans-serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

QString FromCp1252(std::string_view bytes) {
  return QString::fromStdU16String(text::Cp1252ToUtf16(bytes));
}

// A directory as the user knows it: in the file system's encoding, which on POSIX systems is not
// the entries' code page.
QString DisplayPath(const std::string& path) {
#ifdef Q_OS_WIN
  return FromCp1252(path);
#else
  return QFile::decodeName(QByteArray::fromStdString(path));
#endif
}

// Delivers the move and resize events that Qt keeps for a hidden widget until it is shown, so that
// creation can select and scroll in a list that already has its final size.
void DeliverPendingGeometry(QWidget& widget) {
  if (widget.testAttribute(Qt::WA_PendingMoveEvent)) {
    widget.setAttribute(Qt::WA_PendingMoveEvent, false);
    QMoveEvent move(widget.pos(), widget.pos());
    QCoreApplication::sendEvent(&widget, &move);
  }
  if (widget.testAttribute(Qt::WA_PendingResizeEvent)) {
    widget.setAttribute(Qt::WA_PendingResizeEvent, false);
    QResizeEvent resize(widget.size(), QSize());
    QCoreApplication::sendEvent(&widget, &resize);
  }
  for (QObject* child : widget.children()) {
    auto* childWidget = qobject_cast<QWidget*>(child);
    if (childWidget != nullptr && !childWidget->isWindow()) DeliverPendingGeometry(*childWidget);
  }
}

}  // namespace

TKelmform::TKelmform(startup::StartupValues values, libfile::RecordManager& recordManager,
                     ErrorReport errorReport, QWidget* parent)
    : QWidget(parent),
      m_settings(std::move(values.settings)),
      m_recordManager(recordManager),
      m_errorReport(std::move(errorReport)) {
  m_state.CurrentLibrary = values.CurrentLibrary;
  m_state.CurrentEntry = values.CurrentEntry;

  setObjectName(QStringLiteral("Kelmform"));
  setWindowTitle(FromCp1252(kWindowCaption));
  setFont(InterfaceFont(11));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);

  m_toolBar = new QFrame(this);
  m_toolBar->setObjectName(QStringLiteral("ElToolBar1"));
  m_toolBar->setFrameShape(QFrame::Panel);
  m_toolBar->setFrameShadow(QFrame::Raised);
  m_toolBar->setFocusPolicy(Qt::NoFocus);

  m_label = new OutlinedLabel(FromCp1252(kInitialLabelCaption), m_toolBar);
  m_label->setObjectName(QStringLiteral("Label1"));
  m_label->setFont(InterfaceFont(19, true));

  m_list = new EntryListView(kLineHeight, InterfaceFont(11), this);
  m_list->setObjectName(QStringLiteral("ListBox1"));
  m_list->setFont(InterfaceFont(13));
  m_list->setFocusPolicy(Qt::StrongFocus);

  connect(m_list, &EntryListView::click, this, [this] { Guarded([&] { ListBox2Click(m_list); }); });
  connect(m_list, &EntryListView::doubleClick, this,
          [this] { Guarded([&] { ListBox1DblClick(m_list); }); });
  connect(m_list, &EntryListView::keyDown, this, [this](std::uint16_t& key, ShiftState shift) {
    Guarded([&] { ListBox1KeyDown(m_list, key, shift); });
  });
  connect(m_list, &EntryListView::keyUp, this, [this](std::uint16_t& key, ShiftState shift) {
    Guarded([&] { ListBox1KeyUp(m_list, key, shift); });
  });
  connect(m_list, &EntryListView::mouseDown, this,
          [this](MouseButton button, ShiftState shift, QPoint position) {
            Guarded([&] { ListBox1MouseDown(m_list, button, shift, position); });
          });

  PlaceWindow(*this, kWindowPosition, kClientSize, kFrameMargins);
  ArrangeControls();
  DeliverPendingGeometry(*this);
  m_list->setFocus(Qt::OtherFocusReason);

  Guarded([&] { FormCreate(this); });
}

TKelmform::~TKelmform() = default;

template <typename Handler>
void TKelmform::Guarded(Handler&& handler) {
  QString message;
  try {
    handler();
    return;
  } catch (const std::exception& error) {
    message = QString::fromUtf8(error.what());
  } catch (...) {
    message = QStringLiteral("Unknown error");
  }
  try {
    if (m_errorReport) {
      m_errorReport(message);
    } else {
      ShowErrorMessageBox(this, message);
    }
  } catch (...) {
    // The report itself failed; nothing may leave a slot.
  }
}

void TKelmform::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ArrangeControls();
}

void TKelmform::ArrangeControls() {
  const int width = this->width();
  m_toolBar->setGeometry(0, 0, width, kToolBarHeight);
  m_label->setGeometry(kLabelLeft, kLabelTop, std::max(0, width - kLabelWidthShortfall),
                       kLabelHeight);
  m_list->setGeometry(0, kToolBarHeight, width, std::max(0, height() - kToolBarHeight));
}

void TKelmform::SetCaption(const std::string& head) {
  m_label->setText(FromCp1252(head));
  const QString shown = m_label->text();
  m_label->setText(shown + FromCp1252(m_state.LayoutMarker) +
                   DisplayPath(m_settings.Read(startup::kUtilsKey)));
  UpdateToolTips();
}

void TKelmform::UpdateToolTips() {
  // The whole caption, which the label may cut off, after the line about a library that could
  // not be read.
  m_label->setToolTip(m_problem.isEmpty() ? m_label->text()
                                          : m_problem + QLatin1Char('\n') + m_label->text());
  QStringList keys;
  if (m_state.CurrentLibrary == 0) {
    keys << QStringLiteral("Enter or double click: open the library");
  } else {
    keys << QStringLiteral("Enter, double click or Ctrl+C: copy the entry");
    if (m_state.CatalogueLoaded) {
      keys << QStringLiteral(
          "Backspace, Shift+Enter, right or back mouse button: back to the catalogue");
    }
  }
  keys << QStringLiteral("Esc: close");
  m_list->setToolTip(keys.join(QLatin1Char('\n')));
}

void TKelmform::ReportUnreadable(std::uint8_t library) {
  const std::uint16_t status = m_cache->LastLoadStatus();
  std::string_view meaning = btrieve::StatusMeaning(status);
  if (meaning.empty()) meaning = "unknown status";
  const std::string line =
      "kl7view: " + core::LibraryFileName(m_settings.Read(startup::kUtilsKey), library) +
      ": cannot read the library: " + std::string(meaning) + " (status " + std::to_string(status) +
      ")";
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  m_problem = DisplayPath(line);
  UpdateToolTips();
}

const core::tcodelist* TKelmform::CatalogueList() {
  const core::tcodelist* catalogue = m_cache->LibraryLists(0);
  if (catalogue == nullptr) return nullptr;
  // A reference into the catalogue reloads it without its heading; put the heading back.
  if (m_state.CatalogueLoaded && catalogue->Count() > 0 && (*catalogue)[0] != kCatalogueHeading) {
    (void)m_cache->SetText(0, 0, std::string(kCatalogueHeading));
    catalogue = m_cache->LibraryLists(0);
  }
  return catalogue;
}

std::optional<std::string> TKelmform::Name(int library) {
  if (!m_state.CatalogueLoaded) return std::nullopt;
  const core::tcodelist* catalogue = CatalogueList();
  if (catalogue == nullptr || library < 0 ||
      static_cast<std::size_t>(library) >= catalogue->Count()) {
    return std::nullopt;
  }
  return std::string((*catalogue)[static_cast<std::size_t>(library)]);
}

void TKelmform::CentreSelection() {
  const int item = m_list->ItemIndex();
  const int top = m_list->TopIndex();
  m_list->SetTopIndex(top + (item - top) / 2);
}

void TKelmform::FormCreate(QObject*) {
  m_cache =
      std::make_unique<core::LibraryCache>(m_recordManager, m_settings.Read(startup::kUtilsKey));
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
  if (auto shown = m_cache->SharedList(library)) m_list->SetEntries(std::move(shown));
  if (m_state.CurrentEntry > 0) {
    m_list->SetItemIndex(m_state.CurrentEntry);
    CentreSelection();
  }
}

void TKelmform::ListBox2Click(QObject*) {
  const int item = m_list->ItemIndex();
  const std::uint8_t library = m_state.CurrentLibrary;
  if (library != 0) {
    SetCaption(CaptionHead(CaptionOccasion::kLibraryRefresh, Name(library), library, item));
  } else {
    SetCaption(CaptionHead(CaptionOccasion::kCatalogueRefresh, Name(0), 0, item));
  }
}

void TKelmform::ListBox1DblClick(QObject*) {
  if (m_state.CurrentLibrary != 0) {
    // The entry as displayed, resolution and marks included. Its characters all come from
    // Windows-1252, so the clipboard's Unicode text holds exactly the entry's bytes.
    const QString entry = m_list->EntryText(m_list->ItemIndex());
    QGuiApplication::clipboard()->setText(entry);
    return;
  }
  // In the catalogue: line n opens library n. The heading line, no selection and lines beyond the
  // last library number open nothing.
  const int item = m_list->ItemIndex();
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
  if (auto opened = m_cache->SharedList(library)) m_list->SetEntries(std::move(opened));
}

void TKelmform::BackToCatalogue() {
  const std::uint8_t left = m_state.CurrentLibrary;
  if (CatalogueList() == nullptr) {
    // A reference into the catalogue whose reload failed took the catalogue's list away.
    bool is16Bit = false;
    if (!m_cache->LoadLibraryList(0, true, true, is16Bit)) return;
    if (CatalogueList() == nullptr) return;
  }
  m_state.CurrentLibrary = 0;
  m_problem.clear();
  SetCaption(CaptionHead(CaptionOccasion::kBack, Name(0), left, 0));
  m_list->SetEntries(m_cache->SharedList(0));
  m_list->SetItemIndex(left);
  CentreSelection();
}

void TKelmform::ListBox1MouseDown(QObject*, MouseButton button, ShiftState, QPoint) {
  // The back button does what the right button does.
  const bool back = button == MouseButton::kRight || button == MouseButton::kBack;
  if (!m_state.CatalogueLoaded || !back || m_state.CurrentLibrary == 0) return;
  BackToCatalogue();
}

void TKelmform::ListBox1KeyDown(QObject* sender, std::uint16_t& key, ShiftState shift) {
  if (key == kVkEscape) {
    close();
    return;
  }
  if (key == kVkEnter && shift.shift) {
    ListBox1MouseDown(sender, MouseButton::kRight, shift, QPoint());
    key = 0;
  }
  if (key == kVkEnter) {
    ListBox1DblClick(sender);
    return;
  }
  // Beside those: Backspace goes back as the right button does, and Ctrl+C copies inside a library
  // as Enter does (in the catalogue it does nothing).
  if (key == kVkBack) {
    ListBox1MouseDown(sender, MouseButton::kRight, shift, QPoint());
    key = 0;
  } else if (key == kVkC && shift.ctrl && !shift.alt) {
    if (m_state.CurrentLibrary != 0) ListBox1DblClick(sender);
    key = 0;
  }
}

void TKelmform::ListBox1KeyUp(QObject* sender, std::uint16_t& key, ShiftState) {
  if (key == kVkPageUp || key == kVkPageDown || key == kVkEnd || key == kVkHome) {
    ListBox2Click(sender);
  }
}

}  // namespace viewer
