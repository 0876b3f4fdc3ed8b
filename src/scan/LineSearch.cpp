#include "scan/LineSearch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "rx/Fft.h"

namespace vela {

namespace {

// A line pair counts when the two lines together stand this far above the continuum around
// them (in units of its mean power), and each line alone this far. On noise alone each
// line's ratio is close to exponentially distributed with mean 1, so a pair passes by
// chance a few times an hour across the band; the receiver's PN sync has the last word.
constexpr double kPairThreshold = 20.0;
constexpr double kLineThreshold = 3.0;
// Share of the filters taken as free of signals when the noise power is measured, and the
// ratio of the noise's mean to that quantile on noise alone (the same in every mode, the
// window being the same number of symbols).
constexpr double kNoiseQuantile = 0.25;
constexpr double kNoiseQuantileBias = 1.07;
// Filters either side of a signal's own whose power is counted as the signal's.
constexpr int kSignalFilters = 3;
// How far (in symbol rates) the centre of mass of the power around a line pair may lie
// from the pair's centre.
constexpr double kCentroidShare = 0.25;
// The continuum around a place: transform bins kInner+1..kOuter away either side.
constexpr int kInner = 3;
constexpr int kOuter = 40;

}  // namespace

LineSearch::LineSearch(Mode mode, double fromHz, double toHz)
    : channelizer_(mode, fromHz, toHz),
      fromHz_(fromHz),
      toHz_(toHz),
      window_(kWindowSymbols * 4),
      step_(kStepSymbols * 4),
      fft_(2 * kWindowSymbols * 4),
      reach_(fft_ / 8 + fft_ / 32 + fft_ / 8 + 1) {
  real_.resize(static_cast<size_t>(fft_));
  imaginary_.resize(static_cast<size_t>(fft_));
  Reset();
}

void LineSearch::Reset() {
  channelizer_.Reset();
  history_.assign(static_cast<size_t>(window_) * static_cast<size_t>(channelizer_.binCount()),
                  Complex{});
  outputs_ = 0;
}

void LineSearch::Process(std::span<const int16_t> samples, std::vector<LineCandidate>& found) {
  channelizer_.Process(samples, [&](std::span<const Complex> bins) { Store(bins, found); });
}

void LineSearch::Store(std::span<const Complex> bins, std::vector<LineCandidate>& found) {
  const auto row = static_cast<size_t>(outputs_ % window_) * bins.size();
  std::copy(bins.begin(), bins.end(), history_.begin() + static_cast<std::ptrdiff_t>(row));
  ++outputs_;
  if (outputs_ >= window_ && (outputs_ - window_) % step_ == 0) Search(found);
}

double LineSearch::NoisePower(std::span<const double> powers) const {
  std::vector<double> sorted(powers.begin(), powers.end());
  const auto k = static_cast<size_t>(kNoiseQuantile * static_cast<double>(sorted.size() - 1));
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(k), sorted.end());
  return sorted[k] * kNoiseQuantileBias;
}

LineSearch::Power LineSearch::PowerAround(double centre, double noise) const {
  const int count = static_cast<int>(meanPowers_.size());
  const int bin = std::clamp(
      static_cast<int>(std::lround(centre / channelizer_.binSpacing())) - channelizer_.firstBin(),
      0, count - 1);
  Power p;
  double weight = 0.0, moment = 0.0;
  for (int b = std::max(0, bin - kSignalFilters); b <= std::min(count - 1, bin + kSignalFilters);
       ++b) {
    const double excess = meanPowers_[static_cast<size_t>(b)] / noise - 1.0;
    p.excess += excess;
    weight += std::max(excess, 0.0);
    moment += std::max(excess, 0.0) * channelizer_.BinFrequency(b);
  }
  // A real signal of power S puts N S sum(w^2) / 2 into the positive bins of each
  // transform; white noise of variance s2 puts s2 sum(w^2) into each bin, and s2 * 2500 /
  // 4000 into 2500 Hz.
  const double ratio = 2.0 * p.excess / channelizer_.fftSize() * 4000.0 / 2500.0;
  p.snrDb = 10.0 * std::log10(std::max(ratio, 1e-4));
  p.centroidHz = weight > 0.0 ? moment / weight : centre + 1e9;
  return p;
}

double LineSearch::Strength(int offset) const {
  return Ratio(offset + fft_ / 8) + Ratio(offset - fft_ / 8);
}

