// The band scanner: speed over the whole band in all four modes with three signals on
// (x real time, one core), what it lists on noise alone, and how long after a signal starts
// it is listed, per mode. Usage: bench_scan [NOISE_MINUTES] [SEEDS]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "cli/Sweep.h"
#include "scan/BandScanner.h"
#include "support/Band.h"

namespace {

using vela::Mode;

using vela::test::EnhancedThreshold;

void Speed() {
  const std::string text = vela::SweepText(600);
  const std::vector<vela::test::BandTransmission> band = {
      {Mode::Vela8, 612.3, EnhancedThreshold(Mode::Vela8) + 3, "G3ABC", text.substr(0, 40)},
      {Mode::Vela63, 1311.1, EnhancedThreshold(Mode::Vela63) + 6, "DL2XYZ", text.substr(40, 200)},
      {Mode::Vela125, 1787.7, EnhancedThreshold(Mode::Vela125) + 6, "PA0QQ", text.substr(240, 360)},
  };
  const std::vector<int16_t> audio = vela::test::Band(band, 3);
  const double seconds = static_cast<double>(audio.size()) / 8000.0;
  std::printf("| modes searched | signals | x real time |\n|---|---|---|\n");
  for (bool all : {true, false}) {
    vela::ScanConfig config;
    if (!all) config.modes = {Mode::Vela63};
    vela::BandScanner scanner(config);
    const auto start = vela::bench::Clock::now();
    for (size_t at = 0; at < audio.size(); at += 1024)
      scanner.Process(std::span(audio).subspan(at, std::min<size_t>(1024, audio.size() - at)));
    scanner.Flush();
    std::printf("| %s | %zu | %.0f |\n", all ? "all four" : "VELA63", scanner.Heard().size(),
                seconds / vela::bench::Seconds(start));
  }
}

void Noise(double minutes) {
  const std::vector<int16_t> noise = vela::test::Noise(minutes * 60.0, 2026);
  vela::BandScanner scanner(vela::ScanConfig{});
  const auto start = vela::bench::Clock::now();
  scanner.Process(noise);
  scanner.Flush();
  std::printf(
      "\nnoise alone, %.0f min, all modes: %zu signals listed, %lld line pairs tried, "
      "%.0f x real time\n",
      minutes, scanner.Heard().size(), static_cast<long long>(scanner.trialsStarted()),
      minutes * 60.0 / vela::bench::Seconds(start));
}

// Seconds from a transmission's start (10 s into the band) to its listing, or -1.
double TimeToList(Mode mode, double snrAbove, uint64_t seed) {
  const vela::test::BandTransmission t{mode,
                                       700.0 + 97.3 * static_cast<double>(seed),
                                       EnhancedThreshold(mode) + snrAbove,
                                       "G3ABC",
                                       vela::SweepText(300),
                                       10.0};
  const std::vector<int16_t> audio = vela::test::Band(std::span(&t, 1), seed, 10.0 + 150.0);
  vela::BandScanner scanner(vela::ScanConfig{});
  for (size_t at = 0; at < audio.size(); at += 1024) {
    scanner.Process(std::span(audio).subspan(at, std::min<size_t>(1024, audio.size() - at)));
    for (const vela::ScanSignal& s : scanner.listed())
      if (s.mode == mode) return scanner.seconds() - 10.0;
  }
  return -1.0;
}

void Listing(int seeds) {
  std::printf("\n| mode | S/N over threshold | listed after (s, mean) | slowest | missed |\n");
  std::printf("|---|---|---|---|---|\n");
  for (Mode mode : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    for (double above : {3.0, 10.0}) {
      double sum = 0, slowest = 0;
      int found = 0;
      for (int s = 1; s <= seeds; ++s) {
        const double t = TimeToList(mode, above, static_cast<uint64_t>(s));
        if (t < 0) continue;
        ++found;
        sum += t;
        slowest = std::max(slowest, t);
      }
      std::printf("| %s | %+.0f dB | %.1f | %.1f | %d of %d |\n",
                  std::string(vela::ModeTable(mode).name).c_str(), above, found ? sum / found : 0.0,
                  slowest, seeds - found, seeds);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 20.0;
  const int seeds = argc > 2 ? std::atoi(argv[2]) : 4;
  Speed();
  Noise(minutes);
  Listing(seeds);
  return 0;
}
