// A bank of filters across the band for one mode, one every half symbol rate, each matched
// to the half-cosine pulse an MSK rail rides on (two symbols long): a short-time Fourier
// transform with a sine window two symbols long, moved on a quarter symbol at a time. Every
// output is the complex baseband of each filter referred to the filter's own centre from a
// fixed time origin, so a steady tone on a filter's centre gives a steady value.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "coding/Modes.h"

namespace vela {

inline constexpr int kScanSampleRate = 8000;

class Channelizer {
 public:
  using Complex = std::complex<float>;

  // Filters whose centres cover fromHz..toHz with one filter to spare either side.
  Channelizer(Mode mode, double fromHz, double toHz);

  void Reset();
  // Samples in (8000 per second); for every quarter symbol, sink(bins) with one value per
  // filter, lowest first. Two transforms share one complex FFT, so outputs come in pairs.
  template <class Sink>
  void Process(std::span<const int16_t> samples, Sink&& sink) {
    for (int16_t x : samples) {
      ring_[static_cast<size_t>(count_ & ringMask_)] = static_cast<float>(x);
      if (++count_ % hop_ == 0 && Frame()) {
        sink(std::span<const Complex>(first_));
        sink(std::span<const Complex>(second_));
      }
    }
  }

  Mode mode() const { return mode_; }
  int binCount() const { return static_cast<int>(first_.size()); }
  int firstBin() const { return firstBin_; }  // transform bin of bins[0]
  double BinFrequency(int bin) const { return (firstBin_ + bin) * binSpacing(); }
  double binSpacing() const { return static_cast<double>(kScanSampleRate) / fftSize_; }
  int fftSize() const { return fftSize_; }  // two symbols

 private:
  // One transform is due; false while it waits for its partner.
  bool Frame();
  void Window(std::vector<float>& out) const;

  Mode mode_;
  int fftSize_;
  int hop_;
  int firstBin_;
  int64_t ringMask_;
  std::vector<float> window_;
  std::vector<uint32_t> reverse_;
  std::vector<float> ring_;
  int64_t count_ = 0;
  bool pending_ = false;
  int64_t pendingHop_ = 0;
  std::vector<float> real_, imaginary_;
  std::vector<Complex> first_, second_;
};

}  // namespace vela
