// Loads a library over and over while another thread rewrites it in place with one pwrite of the
// whole file at 10 to 100 ms gaps, alternating two versions of the same size: every load must give
// one version whole or refuse the file; a load that mixes them is counted and fails the run.
// Long-running (about 1,000 loads of a 30,000-entry library); run by hand, never by the tests.
//
//   mixed_reads <scratch dir> [loads]
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "libfile/record_manager.h"
#include "libfile/writer/library_writer.h"
#include "libraries/library_cache.h"

namespace {

namespace fs = std::filesystem;

std::vector<char> VersionBytes(const char* word) {
  libfile::writer::LibraryContents contents;
  for (int k = 1; k <= 30000; ++k)
    contents.texts.push_back(std::string(word) + " " + std::to_string(100000 + k));
  const std::vector<std::byte> bytes = libfile::writer::BuildLibraryFile(contents);
  return std::vector<char>(reinterpret_cast<const char*>(bytes.data()),
                           reinterpret_cast<const char*>(bytes.data()) + bytes.size());
}

// 'a' or 'n' when every entry is of that version, '?' for a mixture.
char VersionOf(const core::tcodelist& list) {
  char seen = 0;
  for (std::size_t k = 1; k < list.Count(); ++k) {
    const char first = list[k].head.empty() ? '?' : list[k].head[0];
    if (seen == 0) seen = first;
    if (first != seen) return '?';
  }
  return seen;
}

int Run(const fs::path& scratch, int loads) {
  fs::create_directories(scratch / "utils");
  const std::vector<char> versions[2] = {VersionBytes("alt"), VersionBytes("neu")};
  if (versions[0].size() != versions[1].size()) throw std::runtime_error("versions differ in size");
  const fs::path file = scratch / "utils" / libfile::writer::LibraryFileNameFor(1);
  {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::pwrite(fd, versions[0].data(), versions[0].size(), 0) < 0)
      throw std::runtime_error("cannot write " + file.string());
    ::close(fd);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> writes{0};
  std::thread writer([&] {
    const int fd = ::open(file.c_str(), O_WRONLY);
    std::mt19937 random(24);
    std::uniform_int_distribution<int> gap(10, 100);
    for (int round = 1; !stop && fd >= 0; ++round) {
      const std::vector<char>& bytes = versions[round % 2];
      if (::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) break;
      ++writes;
      std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
    }
    if (fd >= 0) ::close(fd);
  });
  // The loads are spread over the writes (a few milliseconds apart), as separate runs would be.
  std::mt19937 random(21);
  std::uniform_int_distribution<int> pause(0, 10);
  libfile::NativeRecordManager manager;
  int served[2] = {0, 0};
  int mixed = 0;
  int refused = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < loads; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
    core::LibraryCache cache(manager, (scratch / "utils").string() + "/");
    bool is16Bit = false;
    if (!cache.LoadLibraryList(1, true, false, is16Bit)) {
      ++refused;
      continue;
    }
    const char version = VersionOf(*cache.LibraryLists(1));
    if (version == 'a') {
      ++served[0];
    } else if (version == 'n') {
      ++served[1];
    } else {
      ++mixed;
    }
  }
  stop = true;
  writer.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "%d loads in %.1f s while %d whole-file writes: %d old, %d new, %d refused, %d mixed\n",
      loads, seconds, writes.load(), served[0], served[1], refused, mixed);
  return mixed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: mixed_reads <scratch dir> [loads]\n");
    return 2;
  }
  try {
    return Run(argv[1], argc == 3 ? std::stoi(argv[2]) : 1000);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "mixed_reads: %s\n", error.what());
    return 2;
  }
}
