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

void ApplyToModem(Modem& modem, const OperatorSettings& now, const OperatorSettings* before) {
  auto changed = [&](auto OperatorSettings::*field) {
    return before == nullptr || now.*field != before->*field;
  };
  if (changed(&OperatorSettings::mode)) modem.SetMode(now.mode);
  if (changed(&OperatorSettings::rxSampleRate)) modem.SetRxSampleRate(now.rxSampleRate);
  if (changed(&OperatorSettings::rxCentreFrequency)) {
    modem.SetRxCentreFrequency(now.rxCentreFrequency);
  }
  if (changed(&OperatorSettings::txCentreFrequency)) {
    modem.SetTxCentreFrequency(now.txCentreFrequency);
  }
  if (changed(&OperatorSettings::squelchLevel)) modem.SetSquelch(now.squelchLevel);
  if (changed(&OperatorSettings::pause)) modem.SetPause(now.pause);
  if (changed(&OperatorSettings::enhancedReceiver)) {
    modem.SetReceiver(now.enhancedReceiver ? ReceiverKind::Enhanced : ReceiverKind::Standard);
  }
  if (changed(&OperatorSettings::outputMode)) {
    modem.SetOutputStyle(now.outputMode == 1 ? OutputStyle::IQ : OutputStyle::Mono);
  }
  if (before == nullptr || now.endMarker() != before->endMarker()) {
    modem.SetEndMarker(AirBytes(now.endMarker()));
  }
  if (changed(&OperatorSettings::secondaryText)) {
    modem.bitSource().SetSecondaryText(AirBytes(now.secondaryText));
  }
}

}  // namespace vela::app
