// Frame layout: 31 PN sync values spread one before every G-1 coded symbols.
#pragma once

#include <array>
#include <span>

#include "coding/Modes.h"

namespace vela {

// 33 slots: the 31-value STANAG 4285 PN sequence as +1/-1, then two zeros.
const std::array<int, 33>& SyncPattern();

struct FrameGeometry {
  int codedSymbols;  // N: coded symbols interleaved into one frame
  int groupSize;     // G: one sync value then G-1 data symbols
  int frameLength;   // L = 32*G - 1 symbols sent
  int imageSize;     // 32*G positions built
  int dataBits;      // N / 2
};

const FrameGeometry& Geometry(InterleaveLength length);

inline constexpr int kSyncGroups = 32;
inline constexpr int kPreambleSymbols = 40;

// Lays interleaved symbols t[0..N-1] and the sync values into a frame image of 32*G
// positions. Only the first L are sent; t[N-1] never goes on air.
void BuildFrameImage(InterleaveLength length, std::span<const int> t, std::span<int> image);

}  // namespace vela
