// The tool behind kl7_whole_process.sh.
//
//   kl7_whole_process write <many> <large>
//       writes the utils directories that the script times kl7 on:
//   <many>:  256 libraries (KL700.DAT to KL7FF.DAT) of 1,000 entries each; the catalogue names
//            them, a quarter are in the older 16Bit layout, half are pre-6.0 files, and every 20th
//            entry is a reference into another library;
//   <large>: one library of 65,535 entries (KL702.DAT), every 10th a reference into library 1 of
//            1,000 entries, one of 65,535 references to each entry of it in turn (KL703.DAT), and
//            a small catalogue.
//   kl7_whole_process time <runs> <program> [argument...]
//       runs the program once to warm up, then <runs> times with its output to /dev/null, and
//       prints the median wall time from fork to exit in milliseconds (no shell in between)
//   kl7_whole_process cpu <runs> <program> [argument...]
//       the same with the median processor time (user and system) instead of the wall time
//   kl7_whole_process peak <program> [argument...]
//       runs the program once with its output to /dev/null and prints its peak resident memory
//       in KiB
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "libfile/writer/library_writer.h"

namespace {

using libfile::writer::LibraryContents;
using libfile::writer::RecordLayout;

// A German-looking text in Windows-1252 with umlauts, € and quotes.
std::string Text(int library, int entry) {
  static const char* const kWords[] = {
      "Gr\xFC"
      "n",
      "Stra\xDF"
      "e",
      "\x84Qualit\xE4t\x93",
      "Preis \x80",
      "Lieferung",
      "Ma\xDF"
      "einheit",
      "\xD6"
      "ffnungszeiten",
      "Zubeh\xF6r",
      "Ausf\xFChrung \x96 A"};
  std::string text =
      "Eintrag " + std::to_string(entry) + " der Bibliothek " + std::to_string(library) + ": ";
  text += kWords[(library * 7 + entry) % 9];
  text += ' ';
  text += kWords[(library + entry * 3) % 9];
  return text;
}

void Write(const std::filesystem::path& directory, int number, LibraryContents contents) {
  libfile::writer::WriteLibraryFile(
      directory / libfile::writer::LibraryFileNameFor(static_cast<std::uint8_t>(number)), contents);
}

LibraryContents Library(int number, int entries, int referenceEvery, int referenceTarget) {
  LibraryContents contents;
  contents.format = number % 2 == 0 ? btrieve::writer::Format::kV6 : btrieve::writer::Format::kPre6;
  if (number % 4 == 3) {
    contents.layout = RecordLayout::kSixteenBit;
    contents.entryLength = 44;  // records of 54 bytes: read by the older layout's class
  } else {
    contents.recordLength = 96;
  }
  contents.texts.reserve(static_cast<std::size_t>(entries));
  for (int k = 1; k <= entries; ++k) {
    if (referenceEvery > 0 && k % referenceEvery == 0) {
      const int target = referenceTarget >= 0 ? referenceTarget : (number + 1) % 256;
      contents.texts.push_back("LIB[" + std::to_string(target) + "," + std::to_string(k % 997 + 1) +
                               "]");
    } else {
      contents.texts.push_back(Text(number, k));
    }
  }
  return contents;
}

// One run of `arguments` with stdout to /dev/null; the wall time in milliseconds (with `cpu`, the
// processor time, user and system), or a negative value when the program could not be run or
// failed with a status other than 0 or 1.
double RunOnce(char** arguments, long* peakKiB = nullptr, bool cpu = false) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execvp(arguments[0], arguments);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return -1;
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  if (cpu) {
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
  }
  return std::chrono::duration<double, std::milli>(end - start).count();
}

int Time(int runs, char** arguments, bool cpu = false) {
  if (RunOnce(arguments) < 0) {
    std::fprintf(stderr, "kl7_whole_process: %s failed\n", arguments[0]);
    return 1;
  }
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double ms = RunOnce(arguments, nullptr, cpu);
    if (ms < 0) return 1;
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  const std::size_t middle = times.size() / 2;
  const double median =
      times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
  std::printf(cpu ? "%.2f\n" : "%.1f\n", median);
  return 0;
}

int WriteLibraries(const std::filesystem::path& many, const std::filesystem::path& large) {
  try {
    std::filesystem::create_directories(many);
    std::filesystem::create_directories(large);

    LibraryContents catalogue = Library(0, 1000, 0, 0);
    for (int n = 1; n <= 255; ++n)
      catalogue.texts[static_cast<std::size_t>(n - 1)] = "Bibliothek \xC4" + std::to_string(n);
    Write(many, 0, catalogue);
    for (int n = 1; n <= 255; ++n)
      Write(many, n, Library(n, 1000, 20, -1));

    LibraryContents smallCatalogue = Library(0, 2, 0, 0);
    smallCatalogue.texts = {"Farben", "Textbausteine"};
    Write(large, 0, smallCatalogue);
    Write(large, 1, Library(1, 1000, 0, 0));
    LibraryContents big = Library(2, 65535, 10, 1);
    Write(large, 2, big);
    LibraryContents references = Library(3, 65535, 0, 0);
    for (int k = 1; k <= 65535; ++k)
      references.texts[static_cast<std::size_t>(k - 1)] = "LIB[2," + std::to_string(k) + "]";
    Write(large, 3, references);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kl7_whole_process: %s\n", error.what());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write" && argc == 4) return WriteLibraries(argv[2], argv[3]);
  if (mode == "time" && argc >= 4) return Time(std::max(1, std::atoi(argv[2])), argv + 3);
  if (mode == "cpu" && argc >= 4) return Time(std::max(1, std::atoi(argv[2])), argv + 3, true);
  if (mode == "peak" && argc >= 3) {
    long peak = 0;
    if (RunOnce(argv + 2, &peak) < 0) return 1;
    std::printf("%ld\n", peak);
    return 0;
  }
  std::fprintf(stderr,
               "usage: kl7_whole_process write <many> <large>\n"
               "       kl7_whole_process time <runs> <program> [argument...]\n"
               "       kl7_whole_process cpu <runs> <program> [argument...]\n"
               "       kl7_whole_process peak <program> [argument...]\n");
  return 2;
}
