// Sync confidence, 0..100, of a frame's sync peak (0..961): floor(syncPeak / 9.6). The
// squelch opens above the operator's threshold of it, and the squelch bar shows it.
#pragma once

#include <algorithm>
#include <cmath>

namespace vela {

inline int SyncConfidence(double syncPeak) {
  if (!(syncPeak > 0.0)) return 0;  // also NaN
  return static_cast<int>(std::min(std::floor(syncPeak / 9.6), 100.0));
}

// Text passes only when the confidence is above the threshold, strictly.
inline bool SquelchOpen(int confidence, int threshold) {
  return confidence > threshold;
}

}  // namespace vela
