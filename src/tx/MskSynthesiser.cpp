#include "tx/MskSynthesiser.h"

#include <cmath>
#include <numbers>

#include "coding/Modes.h"

namespace vela {

float MskSynthesiser::ToneFrequency(int bufferLength, int symbol, long double centre,
                                    CarrierMode carrier) {
  switch (carrier) {
    case CarrierMode::MorseKeyDown:
    case CarrierMode::Tune:
      return static_cast<float>(centre);
    case CarrierMode::MorseKeyUp:
      return 1.0f;  // key up: a sub-audible tone, same amplitude
    case CarrierMode::Data:
      break;
  }
  const long double offset = ToneOffsetForBufferLength(bufferLength);
  const long double nominal = symbol == -1 ? 1000.0L + offset : 1000.0L - offset;
  return static_cast<float>(centre + nominal - 1000.0L);
}

void MskSynthesiser::SynthesiseSymbol(std::span<int16_t> buffer, int symbol, long double centre,
                                      OutputStyle style, CarrierMode carrier) {
  const float f = ToneFrequency(static_cast<int>(buffer.size()), symbol, centre, carrier);
  const double step = static_cast<double>(f) / kOutputSampleRate;
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  const bool iq = style == OutputStyle::IQ;
  for (size_t i = 0; i + 1 < buffer.size(); i += 2) {
    const double angle = kTwoPi * phase_;
    const auto left = static_cast<int16_t>(std::nearbyint(kTxAmplitude * std::sin(angle)));
    buffer[i] = left;
    buffer[i + 1] =
        iq ? static_cast<int16_t>(std::nearbyint(kTxAmplitude * std::cos(angle))) : left;
    phase_ += step;
    phase_ -= std::trunc(phase_);
  }
}

}  // namespace vela
