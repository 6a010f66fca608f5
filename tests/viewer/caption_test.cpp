// The caption heads, character by character, for every occasion with and without a name.
#include <QObject>
#include <QTest>
#include <optional>
#include <string>

#include "viewer/core/caption.h"

using viewer::CaptionHead;
using viewer::CaptionOccasion;

Q_DECLARE_METATYPE(CaptionOccasion)

class CaptionTest : public QObject {
  Q_OBJECT

 private slots:
  void heads_data();
  void heads();
  void numbers_data();
  void numbers();
};

void CaptionTest::heads_data() {
  QTest::addColumn<CaptionOccasion>("occasion");
  QTest::addColumn<QString>("name");  // null: no name
  QTest::addColumn<int>("library");
  QTest::addColumn<int>("index");
  QTest::addColumn<QString>("head");

  const QString none;
  QTest::newRow("creation, catalogue entry 3") << CaptionOccasion::kCreation << "Bibliotheksnamen"
                                               << 0 << 3 << "Bibliotheksnamen  $00 LIB[0,3]";
  QTest::newRow("creation without name")
      << CaptionOccasion::kCreation << none << 26 << 5 << "  $1A LIB[26,5]";
  QTest::newRow("creation, negative entry")
      << CaptionOccasion::kCreation << "Farben" << 26 << -2 << "Farben  $1A LIB[26,-2]";
  QTest::newRow("creation, library 255")
      << CaptionOccasion::kCreation << "Letzte" << 255 << 0 << "Letzte  $FF LIB[255,0]";
  QTest::newRow("library refresh")
      << CaptionOccasion::kLibraryRefresh << "Farben" << 26 << 5 << "Farben  $1A LIB[26,5]";
  QTest::newRow("library refresh without name")
      << CaptionOccasion::kLibraryRefresh << none << 26 << 5 << "  $1A LIB[26,5]";
  QTest::newRow("library refresh, nothing selected")
      << CaptionOccasion::kLibraryRefresh << "Farben" << 26 << -1 << "Farben  $1A LIB[26,-1]";
  QTest::newRow("catalogue refresh, line 26")
      << CaptionOccasion::kCatalogueRefresh << "Bibliotheksnamen" << 0 << 26
      << "Bibliotheksnamen  KL71A  LIB[0,26]";
  QTest::newRow("catalogue refresh, nothing selected")
      << CaptionOccasion::kCatalogueRefresh << "Bibliotheksnamen" << 0 << -1
      << "Bibliotheksnamen  KL7FFFFFFFF  LIB[0,-1]";
  QTest::newRow("catalogue refresh, line 300")
      << CaptionOccasion::kCatalogueRefresh << "Bibliotheksnamen" << 0 << 300
      << "Bibliotheksnamen  KL712C  LIB[0,300]";
  QTest::newRow("catalogue refresh without name")
      << CaptionOccasion::kCatalogueRefresh << none << 0 << 5 << "  KL705  LIB[0,5]";
  QTest::newRow("opened") << CaptionOccasion::kOpened << "Farben" << 26 << 17
                          << "Farben  $1A LIB[26,0]";
  QTest::newRow("opened without name")
      << CaptionOccasion::kOpened << none << 26 << 17 << "  $1A LIB[26,0]";
  QTest::newRow("back from 26") << CaptionOccasion::kBack << "Bibliotheksnamen" << 26 << 9
                                << "Bibliotheksnamen  $1A LIB[26,0]";
  QTest::newRow("empty name is still a name")
      << CaptionOccasion::kCreation << "" << 1 << 1 << "  $01 LIB[1,1]";
}

void CaptionTest::heads() {
  QFETCH(CaptionOccasion, occasion);
  QFETCH(QString, name);
  QFETCH(int, library);
  QFETCH(int, index);
  QFETCH(QString, head);
  const std::optional<std::string> givenName =
      name.isNull() ? std::nullopt : std::optional<std::string>(name.toStdString());
  QCOMPARE(QString::fromStdString(
               CaptionHead(occasion, givenName, static_cast<std::uint8_t>(library), index)),
           head);
}

void CaptionTest::numbers_data() {
  QTest::addColumn<int>("value");
  QTest::addColumn<QString>("hex");
  QTest::addColumn<QString>("decimal");
  QTest::newRow("zero") << 0 << "00"
                        << "0";
  QTest::newRow("one digit") << 10 << "0A"
                             << "10";
  QTest::newRow("three digits") << 256 << "100"
                                << "256";
  QTest::newRow("minus one") << -1 << "FFFFFFFF"
                             << "-1";
  QTest::newRow("minus two") << -2 << "FFFFFFFE"
                             << "-2";
  QTest::newRow("largest") << 2147483647 << "7FFFFFFF"
                           << "2147483647";
  QTest::newRow("smallest") << (-2147483647 - 1) << "80000000"
                            << "-2147483648";
}

void CaptionTest::numbers() {
  QFETCH(int, value);
  QFETCH(QString, hex);
  QFETCH(QString, decimal);
  QCOMPARE(QString::fromStdString(viewer::HexX2(value)), hex);
  QCOMPARE(QString::fromStdString(viewer::DecimalD(value)), decimal);
}

QTEST_GUILESS_MAIN(CaptionTest)
#include "caption_test.moc"
