// Splits decoded bits into varicode characters at every pair of zero bits. The receive
// decoder feeds the receive and secondary panes behind the squelch; the echo decoder shows
// the transmitter's own text and watches it for the delayed-receive end marker.
#pragma once

#include <cstdint>
#include <string>

#include "rx/TextEvents.h"

namespace vela {

// The varicode entry (0..319) whose code has this value, or -1.
int VaricodeEntryForValue(uint32_t value);

class VaricodeRxDecoder {
 public:
  // `squelchOpen`: the last frame's confidence is above the operator's threshold.
  void Bit(int bit, bool squelchOpen, bool paused, TextEvents& events);

 private:
  uint32_t accumulator_ = 0;
};

class VaricodeEchoDecoder {
 public:
  VaricodeEchoDecoder() : marker_("[EOT]") {}

  void Bit(int bit, TextEvents& events);
  // The transmission was cut short: the next `skipBits` bits still belong to it (or to
  // the idle frame the next one starts with) and are passed over; a character half
  // echoed is not finished by the next transmission.
  void Restart(int skipBits) {
    skip_ = skipBits;
    accumulator_ = 0;
    echoText_.clear();
  }

  void SetEndMarker(std::string marker);
  const std::string& endMarker() const { return marker_; }

  // The echoed text since the marker was last found (its most recent part only).
  const std::string& echoText() const { return echoText_; }

 private:
  void Echo(uint8_t c, TextEvents& events);

  uint32_t accumulator_ = 0;
  int skip_ = 0;
  std::string marker_;
  std::string echoText_;
};

}  // namespace vela
