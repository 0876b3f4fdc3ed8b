#include "display/FrequencyScale.h"

#include <algorithm>
#include <cmath>

#include "display/Waterfall.h"

namespace vela {
namespace {

void AddMarkerBox(FrequencyScaleLayout& layout, PixelRect rect, Rgb colour, int width, int height) {
  rect = ClipRect(rect, width, height);
  if (rect.Empty() || layout.markerCount >= FrequencyScaleLayout::kMaxMarkerBoxes) return;
  layout.markers[static_cast<size_t>(layout.markerCount++)] = {rect, colour};
}

}  // namespace

void LayOutFrequencyScale(double receiveHz, double transmitHz, FrequencyScaleLayout& layout,
                          int width, int height, std::span<const double> signalHz) {
  layout.tickCount = 0;
  layout.labelCount = 0;
  layout.markerCount = 0;

  for (int n = 0; layout.tickCount < FrequencyScaleLayout::kMaxTicks; ++n) {
    const int hz = static_cast<int>(kWaterfallBaseHz) + kScaleStepHz * n;
    const int x = FrequencyScreenColumn(hz);
    if (x >= width) break;
    if (n % 2 != 0) continue;
    const bool major = n % 10 == 0;
    const PixelRect tick =
        ClipRect({x, 0, 1, major ? kScaleLongTickPx : kScaleShortTickPx}, width, height);
    if (!tick.Empty())
      layout.ticks[static_cast<size_t>(layout.tickCount++)] = {tick, kScaleTickColour};
    if (major && n > 0 && layout.labelCount < FrequencyScaleLayout::kMaxLabels) {
      layout.labels[static_cast<size_t>(layout.labelCount++)] = {x - kScaleLabelLeftPx,
                                                                 kScaleLabelTopPx, hz};
    }
  }

  const size_t marks =
      std::min(signalHz.size(), static_cast<size_t>(FrequencyScaleLayout::kMaxSignalMarks));
  for (const double hz : signalHz.first(marks)) {
    AddMarkerBox(layout,
                 {FrequencyScreenColumn(hz) - 1, height - kSignalMarkHeightPx, kSignalMarkWidthPx,
                  kSignalMarkHeightPx},
                 kSignalMarkColour, width, height);
  }

  const int tx = FrequencyScreenColumn(transmitHz);
  AddMarkerBox(layout, {tx, 0, 2, height}, kTransmitMarkerColour, width, height);

  // The V: each arm closes in on the marker's two columns as it goes down, reaching them
  // on the bottom row.
  const int rx = FrequencyScreenColumn(receiveHz);
  const int bottom = height - 1;
  for (int y = 0; y < height; ++y) {
    const int spread =
        bottom > 0 ? static_cast<int>(std::lround(
                         static_cast<double>(kReceiveMarkerSpreadPx * (bottom - y)) / bottom))
                   : 0;
    AddMarkerBox(layout, {rx - spread, y, 2, 1}, kReceiveMarkerColour, width, height);
    AddMarkerBox(layout, {rx + spread, y, 2, 1}, kReceiveMarkerColour, width, height);
  }
}

void PaintFrequencyScale(const FrequencyScaleLayout& layout, PixelImage& image) {
  image.Fill(kScaleBackground);
  for (int i = 0; i < layout.tickCount; ++i) {
    const ScaleBox& box = layout.ticks[static_cast<size_t>(i)];
    image.FillRect(box.rect, box.colour);
  }
  for (int i = 0; i < layout.markerCount; ++i) {
    const ScaleBox& box = layout.markers[static_cast<size_t>(i)];
    image.FillRect(box.rect, box.colour);
  }
}

}  // namespace vela
