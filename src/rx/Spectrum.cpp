#include "rx/Spectrum.h"

#include <cmath>
#include <numbers>

#include "rx/Fft.h"

namespace vela {

const std::array<float, kFftSize>& SpectrumWindow() {
  static const std::array<float, kFftSize> table = BlackmanWindow<kFftSize>();
  return table;
}

const std::array<uint16_t, kFftSize>& BitReverseTable() {
  static const std::array<uint16_t, kFftSize> table = [] {
    std::array<uint16_t, kFftSize> r{};
    for (unsigned i = 0; i < kFftSize; ++i) {
      unsigned reversed = 0;
      for (int bit = 0; bit < kFftBits; ++bit)
        reversed |= ((i >> bit) & 1U) << (kFftBits - 1 - bit);
      r[i] = static_cast<uint16_t>(reversed);
    }
    return r;
  }();
  return table;
}

void ComputeSpectrum(std::span<const int16_t> samples, Spectrum& spectrum) {
  const auto& window = SpectrumWindow();
  const auto& reverse = BitReverseTable();
  for (size_t i = 0; i < kFftSize; ++i) {
    const float x = i < samples.size() ? static_cast<float>(samples[i]) : 0.0f;
    spectrum.real[reverse[i]] = x * window[i] * 2.0f;
    spectrum.imaginary[i] = 0.0f;
  }
  Fft<float>(spectrum.real, spectrum.imaginary, FftSign::Positive);
  for (size_t k = 0; k < kSpectrumBins; ++k) {
    const float re = spectrum.real[k];
    const float im = spectrum.imaginary[k];
    spectrum.real[k] = std::sqrt(re * re + im * im) / 100.0f;
  }
}

}  // namespace vela
