// The main window on a writer-built utilities directory, driven through the list's viewport and
// keyboard as a user would drive it.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QObject>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "libfile/record_manager.h"
#include "library_set.h"
#include "viewer/core/caption.h"
#include "viewer/qt/entry_delegate.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/entry_model.h"
#include "viewer/qt/kelmform.h"
#include "viewer/qt/outlined_label.h"

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
  void creationSelection_data();
  void creationSelection();
  void creationOnLibraryThatFailsToLoad_data();
  void creationOnLibraryThatFailsToLoad();
  void layout();
  void openFromCatalogue_data();
  void openFromCatalogue();
  void openNothing_data();
  void openNothing();
  void noLibraryBeyondLine255_data();
  void noLibraryBeyondLine255();
  void wayBack_data();
  void wayBack();
  void noWayBack_data();
  void noWayBack();
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
  void catalogueReloadedByReference();
  void catalogueLostByReference();
  void toolTips_data();
  void toolTips();
  void unreadableLibraryFromCatalogue();

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
  QTest::newRow("creation on the catalogue, entry 3") << true << 0 << 3 << ""
                                                      << "Bibliotheksnamen  $00 LIB[0,3]" << cur;
  QTest::newRow("creation, entry 0") << true << 26 << 0 << ""
                                     << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("creation, entry beyond the last") << true << 26 << 500 << ""
                                                   << "Farben  $1A LIB[26,500]" << cur;
  QTest::newRow("creation, negative entry") << true << 26 << -2 << ""
                                            << "Farben  $1A LIB[26,-2]" << cur;
  QTest::newRow("creation, older layout") << true << 3 << 0 << ""
                                          << "Drei  $03 LIB[3,0]" << kOlderMarker;
  QTest::newRow("creation without catalogue line") << true << 80 << 0 << ""
                                                   << "  $50 LIB[80,0]" << cur;
  QTest::newRow("creation without catalogue") << false << 26 << 5 << ""
                                              << "  $1A LIB[26,5]" << cur;
  QTest::newRow("failed library, then the way back") << true << 7 << 0 << "r1"
                                                     << "Bibliotheksnamen  $07 LIB[7,0]"
                                                     << "";
  QTest::newRow("click in a library") << true << 26 << 0 << "c5"
                                      << "Farben  $1A LIB[26,5]" << cur;
  QTest::newRow("Down and Up") << true << 26 << 2 << "Down Down Up"
                               << "Farben  $1A LIB[26,3]" << cur;
  QTest::newRow("Right and Left") << true << 26 << 2 << "Right Right Left"
                                  << "Farben  $1A LIB[26,3]" << cur;
  QTest::newRow("End") << true << 26 << 0 << "End"
                       << "Farben  $1A LIB[26,100]" << cur;
  QTest::newRow("Home") << true << 26 << 50 << "Home"
                        << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("Up at the first line") << true << 26 << 0 << "Home Up"
                                        << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("Down at the last line") << true << 26 << 0 << "End Down"
                                         << "Farben  $1A LIB[26,100]" << cur;
  QTest::newRow("click without catalogue") << false << 26 << 0 << "c5"
                                           << "  $1A LIB[26,5]" << cur;
  QTest::newRow("click without catalogue line") << true << 80 << 0 << "c1"
                                                << "  $50 LIB[80,1]" << cur;
  QTest::newRow("click in the catalogue") << true << 0 << 0 << "c26"
                                          << "Bibliotheksnamen  KL71A  LIB[0,26]" << cur;
  QTest::newRow("first Down in the catalogue selects line 0")
      << true << 0 << 0 << "Down"
      << "Bibliotheksnamen  KL700  LIB[0,0]" << cur;
  QTest::newRow("catalogue refresh with nothing selected")
      << true << 0 << 0 << "^Home"
      << "Bibliotheksnamen  KL7FFFFFFFF  LIB[0,-1]" << cur;
  QTest::newRow("opened by Enter") << true << 0 << 0 << "c26 Enter"
                                   << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("opened by the keypad's Enter") << true << 0 << 0 << "c26 KeypadEnter"
                                                << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("opened by double click") << true << 0 << 0 << "d26"
                                          << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("opening the older layout keeps the marker") << true << 0 << 0 << "c3 Enter"
                                                             << "Drei  $03 LIB[3,0]" << cur;
  QTest::newRow("opening the current layout keeps the marker")
      << true << 3 << 0 << "r0 c26 Enter"
      << "Farben  $1A LIB[26,0]" << kOlderMarker;
  QTest::newRow("back by the right button") << true << 26 << 5 << "r2"
                                            << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("back by Shift+Enter") << true << 26 << 5 << "ShiftEnter"
                                       << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("back, then a click") << true << 26 << 5 << "r2 c20"
                                      << "Bibliotheksnamen  KL714  LIB[0,20]" << cur;
  QTest::newRow("a library that fails to open leaves the catalogue")
      << true << 0 << 0 << "c7 Enter c8"
      << "Bibliotheksnamen  KL708  LIB[0,8]" << cur;
  QTest::newRow("right button in the catalogue") << true << 0 << 0 << "c5 r9"
                                                 << "Bibliotheksnamen  KL705  LIB[0,5]" << cur;
  QTest::newRow("middle button in a library") << true << 26 << 0 << "c5 m9"
                                              << "Farben  $1A LIB[26,5]" << cur;
  QTest::newRow("Enter in a library copies") << true << 26 << 0 << "c2 Enter"
                                             << "Farben  $1A LIB[26,2]" << cur;
  QTest::newRow("a typed letter in the catalogue") << true << 0 << 0 << "=F"
                                                   << "Bibliotheksnamen  KL707  LIB[0,7]" << cur;
  QTest::newRow("typed letters, then Enter") << true << 0 << 0 << "=fa Enter"
                                             << "Farben  $1A LIB[26,0]" << cur;
  QTest::newRow("a typed letter in a library") << true << 26 << 0 << "=g"
                                               << "Farben  $1A LIB[26,2]" << cur;
  QTest::newRow("a letter that finds nothing") << true << 26 << 5 << "=q"
                                               << "Farben  $1A LIB[26,5]" << cur;
  QTest::newRow("back by Backspace") << true << 26 << 5 << "Backspace"
                                     << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
  QTest::newRow("back by the back button") << true << 26 << 5 << "b2"
                                           << "Bibliotheksnamen  $1A LIB[26,0]" << cur;
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

