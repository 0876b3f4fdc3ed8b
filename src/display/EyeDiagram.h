// The eye diagram: the demodulator's phase step drawn down the symbol, four symbols
// overlaid, on a 128 x 65 image that the window shows once per symbol.
//
// EyeDiagram keeps the four traces and turns each quarter-symbol value into drawing
// commands; EyeCanvas carries them out on an off-screen image and the shown image, so the
// window only copies 128 x 65 pixels when `shown` changes.
#pragma once

#include <array>
#include <span>

#include "display/Pixels.h"

namespace vela {

inline constexpr int kEyeWidth = 128;
inline constexpr int kEyeHeight = 65;
inline constexpr int eyeCentreX = 60;
inline constexpr int eyeTopY = 25;
inline constexpr int kEyeSlots = 4;
inline constexpr int kEyeTracePoints = 5;

inline constexpr Rgb kEyeTracePen{0, 255, 255};
inline constexpr Rgb kEyeErasePen{0, 0, 0};
inline constexpr Rgb kEyeAxesPen{255, 255, 0};

struct EyePoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const EyePoint&, const EyePoint&) = default;
};

// Where value D at sub-symbol k goes: x = 60 - round(50 D) (ties to even, positive values
// left of centre), y = 15 + 2k.
EyePoint EyePointFor(int subSymbol, long double phaseStep);

struct EyeCommand {
  enum class Kind {
    kPolyline,      // pen through points[0..count-1], the last point itself not drawn
    kCopyToWindow,  // show the off-screen image as it now is
  };
  Kind kind = Kind::kPolyline;
  Rgb pen{};
  std::array<EyePoint, kEyeTracePoints> points{};
  int count = 0;
};

class EyeDiagram {
 public:
  // One quarter-symbol: k = subSymbol (0, 4, 8 or 12), D = phaseStep in [-1, 1]. At k = 0
  // the finished trace is drawn, shown, and the trace of four symbols ago erased; the
  // returned commands (empty for other k) stay valid until the next call.
  std::span<const EyeCommand> EyeStep(int subSymbol, long double phaseStep);

  int eyeSlot() const { return eyeSlot_; }
  const std::array<EyePoint, kEyeTracePoints>& Trace(int slot) const {
    return traces_[static_cast<size_t>(slot)];
  }

 private:
  EyeCommand Polyline(int slot, Rgb pen) const;

  std::array<std::array<EyePoint, kEyeTracePoints>, kEyeSlots> traces_{};
  int eyeSlot_ = 0;
  std::array<EyeCommand, 5> commands_{};
};

// Draws a one-pixel line from `from` towards `to`, leaving `to` itself undrawn, so joined
// segments of a polyline set each vertex once.
void DrawLine(PixelImage& image, EyePoint from, EyePoint to, Rgb pen);

class EyeCanvas {
 public:
  EyeCanvas() : offscreen_(kEyeWidth, kEyeHeight), shown_(kEyeWidth, kEyeHeight) {}

  // Carries out the commands; returns true if the shown image was updated.
  bool Apply(std::span<const EyeCommand> commands);

  const PixelImage& offscreen() const { return offscreen_; }
  const PixelImage& shown() const { return shown_; }

 private:
  PixelImage offscreen_;
  PixelImage shown_;
};

}  // namespace vela
