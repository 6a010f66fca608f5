// The search over every library, and its thread.
#include "viewer/core/background_search.h"

#include <exception>
#include <memory>
#include <utility>

#include "libfile/record_manager.h"
#include "libraries/library_cache.h"
#include "libraries/text_folding.h"

namespace viewer {

void SearchLibraries(const std::string& utils, const std::string& needle,
                     const std::atomic<bool>& stop,
                     const std::function<void(std::vector<FoundEntry>&&)>& found) {
  const core::FoldedNeedle folded(needle);
  libfile::NativeRecordManager recordManager;
  core::LibraryCache search(recordManager, utils);
  search.BeginLoadGroup();
  // Matches are handed on at the end of each library, and within a long library every few
  // thousand entries, so that the first ones show while the rest is searched.
  constexpr std::size_t kEntriesPerHandover = 4096;
  std::vector<FoundEntry> batch;
  std::string text;
  for (int number = 0; number < 256 && !stop.load(std::memory_order_relaxed); ++number) {
    bool is16Bit = false;
    const auto n = static_cast<std::uint8_t>(number);
    if (!search.LoadLibraryList(n, true, true, is16Bit)) continue;
    const std::shared_ptr<const core::tcodelist> list = search.SharedList(n);
    const std::size_t count = list == nullptr ? 0 : list->Count();
    for (std::size_t k = 1; k < count; ++k) {
      text.clear();
      (*list)[k].AppendTo(text);
      if (folded.FoundIn(text)) batch.push_back({n, static_cast<int>(k), text});
      if (k % kEntriesPerHandover == 0) {
        if (stop.load(std::memory_order_relaxed)) break;
        if (!batch.empty()) found(std::exchange(batch, {}));
      }
    }
    search.ReleaseLibraryList(n);
    if (!batch.empty()) found(std::exchange(batch, {}));
  }
  search.EndLoadGroup();
}

BackgroundSearch::BackgroundSearch(std::string utils, std::string needle,
                                   std::function<void()> wake)
    : m_wake(std::move(wake)),
      m_thread(
          [this, utils = std::move(utils), needle = std::move(needle)] { Run(utils, needle); }) {}

BackgroundSearch::~BackgroundSearch() {
  m_stop = true;
  Wait();
}

void BackgroundSearch::Wait() {
  if (m_thread.joinable()) m_thread.join();
}

void BackgroundSearch::Run(const std::string& utils, const std::string& needle) {
  std::string error;
  try {
    SearchLibraries(utils, needle, m_stop, [&](std::vector<FoundEntry>&& matches) {
      bool wake = false;
      {
        const std::lock_guard lock(m_mutex);
        if (m_waiting.empty()) {
          m_waiting = std::move(matches);
        } else {
          m_waiting.insert(m_waiting.end(), std::make_move_iterator(matches.begin()),
                           std::make_move_iterator(matches.end()));
        }
        wake = !m_woken;
        m_woken = true;
      }
      if (wake && !m_stop) m_wake();
    });
  } catch (const std::exception& failure) {
    error = failure.what();
  } catch (...) {
    error = "unknown error";
  }
  {
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    m_error = std::move(error);
  }
  if (!m_stop) m_wake();
}

std::vector<FoundEntry> BackgroundSearch::Take(bool& finished, std::string& error) {
  const std::lock_guard lock(m_mutex);
  std::vector<FoundEntry> taken = std::move(m_waiting);
  m_waiting.clear();
  m_woken = false;
  finished = m_ended;
  error = m_error;
  return taken;
}

}  // namespace viewer
