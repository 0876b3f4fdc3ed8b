// A band with several transmissions on at once, built with the command line's own transmit
// and channel code: each transmission at its own centre, start and S/N in 2500 Hz (its
// power while it is on over the noise in 2500 Hz), all over one white noise, at 8000 Hz.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "modem/TextTransmission.h"
#include "sim/ChannelSim.h"

namespace vela::test {

struct BandTransmission {
  Mode mode = kDefaultMode;
  double centreHz = 1000.0;
  double snrDb = 0.0;
  std::string call;  // sent on the secondary channel, a space after it
  std::string text;
  double startSeconds = 0.0;
  int tailFrames = 6;  // idle frames after the text, which carry the call
};

// The enhanced receiver's S/N for a CER of 1% (README, Sensitivity).
inline double EnhancedThreshold(Mode mode) {
  switch (mode) {
    case Mode::Vela8:
      return -23.8;
    case Mode::Vela31:
      return -17.8;
    case Mode::Vela63:
      return -14.4;
    case Mode::Vela125:
      return -11.5;
  }
  return 0.0;
}

// Noise alone, `seconds` long, at the level Band() puts under its transmissions.
inline std::vector<int16_t> Noise(double seconds, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> gauss(0.0, 3000.0);
  std::vector<int16_t> out(static_cast<size_t>(seconds * cli::kChannelRate));
  for (int16_t& x : out) x = static_cast<int16_t>(std::lround(gauss(rng)));
  return out;
}

// The band, as long as the last transmission or `seconds`, whichever is longer.
inline std::vector<int16_t> Band(std::span<const BandTransmission> transmissions, uint64_t seed,
                                 double seconds = 0.0) {
  // Noise of power 1 in 2500 Hz; each transmission scaled to its S/N over it.
  std::vector<double> mix(static_cast<size_t>(seconds * cli::kChannelRate), 0.0);
  for (const BandTransmission& t : transmissions) {
    TransmitSettings settings;
    settings.mode = t.mode;
    settings.centreFrequency = t.centreHz;
    settings.secondaryText = t.call + " ";
    settings.text = t.text;
    settings.tailFrames = t.tailFrames;
    std::vector<int16_t> stereo;
    TransmitText(settings, [&](std::span<const int16_t> b) {
      stereo.insert(stereo.end(), b.begin(), b.end());
    });
    const std::vector<int16_t> audio = cli::StereoToChannelRate(stereo);
    double power = 0.0;
    for (int16_t x : audio) power += static_cast<double>(x) * x;
    power /= static_cast<double>(audio.size());
    const double gain = std::sqrt(std::pow(10.0, t.snrDb / 10.0) / power);
    const auto start = static_cast<size_t>(t.startSeconds * cli::kChannelRate);
    if (mix.size() < start + audio.size()) mix.resize(start + audio.size(), 0.0);
    for (size_t i = 0; i < audio.size(); ++i) mix[start + i] += gain * audio[i];
  }
  // The channel adds noise by the mix's whole power: S/N 10 log(P) puts it at 1 in 2500 Hz.
  constexpr double kUnit = 100.0;  // the mix in 16-bit steps, well clear of rounding
  double power = 0.0;
  std::vector<int16_t> in(mix.size());
  for (size_t i = 0; i < mix.size(); ++i) {
    power += mix[i] * mix[i];
    in[i] = static_cast<int16_t>(std::lround(mix[i] * kUnit));
  }
  power /= static_cast<double>(mix.size());
  cli::ChannelSettings channel;
  channel.snrDb = 10.0 * std::log10(power);
  channel.seed = seed;
  return cli::ApplyChannel(in, channel).samples;
}

}  // namespace vela::test
