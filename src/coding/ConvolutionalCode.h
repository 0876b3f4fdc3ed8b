// The rate-1/2, K=7 convolutional code (generators 171 and 133 octal) as a 256-entry table
// both the encoder and the Viterbi decoder use for their branch outputs.
#pragma once

#include <array>
#include <cstdint>

namespace vela {

// Entry r = 2*p1 + p2 for register r (newest bit in bit 0). Entries 127 and 255 hold 2.
const std::array<uint8_t, 256>& EncoderTable();

struct CodePair {
  int p1;  // sent first
  int p2;
};

// Shifts a data bit into an encoder register and returns the table entry it selects.
inline uint8_t EncoderStep(uint8_t& encoderRegister, int bit) {
  encoderRegister = static_cast<uint8_t>(encoderRegister * 2 + (bit ? 1 : 0));
  return EncoderTable()[encoderRegister];
}

inline CodePair SplitEntry(uint8_t entry) {
  return {(entry >> 1) & 1, entry & 1};
}

// Coded bit 1 goes on air as +1, 0 as -1.
inline int CodedBitToSymbol(int bit) {
  return bit ? 1 : -1;
}

}  // namespace vela
