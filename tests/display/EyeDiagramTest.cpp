#include "display/EyeDiagram.h"

#include <gtest/gtest.h>

#include <vector>

namespace vela {
namespace {

using Kind = EyeCommand::Kind;

std::vector<EyePoint> Points(const EyeCommand& c) {
  return {c.points.begin(), c.points.begin() + c.count};
}

TEST(EyePoint, ValueAcrossTimeDown) {
  EXPECT_EQ(EyePointFor(0, 1.0L).x, 10);
  EXPECT_EQ(EyePointFor(0, -1.0L).x, 110);
  EXPECT_EQ(EyePointFor(0, 0.375L).x, 41);  // round(18.75) = 19
  EXPECT_EQ(EyePointFor(0, -0.375L).x, 79);
  EXPECT_EQ(EyePointFor(0, 0.01L).x, 60);  // round(0.5) = 0: ties to even
  EXPECT_EQ(EyePointFor(0, -0.01L).x, 60);
  EXPECT_EQ(EyePointFor(0, 0.03L).x, 58);  // round(1.5) = 2
  EXPECT_EQ(EyePointFor(0, 0.0L).x, 60);
  EXPECT_EQ(EyePointFor(0, 0.0L).y, 15);
  EXPECT_EQ(EyePointFor(4, 0.0L).y, 23);
  EXPECT_EQ(EyePointFor(8, 0.0L).y, 31);
  EXPECT_EQ(EyePointFor(12, 0.0L).y, 39);
  EXPECT_EQ(EyePointFor(16, 0.0L).y, 47);
  // A wild value stays a wild point, without overflowing.
  EXPECT_LT(EyePointFor(0, 1.0e30L).x, 0);
  EXPECT_GT(EyePointFor(0, -1.0e30L).x, kEyeWidth);
}

TEST(EyeDiagram, FirstSymbolDrawsShowsErasesThroughOriginAndDrawsAxes) {
  EyeDiagram eye;
  EXPECT_TRUE(eye.EyeStep(4, 0.5L).empty());
  EXPECT_TRUE(eye.EyeStep(8, 1.0L).empty());
  EXPECT_TRUE(eye.EyeStep(12, 0.5L).empty());
  const auto commands = eye.EyeStep(0, -1.0L);
  ASSERT_EQ(commands.size(), 5U);

  EXPECT_EQ(commands[0].kind, Kind::kPolyline);
  EXPECT_EQ(commands[0].pen, kEyeTracePen);
  EXPECT_EQ(Points(commands[0]),
            (std::vector<EyePoint>{{0, 0}, {35, 23}, {10, 31}, {35, 39}, {110, 47}}));
  EXPECT_EQ(commands[1].kind, Kind::kCopyToWindow);
  // Slot 1 has never been drawn: its erasure goes through (0, 0) only.
  EXPECT_EQ(commands[2].pen, kEyeErasePen);
  EXPECT_EQ(Points(commands[2]), std::vector<EyePoint>(5, EyePoint{0, 0}));
  EXPECT_EQ(commands[3].pen, kEyeAxesPen);
  EXPECT_EQ(Points(commands[3]), (std::vector<EyePoint>{{60, 15}, {60, 47}}));
  EXPECT_EQ(commands[4].pen, kEyeAxesPen);
  EXPECT_EQ(Points(commands[4]), (std::vector<EyePoint>{{10, 31}, {110, 31}}));

  EXPECT_EQ(eye.eyeSlot(), 1);
  // The new trace starts where the last one ended, at the top.
  EXPECT_EQ(eye.Trace(1)[0], (EyePoint{110, 15}));
}

TEST(EyeDiagram, EachTraceIsErasedFourSymbolsLater) {
  EyeDiagram eye;
  std::vector<std::vector<EyePoint>> drawn;
  std::vector<std::vector<EyePoint>> erased;
  for (int symbol = 0; symbol < 12; ++symbol) {
    for (int k : {0, 4, 8, 12}) {
      const long double d = (symbol * 4 + k) % 7 / 7.0L - 0.4L;
      for (const EyeCommand& c : eye.EyeStep(k, d)) {
        if (c.pen == kEyeTracePen) drawn.push_back(Points(c));
        if (c.kind == Kind::kPolyline && c.pen == kEyeErasePen) erased.push_back(Points(c));
      }
    }
    EXPECT_EQ(eye.eyeSlot(), (symbol + 1) % 4);
  }
  ASSERT_EQ(drawn.size(), 12U);
  ASSERT_EQ(erased.size(), 12U);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(erased[i], std::vector<EyePoint>(5, EyePoint{0, 0})) << i;
  for (size_t i = 3; i < 12; ++i) EXPECT_EQ(erased[i], drawn[i - 3]) << i;
  // Consecutive traces join: each begins at the previous one's end, raised to the top row.
  for (size_t i = 1; i < 12; ++i) {
    EXPECT_EQ(drawn[i][0].x, drawn[i - 1][4].x) << i;
    EXPECT_EQ(drawn[i][0].y, 15);
    EXPECT_EQ(drawn[i][4].y, 47);
  }
}

TEST(EyeDiagram, OddSubSymbolsOutsideTheTraceAreIgnored) {
  EyeDiagram eye;
  EXPECT_TRUE(eye.EyeStep(16, 0.0L).empty());
  EXPECT_TRUE(eye.EyeStep(-4, 0.0L).empty());
  EXPECT_EQ(eye.Trace(0), (std::array<EyePoint, 5>{}));
}

TEST(DrawLine, LastPointLeftUndrawn) {
  PixelImage image(8, 8);
  const Rgb pen{1, 1, 1};
  DrawLine(image, {1, 1}, {5, 1}, pen);
  for (int x = 1; x < 5; ++x) EXPECT_EQ(image.Pixel(x, 1), pen) << x;
  EXPECT_EQ(image.Pixel(5, 1), kBlack);
  EXPECT_EQ(image.Pixel(0, 1), kBlack);
  DrawLine(image, {6, 6}, {2, 2}, pen);
  for (int i = 3; i <= 6; ++i) EXPECT_EQ(image.Pixel(i, i), pen) << i;
  EXPECT_EQ(image.Pixel(2, 2), kBlack);
  PixelImage blank(8, 8);
  DrawLine(blank, {3, 3}, {3, 3}, pen);  // no length, nothing drawn
  EXPECT_EQ(blank.Pixel(3, 3), kBlack);
  // A steep line sets one pixel per row.
  PixelImage steep(8, 8);
  DrawLine(steep, {0, 0}, {2, 7}, pen);
  for (int y = 0; y < 7; ++y) {
    int set = 0;
    for (int x = 0; x < 8; ++x) set += steep.Pixel(x, y) == pen;
    EXPECT_EQ(set, 1) << y;
  }
}

TEST(EyeCanvas, ShowsFourTracesAndAxesOncePerSymbol) {
  EyeDiagram eye;
  EyeCanvas canvas;
  int copies = 0;
  // A steady eye: every symbol traces straight down at x = 35 (D = 0.5).
  auto symbol = [&](long double d) {
    for (int k : {0, 4, 8, 12}) copies += canvas.Apply(eye.EyeStep(k, d));
  };
  symbol(0.5L);
  EXPECT_EQ(copies, 1);
  for (int i = 0; i < 5; ++i) symbol(0.5L);
  EXPECT_EQ(copies, 6);

  const PixelImage& shown = canvas.shown();
  EXPECT_EQ(shown.Pixel(35, 20), kEyeTracePen);
  EXPECT_EQ(shown.Pixel(60, 15), kEyeAxesPen);
  EXPECT_EQ(shown.Pixel(60, 40), kEyeAxesPen);
  EXPECT_EQ(shown.Pixel(10, 31), kEyeAxesPen);
  EXPECT_EQ(shown.Pixel(109, 31), kEyeAxesPen);
  EXPECT_EQ(shown.Pixel(110, 31), kBlack);  // line ends are not drawn
  EXPECT_EQ(shown.Pixel(60, 47), kBlack);

  // Now the signal swings to D = -0.5 (x = 85). Four symbols later the old trace is gone
  // from the off-screen image, and the window shows it no more after the next copy.
  for (int i = 0; i < 4; ++i) symbol(-0.5L);
  EXPECT_EQ(canvas.offscreen().Pixel(35, 20), kBlack);
  EXPECT_EQ(canvas.shown().Pixel(85, 20), kEyeTracePen);
  symbol(-0.5L);
  EXPECT_EQ(canvas.shown().Pixel(35, 20), kBlack);
  EXPECT_EQ(canvas.shown().Pixel(60, 31), kEyeAxesPen);  // axes survive the erasing
}

TEST(EyeCanvas, WindowIsCopiedBeforeTheOldestTraceIsErased) {
  EyeDiagram eye;
  EyeCanvas canvas;
  // Symbol 0 runs straight down x = 20 (its trace ends on the next symbol's first value);
  // every later value is at x = 100.
  for (int symbol = 0; symbol < 5; ++symbol) {
    for (int k : {0, 4, 8, 12}) {
      const bool first = symbol == 0 || (symbol == 1 && k == 0);
      canvas.Apply(eye.EyeStep(k, first ? 0.8L : -0.8L));
    }
  }
  // Symbol 0's trace was drawn at the start of symbol 1 and erased at the start of
  // symbol 4, just after the copy that still shows it.
  EXPECT_EQ(canvas.shown().Pixel(20, 27), kEyeTracePen);
  EXPECT_EQ(canvas.offscreen().Pixel(20, 27), kBlack);
  EXPECT_EQ(canvas.offscreen().Pixel(100, 27), kEyeTracePen);
}

}  // namespace
}  // namespace vela
