// A simple HF/LF channel for trying the modem against noise: white Gaussian noise at a
// given SNR in 2500 Hz, a frequency offset and a sample-clock error.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vela::cli {

inline constexpr int kChannelRate = 8000;
inline constexpr double kNoiseBandwidth = 2500.0;

struct ChannelSettings {
  double snrDb = 100.0;  // signal mean power over the noise power in 2500 Hz
  double offsetHz = 0.0;
  double ppm = 0.0;  // the receiving sound card's clock error
  uint64_t seed = 1;
};

struct ChannelResult {
  std::vector<int16_t> samples;  // 8000 Hz
  int64_t clipped = 0;
};

// `input` is 8000 Hz mono. The output is scaled so signal and noise together sit well
// inside 16 bits; clipping, should any remain, is counted.
ChannelResult ApplyChannel(std::span<const int16_t> input, const ChannelSettings& settings);

// 32000 Hz stereo (left/right interleaved) to 8000 Hz mono, first channel.
std::vector<int16_t> StereoToChannelRate(std::span<const int16_t> stereo32k);

}  // namespace vela::cli
