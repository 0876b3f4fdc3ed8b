#include "display/EyeDiagram.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vela {

EyePoint EyePointFor(int subSymbol, long double phaseStep) {
  // Far outside [-1, 1] (or NaN) would overflow the pixel arithmetic; such a value is off
  // the image either way.
  long double offset = std::nearbyint(50.0L * phaseStep);
  if (std::isnan(offset)) offset = 0.0L;
  offset = std::clamp(offset, -1000.0L, 1000.0L);
  return {eyeCentreX - static_cast<int>(offset), eyeTopY - 10 + 2 * subSymbol};
}

EyeCommand EyeDiagram::Polyline(int slot, Rgb pen) const {
  EyeCommand c;
  c.kind = EyeCommand::Kind::kPolyline;
  c.pen = pen;
  c.points = traces_[static_cast<size_t>(slot)];
  c.count = kEyeTracePoints;
  return c;
}

std::span<const EyeCommand> EyeDiagram::EyeStep(int subSymbol, long double phaseStep) {
  // Only the four quarter-symbol instants have a point in a trace.
  if (subSymbol < 0 || subSymbol >= 4 * (kEyeTracePoints - 1)) return {};
  const EyePoint point = EyePointFor(subSymbol, phaseStep);
  size_t n = 0;
  if (subSymbol == 0) {
    // The finished trace ends where the next symbol starts, one row of points lower.
    traces_[static_cast<size_t>(eyeSlot_)][kEyeTracePoints - 1] = EyePointFor(16, phaseStep);
    commands_[n++] = Polyline(eyeSlot_, kEyeTracePen);
    commands_[n++] = EyeCommand{EyeCommand::Kind::kCopyToWindow, {}, {}, 0};
    eyeSlot_ = (eyeSlot_ + 1) % kEyeSlots;
    commands_[n++] = Polyline(eyeSlot_, kEyeErasePen);
    // Axes: the zero line down the middle and the decision instant (k = 8) across.
    const EyePoint top = EyePointFor(0, 0), bottom = EyePointFor(16, 0);
    const EyePoint left = EyePointFor(8, 1), right = EyePointFor(8, -1);
    commands_[n++] = EyeCommand{EyeCommand::Kind::kPolyline, kEyeAxesPen, {{top, bottom}}, 2};
    commands_[n++] = EyeCommand{EyeCommand::Kind::kPolyline, kEyeAxesPen, {{left, right}}, 2};
  }
  traces_[static_cast<size_t>(eyeSlot_)][static_cast<size_t>(subSymbol / 4)] = point;
  return {commands_.data(), n};
}

void DrawLine(PixelImage& image, EyePoint from, EyePoint to, Rgb pen) {
  const int dx = std::abs(to.x - from.x);
  const int dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1;
  const int sy = from.y < to.y ? 1 : -1;
  int err = dx + dy;
  int x = from.x;
  int y = from.y;
  while (x != to.x || y != to.y) {
    image.SetPixel(x, y, pen);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

bool EyeCanvas::Apply(std::span<const EyeCommand> commands) {
  bool copied = false;
  for (const EyeCommand& c : commands) {
    if (c.kind == EyeCommand::Kind::kCopyToWindow) {
      std::copy(offscreen_.pixels().begin(), offscreen_.pixels().end(), shown_.pixels().begin());
      copied = true;
      continue;
    }
    const int count = std::clamp(c.count, 0, kEyeTracePoints);
    for (int i = 1; i < count; ++i) {
      DrawLine(offscreen_, c.points[static_cast<size_t>(i - 1)], c.points[static_cast<size_t>(i)],
               c.pen);
    }
  }
  return copied;
}

}  // namespace vela
