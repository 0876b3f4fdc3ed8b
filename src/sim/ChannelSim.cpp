#include "sim/ChannelSim.h"

#include <samplerate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <random>
#include <stdexcept>
#include <utility>

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

namespace {

constexpr int kFadingPaths = 32;
constexpr int kFadingStep = 32;        // samples between exact evaluations of the fading gain
constexpr double kBurstDecay = 0.005;  // seconds
constexpr double kBurstLength = 0.030;
// Independent streams for the fading and the bursts, so that adding either leaves the
// Gaussian noise of a seed as it was.
constexpr uint64_t kFadingStream = 0x9E3779B97F4A7C15ULL;
constexpr uint64_t kImpulseStream = 0xD1B54A32D192ED03ULL;

// The fading gain at every sample: a sum of sinusoids evaluated every kFadingStep samples
// and interpolated between (the gain moves at a few hertz at most).
std::vector<std::complex<double>> FadingGain(size_t length, double spreadHz, uint64_t seed) {
  std::mt19937_64 rng(seed ^ kFadingStream);
  std::normal_distribution<double> doppler(0.0, spreadHz / 2.0);
  std::uniform_real_distribution<double> phase(0.0, 2 * std::numbers::pi);
  std::array<double, kFadingPaths> freq{}, start{};
  for (int k = 0; k < kFadingPaths; ++k) {
    freq[static_cast<size_t>(k)] = 2 * std::numbers::pi * doppler(rng) / kChannelRate;
    start[static_cast<size_t>(k)] = phase(rng);
  }
  auto at = [&](size_t n) {
    std::complex<double> g{};
    for (int k = 0; k < kFadingPaths; ++k) {
      g += std::polar(1.0, freq[static_cast<size_t>(k)] * static_cast<double>(n) +
                               start[static_cast<size_t>(k)]);
    }
    return g / std::sqrt(static_cast<double>(kFadingPaths));
  };
  std::vector<std::complex<double>> gain(length);
  std::complex<double> left = at(0);
  for (size_t n0 = 0; n0 < length; n0 += kFadingStep) {
    const std::complex<double> right = at(n0 + kFadingStep);
    for (size_t i = 0; i < kFadingStep && n0 + i < length; ++i)
      gain[n0 + i] = left + (right - left) * (static_cast<double>(i) / kFadingStep);
    left = right;
  }
  return gain;
}

// The quadrature partner of `x` (the real signal's other half as one sideband).
std::vector<double> Quadrature(const std::vector<float>& x) {
  const auto& h = HilbertTaps();
  std::vector<double> q(x.size(), 0.0);
  for (size_t i = 0; i < x.size(); ++i) {
    double sum = 0.0;
    for (int k = -kHilbertHalf; k <= kHilbertHalf; k += 1) {
      const double tap = h[static_cast<size_t>(k + kHilbertHalf)];
      if (tap == 0.0) continue;
      const auto j = static_cast<std::ptrdiff_t>(i) - k;
      if (j >= 0 && j < static_cast<std::ptrdiff_t>(x.size()))
        sum += tap * x[static_cast<size_t>(j)];
    }
    q[i] = sum;
  }
  return q;
}

struct Shaped {
  std::vector<double> signal;
  double meanPower = 0.0;  // before fading, whose gain has a mean power of 1
};

Shaped ShapeSignal(std::span<const int16_t> input, const ChannelSettings& settings) {
  std::vector<float> x(input.size());
  for (size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(input[i]);

  // A sound card running fast by `ppm` takes more samples of the same signal.
  if (settings.ppm != 0.0) x = Resample(x, 1.0 + settings.ppm * 1e-6);

  Shaped out;
  out.signal.assign(x.begin(), x.end());
  if (settings.offsetHz != 0.0 || settings.fadingHz > 0.0) {
    const std::vector<double> q = Quadrature(x);
    const double step = 2 * std::numbers::pi * settings.offsetHz / kChannelRate;
    for (size_t i = 0; i < x.size(); ++i) {
      const double phase = step * static_cast<double>(i);
      out.signal[i] = x[i] * std::cos(phase) - q[i] * std::sin(phase);
    }
    if (settings.fadingHz > 0.0) {
      const auto gain = FadingGain(x.size(), settings.fadingHz, settings.seed);
      for (size_t i = 0; i < x.size(); ++i) {
        const std::complex<double> g = gain[i] * std::polar(1.0, step * static_cast<double>(i));
        out.signal[i] = x[i] * g.real() - q[i] * g.imag();
      }
    }
  }
  double power = 0.0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double unfaded = settings.fadingHz > 0.0 ? static_cast<double>(x[i]) : out.signal[i];
    power += unfaded * unfaded;
  }
  out.meanPower = x.empty() ? 0.0 : power / static_cast<double>(x.size());
  return out;
}

// Static crashes added to `noise`, each burst's peak `db` over the floor `sigma`.
void AddBursts(std::vector<double>& noise, const ImpulseSettings& impulses, double sigma,
               uint64_t seed) {
  if (!(impulses.rate > 0.0)) return;
  std::mt19937_64 rng(seed ^ kImpulseStream);
  std::exponential_distribution<double> gap(impulses.rate);
  std::normal_distribution<double> gauss(0.0, 1.0);
  const double peak = sigma * std::pow(10.0, impulses.db / 20.0);
  const auto length = static_cast<size_t>(kBurstLength * kChannelRate);
  for (double t = gap(rng); t * kChannelRate < static_cast<double>(noise.size()); t += gap(rng)) {
    const auto n0 = static_cast<size_t>(t * kChannelRate);
    for (size_t i = 0; i < length && n0 + i < noise.size(); ++i) {
      const double envelope = std::exp(-static_cast<double>(i) / (kBurstDecay * kChannelRate));
      noise[n0 + i] += peak * envelope * gauss(rng);
    }
  }
}

}  // namespace

ChannelResult ApplyChannel(std::span<const int16_t> input, const ChannelSettings& settings,
                           std::vector<double>* signal) {
  Shaped shaped = ShapeSignal(input, settings);
  const std::vector<double>& y = shaped.signal;
  const double power = shaped.meanPower;
  // Noise of variance s2 at 8000 Hz puts s2 * 2500 / 4000 into 2500 Hz.
  const double noiseVariance = power > 0 ? power / std::pow(10.0, settings.snrDb / 10.0) *
                                               (kChannelRate / 2.0) / kNoiseBandwidth
                                         : 0.0;
  const double sigma = std::sqrt(noiseVariance);
  const double total = std::sqrt(power + noiseVariance);
  // Bursts need headroom: their peaks come to about 8000.
  const double bursts = settings.impulses.rate > 0.0
                            ? std::max(1.0, std::pow(10.0, settings.impulses.db / 20.0) / 2.0)
                            : 1.0;
  const double scale = total > 0 ? 4000.0 / (total * bursts) : 1.0;

  std::mt19937_64 rng(settings.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> noise(y.size());
  for (double& v : noise) v = sigma * gauss(rng);
  AddBursts(noise, settings.impulses, sigma, settings.seed);
  ChannelResult result;
  result.signalScale = scale;
  result.noiseSigma = sigma * scale;
  result.samples.resize(y.size());
  for (size_t i = 0; i < y.size(); ++i) {
    const double v = (y[i] + noise[i]) * scale;
    const long r = std::lrint(v);
    if (r > 32767 || r < -32768) ++result.clipped;
    result.samples[i] = static_cast<int16_t>(std::clamp(r, -32768L, 32767L));
  }
  if (signal) *signal = std::move(shaped.signal);
  return result;
}

}  // namespace vela::cli
