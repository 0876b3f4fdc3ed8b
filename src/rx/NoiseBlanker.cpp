#include "rx/NoiseBlanker.h"

#include <algorithm>
#include <cmath>

namespace vela {

namespace {
// A burst: more than this times the floor. Noise alone averaged over 16 samples passes it
// about once in two thousand windows, and is then only weighted down a little.
constexpr double kBurst = 2.5;
constexpr double kFloorSeconds = 0.25;    // how slowly the floor follows the band
constexpr double kLastingSeconds = 0.05;  // longer than any crash
}  // namespace

void NoiseBlanker::SetSampleRate(double sampleRate) {
  follow_ = 1.0 / std::max(1.0, kFloorSeconds * sampleRate);
  lasting_ = std::max<int64_t>(kSpan, std::llround(kLastingSeconds * sampleRate));
  Reset();
}

void NoiseBlanker::Reset() {
  ring_.fill(0.0);
  pos_ = 0;
  count_ = 0;
  sum_ = floor_ = 0.0;
  above_ = 0;
}

double NoiseBlanker::Process(double x) {
  const double oldest = ring_[static_cast<size_t>(pos_)];
  sum_ += x * x - oldest * oldest;
  ring_[static_cast<size_t>(pos_)] = x;
  pos_ = (pos_ + 1) % kSpan;
  // The sample kHalf before the newest, in the middle of the window.
  const double centre = ring_[static_cast<size_t>((pos_ + kSpan - 1 - kHalf) % kSpan)];
  const double power = std::max(0.0, sum_) / kSpan;
  if (++count_ <= kSpan) {
    floor_ = power;  // the first window is the first floor
    return centre;
  }
  if (power > kBurst * floor_) {
    if (++above_ < lasting_) return centre * floor_ / power;
    floor_ = power;  // no crash lasts this long: the band itself has changed
  }
  above_ = 0;
  floor_ += follow_ * (power - floor_);
  return centre;
}

}  // namespace vela
