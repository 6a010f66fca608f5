#!/usr/bin/env python3
"""The html export in headless Chromium: the page loads without script errors, every link leads to
an entry that exists and shows its library, references link exactly where kl7 refs says they
resolve, the search finds exactly what kl7 find finds, texts stay text, and the page fits a phone
and prints every row.

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


def check_page(name, directory):
    page = os.path.join(work, name + ".html")
    with open(page, "wb") as out:
        subprocess.run([kl7, "export", "--format", "html", directory], stdout=out, check=True)
    driver.get("file://" + page)
    check(driver.execute_script("return window.kl7Errors;") == [], name + ": script errors")
    check(shown_library() == "", name + ": the catalogue is shown first")

    exported = kl7_json("export", directory)
    entries = {}
    for row in exported:
        entries.setdefault(row["library"], []).append(row["text"])
    catalogue = driver.find_elements(By.CSS_SELECTOR, "#view a[href^='#L']")
    check(len(catalogue) == len(entries), name + ": one catalogue row per library")

    resolved = {(r["library"], r["entry"]): (r["target_library"], r["target_entry"])
                for r in kl7_json("refs", "--all", directory) if r["outcome"] == "resolved"}
    for number, texts in entries.items():
        go("#L%d" % number)
        check(shown_library() == str(number), "%s: #L%d shows library %d" % (name, number, number))
        # A long library is shown a thousand rows at a time.
        shown = driver.execute_script(
            "return Array.from(document.querySelectorAll('#view td.text'), c => c.textContent);")
        check(shown == texts[:1000], "%s: library %d shows the texts of kl7 export" % (name, number))
        links = driver.execute_script(
            "return Array.from(document.querySelectorAll('#view tr')).map(r => "
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
        driver.execute_script(
            "const s = document.getElementById('search'); s.value = arguments[0];"
            "s.dispatchEvent(new Event('input'));", word)
        found = sorted(driver.execute_script(
            "return Array.from(document.querySelectorAll('#view tr.match a'),"
            " a => a.getAttribute('href').slice(1));"))
        expected = sorted("L%dE%d" % (r["library"], r["entry"])
                          for r in kl7_json("find", "--", word, directory))
        check(found == expected, "%s: search %r finds what kl7 find finds: %s, not %s"
              % (name, word, expected, found))
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
check(driver.execute_script("return document.querySelector('#view tr').id;") == "L5E2001",
      "a link into a long library shows the page that holds its entry")
driver.execute_script("window.dispatchEvent(new Event('beforeprint'));")
check(len(driver.find_elements(By.CSS_SELECTOR, "#view tr")) == len(utils_entries[5]),
      "printing a long library shows every row")
driver.execute_script("window.dispatchEvent(new Event('afterprint'));")
check(len(driver.find_elements(By.CSS_SELECTOR, "#view tr")) == 500, "and then its page again")
sample_entries = check_page("samples", samples)

# A phone's width: nothing wider than the screen.
driver.set_window_size(375, 800)
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
