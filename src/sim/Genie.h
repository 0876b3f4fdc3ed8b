// The genie: a receiver for benchmarks only, which the channel tells what a real receiver
// has to estimate. From the channel's signal before the noise it knows the symbol timing,
// the carrier's phase and amplitude at every rail value and where every frame starts; it
// hears the noisy samples through a filter matched to each rail's half-cosine pulse at
// exactly those instants, turns each rail value into its true log-likelihood ratio for
// the channel's Gaussian noise, and feeds the symbols' soft values to the same Viterbi
// decoder and varicode decoder as the enhanced receiver. Its thresholds are the practical
// bound of the air format. It cannot listen to a sound card: only `sweep` runs it.
//
// With iterations it decodes through the enhanced receiver's iterative decoder instead (the
// rail pass then ties the rails at the known symbols itself).
//
// For the loss budget it can be made to estimate one of the quantities itself, the way the
// enhanced receiver does, while it is still told the others.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "coding/Modes.h"

namespace vela::cli {

// The one quantity the genie works out from the noisy signal instead of being told.
enum class GenieEstimate {
  None,
  Plain,   // soft values of each symbol from its two rails alone, not helped by the PN
  Phase,   // carrier phase from the squared rails over 128 symbols around each block of 16
  Scale,   // rail amplitude and noise from their moments over the same window
  Frames,  // frame positions from the enhanced receiver's soft PN search
};

class GenieReceiver {
 public:
  // `signal`: the channel's signal alone at 8000 Hz (from ApplyChannel), which also holds the
  // transmission's start; `offsetHz` and `ppm` are the channel's.
  // `iterations`: the iterative decoder's passes (0: the Viterbi decoder; `Plain` always).
  GenieReceiver(Mode mode, std::span<const double> signal, double offsetHz, double ppm,
                GenieEstimate estimate = GenieEstimate::None, int iterations = 0);

  // The receive pane for noisy samples of that signal: `signal` times `signalScale` plus
  // Gaussian noise of `noiseSigma` (ChannelResult). With fading, `signal` must be the one
  // faded by the same seed.
  std::string Decode(std::span<const int16_t> noisy, double signalScale, double noiseSigma) const;

  // Where the first frame of the transmission starts, in symbols after the first
  // boundary, and how many boundaries the transmission spans.
  int firstFrame() const { return firstFrame_; }
  int64_t boundaries() const { return static_cast<int64_t>(times_.size()); }

 private:
  using Complex = std::complex<double>;
  // The matched filter's output at `time` (samples) of a signal mixed down by `carrier_`.
  template <class Sample>
  Complex Matched(std::span<const Sample> x, double time) const;
  void FindTiming(std::span<const double> signal);
  void FindCarrier(std::span<const double> signal);
  void FindFrames();
  void AddKnownSymbols(std::vector<double>& llr) const;
  std::vector<double> RailLlrs(std::span<const int16_t> noisy, double signalScale,
                               double noiseSigma) const;

  Mode mode_;
  GenieEstimate estimate_;
  int iterations_;
  double samplesPerSymbol_;
  double carrier_;  // cycles per sample
  double start_ = 0.0;
  std::vector<double> times_;       // each boundary's instant, in samples
  std::vector<Complex> carrierAt_;  // unit carrier of each boundary's rail
  std::vector<double> cleanRail_;   // the clean rail value at each boundary
  double noiseGain_ = 0.0;          // the rail's noise variance per unit sample variance
  int firstFrame_ = 0;
};

}  // namespace vela::cli
