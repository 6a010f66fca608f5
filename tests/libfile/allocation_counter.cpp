// Replaces the test program's operator new/delete with malloc-based versions that count
// allocations. Kept in a file of its own so that no caller sees malloc and free paired with new and
// delete.
#include <atomic>
#include <cstdlib>
#include <new>

namespace libfile::testing {
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

long AllocationCount() {
  return g_allocations;
}

}  // namespace libfile::testing

void* operator new(std::size_t size) {
  ++libfile::testing::g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
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
  ++libfile::testing::g_allocations;
  return std::malloc(size == 0 ? 1 : size);
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
