#include "rx/Demodulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace vela {
namespace {

// Everything the demodulator hands on, in order.
struct Recorder : DemodulatorOutput {
  struct Eye {
    int subSymbol;
    long double step;
  };
  std::vector<long double> decisions;
  std::vector<Eye> eyes;
  std::vector<int> refreshLevels;
  std::vector<std::size_t> refreshAfterEyes;  // eye steps seen before each refresh

  void Decision(long double step) override { decisions.push_back(step); }
  void EyeStep(int subSymbol, long double step) override { eyes.push_back({subSymbol, step}); }
  void Refresh(int level) override {
    refreshLevels.push_back(level);
    refreshAfterEyes.push_back(eyes.size());
  }
};

constexpr double kPi = std::numbers::pi;

// A steady tone as the sound card would deliver it: `rate` samples per second.
std::vector<int16_t> Tone(double hz, double amplitude, double seconds, double rate = 8000.0) {
  std::vector<int16_t> x(static_cast<std::size_t>(seconds * rate));
  for (std::size_t n = 0; n < x.size(); ++n) {
    x[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * n / rate)));
  }
  return x;
}

// MSK as the transmitter makes it: continuous phase at 32000 Hz, +1 on the lower tone,
// every fourth sample kept for an 8000 Hz receiver; `delay` samples of silence first.
std::vector<int16_t> Msk(const std::vector<int>& symbols, double centre, double baud, int delay) {
  const int perSymbol = static_cast<int>(32000 / baud);
  std::vector<int16_t> x(static_cast<std::size_t>(delay), 0);
  double phase = 0;
  long n = 0;
  for (int symbol : symbols) {
    const double hz = centre + (symbol > 0 ? -baud / 4 : baud / 4);
    for (int i = 0; i < perSymbol; ++i, ++n) {
      if (n % 4 == 0)
        x.push_back(static_cast<int16_t>(std::lround(15000 * std::sin(2 * kPi * phase))));
      phase += hz / 32000;
      phase -= std::trunc(phase);
    }
  }
  return x;
}

void Feed(Demodulator& d, const std::vector<int16_t>& x, Recorder& out) {
  for (int16_t s : x) d.DemodSample(s, out);
}

// The phase steps from quarter symbol `from` on.
std::vector<long double> StepsFrom(const Recorder& r, std::size_t from) {
  std::vector<long double> steps;
  for (std::size_t i = from; i < r.eyes.size(); ++i) steps.push_back(r.eyes[i].step);
  return steps;
}

// ---- Frequency discrimination ----

TEST(DemodulatorToneTest, MskTonesGiveThreeEighthsOfAHalfCycle) {
  // VELA63: tones 15.625 Hz either side of 1000 Hz. Below the centre turns the baseband
  // phase forwards (+0.375 over three quarter symbols), above turns it backwards.
  for (const auto& [hz, expected] : {std::pair{984.375, 0.375L}, std::pair{1015.625, -0.375L}}) {
    SCOPED_TRACE(hz);
    Demodulator d;
    Recorder r;
    Feed(d, Tone(hz, 15000, 2.0), r);
    ASSERT_GE(r.eyes.size(), 400u);
    for (long double step : StepsFrom(r, 100)) EXPECT_NEAR(step, expected, 2e-3L);
    for (std::size_t i = 25; i < r.decisions.size(); ++i) {
      EXPECT_NEAR(r.decisions[i], expected, 2e-3L);
    }
  }
}

TEST(DemodulatorToneTest, EveryModeScalesTheDiscriminatorToItsBaud) {
  // The lower tone of each mode gives +0.375 whatever the baud rate.
  for (const auto& [mode, baud] : {std::pair{Mode::Vela8, 7.8125}, std::pair{Mode::Vela31, 31.25},
                                   std::pair{Mode::Vela125, 125.0}}) {
    SCOPED_TRACE(static_cast<int>(mode));
    Demodulator d;
    d.SetMode(mode);
    Recorder r;
    Feed(d, Tone(1000 - baud / 4, 15000, 40 / baud), r);  // 40 symbols
    const std::vector<long double> steps = StepsFrom(r, 100);
    ASSERT_FALSE(steps.empty());
    for (long double step : steps) EXPECT_NEAR(step, 0.375L, 2e-3L);
  }
}

