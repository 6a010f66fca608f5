// The html export: the texts go into the page as JSON data (never as markup), and the page's
// script draws the catalogue, one library, or the rows a search finds.
#include "cli/html_export.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
table { border-collapse: collapse; width: 100%; }
td, th { border-bottom: 1px solid #ddd; padding: 0.2em 0.4em; vertical-align: top; text-align: left; }
td.num { text-align: right; white-space: nowrap; width: 1%; }
td.text { white-space: pre-wrap; overflow-wrap: anywhere; }
td.used { font-size: 0.85em; }
tr:target, tr.target { background: #ffd; }
@media print { header, p.pages { display: none; } tr { break-inside: avoid; } }
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
  for (const library of data.libraries) {
    libraries.set(library.n, library);
    library.refIndex = new Map();
    for (const [entry, targetLibrary, targetEntry] of library.refs) {
      library.refIndex.set(entry, [targetLibrary, targetEntry]);
      const key = targetLibrary + "," + targetEntry;
      if (!usedBy.has(key)) usedBy.set(key, []);
      usedBy.get(key).push([library.n, entry]);
    }
  }
  // The folding of kl7 find: the same rules, applied to the search text.
  function foldCharacter(c) {
    if ((c >= 0x41 && c <= 0x5A) || (c >= 0xC0 && c <= 0xDE && c !== 0xD7)) return String.fromCodePoint(c + 0x20);
    switch (c) {
      case 0xDF: case 0x1E9E: return "ss";
      case 0x152: case 0x160: case 0x17D: case 0x191: return String.fromCodePoint(c + 1);
      case 0x178: return "\u00FF";
      case 0xB5: case 0x39C: return "\u03BC";
      case 0x17F: return "s";
      case 0x212A: return "k";
      case 0x212B: return "\u00E5";
      case 0xFB00: return "ff";
      case 0xFB01: return "fi";
      case 0xFB02: return "fl";
      case 0xFB03: return "ffi";
      case 0xFB04: return "ffl";
      case 0xFB05: case 0xFB06: return "st";
    }
    return String.fromCodePoint(c);
  }
  function fold(text) {
    let out = "";
    for (const character of text) out += foldCharacter(character.codePointAt(0));
    return out;
  }
  window.kl7Fold = fold;
  const escapes = { "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&#39;" };
  function escape(text) { return String(text).replace(/[&<>"']/g, (c) => escapes[c]); }
  function anchor(n, k) { return "L" + n + "E" + k; }
  function libraryTitle(library) { return library.n + " " + library.name; }
  function textCell(library, k) {
    const text = escape(library.texts[k - 1]);
    const target = library.refIndex.get(k);
    if (target && libraries.has(target[0]) && target[1] >= 1 && target[1] <= libraries.get(target[0]).texts.length) {
      return '<a class="ref" href="#' + anchor(target[0], target[1]) + '">' + text + "</a>";
    }
    return text;
  }
  function usedCell(library, k) {
    const users = usedBy.get(library.n + "," + k);
    if (!users) return "";
    return users.map(([n, e]) => '<a class="back" href="#' + anchor(n, e) + '">' + n + "," + e + "</a>").join(" ");
  }
  const view = document.getElementById("view");
  const search = document.getElementById("search");
  function showCatalogue() {
    const rows = data.libraries.map((library) =>
      '<tr><td class="num">' + library.n + '</td><td class="text"><a href="#L' + library.n + '">' +
      escape(library.name || "") + '</a></td><td class="num">' + library.texts.length + "</td></tr>");
    view.innerHTML = "<h1>Bibliotheksnamen</h1><table><tbody>" + rows.join("") + "</tbody></table>";
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
    view.innerHTML = "<h1>" + escape(libraryTitle(library)) + "</h1>" + pages + "<table><tbody>" +
      rows.join("") + "</tbody></table>";
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
  function showMatches(needle) {
    const folded = fold(needle);
    const rows = [];
    for (const library of data.libraries) {
      for (let k = 1; k <= library.folded.length; ++k) {
        if (!library.folded[k - 1].includes(folded)) continue;
        rows.push('<tr class="match"><td class="num"><a href="#' + anchor(library.n, k) + '">' + library.n + "," + k +
          '</a></td><td class="text">' + escape(library.name || "") + '</td><td class="text">' +
          escape(library.texts[k - 1]) + "</td></tr>");
      }
    }
    view.innerHTML = "<h1>" + rows.length + " Treffer</h1><table><tbody>" + rows.join("") + "</tbody></table>";
    document.body.dataset.library = "";
    shown = null;
  }
  function route() {
    const match = /^#L(\d+)(?:E(\d+))?$/.exec(location.hash);
    if (match && libraries.has(Number(match[1]))) {
      search.value = "";
      showLibrary(libraries.get(Number(match[1])), match[2] ? Number(match[2]) : 0);
    } else if (search.value !== "") {
      showMatches(search.value);
    } else {
      showCatalogue();
    }
  }
  search.addEventListener("input", () => {
    if (search.value === "") { route(); return; }
    showMatches(search.value);
  });
  window.addEventListener("hashchange", route);
  route();
})();
</script>
</body>
</html>
)HTML";

// `text` (Windows-1252) as a JSON string literal, with "<" written as \u003c so that no text can
// end the data's script element.
void AppendText(std::string& out, std::string_view cp1252, std::string& scratch) {
  scratch.clear();
  AppendCp1252AsUtf8(scratch, cp1252);
  const std::size_t start = out.size();
  AppendJsonString(out, scratch);
  for (std::size_t at = out.find('<', start); at != std::string::npos; at = out.find('<', at)) {
    out.replace(at, 1, "\\u003c");
  }
}

}  // namespace

void RunHtmlExport(VerbContext& context) {
  const Options& options = context.CommandLine();
  std::string page(kPageHead);
  page += "{\"libraries\":[";
  std::string scratch;
  std::string text;
  bool firstLibrary = true;
  libfile::NativeRecordManager manager;
  VisitLibraries(
      context, "export", options.operands[0], options.resolve,
      [&](std::uint8_t number, const std::string& name, const core::tcodelist& list,
          core::LibraryCache& cache) {
        if (!firstLibrary) page += ",\n";
        firstLibrary = false;
        page += "{\"n\":" + std::to_string(number) + ",\"name\":";
        AppendText(page, name, scratch);
        page += ",\"texts\":[";
        for (std::size_t k = 1; k < list.Count(); ++k) {
          if (k > 1) page += ',';
          text.clear();
          list[k].AppendTo(text);
          AppendText(page, text, scratch);
        }
        page += "],\"folded\":[";
        for (std::size_t k = 1; k < list.Count(); ++k) {
          if (k > 1) page += ',';
          text.clear();
          list[k].AppendTo(text);
          const std::string folded = core::FoldedUtf8(text);
          const std::size_t start = page.size();
          AppendJsonString(page, folded);
          for (std::size_t at = page.find('<', start); at != std::string::npos;
               at = page.find('<', at)) {
            page.replace(at, 1, "\\u003c");
          }
        }
        // The references that resolve, from the resolver's own classification of the raw texts.
        page += "],\"refs\":[";
        bool firstReference = true;
        if (const std::shared_ptr<const core::tcodelist> raw = RawList(cache, manager, number)) {
          for (std::size_t k = 1; k < raw->Count(); ++k) {
            const core::EntryText entry = (*raw)[k];
            if (!entry.head.starts_with("LIB")) continue;
            const core::LibraryCache::Resolution resolution =
                cache.ClassifyReference(entry.String());
            if (resolution.outcome != core::ReferenceOutcome::kResolved) continue;
            if (!firstReference) page += ',';
            firstReference = false;
            page += '[' + std::to_string(k) + ',' + std::to_string(resolution.reference.library) +
                    ',' + std::to_string(resolution.reference.entry) + ']';
          }
        }
        page += "]}";
      });
  page += "]}";
  page += kPageTail;
  context.Out() << page;
}

}  // namespace cli
