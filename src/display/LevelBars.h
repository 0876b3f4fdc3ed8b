// The S/N bar and the squelch (confidence) bar: 20 x 100 pixel controls with a bar growing
// up from the bottom, and on the squelch bar the operator's threshold line.
#pragma once

#include "display/Pixels.h"
#include "rx/SyncConfidence.h"

namespace vela {

inline constexpr int kBarWidth = 20;
inline constexpr int kBarHeight = 100;
inline constexpr int kStartUpLevel = 19;  // the S/N bar before any audio
inline constexpr Rgb kLevelBarColour{0, 196, 0};
inline constexpr Rgb kConfidenceAtThresholdColour{0, 191, 255};
inline constexpr Rgb kConfidenceBelowThresholdColour{173, 216, 230};
inline constexpr Rgb kThresholdLineColour{0, 0, 0};

struct BarDrawing {
  PixelRect clear;  // cleared to the control's background first
  PixelRect fill;   // then filled with `colour`; may be empty
  Rgb colour;
  bool hasThresholdLine = false;
  PixelRect thresholdLine;  // one row, drawn last; empty when off the control
};

// The S/N bar for signal level v: v pixel rows filled up from the bottom (clipped to the
// control; nothing for v <= 0).
BarDrawing DrawLevelBar(int v);

// The squelch bar showing `value`; its colour says whether the last frame's confidence has
// reached the threshold (at equality already, one below where the squelch opens).
BarDrawing DrawConfidenceBar(int value, double syncPeak, int threshold);

// Carries out a bar drawing on a control image.
void PaintBar(const BarDrawing& bar, Rgb background, PixelImage& image);

}  // namespace vela