TEST(DemodulatorToneTest, SilenceAndATuneAtTheCentreGiveNoPhaseStep) {
  {
    Demodulator d;
    Recorder r;
    Feed(d, std::vector<int16_t>(8000, 0), r);
    ASSERT_EQ(r.eyes.size(), 249u);
    for (const auto& e : r.eyes) EXPECT_EQ(e.step, 0.0L);
    ASSERT_EQ(r.decisions.size(), 62u);
    for (long double v : r.decisions) EXPECT_EQ(v, 0.0L);
  }
  {
    Demodulator d;
    Recorder r;
    Feed(d, Tone(1000, 15000, 2.0), r);
    for (long double step : StepsFrom(r, 40)) EXPECT_NEAR(step, 0.0L, 1e-9L);
  }
}

TEST(DemodulatorToneTest, LargeOffsetsWrapOnceIntoOneHalfCycleEitherWay) {
  // 45 Hz above 1000 Hz in VELA63 turns the phase by -1.08 half-cycles per three quarter
  // symbols, which reads as +0.92; 45 Hz below reads as -0.92.
  for (const auto& [hz, expected] : {std::pair{1045.0, 0.92L}, std::pair{955.0, -0.92L}}) {
    SCOPED_TRACE(hz);
    Demodulator d;
    Recorder r;
    Feed(d, Tone(hz, 15000, 2.0), r);
    for (long double step : StepsFrom(r, 100)) EXPECT_NEAR(step, expected, 1e-3L);
  }
}

TEST(DemodulatorToneTest, PhaseStepWrapsByOneTurn) {
  EXPECT_EQ(WrapPhaseStep(0.25L), 0.25L);
  EXPECT_EQ(WrapPhaseStep(1.0L), 1.0L);
  EXPECT_EQ(WrapPhaseStep(-1.0L), -1.0L);
  EXPECT_EQ(WrapPhaseStep(1.25L), -0.75L);
  EXPECT_EQ(WrapPhaseStep(-1.25L), 0.75L);
  EXPECT_EQ(WrapPhaseStep(1.9375L), -0.0625L);
  EXPECT_EQ(WrapPhaseStep(-1.9375L), 0.0625L);
  // 600 Hz above the centre in VELA63: -14.4 half-cycles, minus the whole turns the two
  // phases cannot show, is -0.4; the difference of the shown phases is what gets wrapped.
  const long double now = -0.9L;
  const long double before = 0.7L;
  EXPECT_NEAR(WrapPhaseStep(now - before), 0.4L, 1e-18L);
  EXPECT_NEAR(WrapPhaseStep(before - now), -0.4L, 1e-18L);
}

// ---- Fractional sample rate and centre frequency ----

TEST(DemodulatorRateTest, FractionalSampleRateCorrectsTheMixer) {
  // A sound card whose clock runs at 8000.5 Hz: a 1000 Hz tone is seen 0.0625 Hz low unless
  // the demodulator is told the true rate. In VELA8 that offset alone moves the phase step
  // by 24 * 0.0625 / 125 = 0.012.
  const std::vector<int16_t> x = Tone(1000, 15000, 30.0, 8000.5);
  for (const auto& [rate, expected] : {std::pair{8000.5L, 0.0L}, std::pair{8000.0L, 0.012L}}) {
    SCOPED_TRACE(static_cast<double>(rate));
    Demodulator d;
    d.SetMode(Mode::Vela8);
    d.SetSampleRate(rate);
    Recorder r;
    Feed(d, x, r);
    const std::vector<long double> steps = StepsFrom(r, 200);
    ASSERT_GT(steps.size(), 500u);
    for (long double step : steps) EXPECT_NEAR(step, expected, 1e-3L);
  }
}

TEST(DemodulatorRateTest, SampleRateSetsTheDecimation) {
  // Told 4000 Hz, VELA63 takes a first-stage output every fourth sample instead of every
  // eighth, so quarter symbols come twice as often.
  Demodulator d;
  d.SetSampleRate(4000.0L);
  Recorder r;
  Feed(d, std::vector<int16_t>(4000, 0), r);
  EXPECT_EQ(r.eyes.size(), 249u);  // 999 first-stage outputs, as at 8000 Hz in 8000 samples
  EXPECT_EQ(d.sampleRate(), 4000.0L);
}

