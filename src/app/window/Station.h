// The station behind the window: the station core, the receive and transmit sound cycles,
// the sound devices, the PTT port, the receive log and the recorder. It shows what it hears
// and does through a StationView and takes the operator's commands as plain calls (the
// window's wiring is in StationWiring). Everything runs on the window's thread; devices only
// post their buffers back to it through the event loop.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window/StationView.h"
#include "audio/ReceiveRecorder.h"
#include "audio/WavFileDevices.h"
#include "modem/Modem.h"
#include "modem/ModemEvents.h"
#include "rig/RigControl.h"
#include "rig/StationPtt.h"
#include "station/CaptureCycle.h"
#include "station/ReceiveLog.h"
#include "station/StationCore.h"
#include "station/TransmitController.h"

namespace vela::app {

struct OperatorSettings;

// What the station listens and talks through: normally the sound card; recordings in
// tests and for a station without a radio.
struct StationDevices {
  AudioInputDevice* input = nullptr;
  AudioOutputDevice* output = nullptr;
  PttPort* ptt = nullptr;
};

class Station : public QObject,
                public StationControl,
                private StationSubscriber,
                private StationHost {
  Q_OBJECT
 public:
  static constexpr int kReselectDelayMs = 500;
  // Input silent this long (and not because we are transmitting): the displays say so.
  static constexpr int kNoAudioMs = 2000;
  // A sound card that has gone is looked for again this often.
  static constexpr int kCardSearchMs = 5000;

  Station(StationView& view, StationDevices devices);
  ~Station() override;
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // The window's start-up: PTT port, modem settings as the window holds them, the
  // displays' first drawing, then capture on device 0; or, when `recording` is given,
  // that recording first and the sound card once it has ended.
  void Start(const QString& recording = {}, Pacing pacing = Pacing::RealTime);
  // Shut-down, first step: the PTT port is let go.
  void ClosePtt();
  // Shut-down, last step: capture stops and the devices are let go.
  void StopCapture();

  // Plays a recording into the receiver in place of the sound card; when it ends the
  // sound card (if it was listening) takes over again. Refused while on air.
  bool DecodeRecording(const QString& path, Pacing pacing);
  // A recording the operator chose, played as SetRecordingPacing() says.
  bool DecodeRecording(const QString& path) { return DecodeRecording(path, recordingPacing_); }
  bool decodingRecording() const { return recordingCapture_ != nullptr; }
  // How a recording chosen from the File menu is played (in real time unless told).
  void SetRecordingPacing(Pacing pacing) { recordingPacing_ = pacing; }

  Modem& modem() { return modem_; }
  TransmitController& transmitter() { return transmit_; }
  // The capture cycle in use: the sound card's, or the recording's while one plays.
  CaptureCycle& capture() { return *capture_; }

  // The running log of copy: one file per UTC day in `folder` (beside the settings), on
  // until switched off.
  void OpenReceiveLog(const QString& folder);
  void SetReceiveLogEnabled(bool on);
  bool receiveLogEnabled() const { return log_ && log_->enabled(); }
  // Writes every line held: at the end of the program.
  void FlushReceiveLog();

  // A message for the operator, shown once the current device event has finished, so a
  // modal box never runs the event loop inside one of the cycles. Messages told in one go
  // (start-up's settings, PTT and sound card, say) come up together in one box.
  void Tell(int icon, const QString& title, const QString& text);

  // ---- The operator's commands ----
  // The window's settings have changed: the modem, the log and the squelch follow.
  void ApplySettings(const OperatorSettings& settings);
  // The transmit pane's text as it now stands (the transmitter reads it for every bit).
  void SetTransmitText(const QString& text);
  // The transmit pane was cleared: what is queued for the air goes too.
  void ClearTransmitText();
  // TX options > PTT was accepted: the PTT is opened afresh from the view's settings.
  void OpenChosenPtt() { OpenPtt(true); }
  // The card chooser is opening: cards are looked for afresh, and a recording gives way.
  void PrepareCardChoice();
  void ChooseCaptureDevice(int device);
  // Starts recording what the receiver hears to `path`, or stops (empty path).
  void RecordReceiveAudio(const QString& path);

  // StationControl
  void Send() override { transmit_.Send(); }
  void ToggleCwId() override { transmit_.ToggleCwId(); }
  void ToggleTune() override { transmit_.ToggleTune(); }
  void ToggleBeacon() override { transmit_.ToggleBeacon(); }
  void SetMorseIdentifier(const std::string& pattern, int periodMs) override {
    transmit_.SetMorseIdentifier(pattern, periodMs);
  }
  bool RequestExit() override { return transmit_.RequestExit(); }
  bool exitRequested() const override { return transmit_.exitRequested(); }
  const TransmitState& transmitState() const override { return transmit_.state(); }
  const BandScanner& AddScanner(const ScanConfig& config,
                                std::chrono::microseconds budget) override {
    return core_.AddScanner(config, budget);
  }
  void RemoveScanner(const BandScanner& scanner) override { core_.RemoveScanner(scanner); }

 signals:
  // A played recording has reached its end and the receiver is back on the sound card.
  void recordingFinished(const QString& path);
  // What the main receiver copies, a byte at a time (our own echo is not told).
  void copied(bool secondary, quint8 c);
  void onAirChanged(bool onAir);

 private:
  // StationSubscriber
  void RxChar(uint8_t c) override;
  void SecondaryChar(uint8_t c) override;
  void EchoChar(uint8_t c) override;
  void BufferHeard(const ReceiveStats& stats) override;
  void CorrelationRow(int row, std::span<const float> correlationPerOffset) override;
  void FrameProcessed(const FrameReport& report) override;

  void TransmitStateChanged(const TransmitState& now, const TransmitState& before) override;
  void TransmitPaneSent() override;
  void OverCut(int sentCharacters) override;
  void TransmitFailed(TransmitProblem problem, const std::string& detail) override;
  void SpectrumStep(std::span<const int16_t> sampleArray) override;
  void Captured(std::span<const int16_t> samples) override;
  void CaptureError(const std::string& text) override;
  void ScannerRan(const BandScanner& scanner) override { view_.ShowScan(scanner); }
  void DialChanged(const std::optional<DialReading>& dial) override { view_.ShowDial(dial); }

  // StationHost
  void SetMorseClock(int periodMs) override;
  void ReadyToExit() override;

  void ReceiveRecordingStopped(const QString& reason);
  void ApplyWindowSettings();
  // Opens the PTT the window's settings name: at start-up, or `chosen` in TX options > PTT.
  void OpenPtt(bool chosen);
  void DialRead(const RigReading& reading);
  void StartSoundCapture(int device);
  bool PlayRecording(const QString& path, Pacing pacing, bool soundAfter);
  // The recording gives way (to another, to the sound card, or because it has ended).
  void EndRecording(bool reachedEnd = false);
  void RefreshCaptureDevices();
  void ShowNotices();
  void ShowNoAudio(bool none);

  StationView& view_;
  StationDevices devices_;
  StationCore core_;
  Modem& modem_ = core_.modem();
  TransmitController& transmit_ = core_.transmitter();
  CaptureCycle soundCapture_;
  CaptureCycle* capture_;
  QTimer morseClock_;
  std::unique_ptr<WavFileInput> recording_;
  std::unique_ptr<CaptureCycle> recordingCapture_;
  QString recordingPath_;
  // Recordings that have ended, let go once their last event has run (cycles first).
  std::vector<std::unique_ptr<WavFileInput>> retiredRecordings_;
  std::vector<std::unique_ptr<CaptureCycle>> retiredCaptures_;
  bool soundWasListening_ = false;
  Pacing recordingPacing_ = Pacing::RealTime;
  int captureDevice_ = 0;
  // Echoed characters showing from the over on air; set when a cut over has handed the
  // transmit pane back its unsent text, so the pane is not emptied after it.
  int echoShown_ = 0;
  bool paneHandedBack_ = false;
  struct Notice {
    int icon;
    QString title;
    QString text;
  };
  std::vector<Notice> notices_;
  // Set while the sound card is tried again after a recording has played to its end: a
  // card missing then is expected, and goes to the status bar rather than a box.
  bool quietCardStart_ = false;
  QString quietCardProblem_;
  void LogChar(ReceiveLog::Kind kind, uint8_t c);
  // The frequency the receive pane's last copy was heard on (none yet).
  std::optional<long double> paneHeardOn_;
  void FlushLog(bool all);
  std::optional<ReceiveLog> log_;
  ReceiveRecorder recorder_;
  RigSettings rig_;  // what the PTT was last opened with
  bool rigFailureTold_ = false;
  bool scannerTurnPending_ = false;
  QTimer logClock_;
  QTimer audioWatch_;
  QTimer cardSearch_;
  // The card list looked for afresh (when capture can let go of its card for a moment).
  void RediscoverCards();
  void SearchForCard();
};

}  // namespace vela::app
