// The MSK demodulator: one 16-bit sample in at a time, one decision value out per symbol.
// Mixes to baseband at the receive centre frequency, filters and decimates in two stages
// (to 16, then 4 samples per symbol), and takes the phase change over three quarters of a
// symbol as a frequency discriminator, with an early-late loop keeping symbol timing.
// There is no frequency tracking: the receive frequency is exactly what the operator set.
// All arithmetic is extended precision.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "coding/Modes.h"
#include "rx/LevelMeter.h"

namespace vela {

class DemodulatorOutput {
 public:
  virtual ~DemodulatorOutput() = default;
  // Once per symbol, at the decision instant (k = 8): the phase step, sign is the bit.
  virtual void Decision(long double phaseStep) = 0;
  // Coherent demodulators, just before each Decision(): the log-likelihood ratio of the
  // rail value at the end of that symbol (the one the next symbol starts from).
  virtual void RailAfter(double /*llr*/) {}
  // Every quarter symbol (k = 0, 4, 8, 12), after the decision if any.
  virtual void EyeStep(int subSymbol, long double phaseStep) = 0;
  // Every tenth quarter symbol: time to redraw the S/N and confidence bars.
  virtual void Refresh(int signalLevel) = 0;
};

// A phase difference of two phases in (-1, 1] half-cycles, brought back into [-1, 1] by
// one turn: the difference lies in (-2, 2), so one correction of 2 always suffices.
long double WrapPhaseStep(long double step);

// std::trunc for extended values without the library's x87 rounding-mode switches (it runs
// twice per sample). Exact: the same result for every x.
long double TruncExtended(long double x);

// cos(2 pi phase) and sin(2 pi phase) in extended precision. The library's extended sine
// costs more than the rest of the demodulator together, so the phase is split into a
// multiple of 1/4096, looked up in a table the library built, and a small remainder rotated
// in by its Taylor series: within a few units in the last place of the library's values.
void MixerCosSin(long double phase, long double& cosine, long double& sine);

class Demodulator {
 public:
  Demodulator();

  // Selects R (modeRate) and the first-stage filter length; the rings and counters run on.
  void SetMode(Mode mode);
  // Both take effect from the next sample, without a phase jump. A sample rate that is not
  // a positive number, or a frequency that is not finite, is ignored.
  void SetSampleRate(long double fs);
  void SetCentreFrequency(long double fc);
  long double sampleRate() const { return sampleRate_; }
  long double centreFrequency() const { return centreFrequency_; }
  // 10 ln of the averaged baseband amplitude, at least 1 (0 before the first quarter symbol).
  int signalLevel() const { return level_.level(); }

  void DemodSample(int16_t x, DemodulatorOutput& out);

 private:
  // Steps taken at the first-stage output rate and at the quarter-symbol rate.
  void FirstStageOutput(DemodulatorOutput& out);
  void QuarterSymbol(DemodulatorOutput& out);

  // The mixer's cosine and sine at one phase. Whenever fc / fs is a whole number of 2^-11
  // (the default 1000 Hz and every waterfall click at 8000 Hz) the phase runs through at
  // most 2048 values over and over; keeping the last pair per slot saves even the table
  // lookup of MixerCosSin.
  struct MixerPoint {
    long double phase;
    long double cos;
    long double sin;
  };
  static constexpr int kMixerSlots = 2048;

  static constexpr int kFirstStageRing = 401;
  static constexpr int kSymbolTaps = 86;
  static constexpr int kPhaseDelay = 3;

  long double sampleRate_ = 8000.0L;
  long double centreFrequency_ = 1000.0L;
  long double modeRate_ = 1000.0L;
  int filterLength_ = 50;
  const long double* firstStageTaps_ = nullptr;
  const long double* symbolTaps_ = nullptr;

  long double mixerPhase_ = 0.0L;
  std::vector<MixerPoint> mixerPoints_;
  std::array<long double, kFirstStageRing> i1_{};
  std::array<long double, kFirstStageRing> q1_{};
  uint8_t p_ = 0;
  long double decimPhase_ = 0.0L;
  std::array<long double, kSymbolTaps + 1> i2_{};
  std::array<long double, kSymbolTaps + 1> q2_{};
  int s_ = 0;
  uint8_t subSymbol_ = 0;
  std::array<long double, kPhaseDelay + 1> phaseLine_{};
  int r_ = 0;
  long double timingError_ = 0.0L;
  static constexpr float kTimingGain = 2.0f;
  LevelMeter level_;
};

}  // namespace vela
