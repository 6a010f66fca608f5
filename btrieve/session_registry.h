// The open-file sessions of this process. A position block holds only a magic value and a session
// id; everything else lives here, so nothing read from a caller's block is ever dereferenced.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "btrieve/parsed_file.h"

namespace btrieve {

// One open file as seen through one position block: the shared parsed file and the current
// position.
struct Session {
  std::mutex mutex;  // guards the position fields
  std::shared_ptr<const ParsedFile> file;
  std::string name;             // as given to Open
  const void* block = nullptr;  // the position block it was opened in
  bool positioned = false;
  std::int32_t keyNumber = 0;  // the key of the positioning operation
  std::size_t position = 0;    // index into file->Order(keyNumber).records
};

class SessionRegistry {
 public:
  [[nodiscard]] static SessionRegistry& Instance();

  // Opens a session for `file` in `block` (kPositionBlockSize bytes). If the block already holds a
  // live session that was opened in this very block, that session is closed first, so nothing
  // leaks.
  void Attach(void* block, std::shared_ptr<const ParsedFile> file, std::string name);

  // The session a block refers to, or nothing when the block holds no live session.
  [[nodiscard]] std::shared_ptr<Session> Find(const void* block) const;

  // The same without taking a share of the session, for the calls made once per record: the
  // session stays alive until this thread's next lookup, Attach or Detach, because the thread
  // keeps the one it found last.
  [[nodiscard]] Session* Lookup(const void* block) const;

  // Closes the block's session and clears the block; false when the block holds no live session.
  [[nodiscard]] bool Detach(void* block);

  // Ends a live session that was opened in this very block, if any (used before a fresh Open).
  void DetachOwned(void* block);

 private:
  [[nodiscard]] static std::uint64_t IdOf(const void* block);

  mutable std::mutex m_mutex;
  std::unordered_map<std::uint64_t, std::shared_ptr<Session>> m_sessions;
  std::uint64_t m_nextId = 1;
  // Changes with every session that ends: a thread's remembered last lookup is good while it
  // stays the same, so a walk of Get Next calls takes neither the lock nor the map.
  std::atomic<std::uint64_t> m_generation{0};
};

}  // namespace btrieve
