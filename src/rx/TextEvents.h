// What the text decoders report: characters for the receive and secondary panes, the
// transmitter's own text decoded back, and the end marker seen in it. Every call comes on
// the thread that drives the modem. Default implementations ignore the event.
#pragma once

#include <cstdint>

namespace vela {

class TextEvents {
 public:
  virtual ~TextEvents() = default;

  // A received character for the receive pane (squelch open, pause off).
  virtual void RxChar(uint8_t /*c*/) {}
  // A received secondary character for the secondary pane (squelch open).
  virtual void SecondaryChar(uint8_t /*c*/) {}
  // A character the transmitter has decoded back from its own frames.
  virtual void EchoChar(uint8_t /*c*/) {}
  // The delayed-receive end marker has been echoed: the operator's SEND is to be pressed.
  virtual void EndMarkerEchoed() {}
};

}  // namespace vela
