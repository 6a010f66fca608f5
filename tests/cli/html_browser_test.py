#!/usr/bin/env python3
"""The html export in headless Chromium: the page loads without script errors, every link leads to
an entry that exists and shows its library, references link exactly where kl7 refs says they
resolve, the search finds exactly what kl7 find finds (kept in the address, its matches marked),
texts stay text, tables have headers, libraries link to their neighbours, an export of some
libraries links among those only, and the page fits a phone (long names wrapped at word
boundaries) and prints every row.

Usage: html_browser_test.py KL7 MAKE_HTML_UTILS SAMPLES_DIR WORK_DIR
Exit 77 (skipped) when Chromium, chromedriver or Selenium is missing."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print("python3-selenium is missing: skipped")
    sys.exit(77)

kl7, make_utils, samples, work = sys.argv[1:5]
chromium = shutil.which("chromium") or shutil.which("chromium-browser")
chromedriver = shutil.which("chromedriver")
if not chromium or not chromedriver:
    print("chromium or chromedriver is missing: skipped")
    sys.exit(77)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def kl7_json(*arguments):
    result = subprocess.run([kl7, "--format", "json", *arguments], capture_output=True, text=True)
    return json.loads(result.stdout)


os.makedirs(work, exist_ok=True)
utils = os.path.join(work, "utils")
shutil.rmtree(utils, ignore_errors=True)
subprocess.run([make_utils, utils], check=True)

options = webdriver.ChromeOptions()
options.binary_location = chromium
profile = tempfile.mkdtemp(prefix="kl7-chromium-")
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--disable-background-networking", "--disable-extensions", "--no-first-run",
                 "--user-data-dir=" + profile, "--window-size=1000,800"):
    options.add_argument(argument)
options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
driver = webdriver.Chrome(service=Service(chromedriver), options=options)

FOLDING_WORDS = ["rot", "ÄRGER", "öl", "STRASSE", "straße", "STRAẞE", "œuvre", "ÿ", "€ 5",
                 "„zitat“", "–", "Š", "ž", "Ÿ", "Ƒ", "μ", "\u212A", "\u212B", "ﬀ", "<b>", "&amp;",
                 "stahl", "e", "LIB[1,", "> STRASSE", "hinten ---> str"]


def go(hash_):
    driver.execute_script("location.hash = arguments[0];", hash_)


def shown_library():
    return driver.execute_script("return document.body.dataset.library;")


def search_for(word):
    driver.execute_script(
        "const s = document.getElementById('search'); s.value = arguments[0];"
        "s.dispatchEvent(new Event('input'));", word)


def found_rows():
    return sorted(driver.execute_script(
        "return Array.from(document.querySelectorAll('#view tr.match a'),"
        " a => a.getAttribute('href').slice(1));"))


def column_heads():
    return driver.execute_script(
        "return Array.from(document.querySelectorAll('#view thead th[scope=col]'),"
        " h => h.textContent);")


def check_page(name, directory, libraries=()):
    page = os.path.join(work, name + ".html")
    with open(page, "wb") as out:
        subprocess.run([kl7, "export", "--format", "html", directory, *libraries], stdout=out,
                       check=True)
    driver.get("file://" + page)
    check(driver.execute_script("return window.kl7Errors;") == [], name + ": script errors")
    check(shown_library() == "", name + ": the catalogue is shown first")
    check(column_heads() == ["Nr.", "Name", "Einträge"], name + ": the catalogue's headers")

    exported = kl7_json("export", directory, *(["0", *libraries] if libraries else []))
    entries = {}
    for row in exported:
        entries.setdefault(row["library"], []).append(row["text"])
    catalogue = driver.find_elements(By.CSS_SELECTOR, "#view a[href^='#L']")
    check(len(catalogue) == len(entries), name + ": one catalogue row per library")

    # Links lead only to the libraries of the page.
    resolved = {(r["library"], r["entry"]): (r["target_library"], r["target_entry"])
                for r in kl7_json("refs", "--all", directory) if r["outcome"] == "resolved"
                and r["library"] in entries and r["target_library"] in entries}
    numbers = sorted(entries)
    for number, texts in entries.items():
        go("#L%d" % number)
        check(shown_library() == str(number), "%s: #L%d shows library %d" % (name, number, number))
        check(column_heads() == ["Nr.", "Text", "Verwendet von"],
              "%s: library %d has its column headers" % (name, number))
        at = numbers.index(number)
        steps = driver.execute_script(
            "return ['prev', 'next'].map(r => { const a = document.querySelector('nav.step a.' + r);"
            " return a ? a.getAttribute('href') : null; });")
        check(steps == ["#L%d" % numbers[at - 1] if at > 0 else None,
                        "#L%d" % numbers[at + 1] if at + 1 < len(numbers) else None],
              "%s: library %d links to its neighbours: %s" % (name, number, steps))
        # A long library is shown a thousand rows at a time.
        shown = driver.execute_script(
            "return Array.from(document.querySelectorAll('#view tbody td.text'),"
            " c => c.textContent);")
        check(shown == texts[:1000], "%s: library %d shows the texts of kl7 export" % (name, number))
        links = driver.execute_script(
            "return Array.from(document.querySelectorAll('#view tbody tr')).map(r => "
            "Array.from(r.querySelectorAll('a')).map(a => [a.className, a.getAttribute('href')]));")
        check(len(links) == min(len(texts), 1000), "%s: library %d has its rows" % (name, number))
        for k, row_links in enumerate(links, start=1):
            reference = [href for cls, href in row_links if cls == "ref"]
            target = resolved.get((number, k))
            check(reference == (["#L%dE%d" % target] if target else []),
                  "%s: %d,%d links as kl7 refs resolves it" % (name, number, k))
            backs = sorted(href for cls, href in row_links if cls == "back")
            users = sorted("#L%dE%d" % user for user, t in resolved.items() if t == (number, k))
            check(backs == users, "%s: %d,%d links back to its users" % (name, number, k))
        for href in sorted({href for row_links in links for _, href in row_links}):
            go("#L%d" % number)
            go(href)
            target_library = href[2:href.index("E")]
            check(shown_library() == target_library, "%s: %s shows its library" % (name, href))
            check(driver.execute_script("return document.getElementById(arguments[0]) !== null;",
                                        href[1:]), "%s: %s exists" % (name, href))

    search = driver.find_element(By.ID, "search")
    for word in FOLDING_WORDS:
        search_for(word)
        found = found_rows()
        expected = sorted("L%dE%d" % (r["library"], r["entry"])
                          for r in kl7_json("find", "--", word, directory)
                          if r["library"] in entries)
        check(found == expected, "%s: search %r finds what kl7 find finds: %s, not %s"
              % (name, word, expected, found))
        # Each row found marks what matched: its marked characters hold the search text.
        unmarked = driver.execute_script(
            "const needle = kl7Fold(arguments[0]);"
            "return Array.from(document.querySelectorAll('#view tr.match td.text')).filter(c =>"
            " !kl7Fold(Array.from(c.querySelectorAll('mark'), m => m.textContent).join(''))"
            ".includes(needle)).length;", word)
        check(unmarked == 0, "%s: search %r marks its matches (%d rows not)" % (name, word, unmarked))
    # The search stays in the address: a reload and the way back from a match keep it.
    search_for("ärger")
    before = found_rows()
    check(driver.execute_script("return location.hash;") == "#search=%C3%A4rger",
          name + ": the search is in the address")
    driver.refresh()
    check(driver.find_element(By.ID, "search").get_attribute("value") == "ärger" and
          found_rows() == before, name + ": a reload keeps the search")
    if before:
        go("#" + before[0])
        driver.back()
        check(found_rows() == before, name + ": back from a match shows the search again")
    check(column_heads() == ["Stelle", "Bibliothek", "Text"], name + ": the matches' headers")
    search = driver.find_element(By.ID, "search")
    search.clear()
    check(driver.execute_script("return window.kl7Errors;") == [], name + ": no script errors")
    check(driver.execute_script("return window.kl7Injected === undefined;"),
          name + ": texts stay text")
    severe = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    check(severe == [], name + ": console errors: %s" % severe)
    return entries


utils_entries = check_page("utils", utils)
# The third page of library 5 holds entry 2400, a reference; printing shows every row.
go("#L5E2400")
check(driver.execute_script("return document.querySelector('#view tbody tr').id;") == "L5E2001",
      "a link into a long library shows the page that holds its entry")
driver.execute_script("window.dispatchEvent(new Event('beforeprint'));")
check(len(driver.find_elements(By.CSS_SELECTOR, "#view tbody tr")) == len(utils_entries[5]),
      "printing a long library shows every row")
driver.execute_script("window.dispatchEvent(new Event('afterprint'));")
check(len(driver.find_elements(By.CSS_SELECTOR, "#view tbody tr")) == 500,
      "and then its page again")
sample_entries = check_page("samples", samples)
# Some libraries: those and the catalogue, linked among themselves only (library 2 refers into 3).
some_entries = check_page("some", utils, ("2", "1"))
check(sorted(some_entries) == [0, 1, 2], "an export of libraries 1 and 2 holds them and the catalogue")

# A phone's width: nothing wider than the screen, and a long name wrapped between its words.
driver.get("file://" + os.path.join(work, "utils.html"))
driver.set_window_size(375, 800)
for where, selector in (("#L5", "#view h1"), ("#L3", "nav.step a.next"),
                        ("#catalogue", "#view tbody tr:nth-child(5) td.name")):
    go(where)
    wrapping = driver.execute_script("""
        const element = document.querySelector(arguments[0]);
        const node = document.createTreeWalker(element, NodeFilter.SHOW_TEXT).nextNode();
        const lines = new Set();
        let split = 0;
        for (const word of node.data.matchAll(/\\S+/g)) {
          const range = document.createRange();
          range.setStart(node, word.index);
          range.setEnd(node, word.index + word[0].length);
          const boxes = range.getClientRects();
          if (boxes.length !== 1) ++split;
          lines.add(Math.round(boxes[0].top));
        }
        return [lines.size, split, document.documentElement.scrollWidth <= window.innerWidth];
        """, selector)
    check(wrapping[0] > 1 and wrapping[1] == 0 and wrapping[2],
          "%s %s: a long name wraps between its words at 375 px (lines, words split, fits): %s"
          % (where, selector, wrapping))
go("#L2")
check(driver.execute_script(
    "return document.documentElement.scrollWidth <= window.innerWidth;"), "fits a phone")
driver.save_screenshot(os.path.join(work, "html-export.png"))
# Printing: the header goes, every row of the library stays.
driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
check(driver.execute_script(
    "return getComputedStyle(document.querySelector('header')).display;") == "none",
    "printing hides the header")
check(len(driver.find_elements(By.CSS_SELECTOR, "#view tr")) == len(sample_entries[2]),
      "printing keeps every row")
driver.quit()
shutil.rmtree(profile, ignore_errors=True)

print("%d failure(s)" % len(failures) if failures else "html export passed in Chromium")
sys.exit(1 if failures else 0)
