// The transmitter's push-to-talk line: DTR and RTS of a serial port, both raised while audio
// goes out and both dropped otherwise. Rigs differ in which line they watch, so both move.
#pragma once

#include <optional>
#include <string>

namespace vela {

class PttControl {
 public:
  virtual ~PttControl() = default;
  // Line changes that fail are not reported: the transmission goes on without PTT.
  virtual void SetDtr(bool on) = 0;
  virtual void SetRts(bool on) = 0;
};

// Keys or unkeys the transmitter: DTR first, then RTS, in both directions. No port, no effect.
inline void KeyTransmitter(PttControl* ptt, bool on) {
  if (ptt == nullptr) return;
  ptt->SetDtr(on);
  ptt->SetRts(on);
}

struct OperatorMessage {
  std::string text;
  std::string caption;
};

inline constexpr char kComportCaption[] = "Comport";

// What the operator is told after trying to open PTT port COM`portNumber` (0 = none).
inline std::optional<OperatorMessage> PttOpenMessage(int portNumber, bool opened) {
  if (portNumber == 0) {
    return OperatorMessage{"Default comport set to 0\nGo to PTT to set up a valid comport",
                           kComportCaption};
  }
  if (!opened) return OperatorMessage{"Failure to open comport", kComportCaption};
  return std::nullopt;
}

}  // namespace vela
