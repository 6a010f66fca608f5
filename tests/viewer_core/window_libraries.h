// A utilities directory for the window's tests, in a fresh temporary directory whose path holds a
// non-ASCII name ("Bücher", UTF-8 as the file system stores it):
//   library 0   the catalogue: line n names library n for n = 1 to 60
//   library 26  ("Farben", current layout): plain entries, umlauts, Windows-1252 punctuation, an
//               empty entry, a resolved reference, a reference beyond the last entry; 100 entries
//   library 3   ("Drei", the older layout): three entries
//   library 4   ("Lang"): one entry far wider than the window
//   library 9   ("Katalogverweis"): a reference into the catalogue
//   library 80  (no catalogue line)
//   library 255 (no catalogue line): what line -1 or line 511 of the catalogue would name by its
//               low 8 bits
//   library 7   ("Fehlt"): named in the catalogue, but its file does not exist
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "libfile/writer/library_writer.h"
#include "support/library_directory.h"

namespace viewer::testing {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

// Windows-1252 bytes of a few test texts.
inline const std::string kGruen = "Gr\xFCn";                         // Grün
inline const std::string kPunctuation = "\x80 \x84Zoll\x93 \x96 x";  // € „Zoll“ – x

class WindowLibraries {
 public:
  WindowLibraries() : m_directory("kl7-window") {
    m_utils = std::filesystem::path(m_directory.Path()) / std::filesystem::path(u8"B\u00FCcher") /
              "utils";
    std::filesystem::create_directories(m_utils);

    std::vector<std::string> catalogue;
    for (int n = 1; n <= 60; ++n)
      catalogue.push_back("Bibliothek " + std::to_string(n));
    catalogue[3 - 1] = "Drei";
    catalogue[4 - 1] = "Lang";
    catalogue[7 - 1] = "Fehlt";
    catalogue[9 - 1] = "Katalogverweis";
    catalogue[26 - 1] = "Farben";
    WriteCurrent(0, catalogue);

    std::vector<std::string> colours = {"Rot", kGruen, "LIB[3,2]", kPunctuation, "", "LIB[3,99]"};
    for (int k = 7; k <= 100; ++k)
      colours.push_back("Farbe " + std::to_string(k));
    WriteCurrent(26, colours);

    LibraryContents older;
    older.layout = RecordLayout::kSixteenBit;
    older.format = btrieve::writer::Format::kPre6;
    older.entryLength = 40;
    older.texts = {"Drei eins", "Drei zwei", "Drei drei"};
    Write(3, older);

    LibraryContents wide;
    wide.recordLength = 400;
    wide.texts = {"kurz", std::string(300, 'W')};
    Write(4, wide);

    WriteCurrent(9, {"LIB[0,26]", "Neun zwei"});
    WriteCurrent(80, {"Achtzig eins", "Achtzig zwei"});
    WriteCurrent(255, {"Letzte eins"});
  }

  // The "UTILS" value (UTF-8), with its trailing separator.
  [[nodiscard]] std::string Utils() const {
    const std::u8string utf8 = (m_utils / "").u8string();
    return {utf8.begin(), utf8.end()};
  }
  [[nodiscard]] std::filesystem::path FileOf(std::uint8_t number) const {
    return m_utils / libfile::writer::LibraryFileNameFor(number);
  }

  void Write(std::uint8_t number, const LibraryContents& contents) const {
    libfile::writer::WriteLibraryFile(FileOf(number), contents);
  }
  void WriteCurrent(std::uint8_t number, std::vector<std::string> texts) const {
    LibraryContents contents;
    contents.texts = std::move(texts);
    Write(number, contents);
  }

 private:
  kl7test::LibraryDirectory m_directory;
  std::filesystem::path m_utils;
};

}  // namespace viewer::testing
