#include "sim/Genie.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "coding/Frame.h"
#include "coding/Modes.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/FrameSync.h"
#include "rx/IterativeDecoder.h"
#include "rx/RailEstimates.h"
#include "rx/ReceivePane.h"
#include "rx/SyncConfidence.h"
#include "rx/VaricodeDecoder.h"
#include "rx/Viterbi.h"
#include "sim/ChannelSim.h"

namespace vela::cli {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNominalCentre = kDefaultCentreHz;  // where sweep's transmitter puts it
constexpr int kTimingSteps = 64;                     // timing phases tried across a symbol
constexpr int kTimingBoundaries = 600;               // boundaries they are tried on
constexpr int kCarrierSpan = 32;  // boundaries either side the clean carrier is averaged
constexpr double kMaxLlr = 60.0;
// The enhanced receiver's block and window, for the estimates the genie can be made to do.
constexpr int kBlock = 16;
constexpr int kWindow = 128;

struct Pane : TextEvents {
  std::string text;
  void RxChar(uint8_t c) override { ApplyToPane(text, c); }
};

}  // namespace

GenieReceiver::GenieReceiver(Mode mode, std::span<const double> signal, double offsetHz, double ppm,
                             GenieEstimate estimate, int iterations)
    : mode_(mode),
      estimate_(estimate),
      iterations_(estimate == GenieEstimate::Plain ? 0 : iterations) {
  const double stretch = 1.0 + ppm * 1e-6;
  samplesPerSymbol_ = kChannelRate / ModeTable(mode).symbolRate * stretch;
  carrier_ = (kNominalCentre / stretch + offsetHz) / kChannelRate;
  FindTiming(signal);
  FindCarrier(signal);
  FindFrames();
}

template <class Sample>
std::complex<double> GenieReceiver::Matched(std::span<const Sample> x, double time) const {
  const double t = samplesPerSymbol_;
  const auto first = static_cast<int64_t>(std::max(0.0, std::ceil(time - t)));
  const auto last =
      std::min(static_cast<int64_t>(x.size()) - 1, static_cast<int64_t>(std::floor(time + t)));
  if (first > last) return {};
  // Mixer and half-cosine pulse both by rotation, one step per sample.
  const double cycles = carrier_ * static_cast<double>(first);
  Complex mixer = std::polar(1.0, -2 * kPi * (cycles - std::floor(cycles)));
  const Complex mixerStep = std::polar(1.0, -2 * kPi * carrier_);
  Complex pulse = std::polar(1.0, kPi * (static_cast<double>(first) - time) / (2 * t));
  const Complex pulseStep = std::polar(1.0, kPi / (2 * t));
  Complex sum{};
  for (int64_t n = first; n <= last; ++n) {
    sum += pulse.real() * static_cast<double>(x[static_cast<size_t>(n)]) * mixer;
    mixer *= mixerStep;
    pulse *= pulseStep;
  }
  return sum;
}

void GenieReceiver::FindTiming(std::span<const double> signal) {
  // The clean signal's squared rails add up in phase only at the true boundaries.
  const double t = samplesPerSymbol_;
  const auto count = static_cast<int64_t>(static_cast<double>(signal.size()) / t) - 2;
  const int64_t stride = std::max<int64_t>(1, count / kTimingBoundaries);
  auto score = [&](double start) {
    Complex sum{};
    for (int64_t s = 1; s < count; s += stride) {
      const Complex r = Matched(signal, start + static_cast<double>(s) * t) * RailTurn(s);
      sum += r * r;
    }
    return std::abs(sum);
  };
  std::vector<double> scores(kTimingSteps);
  int best = 0;
  for (int i = 0; i < kTimingSteps; ++i) {
    scores[static_cast<size_t>(i)] = score(t * i / kTimingSteps);
    if (scores[static_cast<size_t>(i)] > scores[static_cast<size_t>(best)]) best = i;
  }
  const double a = scores[static_cast<size_t>((best + kTimingSteps - 1) % kTimingSteps)];
  const double b = scores[static_cast<size_t>(best)];
  const double c = scores[static_cast<size_t>((best + 1) % kTimingSteps)];
  const double d = a - 2 * b + c;
  const double vertex = d < 0 ? std::clamp(0.5 * (a - c) / d, -0.5, 0.5) : 0.0;
  start_ = t * (best + vertex) / kTimingSteps;
  if (start_ < 0) start_ += t;
  times_.clear();
  for (double time = start_; time + t < static_cast<double>(signal.size()); time += t)
    times_.push_back(time);
  noiseGain_ = 0.0;
  for (double u = std::ceil(start_ - t) - start_; u <= t; u += 1.0) {
    const double p = std::cos(kPi * u / (2 * t));
    noiseGain_ += p * p / 2.0;  // real noise mixed down: half its power on each rail
  }
}

