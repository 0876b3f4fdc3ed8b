#include "display/CorrelationDisplay.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace vela {
namespace {

TEST(CorrelationGrey, FromWhiteForNoCorrelationToDarkForFullSync) {
  EXPECT_EQ(CorrelationGrey(0.0f), 255);
  EXPECT_EQ(CorrelationGrey(961.0f), 69);
  EXPECT_EQ(CorrelationGrey(1.0f), 249);
  EXPECT_EQ(CorrelationGrey(2.0f), 247);  // 255 - 8.49
  EXPECT_EQ(CorrelationGrey(100.0f), 195);
  EXPECT_EQ(CorrelationGrey(441.0f), 129);
  EXPECT_EQ(CorrelationGrey(std::numeric_limits<float>::quiet_NaN()), 255);
  EXPECT_EQ(CorrelationGrey(5000.0f), 0);

  const std::vector<float> c{0, 961, 1, 100};
  std::vector<uint8_t> greys(4, 7);
  CorrelationGreys(c, greys);
  EXPECT_EQ(greys, (std::vector<uint8_t>{255, 69, 249, 195}));
}

TEST(CorrelationRows, FirstFrameOnRowOneThenRoundTheSixtyRows) {
  EXPECT_EQ(CorrelationDisplayRow(0), 0);
  for (int frame = 1; frame <= 59; ++frame) EXPECT_EQ(CorrelationDisplayRow(frame), frame);
  EXPECT_EQ(CorrelationDisplayRow(60), 0);
  EXPECT_EQ(CorrelationDisplayRow(61), 1);
}

TEST(CorrelationRows, PixelPairsPerOffsetAndTheLastOffsetAtTheEdge) {
  PixelImage image(kCorrelationWidth, kCorrelationHeight, kCorrelationBackground);
  std::vector<uint8_t> greys(224, 255);  // long interleave: offsets 0..223
  greys[0] = 69;
  greys[37] = 100;
  greys[223] = 30;
  DrawCorrelationRow(5, greys, image);
  EXPECT_EQ(image.Pixel(0, 5), (Rgb{69, 69, 69}));
  EXPECT_EQ(image.Pixel(1, 5), (Rgb{69, 69, 69}));
  EXPECT_EQ(image.Pixel(73, 5), (Rgb{255, 255, 255}));
  EXPECT_EQ(image.Pixel(74, 5), (Rgb{100, 100, 100}));
  EXPECT_EQ(image.Pixel(75, 5), (Rgb{100, 100, 100}));
  EXPECT_EQ(image.Pixel(76, 5), (Rgb{255, 255, 255}));
  EXPECT_EQ(image.Pixel(446, 5), (Rgb{30, 30, 30}));  // 447 is past the edge
  EXPECT_EQ(image.Pixel(74, 4), kCorrelationBackground);
  EXPECT_EQ(image.Pixel(74, 6), kCorrelationBackground);

  // Short interleave: offsets 0..127 leave the right part of the row alone.
  std::vector<uint8_t> shortGreys(128, 0);
  DrawCorrelationRow(6, shortGreys, image);
  EXPECT_EQ(image.Pixel(255, 6), (Rgb{0, 0, 0}));
  EXPECT_EQ(image.Pixel(256, 6), kCorrelationBackground);
}

TEST(CorrelationCaption, ConfidencePercentAndLocation) {
  EXPECT_EQ(CorrelationCaption(961.0, 37),
            "Correlator sync confidence = 100%                 Sync start location =  37");
  EXPECT_EQ(CorrelationCaption(0.0, 0),
            "Correlator sync confidence = 0%                 Sync start location =  0");
  EXPECT_EQ(ConfidencePercent(9.0), 1);     // 0.94
  EXPECT_EQ(ConfidencePercent(4.0), 0);     // 0.42
  EXPECT_EQ(ConfidencePercent(484.0), 50);  // 50.36
  EXPECT_EQ(ConfidencePercent(576.0), 60);  // 59.94

  EXPECT_EQ(CorrelationCaption(576.0, 223),
            "Correlator sync confidence = 60%                 Sync start location =  223");
  // Not a location the search gives; no space then.
  EXPECT_EQ(CorrelationCaption(1.0, -1),
            "Correlator sync confidence = 0%                 Sync start location = -1");
}

}  // namespace
}  // namespace vela
