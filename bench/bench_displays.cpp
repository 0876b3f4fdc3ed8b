// How fast the receive displays run against what live audio asks of them: one spectrum and
// waterfall line per 1024-sample capture buffer (7.8 a second at 8000 samples/s), and one
// eye-diagram step per quarter symbol (500 a second in VELA125).
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "display/EyeDiagram.h"
#include "display/Waterfall.h"
#include "rx/Spectrum.h"

using vela::bench::Clock;
using vela::bench::Seconds;

int main() {
  using namespace vela;

  // Noise with a tone in it, so the palette lookups see a spread of levels.
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 300.0);
  std::vector<std::vector<int16_t>> buffers(16, std::vector<int16_t>(kFftSize));
  for (size_t b = 0; b < buffers.size(); ++b) {
    for (size_t n = 0; n < kFftSize; ++n) {
      const double t = static_cast<double>(b * kFftSize + n) / 8000.0;
      buffers[b][n] = static_cast<int16_t>(
          std::lround(noise(rng) + 4000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * t)));
    }
  }

  Spectrum spectrum;
  WaterfallLineColours line;
  WaterfallImage waterfall(231, 102);
  const int lines = 4000;
  auto start = Clock::now();
  for (int i = 0; i < lines; ++i) {
    ComputeSpectrum(buffers[static_cast<size_t>(i) % buffers.size()], spectrum);
    WaterfallLine(spectrum.magnitudes(), i % 2, line);
    waterfall.AddLine(line);
  }
  const double linesPerSecond = lines / Seconds(start);
  const double liveLines = 8000.0 / kFftSize;
  std::printf("spectrum + waterfall line: %.0f buffers/s (%.0f x real time at 8000 samples/s)\n",
              linesPerSecond, linesPerSecond / liveLines);

  EyeDiagram eye;
  EyeCanvas canvas;
  const int steps = 2000000;
  int shown = 0;
  start = Clock::now();
  for (int i = 0; i < steps; ++i) {
    const long double d = std::sin(0.37L * i);
    shown += canvas.Apply(eye.EyeStep(4 * (i % 4), d));
  }
  const double stepsPerSecond = steps / Seconds(start);
  const double liveSteps = 4.0 * 125.0;  // VELA125, the fastest mode
  std::printf("eye diagram: %.0f quarter-symbol steps/s (%.0f x VELA125), %d window updates\n",
              stepsPerSecond, stepsPerSecond / liveSteps, shown);
  std::printf("check: %u\n", static_cast<unsigned>(waterfall.Pixel(96, 0).r));
  return 0;
}
