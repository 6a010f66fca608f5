// The find window's search: every library's shown text searched with kl7 find's folding, in kl7
// find's order (library by library in number order, entry by entry). It reads through a cache and
// a record manager of its own, so that it can run on a thread of its own while the window's cache
// stays on the window's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace viewer {

// A match: the entry and its shown text (Windows-1252 bytes).
struct FoundEntry {
  std::uint8_t library = 0;
  int entry = 0;
  std::string text;
};

// Searches the libraries of the utilities directory `utils` for `needle` (UTF-8, as typed) and
// hands the matches to `found` in order, some at a time, until the last library or until `stop`
// is set.
void SearchLibraries(const std::string& utils, const std::string& needle,
                     const std::atomic<bool>& stop,
                     const std::function<void(std::vector<FoundEntry>&&)>& found);

// SearchLibraries on a thread of its own. Matches wait until Take collects them; `wake` is called
// on the search's thread when matches come to wait where none did, and once when the search ends,
// so that the window's thread can collect them soon.
class BackgroundSearch {
 public:
  BackgroundSearch(std::string utils, std::string needle, std::function<void()> wake);
  // Stops the search and waits for its thread.
  ~BackgroundSearch();
  BackgroundSearch(const BackgroundSearch&) = delete;
  BackgroundSearch& operator=(const BackgroundSearch&) = delete;

  // The matches found since the last call, in order. `finished` becomes true once the search has
  // ended and every match has been taken; `error` then holds what ended it early, if anything.
  std::vector<FoundEntry> Take(bool& finished, std::string& error);
  // Waits until the search has ended.
  void Wait();

 private:
  void Run(const std::string& utils, const std::string& needle);

  std::function<void()> m_wake;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<FoundEntry> m_waiting;  // guarded by m_mutex, as are the three below
  bool m_woken = false;
  bool m_ended = false;
  std::string m_error;
  std::thread m_thread;  // last: started once everything above exists
};

}  // namespace viewer
