// Writes the small utilities directory that the end-to-end test of kl7view runs on: a catalogue
// and two libraries, one of them with umlauts, Windows-1252 punctuation and a reference; the
// catalogue also names a library 3 whose file is missing.
#include <exception>
#include <filesystem>
#include <iostream>

#include "libfile/writer/library_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_e2e_utils <utils directory>\n";
    return 2;
  }
  try {
    const std::filesystem::path utils(argv[1]);
    std::filesystem::create_directories(utils);
    const auto write = [&](std::uint8_t number, std::vector<std::string> texts) {
      libfile::writer::LibraryContents contents;
      contents.texts = std::move(texts);
      libfile::writer::WriteLibraryFile(utils / libfile::writer::LibraryFileNameFor(number),
                                        contents);
    };
    write(0, {"Farben", "Werkstoffe", "Fehlt"});
    // "Grüße – 5 €" and a reference to library 2, entry 1.
    write(1, {"Gr\xFC\xDF"
              "e \x96 5 \x80",
              "Zweite Zeile", "LIB[2,1]"});
    write(2, {"Stahl verzinkt"});
  } catch (const std::exception& error) {
    std::cerr << "make_e2e_utils: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
