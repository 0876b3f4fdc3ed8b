// The scanner's search and its reading of the secondary channel: every mode found at its
// centre to a small fraction of a hertz with its S/N, anywhere in the band; the callsign
// read from whatever part of the secondary text has come.
#include "scan/LineSearch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "scan/ScanSignal.h"
#include "support/Signals.h"

namespace vela {
namespace {

// Random MSK at `centre` with white noise at an S/N of `snrDb` in 2500 Hz.
std::vector<int16_t> Signal(Mode mode, double centre, double snrDb, double seconds,
                            std::mt19937& rng) {
  const double baud = ModeTable(mode).symbolRate;
  std::bernoulli_distribution bit;
  std::vector<int> symbols(static_cast<size_t>(seconds * baud) + 1);
  for (int& s : symbols) s = bit(rng) ? 1 : -1;
  constexpr double kAmplitude = 1000.0;
  const std::vector<int16_t> msk = test::Msk(symbols, 8000.0, centre, baud, kAmplitude);
  const double noise =
      kAmplitude * kAmplitude / 2.0 / std::pow(10.0, snrDb / 10.0) * 4000.0 / 2500.0;
  std::normal_distribution<double> gauss(0.0, std::sqrt(noise));
  std::vector<int16_t> out(static_cast<size_t>(seconds * 8000.0));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(msk[i] + gauss(rng)));
  return out;
}

TEST(LineSearch, FindsEveryModeAtItsCentreWithItsSignalToNoise) {
  std::mt19937 rng(2024);
  for (Mode mode : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    const ModeParams& m = ModeTable(mode);
    // Some 6 dB over the enhanced receiver's threshold: a signal it copies well.
    const double snr = -17.0 + 10.0 * std::log10(m.symbolRate / 7.8125);
    const double tolerance = mode == Mode::Vela8 ? 0.05 : 0.2;
    // Off the filters' grid by random fractions, and near both ends of the band.
    std::uniform_real_distribution<double> where(260.0, 2040.0);
    for (double centre : {where(rng), where(rng), 250.0 + m.symbolRate, 2050.0 - m.symbolRate}) {
      SCOPED_TRACE(std::string(m.name) + " at " + std::to_string(centre) + " Hz");
      LineSearch search(mode, 250.0, 2050.0);
      const double seconds =
          (LineSearch::kWindowSymbols + 4 * LineSearch::kStepSymbols) / m.symbolRate;
      std::vector<LineCandidate> found;
      search.Process(Signal(mode, centre, snr, seconds, rng), found);
      // Five searches; noise alone may add a pair elsewhere now and then (the receiver's
      // sync weeds those out).
      int hits = 0;
      for (const LineCandidate& c : found) {
        if (c.mode != mode || std::abs(c.centreHz - centre) > m.symbolRate / 4) continue;
        ++hits;
        EXPECT_NEAR(c.centreHz, centre, tolerance);
        EXPECT_NEAR(c.snrDb, snr, 1.5);
      }
      EXPECT_GE(hits, 4);
    }
  }
}

TEST(ScanSignal, LastLineOfTheText) {
  ScanSignal s;
  for (const auto& [text, last] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {"CQ de G3ABC", "CQ de G3ABC"}, {"one\ntwo", "two"}, {"one\ntwo\n", "two"}}) {
    s.text = text;
    EXPECT_EQ(s.LastLine(), last) << text;
  }
}

}  // namespace
}  // namespace vela
