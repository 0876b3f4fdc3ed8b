#include "rx/Fft.h"
#include "rx/Spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <set>
#include <vector>

namespace vela {
namespace {

using Complex = std::complex<long double>;

// Straightforward DFT with the transform's own sign convention, X[k] = sum x[n] e^{+i..}.
std::vector<Complex> DirectDft(const std::vector<Complex>& x) {
  const size_t n = x.size();
  std::vector<Complex> out(n);
  for (size_t k = 0; k < n; ++k) {
    Complex sum = 0;
    for (size_t i = 0; i < n; ++i) {
      const long double angle = 2.0L * std::numbers::pi_v<long double> *
                                static_cast<long double>((k * i) % n) / static_cast<long double>(n);
      sum += x[i] * Complex(std::cos(angle), std::sin(angle));
    }
    out[k] = sum;
  }
  return out;
}

TEST(SpectrumTables, BlackmanWindowCentredOnSample512) {
  const auto& w = SpectrumWindow();
  EXPECT_NEAR(w[0], 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(w[512], 1.0f);
  EXPECT_FLOAT_EQ(w[256], 0.34f);  // 0.42 + 0.5 cos(-pi/2) + 0.08 cos(-pi)
  EXPECT_FLOAT_EQ(w[768], 0.34f);
  for (int j = 1; j < 512; ++j) {
    EXPECT_EQ(w[static_cast<size_t>(512 + j)], w[static_cast<size_t>(512 - j)]) << j;
    EXPECT_LT(w[static_cast<size_t>(512 + j)], w[static_cast<size_t>(512 + j - 1)]) << j;
  }
}

TEST(SpectrumTables, TenBitReversal) {
  const auto& r = BitReverseTable();
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[1], 512);
  EXPECT_EQ(r[2], 256);
  EXPECT_EQ(r[3], 768);
  EXPECT_EQ(r[0b0000011010], 0b0101100000);
  EXPECT_EQ(r[1023], 1023);
  std::set<int> seen;
  for (size_t i = 0; i < kFftSize; ++i) {
    EXPECT_EQ(r[r[i]], i);
    seen.insert(r[i]);
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kFftSize));
}

// The twiddle recurrence accumulates single-precision error across each stage; a wrong
// step, sign or stage order gives errors of the order of the signal itself.
TEST(Fft1024, MatchesDirectDftOnRandomComplexData) {
  std::mt19937 rng(1234);
  std::uniform_real_distribution<float> uniform(-1000.0f, 1000.0f);
  std::vector<Complex> x(kFftSize);
  std::array<float, kFftSize> re{};
  std::array<float, kFftSize> im{};
  for (size_t i = 0; i < kFftSize; ++i) {
    const float a = uniform(rng), b = uniform(rng);
    x[i] = Complex(a, b);
    re[BitReverseTable()[i]] = a;
    im[BitReverseTable()[i]] = b;
  }
  Fft<float>(re, im, FftSign::Positive);
  const auto expected = DirectDft(x);
  long double worst = 0, power = 0;
  for (size_t k = 0; k < kFftSize; ++k) {
    worst = std::max(worst, std::abs(Complex(re[k], im[k]) - expected[k]));
    power += std::norm(expected[k]);
  }
  const long double rms = std::sqrt(power / kFftSize);
  EXPECT_LT(worst / rms, 5e-5L) << "worst error " << worst << " against rms " << rms;
}

TEST(Fft1024, SingleToneLandsInOneBinWithPositiveRotation) {
  // e^{+i 2 pi 5 n / N} transforms to N at bin N - 5 under the e^{+i} convention.
  std::array<float, kFftSize> re{};
  std::array<float, kFftSize> im{};
  for (size_t n = 0; n < kFftSize; ++n) {
    const double angle = 2.0 * std::numbers::pi * 5.0 * static_cast<double>(n) / kFftSize;
    re[BitReverseTable()[n]] = static_cast<float>(std::cos(angle));
    im[BitReverseTable()[n]] = static_cast<float>(std::sin(angle));
  }
  Fft<float>(re, im, FftSign::Positive);
  EXPECT_NEAR(re[kFftSize - 5], 1024.0f, 0.05f);
  EXPECT_NEAR(im[kFftSize - 5], 0.0f, 0.05f);
  for (size_t k = 0; k < kFftSize; ++k) {
    if (k != kFftSize - 5) {
      EXPECT_LT(std::hypot(re[k], im[k]), 0.05f) << k;
    }
  }
}

TEST(ComputeSpectrum, WindowedMagnitudesOverAHundred) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<int16_t> buffer(kFftSize);
  std::vector<Complex> windowed(kFftSize);
  for (size_t i = 0; i < kFftSize; ++i) {
    buffer[i] = static_cast<int16_t>(sample(rng));
    windowed[i] = Complex(2.0L * buffer[i] * SpectrumWindow()[i], 0);
  }
  Spectrum spectrum;
  ComputeSpectrum(buffer, spectrum);
  const auto expected = DirectDft(windowed);
  long double peak = 0;
  for (size_t k = 0; k < kSpectrumBins; ++k) peak = std::max(peak, std::abs(expected[k]) / 100);
  for (size_t k = 0; k < kSpectrumBins; ++k) {
    EXPECT_NEAR(spectrum.magnitudes()[k], std::abs(expected[k]) / 100, peak * 2e-4L) << k;
  }
}

TEST(ComputeSpectrum, PartBufferIsPaddedWithSilenceAndStateDoesNotCarryOver) {
  std::vector<int16_t> full(kFftSize, 0);
  std::vector<int16_t> part(700);
  for (size_t i = 0; i < part.size(); ++i)
    part[i] = full[i] = static_cast<int16_t>(i * 37 % 2001 - 1000);
  Spectrum a;
  Spectrum b;
  ComputeSpectrum(full, a);
  // b first holds another buffer's results, which must not leak into the next one.
  ComputeSpectrum(std::vector<int16_t>(kFftSize, 20000), b);
  ComputeSpectrum(part, b);
  for (size_t k = 0; k < kSpectrumBins; ++k) EXPECT_EQ(a.magnitudes()[k], b.magnitudes()[k]) << k;

  std::vector<int16_t> longer(full);
  longer.resize(2 * kFftSize, 32767);  // past the first 1024: not part of this line
  ComputeSpectrum(longer, b);
  for (size_t k = 0; k < kSpectrumBins; ++k) EXPECT_EQ(a.magnitudes()[k], b.magnitudes()[k]) << k;
}

}  // namespace
}  // namespace vela
