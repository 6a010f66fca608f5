// The html export: the texts go into the page as JSON data (never as markup), and the page's
// script draws the catalogue, one library, or the rows a search finds.
#include "cli/html_export.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/library_access.h"
#include "cli/library_target.h"
#include "cli/library_walk.h"
#include "cli/row_writer.h"
#include "libfile/record_manager.h"
#include "libraries/text_folding.h"

namespace cli {

namespace {

constexpr std::string_view kPageHead = R"HTML(<!DOCTYPE html>
<html lang="de">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'">
<title>Bibliotheken</title>
<style>
body { font-family: "MS Sans Serif", "DejaVu Sans", sans-serif; margin: 0; }
header { position: sticky; top: 0; background: #eee; padding: 0.5em; display: flex; flex-wrap: wrap; gap: 0.5em; align-items: center; border-bottom: 1px solid #999; }
header a { white-space: nowrap; }
#search { flex: 1 1 12em; min-width: 8em; font-size: 1em; padding: 0.3em; }
main { padding: 0.5em; }
h1 { font-size: 1.2em; margin: 0.3em 0; }
h1, .name, nav.step a { overflow-wrap: break-word; }
nav.step { display: flex; flex-wrap: wrap; justify-content: space-between; gap: 0.5em; margin: 0.3em 0; }
th { font-weight: normal; color: #555; font-size: 0.85em; }
mark { background: #fe6; color: inherit; }
table { border-collapse: collapse; width: 100%; }
td, th { border-bottom: 1px solid #ddd; padding: 0.2em 0.4em; vertical-align: top; text-align: left; }
td.num { text-align: right; white-space: nowrap; width: 1%; }
td.text { white-space: pre-wrap; overflow-wrap: anywhere; }
td.used { font-size: 0.85em; }
tr:target, tr.target { background: #ffd; }
@media print { header, p.pages, nav.step { display: none; } tr { break-inside: avoid; } }
</style>
<script>window.kl7Errors = []; window.addEventListener("error", function (e) { window.kl7Errors.push(String(e.message)); });</script>
</head>
<body>
<header><a href="#catalogue" id="home">Bibliotheksnamen</a><input id="search" type="search" placeholder="Suchen" aria-label="Suchen"></header>
<main id="view"></main>
<script type="application/json" id="kl7-data">)HTML";

constexpr std::string_view kPageTail = R"HTML(</script>
<script>
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("kl7-data").textContent);
  const libraries = new Map();
  const usedBy = new Map();  // "n,k" -> [[library, entry], ...]
  // A resolved reference's text is [own text and joint, target number(, the target's text where
  // the number first appears)]: each target text is in the data once.
  const targets = [];
  for (const library of data.libraries) {
    libraries.set(library.n, library);
    for (const text of library.texts) {
      if (typeof text !== "string" && text.length > 2) targets[text[1]] = text[2];
    }
    library.refIndex = new Map();
    for (const [entry, targetLibrary, targetEntry] of library.refs) {
      library.refIndex.set(entry, [targetLibrary, targetEntry]);
      const key = targetLibrary + "," + targetEntry;
      if (!usedBy.has(key)) usedBy.set(key, []);
      usedBy.get(key).push([library.n, entry]);
    }
  }
  function textOf(library, k) {
    const text = library.texts[k - 1];
    return typeof text === "string" ? text : text[0] + targets[text[1]];
  }
  window.kl7Text = (n, k) => textOf(libraries.get(n), k);
  // The folding of kl7 find, as its table in the data (every character that folds to another).
  const foldings = new Map(Object.entries(data.fold));
  function fold(text) {
    let out = "";
    for (const character of text) out += foldings.get(character) ?? character;
    return out;
  }
  // `text` as markup with each occurrence of the folded `needle` marked: the characters whose
  // foldings it covers, whole.
  function highlighted(text, needle) {
    const characters = Array.from(text);
    let folded = "";
    const owner = [];  // for each code unit of `folded`, the character it came from
    characters.forEach((character, i) => {
      const f = foldings.get(character) ?? character;
      folded += f;
      for (let u = 0; u < f.length; ++u) owner.push(i);
    });
    const marked = new Array(characters.length).fill(false);
    if (needle.length > 0) {
      for (let at = folded.indexOf(needle); at >= 0; at = folded.indexOf(needle, at + needle.length)) {
        for (let u = at; u < at + needle.length; ++u) marked[owner[u]] = true;
      }
    }
    let html = "";
    let open = false;
    characters.forEach((character, i) => {
      if (marked[i] !== open) { html += open ? "</mark>" : "<mark>"; open = marked[i]; }
      html += escape(character);
    });
    return open ? html + "</mark>" : html;
  }
  window.kl7Fold = fold;
  const escapes = { "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&#39;" };
  function escape(text) { return String(text).replace(/[&<>"']/g, (c) => escapes[c]); }
  function anchor(n, k) { return "L" + n + "E" + k; }
  function libraryTitle(library) { return library.n + " " + library.name; }
  // The libraries in number order, for the previous and next links.
  const ordered = Array.from(libraries.values()).sort((a, b) => a.n - b.n);
  function textCell(library, k) {
    const text = escape(textOf(library, k));
    const target = library.refIndex.get(k);
    if (target && libraries.has(target[0]) && target[1] >= 1 && target[1] <= libraries.get(target[0]).texts.length) {
      return '<a class="ref" href="#' + anchor(target[0], target[1]) + '">' + text + "</a>";
    }
    return text;
  }
  function usedCell(library, k) {
    const users = usedBy.get(library.n + "," + k);
    if (!users) return "";
    return users.map(([n, e]) => '<a class="back" href="#' + anchor(n, e) + '" aria-label="Bibliothek ' + n +
      ", Eintrag " + e + '">' + n + "," + e + "</a>").join(" ");
  }
  // A table's header row: the columns' names, for the eye and for screen readers.
  function heads(names) {
    return "<thead><tr>" + names.map((name) => '<th scope="col">' + name + "</th>").join("") + "</tr></thead>";
  }
  const view = document.getElementById("view");
  const search = document.getElementById("search");
  function showCatalogue() {
    const rows = data.libraries.map((library) =>
      '<tr><td class="num">' + library.n + '</td><td class="name"><a href="#L' + library.n + '">' +
      escape(library.name || "") + '</a></td><td class="num">' + library.texts.length + "</td></tr>");
    view.innerHTML = "<h1>Bibliotheksnamen</h1><table>" + heads(["Nr.", "Name", "Eintr\u00E4ge"]) + "<tbody>" +
      rows.join("") + "</tbody></table>";
    document.body.dataset.library = "";
    shown = null;
  }
  // A long library is shown a thousand rows at a time, so that it opens at once; printing shows
  // every row of it.
  const kPage = 1000;
  let shown = null;
  function showLibrary(library, entry, all) {
    const total = library.texts.length;
    const first = all ? 1 : Math.floor(Math.max(entry - 1, 0) / kPage) * kPage + 1;
    const last = all ? total : Math.min(total, first + kPage - 1);
    const rows = [];
    for (let k = first; k <= last; ++k) {
      rows.push('<tr id="' + anchor(library.n, k) + '"><td class="num">' + k + '</td><td class="text">' +
        textCell(library, k) + '</td><td class="used">' + usedCell(library, k) + "</td></tr>");
    }
    let pages = "";
    if (first > 1 || last < total) {
      pages = '<p class="pages">' +
        (first > 1 ? '<a class="page" href="#' + anchor(library.n, first - kPage) + '">\u00AB</a> ' : "") +
        first + "\u2013" + last + " / " + total +
        (last < total ? ' <a class="page" href="#' + anchor(library.n, last + 1) + '">\u00BB</a>' : "") + "</p>";
    }
    const at = ordered.indexOf(library);
    const step = (other, rel, label) => other ? '<a rel="' + rel + '" class="' + rel + '" href="#L' + other.n + '">' +
      label.replace("%", escape(libraryTitle(other))) + "</a>" : "<span></span>";
    const nav = '<nav class="step" aria-label="Bibliotheken">' + step(ordered[at - 1], "prev", "\u00AB %") +
      step(ordered[at + 1], "next", "% \u00BB") + "</nav>";
    view.innerHTML = '<h1 class="name">' + escape(libraryTitle(library)) + "</h1>" + nav + pages + "<table>" +
      heads(["Nr.", "Text", "Verwendet von"]) + "<tbody>" + rows.join("") + "</tbody></table>";
    document.body.dataset.library = String(library.n);
    shown = { library: library, entry: entry, partial: first > 1 || last < total };
    if (entry) {
      const row = document.getElementById(anchor(library.n, entry));
      if (row) { row.classList.add("target"); row.scrollIntoView(); }
    }
  }
  let expandedForPrint = false;
  window.addEventListener("beforeprint", () => {
    if (!shown || !shown.partial) return;
    expandedForPrint = true;
    showLibrary(shown.library, 0, true);
  });
  window.addEventListener("afterprint", () => {
    if (!expandedForPrint) return;
    expandedForPrint = false;
    route();
  });
  // The folded texts, made at the first search: a reference's own text and its target's apart,
  // each target's once.
  let foldedTargets = null;
  function foldAll() {
    foldedTargets = targets.map(fold);
    for (const library of data.libraries) {
      library.folded = library.texts.map((text) => typeof text === "string" ? fold(text) : fold(text[0]));
    }
  }
  function matches(library, k, needle) {
    const text = library.texts[k - 1];
    const own = library.folded[k - 1];
    if (own.includes(needle)) return true;
    if (typeof text === "string") return false;
    const target = foldedTargets[text[1]];
    if (target.includes(needle)) return true;
    // A match across the joint: the end of one and the start of the other.
    const reach = needle.length - 1;
    return reach > 0 && (own.slice(-reach) + target.slice(0, reach)).includes(needle);
  }
  function showMatches(needle) {
    const folded = fold(needle);
    if (foldedTargets === null) foldAll();
    const rows = [];
    for (const library of data.libraries) {
      for (let k = 1; k <= library.texts.length; ++k) {
        if (!matches(library, k, folded)) continue;
        rows.push('<tr class="match"><td class="num"><a href="#' + anchor(library.n, k) + '">' + library.n + "," + k +
          '</a></td><td class="name">' + escape(library.name || "") + '</td><td class="text">' +
          highlighted(textOf(library, k), folded) + "</td></tr>");
      }
    }
    view.innerHTML = "<h1>" + rows.length + " Treffer</h1><table>" + heads(["Stelle", "Bibliothek", "Text"]) +
      "<tbody>" + rows.join("") + "</tbody></table>";
    document.body.dataset.library = "";
    shown = null;
  }
  // The search is kept in the address (#search=...), so that a reload or a shared link keeps it.
  function searchInAddress() {
    if (!location.hash.startsWith("#search=")) return null;
    const coded = location.hash.slice("#search=".length);
    try { return decodeURIComponent(coded); } catch (e) { return coded; }
  }
  function route() {
    const match = /^#L(\d+)(?:E(\d+))?$/.exec(location.hash);
    const searched = searchInAddress();
    if (match && libraries.has(Number(match[1]))) {
      search.value = "";
      showLibrary(libraries.get(Number(match[1])), match[2] ? Number(match[2]) : 0);
    } else if (searched !== null && searched !== "") {
      search.value = searched;
      showMatches(searched);
    } else {
      search.value = "";
      showCatalogue();
    }
  }
  search.addEventListener("input", () => {
    // The address follows the search without a history entry per key.
    history.replaceState(null, "", search.value === "" ? "#catalogue" : "#search=" + encodeURIComponent(search.value));
    route();
  });
  window.addEventListener("hashchange", route);
  route();
})();
</script>
</body>
</html>
)HTML";

// Page text is collected in a buffer written out whenever it holds this much: the page is
// streamed, never held whole.
constexpr std::size_t kFlushBytes = std::size_t{1} << 16;

class PageWriter {
 public:
  explicit PageWriter(std::ostream& out) : m_out(out) { m_buffer.reserve(2 * kFlushBytes); }

  void Append(std::string_view text) {
    m_buffer.append(text);
    FlushWhenFull();
  }
  void Number(std::uint64_t value) { Append(std::to_string(value)); }

  // `cp1252` as a JSON string literal, with "<" written as \u003c so that no text can end the
  // data's script element. One pass over the text.
  void Text(std::string_view cp1252) {
    m_utf8.clear();
    AppendCp1252AsUtf8(m_utf8, cp1252);
    m_json.clear();
    AppendJsonString(m_json, m_utf8);
    std::size_t from = 0;
    for (std::size_t at = m_json.find('<'); at != std::string::npos; at = m_json.find('<', from)) {
      m_buffer.append(m_json, from, at - from);
      m_buffer += "\\u003c";
      from = at + 1;
    }
    m_buffer.append(m_json, from);
    FlushWhenFull();
  }

  void Finish() {
    m_out << m_buffer;
    m_buffer.clear();
    m_out.flush();
  }

 private:
  void FlushWhenFull() {
    if (m_buffer.size() < kFlushBytes) return;
    m_out << m_buffer;
    m_buffer.clear();
  }

  std::ostream& m_out;
  std::string m_buffer;
  std::string m_utf8;
  std::string m_json;
};

// The texts that resolved references show after their own: each goes into the page once, with a
// number that every later reference to it names. Kept per target library for the list it was
// read from, so that a list read anew never takes a number given to an older text.
class TargetTexts {
 public:
  // The number of entry `entry` of `list` (library `library`), and whether it is new (its text
  // not yet in the page).
  std::pair<std::uint32_t, bool> Number(std::uint8_t library,
                                        const std::shared_ptr<const core::tcodelist>& list,
                                        std::size_t entry) {
    Known& known = m_known[library];
    if (known.list != list) {
      known.list = list;
      known.numbers.assign(list != nullptr ? list->Count() : 0, 0);
    }
    if (entry >= known.numbers.size()) known.numbers.resize(entry + 1, 0);
    std::uint32_t& number = known.numbers[entry];
    const bool added = number == 0;
    if (added) number = ++m_next;
    return {number - 1, added};
  }

 private:
  // Per entry of the list, its number plus one (0: none yet): four bytes per entry of a library
  // that references show, in proportion to what was read.
  struct Known {
    std::shared_ptr<const core::tcodelist> list;
    std::vector<std::uint32_t> numbers;
  };
  std::array<Known, 256> m_known;
  std::uint32_t m_next = 0;
};

}  // namespace

// The page's data: per library its number, name, texts and resolving references. A text is a
// string, or for a resolved reference [own text and joint, target number] with the target's text
// added as a third element where that number first appears; the page's script joins them. Each
// text is written once, so the page grows with the files read, not with the references into them.
void RunHtmlExport(VerbContext& context) {
  const Options& options = context.CommandLine();
  // Some libraries of a directory: those and its catalogue, which the page opens with.
  std::vector<std::string> libraries(options.operands.begin() + 1, options.operands.end());
  CheckLibraryOperands("export", options.operands[0], libraries);  // before the page is begun
  if (!libraries.empty() && KindOfPath(options.operands[0]) == PathKind::kDirectory) {
    std::string error;
    const std::optional<std::vector<LibraryFile>> files =
        FindLibraryFiles(options.operands[0], error);
    if (files && !files->empty() && files->front().number == 0)
      libraries.insert(libraries.begin(), "0");
  }
  PageWriter page(context.Out());
  page.Append(kPageHead);
  // The search's folding, as a table that the page's script applies to the search text and the
  // texts: the rules of kl7 find, from its own code.
  page.Append("{\"fold\":{");
  std::string json;
  bool firstFolding = true;
  for (const auto& [character, folded] : core::FoldingTable()) {
    json.clear();
    if (!firstFolding) json += ',';
    firstFolding = false;
    AppendJsonString(json, core::BmpUtf8(std::u32string(1, character)));
    json += ':';
    AppendJsonString(json, core::BmpUtf8(folded));
    page.Append(json);
  }
  page.Append("},\"libraries\":[");
  std::string text;
  bool firstLibrary = true;
  TargetTexts targets;
  std::vector<std::array<std::uint32_t, 3>> references;
  libfile::NativeRecordManager manager;
  VisitLibraries(
      context, "export", options.operands[0], options.resolve,
      [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
          core::LibraryCache& cache) {
        page.Append(firstLibrary ? "\n{\"n\":" : ",\n{\"n\":");
        firstLibrary = false;
        page.Number(number);
        page.Append(",\"name\":");
        page.Text(name);
        page.Append(",\"texts\":[");
        // The references that resolve, from the resolver's own classification of the raw texts.
        references.clear();
        const std::shared_ptr<const core::tcodelist> raw = RawList(cache, manager, number);
        for (std::size_t k = 1; k < list.Count(); ++k) {
          if (k > 1) page.Append(",");
          const core::EntryText shown = list[k];
          core::LibraryCache::Resolution resolution;
          if (raw != nullptr && k < raw->Count() && (*raw)[k].head.starts_with("LIB")) {
            resolution = cache.ClassifyReference((*raw)[k].String());
          }
          const bool resolved = resolution.outcome == core::ReferenceOutcome::kResolved;
          if (resolved) {
            references.push_back({static_cast<std::uint32_t>(k),
                                  static_cast<std::uint32_t>(resolution.reference.library),
                                  static_cast<std::uint32_t>(resolution.reference.entry)});
          }
          // A shown text that ends in a view of the target's text names it instead of repeating it.
          const bool joined = resolved && resolution.target.tail.empty() && !shown.tail.empty() &&
                              shown.tail.data() == resolution.target.head.data() &&
                              shown.tail.size() == resolution.target.head.size();
          if (!joined) {
            text.clear();
            shown.AppendTo(text);
            page.Text(text);
            continue;
          }
          const auto [id, added] =
              targets.Number(static_cast<std::uint8_t>(resolution.reference.library),
                             resolution.list, static_cast<std::size_t>(resolution.reference.entry));
          page.Append("[");
          page.Text(shown.head);
          page.Append(",");
          page.Number(id);
          if (added) {
            page.Append(",");
            page.Text(shown.tail);
          }
          page.Append("]");
        }
        page.Append("],\"refs\":[");
        for (std::size_t i = 0; i < references.size(); ++i) {
          const auto& [entry, library, target] = references[i];
          page.Append(i == 0 ? "[" : ",[");
          page.Number(entry);
          page.Append(",");
          page.Number(library);
          page.Append(",");
          page.Number(target);
          page.Append("]");
        }
        page.Append("]}");
      },
      false, libraries);
  page.Append("]}");
  page.Append(kPageTail);
  page.Finish();
}

}  // namespace cli
