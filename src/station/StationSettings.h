// What a station is set to: the mode, the frequencies, the squelch and the rest the operator
// chooses, each starting where a new station starts. One call puts them all into the Modem,
// for the window and the command line alike.
#pragma once

#include <string>

#include "coding/Modes.h"
#include "modem/Modem.h"
#include "rx/IterativeDecoder.h"
#include "tx/MskSynthesiser.h"

namespace vela {

struct StationSettings {
  Mode mode = kDefaultMode;
  long double rxSampleRate = kNominalRxRate;  // the sound card's rate, as measured on air
  long double rxCentreFrequency = kDefaultCentreHz;
  long double txCentreFrequency = kDefaultCentreHz;
  int squelch = kDefaultSquelch;
  bool pause = false;
  ReceiverKind receiver = ReceiverKind::Standard;
  bool noiseBlanker = true;
  int iterations = kModeIterations;  // the enhanced receiver's passes; the mode's own number
  OutputStyle outputStyle = OutputStyle::Mono;
  std::string endMarker = "[EOT]";  // air bytes, watched for in the echo
  std::string secondaryText;        // air bytes, sent in every idle moment
};

void ApplyStationSettings(Modem& modem, const StationSettings& settings);

}  // namespace vela
