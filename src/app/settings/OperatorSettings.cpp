#include "app/settings/OperatorSettings.h"

#include "app/TextCodec.h"
#include "modem/Modem.h"

namespace vela::app {

OperatorSettings OperatorSettings::FromPreferences(Preferences preferences) {
  preferences.ApplyDefaults();
  OperatorSettings s;
  s.macros = preferences.macros;
  s.callsign = preferences.callsign;
  s.secondaryText = preferences.secondaryText;
  s.squelchLevel = preferences.squelchLevel;
  s.comPort = preferences.comPort;
  s.txCentreFrequency = preferences.txCentreFrequency;
  s.rxSampleRate = preferences.rxSampleRate;
  s.rxCentreFrequency = preferences.rxCentreFrequency;
  s.cwIdFlag = preferences.cwIdFlag;
  return s;
}

Preferences OperatorSettings::ToPreferences() const {
  Preferences p;
  p.macros = macros;
  p.callsign = callsign;
  p.secondaryText = secondaryText;
  p.squelchLevel = squelchLevel;
  p.comPort = comPort;
  p.txCentreFrequency = txCentreFrequency;
  p.rxSampleRate = rxSampleRate;
  p.rxCentreFrequency = rxCentreFrequency;
  p.cwIdFlag = cwIdFlag;
  return p;
}

void OperatorSettings::SetEndMarker(const QString& marker) {
  macros[Preferences::kDelayedReceive].text = marker.isEmpty() ? QStringLiteral("[EOT]") : marker;
}

void OperatorSettings::SetCallsign(const QString& call) {
  callsign = call;
  // Two spaces, so the call completes on air at the slow rates.
  if (secondaryText == QStringLiteral("nocall")) secondaryText = callsign + QStringLiteral("  ");
}

void OperatorSettings::SetSecondaryText(const QString& text) {
  secondaryText = text;
  if (secondaryText.isEmpty() || secondaryText == QStringLiteral("nocall")) {
    secondaryText = callsign + QStringLiteral(" ");
  }
}

void ApplyToModem(Modem& modem, const OperatorSettings& settings) {
  StationSettings station;
  station.mode = settings.mode;
  station.rxSampleRate = settings.rxSampleRate;
  station.rxCentreFrequency = settings.rxCentreFrequency;
  station.txCentreFrequency = settings.txCentreFrequency;
  station.squelch = settings.squelchLevel;
  // Pause is the window's: the modem goes on decoding, so the log keeps what arrives and
  // the pane shows it on Resume.
  station.pause = false;
  station.receiver = settings.enhancedReceiver ? ReceiverKind::Enhanced : ReceiverKind::Standard;
  station.outputStyle = settings.outputMode == 1 ? OutputStyle::IQ : OutputStyle::Mono;
  station.endMarker = AirBytes(settings.endMarker());
  station.secondaryText = AirBytes(settings.secondaryText);
  ApplyStationSettings(modem, station);
}

}  // namespace vela::app
