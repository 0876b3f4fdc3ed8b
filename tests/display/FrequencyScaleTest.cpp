#include "display/FrequencyScale.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <vector>

#include "display/Waterfall.h"

namespace vela {
namespace {

PixelImage Paint(double rxHz, double txHz) {
  FrequencyScaleLayout layout;
  LayOutFrequencyScale(rxHz, txHz, layout);
  PixelImage image(kScaleWidth, kScaleHeight);
  PaintFrequencyScale(layout, image);
  return image;
}

std::vector<int> ColumnsOf(const PixelImage& image, int y, Rgb colour) {
  std::vector<int> columns;
  for (int x = 0; x < image.width(); ++x) {
    if (image.Pixel(x, y) == colour) columns.push_back(x);
  }
  return columns;
}

// The screen columns of the waterfall that show the bin of frequency `hz`.
std::vector<int> WaterfallColumnsOfBin(double hz) {
  const int bin = static_cast<int>(hz / 7.8125);
  std::vector<int> columns;
  for (int x = 0; x < kScaleWidth; ++x) {
    if (ScreenColumnBin(x) == bin) columns.push_back(x);
  }
  return columns;
}

TEST(FrequencyScale, MarkersSitOverTheWaterfallColumnsOfTheirFrequency) {
  for (double hz : {250.0, 1000.0, 2000.0}) {
    SCOPED_TRACE(hz);
    const auto bin = WaterfallColumnsOfBin(hz);
    ASSERT_EQ(bin.size(), 2U);
    EXPECT_DOUBLE_EQ(ScreenColumnFrequency(bin[0]), hz);

    // Transmit bar alone (receive marker parked off the scale): full height over the bin.
    const PixelImage tx = Paint(-1000.0, hz);
    for (int y = 0; y < kScaleHeight; ++y)
      EXPECT_EQ(ColumnsOf(tx, y, kTransmitMarkerColour), bin) << y;

    // Receive V: its point is the bin's two columns; it opens symmetrically upward.
    const PixelImage rx = Paint(hz, -1000.0);
    EXPECT_EQ(ColumnsOf(rx, kScaleHeight - 1, kReceiveMarkerColour), bin);
    for (int y = 0; y < kScaleHeight; ++y) {
      const auto red = ColumnsOf(rx, y, kReceiveMarkerColour);
      ASSERT_FALSE(red.empty()) << y;
      // Mirror image about the middle of the bin's column pair (clipped at the left edge).
      for (int x : red) {
        const int mirror = 2 * bin[0] + 1 - x;
        if (mirror >= 0) {
          EXPECT_EQ(rx.Pixel(mirror, y), kReceiveMarkerColour) << x << "," << y;
        }
      }
    }
  }
}

TEST(FrequencyScale, ReceiveVGeometryAt1000Hz) {
  const PixelImage image = Paint(1000.0, -1000.0);
  EXPECT_EQ(ColumnsOf(image, 0, kReceiveMarkerColour), (std::vector<int>{187, 188, 197, 198}));
  EXPECT_EQ(ColumnsOf(image, 7, kReceiveMarkerColour), (std::vector<int>{189, 190, 195, 196}));
  EXPECT_EQ(ColumnsOf(image, 14, kReceiveMarkerColour), (std::vector<int>{192, 193}));
  // The arms close in by at most one column per row, so they read as lines.
  int previousLeft = 187;
  for (int y = 1; y < kScaleHeight; ++y) {
    const int left = ColumnsOf(image, y, kReceiveMarkerColour).front();
    EXPECT_GE(left, previousLeft);
    EXPECT_LE(left, previousLeft + 1);
    previousLeft = left;
  }
}

TEST(FrequencyScale, ReceiveMarkerDrawnOverTransmitMarker) {
  const PixelImage image = Paint(1000.0, 1000.0);
  EXPECT_EQ(image.Pixel(192, 14), kReceiveMarkerColour);
  EXPECT_EQ(image.Pixel(192, 0), kTransmitMarkerColour);
}

TEST(FrequencyScale, TicksEvery50HzLongTicksAndLabelsEvery250Hz) {
  FrequencyScaleLayout layout;
  LayOutFrequencyScale(-1000.0, -1000.0, layout);
  EXPECT_EQ(layout.markerCount, 0);
  ASSERT_EQ(layout.tickCount, 37);  // 250 Hz .. 2050 Hz in 50 Hz steps
  std::set<int> columns;
  for (int i = 0; i < layout.tickCount; ++i) {
    const ScaleBox& tick = layout.ticks[static_cast<size_t>(i)];
    const int hz = 250 + 50 * i;
    EXPECT_EQ(tick.rect.x, FrequencyScreenColumn(hz)) << hz;
    EXPECT_EQ(tick.rect.y, 0);
    EXPECT_EQ(tick.rect.width, 1);
    EXPECT_EQ(tick.rect.height, hz % 250 == 0 ? kScaleLongTickPx : kScaleShortTickPx) << hz;
    columns.insert(tick.rect.x);
  }
  EXPECT_EQ(layout.ticks[1].rect.x, 13);  // 300 Hz: 6.4 * 2 = 12.8
  EXPECT_EQ(layout.ticks[36].rect.x, 461);
  EXPECT_EQ(columns.count(6), 0U);  // 275 Hz: odd steps carry no tick

  ASSERT_EQ(layout.labelCount, 7);
  for (int i = 0; i < layout.labelCount; ++i) {
    const ScaleLabel& label = layout.labels[static_cast<size_t>(i)];
    EXPECT_EQ(label.hz, 500 + 250 * i);
    EXPECT_EQ(label.x, 64 * (i + 1) - kScaleLabelLeftPx);
    EXPECT_EQ(label.y, kScaleLabelTopPx);
  }

  PixelImage image(kScaleWidth, kScaleHeight);
  PaintFrequencyScale(layout, image);
  EXPECT_EQ(image.Pixel(192, 5), kScaleTickColour);
  EXPECT_EQ(image.Pixel(192, 6), kScaleBackground);
  EXPECT_EQ(image.Pixel(205, 3), kScaleTickColour);  // 1050 Hz
  EXPECT_EQ(image.Pixel(205, 4), kScaleBackground);
  EXPECT_EQ(image.Pixel(100, 0), kScaleBackground);
}

TEST(FrequencyScale, MarkersOffTheScaleAreClippedAway) {
  FrequencyScaleLayout layout;
  LayOutFrequencyScale(1.0e300, std::numeric_limits<double>::quiet_NaN(), layout);
  EXPECT_EQ(layout.markerCount, 0);
  LayOutFrequencyScale(5000.0, 100.0, layout);
  EXPECT_EQ(layout.markerCount, 0);

  // Right at the edge, only the part of the V inside the control remains.
  LayOutFrequencyScale(2050.0, -1000.0, layout);  // column 461
  ASSERT_GT(layout.markerCount, 0);
  for (int i = 0; i < layout.markerCount; ++i) {
    const PixelRect& r = layout.markers[static_cast<size_t>(i)].rect;
    EXPECT_FALSE(r.Empty());
    EXPECT_GE(r.x, 0);
    EXPECT_LE(r.x + r.width, kScaleWidth);
  }
  const PixelImage image = Paint(2050.0, -1000.0);
  EXPECT_EQ(ColumnsOf(image, 0, kReceiveMarkerColour), (std::vector<int>{456, 457}));
  EXPECT_EQ(ColumnsOf(image, 14, kReceiveMarkerColour), (std::vector<int>{461, 462}));
}

// The band scanner's signals: a small block on the bottom rows under each centre, beneath the
// receive and transmit markers, clipped at the edges, and no more than the layout holds.
TEST(FrequencyScale, SignalMarksSitUnderTheirCentresBeneathTheOtherMarkers) {
  std::vector<double> centres = {1000.0, 1403.71, 250.0, 2050.0, 1.0e300};
  for (int i = 0; i < 40; ++i) centres.push_back(300.0 + 40.0 * i);  // far more than fit
  FrequencyScaleLayout layout;
  LayOutFrequencyScale(1000.0, 1403.71, layout, kScaleWidth, kScaleHeight, centres);
  PixelImage image(kScaleWidth, kScaleHeight);
  PaintFrequencyScale(layout, image);
  const int bottom = kScaleHeight - 1;
  const int top = kScaleHeight - kSignalMarkHeightPx;
  struct Case {
    double hz;
    std::vector<int> green;  // columns in the mark's colour on the bottom row
  };
  const int c = FrequencyScreenColumn(1403.71);
  for (const Case& k : std::vector<Case>{
           {1000.0, {191, 194}},       // the receive V's point covers the middle two
           {1403.71, {c - 1, c + 2}},  // the transmit bar, the full height, likewise
           {250.0, {0, 1, 2}},         // clipped at the left edge
           {2050.0, {460, 461, 462, 463}},
           {300.0 + 40.0 * 27, {}},  // the 33rd mark on: not drawn
       }) {
    SCOPED_TRACE(k.hz);
    const int x = FrequencyScreenColumn(k.hz);
    std::vector<int> green;
    for (int col = x - 2; col <= x + 3; ++col) {
      if (image.Pixel(col, bottom) == kSignalMarkColour) green.push_back(col);
      EXPECT_NE(image.Pixel(col, top - 1), kSignalMarkColour) << col;  // 3 rows high
    }
    EXPECT_EQ(green, k.green);
  }
}

}  // namespace
}  // namespace vela
