// What the operator has set the station to: tuning, mode, receiver, squelch, output, the
// macros and the texts sent beside the pane. The window edits it and says so; the station
// hands it to the modem. The settings file keeps the part it has records for.
#pragma once

#include <QString>
#include <array>

#include "app/settings/Preferences.h"
#include "coding/Modes.h"
#include "rig/RigSettings.h"
#include "station/StationSettings.h"

namespace vela::app {

struct OperatorSettings {
  // ---- Kept in the settings file ----
  // F1..F8, the SEND line and the delayed-receive button, whose text is the end marker.
  std::array<MacroEntry, Preferences::kMacroCount> macros;
  QString callsign;
  QString secondaryText;
  int squelchLevel = StationSettings{}.squelch;
  int comPort = 0;
  long double txCentreFrequency = StationSettings{}.txCentreFrequency;
  long double rxSampleRate = StationSettings{}.rxSampleRate;
  long double rxCentreFrequency = StationSettings{}.rxCentreFrequency;
  int cwIdFlag = 0;
  // ---- Kept in VELArig.INI: how the transmitter is keyed and the rig behind it ----
  RigSettings rig;

  // ---- For this run only ----
  Mode mode = StationSettings{}.mode;
  bool enhancedReceiver = false;
  bool pause = false;
  int outputMode = 0;  // 0 mono, 1 I and Q
  int waterfallPalette = 1;
  bool receiveLog = true;
  // A click, the browser or fine tune moves the transmit frequency with the receiver's;
  // right-click still sets it alone.
  bool transmitFollows = false;  // everything copied and sent, logged beside the settings

  // The file's settings with their defaults settled.
  static OperatorSettings FromPreferences(Preferences preferences);
  Preferences ToPreferences() const;

  const QString& endMarker() const { return macros[Preferences::kDelayedReceive].text; }
  // An empty marker is the standard "[EOT]".
  void SetEndMarker(const QString& marker);
  // A secondary text still saying "nocall" follows a new callsign.
  void SetCallsign(const QString& call);
  // An empty or "nocall" secondary text sends the callsign instead.
  void SetSecondaryText(const QString& text);
};

// Hands the modem everything it runs on. What has not changed the modem leaves as it is,
// so the whole set can go after every change.
void ApplyToModem(Modem& modem, const OperatorSettings& settings);

}  // namespace vela::app
