// The process-wide registry of open-file sessions (see session_registry.h).
#include "btrieve/session_registry.h"

#include <cstring>
#include <utility>

namespace btrieve {
namespace {

// Layout of the part of the position block this reader uses: a magic value, then the session id.
constexpr unsigned char kMagic[8] = {'k', 'l', '7', 'b', 't', 'r', 'v', 1};
constexpr std::size_t kIdOffset = sizeof(kMagic);
constexpr std::size_t kUsedBytes = kIdOffset + sizeof(std::uint64_t);

// The last session this thread found, and the registry generation it was found in.
struct LastFound {
  const SessionRegistry* registry = nullptr;
  std::uint64_t id = 0;
  std::uint64_t generation = 0;
  std::shared_ptr<Session> session;
};
thread_local LastFound t_lastFound;

}  // namespace

SessionRegistry& SessionRegistry::Instance() {
  static SessionRegistry registry;
  return registry;
}

std::uint64_t SessionRegistry::IdOf(const void* block) {
  if (block == nullptr || std::memcmp(block, kMagic, sizeof(kMagic)) != 0) return 0;
  std::uint64_t id = 0;
  std::memcpy(&id, static_cast<const unsigned char*>(block) + kIdOffset, sizeof(id));
  return id;
}

void SessionRegistry::Attach(void* block, std::shared_ptr<const ParsedFile> file,
                             std::string name) {
  DetachOwned(block);
  auto session = std::make_shared<Session>();
  session->file = std::move(file);
  session->name = std::move(name);
  session->block = block;
  const std::lock_guard lock(m_mutex);
  const std::uint64_t id = m_nextId++;
  m_sessions.emplace(id, std::move(session));
  std::memcpy(block, kMagic, sizeof(kMagic));
  std::memcpy(static_cast<unsigned char*>(block) + kIdOffset, &id, sizeof(id));
}

Session* SessionRegistry::Lookup(const void* block) const {
  const std::uint64_t id = IdOf(block);
  if (id == 0) return nullptr;
  const std::uint64_t generation = m_generation.load(std::memory_order_acquire);
  LastFound& last = t_lastFound;
  if (last.registry == this && last.id == id && last.generation == generation)
    return last.session.get();
  const std::lock_guard lock(m_mutex);
  const auto it = m_sessions.find(id);
  if (it == m_sessions.end()) return nullptr;
  last = {this, id, generation, it->second};
  return it->second.get();
}

std::shared_ptr<Session> SessionRegistry::Find(const void* block) const {
  return Lookup(block) == nullptr ? nullptr : t_lastFound.session;
}

bool SessionRegistry::Detach(void* block) {
  const std::uint64_t id = IdOf(block);
  if (id == 0) return false;
  std::shared_ptr<Session> session;
  {
    const std::lock_guard lock(m_mutex);
    const auto it = m_sessions.find(id);
    if (it == m_sessions.end()) return false;
    session = std::move(it->second);
    m_sessions.erase(it);
    m_generation.fetch_add(1, std::memory_order_acq_rel);
  }
  if (t_lastFound.session == session) t_lastFound = {};
  std::memset(block, 0, kUsedBytes);
  return true;  // the parsed file is released with the last session (or cache entry) holding it
}

void SessionRegistry::DetachOwned(void* block) {
  const std::shared_ptr<Session> session = Find(block);
  if (session != nullptr && session->block == block) (void)Detach(block);
}

}  // namespace btrieve
