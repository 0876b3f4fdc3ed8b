#include "app/OperatorSettings.h"

#include "app/TextCodec.h"
#include "modem/Modem.h"
#include "tx/BitSource.h"

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
  modem.SetMode(settings.mode);
  modem.SetRxSampleRate(settings.rxSampleRate);
  modem.SetRxCentreFrequency(settings.rxCentreFrequency);
  modem.SetTxCentreFrequency(settings.txCentreFrequency);
  modem.SetSquelch(settings.squelchLevel);
  // Pause is the window's: the modem goes on decoding, so the log keeps what arrives and
  // the pane shows it on Resume.
  modem.SetPause(false);
  modem.SetReceiver(settings.enhancedReceiver ? ReceiverKind::Enhanced : ReceiverKind::Standard);
  modem.SetOutputStyle(settings.outputMode == 1 ? OutputStyle::IQ : OutputStyle::Mono);
  modem.SetEndMarker(AirBytes(settings.endMarker()));
  modem.bitSource().SetSecondaryText(AirBytes(settings.secondaryText));
}

}  // namespace vela::app
