#include "scan/Channelizer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "rx/Fft.h"

namespace vela {

namespace {

// Quarter-symbol outputs per symbol: the squared filter outputs then hold the spectral lines
// of a signal anywhere within half a filter spacing of the centre without folding them over.
constexpr int kHopsPerSymbol = 4;

// e^{-j pi m / 4}: a filter centre's phase turn over m outputs, in eighths of a cycle.
std::complex<float> EighthTurn(int m) {
  static const std::array<std::complex<float>, 8> turns = [] {
    std::array<std::complex<float>, 8> t;
    for (int i = 0; i < 8; ++i) {
      const double a = -std::numbers::pi * i / 4.0;
      t[static_cast<size_t>(i)] = {static_cast<float>(std::cos(a)),
                                   static_cast<float>(std::sin(a))};
    }
    return t;
  }();
  return turns[static_cast<size_t>(m & 7)];
}

}  // namespace

Channelizer::Channelizer(Mode mode, double fromHz, double toHz) : mode_(mode) {
  const int samplesPerSymbol =
      static_cast<int>(std::lround(kScanSampleRate / ModeTable(mode).symbolRate));
  fftSize_ = 2 * samplesPerSymbol;
  hop_ = samplesPerSymbol / kHopsPerSymbol;
  ringMask_ = fftSize_ - 1;
  const double spacing = binSpacing();
  firstBin_ = std::max(1, static_cast<int>(std::floor(fromHz / spacing)) - 1);
  const int lastBin = std::min(fftSize_ / 2 - 1, static_cast<int>(std::ceil(toHz / spacing)) + 1);
  const auto bins = static_cast<size_t>(std::max(1, lastBin - firstBin_ + 1));
  first_.resize(bins);
  second_.resize(bins);

  const auto n = static_cast<size_t>(fftSize_);
  window_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    window_[i] = static_cast<float>(std::sin(std::numbers::pi * (i + 0.5) / fftSize_));
  }
  reverse_.resize(n);
  int bits = 0;
  while ((1 << bits) < fftSize_) ++bits;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1U) << (bits - 1 - b);
    reverse_[i] = r;
  }
  real_.resize(n);
  imaginary_.resize(n);
  Reset();
}

void Channelizer::Reset() {
  ring_.assign(static_cast<size_t>(fftSize_), 0.0f);
  count_ = 0;
  pending_ = false;
  pendingHop_ = 0;
}

void Channelizer::Window(std::vector<float>& out) const {
  // The ring holds the last fftSize_ samples; the oldest sits where the next one goes.
  const auto n = static_cast<size_t>(fftSize_);
  const auto start = static_cast<size_t>(count_ & ringMask_);
  for (size_t i = 0; i < n; ++i) {
    out[reverse_[i]] = ring_[(start + i) & static_cast<size_t>(ringMask_)] * window_[i];
  }
}

bool Channelizer::Frame() {
  if (!pending_) {
    Window(real_);
    pending_ = true;
    pendingHop_ = count_ / hop_;
    return false;
  }
  Window(imaginary_);
  pending_ = false;
  Fft<float>(real_, imaginary_, FftSign::Negative);
  // Two real frames went in as one complex one: split them by the spectrum's symmetry, and
  // turn each filter's output back to a fixed time origin.
  const int64_t hopA = pendingHop_, hopB = count_ / hop_;
  const auto n = static_cast<size_t>(fftSize_);
  for (size_t i = 0; i < first_.size(); ++i) {
    const size_t k = static_cast<size_t>(firstBin_) + i;
    const Complex z(real_[k], imaginary_[k]);
    const Complex mirror(real_[n - k], -imaginary_[n - k]);
    const Complex a = 0.5f * (z + mirror);
    const Complex b = Complex(0.0f, -0.5f) * (z - mirror);
    const auto kk = static_cast<int64_t>(k);
    first_[i] = a * EighthTurn(static_cast<int>((kk * hopA) & 7));
    second_[i] = b * EighthTurn(static_cast<int>((kk * hopB) & 7));
  }
  return true;
}

}  // namespace vela
