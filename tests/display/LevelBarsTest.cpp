#include "display/LevelBars.h"

#include <gtest/gtest.h>

#include <limits>

namespace vela {
namespace {

constexpr Rgb kBackground{212, 208, 200};

int FilledRows(const PixelImage& image, Rgb colour) {
  int rows = 0;
  for (int y = 0; y < image.height(); ++y) {
    bool full = true;
    for (int x = 0; x < image.width(); ++x) full = full && image.Pixel(x, y) == colour;
    rows += full;
  }
  return rows;
}

TEST(LevelBar, GrowsUpFromTheBottom) {
  PixelImage image(kBarWidth, kBarHeight, kBackground);
  PaintBar(DrawLevelBar(1), kBackground, image);
  EXPECT_EQ(FilledRows(image, kLevelBarColour), 1);
  EXPECT_EQ(image.Pixel(0, 99), kLevelBarColour);
  EXPECT_EQ(image.Pixel(19, 99), kLevelBarColour);
  EXPECT_EQ(image.Pixel(0, 98), kBackground);

  PaintBar(DrawLevelBar(kStartUpLevel), kBackground, image);
  EXPECT_EQ(DrawLevelBar(kStartUpLevel).fill, (PixelRect{0, 81, 20, 19}));
  EXPECT_EQ(FilledRows(image, kLevelBarColour), 19);

  // A lower value clears what a higher one drew.
  PaintBar(DrawLevelBar(74), kBackground, image);
  PaintBar(DrawLevelBar(3), kBackground, image);
  EXPECT_EQ(FilledRows(image, kLevelBarColour), 3);
  EXPECT_EQ(image.Pixel(10, 50), kBackground);
}

TEST(LevelBar, OutOfRangeValuesAreClippedToTheControl) {
  EXPECT_TRUE(DrawLevelBar(0).fill.Empty());
  EXPECT_TRUE(DrawLevelBar(-5).fill.Empty());
  EXPECT_EQ(DrawLevelBar(100).fill, (PixelRect{0, 0, 20, 100}));
  EXPECT_EQ(DrawLevelBar(250).fill, (PixelRect{0, 0, 20, 100}));
  EXPECT_EQ(DrawLevelBar(std::numeric_limits<int>::max()).fill, (PixelRect{0, 0, 20, 100}));
  EXPECT_EQ(DrawLevelBar(50).clear, (PixelRect{0, 1, 20, 99}));
  EXPECT_FALSE(DrawLevelBar(50).hasThresholdLine);
}

TEST(Confidence, ValueOfTheSyncPeak) {
  EXPECT_EQ(SyncConfidence(0.0), 0);
  EXPECT_EQ(SyncConfidence(9.0), 0);
  EXPECT_EQ(SyncConfidence(16.0), 1);
  EXPECT_EQ(SyncConfidence(144.0), 15);  // exactly 9.6 * 15
  EXPECT_EQ(SyncConfidence(576.0), 60);  // exactly 9.6 * 60
  EXPECT_EQ(SyncConfidence(575.0), 59);
  EXPECT_EQ(SyncConfidence(961.0), 100);
  EXPECT_EQ(SyncConfidence(-1.0), 0);
  EXPECT_EQ(SyncConfidence(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(SyncConfidence(1.0e300), 100);
}

TEST(Confidence, ColourChangesAtTheThresholdSquelchOpensAboveIt) {
  const int threshold = 50;
  const double at50 = 484.0;  // floor(50.4) = 50
  const double at51 = 490.0;  // floor(51.04) = 51
  const double at49 = 479.0;  // floor(49.9) = 49
  ASSERT_EQ(SyncConfidence(at50), 50);
  ASSERT_EQ(SyncConfidence(at51), 51);
  ASSERT_EQ(SyncConfidence(at49), 49);

  EXPECT_EQ(DrawConfidenceBar(50, at50, threshold).colour, kConfidenceAtThresholdColour);
  EXPECT_FALSE(SquelchOpen(50, threshold));
  EXPECT_EQ(DrawConfidenceBar(51, at51, threshold).colour, kConfidenceAtThresholdColour);
  EXPECT_TRUE(SquelchOpen(51, threshold));
  EXPECT_EQ(DrawConfidenceBar(49, at49, threshold).colour, kConfidenceBelowThresholdColour);
  EXPECT_FALSE(SquelchOpen(49, threshold));

  // The colour follows the last frame's peak, whatever height the bar is given.
  EXPECT_EQ(DrawConfidenceBar(100, 0.0, threshold).colour, kConfidenceBelowThresholdColour);
  EXPECT_EQ(DrawConfidenceBar(0, 961.0, threshold).colour, kConfidenceAtThresholdColour);
}

TEST(Confidence, BarAndThresholdLine) {
  PixelImage image(kBarWidth, kBarHeight, kBackground);
  PaintBar(DrawConfidenceBar(60, 576.0, 50), kBackground, image);
  EXPECT_EQ(image.Pixel(5, 99), kConfidenceAtThresholdColour);
  EXPECT_EQ(image.Pixel(5, 40), kConfidenceAtThresholdColour);
  EXPECT_EQ(image.Pixel(5, 39), kBackground);
  EXPECT_EQ(FilledRows(image, kThresholdLineColour), 1);
  EXPECT_EQ(image.Pixel(0, 50), kThresholdLineColour);
  EXPECT_EQ(image.Pixel(19, 50), kThresholdLineColour);

  EXPECT_EQ(DrawConfidenceBar(10, 0.0, 100).thresholdLine, (PixelRect{0, 0, 20, 1}));
  EXPECT_EQ(DrawConfidenceBar(10, 0.0, 1).thresholdLine, (PixelRect{0, 99, 20, 1}));
  EXPECT_TRUE(DrawConfidenceBar(10, 0.0, 0).thresholdLine.Empty());  // below the control
}

}  // namespace
}  // namespace vela
