// The main window's construction and layout, and the port through which the core drives it.
#include "viewer/qt/kelmform.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QMoveEvent>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <cstdio>
#include <utility>

#include "viewer/core/caption.h"
#include "viewer/core/layout.h"
#include "viewer/qt/choice_window.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/outlined_label.h"
#include "viewer/qt/window_placement.h"

namespace viewer {

namespace {

QRect ToQRect(const Rect& rect) {
  return {rect.left, rect.top, rect.width, rect.height};
}

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
  return QString::fromStdU16String(ShownText(bytes));
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
    : QWidget(parent), m_errorReport(std::move(errorReport)) {
  setObjectName(QStringLiteral("Kelmform"));
  setWindowTitle(FromCp1252(kWindowCaption));
  setFont(InterfaceFont(kWindowFontHeight));
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
  m_label->setFont(InterfaceFont(kLabelFontHeight, true));

  m_list = new EntryListView(kRowHeight, InterfaceFont(kSelectedRowFontHeight), this);
  m_list->setObjectName(QStringLiteral("ListBox1"));
  m_list->setFont(InterfaceFont(kListFontHeight));
  m_list->setFocusPolicy(Qt::StrongFocus);

  m_core = std::make_unique<KelmformCore>(std::move(values), recordManager,
                                          static_cast<WindowPort&>(*this));
  KelmformCore* core = m_core.get();
  // A caption too long for the label is drawn with its directory part shortened, as the core
  // decides.
  m_label->SetElision([core](const QString& text, const std::function<bool(const QString&)>& fits) {
    const std::u16string caption = text.toStdU16String();
    return QString::fromStdU16String(ElidedCaption(
        caption, core->CaptionDirectoryLength(caption), [&](std::u16string_view candidate) {
          return fits(
              QString::fromUtf16(candidate.data(), static_cast<qsizetype>(candidate.size())));
        }));
  });
  connect(m_list, &EntryListView::keyDown, this,
          [core](std::uint16_t key, ShiftState shift) { core->OnKeyDown(key, shift); });
  connect(m_list, &EntryListView::keyUp, this,
          [core](std::uint16_t key, ShiftState shift) { core->OnKeyUp(key, shift); });
  connect(m_list, &EntryListView::character, this,
          [core](char16_t character, ShiftState shift, std::uint32_t time) {
            core->OnCharacter(character, shift, time);
          });
  connect(m_list, &EntryListView::mouseDown, this,
          [core](MouseButton button, ShiftState shift, int row) {
            core->OnMouseDown(button, shift, row);
          });
  connect(m_list, &EntryListView::doubleClick, this,
          [core](MouseButton button, ShiftState shift, int row) {
            core->OnDoubleClick(button, shift, row);
          });
  connect(m_list, &EntryListView::mouseMove, this, [core](int row) { core->OnMouseMove(row); });
  connect(m_list, &EntryListView::mouseUp, this,
          [core](MouseButton button) { core->OnMouseUp(button); });

  PlaceWindow(*this, QPoint(kWindowLeft, kWindowTop), QSize(kClientWidth, kClientHeight),
              QMargins(kFrameLeft, kFrameTop, kFrameRight, kFrameBottom));
  ArrangeControls();
  DeliverPendingGeometry(*this);
  m_list->setFocus(Qt::OtherFocusReason);

  m_core->Create();

  // The core looks after the view's files twice a second.
  auto* ticker = new QTimer(this);
  connect(ticker, &QTimer::timeout, this, [core] {
    core->OnTick(static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch()));
  });
  ticker->start(500);
}

TKelmform::~TKelmform() = default;

void TKelmform::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ArrangeControls();
}

void TKelmform::ArrangeControls() {
  const ControlPlaces places = PlaceControls(width(), height());
  m_toolBar->setGeometry(ToQRect(places.toolBar));
  m_label->setGeometry(ToQRect(places.label));
  m_list->setGeometry(ToQRect(places.list));
}

void TKelmform::ShowList(std::shared_ptr<const core::tcodelist> list) {
  if (list == nullptr) {
    m_list->ClearEntries();
  } else {
    m_list->SetEntries(std::move(list));
  }
}

int TKelmform::ItemIndex() const {
  return m_list->ItemIndex();
}

void TKelmform::SetItemIndex(int index) {
  m_list->SetItemIndex(index);
}

int TKelmform::TopIndex() const {
  return m_list->TopIndex();
}

void TKelmform::SetTopIndex(int index) {
  m_list->SetTopIndex(index);
}

int TKelmform::VisibleRows() const {
  return m_list->VisibleLines();
}

void TKelmform::SetCaption(const std::u16string& text) {
  m_label->setText(QString::fromStdU16String(text));
}

std::u16string TKelmform::Caption() const {
  return m_label->text().toStdU16String();
}

void TKelmform::SetCaptionToolTip(const std::u16string& text) {
  m_label->setToolTip(QString::fromStdU16String(text));
}

void TKelmform::SetListToolTip(const std::u16string& text) {
  m_list->setToolTip(QString::fromStdU16String(text));
}

void TKelmform::CopyText(const std::u16string& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QString::fromStdU16String(text));
  // On X11 a copy is also the PRIMARY selection, for a middle-button paste.
  if (clipboard->supportsSelection()) {
    clipboard->setText(QString::fromStdU16String(text), QClipboard::Selection);
  }
}

