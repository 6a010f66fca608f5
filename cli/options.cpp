// Parsing of kl7's command line: GNU-style long options and a few short ones anywhere, "--" to end
// them.
#include "cli/options.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace cli {

namespace {

struct VerbRule {
  std::string_view name;
  std::size_t minOperands;
  std::size_t maxOperands;
  std::string_view operandsUsage;
  bool rows;       // prints rows: takes --format, --encoding and --no-header
  bool resolving;  // takes --no-resolve
  bool raw;        // takes --raw
  bool detail;     // takes --detail
};

constexpr std::size_t kMany = static_cast<std::size_t>(-1);

constexpr std::array<VerbRule, 10> kVerbs{{
    {"info", 1, kMany, "FILE...", true, false, false, false},
    {"list", 1, 1, "DIR", true, false, false, false},
    {"dump", 1, kMany, "TARGET [N]...", true, true, false, true},
    {"export", 1, kMany, "TARGET [N]...", true, true, false, true},
    {"find", 2, 2, "TEXT TARGET", true, false, false, false},
    {"check", 1, kMany, "PATH...", true, false, false, false},
    {"records", 1, 1, "FILE", false, false, true, false},
    {"refs", 2, 3, "TARGET N [M]", true, false, false, false},
    {"diff", 2, 2, "DIR1 DIR2", true, false, false, false},
    {"verify", 1, kMany, "FILE...", false, false, false, false},
}};

const VerbRule* FindVerb(std::string_view name) {
  for (const VerbRule& rule : kVerbs) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

std::optional<Format> FormatNamed(std::string_view name) {
  if (name == "text") return Format::kText;
  if (name == "tsv") return Format::kTsv;
  if (name == "csv") return Format::kCsv;
  if (name == "json") return Format::kJson;
  if (name == "jsonl") return Format::kJsonl;
  if (name == "table") return Format::kTable;
  if (name == "html") return Format::kHtml;
  return std::nullopt;
}

// The long option that a short one stands for.
std::optional<std::string_view> LongNameOf(char letter) {
  switch (letter) {
    case 'f':
      return "--format";
    case 'r':
      return "--resolved";
    case 'd':
      return "--detail";
    case 'h':
      return "--help";
    default:
      return std::nullopt;
  }
}

std::optional<Encoding> EncodingNamed(std::string_view name) {
  if (name == "utf-8" || name == "utf8" || name == "UTF-8") return Encoding::kUtf8;
  if (name == "cp1252" || name == "windows-1252" || name == "CP1252") return Encoding::kCp1252;
  return std::nullopt;
}

// The verb-dependent checks, once all arguments are read.
std::string CheckAgainstVerb(const Options& options) {
  const VerbRule* rule = FindVerb(options.verb);
  if (rule == nullptr) return "unknown verb '" + options.verb + "'";
  const std::string prefix = options.verb + ": ";
  if (!rule->rows && (options.formatGiven || options.encodingGiven || options.headerGiven)) {
    return prefix + "--format, --encoding and --no-header do not apply here";
  }
  if (!rule->resolving && options.resolveGiven) return prefix + "--no-resolve does not apply here";
  if (!rule->raw && options.raw) return prefix + "--raw does not apply here";
  if (!rule->detail && options.detail) return prefix + "--detail does not apply here";
  if (options.format == Format::kHtml) {
    if (options.verb != "export") return prefix + "--format html is for export only";
    if (options.detail) return prefix + "--detail does not apply to html";
    if (options.encodingGiven) return prefix + "html is always UTF-8: --encoding does not apply";
  }
  if (options.resolved && options.verb != "diff") return prefix + "--resolved does not apply here";
  if ((options.exact || options.regex || options.umlaut) && options.verb != "find") {
    return prefix + "--exact, --regex and --umlaut are for find only";
  }
  if (options.regex && options.umlaut) return prefix + "--umlaut does not apply to --regex";
  const std::size_t count = options.operands.size();
  if (options.all) {
    if (options.verb != "refs") return prefix + "--all does not apply here";
    if (count != 1) return prefix + "expected --all TARGET";
    return {};
  }
  if (count < rule->minOperands || count > rule->maxOperands) {
    return prefix + "expected " + std::string(rule->operandsUsage);
  }
  return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments) {
  ParsedCommandLine result;
  Options& options = result.options;
  bool optionsEnded = false;
  bool verbSeen = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool isOption =
        !optionsEnded && argument.size() > 1 && argument[0] == '-' && argument != "--";
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (!isOption) {
      if (!verbSeen) {
        options.verb = argument;
        verbSeen = true;
      } else {
        options.operands.push_back(argument);
      }
      continue;
    }

    // "--name=value" or "--name value" for the options that take a value; "-f VALUE" or "-fVALUE".
    std::string_view name = argument;
    std::optional<std::string> value;
    if (argument[1] != '-') {
      const std::optional<std::string_view> longName = LongNameOf(argument[1]);
      if (!longName) {
        result.error = "unknown option '" + argument.substr(0, 2) + "'";
        return result;
      }
      name = *longName;
      if (argument.size() > 2) {
        if (name != "--format") {
          result.error = "unknown option '" + argument + "'";
          return result;
        }
        value = argument.substr(2);
      }
    } else if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
      value = std::string(name.substr(equals + 1));
      name = name.substr(0, equals);
    }
    const bool takesValue = name == "--format" || name == "--encoding";
    if (takesValue && !value) {
      if (i + 1 >= arguments.size()) {
        result.error = "option '" + std::string(name) + "' needs a value";
        return result;
      }
      value = arguments[++i];
    }
    if (!takesValue && value) {
      result.error = "option '" + std::string(name) + "' takes no value";
      return result;
    }

    if (name == "--format") {
      const std::optional<Format> format = FormatNamed(*value);
      if (!format) {
        result.error =
            "unknown format '" + *value + "' (text, tsv, csv, json, jsonl, table or html)";
        return result;
      }
      options.format = *format;
      options.formatGiven = true;
    } else if (name == "--encoding") {
      const std::optional<Encoding> encoding = EncodingNamed(*value);
      if (!encoding) {
        result.error = "unknown encoding '" + *value + "' (utf-8 or cp1252)";
        return result;
      }
      options.encoding = *encoding;
      options.encodingGiven = true;
    } else if (name == "--no-header") {
      options.header = false;
      options.headerGiven = true;
    } else if (name == "--no-resolve") {
      options.resolve = false;
      options.resolveGiven = true;
    } else if (name == "--raw") {
      options.raw = true;
    } else if (name == "--all") {
      options.all = true;
    } else if (name == "--detail") {
      options.detail = true;
    } else if (name == "--resolved") {
      options.resolved = true;
    } else if (name == "--exact") {
      options.exact = true;
    } else if (name == "--regex") {
      options.regex = true;
    } else if (name == "--umlaut") {
      options.umlaut = true;
    } else if (name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else {
      result.error = "unknown option '" + std::string(name) + "'";
      return result;
    }
  }

  // "kl7 help [VERB]" is "kl7 [VERB] --help".
  if (verbSeen && options.verb == "help") {
    if (options.operands.size() > 1) {
      result.error = "help: expected [VERB]";
      return result;
    }
    options.verb = options.operands.empty() ? std::string() : options.operands.front();
    if (options.verb == "help") options.verb.clear();  // "kl7 help help": the overview
    options.operands.clear();
    options.help = true;
  }
  if (options.help && !options.verb.empty() && FindVerb(options.verb) == nullptr) {
    result.error = "unknown verb '" + options.verb + "'";
    return result;
  }
  if (options.help || options.version) return result;
  if ((options.format == Format::kJson || options.format == Format::kJsonl) &&
      options.encoding == Encoding::kCp1252) {
    result.error = "json and jsonl are always UTF-8: --encoding cp1252 does not apply";
    return result;
  }
  if (options.format == Format::kTable && options.encoding == Encoding::kCp1252) {
    result.error = "table is always UTF-8: --encoding cp1252 does not apply";
    return result;
  }
  if (!verbSeen) {
    result.error = "no verb given";
    return result;
  }
  result.error = CheckAgainstVerb(options);
  return result;
}

}  // namespace cli
