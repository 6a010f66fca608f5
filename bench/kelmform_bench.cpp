// Creating the main window on a library of 65,535 entries, against creating it on an empty one, on
// the offscreen platform: the window's creation (both loads, the caption, the copy into the list)
// and, separately, creation followed by the first complete drawing of the window.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QPixmap>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/kelmform.h"

namespace {

constexpr std::uint8_t kFullLibrary = 1;
constexpr std::uint8_t kEmptyLibrary = 2;

// A utilities directory with a catalogue, library 1 holding 65,535 entries of varied length and
// library 2 holding none (the older layout, whose empty files load).
class BenchUtils {
 public:
  BenchUtils() {
    std::random_device random;
    m_path =
        std::filesystem::temp_directory_path() / ("kl7-window-bench-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
    using libfile::writer::LibraryContents;
    LibraryContents catalogue;
    catalogue.texts = {"Artikelstamm", "Leer"};
    Write(0, catalogue);

    LibraryContents full;
    full.recordLength = 96;
    full.texts.reserve(65535);
    for (int k = 1; k <= 65535; ++k) {
      // "Artikel k – Schraube M8 × 40 verzinkt, Größe n" in Windows-1252, lengths varying.
      std::string text = "Artikel " + std::to_string(k) + " \x96 Schraube M8 \xD7 40";
      if (k % 3 == 0) text += " verzinkt";
      if (k % 7 == 0)
        text +=
            ", Gr\xF6\xDF"
            "e " +
            std::to_string(k % 97);
      full.texts.push_back(std::move(text));
    }
    Write(kFullLibrary, full);

    LibraryContents empty;
    empty.layout = libfile::writer::RecordLayout::kSixteenBit;
    empty.format = btrieve::writer::Format::kPre6;
    Write(kEmptyLibrary, empty);
  }
  ~BenchUtils() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  BenchUtils(const BenchUtils&) = delete;
  BenchUtils& operator=(const BenchUtils&) = delete;

  [[nodiscard]] startup::StartupValues Values(std::uint8_t library) const {
    startup::StartupValues values;
    values.settings.Write(startup::kUtilsKey, (m_path / "").string());
    values.CurrentLibrary = library;
    return values;
  }

 private:
  void Write(std::uint8_t number, const libfile::writer::LibraryContents& contents) const {
    libfile::writer::WriteLibraryFile(m_path / libfile::writer::LibraryFileNameFor(number),
                                      contents);
  }

  std::filesystem::path m_path;
};

const BenchUtils& Utils() {
  static const BenchUtils utils;
  return utils;
}

std::uint8_t LibraryOf(const benchmark::State& state) {
  return state.range(0) == 0 ? kEmptyLibrary : kFullLibrary;
}

void BM_CreateWindow(benchmark::State& state) {
  libfile::NativeRecordManager recordManager;
  const std::uint8_t library = LibraryOf(state);
  for (auto _ : state) {
    viewer::TKelmform window(Utils().Values(library), recordManager);
    benchmark::DoNotOptimize(window.ListBox1().Count());
  }
  state.counters["entries"] = static_cast<double>(state.range(0));
}

void BM_CreateAndDrawWindow(benchmark::State& state) {
  libfile::NativeRecordManager recordManager;
  const std::uint8_t library = LibraryOf(state);
  for (auto _ : state) {
    viewer::TKelmform window(Utils().Values(library), recordManager);
    window.show();
    // Lays the list out and draws every widget once, as the first exposure would.
    const QPixmap drawn = window.grab();
    benchmark::DoNotOptimize(drawn.width());
  }
  state.counters["entries"] = static_cast<double>(state.range(0));
}

BENCHMARK(BM_CreateWindow)->Arg(0)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateAndDrawWindow)->Arg(0)->Arg(65535)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  (void)Utils();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
