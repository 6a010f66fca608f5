// Records the largest single allocation made through operator new in this test program, so that
// tests can show that hostile input never makes the reader allocate much more than the file's size.
#pragma once

#include <cstddef>

namespace btrieve::test {

void ResetLargestAllocation();
[[nodiscard]] std::size_t LargestAllocation();

}  // namespace btrieve::test