TEST(DemodulatorRateTest, CentreFrequencyMovesTheDiscriminatorWhileRunning) {
  // A 1000 Hz tone read at 1000 Hz, then with the centre moved 15.625 Hz up, where it is
  // the lower MSK tone, and then 0.3 Hz further (off the sample rate's binary grid).
  const std::vector<int16_t> x = Tone(1000, 15000, 6.0);
  Demodulator d;
  Recorder r;
  const auto part = [&](std::size_t from, std::size_t to) {
    for (std::size_t n = from; n < to; ++n) d.DemodSample(x[n], r);
    return r.eyes.size();
  };
  const std::size_t first = part(0, 16000);
  d.SetCentreFrequency(1015.625L);
  const std::size_t second = part(16000, 32000);
  d.SetCentreFrequency(1015.925L);
  part(32000, 48000);
  for (std::size_t i = 100; i < first; ++i) EXPECT_NEAR(r.eyes[i].step, 0.0L, 2e-3L);
  for (std::size_t i = first + 100; i < second; ++i) EXPECT_NEAR(r.eyes[i].step, 0.375L, 2e-3L);
  // 0.3 Hz more offset adds 24 * 0.3 / 1000.
  for (std::size_t i = second + 100; i < r.eyes.size(); ++i) {
    EXPECT_NEAR(r.eyes[i].step, 0.3822L, 2e-3L);
  }
}

TEST(DemodulatorRateTest, UnusableRatesAndFrequenciesAreIgnored) {
  // A zero, negative or non-numeric rate would leave the mixer phase NaN for good.
  Demodulator d;
  d.SetSampleRate(0.0L);
  d.SetSampleRate(-8000.0L);
  d.SetSampleRate(std::numeric_limits<long double>::quiet_NaN());
  d.SetSampleRate(std::numeric_limits<long double>::infinity());
  d.SetCentreFrequency(std::numeric_limits<long double>::quiet_NaN());
  d.SetCentreFrequency(std::numeric_limits<long double>::infinity());
  EXPECT_EQ(d.sampleRate(), 8000.0L);
  EXPECT_EQ(d.centreFrequency(), 1000.0L);
  Recorder r;
  Feed(d, Tone(984.375, 15000, 2.0), r);
  for (long double step : StepsFrom(r, 100)) EXPECT_NEAR(step, 0.375L, 2e-3L);
}

// ---- Signal level and display cadence ----

TEST(DemodulatorLevelTest, LevelFollowsTheLogarithmOfTheAmplitude) {
  struct Case {
    double amplitude;
    int level;
  };
  // The baseband amplitude is half the tone's (times the filters' DC gains, 1.011), taken
  // to a whole number of tens before averaging. Full scale: about 16570, a = 1657,
  // 10 ln 1657 = 74. 1000: about 506, a = 51, level 39. 32: about 16.2, a = 2, level 7.
  // 29: about 14.7, a = 1, 10 ln 1 = 0, shown as 1.
  for (const Case& c : {Case{32767, 74}, Case{1000, 39}, Case{32, 7}, Case{29, 1}}) {
    SCOPED_TRACE(c.amplitude);
    Demodulator d;
    Recorder r;
    Feed(d, Tone(1000, c.amplitude, 6.0), r);
    EXPECT_EQ(d.signalLevel(), c.level);
    ASSERT_FALSE(r.refreshLevels.empty());
    EXPECT_EQ(r.refreshLevels.back(), c.level);
  }
}

TEST(DemodulatorLevelTest, LevelRisesSmoothlyAndIsNeverBelowOne) {
  Demodulator d;
  EXPECT_EQ(d.signalLevel(), 0);  // nothing measured yet
  Recorder r;
  Feed(d, std::vector<int16_t>(4000, 0), r);
  EXPECT_EQ(d.signalLevel(), 1);  // log of an empty average
  ASSERT_FALSE(r.refreshLevels.empty());
  for (int level : r.refreshLevels) EXPECT_EQ(level, 1);
  Recorder tone;
  Feed(d, Tone(1000, 32767, 6.0), tone);
  ASSERT_GT(tone.refreshLevels.size(), 20u);
  // The average takes some hundred quarter symbols to settle, rising all the way.
  EXPECT_LT(tone.refreshLevels[2], 70);
  for (std::size_t i = 1; i < tone.refreshLevels.size(); ++i) {
    EXPECT_GE(tone.refreshLevels[i], tone.refreshLevels[i - 1]);
  }
  EXPECT_EQ(tone.refreshLevels.back(), 74);
}

