// The Qt window's wiring on a writer-built utilities directory, driven through the list's viewport
// and keyboard as a user would drive it: Qt's keys, buttons, drags, focus, clipboard, tool tips,
// layout and scrolling reach the core and show its results. What the core decides is tested
// without a widget in tests/viewer_core.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "libfile/record_manager.h"
#include "library_set.h"
#include "viewer/core/caption.h"
#include "viewer/qt/choice_window.h"
#include "viewer/qt/entry_delegate.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/entry_model.h"
#include "viewer/qt/kelmform.h"
#include "viewer/qt/outlined_label.h"

using viewer::ChoiceWindow;
using viewer::EntryListView;
using viewer::TKelmform;
using viewer::testing::LibrarySet;

namespace {

constexpr int kLineHeight = 16;

const QString kCurrentMarker = QStringLiteral("  -  ");
const QString kOlderMarker = QStringLiteral(" -(16Bit) ");

struct KeyStroke {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};

KeyStroke KeyOf(const QString& name) {
  if (name == "Down") return {Qt::Key_Down, {}};
  if (name == "Up") return {Qt::Key_Up, {}};
  if (name == "Left") return {Qt::Key_Left, {}};
  if (name == "Right") return {Qt::Key_Right, {}};
  if (name == "PgDn") return {Qt::Key_PageDown, {}};
  if (name == "PgUp") return {Qt::Key_PageUp, {}};
  if (name == "Home") return {Qt::Key_Home, {}};
  if (name == "End") return {Qt::Key_End, {}};
  if (name == "Enter") return {Qt::Key_Return, {}};
  if (name == "KeypadEnter") return {Qt::Key_Enter, Qt::KeypadModifier};
  if (name == "ShiftEnter") return {Qt::Key_Return, Qt::ShiftModifier};
  if (name == "ShiftKeypadEnter") return {Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier};
  if (name == "CtrlShiftEnter") return {Qt::Key_Return, Qt::ShiftModifier | Qt::ControlModifier};
  if (name == "Esc") return {Qt::Key_Escape, {}};
  if (name == "Space") return {Qt::Key_Space, {}};
  if (name == "CtrlSpace") return {Qt::Key_Space, Qt::ControlModifier};
  if (name == "CtrlC") return {Qt::Key_C, Qt::ControlModifier};
  if (name == "Backspace") return {Qt::Key_Backspace, {}};
  if (name == "F1") return {Qt::Key_F1, {}};
  if (name == "F5") return {Qt::Key_F5, {}};
  if (name == "F12") return {Qt::Key_F12, {}};
  if (name == "ShiftF12") return {Qt::Key_F12, Qt::ShiftModifier};
  if (name == "AltLeft") return {Qt::Key_Left, Qt::AltModifier};
  if (name == "AltRight") return {Qt::Key_Right, Qt::AltModifier};
  if (name == "CtrlW") return {Qt::Key_W, Qt::ControlModifier};
  if (name == "CtrlQ") return {Qt::Key_Q, Qt::ControlModifier};
  qFatal("unknown key %s", qPrintable(name));
}

// The middle of line `line` in the viewport.
QPoint LinePoint(EntryListView& list, int line) {
  return {20, (line - list.TopIndex()) * kLineHeight + kLineHeight / 2};
}

// Plays a script of user input: cN, dN, rN, mN, bN, ^cN click, double-click (a press first, as a
// real double click has one), right-click, middle-click, back-button click, Ctrl+click on line N;
// =text types the text; a key name presses and releases that key; ^Name releases it only.
void Perform(EntryListView& list, const QString& script) {
  for (const QString& token : script.split(' ', Qt::SkipEmptyParts)) {
    QString action = token;
    Qt::KeyboardModifiers modifiers;
    if (action.startsWith('^') && action.size() > 2 && action.at(2).isDigit()) {
      modifiers = Qt::ControlModifier;
      action = action.mid(1);
    }
    if (action.startsWith('=')) {
      QTest::keyClicks(&list, action.mid(1));
      continue;
    }
    if (action.size() > 1 && action.at(1).isDigit() &&
        QStringLiteral("cdrmb").contains(action[0])) {
      const QPoint at = LinePoint(list, action.mid(1).toInt());
      QWidget* viewport = list.viewport();
      switch (action.at(0).toLatin1()) {
        case 'c':
          QTest::mouseClick(viewport, Qt::LeftButton, modifiers, at);
          break;
        case 'd':
          QTest::mouseClick(viewport, Qt::LeftButton, modifiers, at);
          QTest::mouseDClick(viewport, Qt::LeftButton, modifiers, at);
          break;
        case 'r':
          QTest::mouseClick(viewport, Qt::RightButton, modifiers, at);
          break;
        case 'b':
          QTest::mouseClick(viewport, Qt::BackButton, modifiers, at);
          break;
        default:
          QTest::mouseClick(viewport, Qt::MiddleButton, modifiers, at);
          break;
      }
      continue;
    }
    if (action.startsWith('^')) {
      const KeyStroke stroke = KeyOf(action.mid(1));
      QTest::keyRelease(&list, stroke.key, stroke.modifiers);
      continue;
    }
    const KeyStroke stroke = KeyOf(action);
    QTest::keyClick(&list, stroke.key, stroke.modifiers);
  }
}

// Where the top index ends after selecting `item` from the top `top` and centring, in a list of
// `count` lines: like a list box, the list never scrolls beyond its last page.
int CentredTop(int item, int top, int visibleLines, int count) {
  const int scrolled = item < top ? item : std::max(top, item - visibleLines + 1);
  return std::min(scrolled + (item - scrolled) / 2, std::max(0, count - visibleLines));
}

}  // namespace

class KelmformTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void captions_data();
  void captions();
  void layout();
  void openFromCatalogue_data();
  void openFromCatalogue();
  void wayBack_data();
  void wayBack();
  void copy_data();
  void copy();
  void copyWithNothingSelectedReportsError();
  void escCloses_data();
  void escCloses();
  void pageKeysRefreshOnKeyUp();
  void selectionChangesOnlyByLeftButtonAndKeys();
  void dragReportsOneClickOnRelease();
  void focusMakesNoLineCurrent();
  void horizontalScrollCoversLongestEntry_data();
  void horizontalScrollCoversLongestEntry();
  void keyListWindow();
  void reload();
  void whereUsedWindow();
  void findWindow();
  void toolTips_data();
  void toolTips();

 private:
  // Creates and shows the window on `library` with `entry` selected.
  void Open(int library, int entry);
  [[nodiscard]] EntryListView& List() { return m_window->ListBox1(); }
  [[nodiscard]] QString Caption() { return m_window->Label1().text(); }
  [[nodiscard]] QString Full(const QString& head, const QString& marker) const {
    return head + marker + m_set->UtilsShown();
  }

  std::unique_ptr<LibrarySet> m_set;
  libfile::NativeRecordManager m_recordManager;
  QStringList m_errors;
  std::unique_ptr<TKelmform> m_window;
};

void KelmformTest::init() {
  m_set = std::make_unique<LibrarySet>();
  m_errors.clear();
  QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
}

void KelmformTest::cleanup() {
  m_window.reset();
  m_set.reset();
}

