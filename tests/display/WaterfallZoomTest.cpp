#include "display/WaterfallZoom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace vela {
namespace {

// `count` samples of a tone from sample `start` on (8000 a second).
std::vector<int16_t> Tone(double hz, int64_t start, size_t count, double amplitude = 8000.0) {
  std::vector<int16_t> s(count);
  for (size_t n = 0; n < count; ++n) {
    const double t = static_cast<double>(start + static_cast<int64_t>(n)) / 8000.0;
    s[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * t)));
  }
  return s;
}

int Brightest(WaterfallSpectrum::Magnitudes line) {
  return static_cast<int>(std::max_element(line.begin(), line.end()) - line.begin());
}

// At every span, a click on screen column x tunes to the frequency that column draws: a
// tone at the frequency of the left edge, the centre or the right edge lands in exactly
// that column's bin, as bright as the whole band draws it; and a retune redraws from the
// audio already heard, at once.
TEST(WaterfallZoom, ClicksTuneToTheColumnThatShowsTheSignal) {
  struct Case {
    int zoom;
    double receiveHz;
  };
  const Case cases[] = {{1, 1000.0},  {2, 1000.0},   {4, 1500.3}, {8, 612.0},   {16, 1000.0},
                        {32, 1000.0}, {32, 1234.56}, {32, 200.0}, {16, 3800.0}, {32, 3800.0}};
  for (const Case& c : cases) {
    const WaterfallAxis axis = WaterfallAxisFor(c.zoom, c.receiveHz);
    const double bin = 2 * axis.hzPerColumn;
    if (c.zoom > 1) {
      // Centred on the receive frequency, unless that would reach past 0 or 4000 Hz.
      EXPECT_EQ(axis.Frequency(2 * WaterfallSpectrum::kZoomHalfBins), axis.centreHz);
      const bool clamped = c.receiveHz < 300.0 || c.receiveHz > 3700.0;
      if (!clamped) {
        EXPECT_LE(std::abs(axis.centreHz - c.receiveHz), bin / 2) << c.zoom;
      }
      EXPECT_GE(axis.Frequency(0), 0.0);
      EXPECT_LE(axis.Frequency(2 * kWaterfallBins), 4000.0);
    }
    for (const int x : {2, 2 * WaterfallSpectrum::kZoomHalfBins, 2 * kWaterfallBins - 2,
                        2 * kWaterfallBins - 1}) {
      SCOPED_TRACE(testing::Message() << "zoom " << c.zoom << " rx " << c.receiveHz << " x " << x);
      const double hz = axis.Frequency(x);
      EXPECT_EQ(axis.Column(hz), x);
      // The odd column of a pair is the bin's upper half: the tone sits between two bins.
      const double toneHz = x % 2 == 0 ? hz : hz - bin / 2;
      WaterfallSpectrum spectrum;
      // Heard first at another centre, so the span is redrawn from the audio kept.
      spectrum.Configure(WaterfallAxisFor(c.zoom, c.receiveHz + 3 * bin), c.zoom, 1024);
      const size_t heard = static_cast<size_t>(kFftSize) * (c.zoom + 1);
      spectrum.Push(Tone(toneHz, 0, heard), nullptr);
      spectrum.Configure(axis, c.zoom, 256);
      int lines = 0;
      spectrum.Push(Tone(toneHz, static_cast<int64_t>(heard), 256),
                    [&](WaterfallSpectrum::Magnitudes) { ++lines; });
      ASSERT_EQ(lines, 1);
      EXPECT_EQ(Brightest(spectrum.lastLine()), x / 2);
      // A tone of 8000 through the whole band's Blackman window: 8000 * 0.42 * 1024 / 100.
      const float peak = spectrum.lastLine()[static_cast<size_t>(x / 2)];
      EXPECT_NEAR(20 * std::log10(peak / 34406.4f), 0.0, 0.5);
    }
  }
}

// The whole band at one line per capture buffer is the plain spectrum of each buffer, bit
// for bit; other speeds draw one line per so many samples, slow ones averaging.
TEST(WaterfallZoom, LinesComeAtTheChosenSpeed) {
  const std::vector<int16_t> audio = Tone(1000.0, 0, 8 * kFftSize, 3000.0);
  for (const int zoom : {1, 4}) {
    for (const int samples : kWaterfallLineSamples) {
      WaterfallSpectrum spectrum;
      spectrum.Configure(WaterfallAxisFor(zoom, 1000.0), zoom, samples);
      int lines = 0;
      for (size_t b = 0; b < 8; ++b) {
        const std::span<const int16_t> buffer(audio.data() + b * kFftSize, kFftSize);
        spectrum.Push(buffer, [&](WaterfallSpectrum::Magnitudes line) {
          ++lines;
          if (zoom != 1 || samples != kFftSize) return;
          Spectrum plain;
          ComputeSpectrum(buffer, plain);
          for (size_t i = 0; i < kWaterfallBins; ++i)
            ASSERT_EQ(line[i], plain.magnitudes()[kWaterfallFirstBin + i]);
        });
      }
      EXPECT_EQ(lines, 8 * kFftSize / samples) << zoom << " " << samples;
      // Averaged or not, a steady tone keeps its level.
      EXPECT_NEAR(
          spectrum
              .lastLine()[static_cast<size_t>(WaterfallAxisFor(zoom, 1000.0).Column(1000.0) / 2)],
          3000.0 * 0.42 * 1024 / 100, 3000.0 * 0.42 * 1024 / 100 * 0.06);
    }
  }
}

// Gain and range: at 0 dB and 48 dB the whole band's colouring exactly; the range is the
// span of levels from the faintest drawn (entry 0) to white, the gain moves both.
TEST(WaterfallZoom, GainAndRangeSetTheLevelsDrawn) {
  const float white = 765.0f;
  for (const float m : {0.0f, 2.9f, 3.0f, 100.0f, 764.9f, 765.0f, 5000.0f})
    EXPECT_EQ(WaterfallLevels(WaterfallSettings{}).Value(m), m / 3.0f);
  struct Case {
    int gainDb, rangeDb;
    float magnitude, value;
  };
  const auto db = [&](double d) { return white * static_cast<float>(std::pow(10.0, d / 20)); };
  const Case cases[] = {
      {6, 48, 100.0f, 100.0f * 1.99526f / 3.0f},  // gain: brighter by the factor
      {0, 24, white, 255.0f},                     // white stays white
      {0, 24, db(-24.0 * 48.13 / 48), 1.0f},      // the faintest drawn, 24 dB down
      {0, 96, db(-96.0 * 48.13 / 48), 1.0f},
      {-12, 96, db(12 - 96.0 * 48.13 / 48), 1.0f},
      {12, 36, db(-12), 255.0f},  // white reached 12 dB lower
  };
  for (const Case& c : cases) {
    const WaterfallLevels levels(WaterfallSettings{1, 1024, c.gainDb, c.rangeDb});
    EXPECT_NEAR(levels.Value(c.magnitude), c.value, c.value * 0.01f)
        << c.gainDb << " " << c.rangeDb;
  }
}

}  // namespace
}  // namespace vela
