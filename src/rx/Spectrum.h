// The waterfall's spectrum: a Blackman-windowed 1024-point FFT of one capture buffer, in
// single precision, giving 513 magnitudes (0 Hz to half the sample rate, 7.8125 Hz apart
// at 8000 samples per second).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace vela {

inline constexpr int kFftSize = 1024;
inline constexpr int kFftBits = 10;
inline constexpr int kSpectrumBins = kFftSize / 2 + 1;  // 513

// Blackman window centred on sample 512; w[0] is 0 and w[512] is 1.
const std::array<float, kFftSize>& SpectrumWindow();

// The 10-bit bit reversal of each index: where ComputeSpectrum puts each windowed sample,
// so the transform (rx/Fft.h, positive angle) needs no reordering pass.
const std::array<uint16_t, kFftSize>& BitReverseTable();

// The working arrays. After ComputeSpectrum, real[0..512] hold |X[k]| / 100; the rest of
// both arrays are left as the transform produced them.
struct Spectrum {
  std::array<float, kFftSize> real{};
  std::array<float, kFftSize> imaginary{};

  std::span<const float, kSpectrumBins> magnitudes() const {
    return std::span<const float, kSpectrumBins>(real.data(), kSpectrumBins);
  }
};

// One capture buffer in, magnitudes out. A buffer shorter than 1024 samples (a partly
// filled one) is treated as followed by silence; samples past 1024 are not used.
void ComputeSpectrum(std::span<const int16_t> samples, Spectrum& spectrum);

}  // namespace vela
