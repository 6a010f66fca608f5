// One help text per verb, in the words of the overview (kl7 --help).
#include "cli/verb_help.h"

#include <array>
#include <string>

namespace cli {

namespace {

constexpr std::string_view kRowOptions =
    R"HELP(  -f, --format FORMAT  text (default: tab-separated, no header), tsv, csv,
                       json, jsonl, or table (aligned columns with a header,
                       cut with "…" to a terminal's width)
  --no-header          csv, tsv and table without the header row
  --encoding ENC       utf-8 (default) or cp1252 (text, tsv and csv only)
)HELP";

constexpr std::string_view kLibraryOperands =
    R"HELP(A library N is a number (26, 0x1A or $1A), a range of numbers (3-7) or a
name of the catalogue (compared as find compares, the whole name; an unknown
or ambiguous name is a usage error that names the candidates).
)HELP";

constexpr std::string_view kExitStatus =
    R"HELP(Exit status: 0 all went well, 1 a file could not be read (one line on
stderr; the rest is printed) or the output failed, 2 usage error.
)HELP";

struct Help {
  std::string_view verb;
  std::string_view usage;
  std::string_view options;  // beyond the row options, which every verb but records takes
  bool rows;
  bool libraries;  // takes library operands
};

constexpr std::array<Help, 10> kHelps{{
    {"info", R"HELP(Usage: kl7 info FILE...
Btrieve facts of each FILE (format, page size, record lengths, records, pages,
key segments, file flags) and, for a library file, the library view (layout,
DataLength or L, H and records per entry, entries).
Columns: file, property, value
)HELP",
     "", true, false},
    {"list", R"HELP(Usage: kl7 list DIR
One row per library file in DIR.
Columns: library, hex, file, layout, entries, name, status, message
)HELP",
     "", true, false},
    {"dump", R"HELP(Usage: kl7 dump TARGET [N]...
The entries of a library as the viewer shows them. TARGET is a utils directory
(N: the libraries, default 0) or a KL7xx.DAT file (then without N). With one
library N the rows are entry, text; with several (or a range) they are
export's rows: library, name, entry, text. A library of several that has no
file is reported on stderr and skipped (exit status 1).
)HELP",
     R"HELP(  --no-resolve         references as written, not resolved
  -d, --detail         add raw, target_library, target_entry, outcome
)HELP",
     true, true},
    {"export", R"HELP(Usage: kl7 export TARGET [N]...
The entries of every library of TARGET (a utils directory, or one KL7xx.DAT
file), or of the libraries N only, with number and name.
Columns: library, name, entry, text
)HELP",
     R"HELP(  -f html              one self-contained web page: catalogue, one library at
                       a time, references as links both ways, search
  --no-resolve         references as written, not resolved
  -d, --detail         add raw, target_library, target_entry, outcome
)HELP",
     true, true},
    {"find", R"HELP(Usage: kl7 find [--exact | --regex] [--umlaut] TEXT TARGET
The entries of any library of TARGET (a utils directory or a KL7xx.DAT file)
whose shown text contains TEXT, compared by Unicode case folding ("STRASSE"
finds "Straße").
Columns: library, name, entry, text
)HELP",
     R"HELP(  --exact              the whole shown text equals TEXT (same folding)
  --regex              TEXT is a regular expression (ECMAScript, letter case
                       ignored) searched in the shown text
  --umlaut             also ue, oe, ae and ss for ü, ö, ä and ß and the other
                       way round (not with --regex)
)HELP",
     true, false},
    {"check", R"HELP(Usage: kl7 check PATH...
Validates library files and utils directories: files that do not load (and
why), entries the loader marked, entry counts beyond 65,535, catalogue names
without a file, files of one library differing only in letter case.
Columns: file, library, entry, problem, text
Exit status 1 also when check found a problem.
)HELP",
     "", true, false},
    {"records", R"HELP(Usage: kl7 records FILE
Any Btrieve file's records in key-0 order, as hex.
)HELP",
     R"HELP(  --raw                the records' bytes one after another
)HELP",
     false, false},
    {"verify", R"HELP(Usage: kl7 verify FILE...
Walks each key's own index pages of any Btrieve FILE and compares them with
the records: every record reached once per key, keys in order, the key bytes
in each entry equal to the record's, duplicates and counts as the file says.
One line per finding, tab-separated: PATH, key N, page P, entry E (pages and
entries from 0, - where none applies) and what differs; nothing when
consistent.
Exit status 1 also when verify found a problem.
)HELP",
     "", false, false},
    {"refs", R"HELP(Usage: kl7 refs TARGET N [M]
       kl7 refs --all TARGET
The entries of every library of TARGET's utils directory that refer to library
N (entry M), or with --all every reference there, with target and outcome. N
is a number (26, 0x1A or $1A) or a catalogue name.
Columns: library, name, entry, text, target_library, target_entry, outcome
)HELP",
     R"HELP(  --all                every reference, not those into one library
)HELP",
     true, false},
    {"diff", R"HELP(Usage: kl7 diff DIR1 DIR2
Libraries added and removed, entry counts that differ and each entry whose
text differs between two utils directories.
Columns: change, library, name, entry, old, new
)HELP",
     R"HELP(  -r, --resolved       compare the texts as shown, references resolved
)HELP",
     true, false},
}};

constexpr std::string_view kFindExitStatus =
    R"HELP(Exit status (as grep's): 0 something matched and every library was read,
1 nothing matched, 2 usage error or a library that could not be read (one line
on stderr; the rest is printed).
)HELP";

constexpr std::string_view kDiffExitStatus =
    R"HELP(Exit status: 0 the two are the same, 1 they differ (a library that one side
cannot read is a difference, and a line on stderr), 2 usage error or a
directory that cannot be listed or holds no library file.
)HELP";

std::string Compose(const Help& help) {
  std::string text(help.usage);
  if (help.libraries) text += kLibraryOperands;
  text += "\nOptions:\n";
  if (help.rows) text += kRowOptions;
  text += help.options;
  text += "  -h, --help           this help\n\n";
  if (help.verb == "find") {
    text += kFindExitStatus;
  } else if (help.verb == "diff") {
    text += kDiffExitStatus;
  } else {
    text += kExitStatus;
  }
  return text;
}

}  // namespace

std::string_view VerbHelp(std::string_view verb) {
  static const auto texts = [] {
    std::array<std::string, kHelps.size()> composed;
    for (std::size_t i = 0; i < kHelps.size(); ++i)
      composed[i] = Compose(kHelps[i]);
    return composed;
  }();
  for (std::size_t i = 0; i < kHelps.size(); ++i) {
    if (kHelps[i].verb == verb) return texts[i];
  }
  return {};
}

}  // namespace cli
