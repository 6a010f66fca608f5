#include "btrieve/btrieve.h"

namespace btrieve {

std::uint16_t BTRCALL(std::uint16_t, void*, void*, std::uint32_t*, void*, std::uint8_t, std::int8_t) {
  return status::kInvalidOperation;
}

}  // namespace btrieve