TEST(DemodulatorLevelTest, RefreshComesEveryTenthQuarterSymbol) {
  // VELA63 at 8000 Hz: first-stage outputs at samples 9, 17, 25, ... (the accumulator must
  // pass 1, not merely reach it), so the 40th, the tenth quarter symbol, is sample 321.
  Demodulator d;
  Recorder r;
  Feed(d, std::vector<int16_t>(320, 0), r);
  EXPECT_TRUE(r.refreshLevels.empty());
  EXPECT_EQ(r.eyes.size(), 9u);
  d.DemodSample(0, r);
  ASSERT_EQ(r.refreshLevels.size(), 1u);
  EXPECT_EQ(r.refreshAfterEyes[0], 9u);  // drawn before that quarter symbol's eye step
  Feed(d, std::vector<int16_t>(8000, 0), r);
  for (std::size_t i = 1; i < r.refreshAfterEyes.size(); ++i) {
    EXPECT_EQ(r.refreshAfterEyes[i], 9 + 10 * i);
  }
}

TEST(DemodulatorLevelTest, EyeStepsRunThroughTheSymbolAndTheDecisionIsAtEight) {
  Demodulator d;
  Recorder r;
  Feed(d, Tone(984.375, 15000, 1.0), r);
  ASSERT_GE(r.eyes.size(), 8u);
  for (std::size_t i = 0; i < r.eyes.size(); ++i) {
    EXPECT_EQ(r.eyes[i].subSymbol, static_cast<int>(4 * ((i + 1) % 4)));
  }
  // One decision per symbol, equal to the eye step at k = 8.
  std::vector<long double> atEight;
  for (const auto& e : r.eyes) {
    if (e.subSymbol == 8) atEight.push_back(e.step);
  }
  EXPECT_EQ(r.decisions, atEight);
}

// ---- Symbol timing ----

TEST(DemodulatorTimingTest, LoopFindsTheSymbolsFromAnyStartingOffset) {
  std::mt19937 rng(7);
  std::vector<int> symbols(300);
  for (int& s : symbols) s = (rng() & 1) ? 1 : -1;
  for (int delay : {0, 13, 29, 41, 50}) {
    SCOPED_TRACE(delay);
    Demodulator d;
    Recorder r;
    Feed(d, Msk(symbols, 1000, 62.5, delay), r);
    ASSERT_GT(r.decisions.size(), 250u);
    // The decisions trail the symbols by the filters' delay; find the lag that fits the
    // settled part best, then every settled decision must carry the right sign with the
    // full swing of a symbol that holds one tone throughout the span.
    int bestLag = -1;
    int bestHits = -1;
    for (int lag = 0; lag < 10; ++lag) {
      int hits = 0;
      for (std::size_t i = 100; i < 250; ++i) {
        hits += (r.decisions[i] > 0) == (symbols[i - lag] > 0);
      }
      if (hits > bestHits) bestHits = hits, bestLag = lag;
    }
    EXPECT_EQ(bestHits, 150);
    for (std::size_t i = 100; i < 250; ++i) {
      EXPECT_GT(std::fabs(r.decisions[i]), 0.3L) << "symbol " << i - bestLag;
    }
  }
}

// ---- Mode changes ----

TEST(DemodulatorModeTest, CountersRunOnAcrossAModeChange) {
  Demodulator d;
  Recorder r;
  Feed(d, std::vector<int16_t>(8 * 4 * 15 + 1, 0), r);  // 15 quarter symbols in VELA63
  ASSERT_EQ(r.eyes.size(), 15u);
  ASSERT_EQ(r.refreshLevels.size(), 1u);
  d.SetMode(Mode::Vela125);
  Feed(d, std::vector<int16_t>(4 * 4 * 5, 0), r);  // 5 more in VELA125
  EXPECT_EQ(r.eyes.size(), 20u);
  EXPECT_EQ(r.refreshLevels.size(), 2u);
  // The sub-symbol count carried on: 15 quarter symbols ended at k = 12, so next is 0.
  EXPECT_EQ(r.eyes[15].subSymbol, 0);
}

