// Replaces the global operator new/delete of the test program with malloc-based versions that
// remember the largest request (see allocation_probe.h).
#include "allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace btrieve::test {
namespace {
std::atomic<std::size_t> g_largest{0};
}  // namespace

void ResetLargestAllocation() {
  g_largest = 0;
}
std::size_t LargestAllocation() {
  return g_largest;
}

}  // namespace btrieve::test

namespace {
void* Allocate(std::size_t size) {
  std::size_t seen = btrieve::test::g_largest.load();
  while (size > seen && !btrieve::test::g_largest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