void KelmformTest::creationSelection_data() {
  QTest::addColumn<int>("library");
  QTest::addColumn<int>("entry");
  QTest::addColumn<int>("count");
  QTest::addColumn<QString>("firstLine");
  QTest::addColumn<int>("selected");

  QTest::newRow("catalogue, entry 3") << 0 << 3 << 61 << "Bibliotheksnamen" << 3;
  QTest::newRow("catalogue, entry 0") << 0 << 0 << 61 << "Bibliotheksnamen" << -1;
  QTest::newRow("library, entry 60") << 26 << 60 << 101 << "*" << 60;
  QTest::newRow("library, last entry") << 26 << 100 << 101 << "*" << 100;
  QTest::newRow("library, entry 0") << 26 << 0 << 101 << "*" << -1;
  QTest::newRow("library, negative entry") << 26 << -2 << 101 << "*" << -1;
  QTest::newRow("library, entry beyond the last") << 26 << 101 << 101 << "*" << -1;
  QTest::newRow("older layout, entry 2") << 3 << 2 << 4 << "*" << 2;
}

void KelmformTest::creationSelection() {
  QFETCH(int, library);
  QFETCH(int, entry);
  QFETCH(int, count);
  QFETCH(QString, firstLine);
  QFETCH(int, selected);
  Open(library, entry);
  QCOMPARE(List().Count(), count);
  QCOMPARE(List().EntryText(0), firstLine);
  QCOMPARE(List().ItemIndex(), selected);
  const int top = selected < 0 ? 0 : CentredTop(selected, 0, List().VisibleLines(), count);
  QCOMPARE(List().TopIndex(), top);
  QCOMPARE(m_window->State().CurrentLibrary, library);
  QVERIFY(m_window->State().CatalogueLoaded);
}

