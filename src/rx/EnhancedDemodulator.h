// The enhanced MSK demodulator: MSK received coherently as offset QPSK. The baseband signal
// goes through a filter matched to the half-cosine pulse each rail carries; symbol timing,
// carrier frequency and phase come from the squared rail values (the data drop out when a
// rail value is squared), estimated over a window of symbols centred on each block, so there
// is no loop to slip and a new signal is taken at once. Each symbol is the product of the
// two rail values either side of it; its soft value (a log-likelihood ratio, +ve = symbol
// +1) goes on to the soft frame sync. Eye and level values are made like the standard
// demodulator's, so the displays read the same.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <vector>

#include "coding/Modes.h"
#include "rx/Demodulator.h"
#include "rx/LevelMeter.h"
#include "rx/NoiseBlanker.h"

namespace vela {

// Log-likelihood ratio of the product of two independent +/-1 values from theirs.
double BoxPlus(double a, double b);

class EnhancedDemodulator {
 public:
  EnhancedDemodulator();

  // A mode or sample rate starts the receiver afresh (they change the sample grid it works
  // on); a centre frequency takes effect from the next sample.
  void SetMode(Mode mode);
  void SetSampleRate(long double fs);
  void SetCentreFrequency(long double fc);
  // The noise blanker for static crashes (on unless switched off, to measure its gain).
  void SetNoiseBlanker(bool on) { blanking_ = on; }
  int signalLevel() const { return level_.level(); }

  // Decision() gets the soft value of each symbol, EyeStep() four phase steps per symbol
  // and Refresh() every tenth of them, like the standard demodulator's outputs.
  void DemodSample(int16_t x, DemodulatorOutput& out);

  // Symbols of look-ahead the estimates need: how far behind the input the output runs.
  static int LatencySymbols();

  // The latest estimate of the carrier's offset from the centre, in Hz.
  double frequencyOffsetHz() const;

 private:
  using Complex = std::complex<double>;

  void Restart();
  void BasebandSample(Complex z, DemodulatorOutput& out);
  // Matched-filter output and baseband at a fractional sample position (0 outside).
  Complex MatchedAt(double pos) const;
  // The same with the pulse corrected for a carrier offset of `freq` cycles per symbol.
  Complex CorrectedAt(double pos, double freq) const;
  Complex BasebandAt(double pos) const;
  void AddSquaredRails(int64_t symbol);
  // The strongest line of the squared rails' spectra: timing phase, bin and power.
  struct SpectralLine {
    int phase = 0;
    int bin = 0;
    double power = -1.0;
    bool tracked = false;  // the line near the last estimate
  };
  void TransformPhase(int p, int64_t first);
  SpectralLine FindLine(int64_t first);
  void EstimateBlock();
  // The carrier phase at the block centre for an offset `freq` (cycles per symbol).
  double CarrierPhase(int64_t centre, double tau, double freq, int64_t move) const;
  // Energy of the baseband at `freq` (cycles per symbol) over the window, symbol by symbol.
  double ToneEnergy(int64_t centre, double tau, double freq) const;
  void EstimateRailStatistics(int64_t centre);
  void EmitBlock(DemodulatorOutput& out);
  void EmitSymbol(int64_t symbol, DemodulatorOutput& out);
  void QuarterSymbol(double pos, int subSymbol, DemodulatorOutput& out);
  // Carrier-referenced value of the rail at boundary s (grid count).
  double Rail(int64_t s) const;

  long double sampleRate_ = 8000.0L;
  long double centreFrequency_ = 1000.0L;
  Mode mode_ = kDefaultMode;

  // Mixer and decimating filter (two-block triangle) to about 16 samples per symbol.
  int decimation_ = 4;
  double sps_ = 16.0;  // baseband samples per symbol
  long double mixerPhase_ = 0.0L;
  long double mixerStep_ = 0.0L;
  Complex rotor_{1.0, 0.0};
  Complex rotorStep_{1.0, 0.0};
  int rotorCount_ = 0;
  std::vector<double> decimTaps_;
  int decimPos_ = 0;
  Complex accNow_{}, accNext_{};

  // Baseband and matched-filter outputs, by absolute sample index minus the base.
  std::vector<Complex> baseband_;
  std::vector<Complex> matched_;
  int64_t basebandBase_ = 0;  // absolute index of baseband_[0]
  int64_t matchedCount_ = 0;  // matched-filter outputs made (absolute)
  int64_t matchedBase_ = 0;   // absolute index of matched_[0]
  std::vector<double> mfTaps_;

  // Squared rail values per symbol at 16 timing phases across the symbol.
  static constexpr int kPhases = 16;
  std::vector<std::array<Complex, kPhases>> squared_;
  int64_t squaredBase_ = 0;
  int64_t squaredCount_ = 0;

  // Block estimates and continuity.
  int64_t nextBlock_ = 0;  // first symbol of the next block to emit
  int64_t shift_ = 0;      // symbol e out is boundary e + shift_ of the grid
  bool haveEstimate_ = false;
  double tau_ = 0.0;    // timing: symbol s starts at s*sps + tau (baseband samples)
  double freq_ = 0.0;   // carrier offset, cycles per symbol
  double phase_ = 0.0;  // carrier phase (radians) at the block centre
  double blockCentre_ = 0.0;
  // The squared rails of one timing phase over the window, transformed.
  struct SearchSpectrum {
    explicit SearchSpectrum(size_t size = 0) : real(size), imaginary(size) {}
    std::vector<double> real;
    std::vector<double> imaginary;
    double Norm(int bin) const {
      const auto b = static_cast<size_t>(bin);
      return real[b] * real[b] + imaginary[b] * imaginary[b];
    }
  };
  std::vector<SearchSpectrum> spectra_;

  // Rail statistics for the soft values.
  double amplitude_ = 0.0;
  double noiseVar_ = 1.0;
  double lastLambda_ = 0.0;
  bool haveLastLambda_ = false;

  LevelMeter level_;  // the S/N bar
  NoiseBlanker blanker_;
  bool blanking_ = true;
};

}  // namespace vela
