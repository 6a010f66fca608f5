// Where the Qt window opens: moved and shrunk into a screen smaller than the window (the arithmetic
// is the core's). Run at twice the scale, so that the offscreen screen is smaller than the window.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <memory>

#include "libfile/record_manager.h"
#include "library_set.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/kelmform.h"

class PlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void windowFitsSmallScreen();
};

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
