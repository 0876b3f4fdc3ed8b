// MSK synthesis: each one-symbol buffer is a continuous-phase tone, the lower tone for +1
// (and the frame filler 0), the upper for -1, a quarter of the symbol rate either side of
// the transmit centre frequency. The phase runs on across buffers and transmissions.
#pragma once

#include <cstdint>
#include <span>

namespace vela {

// "Mono" puts the same signal on both channels; "I and Q" puts the quadrature signal on
// the right channel for a phasing exciter.
enum class OutputStyle { Mono, IQ };

// What the transmitter puts on air besides data: the Morse identifier keys the carrier at
// the centre frequency (key up is a 1 Hz tone), tune sends the plain carrier.
enum class CarrierMode { Data, MorseKeyDown, MorseKeyUp, Tune };

inline constexpr int kTxAmplitude = 15000;

class MskSynthesiser {
 public:
  // Fills `buffer` (left/right interleaved; its length selects the tone spacing).
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, long double centre,
                        OutputStyle style, CarrierMode carrier);

  // The tone in Hz, as sent, for one buffer.
  static float ToneFrequency(int bufferLength, int symbol, long double centre, CarrierMode carrier);

  double phase() const { return phase_; }

 private:
  double phase_ = 0.0;  // cycles
};

}  // namespace vela
