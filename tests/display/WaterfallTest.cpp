#include "display/Waterfall.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace vela {
namespace {

// A magnitude whose v (magnitude / 3) is exactly `v`.
float MagnitudeForV(float v) {
  return 3.0f * v;
}

std::vector<int16_t> Tone(double hz, double amplitude) {
  std::vector<int16_t> samples(kFftSize);
  for (size_t n = 0; n < samples.size(); ++n) {
    samples[n] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / 8000.0)));
  }
  return samples;
}

TEST(WaterfallPalette, RampJoints) {
  const auto& p = WaterfallPalette();
  EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(p[1], (Rgb{0, 0, 4}));
  EXPECT_EQ(p[62], (Rgb{0, 0, 248}));
  EXPECT_EQ(p[63], (Rgb{0, 0, 255}));
  EXPECT_EQ(p[64], (Rgb{0, 0, 255}));
  EXPECT_EQ(p[65], (Rgb{0, 4, 255}));
  EXPECT_EQ(p[126], (Rgb{0, 248, 255}));
  EXPECT_EQ(p[127], (Rgb{0, 255, 255}));
  EXPECT_EQ(p[128], (Rgb{0, 255, 255}));  // 256 - 0 held to 255
  EXPECT_EQ(p[129], (Rgb{4, 255, 252}));
  EXPECT_EQ(p[190], (Rgb{248, 255, 8}));
  EXPECT_EQ(p[191], (Rgb{255, 255, 0}));
  EXPECT_EQ(p[192], (Rgb{255, 255, 0}));
  EXPECT_EQ(p[193], (Rgb{255, 255, 4}));
  EXPECT_EQ(p[253], (Rgb{255, 255, 244}));
  EXPECT_EQ(p[254], (Rgb{255, 255, 255}));
  EXPECT_EQ(p[255], kBlack);
  EXPECT_EQ(p[256], kBlack);
}

TEST(WaterfallColour, PaletteIndexFromMagnitude) {
  const auto& p = WaterfallPalette();
  EXPECT_EQ(WaterfallColour(MagnitudeForV(255), kPaletteColouring), p[254]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(254.99f), kPaletteColouring), p[253]);
  EXPECT_EQ(WaterfallColour(1.0e9f, kPaletteColouring), p[254]);
  EXPECT_EQ(WaterfallColour(std::numeric_limits<float>::infinity(), kPaletteColouring), p[254]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(1), kPaletteColouring), p[0]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(1.99f), kPaletteColouring), p[0]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(2), kPaletteColouring), p[1]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(100.5f), kPaletteColouring), p[99]);
  EXPECT_EQ(WaterfallColour(MagnitudeForV(64.2f), kPaletteColouring), p[63]);
  // Below 1 there is no palette entry; the weak bins are black.
  EXPECT_EQ(WaterfallColour(MagnitudeForV(0.99f), kPaletteColouring), kBlack);
  EXPECT_EQ(WaterfallColour(0.0f, kPaletteColouring), kBlack);
  EXPECT_EQ(WaterfallColour(std::numeric_limits<float>::quiet_NaN(), kPaletteColouring), kBlack);
}

TEST(WaterfallColour, BlueGrey) {
  EXPECT_EQ(WaterfallColour(MagnitudeForV(100), kBlueGreyColouring), (Rgb{100, 100, 170}));
  EXPECT_EQ(WaterfallColour(MagnitudeForV(10.4f), kBlueGreyColouring), (Rgb{10, 10, 18}));
  EXPECT_EQ(WaterfallColour(MagnitudeForV(149), kBlueGreyColouring), (Rgb{149, 149, 253}));
  EXPECT_EQ(WaterfallColour(MagnitudeForV(151), kBlueGreyColouring), (Rgb{151, 151, 255}));
  EXPECT_EQ(WaterfallColour(1.0e9f, kBlueGreyColouring), (Rgb{255, 255, 255}));
  EXPECT_EQ(WaterfallColour(0.0f, kBlueGreyColouring), kBlack);
}

TEST(WaterfallLine, ThousandHertzToneLightsScreenColumn192) {
  Spectrum spectrum;
  WaterfallLineColours line;
  WaterfallImage image(231, 20);

  ComputeSpectrum(Tone(1000.0, 10000.0), spectrum);
  WaterfallLine(spectrum.magnitudes(), kPaletteColouring, line);
  image.AddLine(line);
  EXPECT_EQ(ScreenColumnBin(192), 128);
  EXPECT_DOUBLE_EQ(ScreenColumnFrequency(192), 1000.0);
  EXPECT_EQ(image.ScreenPixel(192, 0), WaterfallPalette()[254]);
  EXPECT_EQ(image.ScreenPixel(193, 0), WaterfallPalette()[254]);
  // Well away from the tone the line stays dark.
  EXPECT_EQ(image.ScreenPixel(150, 0), kBlack);
  EXPECT_EQ(image.ScreenPixel(240, 0), kBlack);

  // A weaker tone, unclipped: its brightest bin is still the column-192 one.
  ComputeSpectrum(Tone(1000.0, 120.0), spectrum);
  WaterfallLine(spectrum.magnitudes(), kPaletteColouring, line);
  const auto& p = WaterfallPalette();
  auto rank = [&](Rgb c) { return std::find(p.begin(), p.begin() + 255, c) - p.begin(); };
  int brightest = 0;
  for (int i = 0; i < kWaterfallBins; ++i) {
    if (rank(line[static_cast<size_t>(i)]) > rank(line[static_cast<size_t>(brightest)]))
      brightest = i;
  }
  EXPECT_EQ(brightest + kWaterfallFirstBin, 128);
  EXPECT_GT(rank(line[96]), 100);
}

