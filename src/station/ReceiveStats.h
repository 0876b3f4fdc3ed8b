// What the displays show of the receiver, taken once per captured buffer: the bars' latest
// values, the sync figures and the eye's points since the last snapshot. Characters, frames
// and the transmitter's state are told as they happen; these figures are only looked at.
#pragma once

#include <optional>
#include <vector>

namespace vela {

struct EyeStepPoint {
  int subSymbol = 0;  // 0..15, four to a symbol
  long double phaseStep = 0;
};

struct ReceiveStats {
  // New values in this buffer, or nothing when the receiver drew none (the bars stay).
  std::optional<int> level;       // the level bar, every tenth quarter symbol
  std::optional<int> confidence;  // the squelch bar, once a frame
  double syncPeak = 0;            // the last frame's squared PN correlation, 0..961
  int syncLocation = 0;
  std::vector<EyeStepPoint> eye;  // every quarter symbol of the buffer, in order
};

}  // namespace vela