void GenieReceiver::FindCarrier(std::span<const double> signal) {
  // The carrier of each rail value from the clean squared rails around it (which also
  // follows a fading path), on one branch of the square's half-turn ambiguity throughout.
  const size_t n = times_.size();
  std::vector<Complex> clean(n), prefix(n + 1);
  for (size_t s = 0; s < n; ++s) {
    clean[s] = Matched(signal, times_[s]);
    const Complex r = clean[s] * RailTurn(static_cast<int64_t>(s));
    prefix[s + 1] = prefix[s] + r * r;
  }
  carrierAt_.assign(n, {});
  cleanRail_.assign(n, 0.0);
  double last = 0.0;
  for (size_t s = 0; s < n; ++s) {
    const size_t lo = s > kCarrierSpan ? s - kCarrierSpan : 0;
    const size_t hi = std::min(n, s + kCarrierSpan + 1);
    const double theta = std::arg(prefix[hi] - prefix[lo]) / 2.0;
    last = s == 0 ? theta : last + std::remainder(theta - last, kPi);
    carrierAt_[s] = std::polar(1.0, last) * std::conj(RailTurn(static_cast<int64_t>(s)));
    cleanRail_[s] = (clean[s] * std::conj(carrierAt_[s])).real();
  }
}

void GenieReceiver::FindFrames() {
  // The frame phase at which the clean symbols match the PN values best.
  const FrameGeometry& geo = Geometry(ModeTable(mode_).interleave);
  const int frameLength = geo.frameLength;
  std::vector<int> symbol(cleanRail_.size() > 0 ? cleanRail_.size() - 1 : 0);
  for (size_t k = 0; k < symbol.size(); ++k)
    symbol[k] = cleanRail_[k] * cleanRail_[k + 1] < 0 ? 1 : -1;
  int64_t bestScore = -1;
  for (int o = 0; o < frameLength; ++o) {
    int64_t score = 0;
    for (size_t f = static_cast<size_t>(o); f + static_cast<size_t>(frameLength) <= symbol.size();
         f += static_cast<size_t>(frameLength)) {
      for (int i = 0; i < kSyncGroups - 1; ++i) {
        score += SyncPattern()[static_cast<size_t>(i)] *
                 symbol[f + static_cast<size_t>(geo.groupSize * i)];
      }
    }
    if (score > bestScore) {
      bestScore = score;
      firstFrame_ = o;
    }
  }
}

std::vector<double> GenieReceiver::RailLlrs(std::span<const int16_t> noisy, double signalScale,
                                            double noiseSigma) const {
  const size_t n = times_.size();
  std::vector<Complex> heard(n);
  for (size_t s = 0; s < n; ++s) heard[s] = Matched(noisy, times_[s]);
  std::vector<Complex> carrier(carrierAt_);
  if (estimate_ == GenieEstimate::Phase) {
    // Each block's phase from the noisy squared rails over the window centred on it.
    double last = 0.0;
    for (size_t b = 0; b < n; b += kBlock) {
      Complex sum{};
      const size_t centre = b + kBlock / 2;
      for (size_t s = centre > kWindow / 2 ? centre - kWindow / 2 : 0;
           s < std::min(n, centre + kWindow / 2); ++s) {
        const Complex r = heard[s] * RailTurn(static_cast<int64_t>(s));
        sum += r * r;
      }
      const double theta = std::arg(sum) / 2.0;
      last = b == 0 ? theta : last + std::remainder(theta - last, kPi);
      for (size_t s = b; s < std::min(n, b + kBlock); ++s)
        carrier[s] = std::polar(1.0, last) * std::conj(RailTurn(static_cast<int64_t>(s)));
    }
  }
  std::vector<double> rail(n);
  for (size_t s = 0; s < n; ++s) rail[s] = (heard[s] * std::conj(carrier[s])).real();
  std::vector<double> llr(n);
  const double noiseVar = noiseSigma * noiseSigma * noiseGain_;
  for (size_t s = 0; s < n; ++s) {
    double amplitude = std::abs(cleanRail_[s]) * signalScale;
    double variance = noiseVar;
    if (estimate_ == GenieEstimate::Scale) {
      // Second and fourth moments of the rails over the window around the block.
      const size_t centre = s / kBlock * kBlock + kBlock / 2;
      RailMoments moments;
      for (size_t k = centre > kWindow / 2 ? centre - kWindow / 2 : 0;
           k < std::min(n, centre + kWindow / 2); ++k) {
        moments.Add(rail[k]);
      }
      const auto estimate = moments.Result();
      amplitude = estimate.amplitude;
      variance = estimate.noiseVar;
    }
    llr[s] = std::clamp(2.0 * amplitude * rail[s] / variance, -kMaxLlr, kMaxLlr);
  }
  return llr;
}

