// The call wrapper: the 16-bit data length reaches the record manager as a 32-bit value of the
// wrapper's own, and whatever length comes back is dropped.
#include "libfile/record_manager.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace libfile {
namespace {

class LengthEcho final : public RecordManager {
 public:
  std::uint16_t Call(std::uint16_t operation, void*, void*, std::uint32_t* dataLength, void*,
                     std::uint8_t keyLength, std::int8_t keyNumber) override {
    seenLength = *dataLength;
    seenKeyLength = keyLength;
    seenKeyNumber = keyNumber;
    *dataLength = 0xDEADBEEF;
    return operation;
  }
  std::uint32_t seenLength = 0;
  std::uint8_t seenKeyLength = 0;
  std::int8_t seenKeyNumber = 0;
};

TEST(CallRecordManager, WidensTheDataLengthAndDropsTheReturnedOne) {
  LengthEcho echo;
  for (const std::uint16_t length : {std::uint16_t{0}, std::uint16_t{4090}, std::uint16_t{65535}}) {
    EXPECT_EQ(CallRecordManager(echo, 13, length, nullptr, nullptr, nullptr, 4, -2), 13);
    EXPECT_EQ(echo.seenLength, length);
    EXPECT_EQ(echo.seenKeyLength, 4);
    EXPECT_EQ(echo.seenKeyNumber, -2);
  }
}

}  // namespace
}  // namespace libfile