void KelmformTest::Open(int library, int entry) {
  startup::StartupValues values;
  values.settings.Write(startup::kUtilsKey, m_set->Utils());
  values.CurrentLibrary = static_cast<std::uint8_t>(library);
  values.CurrentEntry = entry;
  m_window = std::make_unique<TKelmform>(std::move(values), m_recordManager,
                                         [this](const QString& message) { m_errors << message; });
  m_window->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void KelmformTest::captions_data() {
  QTest::addColumn<bool>("catalogue");
  QTest::addColumn<int>("library");
  QTest::addColumn<int>("entry");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("head");
  QTest::addColumn<QString>("marker");

  const QString cur = kCurrentMarker;
  QTest::newRow("click in a library") << true << 26 << 0 << "c5"
                                      << "Farben  $1A LIB[26,5]" << cur;
  QTest::newRow("Right and Left") << true << 26 << 2 << "Right Right Left"
                                  << "Farben  $1A LIB[26,3]" << cur;
  QTest::newRow("End") << true << 26 << 0 << "End"
                       << "Farben  $1A LIB[26,100]" << cur;
  QTest::newRow("click in the catalogue") << true << 0 << 0 << "c26"
                                          << "Bibliotheksnamen  KL71A  LIB[0,26]" << cur;
  QTest::newRow("catalogue refresh with nothing selected")
      << true << 0 << 0 << "^Home"
      << "Bibliotheksnamen  KL7FFFFFFFF  LIB[0,-1]" << cur;
  QTest::newRow("opened by the keypad's Enter") << true << 0 << 0 << "c26 KeypadEnter"
                                                << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("opened by double click") << true << 0 << 0 << "d26"
                                          << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("back by the right button") << true << 26 << 5 << "r2"
                                            << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("back by Shift+Enter") << true << 26 << 5 << "ShiftEnter"
                                       << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("middle button in a library") << true << 26 << 0 << "c5 m9"
                                              << "Farben  $1A LIB[26,5]" << cur;
  QTest::newRow("a typed letter in the catalogue") << true << 0 << 0 << "=F"
                                                   << "Bibliotheksnamen  KL707  LIB[0,7]" << cur;
  QTest::newRow("typed letters, then Enter") << true << 0 << 0 << "=fa Enter"
                                             << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("back by Backspace") << true << 26 << 5 << "Backspace"
                                     << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("back by the back button") << true << 26 << 5 << "b2"
                                           << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("F12 follows a reference") << true << 26 << 0 << "c3 F12"
                                           << "Drei  $03 LIB[3,2]" << cur;
  QTest::newRow("Alt+Left goes back") << true << 26 << 0 << "c3 F12 AltLeft"
                                      << "Farben  $1A LIB[26,3]" << cur;
  QTest::newRow("Ctrl+C in the catalogue") << true << 0 << 0 << "c5 CtrlC"
                                           << "Bibliotheksnamen  KL705  LIB[0,5]" << cur;
}

void KelmformTest::captions() {
  QFETCH(bool, catalogue);
  QFETCH(int, library);
  QFETCH(int, entry);
  QFETCH(QString, input);
  QFETCH(QString, head);
  QFETCH(QString, marker);
  if (!catalogue) std::filesystem::remove(m_set->FileOf(0));
  Open(library, entry);
  Perform(List(), input);
  QCOMPARE(Caption(), Full(head, marker));
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::layout() {
  Open(0, 0);
  QCOMPARE(m_window->objectName(), QStringLiteral("Kelmform"));
  QCOMPARE(m_window->windowTitle(), QStringLiteral("Bibliotheken 32 Bit-Version"));
  QCOMPARE(m_window->size(), QSize(688, 554));
  auto* toolBar = m_window->findChild<QWidget*>(QStringLiteral("ElToolBar1"));
  QVERIFY(toolBar != nullptr);
  QCOMPARE(toolBar->geometry(), QRect(0, 0, 688, 32));
  QCOMPARE(m_window->Label1().objectName(), QStringLiteral("Label1"));
  QCOMPARE(m_window->Label1().parentWidget(), toolBar);
  QCOMPARE(m_window->Label1().geometry(), QRect(4, 4, 686, 24));
  QCOMPARE(m_window->Label1().font().pixelSize(), 19);
  QVERIFY(m_window->Label1().font().bold());
  QCOMPARE(List().objectName(), QStringLiteral("ListBox1"));
  QCOMPARE(List().geometry(), QRect(0, 32, 688, 522));
  QCOMPARE(List().font().pixelSize(), 13);
  // Without "MS Sans Serif" every font is DejaVu Sans, whatever the system would substitute.
  if (!QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) {
    for (const QFont& font : {m_window->font(), m_window->Label1().font(), List().font()}) {
      QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    }
  }
  QCOMPARE(List().visualRect(List().model()->index(1, 0)).height(), kLineHeight);
  QCOMPARE(List().verticalScrollBar()->sizeHint().width(), 16);

  // The alignments hold when the window is resized.
  m_window->resize(900, 700);
  QCOMPARE(toolBar->geometry(), QRect(0, 0, 900, 32));
  QCOMPARE(List().geometry(), QRect(0, 32, 900, 668));
}

void KelmformTest::openFromCatalogue_data() {
  QTest::addColumn<QString>("input");
  QTest::newRow("the keypad's Enter") << "c26 KeypadEnter";
  QTest::newRow("double click") << "d26";
}

void KelmformTest::openFromCatalogue() {
  QFETCH(QString, input);
  Open(0, 26);
  Perform(List(), input);
  QCOMPARE(m_window->State().CurrentLibrary, 26);
  QCOMPARE(List().Count(), 101);
  QCOMPARE(List().ItemIndex(), -1);
  QCOMPARE(List().TopIndex(), 0);
  const QStringList expected = {"*",
                                "Rot",
                                QString::fromUtf8("Grün"),
                                QString::fromUtf8("LIB[3,2] ---> Drei zwei"),
                                QString::fromUtf8("€ „Zoll“ – x"),
                                "-######-",
                                "-###LIB[3,99]###-",
                                "Farbe 7"};
  for (int line = 0; line < expected.size(); ++line) {
    QCOMPARE(List().EntryText(line), expected[line]);
  }
  // Opening is the only action: nothing was copied on the way.
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::wayBack_data() {
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::newRow("Shift and the keypad's Enter") << 26 << "ShiftKeypadEnter";
  QTest::newRow("Ctrl+Shift+Enter") << 26 << "CtrlShiftEnter";
  QTest::newRow("right double click") << 26 << "r3 r3";
  QTest::newRow("back button") << 26 << "b3";
}

void KelmformTest::wayBack() {
  QFETCH(int, library);
  QFETCH(QString, input);
  Open(library, 2);
  const int visibleLines = List().VisibleLines();
  Perform(List(), input);
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QCOMPARE(List().Count(), 61);
  QCOMPARE(List().EntryText(0), QStringLiteral("Bibliotheksnamen"));
  // The line of the library just left is selected and centred; a line the catalogue lacks leaves
  // nothing selected.
  const int selected = library < List().Count() ? library : -1;
  QCOMPARE(List().ItemIndex(), selected);
  QCOMPARE(List().TopIndex(),
           selected < 0 ? 0 : CentredTop(selected, 0, visibleLines, List().Count()));
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::copy_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("copied");
  QTest::newRow("umlaut by double click") << "d2" << QString::fromUtf8("Grün");
  QTest::newRow("resolved reference keeps its resolution")
      << "c3 KeypadEnter" << QString::fromUtf8("LIB[3,2] ---> Drei zwei");
  QTest::newRow("Windows-1252 punctuation") << "c4 Enter" << QString::fromUtf8("€ „Zoll“ – x");
  QTest::newRow("moved by a typed letter") << "=g Enter" << QString::fromUtf8("Grün");
  QTest::newRow("Ctrl+C") << "c1 CtrlC"
                          << "Rot";
}

void KelmformTest::copy() {
  QFETCH(QString, input);
  QFETCH(QString, copied);
  Open(26, 0);
  const int count = List().Count();
  Perform(List(), input);
  QCOMPARE(QGuiApplication::clipboard()->text(), copied);
  // A notice beside the row says so, and takes no focus.
  QCOMPARE(QToolTip::text(), QStringLiteral("kopiert"));
  QVERIFY(List().hasFocus() || !QGuiApplication::focusWindow());
  QCOMPARE(m_window->State().CurrentLibrary, 26);
  QCOMPARE(List().Count(), count);
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::copyWithNothingSelectedReportsError() {
  Open(26, 0);
  Perform(List(), "Enter");
  QCOMPARE(m_errors, QStringList{"List index out of bounds (-1)"});
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
  // A double click acts on the item index, not on the line under the pointer.
  QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, LinePoint(List(), 2));
  QCOMPARE(m_errors.size(), 2);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
  // The program carries on.
  Perform(List(), "c2 Enter");
  QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf8("Grün"));
  QCOMPARE(m_errors.size(), 2);
  QVERIFY(m_window->isVisible());
}

void KelmformTest::escCloses_data() {
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::newRow("from a library") << 26 << "c3";
}

void KelmformTest::escCloses() {
  QFETCH(int, library);
  QFETCH(QString, input);
  for (const QString key : {"Esc", "CtrlW", "CtrlQ"}) {
    Open(library, 0);
    Perform(List(), input);
    QVERIFY(m_window->isVisible());
    Perform(List(), key);
    QVERIFY(!m_window->isVisible());
    QVERIFY(m_errors.isEmpty());
  }
}

void KelmformTest::pageKeysRefreshOnKeyUp() {
  Open(26, 0);
  const int lines = List().VisibleLines();
  const QString start = Caption();
  const auto refreshed = [&](int entry) {
    return Full("Farben  $1A LIB[26," + QString::number(entry) + "]", kCurrentMarker);
  };

  QTest::keyPress(&List(), Qt::Key_PageDown);
  QCOMPARE(List().ItemIndex(), lines - 1);
  QCOMPARE(Caption(), start);
  QTest::keyRelease(&List(), Qt::Key_PageDown);
  QCOMPARE(Caption(), refreshed(lines - 1));

  QTest::keyPress(&List(), Qt::Key_PageDown);
  QCOMPARE(List().ItemIndex(), 2 * (lines - 1));
  QTest::keyRelease(&List(), Qt::Key_PageDown);
  QCOMPARE(Caption(), refreshed(2 * (lines - 1)));

  QTest::keyPress(&List(), Qt::Key_PageUp);
  const int top = List().TopIndex();
  QCOMPARE(List().ItemIndex(), top);
  QTest::keyRelease(&List(), Qt::Key_PageUp);
  QCOMPARE(Caption(), refreshed(top));

  QTest::keyPress(&List(), Qt::Key_End);
  QCOMPARE(Caption(), refreshed(top));
  QTest::keyRelease(&List(), Qt::Key_End);
  QCOMPARE(Caption(), refreshed(100));
  QCOMPARE(List().TopIndex(), 101 - lines);
}

void KelmformTest::selectionChangesOnlyByLeftButtonAndKeys() {
  Open(0, 0);
  Perform(List(), "c5");
  const QString caption = Caption();
  Perform(List(), "r9 m9 b9 ^c5 CtrlSpace Space CtrlC");
  QCOMPARE(List().ItemIndex(), 5);
  QCOMPARE(Caption(), caption);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
  // A click below the last line chooses the last line, as in a list box.
  Perform(List(), "c3 Enter");
  QTest::mouseClick(List().viewport(), Qt::LeftButton, {},
                    QPoint(20, List().viewport()->height() - 2));
  QCOMPARE(List().ItemIndex(), 3);
  QCOMPARE(Caption(), Full("Drei  $03 LIB[3,3]", kCurrentMarker));
  // Ctrl+C copies the entry as Enter does.
  QTest::keyClick(&List(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Drei drei"));
}

void KelmformTest::dragReportsOneClickOnRelease() {
  Open(0, 0);
  QWidget* viewport = List().viewport();
  QTest::mousePress(viewport, Qt::LeftButton, {}, LinePoint(List(), 3));
  QCOMPARE(Caption(), Full("Bibliotheksnamen  KL703  LIB[0,3]", kCurrentMarker));
  QTest::mouseMove(viewport, LinePoint(List(), 6));
  QCOMPARE(List().ItemIndex(), 6);
  QCOMPARE(Caption(), Full("Bibliotheksnamen  KL703  LIB[0,3]", kCurrentMarker));
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, LinePoint(List(), 6));
  QCOMPARE(Caption(), Full("Bibliotheksnamen  KL706  LIB[0,6]", kCurrentMarker));
  QCOMPARE(m_window->State().CurrentLibrary, 0);
}

void KelmformTest::focusMakesNoLineCurrent() {
  Open(0, 0);
  m_window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
  QVERIFY(List().hasFocus());
  QCOMPARE(List().ItemIndex(), -1);
  QVERIFY(!List().currentIndex().isValid());
  QTest::keyClick(&List(), Qt::Key_Down);
  QCOMPARE(List().ItemIndex(), 0);
}

void KelmformTest::horizontalScrollCoversLongestEntry_data() {
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::newRow("at creation") << 4 << "";
  QTest::newRow("opened from the catalogue") << 0 << "c4 Enter";
  QTest::newRow("opened after the way back") << 4 << "r1 c4 Enter";
}

void KelmformTest::horizontalScrollCoversLongestEntry() {
  QFETCH(int, library);
  QFETCH(QString, input);
  Open(library, 0);
  Perform(List(), input);
  QCOMPARE(m_window->State().CurrentLibrary, 4);
  const QFontMetrics metrics(List().font());
  const int widest = metrics.horizontalAdvance(List().EntryText(2));
  QVERIFY(widest > List().viewport()->width());
  QTRY_VERIFY(List().horizontalScrollBar()->isVisible());
  QVERIFY(List().horizontalScrollBar()->maximum() + List().viewport()->width() >= widest);
  // Back in the narrow catalogue the scroll bar goes.
  Perform(List(), "r1");
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QTRY_VERIFY(!List().horizontalScrollBar()->isVisible());
}

void KelmformTest::keyListWindow() {
  Open(26, 3);
  Perform(List(), "F1");
  auto* window = m_window->findChild<QWidget*>(QStringLiteral("TextWindow"));
  QVERIFY(window != nullptr);
  QVERIFY(window->isVisible());
  QCOMPARE(window->windowTitle(), QStringLiteral("Tasten"));
  QVERIFY(window->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("F12")));
  QCOMPARE(List().ItemIndex(), 3);
}

void KelmformTest::reload() {
  Open(26, 0);
  Perform(List(), "c5");
  m_set->WriteCurrent(26, {"eins", "zwei", "drei", "vier", "f\xFCnf", "sechs"});
  Perform(List(), "F5");
  QCOMPARE(List().EntryText(5), QString::fromUtf8("f\xC3\xBCnf"));
  QCOMPARE(List().ItemIndex(), 5);
  // A file replaced while shown is read again by itself once it holds still.
  m_set->WriteCurrent(26, {"neu"});
  QTRY_COMPARE_WITH_TIMEOUT(List().Count(), 2, 4000);
  QCOMPARE(List().ItemIndex(), 1);
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::whereUsedWindow() {
  Open(3, 2);
  Perform(List(), "ShiftF12");
  ChoiceWindow* window = m_window->UsedWindow();
  QVERIFY(window != nullptr);
  QVERIFY(window->isVisible());
  QCOMPARE(window->windowTitle(), QStringLiteral("Verwendet in"));
  QCOMPARE(window->List().count(), 1);
  QCOMPARE(window->List().currentRow(), 0);
  QVERIFY(QTest::qWaitForWindowActive(window));
  QTRY_VERIFY(window->List().hasFocus());
  QTest::keyClick(&window->List(), Qt::Key_Return);
  QVERIFY(!window->isVisible());
  QCOMPARE(m_window->State().CurrentLibrary, 26);
  QCOMPARE(List().ItemIndex(), 3);
  QCOMPARE(Caption(), Full("Farben  $1A LIB[26,3]", kOlderMarker));
}

void KelmformTest::findWindow() {
  Open(26, 1);
  QTest::keyClick(&List(), Qt::Key_F, Qt::ControlModifier);
  ChoiceWindow* window = m_window->FindWindow();
  QVERIFY(window != nullptr);
  QVERIFY(window->isVisible());
  QCOMPARE(window->windowTitle(), QStringLiteral("Suchen"));
  QVERIFY(QTest::qWaitForWindowActive(window));
  QTRY_VERIFY(window->Field()->hasFocus());
  QTest::keyClicks(window->Field(), QStringLiteral("drei"));
  QTest::keyClick(window->Field(), Qt::Key_Return);
  // The matches come from the search's thread through the event loop.
  QTRY_COMPARE(window->List().count(), 5);
  QCOMPARE(window->List().currentRow(), 0);
  QTRY_VERIFY(window->List().hasFocus());
  QTest::keyClick(&window->List(), Qt::Key_Down);
  QTest::keyClick(&window->List(), Qt::Key_Return);
  QVERIFY(!window->isVisible());
  QCOMPARE(m_window->State().CurrentLibrary, 3);
  QCOMPARE(List().ItemIndex(), 1);
  // F3 goes on to the next match.
  QTest::keyClick(&List(), Qt::Key_F3);
  QCOMPARE(List().ItemIndex(), 2);
}

void KelmformTest::toolTips_data() {
  QTest::addColumn<bool>("catalogue");
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QStringList>("actions");  // what the list's tool tip offers
  const QStringList inCatalogue = {"Bibliothek öffnen", "alle Tasten", "schließen"};
  const QStringList inLibrary = {"Eintrag kopieren", "zurück zum Katalog", "alle Tasten",
                                 "schließen"};
  QTest::newRow("library") << true << 26 << "c5" << inLibrary;
}

void KelmformTest::toolTips() {
  QFETCH(bool, catalogue);
  QFETCH(int, library);
  QFETCH(QString, input);
  QFETCH(QStringList, actions);
  if (!catalogue) std::filesystem::remove(m_set->FileOf(0));
  Open(library, 0);
  Perform(List(), input);
  // The label's tool tip is the whole caption, which the label may cut off.
  QCOMPARE(m_window->Label1().toolTip(), Caption());
  QStringList offered;
  for (const QString& line : List().toolTip().split('\n'))
    offered << line.section(QStringLiteral(": "), 1);
  QCOMPARE(offered, actions);
  // Too narrow for the caption: the label draws its directory part's start as "…" and keeps the
  // head and the directory's end; its text stays whole.
  const QString whole = Caption();
  m_window->resize(420, m_window->height());
  const QString drawn = m_window->Label1().DrawnText();
  QVERIFY2(drawn.startsWith(whole.section(QStringLiteral("  -  "), 0, 0) + QStringLiteral("  -  ") +
                            QChar(0x2026)) &&
               whole.endsWith(drawn.section(QChar(0x2026), 1)) && drawn.size() < whole.size(),
           qPrintable(drawn));
  QCOMPARE(Caption(), whole);
  QCOMPARE(m_window->Label1().toolTip(), whole);
}

QTEST_MAIN(KelmformTest)
#include "kelmform_test.moc"
