// A simple LF/MF channel for trying the modem against noise: white Gaussian noise at a
// given SNR in 2500 Hz, a frequency offset, a sample-clock error, and the two things band
// noise and skywave add on these bands: static crashes (impulsive noise) and flat fading.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vela::cli {

inline constexpr int kChannelRate = 8000;
inline constexpr double kNoiseBandwidth = 2500.0;

// Static crashes: bursts of noise at random (Poisson) times, `rate` a second on average.
// Each burst is white noise in the channel's band (like the floor) under an envelope that
// jumps to its peak and decays exponentially with a 5 ms time constant, cut off at 30 ms:
// the ring of a lightning impulse through the receiver's filters. At its peak a burst's
// power is `db` above the Gaussian floor's.
struct ImpulseSettings {
  double rate = 0.0;  // bursts per second; 0 = none
  double db = 20.0;
};

struct ChannelSettings {
  double snrDb = 100.0;  // signal mean power over the noise power in 2500 Hz
  double offsetHz = 0.0;
  double ppm = 0.0;  // the receiving sound card's clock error
  uint64_t seed = 1;
  ImpulseSettings impulses;
  // Flat Rayleigh fading: the signal times a complex gain of mean power 1, a sum of 32
  // sinusoids with random phases whose Doppler frequencies are drawn from a Gaussian of
  // standard deviation fadingHz / 2 (a skywave path's Gaussian Doppler spectrum, with
  // fadingHz its two-sigma spread). 0 = no fading.
  double fadingHz = 0.0;
};

struct ChannelResult {
  std::vector<int16_t> samples;  // 8000 Hz
  int64_t clipped = 0;
  // What the output is made of, for a receiver told the truth: the output is the
  // channel's signal (offset, clock error and fading applied) times `signalScale`, plus
  // Gaussian noise of standard deviation `noiseSigma` (and the bursts), rounded.
  double signalScale = 1.0;
  double noiseSigma = 0.0;
};

// `input` is 8000 Hz mono. The output is scaled so signal and noise together sit well
// inside 16 bits; clipping, should any remain, is counted. `signal`, when given, receives
// the channel's signal alone, before scaling and noise.
ChannelResult ApplyChannel(std::span<const int16_t> input, const ChannelSettings& settings,
                           std::vector<double>* signal = nullptr);

// 32000 Hz stereo (left/right interleaved) to 8000 Hz mono, first channel.
std::vector<int16_t> StereoToChannelRate(std::span<const int16_t> stereo32k);

}  // namespace vela::cli
