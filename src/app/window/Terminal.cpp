#include "app/window/Terminal.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <utility>

#include "app/settings/SettingsKeeper.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/SignalShutdown.h"
#include "app/window/Station.h"
#include "app/window/StationServices.h"
#include "app/window/StationWiring.h"
#include "app/window/StatusBar.h"
#include "rig/RigSettingsFile.h"
#include "rig/SerialPtt.h"
#include "rig/StationPtt.h"
#include "station/StationDetails.h"

namespace vela::app {

namespace {
// What a settings file holds, or `absent` when there is none yet: a new station's file is
// written when something in it changes, and at the end.
QByteArray FileBytes(const QString& path, const QByteArray& absent) {
  QFile file(path);
  if (!file.exists()) return absent;
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

Terminal::Terminal(QString settingsPath, QString recording)
    : settingsPath_(std::move(settingsPath)),
      recording_(std::move(recording)),
      // First of all, so a signal ends even a start-up that a box holds up.
      shutdown_(std::make_unique<SignalShutdown>(
          SignalShutdown::Steps{[this] {
                                  if (!station_) return true;
                                  station_->RequestExit();  // PTT drops with the stop
                                  return !station_->transmitState().outputOpen();
                                },
                                [this] {
                                  if (station_) station_->FlushReceiveLog();
                                  if (keeper_) keeper_->SaveAll();
                                }})),
      input_(sound_),
      output_(sound_),
      ptt_(std::make_unique<StationPtt>()) {
  const Preferences preferences = Preferences::Load(settingsPath_, &warning_);
  window_ = std::make_unique<MainWindow>(preferences);
  station_ = std::make_unique<Station>(*window_, StationDevices{&input_, &output_, ptt_.get()});
  ConnectStation(*window_, *station_);
  const QString folder = QFileInfo(settingsPath_).absolutePath();
  station_->OpenReceiveLog(folder);
  services_ = std::make_unique<StationServices>(*window_, *station_, folder);
  window_->SetSettingsFolder(folder);
  // How the transmitter is keyed lives in a file of its own, so the settings file keeps
  // the layout older versions read.
  rigPath_ = folder + u'/' + QString::fromLatin1(kRigSettingsFileName);
  RigSettingsLoad rig = LoadRigSettings(rigPath_.toStdString());
  // The COM number stays the settings file's, where older versions look for it.
  rig.settings.comPort = window_->settings().comPort;
  window_->SetRigSettings(rig.settings);
  if (!rig.message.empty()) {
    warning_ += (warning_.isEmpty() ? QString() : QStringLiteral("\n")) +
                QString::fromStdString(rig.message);
  }
  // The mode, the receiver, whether transmit follows it and the waterfall are the station's own:
  // they come back at every start.
  stationPath_ = folder + u'/' + QString::fromLatin1(kStationFileName);
  const StationDetailsLoad station = LoadStationDetails(stationPath_.toStdString());
  if (const auto mode = ParseMode(station.details.mode)) window_->SelectMode(*mode);
  window_->SetEnhancedReceiver(station.details.enhancedReceiver);
  window_->SetTransmitFollows(station.details.transmitFollows);
  window_->waterfall()->SetSettings(station.details.waterfall);
  if (!station.message.empty()) {
    warning_ += (warning_.isEmpty() ? QString() : QStringLiteral("\n")) +
                QString::fromStdString(station.message);
  }
  QPointer<MainWindow> window(window_.get());
  const auto preferencesBytes = [this] { return window_->CurrentPreferences().Serialise(); };
  const auto rigBytes = [this] {
    return QByteArray::fromStdString(FormatRigSettingsFile(window_->settings().rig));
  };
  // The station details are the Station menu's, with the window's choices in them; the last
  // of them is kept for the saves that come once the menu has gone (at the very end).
  stationDetails_ = station.details;
  const auto stationBytes = [this] {
    if (services_) stationDetails_ = services_->details();
    return QByteArray::fromStdString(FormatStationDetails(stationDetails_));
  };
  keeper_ = std::make_unique<SettingsKeeper>(
      std::vector<SettingsKeeper::File>{
          {settingsPath_, preferencesBytes, preferences.Serialise()},
          {rigPath_, rigBytes, rigBytes()},
          {stationPath_, stationBytes, FileBytes(stationPath_, stationBytes())}},
      [window](const QString& reason) {
        QTimer::singleShot(0, [window, reason] {
          if (window) window->ShowMessage(QMessageBox::Warning, window->windowTitle(), reason);
        });
      });
}

Terminal::~Terminal() {
  services_.reset();
  keeper_.reset();
  station_.reset();
  window_.reset();
}

int Terminal::Run() {
  window_->show();
  // A settings file that could not be read is told in the same box as the PTT and sound
  // card problems start-up finds.
  if (!warning_.isEmpty()) station_->Tell(QMessageBox::Warning, window_->windowTitle(), warning_);
  station_->Start(recording_);
  services_->Start();
  if (!sound_.ok()) {
    window_->statusBarWidget()->ShowNote(
        QStringLiteral("No sound system: ") + QString::fromStdString(sound_.error()), 10000);
  }
  const int result = QApplication::exec();
  services_.reset();  // the spots queued go, and the logger hears Close

  // Shut-down: the PTT port first, then the settings and the log, then capture.
  station_->ClosePtt();
  station_->FlushReceiveLog();
  QString error;
  if (!keeper_->SaveAll(&error) && !keeper_->reported())  // told once, not again on the way out
    QMessageBox::warning(nullptr, QStringLiteral("VELA Terminal"), error);
  station_->StopCapture();
  shutdown_->EndIfSignalled();
  return result;
}

}  // namespace vela::app
