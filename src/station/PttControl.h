// The transmitter's push-to-talk, however the station keys it: the DTR and RTS lines of a
// serial port, the rig's own CAT command, or nothing at all for a rig on VOX.
#pragma once

#include <optional>
#include <string>

namespace vela {

class PttControl {
 public:
  virtual ~PttControl() = default;
  // Keys (true) or releases (false) the transmitter. False when the rig could not be told,
  // with the reason in error(). Serial line changes are never reported as failed: a port
  // that cannot switch its lines simply gives no PTT.
  virtual bool Key(bool on) = 0;
  virtual std::string error() const { return {}; }
};

struct OperatorMessage {
  std::string text;
  std::string caption;
};

inline constexpr char kComportCaption[] = "Comport";

// What the operator is told after trying to open PTT port COM`portNumber` (0 = none);
// `reason` says why an open failed and what to do about it, on a line of its own.
inline std::optional<OperatorMessage> PttOpenMessage(int portNumber, bool opened,
                                                     const std::string& reason = {}) {
  if (portNumber == 0) {
    return OperatorMessage{"Default comport set to 0\nGo to PTT to set up a valid comport",
                           kComportCaption};
  }
  if (!opened) {
    return OperatorMessage{"Failure to open comport" + (reason.empty() ? "" : "\n" + reason),
                           kComportCaption};
  }
  return std::nullopt;
}

}  // namespace vela
