#include "station/StationSettings.h"

#include "tx/BitSource.h"

namespace vela {

void ApplyStationSettings(Modem& modem, const StationSettings& settings) {
  modem.SetMode(settings.mode);
  modem.SetRxSampleRate(settings.rxSampleRate);
  modem.SetRxCentreFrequency(settings.rxCentreFrequency);
  modem.SetTxCentreFrequency(settings.txCentreFrequency);
  modem.SetSquelch(settings.squelch);
  modem.SetPause(settings.pause);
  modem.SetReceiver(settings.receiver);
  modem.SetNoiseBlanker(settings.noiseBlanker);
  modem.SetIterations(settings.iterations);
  modem.SetOutputStyle(settings.outputStyle);
  modem.SetEndMarker(settings.endMarker);
  modem.bitSource().SetSecondaryText(settings.secondaryText);
}

}  // namespace vela
