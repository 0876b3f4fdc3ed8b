// The whole terminal as the program runs it: the settings file, the sound system and
// devices, the PTT port, the window and the station behind it, the settings kept on disk
// as they change, the receive log beside them, and an orderly end on a signal.
#pragma once

#include <QString>
#include <memory>

#include "app/settings/Preferences.h"
#include "audio/PortAudioInput.h"
#include "audio/PortAudioOutput.h"
#include "audio/PortAudioSystem.h"
#include "station/StationDetails.h"

namespace vela {
class StationPtt;
}  // namespace vela

namespace vela::app {

class MainWindow;
class SettingsKeeper;
class SignalShutdown;
class Station;
class StationServices;

class Terminal {
 public:
  // Reads the settings from `settingsPath` (the receive log goes in the same folder) and
  // builds the window and the station; `recording`, if given, is played into the receiver
  // before the sound card is tried.
  Terminal(QString settingsPath, QString recording);
  ~Terminal();
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  MainWindow& window() { return *window_; }
  Station& station() { return *station_; }

  // Shows the window, receives, and returns when the window has closed; the settings are
  // written on the way out (the operator is told if they cannot be).
  int Run();

 private:
  QString settingsPath_;
  QString recording_;
  QString rigPath_;
  QString stationPath_;
  QString warning_;
  std::unique_ptr<SignalShutdown> shutdown_;
  PortAudioSystem sound_;
  PortAudioInput input_;
  PortAudioOutput output_;
  std::unique_ptr<StationPtt> ptt_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<SettingsKeeper> keeper_;
  std::unique_ptr<StationServices> services_;
  StationDetails stationDetails_;  // as the Station menu last had them
};

}  // namespace vela::app
