// Opening a 65,535-entry library in the window: the window started on the catalogue, its line of
// the library selected, then Enter, timed until the list of the library is drawn (the key's event
// handled, the window's update painted and flushed by the event loop, the list showing every
// entry). Whole processes, on the offscreen platform unless QT_QPA_PLATFORM names another:
//
//   window_open [runs]
//       writes a utilities directory to a temporary place, waits until its files have settled, and
//       runs `runs` processes (default 9) for each library; prints the median times;
//   window_open write <dir>
//       writes the directory: KL700.DAT, the catalogue; KL701.DAT to KL704.DAT of 65,535 entries
//       each: current layout 6.x, current layout pre-6.0, older layout pre-6.0, older layout 6.x;
//   window_open open <dir> <library> <warm repeats>
//       one process: prints "cold <ms> <minor faults> <handled ms>" for the first open of the
//       library in the process, then one such "warm" line for each open after going back to the
//       catalogue (the file read once already: the record manager serves it from what it read).
//       <ms> runs until the list is drawn; <handled ms> until the key's event has been handled
//       (the library loaded and given to the list, nothing drawn yet).
//
// The files must be older than two seconds before a process opens them: a file that may still
// change is read twice on purpose, and never served from an earlier read.
#include <sys/resource.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "btrieve/process_heap.h"
#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "viewer/qt/entry_list_view.h"
#include "viewer/qt/kelmform.h"

