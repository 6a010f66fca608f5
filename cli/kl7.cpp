// kl7's entry: parses the command line, runs one verb, and turns the outcome into an exit status.
#include "cli/kl7.h"

#include <exception>
#include <new>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/status_text.h"
#include "cli/verb_help.h"
#include "cli/verbs.h"
#include "text/control_escape.h"

#ifndef KL7_VERSION
#define KL7_VERSION "0"
#endif

namespace cli {

namespace {

constexpr std::string_view kHelp =
    R"HELP(Usage: kl7 [OPTION]... VERB [OPTION]... OPERAND...
       kl7 help [VERB], kl7 VERB --help: one verb's usage, options, exit status
Shows the libraries (KL7xx.DAT record files) of a utils directory as the
viewer shows them. Never writes to a library or its directory.

Verbs:
  info FILE...      Btrieve facts (format, page size, record lengths, records,
                    pages, key segments, file flags) and the library view
                    (layout, DataLength or L, H and records per entry, entries)
  list DIR          one row per library file in DIR: number, hex, file,
                    layout, entries, catalogue name, status and its meaning
  dump TARGET [N]...
                    the entries of one library as the viewer shows them;
                    TARGET is a utils directory (N: the library, default 0)
                    or a KL7xx.DAT file (then without N); of several
                    libraries export's rows
  export TARGET [N]...
                    the entries of every library of TARGET (a utils directory,
                    or one KL7xx.DAT file), or of the libraries N, with
                    number and name; with --format html one self-contained
                    web page of them
  find TEXT TARGET  the entries of any library of TARGET whose shown text
                    contains TEXT, compared by Unicode case folding
                    (--exact: is TEXT; --regex: matches TEXT; --umlaut: ue,
                    oe, ae, ss also for ü, ö, ä, ß)
  check PATH...     validates library files and utils directories: files that
                    do not load (and why), entries the loader marked, entry
                    counts beyond 65,535, catalogue names without a file,
                    files of one library differing only in letter case
  records FILE      any Btrieve file's records in key-0 order, as hex (in file
                    order, with a line on stderr, when key 0's type cannot be
                    ordered)
  verify FILE...    walks each key's own index pages and compares them with
                    the records: one line per finding, PATH, key N, page P,
                    entry E (pages and entries from 0, - where none applies)
                    and what differs, tab-separated; nothing when consistent
  refs TARGET N [M] the entries of every library of TARGET's utils directory
                    that refer to library N (entry M), with the outcome
  refs --all TARGET every reference there, with its target and outcome
  diff DIR1 DIR2    libraries added and removed, entry counts that differ and
                    each entry whose text (as written; --resolved: as shown)
                    differs between two utils directories

A library N is a number 0 to 255 (26, 0x1A or $1A), a range (3-7; dump and
export) or a name of the catalogue (as find compares, the whole name).

Options (before or after the verb):
  -f, --format FORMAT
                    text (default: tab-separated, no header), tsv (with
                    header), csv (RFC 4180, with header), json (one array),
                    jsonl (one object a line) or table (aligned columns with
                    a header, cut with "…" to a terminal's width, and only
                    there); text, tsv and table write tab,
                    newline, CR and backslash as \t \n \r \\; export also
                    html (one page: catalogue, one library at a time,
                    references as links both ways, search as find folds)
  --no-header       csv, tsv and table without the header row
  --encoding ENC    utf-8 (default) or cp1252: entry texts as the file's bytes
                    (text, tsv and csv only)
  --no-resolve      dump, export: references as written, not resolved
  -d, --detail      dump, export: add raw text, target library and entry, and
                    the outcome of the reference's resolution
  --all             refs: every reference, not those into one library
  -r, --resolved    diff: compare the texts as shown, references resolved
  --raw             records: the records' bytes one after another
  --exact, --regex, --umlaut
                    find: see above (--regex: ECMAScript, letter case
                    ignored, no back-references)
  -h, --help        this help
  --version         the version

Columns:
  dump: entry, text           export, find: library, name, entry, text
  info: file, property, value
  list: library, hex, file, layout, entries, name, status, message
  check: file, library, entry, problem, text
  refs: library, name, entry, text, target_library, target_entry, outcome
  --detail adds: raw, target_library, target_entry, outcome
  diff: change, library, name, entry, old, new; change is library-added,
  library-removed, unreadable (old, new: the status), entry-count (old,
  new: the counts), entry, entry-added or entry-removed
Outcomes: resolved, target-unreadable, entry-beyond-library,
  entry-not-positive, library-negative, library-above-255,
  library-outside-tables, not-a-reference

A file that cannot be read is reported as "kl7: PATH: message (status N)";
for a damaged or unsupported file the message names the check that failed
and where, e.g. "damaged file: page 17 of 120: record slot 40 lies beyond
the page (status 2)".

Exit status:
  0  all went well
  1  a file could not be read (one line on stderr; the rest is printed), a
     directory holds no library file, check or verify found a problem, or
     the output failed
  2  usage error (one line on stderr)
find (as grep): 0 something matched and every library was read, 1 nothing
  matched, 2 usage error or a library that could not be read
diff: 0 the two are the same, 1 they differ (a library that one side cannot
  read is a difference, and a line on stderr), 2 usage error or a directory
  that cannot be listed or holds no library file
)HELP";

