#include "coding/ConvolutionalCode.h"

#include <bit>

namespace vela {
namespace {

std::array<uint8_t, 256> BuildEncoderTable() {
  std::array<uint8_t, 256> table{};
  for (unsigned r = 0; r < 256; ++r) {
    const unsigned p1 = std::popcount(r & 0x4FU) & 1U;
    const unsigned p2 = std::popcount(r & 0x6DU) & 1U;
    table[r] = static_cast<uint8_t>(2 * p1 + p2);
  }
  // All seven low bits set: this code's table sends (1, 0) there, and every station must.
  table[127] = 2;
  table[255] = 2;
  return table;
}

}  // namespace

const std::array<uint8_t, 256>& EncoderTable() {
  static const std::array<uint8_t, 256> table = BuildEncoderTable();
  return table;
}

}  // namespace vela
