#include "cli/ChannelSim.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

namespace vela::cli {
namespace {

constexpr int kHilbertHalf = 128;  // taps either side of the centre

// A windowed ideal Hilbert transformer: the quadrature partner of a real signal, so that it
// can be shifted in frequency as one sideband.
const std::vector<double>& HilbertTaps() {
  static const std::vector<double> taps = [] {
    std::vector<double> h(2 * kHilbertHalf + 1, 0.0);
    for (int n = -kHilbertHalf; n <= kHilbertHalf; ++n) {
      if (n % 2 == 0) continue;
      const double w = 0.42 + 0.5 * std::cos(std::numbers::pi * n / (kHilbertHalf + 1)) +
                       0.08 * std::cos(2 * std::numbers::pi * n / (kHilbertHalf + 1));
      h[static_cast<size_t>(n + kHilbertHalf)] = 2.0 / (std::numbers::pi * n) * w;
    }
    return h;
  }();
  return taps;
}

std::vector<float> Resample(std::span<const float> in, double ratio) {
  std::vector<float> out(static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) +
                         64);
  SRC_DATA data{};
  data.data_in = in.data();
  data.input_frames = static_cast<long>(in.size());
  data.data_out = out.data();
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  if (const int err = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1)) {
    throw std::runtime_error(std::string("sample-rate converter: ") + src_strerror(err));
  }
  out.resize(static_cast<size_t>(data.output_frames_gen));
  return out;
}

}  // namespace

std::vector<int16_t> StereoToChannelRate(std::span<const int16_t> stereo32k) {
  std::vector<float> left(stereo32k.size() / 2);
  for (size_t i = 0; i < left.size(); ++i) left[i] = stereo32k[2 * i] / 32768.0f;
  const std::vector<float> mono = Resample(left, 0.25);
  std::vector<int16_t> out(mono.size());
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<int16_t>(std::clamp(std::lrint(mono[i] * 32768.0f), -32768L, 32767L));
  }
  return out;
}

ChannelResult ApplyChannel(std::span<const int16_t> input, const ChannelSettings& settings) {
  std::vector<float> x(input.size());
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(input[i]);

  // A sound card running fast by `ppm` takes more samples of the same signal.
  if (settings.ppm != 0.0) x = Resample(x, 1.0 + settings.ppm * 1e-6);

  std::vector<double> y(x.size());
  if (settings.offsetHz != 0.0) {
    const auto& h = HilbertTaps();
    const double step = 2 * std::numbers::pi * settings.offsetHz / kChannelRate;
    for (size_t i = 0; i < x.size(); ++i) {
      double q = 0.0;
      for (int k = -kHilbertHalf; k <= kHilbertHalf; k += 1) {
        const double tap = h[static_cast<size_t>(k + kHilbertHalf)];
        if (tap == 0.0) continue;
        const auto j = static_cast<std::ptrdiff_t>(i) - k;
        if (j >= 0 && j < static_cast<std::ptrdiff_t>(x.size()))
          q += tap * x[static_cast<size_t>(j)];
      }
      const double phase = step * static_cast<double>(i);
      y[i] = x[i] * std::cos(phase) - q * std::sin(phase);
    }
  } else {
    for (size_t i = 0; i < x.size(); ++i) y[i] = x[i];
  }

  double power = 0.0;
  for (double v : y) power += v * v;
  power = y.empty() ? 0.0 : power / static_cast<double>(y.size());
  // Noise of variance s2 at 8000 Hz puts s2 * 2500 / 4000 into 2500 Hz.
  const double noiseVariance = power > 0 ? power / std::pow(10.0, settings.snrDb / 10.0) *
                                               (kChannelRate / 2.0) / kNoiseBandwidth
                                         : 0.0;
  const double sigma = std::sqrt(noiseVariance);
  const double total = std::sqrt(power + noiseVariance);
  const double scale = total > 0 ? 4000.0 / total : 1.0;

  std::mt19937_64 rng(settings.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  ChannelResult result;
  result.samples.resize(y.size());
  for (size_t i = 0; i < y.size(); ++i) {
    const double v = (y[i] + sigma * gauss(rng)) * scale;
    const long r = std::lrint(v);
    if (r > 32767 || r < -32768) ++result.clipped;
    result.samples[i] = static_cast<int16_t>(std::clamp(r, -32768L, 32767L));
  }
  return result;
}

}  // namespace vela::cli
