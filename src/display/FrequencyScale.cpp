#include "display/FrequencyScale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "display/Waterfall.h"

namespace vela {
namespace {

void AddMarkerBox(FrequencyScaleLayout& layout, PixelRect rect, Rgb colour, int width, int height) {
  rect = ClipRect(rect, width, height);
  if (rect.Empty() || layout.markerCount >= FrequencyScaleLayout::kMaxMarkerBoxes) return;
  layout.markers[static_cast<size_t>(layout.markerCount++)] = {rect, colour};
}

}  // namespace

namespace {

// The labels' step at `hzPerColumn`: the smallest 1, 2, 2.5 or 5 times a power of ten
// that leaves at least 64 columns between labels.
double LabelStepHz(double hzPerColumn) {
  constexpr double kMantissas[] = {1.0, 2.0, 2.5, 5.0};
  for (double decade = 1.0;; decade *= 10.0) {
    for (const double m : kMantissas) {
      if (m * decade >= 64.0 * hzPerColumn) return m * decade;
    }
  }
}

}  // namespace

void LayOutFrequencyScale(double receiveHz, double transmitHz, FrequencyScaleLayout& layout,
                          int width, int height, std::span<const double> signalHz,
                          const WaterfallAxis& axis) {
  layout.tickCount = 0;
  layout.labelCount = 0;
  layout.markerCount = 0;

  const double labelStep = LabelStepHz(axis.hzPerColumn);
  const double tickStep = labelStep / 5;
  for (auto m = static_cast<int64_t>(std::ceil(axis.leftHz / tickStep));
       layout.tickCount < FrequencyScaleLayout::kMaxTicks; ++m) {
    const double hz = static_cast<double>(m) * tickStep;
    const int x = axis.Column(hz);
    if (x >= width) break;
    const bool major = m % 5 == 0;
    const PixelRect tick =
        ClipRect({x, 0, 1, major ? kScaleLongTickPx : kScaleShortTickPx}, width, height);
    if (!tick.Empty())
      layout.ticks[static_cast<size_t>(layout.tickCount++)] = {tick, kScaleTickColour};
    if (major && x >= kScaleLabelLeftPx && layout.labelCount < FrequencyScaleLayout::kMaxLabels) {
      layout.labels[static_cast<size_t>(layout.labelCount++)] = {
          x - kScaleLabelLeftPx, kScaleLabelTopPx, static_cast<int>(std::lround(hz))};
    }
  }

  const size_t marks =
      std::min(signalHz.size(), static_cast<size_t>(FrequencyScaleLayout::kMaxSignalMarks));
  for (const double hz : signalHz.first(marks)) {
    AddMarkerBox(layout,
                 {axis.Column(hz) - 1, height - kSignalMarkHeightPx, kSignalMarkWidthPx,
                  kSignalMarkHeightPx},
                 kSignalMarkColour, width, height);
  }

  const int tx = axis.Column(transmitHz);
  AddMarkerBox(layout, {tx, 0, 2, height}, kTransmitMarkerColour, width, height);

  // The V: each arm closes in on the marker's two columns as it goes down, reaching them
  // on the bottom row.
  const int rx = axis.Column(receiveHz);
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
