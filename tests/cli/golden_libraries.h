// The utils directory that the golden tests read: a catalogue and three libraries in both record
// layouts and both file formats, with references of every outcome, umlauts and "€„“–", and texts
// that need escaping in every output format.
#pragma once

#include "cli_fixture.h"

namespace cli::testing {

class GoldenLibraries : public TempDirectory {
 public:
  GoldenLibraries() {
    using btrieve::writer::Format;
    WriteCurrent(0,
                 {"Farben",
                  "Werkst\xF6"
                  "ffe",
                  "Ma\xDF"
                  "e \x80",
                  "Leer"},
                 Format::kV6, 80);
    WriteCurrent(1,
                 {"Rot", "Gr\xFCn", "Wei\xDF \x80 5", "\x84Zitat\x93 \x96 Ende", "Tab\there",
                  "Back\\slash", "Komma, \"Zitat\"", "Zeile\r\nzwei"},
                 Format::kPre6, 64);
    WriteOlder(2, {"Stahl", "LIB[1,2]", "LIB[1,99]", "LIB[9,1]", "", "LIB[0,3] Name", "\xC4RGER"},
               Format::kV6, 40);
    // 29 bytes fill the 30-byte entry up to its last byte: no zero byte follows the text.
    WriteOlder(3,
               {"xxxxxxxxxxxxxxxxxxxxxxxxxxxyz",
                "Stra\xDF"
                "e"},
               Format::kPre6, 30);
  }
};

}  // namespace cli::testing
