// The Correlation window: one row of grey pixel pairs per received frame (dark where the
// PN correlation is strong), 60 rows reused top to bottom, and its caption.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "display/Pixels.h"

namespace vela {

inline constexpr int kCorrelationWidth = 447;
inline constexpr int kCorrelationHeight = 61;
inline constexpr int kCorrelationRows = 60;
inline constexpr Rgb kCorrelationBackground{240, 255, 240};

// Grey level for correlation C (0..961): round(255 - 6 sqrt(C)), 255 down to 69.
uint8_t CorrelationGrey(float c);

// One grey level per searched offset; `greys` must be at least as long as `correlations`.
void CorrelationGreys(std::span<const float> correlations, std::span<uint8_t> greys);

// The row a frame sync's `search`-th search (1 for the first) is drawn in: rows 1..59,
// then 0, then round again. Each interleave length's sync counts its own searches.
inline int CorrelationDisplayRow(int64_t search) {
  return static_cast<int>(search % kCorrelationRows);
}

// Sets the pixel pair (2 loc, row), (2 loc + 1, row) of every offset loc to its grey;
// pixels past the control's right edge are dropped.
void DrawCorrelationRow(int row, std::span<const uint8_t> greys, PixelImage& image);

// Sync confidence as a whole percentage of the full 961: round(100 syncPeak / 961).
int ConfidencePercent(double syncPeak);

// "Correlator sync confidence = 100%                 Sync start location =  37".
std::string CorrelationCaption(double syncPeak, int location);

}  // namespace vela
