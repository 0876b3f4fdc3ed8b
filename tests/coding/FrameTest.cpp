#include "coding/Frame.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "support/Vectors.h"

namespace vela {
namespace {

TEST(SyncPattern, IsTheStanag4285SequenceThenTwoZeros) {
  const auto& expected = test::AirFormat()["sync_pattern"];
  ASSERT_EQ(expected.size(), 33U);
  for (size_t i = 0; i < 33; ++i) EXPECT_EQ(SyncPattern()[i], expected[i].get<int>()) << i;
  std::string bits;
  for (int i = 0; i < 31; ++i) bits += SyncPattern()[static_cast<size_t>(i)] > 0 ? '1' : '0';
  EXPECT_EQ(bits, "1010011000001110010001010111101");
  EXPECT_EQ(SyncPattern()[31], 0);
  EXPECT_EQ(SyncPattern()[32], 0);
}

TEST(FrameGeometry, BothLengths) {
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& g = Geometry(length);
    EXPECT_EQ(g.frameLength, 32 * g.groupSize - 1);
    EXPECT_EQ(g.imageSize, 32 * g.groupSize);
    EXPECT_EQ(g.codedSymbols, 32 * (g.groupSize - 1));
    EXPECT_EQ(g.dataBits * 2, g.codedSymbols);
    // Encoding pauses for the last L - N symbol times of every frame.
    EXPECT_EQ(g.frameLength - g.codedSymbols, 31);
  }
  EXPECT_EQ(Geometry(InterleaveLength::Short).frameLength, 127);
  EXPECT_EQ(Geometry(InterleaveLength::Long).frameLength, 223);
}

// Marks each interleaved symbol with its own index so a misplaced one shows.
std::vector<int> ImageOfIndices(InterleaveLength length) {
  const FrameGeometry& g = Geometry(length);
  std::vector<int> t(static_cast<size_t>(g.codedSymbols));
  std::iota(t.begin(), t.end(), 100);
  std::vector<int> image(static_cast<size_t>(g.imageSize), -999);
  BuildFrameImage(length, t, image);
  return image;
}

TEST(FrameImage, LongLayout) {
  const auto image = ImageOfIndices(InterleaveLength::Long);
  for (int g = 0; g < 31; ++g)
    EXPECT_EQ(image[static_cast<size_t>(7 * g)], SyncPattern()[static_cast<size_t>(g)]);
  EXPECT_EQ(image[210], SyncPattern()[30]);
  EXPECT_EQ(image[217], 0);          // slot 31
  EXPECT_EQ(image[1], 100 + 0);      // t[0]
  EXPECT_EQ(image[6], 100 + 5);      // t[5]
  EXPECT_EQ(image[8], 100 + 6);      // t[6]
  EXPECT_EQ(image[218], 100 + 186);  // t[186]
  EXPECT_EQ(image[222], 100 + 190);  // the last position sent
  EXPECT_EQ(image[223], 100 + 191);  // built but never sent
}

TEST(FrameImage, ShortLayout) {
  const auto image = ImageOfIndices(InterleaveLength::Short);
  for (int g = 0; g < 31; ++g)
    EXPECT_EQ(image[static_cast<size_t>(4 * g)], SyncPattern()[static_cast<size_t>(g)]);
  EXPECT_EQ(image[120], SyncPattern()[30]);
  EXPECT_EQ(image[124], 0);
  EXPECT_EQ(image[1], 100 + 0);
  EXPECT_EQ(image[5], 100 + 3);
  EXPECT_EQ(image[125], 100 + 93);
  EXPECT_EQ(image[126], 100 + 94);
  EXPECT_EQ(image[127], 100 + 95);
}

TEST(FrameImage, AlignedCorrelationIs31AndZeroFramesRepeat) {
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& g = Geometry(length);
    std::vector<int> zeros(static_cast<size_t>(g.codedSymbols), -1);
    std::vector<int> a(static_cast<size_t>(g.imageSize)), b(a.size(), 7);
    BuildFrameImage(length, zeros, a);
    BuildFrameImage(length, zeros, b);
    EXPECT_EQ(a, b);
    int s = 0;
    for (int i = 0; i < 32; ++i)
      s += SyncPattern()[static_cast<size_t>(i)] * a[static_cast<size_t>(g.groupSize * i)];
    EXPECT_EQ(s, 31);
    EXPECT_EQ(s * s, 961);
  }
}

}  // namespace
}  // namespace vela
