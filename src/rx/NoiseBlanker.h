// The enhanced receiver's noise blanker for static crashes. A lightning impulse rings
// through the receiver's filters as a burst of noise far above the band's floor for a few
// milliseconds; left in, it would make the soft values of the symbols it hits sure and
// wrong. The blanker compares the power of each 2 ms around a sample with the floor it
// has learnt and, where a burst stands out, weights the samples down by the floor over
// that power (the weight a time-varying noise calls for), so a burst counts for no more
// than the floor beneath it. A lasting rise (a strong signal coming up, the band getting
// noisier) is taken as the new floor within a few tens of milliseconds.
#pragma once

#include <array>
#include <cstdint>

namespace vela {

class NoiseBlanker {
 public:
  explicit NoiseBlanker(double sampleRate = 8000.0) { SetSampleRate(sampleRate); }

  void SetSampleRate(double sampleRate);
  void Reset();

  // One sample in; the sample `Latency()` samples earlier out, weighted.
  double Process(double x);
  static constexpr int Latency() { return kHalf; }

 private:
  static constexpr int kHalf = 8;  // the 2 ms power window reaches this far either side
  static constexpr int kSpan = 2 * kHalf;

  std::array<double, kSpan> ring_{};  // the last kSpan samples
  int pos_ = 0;
  int64_t count_ = 0;
  double sum_ = 0.0;     // of the squared samples in the ring
  double floor_ = 0.0;   // the learnt floor's mean power per sample
  double follow_ = 0.0;  // the floor's averaging weight per sample
  int64_t above_ = 0;    // samples in a row above the burst threshold
  int64_t lasting_ = 0;  // that many make a new floor
};

}  // namespace vela
