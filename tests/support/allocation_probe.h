// Watches every operator new of the test program that links allocation_probe.cpp: how many
// allocations were made, and the largest single request, so that tests can show that reading
// entries allocates nothing and that hostile input never makes the reader allocate much more than
// the file.
#pragma once

#include <cstddef>

namespace kl7test {

void ResetLargestAllocation();
// From now on every single request above `bytes` fails (nullptr or std::bad_alloc), as when memory
// runs out; SIZE_MAX restores the default.
void FailAllocationsAbove(std::size_t bytes);
[[nodiscard]] std::size_t LargestAllocation();
[[nodiscard]] long AllocationCount();

}  // namespace kl7test
