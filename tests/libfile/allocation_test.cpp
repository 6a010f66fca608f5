// Reading entries allocates nothing: continuation records go through the shared part buffer and
// every entry lands in the caller's buffer. Its own program, because it counts every operator new
// (the allocation probe).
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "libfile/basis_datei.h"
#include "libfile/basis_datei32.h"
#include "library_harness.h"
#include "support/allocation_probe.h"

namespace libfile {
namespace {

using testing::Backend;

class ReadEntryAllocation : public ::testing::TestWithParam<Backend> {};

TEST_P(ReadEntryAllocation, AllocatesNothingPerEntry) {
  testing::LibraryImage current{120, 104, {}};
  for (int k = 1; k <= 20; ++k)
    current.Add(k, testing::CurrentLayoutRecord(120, "x"));
  testing::LibraryHarness harness32(GetParam(), current);
  testing::LibraryHarness harness16(GetParam(), testing::SixteenBitImage(5000, 20));

  std::vector<std::byte> buffer(65529);
  std::int32_t count32 = 0;
  std::int32_t count16 = 0;
  TBasisDatei32 file32(harness32.Context(), harness32.FileName(), buffer, count32, -2);
  TBasisDatei file16(harness16.Context(), harness16.FileName(), buffer, count16, -2);
  ASSERT_EQ(file32.Status(), 0);
  ASSERT_EQ(file16.Status(), 0);
  ASSERT_EQ(count32, 20);
  ASSERT_EQ(count16, 20);

  std::array<std::byte, 16> trailer32{};
  std::array<std::byte, 10> trailer16{};
  // The recording manager keeps a log of calls; let it grow before counting.
  harness32.Recorder().Reserve(4096);
  harness16.Recorder().Reserve(4096);
  const long before = kl7test::AllocationCount();
  for (std::int32_t k = 1; k <= 20; ++k) {
    EXPECT_TRUE(file32.ReadEntry(k, buffer, trailer32));
    EXPECT_TRUE(file16.ReadEntry(k, buffer, trailer16));
  }
  EXPECT_EQ(kl7test::AllocationCount() - before, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadEntryAllocation,
                         ::testing::Values(Backend::kPre6File, Backend::kV6File),
                         [](const auto& info) { return testing::BackendName(info.param); });

}  // namespace
}  // namespace libfile