void GenieReceiver::AddKnownSymbols(std::vector<double>& llr) const {
  // A known symbol ties the rails either side of it (+1: opposite signs), so each hears
  // the other's observation too: the data symbols next to it gain.
  const FrameGeometry& geo = Geometry(ModeTable(mode_).interleave);
  const std::vector<double> own = llr;
  auto tie = [&](size_t k, int value) {
    if (k + 1 >= llr.size()) return;
    llr[k] -= value * own[k + 1];
    llr[k + 1] -= value * own[k];
  };
  for (size_t f = static_cast<size_t>(firstFrame_); f < llr.size(); f += geo.frameLength) {
    for (int i = 0; i < kSyncGroups; ++i) {
      const int pn = SyncPattern()[static_cast<size_t>(i)];
      tie(f + static_cast<size_t>(geo.groupSize * i), pn != 0 ? pn : 1);
    }
  }
}

std::string GenieReceiver::Decode(std::span<const int16_t> noisy, double signalScale,
                                  double noiseSigma) const {
  std::vector<double> llr = RailLlrs(noisy, signalScale, noiseSigma);
  if (iterations_ == 0 && estimate_ != GenieEstimate::Plain && estimate_ != GenieEstimate::Frames)
    AddKnownSymbols(llr);
  // Symbol k lies between boundaries k and k + 1; +1 (the lower tone) makes them differ.
  std::vector<float> symbols(llr.size() > 0 ? llr.size() - 1 : 0);
  for (size_t k = 0; k < symbols.size(); ++k)
    symbols[k] = static_cast<float>(-BoxPlus(llr[k], llr[k + 1]));

  const InterleaveLength interleave = ModeTable(mode_).interleave;
  const int frameLength = ModeTable(mode_).frameLength;
  ViterbiDecoder viterbi;
  VaricodeRxDecoder varicode;
  Pane pane;
  std::vector<float> coded;
  auto decode = [&](bool open) {
    DecodeFrame(coded, viterbi, [&](int bit) { varicode.Bit(bit, open, false, pane); });
  };
  IterativeDecoder iterative(interleave, iterations_);
  iterative.SetTurnOver(RailTurnOver(mode_));
  auto show = [&](std::span<const uint8_t> bits, bool open) {
    for (uint8_t bit : bits) varicode.Bit(bit, open, false, pane);
  };
  if (estimate_ == GenieEstimate::Frames) {
    SoftFrameHandler sync(interleave);
    for (size_t k = 0; k < symbols.size(); ++k) {
      if (!sync.Add(symbols[k], static_cast<float>(llr[k + 1]))) continue;
      const FrameResult frame = sync.result();
      const bool open = SquelchOpen(SyncConfidence(frame.syncPeak), 5);
      if (iterations_ > 0) {
        show(iterative.Frame(sync.rails(), frame.syncLocation, frame.idle), open);
        continue;
      }
      coded.assign(frame.coded.begin(), frame.coded.end());
      decode(open);
    }
    if (iterations_ > 0) show(iterative.Finish(), true);
    return pane.text;
  }
  // The rail after each symbol, for the iterative decoder.
  std::vector<float> railsAfter(symbols.size());
  for (size_t k = 0; k < railsAfter.size(); ++k) railsAfter[k] = static_cast<float>(llr[k + 1]);
  for (size_t f = static_cast<size_t>(firstFrame_); f + frameLength + 1 <= symbols.size();
       f += static_cast<size_t>(frameLength)) {
    if (iterations_ > 0) {
      show(iterative.Frame(railsAfter, static_cast<int>(f), false), true);
      continue;
    }
    DeinterleaveFrame(interleave, std::span(symbols).subspan(f, frameLength + 1), 0,
                      UnsentSymbol::Neutral, coded);
    decode(true);
  }
  if (iterations_ > 0) show(iterative.Finish(), true);
  return pane.text;
}

}  // namespace vela::cli