void KelmformTest::creationOnLibraryThatFailsToLoad_data() {
  QTest::addColumn<QByteArray>("file");  // null: no file at all
  QTest::addColumn<QString>("reason");   // what the label's tool tip says of the file
  QTest::newRow("missing file") << QByteArray() << "file not found (status 12)";
  const QString notRecordFile =
      "not a Btrieve file, or a variant this reader does not read (status 30)";
  QTest::newRow("empty file") << QByteArray("") << notRecordFile;
  QTest::newRow("not a record file")
      << QByteArray("Farben\nRot\nGr\xFCn\n").repeated(200) << notRecordFile;
  QTest::newRow("cut record file") << QByteArray("cut") << "I/O error or damaged file (status 2)";
}

void KelmformTest::creationOnLibraryThatFailsToLoad() {
  QFETCH(QByteArray, file);
  QFETCH(QString, reason);
  if (file == "cut") {
    // The first page of a genuine library file, without the rest.
    LibrarySet donor;
    QFile whole(QString::fromStdString(donor.FileOf(26).string()));
    QVERIFY(whole.open(QIODevice::ReadOnly));
    file = whole.read(whole.size() / 2);
  }
  if (!file.isNull()) {
    QFile broken(QString::fromStdString(m_set->FileOf(7).string()));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    QCOMPARE(broken.write(file), file.size());
  }
  Open(7, 3);
  QCOMPARE(Caption(), QStringLiteral("kk"));
  QCOMPARE(
      m_window->Label1().toolTip(),
      "kl7view: " + m_set->UtilsShown() + "KL707.DAT: cannot read the library: " + reason + "\nkk");
  QCOMPARE(List().Count(), 0);
  QVERIFY(m_window->State().LayoutMarker.empty());
  QCOMPARE(m_window->State().CurrentLibrary, 7);
  // Inside the (empty) library, Enter reads entry -1.
  Perform(List(), "Enter");
  QCOMPARE(m_errors, QStringList{"List index out of bounds (-1)"});
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
  QTest::newRow("Enter") << "c26 Enter";
  QTest::newRow("the keypad's Enter") << "c26 KeypadEnter";
  QTest::newRow("double click") << "d26";
  QString keys = "End Home";
  for (int line = 0; line < 26; ++line)
    keys += " Down";
  QTest::newRow("keys") << keys + " Enter";
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

void KelmformTest::openNothing_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("head");
  QTest::newRow("heading line by Enter") << "c0 Enter"
                                         << "Bibliotheksnamen  KL700  LIB[0,0]";
  QTest::newRow("heading line by double click") << "d0"
                                                << "Bibliotheksnamen  KL700  LIB[0,0]";
  QTest::newRow("nothing selected") << "Enter"
                                    << "Bibliotheksnamen  $00 LIB[0,0]";
  QTest::newRow("library whose file is missing") << "c7 Enter"
                                                 << "Bibliotheksnamen  KL707  LIB[0,7]";
  QTest::newRow("library whose file is missing, double click")
      << "d7"
      << "Bibliotheksnamen  KL707  LIB[0,7]";
}

