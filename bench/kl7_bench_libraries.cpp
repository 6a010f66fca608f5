// Writes the utils directories that kl7_whole_process.sh times kl7 on:
//   <many>:  256 libraries (KL700.DAT to KL7FF.DAT) of 1,000 entries each; the catalogue names
//            them, a quarter are in the older 16Bit layout, half are pre-6.0 files, and every 20th
//            entry is a reference into another library;
//   <large>: one library of 65,535 entries (KL702.DAT), every 10th a reference into library 1 of
//            1,000 entries, and a small catalogue.
// Usage: kl7_bench_libraries <many> <large>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "libfile/writer/library_writer.h"

namespace {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

// A German-looking text in Windows-1252 with umlauts, € and quotes.
std::string Text(int library, int entry) {
  static const char* const kWords[] = {
      "Gr\xFC"
      "n",
      "Stra\xDF"
      "e",
      "\x84Qualit\xE4t\x93",
      "Preis \x80",
      "Lieferung",
      "Ma\xDF"
      "einheit",
      "\xD6"
      "ffnungszeiten",
      "Zubeh\xF6r",
      "Ausf\xFChrung \x96 A"};
  std::string text =
      "Eintrag " + std::to_string(entry) + " der Bibliothek " + std::to_string(library) + ": ";
  text += kWords[(library * 7 + entry) % 9];
  text += ' ';
  text += kWords[(library + entry * 3) % 9];
  return text;
}

void Write(const std::filesystem::path& directory, int number, LibraryContents contents) {
  libfile::writer::WriteLibraryFile(
      directory / libfile::writer::LibraryFileNameFor(static_cast<std::uint8_t>(number)), contents);
}

LibraryContents Library(int number, int entries, int referenceEvery, int referenceTarget) {
  LibraryContents contents;
  contents.format = number % 2 == 0 ? btrieve::writer::Format::kV6 : btrieve::writer::Format::kPre6;
  if (number % 4 == 3) {
    contents.layout = RecordLayout::kSixteenBit;
    contents.entryLength = 44;  // records of 54 bytes: read by the older layout's class
  } else {
    contents.recordLength = 96;
  }
  contents.texts.reserve(static_cast<std::size_t>(entries));
  for (int k = 1; k <= entries; ++k) {
    if (referenceEvery > 0 && k % referenceEvery == 0) {
      const int target = referenceTarget >= 0 ? referenceTarget : (number + 1) % 256;
      contents.texts.push_back("LIB[" + std::to_string(target) + "," + std::to_string(k % 997 + 1) +
                               "]");
    } else {
      contents.texts.push_back(Text(number, k));
    }
  }
  return contents;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kl7_bench_libraries <many> <large>\n");
    return 2;
  }
  try {
    const std::filesystem::path many = argv[1];
    const std::filesystem::path large = argv[2];
    std::filesystem::create_directories(many);
    std::filesystem::create_directories(large);

    LibraryContents catalogue = Library(0, 1000, 0, 0);
    for (int n = 1; n <= 255; ++n)
      catalogue.texts[static_cast<std::size_t>(n - 1)] = "Bibliothek \xC4" + std::to_string(n);
    Write(many, 0, catalogue);
    for (int n = 1; n <= 255; ++n)
      Write(many, n, Library(n, 1000, 20, -1));

    LibraryContents smallCatalogue = Library(0, 2, 0, 0);
    smallCatalogue.texts = {"Farben", "Textbausteine"};
    Write(large, 0, smallCatalogue);
    Write(large, 1, Library(1, 1000, 0, 0));
    LibraryContents big = Library(2, 65535, 10, 1);
    Write(large, 2, big);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kl7_bench_libraries: %s\n", error.what());
    return 1;
  }
  return 0;
}