TEST(DemodulatorModeTest, RingsKeepTheirContentsAcrossAModeChange) {
  // After a strong tone in VELA63, silence in VELA125: the symbol filter still holds the
  // tone, so the first quarter symbols after the change still carry it.
  Demodulator d;
  Recorder r;
  Feed(d, Tone(984.375, 15000, 1.0), r);
  const std::size_t before = r.eyes.size();
  d.SetMode(Mode::Vela125);
  while (r.eyes.size() == before) d.DemodSample(0, r);
  EXPECT_GT(d.signalLevel(), 60);
  EXPECT_NE(r.eyes.back().step, 0.0L);
}

TEST(DemodulatorModeTest, WriteIndexComesBackIntoRangeAtItsNextAdvance) {
  // 150 samples of silence in VELA8 leave the first-stage write index at 150. After a
  // change to VELA125 the next sample is still written at 150, outside the 25 taps the
  // filter reads, so a click there is never heard; the index then wraps to 1 and a click
  // after that is.
  const auto run = [](int clickAt) {
    Demodulator d;
    d.SetMode(Mode::Vela8);
    Recorder r;
    Feed(d, std::vector<int16_t>(150, 0), r);
    d.SetMode(Mode::Vela125);
    for (int n = 0; n < 2000; ++n) d.DemodSample(n == clickAt ? 30000 : 0, r);
    long double energy = 0;
    for (const auto& e : r.eyes) energy += e.step * e.step;
    return energy;
  };
  EXPECT_EQ(run(0), 0.0L);
  EXPECT_GT(run(1), 0.0L);
}

TEST(DemodulatorModeTest, TonesAreReadCorrectlyAfterComingDownFromTheLongestFilter) {
  Demodulator d;
  d.SetMode(Mode::Vela8);
  Recorder r;
  Feed(d, Tone(998.046875, 15000, 1.0), r);
  d.SetMode(Mode::Vela125);
  const std::size_t from = r.eyes.size() + 100;
  Feed(d, Tone(968.75, 15000, 1.0), r);
  for (long double step : StepsFrom(r, from)) EXPECT_NEAR(step, 0.375L, 2e-3L);
}

}  // namespace
}  // namespace vela

namespace vela {
namespace {

TEST(MixerCosSin, AgreesWithTheLibraryToTheLastPlaces) {
  constexpr long double kTwoPi = 2.0L * std::numbers::pi_v<long double>;
  long double c, s, worst = 0;
  auto check = [&](long double phase) {
    MixerCosSin(phase, c, s);
    worst = std::max(
        {worst, std::fabs(c - std::cos(kTwoPi * phase)), std::fabs(s - std::sin(kTwoPi * phase))});
  };
  for (int i = 0; i < 4096; ++i) check(static_cast<long double>(i) / 4096);  // the table itself
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<long double> any(-0.999L, 0.999L);
  for (int i = 0; i < 20000; ++i) check(any(rng));
  // A few units in the last place of an extended value (1.08e-19 near 1); a missing Taylor
  // term would show as 1e-16 or worse.
  EXPECT_LT(worst, 1e-18L);
  MixerCosSin(0.25L, c, s);
  EXPECT_EQ(s, 1.0L);
}

}  // namespace
}  // namespace vela

namespace vela {
namespace {

TEST(TruncExtended, SameAsTheLibraryEverywhere) {
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<long double> wide(-1e6L, 1e6L);
  std::vector<long double> values = {0.0L,
                                     -0.0L,
                                     1.0L,
                                     -1.0L,
                                     0.999999999999999999L,
                                     -0.999999999999999999L,
                                     4095.9999999999999999L,
                                     -4095.9999999999999999L,
                                     1e30L,
                                     -1e30L,
                                     std::numeric_limits<long double>::infinity()};
  // Just below whole numbers, where the double in between rounds up across them.
  for (int n = 1; n < 5000; n += 7) {
    values.push_back(std::nextafter(static_cast<long double>(n), 0.0L));
    values.push_back(-std::nextafter(static_cast<long double>(n), 0.0L));
  }
  for (int i = 0; i < 20000; ++i) values.push_back(wide(rng));
  for (long double x : values) {
    const long double expected = std::trunc(x);
    const long double got = TruncExtended(x);
    EXPECT_EQ(got, expected) << static_cast<double>(x);
    EXPECT_EQ(std::signbit(got), std::signbit(expected)) << static_cast<double>(x);
  }
  EXPECT_TRUE(std::isnan(TruncExtended(std::numeric_limits<long double>::quiet_NaN())));
}

}  // namespace
}  // namespace vela
