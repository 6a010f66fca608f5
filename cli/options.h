// The command line of kl7: one verb, its operands, and the options that shape the output. Options
// may stand anywhere before "--", before the verb as after it; the first operand is the verb.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cli {

enum class Format { kText, kTsv, kCsv, kJson, kJsonl, kTable, kHtml };  // html: export only
enum class Encoding { kUtf8, kCp1252 };

struct Options {
  std::string verb;
  std::vector<std::string> operands;  // after the verb
  Format format = Format::kText;
  Encoding encoding = Encoding::kUtf8;
  bool header = true;     // csv and tsv: the row of column names
  bool resolve = true;    // dump, export: resolve references as the viewer does
  bool raw = false;       // records: the bytes as they are instead of hex
  bool all = false;       // refs: every reference of the directory
  bool detail = false;    // dump, export: raw text, target and outcome of each entry
  bool resolved = false;  // diff: compare the texts as shown, not as written
  bool exact = false;     // find: the whole shown text equals TEXT
  bool regex = false;     // find: TEXT is a regular expression
  bool umlaut = false;    // find: the German folding
  bool help = false;      // --help anywhere: print the help (the verb's, with a verb) and stop
  bool version = false;   // --version anywhere
  std::size_t terminalWidth = 0;  // the columns of the terminal that output goes to; 0: none

  // Which options were given, so that a verb can refuse those it has no use for.
  bool formatGiven = false;
  bool encodingGiven = false;
  bool headerGiven = false;
  bool resolveGiven = false;
};

struct ParsedCommandLine {
  Options options;
  std::string error;  // non-empty: a usage error, one line without the program's name
};

// Parses the arguments after the program's name. Checks the option values, the combinations that
// never make sense (json or jsonl with --encoding cp1252) and, when a verb is named and neither
// --help nor --version is given, that the verb exists, takes the given options, and has the right
// number of operands.
[[nodiscard]] ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

}  // namespace cli