void TKelmform::Close() {
  close();
}

void TKelmform::ReportError(const std::u16string& message) {
  const QString text = QString::fromStdU16String(message);
  if (m_errorReport) {
    m_errorReport(text);
  } else {
    ShowErrorMessageBox(this, text);
  }
}

void TKelmform::ReportUnreadableLibrary(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void TKelmform::ShowNotice(const std::u16string& text, int row) {
  QRect place(0, 0, m_list->viewport()->width(), kRowHeight);
  if (row >= 0 && row < m_list->Count()) {
    const QRect rowRect = m_list->visualRect(m_list->model()->index(row, 0));
    if (m_list->viewport()->rect().intersects(rowRect)) place = rowRect;
  }
  const QPoint at =
      m_list->viewport()->mapToGlobal(QPoint(place.left() + 2 * kRowHeight, place.bottom() + 1));
  QToolTip::showText(at, QString::fromStdU16String(text), m_list->viewport(), QRect(), 1500);
}

void TKelmform::ShowTextWindow(const std::u16string& title, const std::u16string& text) {
  if (m_textWindow == nullptr) {
    m_textWindow = new QWidget(this, Qt::Window);
    m_textWindow->setObjectName(QStringLiteral("TextWindow"));
    m_textWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(m_textWindow);
    auto* view = new QPlainTextEdit(m_textWindow);
    view->setReadOnly(true);
    view->setObjectName(QStringLiteral("Text"));
    layout->addWidget(view);
    m_textWindow->resize(560, 420);
  }
  m_textWindow->setWindowTitle(QString::fromStdU16String(title));
  m_textWindow->findChild<QPlainTextEdit*>()->setPlainText(QString::fromStdU16String(text));
  m_textWindow->show();
  m_textWindow->raise();
  m_textWindow->activateWindow();
}

namespace {

QStringList ToQStrings(const std::vector<std::u16string>& rows) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(rows.size()));
  for (const std::u16string& row : rows)
    list << QString::fromStdU16String(row);
  return list;
}

}  // namespace

void TKelmform::ChoiceMade(ChoiceWindow& window, int row) {
  window.close();
  activateWindow();
  m_list->setFocus(Qt::OtherFocusReason);
  if (&window == m_findWindow) {
    m_core->OnFindChoice(row);
  } else {
    m_core->OnChoice(row);
  }
}

void TKelmform::ShowChoices(const std::u16string& title, const std::vector<std::u16string>& rows,
                            const std::u16string& emptyText) {
  if (m_usedWindow == nullptr) {
    m_usedWindow = new ChoiceWindow(QString::fromStdU16String(title), false, this);
    m_usedWindow->setObjectName(QStringLiteral("UsedWindow"));
    connect(m_usedWindow, &ChoiceWindow::chosen, this,
            [this](int row) { ChoiceMade(*m_usedWindow, row); });
  }
  m_usedWindow->setWindowTitle(QString::fromStdU16String(title));
  m_usedWindow->Open();
  m_usedWindow->ShowRows(ToQStrings(rows), QString::fromStdU16String(emptyText));
}

void TKelmform::ShowFindWindow() {
  if (m_findWindow == nullptr) {
    m_findWindow = new ChoiceWindow(QStringLiteral("Suchen"), true, this);
    m_findWindow->setObjectName(QStringLiteral("FindWindow"));
    connect(m_findWindow, &ChoiceWindow::chosen, this,
            [this](int row) { ChoiceMade(*m_findWindow, row); });
    connect(m_findWindow, &ChoiceWindow::searched, this,
            [this](const QString& text) { m_core->OnFind(text.toStdU16String()); });
    connect(m_findWindow, &ChoiceWindow::closed, this, [this] { m_core->OnFindClosed(); });
  }
  m_findWindow->Open();
}

void TKelmform::ShowFindResults(const std::vector<std::u16string>& rows,
                                const std::u16string& emptyText) {
  if (m_findWindow != nullptr) {
    m_findWindow->ShowRows(ToQStrings(rows), QString::fromStdU16String(emptyText));
  }
}

std::string TKelmform::ChooseFile(const std::u16string& title, const std::u16string& filterName,
                                  const std::string& pattern, const std::string& directory) {
  // Qt's own dialog, the same on every desktop; its name filter ignores letter case.
  QFileDialog dialog(this, QString::fromStdU16String(title), QFile::decodeName(directory.c_str()),
                     QString::fromStdU16String(filterName) + QStringLiteral(" (") +
                         QString::fromStdString(pattern) + QStringLiteral(")"));
  dialog.setObjectName(QStringLiteral("OpenDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::ReadOnly);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QByteArray path = QFile::encodeName(dialog.selectedFiles().constFirst());
  return {path.constData(), static_cast<std::size_t>(path.size())};
}

void TKelmform::WakeForSearchResults() {
  // On the search's thread: the core is called on the window's. The core ends the search before
  // the window goes, and Qt drops the calls still queued for a window that is gone.
  QMetaObject::invokeMethod(
      this, [this] { m_core->OnSearchResults(); }, Qt::QueuedConnection);
}

void TKelmform::AppendFindResults(const std::vector<std::u16string>& rows) {
  if (m_findWindow != nullptr) m_findWindow->AppendRows(ToQStrings(rows));
}

}  // namespace viewer
