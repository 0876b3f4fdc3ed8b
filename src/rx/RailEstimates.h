// What a coherent MSK receiver estimates from the rails: which rail a symbol boundary's value
// lies on, and the rails' amplitude and noise from their moments. The enhanced receiver
// and the measurement receivers share them, so both estimate alike.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>

namespace vela {

// j^-s: the rail a boundary's value lies on (even boundaries real, odd imaginary).
inline std::complex<double> RailTurn(int64_t s) {
  switch (((s % 4) + 4) % 4) {
    case 0:
      return {1.0, 0.0};
    case 1:
      return {0.0, -1.0};
    case 2:
      return {-1.0, 0.0};
    default:
      return {0.0, 1.0};
  }
}

// The rail amplitude and noise variance of a window of rail values, from their second and
// fourth moments: a ±A rail in Gaussian noise has m2 = A² + σ² and m4 = A⁴ + 6A²σ² + 3σ⁴.
class RailMoments {
 public:
  void Add(double y) {
    m2_ += y * y;
    m4_ += y * y * y * y;
    ++count_;
  }
  struct Estimate {
    double amplitude;
    double noiseVar;
  };
  Estimate Result() const {
    const double m2 = m2_ / count_;
    const double m4 = m4_ / count_;
    const double a2 = std::sqrt(std::max(0.0, (3.0 * m2 * m2 - m4) / 2.0));
    return {std::sqrt(a2), std::max(m2 - a2, 1e-3 * m2 + 1e-12)};
  }

 private:
  double m2_ = 0.0;
  double m4_ = 0.0;
  int count_ = 0;
};

}  // namespace vela
