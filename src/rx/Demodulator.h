// The MSK demodulator: one 16-bit sample in at a time, one decision value out per symbol.
// Mixes to baseband at the receive centre frequency, filters and decimates in two stages
// (to 16, then 4 samples per symbol), and takes the phase change over three quarters of a
// symbol as a frequency discriminator, with an early-late loop keeping symbol timing.
// All arithmetic is extended precision.
#pragma once

#include <array>
#include <cstdint>

#include "coding/Modes.h"

namespace vela {

class DemodulatorOutput {
 public:
  virtual ~DemodulatorOutput() = default;
  // Once per symbol, at the decision instant (k = 8): the phase step, sign is the bit.
  virtual void Decision(long double phaseStep) = 0;
  // Every quarter symbol (k = 0, 4, 8, 12), after the decision if any.
  virtual void EyeStep(int subSymbol, long double phaseStep) = 0;
  // Every tenth quarter symbol: time to redraw the S/N and confidence bars.
  virtual void Refresh(int signalLevel) = 0;
};

class Demodulator {
 public:
  Demodulator();

  // Selects R (modeRate) and the first-stage filter length; the rings and counters run on.
  void SetMode(Mode mode);
  void SetSampleRate(long double fs) { sampleRate_ = fs; }
  void SetCentreFrequency(long double fc) { centreFrequency_ = fc; }
  long double sampleRate() const { return sampleRate_; }
  long double centreFrequency() const { return centreFrequency_; }
  int signalLevel() const { return signalLevel_; }

  void DemodSample(int16_t x, DemodulatorOutput& out);

 private:
  long double sampleRate_ = 8000.0L;
  long double centreFrequency_ = 1000.0L;
  long double modeRate_ = 1000.0L;
  int filterLength_ = 50;
  const long double* firstStageTaps_ = nullptr;

  long double mixerPhase_ = 0.0L;
  std::array<long double, 401> i1_{};
  std::array<long double, 401> q1_{};
  uint8_t p_ = 0;
  long double decimPhase_ = 0.0L;
  std::array<long double, 87> i2_{};
  std::array<long double, 87> q2_{};
  int s_ = 0;
  uint8_t subSymbol_ = 0;
  std::array<long double, 4> phaseLine_{};
  int r_ = 0;
  long double timingError_ = 0.0L;
  static constexpr float kTimingGain = 2.0f;
  long double levelAverage_ = 0.0L;
  int signalLevel_ = 1;
  int refreshCounter_ = 0;
};

}  // namespace vela