// One message line on the error stream, its control characters escaped: names and texts in it
// come from files and arguments.
void Say(std::ostream& err, std::string_view line) {
  err << text::ControlsEscaped(line) << '\n';
}

}  // namespace

void VerbContext::ReportStatus(std::string_view path, std::uint16_t status,
                               const std::optional<btrieve::Reason>& reason) {
  Say(m_err, "kl7: " + std::string(path) + ": " + StatusMessage(status, reason) + " (status " +
                 std::to_string(status) + ")");
  m_trouble = true;
}

void VerbContext::Report(std::string_view path, std::string_view message) {
  Say(m_err, "kl7: " + std::string(path) + ": " + std::string(message));
  m_trouble = true;
}

void VerbContext::Note(std::string_view path, std::string_view message) {
  Say(m_err, "kl7: " + std::string(path) + ": " + std::string(message));
}

int Run(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
        std::size_t terminalWidth) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.error.empty()) {
    Say(err, "kl7: " + parsed.error + " (see kl7 --help)");
    return kExitUsage;
  }
  Options options = parsed.options;
  options.terminalWidth = terminalWidth;
  if (options.help) {
    const std::string_view verbHelp = VerbHelp(options.verb);
    out << (verbHelp.empty() ? kHelp : verbHelp) << std::flush;
    return out ? kExitSuccess : kExitTrouble;
  }
  if (options.version) {
    out << "kl7 " << KL7_VERSION << '\n' << std::flush;
    return out ? kExitSuccess : kExitTrouble;
  }

  VerbContext context(options, out, err);
  // find, like grep, says 2 for any trouble (1 is "nothing matched").
  const int trouble = options.verb == "find" ? kExitUsage : kExitTrouble;
  try {
    const std::string_view verb = options.verb;
    if (verb == "info") {
      RunInfo(context);
    } else if (verb == "list") {
      RunList(context);
    } else if (verb == "dump") {
      RunDump(context);
    } else if (verb == "export") {
      RunExport(context);
    } else if (verb == "find") {
      RunFind(context);
    } else if (verb == "check") {
      RunCheck(context);
    } else if (verb == "refs") {
      RunRefs(context);
    } else if (verb == "diff") {
      RunDiff(context);
    } else if (verb == "verify") {
      RunVerify(context);
    } else {
      RunRecords(context);
    }
  } catch (const UsageError& error) {
    Say(err, "kl7: " + error.message + " (see kl7 --help)");
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    // The usual line, naming what was being read, never the exception's name.
    const std::size_t target = options.verb == "find" ? 1 : 0;
    const std::string path =
        target < options.operands.size() ? options.operands[target] : std::string("kl7");
    Say(err, "kl7: " + path + ": not enough memory");
    return trouble;
  } catch (const std::exception& error) {
    Say(err, std::string("kl7: ") + error.what());
    return trouble;
  }
  out.flush();
  if (!out) {
    err << "kl7: cannot write the output\n";
    return trouble;
  }
  if (context.ExitStatus()) return *context.ExitStatus();
  return context.Trouble() ? kExitTrouble : kExitSuccess;
}

}  // namespace cli
