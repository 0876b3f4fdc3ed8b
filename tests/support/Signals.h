// Synthesised receive audio for the receivers' tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace vela::test {

// Continuous-phase MSK at the capture rate: +1 on the lower tone.
inline std::vector<int16_t> Msk(const std::vector<int>& symbols, double fs, double centre,
                                double baud, double amplitude = 8000.0) {
  std::vector<int16_t> out;
  double phase = 0.0, t = 0.0;
  const double samplesPerSymbol = fs / baud;
  for (size_t k = 0; k < symbols.size(); ++k) {
    const double f = centre - symbols[k] * baud / 4.0;
    for (; t < (static_cast<double>(k) + 1) * samplesPerSymbol; t += 1.0) {
      out.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(phase))));
      phase += 2.0 * std::numbers::pi * f / fs;
    }
  }
  return out;
}

}  // namespace vela::test
