// Replaces the global operator new/delete of the test program with malloc-based versions that count
// allocations and remember the largest request (see allocation_probe.h). Kept in a file of its own
// so that no caller sees malloc and free paired with new and delete.
#include "allocation_probe.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#endif

namespace kl7test {
namespace {
std::atomic<std::size_t> g_largest{0};
std::atomic<long> g_count{0};
std::atomic<std::size_t> g_failAbove{SIZE_MAX};
}  // namespace

void FailAllocationsAbove(std::size_t bytes) {
  g_failAbove = bytes;
}

void ResetLargestAllocation() {
  g_largest = 0;
}
std::size_t LargestAllocation() {
  return g_largest;
}
long AllocationCount() {
  return g_count;
}

}  // namespace kl7test

namespace {
void* TryAllocate(std::size_t size) noexcept {
  ++kl7test::g_count;
  std::size_t seen = kl7test::g_largest.load();
  while (size > seen && !kl7test::g_largest.compare_exchange_weak(seen, size)) {
  }
  if (size > kl7test::g_failAbove) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}
void* Allocate(std::size_t size) {
  if (void* p = TryAllocate(size)) return p;
  throw std::bad_alloc();
}
void* TryAllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  ++kl7test::g_count;
  std::size_t seen = kl7test::g_largest.load();
  while (size > seen && !kl7test::g_largest.compare_exchange_weak(seen, size)) {
  }
  if (size > kl7test::g_failAbove) return nullptr;
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (std::max<std::size_t>(size, 1) + align - 1) / align * align;
#if defined(_WIN32)
  return _aligned_malloc(rounded, align);  // Windows has no aligned_alloc
#else
  return std::aligned_alloc(align, rounded);
#endif
}
void FreeAligned(void* p) noexcept {
#if defined(_WIN32)
  _aligned_free(p);
#else
  std::free(p);
#endif
}
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  if (void* p = TryAllocateAligned(size, alignment)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return TryAllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return TryAllocateAligned(size, alignment);
}
void operator delete(void* p, std::align_val_t) noexcept {
  FreeAligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  FreeAligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  FreeAligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  FreeAligned(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(p);
}

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return TryAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return TryAllocate(size);
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
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
