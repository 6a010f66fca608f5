// The find window's search over 256 libraries of 65,535 entries each, through the window core as
// a front that searches in the background drives it: the time from Enter to the first matches in
// the find window's list, and to the search's end. Prints the median of several runs per search
// text (after one warm-up run).
// Usage: find_search [runs]
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "viewer/core/kelmform_core.h"

namespace {

using Clock = std::chrono::steady_clock;

// A front without a window: it counts the find window's rows and notes when the first came.
class BenchPort final : public viewer::WindowPort {
 public:
  void ShowList(std::shared_ptr<const core::tcodelist>) override {}
  [[nodiscard]] int ItemIndex() const override { return -1; }
  void SetItemIndex(int) override {}
  [[nodiscard]] int TopIndex() const override { return 0; }
  void SetTopIndex(int) override {}
  [[nodiscard]] int VisibleRows() const override { return 30; }
  void SetCaption(const std::u16string& text) override { m_caption = text; }
  [[nodiscard]] std::u16string Caption() const override { return m_caption; }
  void SetCaptionToolTip(const std::u16string&) override {}
  void SetListToolTip(const std::u16string&) override {}
  void CopyText(const std::u16string&) override {}
  void Close() override {}
  void ReportError(const std::u16string&) override { ++errors; }
  void ReportUnreadableLibrary(const std::string& line) override {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  void ShowFindResults(const std::vector<std::u16string>& rows, const std::u16string&) override {
    Note(rows.size());
  }
  [[nodiscard]] bool SearchesInBackground() const override { return true; }
  void WakeForSearchResults() override {
    const std::lock_guard lock(m_mutex);
    m_woken = true;
    m_wake.notify_one();
  }
  void AppendFindResults(const std::vector<std::u16string>& rows) override { Note(rows.size()); }

  // Waits for a wake-up (or a little while).
  void AwaitWake() {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(50), [&] { return m_woken; });
    m_woken = false;
  }
  void Reset() {
    rows = 0;
    first = {};
  }

  std::size_t rows = 0;
  Clock::time_point first{};
  int errors = 0;

 private:
  void Note(std::size_t count) {
    if (count > 0 && rows == 0) first = Clock::now();
    rows += count;
  }
  std::u16string m_caption;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_woken = false;
};

// 256 libraries of 65,535 entries: a catalogue whose first 255 lines name the others, then entry k
// of library n reads "Artikel n.k – Schraube M8 × 40", every third "verzinkt", every seventh with a
// size.
std::filesystem::path WriteLibraries() {
  std::random_device random;
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("kl7-find-bench-" + std::to_string(random()));
  std::filesystem::create_directories(path);
  using libfile::writer::LibraryContents;
  LibraryContents catalogue;
  catalogue.texts.reserve(65535);
  for (int n = 1; n <= 65535; ++n)
    catalogue.texts.push_back((n <= 255 ? "Bibliothek " : "Katalogzeile ") + std::to_string(n));
  libfile::writer::WriteLibraryFile(path / libfile::writer::LibraryFileNameFor(0), catalogue);
  for (int n = 1; n <= 255; ++n) {
    LibraryContents library;
    library.recordLength = 80;
    library.texts.reserve(65535);
    for (int k = 1; k <= 65535; ++k) {
      std::string text =
          "Artikel " + std::to_string(n) + "." + std::to_string(k) + " \x96 Schraube M8 \xD7 40";
      if (k % 3 == 0) text += " verzinkt";
      if (k % 7 == 0)
        text +=
            ", Gr\xF6\xDF"
            "e " +
            std::to_string(k % 97);
      library.texts.push_back(std::move(text));
    }
    libfile::writer::WriteLibraryFile(
        path / libfile::writer::LibraryFileNameFor(static_cast<std::uint8_t>(n)), library);
  }
  return path;
}

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const Clock::time_point writing = Clock::now();
  const std::filesystem::path utils = WriteLibraries();
  std::printf("wrote 256 libraries of 65,535 entries in %.1f s\n",
              Milliseconds(Clock::now() - writing) / 1000);
  // The record manager maps only a file that has settled for two seconds.
  std::this_thread::sleep_for(std::chrono::seconds(3));

  libfile::NativeRecordManager recordManager;
  BenchPort port;
  startup::StartupValues values;
  values.settings.Write(startup::kUtilsKey, (utils / "").string());
  values.CurrentLibrary = 1;
  viewer::KelmformCore core(std::move(values), recordManager, port);
  core.Create();

  struct Search {
    const char16_t* text;
    const char* what;
  };
  const Search searches[] = {
      {u"GR\u00D6SSE 13", "in every library (about 10 a library)"},
      {u"artikel 255.65535", "the last entry of the last library only"},
      {u"nirgends", "nowhere"},
  };
  std::printf("%-22s %-40s %10s %12s %12s\n", "search", "matches", "rows", "first ms",
              "complete ms");
  for (const Search& search : searches) {
    std::vector<double> first;
    std::vector<double> complete;
    for (int run = 0; run <= runs; ++run) {
      port.Reset();
      const Clock::time_point start = Clock::now();
      core.OnFind(search.text);
      while (core.Searching()) {
        port.AwaitWake();
        core.OnSearchResults();
      }
      const Clock::time_point end = Clock::now();
      if (run == 0) continue;  // the warm-up
      first.push_back(port.rows == 0 ? Milliseconds(end - start)
                                     : Milliseconds(port.first - start));
      complete.push_back(Milliseconds(end - start));
    }
    std::string shown;
    for (const char16_t* c = search.text; *c != 0; ++c)
      shown += *c < 0x80 ? static_cast<char>(*c) : '?';
    std::printf("%-22s %-40s %10zu %12.1f %12.1f\n", shown.c_str(), search.what, port.rows,
                Median(first), Median(complete));
  }
  std::error_code ignored;
  std::filesystem::remove_all(utils, ignored);
  return port.errors == 0 ? 0 : 1;
}