void KelmformTest::openNothing() {
  QFETCH(QString, input);
  QFETCH(QString, head);
  Open(0, 0);
  Perform(List(), input);
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QCOMPARE(List().Count(), 61);
  QCOMPARE(List().EntryText(0), QStringLiteral("Bibliotheksnamen"));
  QCOMPARE(Caption(), Full(head, kCurrentMarker));
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::noLibraryBeyondLine255_data() {
  QTest::addColumn<int>("line");
  QTest::newRow("line 259 (low 8 bits: 3)") << 259;
  QTest::newRow("line 511 (low 8 bits: 255)") << 511;
  QTest::newRow("line 256 (low 8 bits: 0)") << 256;
}

void KelmformTest::noLibraryBeyondLine255() {
  QFETCH(int, line);
  std::vector<std::string> names;
  for (int n = 1; n <= 600; ++n)
    names.push_back("Name " + std::to_string(n));
  m_set->WriteCurrent(0, names);
  Open(0, line);
  QCOMPARE(List().ItemIndex(), line);
  Perform(List(), "Enter");
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QCOMPARE(List().Count(), 601);
  QCOMPARE(List().ItemIndex(), line);
  Perform(List(), "d" + QString::number(line));
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QCOMPARE(List().Count(), 601);
}

void KelmformTest::wayBack_data() {
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::newRow("right button") << 26 << "r3";
  QTest::newRow("Shift+Enter") << 26 << "ShiftEnter";
  QTest::newRow("Shift and the keypad's Enter") << 26 << "ShiftKeypadEnter";
  QTest::newRow("Ctrl+Shift+Enter") << 26 << "CtrlShiftEnter";
  QTest::newRow("right double click") << 26 << "r3 r3";
  QTest::newRow("Backspace") << 26 << "Backspace";
  QTest::newRow("back button") << 26 << "b3";
  QTest::newRow("from a library without catalogue line") << 80 << "r1";
  QTest::newRow("from the older layout") << 3 << "ShiftEnter";
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

void KelmformTest::noWayBack_data() {
  QTest::addColumn<bool>("catalogue");
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::newRow("right button in the catalogue") << true << 0 << "c5 r9";
  QTest::newRow("Shift+Enter in the catalogue") << true << 0 << "c5 ShiftEnter";
  QTest::newRow("right button without catalogue") << false << 26 << "c5 r9";
  QTest::newRow("Shift+Enter without catalogue") << false << 26 << "c5 ShiftEnter";
  QTest::newRow("Backspace in the catalogue") << true << 0 << "c5 Backspace";
  QTest::newRow("back button without catalogue") << false << 26 << "c5 b9";
}

void KelmformTest::noWayBack() {
  QFETCH(bool, catalogue);
  QFETCH(int, library);
  QFETCH(QString, input);
  if (!catalogue) std::filesystem::remove(m_set->FileOf(0));
  Open(library, 0);
  const int count = List().Count();
  Perform(List(), input);
  QCOMPARE(m_window->State().CurrentLibrary, library);
  QCOMPARE(List().Count(), count);
  QCOMPARE(List().ItemIndex(), 5);
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("vorher"));
}

void KelmformTest::copy_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("copied");
  QTest::newRow("plain entry by Enter") << "c1 Enter"
                                        << "Rot";
  QTest::newRow("umlaut by double click") << "d2" << QString::fromUtf8("Grün");
  QTest::newRow("resolved reference keeps its resolution")
      << "c3 KeypadEnter" << QString::fromUtf8("LIB[3,2] ---> Drei zwei");
  QTest::newRow("Windows-1252 punctuation") << "c4 Enter" << QString::fromUtf8("€ „Zoll“ – x");
  QTest::newRow("empty entry") << "d5"
                               << "-######-";
  QTest::newRow("reference beyond the last entry") << "c6 Enter"
                                                   << "-###LIB[3,99]###-";
  QTest::newRow("the placeholder line") << "c0 Enter"
                                        << "*";
  QTest::newRow("moved by keys") << "c1 Down Down Enter"
                                 << QString::fromUtf8("LIB[3,2] ---> Drei zwei");
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
  QTest::newRow("from the catalogue") << 0 << "c3";
  QTest::newRow("from a library") << 26 << "c3";
  QTest::newRow("after the way back") << 26 << "r3";
}