TEST(WaterfallImage, NewLineOnTopOlderLinesMoveDown) {
  WaterfallImage image(240, 3);
  EXPECT_EQ(image.width(), 240);
  EXPECT_EQ(image.height(), 3);
  WaterfallLineColours a;
  WaterfallLineColours b;
  a.fill(Rgb{1, 2, 3});
  b.fill(Rgb{4, 5, 6});
  b[7] = Rgb{9, 9, 9};
  image.AddLine(a);
  EXPECT_EQ(image.Pixel(0, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(image.Pixel(0, 1), kBlack);
  image.AddLine(b);
  EXPECT_EQ(image.Pixel(7, 0), (Rgb{9, 9, 9}));
  EXPECT_EQ(image.Pixel(6, 0), (Rgb{4, 5, 6}));
  EXPECT_EQ(image.Pixel(7, 1), (Rgb{1, 2, 3}));
  EXPECT_EQ(image.Pixel(230, 1), (Rgb{1, 2, 3}));
  EXPECT_EQ(image.Pixel(231, 0), kBlack);  // past the last bin: never drawn
  EXPECT_EQ(image.Pixel(0, 2), kBlack);
  image.AddLine(b);
  EXPECT_EQ(image.Pixel(0, 2), (Rgb{1, 2, 3}));  // every shown row is real picture
  image.AddLine(b);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(image.Pixel(0, y), (Rgb{4, 5, 6})) << y;

  // The shown rows as bytes, newest first.
  const uint8_t* bytes = image.ShownBytes();
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(bytes[3 * 7 + 2], 9);
  EXPECT_EQ(bytes[3 * 240 * 2 + 3 * 7], 9);

  // Resized, the history stays: newest rows on top, black below, the oldest cut when smaller.
  image.AddLine(a);
  const WaterfallImage taller = image.Resized(5);
  EXPECT_EQ(taller.height(), 5);
  EXPECT_EQ(taller.Pixel(0, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(taller.Pixel(7, 1), (Rgb{9, 9, 9}));
  EXPECT_EQ(taller.Pixel(0, 3), kBlack);
  const WaterfallImage shorter = image.Resized(1);
  EXPECT_EQ(shorter.height(), 1);
  EXPECT_EQ(shorter.Pixel(0, 0), (Rgb{1, 2, 3}));
}

TEST(WaterfallImage, NarrowImageKeepsOnlyTheLowBins) {
  WaterfallImage image(10, 2);
  WaterfallLineColours line;
  for (size_t i = 0; i < line.size(); ++i) line[i] = Rgb{static_cast<uint8_t>(i), 0, 0};
  image.AddLine(line);
  EXPECT_EQ(image.Pixel(9, 0), (Rgb{9, 0, 0}));
  EXPECT_EQ(image.Pixel(10, 0), kBlack);
}

TEST(WaterfallImage, PaletteToggleChangesOnlyNewLines) {
  Spectrum spectrum;
  WaterfallLineColours line;
  WaterfallImage image(231, 4);
  ComputeSpectrum(Tone(1000.0, 120.0), spectrum);
  WaterfallLine(spectrum.magnitudes(), kPaletteColouring, line);
  const WaterfallLineColours paletteLine = line;
  image.AddLine(line);
  WaterfallLine(spectrum.magnitudes(), kBlueGreyColouring, line);
  image.AddLine(line);
  for (int x = 0; x < kWaterfallBins; ++x) {
    EXPECT_EQ(image.Pixel(x, 1), paletteLine[static_cast<size_t>(x)]) << x;
    EXPECT_EQ(image.Pixel(x, 0), WaterfallColour(spectrum.magnitudes()[static_cast<size_t>(x) + 32],
                                                 kBlueGreyColouring))
        << x;
  }
  EXPECT_NE(image.Pixel(96, 0), image.Pixel(96, 1));
}

TEST(WaterfallColumns, FrequencyAndBinOfScreenColumns) {
  EXPECT_DOUBLE_EQ(ScreenColumnFrequency(0), 250.0);  // a click at the left edge
  EXPECT_DOUBLE_EQ(ScreenColumnFrequency(1), 253.90625);
  EXPECT_DOUBLE_EQ(ScreenColumnFrequency(448), 2000.0);
  EXPECT_EQ(ScreenColumnBin(0), 32);
  EXPECT_EQ(ScreenColumnBin(1), 32);
  EXPECT_EQ(ScreenColumnBin(461), 262);
  EXPECT_EQ(ScreenColumnBin(-1), 31);
  EXPECT_EQ(ScreenColumnBin(-2), 31);
  EXPECT_EQ(ScreenColumnBin(-3), 30);
  for (int x = -10; x < 470; ++x) EXPECT_EQ(FrequencyScreenColumn(ScreenColumnFrequency(x)), x);
  EXPECT_EQ(FrequencyScreenColumn(250.0), 0);
  EXPECT_EQ(FrequencyScreenColumn(1000.0), 192);
  EXPECT_EQ(FrequencyScreenColumn(2000.0), 448);
  EXPECT_EQ(FrequencyScreenColumn(1001.9), 192);
  EXPECT_EQ(FrequencyScreenColumn(1002.0), 193);
  // An operator can type any number as a frequency; it must land off-screen, not overflow.
  EXPECT_GT(FrequencyScreenColumn(1.0e300), 100000);
  EXPECT_LT(FrequencyScreenColumn(-1.0e300), -100000);
  EXPECT_LT(FrequencyScreenColumn(std::numeric_limits<double>::quiet_NaN()), -100000);
}

}  // namespace
}  // namespace vela
