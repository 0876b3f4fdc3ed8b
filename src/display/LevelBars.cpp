#include "display/LevelBars.h"

#include <algorithm>
#include <cmath>

namespace vela {
namespace {

// The cleared area leaves the control's top row alone, as the bar always has.
constexpr PixelRect kBarArea{0, 1, kBarWidth, kBarHeight - 1};

PixelRect BarFromBottom(int v) {
  if (v <= 0) return PixelRect{};
  v = std::min(v, kBarHeight);
  return PixelRect{0, kBarHeight - v, kBarWidth, v};
}

}  // namespace

BarDrawing DrawLevelBar(int v) {
  return BarDrawing{kBarArea, BarFromBottom(v), kLevelBarColour, false, PixelRect{}};
}

BarDrawing DrawConfidenceBar(int value, double syncPeak, int threshold) {
  BarDrawing bar{kBarArea, BarFromBottom(value),
                 SyncConfidence(syncPeak) >= threshold ? kConfidenceAtThresholdColour
                                                       : kConfidenceBelowThresholdColour,
                 true, PixelRect{}};
  bar.thresholdLine = ClipRect({0, kBarHeight - threshold, kBarWidth, 1}, kBarWidth, kBarHeight);
  return bar;
}

void PaintBar(const BarDrawing& bar, Rgb background, PixelImage& image) {
  image.FillRect(bar.clear, background);
  image.FillRect(bar.fill, bar.colour);
  if (bar.hasThresholdLine) image.FillRect(bar.thresholdLine, kThresholdLineColour);
}

}  // namespace vela
