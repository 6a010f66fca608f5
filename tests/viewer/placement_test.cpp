// Where the window opens: its own place and size where they fit, otherwise moved and shrunk into
// the screen. Run at twice the scale, so that the offscreen screen is smaller than the window.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <memory>

#include "libfile/record_manager.h"
#include "library_set.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/kelmform.h"
#include "viewer/qt/window_placement.h"

class PlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void fitFrame_data();
  void fitFrame();
  void windowFitsSmallScreen();
};

void PlacementTest::fitFrame_data() {
  QTest::addColumn<QRect>("frame");
  QTest::addColumn<QRect>("available");
  QTest::addColumn<QRect>("fitted");
  const QRect part(229, 106, 696, 581);
  QTest::newRow("fits") << part << QRect(0, 0, 1280, 800) << part;
  QTest::newRow("fits exactly") << part << QRect(229, 106, 696, 581) << part;
  QTest::newRow("too far right and down")
      << part << QRect(0, 0, 800, 600) << QRect(104, 19, 696, 581);
  QTest::newRow("too large") << part << QRect(0, 0, 640, 400) << QRect(0, 0, 640, 400);
  QTest::newRow("too wide, behind a panel at the top")
      << part << QRect(0, 30, 600, 770) << QRect(0, 106, 600, 581);
  QTest::newRow("screen to the left and above")
      << part << QRect(-1920, -200, 1920, 1080) << QRect(-696, 106, 696, 581);
  QTest::newRow("no area known") << part << QRect() << part;
}

void PlacementTest::fitFrame() {
  QFETCH(QRect, frame);
  QFETCH(QRect, available);
  QFETCH(QRect, fitted);
  QCOMPARE(viewer::FitFrame(frame, available), fitted);
}

void PlacementTest::windowFitsSmallScreen() {
  viewer::testing::LibrarySet set;
  libfile::NativeRecordManager recordManager;
  startup::StartupValues values;
  values.settings.Write(startup::kUtilsKey, set.Utils());
  values.CurrentLibrary = 26;
  values.CurrentEntry = 50;
  viewer::TKelmform window(std::move(values), recordManager, [](const QString&) {});
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY2(available.width() < 696 && available.height() < 581, "the screen is not small");
  QVERIFY(available.contains(window.frameGeometry()));
  // The list takes what is left below the tool bar, and the selected entry is in view.
  QCOMPARE(window.ListBox1().geometry().bottom(), window.height() - 1);
  QVERIFY(window.ListBox1().viewport()->rect().contains(
      window.ListBox1().visualRect(window.ListBox1().model()->index(50, 0))));
}

QTEST_MAIN(PlacementTest)
#include "placement_test.moc"