void KelmformTest::escCloses() {
  QFETCH(int, library);
  QFETCH(QString, input);
  Open(library, 0);
  Perform(List(), input);
  QVERIFY(m_window->isVisible());
  Perform(List(), "Esc");
  QVERIFY(!m_window->isVisible());
  QVERIFY(m_errors.isEmpty());
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

void KelmformTest::catalogueReloadedByReference() {
  Open(0, 0);
  // Library 9 refers into the catalogue, which the loader then reads again without its heading.
  Perform(List(), "c9 Enter");
  QCOMPARE(List().EntryText(1), QStringLiteral("LIB[0,26] ---> Farben"));
  QCOMPARE(Caption(), Full("Katalogverweis  $09 LIB[9,0]", kCurrentMarker));
  Perform(List(), "r1");
  QCOMPARE(List().EntryText(0), QStringLiteral("Bibliotheksnamen"));
  QCOMPARE(List().ItemIndex(), 9);
  QCOMPARE(Caption(), Full("Bibliotheksnamen  $09 LIB[9,0]", kCurrentMarker));
}

void KelmformTest::catalogueLostByReference() {
  Open(0, 0);
  // The catalogue's file goes away: library 9's reference into it fails and takes the cached
  // catalogue with it.
  std::filesystem::remove(m_set->FileOf(0));
  Perform(List(), "c9 Enter");
  QCOMPARE(m_window->State().CurrentLibrary, 9);
  QCOMPARE(List().EntryText(1), QStringLiteral("LIB[0,26] ---> ?????"));
  QCOMPARE(Caption(), Full("  $09 LIB[9,0]", kCurrentMarker));
  // The way back cannot load the catalogue: the window stays where it is.
  Perform(List(), "c2 r2");
  QCOMPARE(m_window->State().CurrentLibrary, 9);
  QCOMPARE(List().EntryText(2), QStringLiteral("Neun zwei"));
  QCOMPARE(Caption(), Full("  $09 LIB[9,2]", kCurrentMarker));
  // Once the file is back, the way back reads it again.
  LibrarySet fresh;
  std::filesystem::copy_file(fresh.FileOf(0), m_set->FileOf(0));
  Perform(List(), "r2");
  QCOMPARE(m_window->State().CurrentLibrary, 0);
  QCOMPARE(List().EntryText(0), QStringLiteral("Bibliotheksnamen"));
  QCOMPARE(List().ItemIndex(), 9);
  QCOMPARE(Caption(), Full("Bibliotheksnamen  $09 LIB[9,0]", kCurrentMarker));
  QVERIFY(m_errors.isEmpty());
}

void KelmformTest::toolTips_data() {
  QTest::addColumn<bool>("catalogue");
  QTest::addColumn<int>("library");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QStringList>("actions");  // what the list's tool tip offers
  const QStringList inCatalogue = {"open the library", "close"};
  const QStringList inLibrary = {"copy the entry", "back to the catalogue", "close"};
  QTest::newRow("catalogue") << true << 0 << "c5" << inCatalogue;
  QTest::newRow("library") << true << 26 << "c5" << inLibrary;
  QTest::newRow("opened from the catalogue") << true << 0 << "c26 Enter" << inLibrary;
  QTest::newRow("back in the catalogue") << true << 26 << "Backspace" << inCatalogue;
  QTest::newRow("library without the way back")
      << false << 26 << "c5" << QStringList{"copy the entry", "close"};
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
}

void KelmformTest::unreadableLibraryFromCatalogue() {
  Open(0, 0);
  Perform(List(), "c7 Enter");
  const QString line = "kl7view: " + m_set->UtilsShown() +
                       "KL707.DAT: cannot read the library: file not found (status 12)";
  QCOMPARE(m_window->Label1().toolTip(), line + '\n' + Caption());
  // A refresh keeps the line; the next view change drops it.
  Perform(List(), "c8");
  QCOMPARE(m_window->Label1().toolTip(), line + '\n' + Caption());
  Perform(List(), "c26 Enter");
  QCOMPARE(m_window->Label1().toolTip(), Caption());
}

QTEST_MAIN(KelmformTest)
#include "kelmform_test.moc"