namespace {

using Clock = std::chrono::steady_clock;
using btrieve::writer::Format;
using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

constexpr int kEntries = 65535;

struct Variant {
  std::uint8_t library;
  const char* label;
  RecordLayout layout;
  Format format;
};

constexpr Variant kVariants[] = {
    {1, "current layout, 6.x", RecordLayout::kCurrent, Format::kV6},
    {2, "current layout, pre-6.0", RecordLayout::kCurrent, Format::kPre6},
    {3, "older layout, pre-6.0", RecordLayout::kSixteenBit, Format::kPre6},
    {4, "older layout, 6.x", RecordLayout::kSixteenBit, Format::kV6},
};

// Entry k: "Artikel k – Schraube M8 × 40 verzinkt, Größe n" in Windows-1252, lengths varying.
std::vector<std::string> EntryTexts() {
  std::vector<std::string> texts;
  texts.reserve(kEntries);
  for (int k = 1; k <= kEntries; ++k) {
    std::string text = "Artikel " + std::to_string(k) + " \x96 Schraube M8 \xD7 40";
    if (k % 3 == 0) text += " verzinkt";
    if (k % 7 == 0)
      text +=
          ", Gr\xF6\xDF"
          "e " +
          std::to_string(k % 97);
    texts.push_back(std::move(text));
  }
  return texts;
}

int WriteAll(const std::filesystem::path& dir) {
  LibraryContents catalogue;
  for (const Variant& variant : kVariants)
    catalogue.texts.push_back(std::string("Artikel, ") + variant.label);
  libfile::writer::WriteLibraryFile(dir / libfile::writer::LibraryFileNameFor(0), catalogue);
  const std::vector<std::string> texts = EntryTexts();
  for (const Variant& variant : kVariants) {
    LibraryContents contents;
    contents.layout = variant.layout;
    contents.format = variant.format;
    contents.recordLength = 96;
    // The older layout's entries must stay short enough (below 45 bytes) for the loader to take
    // the file for one of that layout; longer texts are cut.
    contents.entryLength = 44;
    contents.texts = texts;
    libfile::writer::WriteLibraryFile(dir / libfile::writer::LibraryFileNameFor(variant.library),
                                      contents);
  }
  return 0;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Notes when the list's viewport has been painted with a given number of rows laid out: the end
// of the outermost event whose handling painted it (for an update of the window, that includes
// the flush of its backing store).
class BenchApplication final : public QApplication {
 public:
  using QApplication::QApplication;

  void Watch(viewer::EntryListView* list, int rows) {
    m_list = list;
    m_rows = rows;
    m_painted = false;
    m_drawn = false;
  }
  [[nodiscard]] bool Drawn() const { return m_drawn; }
  [[nodiscard]] Clock::time_point DrawnAt() const { return m_drawnAt; }

  bool notify(QObject* receiver, QEvent* event) override {
    const QEvent::Type type = event->type();
    ++m_depth;
    const bool result = QApplication::notify(receiver, event);
    --m_depth;
    if (m_list != nullptr && type == QEvent::Paint && receiver == m_list->viewport() && LaidOut()) {
      m_painted = true;
    }
    if (m_depth == 0 && m_painted && !m_drawn) {
      m_drawn = true;
      m_drawnAt = Clock::now();
    }
    return result;
  }

 private:
  // The rows are laid out once the scroll range covers them (the range is 0 before the layout of
  // a list that fits into the view, as the catalogue does).
  [[nodiscard]] bool LaidOut() const {
    if (m_list->Count() != m_rows) return false;
    const int range = m_list->verticalScrollBar()->maximum();
    return m_rows < 1000 ? range == 0 : range > m_rows - 1000;
  }

  viewer::EntryListView* m_list = nullptr;
  int m_rows = 0;
  int m_depth = 0;
  bool m_painted = false;
  bool m_drawn = false;
  Clock::time_point m_drawnAt;
};

// Runs the event loop until the list has been drawn with `rows` rows; false after 10 seconds.
bool WaitUntilDrawn(BenchApplication& application) {
  const Clock::time_point limit = Clock::now() + std::chrono::seconds(10);
  while (!application.Drawn()) {
    if (Clock::now() > limit) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void SendKey(QWidget& target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &press);
}

void ReleaseKey(QWidget& target, int key) {
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &release);
}

int Open(int argc, char** argv, const std::string& dir, int library, int warmRepeats) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  BenchApplication application(qtArgc, argv);
  (void)argc;
  libfile::NativeRecordManager recordManager;
  startup::StartupValues values;
  values.settings.Write(startup::kUtilsKey, dir + "/");
  values.CurrentLibrary = 0;
  bool failed = false;
  viewer::TKelmform window(std::move(values), recordManager, [&](const QString& message) {
    std::fprintf(stderr, "window_open: %s\n", message.toLocal8Bit().constData());
    failed = true;
  });
  viewer::EntryListView& list = window.ListBox1();
  const int catalogueRows = list.Count();
  if (catalogueRows <= library) {
    std::fprintf(stderr, "window_open: the catalogue has no line %d\n", library);
    return 1;
  }
  application.Watch(&list, catalogueRows);
  window.show();
  if (!WaitUntilDrawn(application)) {
    std::fprintf(stderr, "window_open: the catalogue was never drawn\n");
    return 1;
  }
  // The catalogue's line of the library selected and drawn, as the user would have it.
  list.SetItemIndex(library);
  QCoreApplication::processEvents();

  for (int run = 0; run <= warmRepeats; ++run) {
    application.Watch(&list, kEntries + 1);
    const long faultsBefore = MinorFaults();
    const Clock::time_point start = Clock::now();
    SendKey(list, Qt::Key_Return);
    const Clock::time_point handled = Clock::now();
    if (!WaitUntilDrawn(application) || failed) {
      std::fprintf(stderr, "window_open: library %d was never drawn (%d rows)\n", library,
                   list.Count());
      return 1;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(application.DrawnAt() - start).count();
    const double handling = std::chrono::duration<double, std::milli>(handled - start).count();
    std::printf("%s %.2f %ld %.2f\n", run == 0 ? "cold" : "warm", ms, MinorFaults() - faultsBefore,
                handling);
    ReleaseKey(list, Qt::Key_Return);
    // Back to the catalogue, which selects the library's line again.
    application.Watch(&list, catalogueRows);
    SendKey(list, Qt::Key_Backspace);
    ReleaseKey(list, Qt::Key_Backspace);
    if (!WaitUntilDrawn(application) || list.ItemIndex() != library) {
      std::fprintf(stderr, "window_open: the way back to the catalogue failed\n");
      return 1;
    }
  }
  std::fflush(stdout);
  return 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

int Drive(int runs) {
  std::random_device random;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kl7-window-open-" + std::to_string(random()));
  std::filesystem::create_directories(dir);
  struct Remover {
    std::filesystem::path path;
    ~Remover() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } remover{dir};
  WriteAll(dir);
  // Settled: neither modified nor changed within the last two seconds.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));

  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  constexpr int kWarmRepeats = 5;
  std::printf("%-24s %8s %8s %8s %8s %8s %8s   (medians of %d processes; ms)\n", "library", "cold",
              "handled", "faults", "warm", "handled", "faults", runs);
  for (const Variant& variant : kVariants) {
    // Per kind (cold, warm): the drawn times, the minor faults, the handled times.
    std::array<std::array<std::vector<double>, 3>, 2> samples;
    for (int run = 0; run < runs; ++run) {
      const std::string command = "'" + self + "' open '" + dir.string() + "' " +
                                  std::to_string(variant.library) + " " +
                                  std::to_string(kWarmRepeats);
      FILE* output = popen(command.c_str(), "r");
      if (output == nullptr) return 1;
      char kind[8] = {};
      std::array<double, 3> line{};
      std::array<std::vector<double>, 3> warmRun;
      while (std::fscanf(output, "%7s %lf %lf %lf", kind, &line[0], &line[1], &line[2]) == 4) {
        for (std::size_t k = 0; k < 3; ++k) {
          (std::string(kind) == "cold" ? samples[0][k] : warmRun[k]).push_back(line[k]);
        }
      }
      if (pclose(output) != 0) return 1;
      // One figure per process for the warm opens, as for the cold one.
      for (std::size_t k = 0; k < 3; ++k)
        samples[1][k].push_back(Median(warmRun[k]));
    }
    std::printf("%-24s %8.1f %8.1f %8.0f %8.1f %8.1f %8.0f\n", variant.label, Median(samples[0][0]),
                Median(samples[0][2]), Median(samples[0][1]), Median(samples[1][0]),
                Median(samples[1][2]), Median(samples[1][1]));
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before anything allocates much.
  btrieve::PrepareProcessHeap();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write" && argc == 3) return WriteAll(argv[2]);
  if (mode == "open" && argc == 5) {
    return Open(argc, argv, argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  }
  if (argc == 1 || (argc == 2 && std::atoi(argv[1]) > 0)) {
    return Drive(argc == 2 ? std::atoi(argv[1]) : 9);
  }
  std::fprintf(stderr,
               "usage: window_open [runs]\n"
               "       window_open write <dir>\n"
               "       window_open open <dir> <library> <warm repeats>\n");
  return 2;
}
