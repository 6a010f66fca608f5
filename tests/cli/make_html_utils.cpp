// Writes the utils directory that the browser test of the html export reads: texts that fold in
// every way kl7 find folds, markup that must stay text, references of every outcome, and a library
// long enough to be shown a page at a time.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "libfile/writer/library_writer.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_html_utils <utils directory>\n";
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
    // Library 5's name is long, to be wrapped between its words on a phone.
    write(0, {"W\xF6rter", "Verweise", "<b>Markup</b>", "",
              "Zahlungsbedingungen f\xFCr Lieferungen ins europ\xE4ische Ausland und nach "
              "\xDC"
              "bersee"});
    write(1, {"ROT", "\xE4rger", "\xD6L",
              "Stra\xDF"
              "e",
              "\x8CUVRE", "\x9F", "Preis \x80 5", "\x84Zitat\x93", "a \x96 b", "\x9A", "\x8E",
              "\xFF", "\x83", "5 \xB5m", "k", "\xE5", "Kelvin"});
    write(2, {"LIB[1,4]", "LIB[1,99]", "LIB[9,1]", "LIB[1,0]", "LIB[-255,1]", "LIB[257,1]",
              "LIB[769,1]", "LIB[3,2] </script><script>window.kl7Injected=1</script>",
              "LIB[1,4] auch"});
    write(3, {"<img src=x onerror=\"window.kl7Injected=2\">", "&amp; <!-- -->"});
    // Long enough to be shown a page at a time.
    std::vector<std::string> many;
    for (int k = 1; k <= 2500; ++k)
      many.push_back(k == 2400 ? "LIB[1,4] weit hinten" : "Zeile " + std::to_string(k));
    write(5, many);
  } catch (const std::exception& error) {
    std::cerr << "make_html_utils: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
