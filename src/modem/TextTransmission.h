// One complete transmission of a given text, as the command line sends it: the preamble,
// then frames until the transmitter's own echo shows the whole text, then a few tail frames
// so the far end's decoder (63 bits behind) gets it all out. Ends at a frame boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "coding/Frame.h"
#include "coding/Modes.h"
#include "modem/Modem.h"

namespace vela {

class TextTransmission {
 public:
  // Puts `text` (bytes) into the modem's transmit pane. `preambleSymbols` of +1 come first,
  // none where the transmitter sends its own.
  TextTransmission(Modem& modem, std::string text, int tailFrames,
                   int preambleSymbols = kPreambleSymbols);

  // Forward every ModemEvents::EchoChar here.
  void EchoChar(uint8_t c);

  // The next symbol to send (preamble included), or nothing when the transmission is
  // complete or has given up (see failed()).
  std::optional<int> NextSymbol();

  bool failed() const { return failed_; }

 private:
  Modem& modem_;
  std::string sentText_;  // as it goes out: carriage returns as spaces
  std::string echoTail_;
  int tailFrames_;
  int preambleLeft_;
  int64_t frameIndex_ = -1;
  std::optional<int64_t> echoedFrame_;
  int64_t frameLimit_;
  bool done_ = false;
  bool failed_ = false;
};

}  // namespace vela

namespace vela {

struct TransmitSettings {
  Mode mode = kDefaultMode;
  long double centreFrequency = kDefaultCentreHz;
  std::string text;  // bytes as sent
  std::string secondaryText = "nocall";
  OutputStyle style = OutputStyle::Mono;
  int tailFrames = 2;
};

// Runs a fresh modem through one complete transmission of `settings.text`, handing each
// one-symbol stereo buffer to `sink`. Returns false when the echo never showed the text.
bool TransmitText(const TransmitSettings& settings,
                  const std::function<void(std::span<const int16_t>)>& sink);

}  // namespace vela