LineSearch::Peak LineSearch::FilterPeak(int bin) {
  const auto bins = static_cast<size_t>(channelizer_.binCount());
  for (int i = 0; i < window_; ++i) {
    const auto row = static_cast<size_t>((outputs_ + i) % window_);
    const Complex z = history_[row * bins + static_cast<size_t>(bin)];
    const Complex u = z * z;
    real_[static_cast<size_t>(i)] = u.real();
    imaginary_[static_cast<size_t>(i)] = u.imag();
  }
  std::fill(real_.begin() + window_, real_.end(), 0.0f);
  std::fill(imaginary_.begin() + window_, imaginary_.end(), 0.0f);
  BitReverse<float>(real_, imaginary_);
  Fft<float>(real_, imaginary_, FftSign::Negative);
  // Each place the lines may be against the mean power around it, the line's own lobe
  // left out: lines stand out of whatever continuum the squared noise and signal make.
  const int n = fft_;
  const int from = -reach_ - kOuter;
  prefix_.assign(static_cast<size_t>(2 * (reach_ + kOuter) + 2), 0.0);
  for (int f = from; f <= reach_ + kOuter; ++f) {
    const auto k = static_cast<size_t>(((f % n) + n) % n);
    const double p = static_cast<double>(real_[k]) * real_[k] +
                     static_cast<double>(imaginary_[k]) * imaginary_[k];
    prefix_[static_cast<size_t>(f - from) + 1] = prefix_[static_cast<size_t>(f - from)] + p;
  }
  const auto sum = [&](int lo, int hi) {  // power over [lo, hi)
    return prefix_[static_cast<size_t>(hi - from)] - prefix_[static_cast<size_t>(lo - from)];
  };
  ratio_.resize(static_cast<size_t>(2 * reach_ + 1));
  for (int f = -reach_; f <= reach_; ++f) {
    const double around = sum(f - kOuter, f - kInner) + sum(f + kInner + 1, f + kOuter + 1);
    ratio_[static_cast<size_t>(f + reach_)] =
        sum(f, f + 1) * (2.0 * (kOuter - kInner)) / std::max(around, 1e-30);
  }
  // Offsets up to a quarter symbol rate and a little more from the filter's centre: the
  // filters are half a symbol rate apart, so every centre is searched from two filters.
  const int quarter = fft_ / 8;
  const int offsets = quarter + quarter / 4;
  Peak best{bin, 0, 0.0, 0.0, 0.0};
  for (int d = -offsets; d <= offsets; ++d) {
    const double upper = Ratio(d + quarter), lower = Ratio(d - quarter);
    if (std::min(upper, lower) < kLineThreshold) continue;
    if (upper + lower > best.strength) best = {bin, d, upper + lower, 0.0, 0.0};
  }
  if (best.strength > 0.0) {
    best.below = Strength(best.offset - 1);
    best.above = Strength(best.offset + 1);
  }
  return best;
}

void LineSearch::Search(std::vector<LineCandidate>& found) {
  const int bins = channelizer_.binCount();
  meanPowers_.assign(static_cast<size_t>(bins), 0.0);
  for (int i = 0; i < window_; ++i) {
    const Complex* row = &history_[static_cast<size_t>(i) * static_cast<size_t>(bins)];
    for (int b = 0; b < bins; ++b) meanPowers_[static_cast<size_t>(b)] += std::norm(row[b]);
  }
  for (double& p : meanPowers_) p = std::max(p / window_, 1e-20);
  const double noise = NoisePower(meanPowers_);

  peaks_.clear();
  for (int b = 0; b < bins; ++b) {
    const Peak peak = FilterPeak(b);
    if (peak.strength >= kPairThreshold) peaks_.push_back(peak);
  }
  // Strongest first; a weaker pair within a symbol rate of a stronger one is the same signal
  // seen from the neighbouring filter, or one that cannot be told apart from it.
  std::sort(peaks_.begin(), peaks_.end(),
            [](const Peak& a, const Peak& b) { return a.strength > b.strength; });
  const double rs = ModeTable(mode()).symbolRate;
  const size_t first = found.size();
  for (const Peak& p : peaks_) {
    const double d = p.below - 2.0 * p.strength + p.above;
    const double frac = d < 0.0 ? std::clamp(0.5 * (p.below - p.above) / d, -0.5, 0.5) : 0.0;
    const double centre = channelizer_.BinFrequency(p.bin) + (p.offset + frac) * 2.0 * rs / fft_;
    if (centre < fromHz_ || centre > toHz_) continue;
    // The power's centre of mass must agree: a pair on the slope of a stronger signal's
    // spectrum is that signal's seen from the side, and a pair half a symbol rate off a
    // signal's centre is made of its main line and its weaker outer one.
    const Power power = PowerAround(centre, noise);
    if (std::abs(power.centroidHz - centre) > kCentroidShare * rs) continue;
    bool near = false;
    for (size_t i = first; i < found.size(); ++i) near |= std::abs(found[i].centreHz - centre) < rs;
    if (near) continue;
    found.push_back({mode(), centre, p.strength, power.snrDb});
  }
}

}  // namespace vela
