// The frequency scale above the waterfall, as boxes to fill and labels to write.
//
// The scale follows the waterfall's span (its axis). At the whole band:
//
// Pixel geometry, for a control of 465 x 15 pixels whose column x sits above waterfall
// screen column x (the two must share their left edge), so everything here is placed with
// FrequencyScreenColumn and lines up with the waterfall to the pixel:
// - every 25 Hz step n (f = 250 + 25 n) falls at column c = round(6.4 n); odd steps have no
//   tick, even steps a tick 4 px long hanging from the top, every tenth step (each 250 Hz)
//   a tick 6 px long and, from 500 Hz on, its label with the top-left corner at (c - 7, 7);
// - the transmit marker is a blue bar 2 px wide over columns c and c + 1, the full height;
// - the receive marker is a red V, each arm 2 px wide, from columns c - 5 / c + 5 at the
//   top row to the bar's two columns c, c + 1 at the bottom row, drawn over the transmit
//   marker;
// - each signal the band scanner lists is a green block 4 px wide and 3 px high on the
//   bottom rows, over columns c - 1 .. c + 2 of its centre, under the other two markers.
// At a narrower span the labels step by the smallest of 1, 2, 2.5 or 5 times a power of ten
// hertz that leaves 64 columns between them (at the whole band, 250 Hz), with a tick every
// fifth of that, labels only where they fit whole.
// For a frequency on a bin, c is even and the pair c, c + 1 is exactly the bin's column pair
// in the stretched waterfall. Ticks are 1 px wide. Everything is clipped to the control.
#pragma once

#include <array>
#include <span>

#include "display/Pixels.h"
#include "display/WaterfallZoom.h"

namespace vela {

inline constexpr int kScaleWidth = 465;
inline constexpr int kScaleHeight = 15;
inline constexpr Rgb kScaleBackground{224, 255, 255};
inline constexpr Rgb kScaleTickColour{0, 0, 0};
inline constexpr Rgb kTransmitMarkerColour{0, 0, 255};
inline constexpr Rgb kReceiveMarkerColour{255, 0, 0};
inline constexpr int kScaleStepHz = 25;
inline constexpr int kScaleLongTickPx = 6;
inline constexpr int kScaleShortTickPx = 4;
inline constexpr int kScaleLabelLeftPx = 7;  // label's left edge, this far left of its tick
inline constexpr int kScaleLabelTopPx = 7;
inline constexpr int kReceiveMarkerSpreadPx = 5;  // each arm's offset at the top row
inline constexpr Rgb kSignalMarkColour{0, 160, 0};
inline constexpr int kSignalMarkWidthPx = 4;
inline constexpr int kSignalMarkHeightPx = 3;

struct ScaleLabel {
  int x = 0;  // left edge of the text
  int y = 0;  // top edge of the text
  int hz = 0;
};

struct ScaleBox {
  PixelRect rect;
  Rgb colour;
};

// Everything the control shows apart from its background. Arrays are fixed so a redraw
// allocates nothing; only the first `...Count` entries are used.
struct FrequencyScaleLayout {
  static constexpr int kMaxTicks = 128;
  static constexpr int kMaxLabels = 16;
  static constexpr int kMaxSignalMarks = 32;
  // Signal marks, the transmit bar, the receive V on controls up to 64 px high.
  static constexpr int kMaxMarkerBoxes = kMaxSignalMarks + 1 + 2 * 64;

  std::array<ScaleBox, kMaxTicks> ticks{};
  int tickCount = 0;
  std::array<ScaleLabel, kMaxLabels> labels{};
  int labelCount = 0;
  // The signal marks first, then the transmit bar, then the receive V row by row (left
  // arm, right arm).
  std::array<ScaleBox, kMaxMarkerBoxes> markers{};
  int markerCount = 0;
};

// Lays out the scale for the given receive and transmit frequencies, and the centres of
// the signals found on the band (the first kMaxSignalMarks), on a control of width x height
// pixels.
void LayOutFrequencyScale(double receiveHz, double transmitHz, FrequencyScaleLayout& layout,
                          int width = kScaleWidth, int height = kScaleHeight,
                          std::span<const double> signalHz = {}, const WaterfallAxis& axis = {});

// Paints the layout's boxes (not the labels, which need a font) over the background.
void PaintFrequencyScale(const FrequencyScaleLayout& layout, PixelImage& image);

}  // namespace vela
