#include "btrieve/process_heap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace btrieve {

void PrepareProcessHeap() {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
  // The heap grows by at least this much whenever it must grow: address space only, since the
  // system gives memory as it is first touched.
  constexpr std::size_t kGrowth = std::size_t{64} << 20;
  // Blocks up to this size come from the heap (and from its huge pages), not from a mapping each.
  constexpr int kLargestInHeap = 32 << 20;
  if (mallopt(M_MMAP_THRESHOLD, kLargestInHeap) == 0 || mallopt(M_TOP_PAD, kGrowth) == 0 ||
      mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kGrowth)) == 0) {
    return;
  }
  // Huge pages serve only whole aligned 2 MiB blocks. The heap's top lies somewhere inside one,
  // whose start holds the little allocated so far: a filler block that is never touched takes
  // the rest of it, so that what is allocated next begins on a fresh block. Growing the heap for
  // the filler makes it grow by kGrowth as well, and the advice then covers all it has grown to.
  // Growth beyond that gets ordinary pages.
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  // (A probe this large comes from the top of the heap: nothing freed so early is as large.)
  void* const probe = std::malloc(std::size_t{64} << 10);
  if (probe == nullptr) return;
  const auto top = reinterpret_cast<std::uintptr_t>(probe);
  std::free(probe);
  const std::uintptr_t aligned = (top + kHugePage - 1) / kHugePage * kHugePage;
  // (The filler stays allocated for the life of the process; it holds no memory, only addresses.)
  if (std::malloc(aligned - top > 4096 ? aligned - top - 64 : aligned - top + kHugePage - 64) ==
      nullptr) {
    return;
  }
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0)) / kHugePage * kHugePage;
  if (end > aligned)
    (void)::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
#endif
}

}  // namespace btrieve
