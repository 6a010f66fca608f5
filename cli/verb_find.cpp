// kl7 find TEXT TARGET: the entries of any library whose shown text contains TEXT (or is it, or
// matches it as a regular expression), compared by the search folding. Exit statuses as grep's.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

#include "cli/kl7.h"
#include "cli/library_walk.h"
#include "cli/verbs.h"
#include "libraries/text_folding.h"
#include "text/codepage.h"

namespace cli {

namespace {

// Letter case ignored by the one-to-one foldings of the characters an entry text can hold (the
// standard traits know only ASCII in the "C" locale).
struct FoldingTraits : std::regex_traits<wchar_t> {
  [[nodiscard]] wchar_t translate_nocase(wchar_t c) const {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    switch (c) {
      case 0x0152:  // Œ
      case 0x0160:  // Š
      case 0x017D:  // Ž
      case 0x0191:  // Ƒ
        return static_cast<wchar_t>(c + 1);
      case 0x0178:  // Ÿ
        return 0x00FF;
      case 0x00B5:  // micro sign
      case 0x039C:  // capital mu
        return 0x03BC;
      case 0x212A:  // Kelvin sign
        return L'k';
      case 0x212B:  // Angstrom sign
        return 0x00E5;
      default:
        return c;
    }
  }
};
using FoldingRegex = std::basic_regex<wchar_t, FoldingTraits>;

// A pattern's length beyond which it is refused: its compilation recurses into each group.
constexpr std::size_t kLongestPattern = 4096;

// What a regular expression's error code says, in the words of this program (the library's own
// texts vary and name its internals).
std::string_view RegexProblem(std::regex_constants::error_type code) {
  namespace rc = std::regex_constants;
  if (code == rc::error_collate) return "an unknown collating element";
  if (code == rc::error_ctype) return "an unknown character class";
  if (code == rc::error_escape) return "a bad escape";
  if (code == rc::error_backref) return "a bad back-reference";
  if (code == rc::error_brack) return "unmatched [ or ]";
  if (code == rc::error_paren) return "unmatched ( or )";
  if (code == rc::error_brace) return "unmatched { or }";
  if (code == rc::error_badbrace) return "a bad {} repetition";
  if (code == rc::error_range) return "a bad range in [...]";
  if (code == rc::error_badrepeat) return "a repetition of nothing";
  // The polynomial mode reports back-references as too complex.
  if (code == rc::error_complexity) return "back-references are not supported";
  return "too large or too complex";
}

std::wstring WideOf(std::u32string_view characters) {
  std::wstring wide;
  for (const char32_t c : characters) {
    if constexpr (sizeof(wchar_t) == 2) {
      if (c >= 0x10000) {
        wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        wide += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        continue;
      }
    }
    wide += static_cast<wchar_t>(c);
  }
  return wide;
}

// The test an entry's shown text (Windows-1252) must pass.
std::function<bool(const std::string&)> Matcher(const Options& options) {
  const std::string& text = options.operands[0];
  if (!options.regex) {
    auto needle = std::make_shared<core::FoldedNeedle>(
        text, options.umlaut ? core::Folding::kUmlaut : core::Folding::kCase);
    if (options.exact) return [needle](const std::string& shown) { return needle->Equals(shown); };
    return [needle](const std::string& shown) { return needle->FoundIn(shown); };
  }
  const std::wstring pattern = WideOf(text::Utf8ToUtf32(text));
  if (pattern.size() > kLongestPattern) {
    throw UsageError{"find: the regular expression is longer than " +
                     std::to_string(kLongestPattern) + " characters"};
  }
  // The polynomial mode matches in time linear in the text (it refuses back-references, as too
  // complex); a search is a match of the pattern with anything around it, so that the text is
  // read once.
  constexpr auto kFlags = std::regex::ECMAScript | std::regex::icase | std::regex::nosubs |
                          std::regex_constants::__polynomial;
  std::shared_ptr<FoldingRegex> regex;
  try {
    FoldingRegex alone(pattern, kFlags);  // checked alone: wrapped, it cannot leave its group
    regex = std::make_shared<FoldingRegex>(
        options.exact ? pattern : L"[\\s\\S]*(?:" + pattern + L")[\\s\\S]*", kFlags);
  } catch (const std::regex_error& error) {
    throw UsageError{"find: '" + text +
                     "' is no regular expression: " + std::string(RegexProblem(error.code()))};
  }
  return [regex, shownWide = std::wstring()](const std::string& shown) mutable {
    shownWide.clear();
    for (const char byte : shown)
      shownWide += static_cast<wchar_t>(text::Cp1252ToUnicode(static_cast<std::uint8_t>(byte)));
    return std::regex_match(shownWide, *regex);
  };
}

}  // namespace

void RunFind(VerbContext& context) {
  const std::function<bool(const std::string&)> matches = Matcher(context.CommandLine());
  RowWriter writer(context.Out(), context.CommandLine(), kLibraryEntryColumns);
  std::array<std::string, 4> row;
  bool found = false;
  VisitLibraries(context, "find", context.CommandLine().operands[1], true,
                 [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
                     core::LibraryCache&) {
                   for (std::size_t k = 1; k < list.Count(); ++k) {
                     // The text as shown: a reference with its target's text joined on.
                     row[3].clear();
                     list[k].AppendTo(row[3]);
                     if (!matches(row[3])) continue;
                     found = true;
                     row[0] = std::to_string(number);
                     row[1] = name;
                     row[2] = std::to_string(k);
                     writer.Row(row);
                   }
                 });
  writer.Finish();
  // As grep: 2 when a library could not be read, else 0 when something matched, 1 when nothing.
  context.SetExitStatus(context.Trouble() ? kExitUsage : found ? kExitSuccess : kExitTrouble);
}

}  // namespace cli
