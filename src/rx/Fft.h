// The receivers' one FFT: radix-2, in place, on separate real and imaginary arrays. The
// waterfall runs it in single precision, the enhanced receiver's carrier search in double.
// Twiddles are stepped by the sine-cosine recurrence rather than looked up, so a given
// precision and length always gives the same bits.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <utility>

namespace vela {

// The spectra's window: Blackman over N points, centred on sample N/2 (w[0] is 0, w[N/2] is 1).
template <size_t N>
std::array<float, N> BlackmanWindow() {
  constexpr double twoPi = 2.0 * std::numbers::pi;
  std::array<float, N> w{};
  for (size_t i = 0; i < N; ++i) {
    const double t = (static_cast<double>(i) - static_cast<double>(N / 2)) / static_cast<double>(N);
    w[i] = static_cast<float>(0.42 + 0.5 * std::cos(twoPi * t) + 0.08 * std::cos(2.0 * twoPi * t));
  }
  return w;
}

// The sign of the twiddle angle: X[k] = sum x[n] e^{sign 2 pi i n k / N}.
enum class FftSign { Negative = -1, Positive = 1 };

// Puts the values into bit-reversed order of their indices (the size a power of two).
template <typename T>
void BitReverse(std::span<T> real, std::span<T> imaginary) {
  const size_t n = real.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(real[i], real[j]);
      std::swap(imaginary[i], imaginary[j]);
    }
  }
}

// Decimation in time over data already in bit-reversed order, stage lengths 2..N.
template <typename T>
void Fft(std::span<T> real, std::span<T> imaginary, FftSign sign) {
  constexpr T kTwoPi = T{2} * std::numbers::pi_v<T>;
  const size_t n = real.size();
  for (size_t length = 2; length <= n; length *= 2) {
    const size_t half = length / 2;
    const T angle = static_cast<T>(static_cast<int>(sign)) * kTwoPi / static_cast<T>(length);
    const T stepCos = std::cos(angle);
    const T stepSin = std::sin(angle);
    T wr = 1;
    T wi = 0;
    for (size_t m = 0; m < half; ++m) {
      for (size_t i = m; i < n; i += length) {
        const size_t j = i + half;
        const T tr = wr * real[j] - wi * imaginary[j];
        const T ti = wr * imaginary[j] + wi * real[j];
        real[j] = real[i] - tr;
        imaginary[j] = imaginary[i] - ti;
        real[i] += tr;
        imaginary[i] += ti;
      }
      // Rotate the twiddle by one step: w <- w * e^{i angle}.
      const T next = wr * stepCos - wi * stepSin;
      wi = wi * stepCos + wr * stepSin;
      wr = next;
    }
  }
}

}  // namespace vela
