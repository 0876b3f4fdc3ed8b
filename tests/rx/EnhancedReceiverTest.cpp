// The enhanced receiver's parts: the soft-decision Viterbi decoder, the soft combination of
// rail values, soft frame sync and the coherent demodulator on synthesised MSK.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "coding/ConvolutionalCode.h"
#include "coding/Frame.h"
#include "coding/Interleave.h"
#include "display/CorrelationDisplay.h"
#include "rx/Demodulator.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/FrameSync.h"
#include "rx/NoiseBlanker.h"
#include "rx/Viterbi.h"
#include "support/Signals.h"

namespace vela {
namespace {

using test::Msk;

std::vector<int> CodedSymbols(const std::vector<int>& bits) {
  uint8_t reg = 0;
  std::vector<int> out;
  for (int b : bits) {
    const CodePair pair = SplitEntry(EncoderStep(reg, b));
    out.push_back(CodedBitToSymbol(pair.p1));
    out.push_back(CodedBitToSymbol(pair.p2));
  }
  return out;
}

TEST(ViterbiSoftValues, UnsureWrongValuesLoseToSureRightOnes) {
  std::mt19937 rng(8);
  std::uniform_int_distribution<int> bit(0, 1);
  std::vector<int> bits(400);
  for (auto& b : bits) b = bit(rng);
  const auto coded = CodedSymbols(bits);
  // A burst of wrong code bits beyond what hard decisions can correct, each only faintly
  // wrong; every other value is sure.
  std::vector<float> soft(coded.begin(), coded.end());
  for (size_t i = 200; i < 212; ++i) soft[i] = -0.2f * static_cast<float>(coded[i]);
  ViterbiDecoder hardDecoder;
  ViterbiDecoder softDecoder;
  int hardErrors = 0, softErrors = 0;
  for (size_t i = 0; i + 1 < soft.size(); i += 2) {
    const int truth = i / 2 >= 63 ? bits[i / 2 - 63] : -1;
    const int h = hardDecoder.Decode(soft[i] > 0 ? 1 : -1, soft[i + 1] > 0 ? 1 : -1);
    const int s = softDecoder.Decode(soft[i], soft[i + 1]);
    if (truth >= 0 && i / 2 >= 63 + 6) {  // past the initial survivors
      hardErrors += h != truth;
      softErrors += s != truth;
    }
  }
  EXPECT_GT(hardErrors, 0);
  EXPECT_EQ(softErrors, 0);
}

TEST(BoxPlus, CombinesTwoRailsIntoTheirProduct) {
  EXPECT_GT(BoxPlus(3.0, 2.0), 0.0);
  EXPECT_LT(BoxPlus(-3.0, 2.0), 0.0);
  EXPECT_GT(BoxPlus(-3.0, -2.0), 0.0);
  EXPECT_DOUBLE_EQ(BoxPlus(0.0, 5.0), 0.0);    // one rail unknown: the product is unknown
  EXPECT_NEAR(BoxPlus(2.0, 40.0), 2.0, 1e-9);  // one rail sure: the other decides
  EXPECT_DOUBLE_EQ(BoxPlus(1.5, -0.7), BoxPlus(-0.7, 1.5));
  // Exact value: 2 atanh(tanh(a/2) tanh(b/2)).
  EXPECT_NEAR(BoxPlus(1.2, 0.8), 2.0 * std::atanh(std::tanh(0.6) * std::tanh(0.4)), 1e-12);
  EXPECT_LT(std::abs(BoxPlus(1.2, 0.8)), 0.8);
}

// Frames of random data with the PN values, as the transmitter lays them out.
std::vector<float> FrameStream(InterleaveLength length, int frames, uint32_t seed) {
  const FrameGeometry& geo = Geometry(length);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> bit(0, 1);
  std::vector<float> out;
  std::vector<int> t(static_cast<size_t>(geo.codedSymbols)),
      image(static_cast<size_t>(geo.imageSize));
  for (int f = 0; f < frames; ++f) {
    for (auto& v : t) v = bit(rng) ? 1 : -1;
    BuildFrameImage(length, t, image);
    for (int i = 0; i < geo.frameLength; ++i)
      out.push_back(
          static_cast<float>(image[static_cast<size_t>(i)] ? image[static_cast<size_t>(i)] : 1));
  }
  return out;
}

TEST(SoftFrameHandler, FindsCleanFramesAtFullConfidence) {
  for (InterleaveLength length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const int frameLength = Geometry(length).frameLength;
    const auto stream = FrameStream(length, 4, 3);
    SoftFrameHandler handler(length);
    const int lead = 37;  // symbols heard before the first frame starts
    for (int i = 0; i < lead; ++i) handler.Add(0.3f);
    int searches = 0;
    for (float v : stream) {
      if (!handler.Add(2.5f * v)) continue;
      if (++searches < 2) continue;
      EXPECT_EQ((handler.syncLocation() - (lead + 1)) % frameLength, 0) << handler.syncLocation();
      EXPECT_NEAR(handler.syncPeak(), 961.0, 1.0);
      EXPECT_EQ(
          CorrelationGrey(handler.correlations()[static_cast<size_t>(handler.syncLocation())]), 69);
    }
    EXPECT_GE(searches, 3);
  }
}

TEST(SoftFrameHandler, NoiseReadsNearNothingAndAWeakSteadySignalBuildsUp) {
  std::mt19937 rng(12);
  std::normal_distribution<float> gauss(0.0f, 1.0f);
  SoftFrameHandler noiseOnly(InterleaveLength::Long);
  int open = 0, frames = 0;
  for (int i = 0; i < 223 * 200; ++i) {
    if (noiseOnly.Add(gauss(rng))) {
      ++frames;
      open += std::floor(noiseOnly.syncPeak() / 9.6) > 5;
    }
  }
  EXPECT_LE(open * 20, frames);  // the default squelch stays shut on nearly every frame

  // A weak signal whose single frames barely rise above noise: carried over from frame to
  // frame, the right offset wins and the confidence climbs.
  const auto stream = FrameStream(InterleaveLength::Long, 12, 4);
  SoftFrameHandler weak(InterleaveLength::Long);
  int right = 0, searches = 0;
  double lastPeak = 0;
  for (float v : stream) {
    if (!weak.Add(0.45f * v + gauss(rng))) continue;
    if (++searches < 4) continue;
    right += weak.syncLocation() % 223 == 1;
    lastPeak = weak.syncPeak();
  }
  EXPECT_GE(right, searches - 4 - 1);
  EXPECT_GT(lastPeak, 9.6 * 5);
}

TEST(SoftFrameHandler, FollowsASignalThatMovesWithinTwoFrames) {
  auto stream = FrameStream(InterleaveLength::Short, 10, 9);
  stream.insert(stream.begin() + 127 * 5, 5, 0.0f);  // five symbols slipped in
  SoftFrameHandler handler(InterleaveLength::Short);
  std::vector<int> found;
  for (float v : stream)
    if (handler.Add(v)) found.push_back(handler.syncLocation() % 127);
  ASSERT_GE(found.size(), 9u);
  EXPECT_EQ(found[3], 1);
  EXPECT_EQ(found[7], 6);  // the second frame after the move
  EXPECT_EQ(found.back(), 6);
}

TEST(SoftFrameHandler, DeinterleavesLikeTheHardReaderButNeverReadsTheUnsentSymbol) {
  for (InterleaveLength length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& geo = Geometry(length);
    std::vector<float> window(static_cast<size_t>(2 * geo.frameLength));
    std::vector<float> hardWindow(window.size());
    for (size_t i = 0; i < window.size(); ++i)
      hardWindow[i] = window[i] = static_cast<float>(i % 17) - 8.0f;
    for (int loc : {0, 5, geo.frameLength}) {
      std::vector<float> soft;
      std::vector<float> hard;
      DeinterleaveFrame(length, window, loc, UnsentSymbol::Neutral, soft);
      DeinterleaveFrame(length, hardWindow, loc, UnsentSymbol::Read, hard);
      const int unsent = InterleaveTable(length)[static_cast<size_t>(geo.codedSymbols - 1)];
      for (int k = 0; k < geo.codedSymbols; ++k) {
        if (k == unsent)
          EXPECT_EQ(soft[static_cast<size_t>(k)], 0.0f);
        else
          EXPECT_EQ(soft[static_cast<size_t>(k)], hard[static_cast<size_t>(k)]) << k;
      }
    }
  }
}

// Rails of random frames in noise, as the coherent demodulator hands them on: each symbol
// read from its own two rails, or with the known symbols' help. The help must cut the
// errors in the data next to every PN value, and leave a clean frame exactly as it was.
TEST(SoftFrameHandler, KnownSymbolsTieTheirRailsAndHelpTheDataBesideThem) {
  std::mt19937 rng(31);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (InterleaveLength length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& geo = Geometry(length);
    const int frameLength = geo.frameLength;
    int plainErrors = 0, tiedErrors = 0;
    for (int trial = 0; trial < 200; ++trial) {
      // One symbol heard before the frame, so that its first rail is there.
      auto symbols = FrameStream(length, 2, static_cast<uint32_t>(trial));
      symbols.insert(symbols.begin(), 1.0f);
      for (double sigma : {0.0, 1.0}) {
        // Rail k lies at the end of symbol k; symbol +1 makes the rails either side differ.
        std::vector<float> rails(symbols.size()), plain(symbols.size());
        double rail = 1.0;
        for (size_t k = 0; k < symbols.size(); ++k) {
          rail *= -symbols[k];
          rails[k] =
              static_cast<float>(2.0 * (rail + sigma * gauss(rng)) / std::max(sigma * sigma, 0.25));
        }
        for (size_t k = 1; k < symbols.size(); ++k)
          plain[k] = static_cast<float>(-BoxPlus(rails[k - 1], rails[k]));
        std::vector<float> scratch, tied, untied, truth;
        ReadSoftFrame(length, plain, rails, 1, scratch, tied);
        DeinterleaveFrame(length, plain, 1, UnsentSymbol::Neutral, untied);
        DeinterleaveFrame(length, symbols, 1, UnsentSymbol::Neutral, truth);
        for (size_t i = 0; i < truth.size(); ++i) {
          if (truth[i] == 0) continue;  // the unsent symbol
          if (sigma == 0.0) {
            ASSERT_EQ(tied[i] > 0, truth[i] > 0) << i;
            continue;
          }
          plainErrors += (untied[i] > 0) != (truth[i] > 0);
          tiedErrors += (tied[i] > 0) != (truth[i] > 0);
        }
      }
    }
    // Two of every three data symbols (short) or of every six (long) sit beside a PN value.
    EXPECT_LT(tiedErrors, plainErrors * (length == InterleaveLength::Short ? 0.92 : 0.97))
        << frameLength << ": " << tiedErrors << " against " << plainErrors;
  }
}

// A fresh transmitter's never-built first frame (every data symbol +1) reads as the idle
// stream, however weak; frames of real data are read as they are.
TEST(SoftFrameHandler, ReadsTheNeverBuiltFirstFrameAsIdle) {
  std::mt19937 rng(5);
  std::normal_distribution<double> gauss(0.0, 1.0);
  for (InterleaveLength length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& geo = Geometry(length);
    for (double strength : {0.8, 3.0, 20.0}) {
      for (bool fresh : {true, false}) {
        auto symbols = FrameStream(length, 2, 77);
        if (fresh) {
          for (int i = 0; i < geo.frameLength; ++i)
            if (i % geo.groupSize != 0) symbols[static_cast<size_t>(i)] = 1.0f;
        }
        std::vector<float> window(symbols.size()), rails(symbols.size(), 0.0f), scratch, coded;
        for (size_t k = 0; k < symbols.size(); ++k)
          window[k] = static_cast<float>(strength * (symbols[k] + 0.5 * gauss(rng)));
        ReadSoftFrame(length, window, rails, 0, scratch, coded);
        int idle = 0;
        for (float v : coded) idle += v < -5.0f;
        if (fresh)
          EXPECT_EQ(idle, geo.codedSymbols) << strength;
        else
          EXPECT_LT(idle, geo.codedSymbols / 2) << strength;
      }
    }
  }
}

// Static crashes through the blanker: a burst far above the floor comes out no stronger
// than the floor; white noise and a lasting rise in level pass (almost) as they are.
TEST(NoiseBlanker, WeightsCrashesDownToTheFloorAndLetsTheBandThrough) {
  std::mt19937 rng(3);
  std::normal_distribution<double> gauss(0.0, 1000.0);
  NoiseBlanker blanker(8000.0);
  std::vector<double> in, out;
  auto run = [&](int samples, double gain) {
    for (int i = 0; i < samples; ++i) {
      in.push_back(gain * gauss(rng));
      out.push_back(blanker.Process(in.back()));
    }
  };
  auto power = [](const std::vector<double>& v, size_t from, size_t to) {
    double p = 0.0;
    for (size_t i = from; i < to; ++i) p += v[i] * v[i];
    return p / static_cast<double>(to - from);
  };
  const size_t d = NoiseBlanker::Latency();
  run(8000, 1.0);
  for (int crash = 0; crash < 5; ++crash) {
    run(80, 10.0);  // 10 ms at 20 dB above the floor
    run(1600, 1.0);
  }
  const size_t quiet = in.size();
  run(1600, 3.0);  // the band rises 10 dB and stays
  run(8000, 3.0);
  // Noise alone: nearly every sample untouched, only delayed, and the power kept.
  int touched = 0;
  for (size_t i = 0; i + d < 8000; ++i) touched += out[i + d] != in[i];
  EXPECT_LT(touched, 80);
  EXPECT_NEAR(power(out, d, 8000), power(in, 0, 8000 - d), 0.01 * power(in, 0, 8000));
  for (int crash = 0; crash < 5; ++crash) {
    const size_t start = 8000 + static_cast<size_t>(crash) * 1680 + d;
    EXPECT_LT(power(out, start, start + 80), 2.0 * power(in, 0, 8000)) << crash;
  }
  EXPECT_NEAR(power(out, quiet + 1600 + d, in.size()), power(in, quiet + 1600, in.size() - d),
              0.01 * power(in, quiet + 1600, in.size()));
}

struct Capture : DemodulatorOutput {
  std::vector<double> decisions;
  std::vector<double> eyeAtDecision;
  int lastLevel = 0;
  void Decision(long double v) override { decisions.push_back(static_cast<double>(v)); }
  void EyeStep(int k, long double step) override {
    if (k == 8) eyeAtDecision.push_back(static_cast<double>(step));
  }
  void Refresh(int level) override { lastLevel = level; }
};

// Symbol errors over the best alignment of the decisions with what was sent, ignoring the
// start-up stretch.
int AlignedErrors(const std::vector<int>& sent, const std::vector<double>& got, int skip) {
  int best = 1 << 30;
  for (int lag = -4; lag <= 4; ++lag) {
    int errors = 0, compared = 0;
    for (size_t i = static_cast<size_t>(skip); i < got.size(); ++i) {
      const auto j = static_cast<int64_t>(i) + lag;
      if (j < 0 || j >= static_cast<int64_t>(sent.size())) continue;
      ++compared;
      errors += (got[i] > 0 ? 1 : -1) != sent[static_cast<size_t>(j)];
    }
    if (compared > 100) best = std::min(best, errors);
  }
  return best;
}

struct DemodCase {
  Mode mode;
  double centre;  // the transmitter's; the receiver listens at 1000 Hz
  double rate;    // the capture's true rate; the receiver assumes 8000 Hz
};

class EnhancedDemod : public testing::TestWithParam<DemodCase> {};

TEST_P(EnhancedDemod, RecoversEverySymbolOffCentreAndOffRate) {
  const DemodCase c = GetParam();
  const double baud = ModeTable(c.mode).symbolRate;
  std::mt19937 rng(21);
  std::uniform_int_distribution<int> bit(0, 1);
  std::vector<int> symbols(40, 1);  // the preamble's steady tone first
  const int count = c.mode == Mode::Vela8 ? 400 : 1200;
  for (int i = 0; i < count; ++i) symbols.push_back(bit(rng) ? 1 : -1);
  std::vector<int16_t> audio = Msk(symbols, c.rate, c.centre, baud);
  audio.resize(audio.size() +
                   static_cast<size_t>(8000.0 / baud * (EnhancedDemodulator::LatencySymbols() + 4)),
               0);

  EnhancedDemodulator demod;
  demod.SetMode(c.mode);
  Capture out;
  for (int16_t x : audio) demod.DemodSample(x, out);
  ASSERT_GT(out.decisions.size(), symbols.size() - 5);
  // A quarter of the baud off, the first window may take the alias half a baud away: the
  // next windows, hearing more data, correct it (one symbol lost at the switch).
  const bool quarter = std::abs(c.centre - 1000.0) > baud / 5;
  EXPECT_EQ(AlignedErrors(symbols, out.decisions, quarter ? 160 : 100), 0);
  // The displays read the signal the way the standard demodulator's do.
  const double tone = (c.centre - 1000.0) * 24.0 / ModeTable(c.mode).modeRate;
  int agreeing = 0;
  for (size_t i = 100; i < symbols.size() - 10; ++i)
    agreeing += std::abs(std::abs(out.eyeAtDecision[i]) - 0.375) < 0.05;
  EXPECT_GT(agreeing, static_cast<int>(symbols.size() - 110) * 9 / 10) << "tone " << tone;
  EXPECT_NEAR(demod.frequencyOffsetHz(), c.centre * 8000.0 / c.rate - 1000.0,
              0.05 * baud / 62.5 + 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnhancedDemod,
    testing::Values(DemodCase{Mode::Vela8, 1000.5, 8000.0}, DemodCase{Mode::Vela31, 998.0, 8001.6},
                    DemodCase{Mode::Vela63, 1002.0, 7998.4},
                    DemodCase{Mode::Vela125, 1000.0, 8000.0},
                    // Pulled in from a quarter of the baud off.
                    DemodCase{Mode::Vela8, 1002.0, 8000.0}, DemodCase{Mode::Vela31, 992.0, 8000.8},
                    DemodCase{Mode::Vela63, 1016.0, 8000.0},
                    DemodCase{Mode::Vela125, 969.0, 7999.2}),
    [](const auto& info) {
      return std::string(ModeTable(info.param.mode).name) +
             (std::abs(info.param.centre - 1000.0) > ModeTable(info.param.mode).symbolRate / 5
                  ? "QuarterBaudOff"
                  : "");
    });

TEST(EnhancedDemod, SignalLevelMatchesTheStandardDemodulator) {
  const std::vector<int> symbols(3000, 1);
  const auto audio = Msk(symbols, 8000.0, 1000.0, 62.5, 16000.0);
  EnhancedDemodulator enhanced;
  Demodulator standard;
  enhanced.SetMode(Mode::Vela63);
  standard.SetMode(Mode::Vela63);
  Capture a, b;
  for (int16_t x : audio) {
    enhanced.DemodSample(x, a);
    standard.DemodSample(x, b);
  }
  EXPECT_NEAR(a.lastLevel, b.lastLevel, 1);
  EXPECT_GT(a.lastLevel, 60);
}

TEST(EnhancedDemod, SilenceGivesNeutralValues) {
  EnhancedDemodulator demod;
  demod.SetMode(Mode::Vela125);
  Capture out;
  for (int i = 0; i < 8000 * 5; ++i) demod.DemodSample(0, out);
  ASSERT_GT(out.decisions.size(), 100u);
  for (double d : out.decisions) EXPECT_EQ(d, 0.0);
  EXPECT_EQ(out.lastLevel, 1);
}

}  // namespace
}  // namespace vela
