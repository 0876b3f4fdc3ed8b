#include "app/window/Station.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/TextCodec.h"
#include "app/settings/OperatorSettings.h"
#include "app/window/Commands.h"
#include "audio/WavFileDevices.h"
#include "tx/BitSource.h"

namespace vela::app {

namespace {

const QColor kReceivedColour(0, 128, 0);
const QColor kEchoColour(255, 0, 0);
constexpr char kOutputOpenError[] = "Error opening waveform audio device!";
constexpr char kTransmitCaption[] = "VELA63 for LF/MF";

}  // namespace

// ---- The station ----

Station::Station(StationView& view, StationDevices devices)
    : view_(view),
      devices_(devices),
      core_(*devices.output, *this),
      soundCapture_(*devices.input, core_),
      capture_(&soundCapture_) {
  core_.Subscribe(*this);
  transmit_.SetPtt(devices_.ptt);
  connect(&morseClock_, &QTimer::timeout, this, [this] { transmit_.MorseTick(); });
  connect(&logClock_, &QTimer::timeout, this, [this] { FlushLog(false); });
  audioWatch_.setSingleShot(true);
  audioWatch_.setInterval(kNoAudioMs);
  connect(&audioWatch_, &QTimer::timeout, this, [this] {
    // Capture rests while we transmit: that is not a silent card.
    if (transmit_.state().onAir()) {
      audioWatch_.start();
      return;
    }
    ShowNoAudio(true);
  });
  cardSearch_.setInterval(kCardSearchMs);
  connect(&cardSearch_, &QTimer::timeout, this, [this] { SearchForCard(); });
}

Station::~Station() {
  FlushLog(true);
  StopCapture();
}

void Station::Start(const QString& recording, Pacing pacing) {
  OpenPtt(false);
  ApplyWindowSettings();
  // The displays' resting state until the first signal arrives.
  ReceiveStats resting;
  resting.level = 19;
  resting.confidence = 1;
  resting.syncPeak = modem_.syncPeak();
  view_.ShowReceiveStats(resting);
  RefreshCaptureDevices();
  captureDevice_ = 0;
  audioWatch_.start();
  if (recording.isEmpty()) {
    StartSoundCapture(0);
  } else {
    PlayRecording(recording, pacing, true);
  }
}

void Station::ClosePtt() {
  if (devices_.ptt != nullptr) devices_.ptt->Close();
}

void Station::StopCapture() {
  if (recordingCapture_) recordingCapture_->StopCapture();
  soundCapture_.StopCapture();
}

void Station::ApplySettings(const OperatorSettings& settings) {
  ApplyToModem(modem_, settings);
  SetReceiveLogEnabled(settings.receiveLog);
}

void Station::SetTransmitText(const QString& text) {
  modem_.bitSource().SetPaneText(AirBytes(text));
}

void Station::ClearTransmitText() {
  modem_.bitSource().RequestClear();
}

void Station::PrepareCardChoice() {
  // The card is chosen afresh, from the cards there are now: a recording being played
  // gives way to it.
  if (recordingCapture_) EndRecording();
  RediscoverCards();
}

void Station::ApplyWindowSettings() {
  ApplyToModem(modem_, view_.settings());
  BitSource& bits = modem_.bitSource();
  bits.SetBeacon(transmit_.state().beacon);
  bits.SetPaneText(AirBytes(view_.transmitText()));
}

void Station::OpenPtt(bool chosen) {
  core_.DialRead(std::nullopt);
  transmit_.SetTimeLimit(std::chrono::minutes(view_.settings().rig.txLimitMinutes));
  if (devices_.ptt == nullptr) return;
  rig_ = view_.settings().rig;
  rig_.comPort = view_.settings().comPort;
  const bool noPort =
      rig_.method == PttMethod::SerialDtrRts && rig_.comPort == 0 && rig_.pttSerialDevice.empty();
  std::optional<OperatorMessage> message = devices_.ptt->Open(rig_);
  // "none" chosen in the picker is port 0, which does not open: the operator is told so,
  // where at start-up port 0 only gets the notice to set one up.
  if (chosen && noPort) message = PttOpenMessage(1, false);
  if (message) {
    Tell(noPort && !chosen ? QMessageBox::Information : QMessageBox::Critical,
         QString::fromStdString(message->caption), QString::fromStdString(message->text));
  }
  if (RigControl* rig = devices_.ptt->rig(); rig != nullptr && HasDial(rig_)) {
    // A rig just told of as unreachable: its dial's first failed reading says nothing new.
    rigFailureTold_ = message && !rig->error().empty();
    rig->StartPolling([this](const RigReading& reading) { DialRead(reading); });
  }
}

void Station::DialRead(const RigReading& reading) {
  if (reading.ok) {
    rigFailureTold_ = false;
    core_.DialRead(DialReading{reading.dialHz, reading.mode});
    return;
  }
  // Told once (the poll goes on trying quietly); the frequencies go back to audio.
  core_.DialRead(std::nullopt);
  if (std::exchange(rigFailureTold_, false)) return;
  Tell(QMessageBox::Warning, QString::fromLatin1(kRigCaption),
       QString::fromStdString(reading.error) +
           QStringLiteral("\nThe terminal goes on receiving; SEND keys nothing until the rig "
                          "answers again."));
}

void Station::StartSoundCapture(int device) {
  captureDevice_ = device;
  transmit_.SetOutputDevice(device);
  if (!soundCapture_.StartCapture(device, modem_.rxSampleRate())) return;
  // Started while the transmitter is on air (a recording ended, say): hold it until the
  // transmission ends, as the transmitter expects.
  if (transmit_.state().onAir()) soundCapture_.PauseCapture();
}

void Station::ChooseCaptureDevice(int device) {
  if (recordingCapture_) EndRecording();
  soundCapture_.StopCapture();
  // The old card gets a moment to let go before the new one opens.
  QTimer::singleShot(kReselectDelayMs, this, [this, device] {
    if (!recordingCapture_) StartSoundCapture(device);
  });
}

void Station::RediscoverCards() {
  if (transmit_.state().outputOpen()) return;
  const bool listening = soundCapture_.running();
  const std::vector<std::string> before = soundCapture_.ListCaptureDevices();
  soundCapture_.StopCapture();
  if (devices_.input->Rediscover() && listening) {
    // The card listened to keeps its place in the operator's choice even if the list moved.
    const std::vector<std::string> now = soundCapture_.ListCaptureDevices();
    const auto at = static_cast<size_t>(captureDevice_);
    const auto same =
        at < before.size() ? std::find(now.begin(), now.end(), before[at]) : now.end();
    if (same != now.end()) captureDevice_ = static_cast<int>(same - now.begin());
  }
  if (listening) StartSoundCapture(captureDevice_);
  RefreshCaptureDevices();
}

void Station::SearchForCard() {
  // Not while a recording plays or the transmitter has the sound card.
  if (soundCapture_.running()) {
    cardSearch_.stop();
    return;
  }
  if (recordingCapture_ || transmit_.state().outputOpen()) return;
  devices_.input->Rediscover();
  RefreshCaptureDevices();
  quietCardStart_ = true;
  StartSoundCapture(captureDevice_);
  quietCardStart_ = false;
  if (!soundCapture_.running()) return;
  cardSearch_.stop();
  const std::vector<std::string> names = soundCapture_.ListCaptureDevices();
  const auto at = static_cast<size_t>(captureDevice_);
  view_.ShowNote(QStringLiteral("Sound card back: ") +
                     (at < names.size() ? QString::fromStdString(names[at]) : QString()) +
                     QStringLiteral("; receiving again"),
                 10000);
}

void Station::RefreshCaptureDevices() {
  QStringList names;
  for (const std::string& name : soundCapture_.ListCaptureDevices()) {
    names << QString::fromStdString(name);
  }
  view_.SetCaptureDevices(names);
}

bool Station::DecodeRecording(const QString& path, Pacing pacing) {
  if (transmit_.state().outputOpen()) {
    view_.ShowNote(QStringLiteral("A recording can be played once the transmitter is off"), 5000);
    return false;
  }
  // One recording after another: the sound card stays off in between.
  const bool soundAfter =
      recordingCapture_ ? std::exchange(soundWasListening_, false) : soundCapture_.running();
  return PlayRecording(path, pacing, soundAfter);
}

bool Station::PlayRecording(const QString& path, Pacing pacing, bool soundAfter) {
  if (recordingCapture_) EndRecording();
  soundCapture_.StopCapture();
  auto input = std::make_unique<WavFileInput>(path.toStdString(), pacing);
  auto cycle = std::make_unique<CaptureCycle>(*input, core_);
  recording_ = std::move(input);
  recordingCapture_ = std::move(cycle);
  recordingPath_ = path;
  soundWasListening_ = soundAfter;
  capture_ = recordingCapture_.get();
  // The recording's end is posted by the device; the cycle is let go after that event.
  recording_->SetOnFinished(
      [this] { QTimer::singleShot(0, this, [this] { EndRecording(true); }); });
  if (!recordingCapture_->StartCapture(0, modem_.rxSampleRate())) {
    // CaptureError has told the operator why; the sound card goes on as before.
    EndRecording();
    return false;
  }
  view_.ShowNote(QStringLiteral("Decoding recording ") + QFileInfo(path).fileName(), 5000);
  return true;
}

void Station::EndRecording(bool reachedEnd) {
  if (!recordingCapture_) return;
  recordingCapture_->StopCapture();
  capture_ = &soundCapture_;
  // Let go later: this may run inside one of the recording's own events.
  retiredCaptures_.push_back(std::move(recordingCapture_));
  retiredRecordings_.push_back(std::move(recording_));
  QTimer::singleShot(0, this, [this] {
    retiredCaptures_.clear();
    retiredRecordings_.clear();
  });
  const QString path = recordingPath_;
  recordingPath_.clear();
  quietCardProblem_.clear();
  if (soundWasListening_) {
    quietCardStart_ = reachedEnd;
    StartSoundCapture(captureDevice_);
    quietCardStart_ = false;
  }
  soundWasListening_ = false;
  if (!reachedEnd) return;
  QString note = QStringLiteral("End of recording ") + QFileInfo(path).fileName();
  if (!quietCardProblem_.isEmpty()) {
    note += QStringLiteral("; ") + quietCardProblem_ +
            QStringLiteral(": no receive audio. Soundcard > SelectSoundcard tries a card again");
  }
  view_.ShowNote(note, quietCardProblem_.isEmpty() ? 5000 : 20000);
  emit recordingFinished(path);
}

void Station::Tell(int icon, const QString& title, const QString& text) {
  notices_.push_back({icon, title, text});
  if (notices_.size() == 1) QTimer::singleShot(0, this, [this] { ShowNotices(); });
}

void Station::ShowNotices() {
  const std::vector<Notice> notices = std::exchange(notices_, {});
  if (notices.empty()) return;
  int icon = notices.front().icon;
  QString title = notices.front().title;
  QStringList texts;
  for (const Notice& n : notices) {
    // The gravest of them sets the icon; differing captions give way to the window's.
    icon = std::max(icon, n.icon);
    if (n.title != title) title = view_.caption();
    texts << n.text;
  }
  view_.ShowMessage(static_cast<QMessageBox::Icon>(icon), title,
                    texts.join(QStringLiteral("\n\n")));
}

// ---- What the modem reports ----

void Station::RxChar(uint8_t c) {
  // A retune starts a new line where the copy heard on the new frequency begins: what the
  // receiver still held of the old station ends that station's line.
  const long double heardOn = modem_.copyFrequency();
  if (paneHeardOn_ && *paneHeardOn_ != heardOn) view_.StartNewLine();
  paneHeardOn_ = heardOn;
  view_.ShowReceivedChar(c, kReceivedColour);
  LogChar(ReceiveLog::Kind::Received, c);
  emit copied(false, c);
}

void Station::SecondaryChar(uint8_t c) {
  view_.ShowSecondaryChar(c);
  LogChar(ReceiveLog::Kind::Secondary, c);
  emit copied(true, c);
}

void Station::EchoChar(uint8_t c) {
  echoShown_ = c == 8 ? std::max(0, echoShown_ - 1) : echoShown_ + 1;
  view_.ShowReceivedChar(c, kEchoColour);
  LogChar(ReceiveLog::Kind::Sent, c);
}

// ---- The receive log ----

void Station::OpenReceiveLog(const QString& folder) {
  log_ = ReceiveLog::InFolder(folder.toStdString());
  log_->SetEnabled(view_.settings().receiveLog);
  logClock_.start(1000);
}

void Station::SetReceiveLogEnabled(bool on) {
  if (log_) log_->SetEnabled(on);
}

void Station::FlushReceiveLog() {
  FlushLog(true);
}

void Station::LogChar(ReceiveLog::Kind kind, uint8_t c) {
  if (!log_) return;
  // What we send is logged on the frequency it goes out on; what we hear on the one it was
  // heard on, which after a retune lags the dial while the old station's last words come out.
  const long double hz =
      kind == ReceiveLog::Kind::Sent ? modem_.txCentreFrequency() : modem_.copyFrequency();
  log_->SetMode(std::string(modem_.params().name));
  log_->SetFrequency(static_cast<double>(hz));
  log_->SetRecording(recordingCapture_ ? QFileInfo(recordingPath_).fileName().toStdString() : "");
  log_->Add(kind, c);
}

// ---- Recording what the receiver hears ----

void Station::RecordReceiveAudio(const QString& path) {
  if (path.isEmpty()) {
    if (!recorder_.recording()) return;
    recorder_.Stop();
    view_.ShowNote(QStringLiteral("Receive audio saved to %1 (%2 s)")
                       .arg(QString::fromStdString(recorder_.path()))
                       .arg(recorder_.frames() / static_cast<int64_t>(kNominalRxRate)),
                   8000);
    return;
  }
  if (!recorder_.Start(path.toStdString())) {
    ReceiveRecordingStopped(QString::fromStdString(recorder_.TakeError().value_or(std::string())));
    return;
  }
  view_.ShowNote(QStringLiteral("Recording receive audio to ") + path, 8000);
}

void Station::Captured(std::span<const int16_t> samples) {
  if (core_.scanning() && !std::exchange(scannerTurnPending_, true)) {
    // Behind whatever the devices have posted meanwhile: the capture buffers and the
    // transmitter's refills waiting are served first.
    QTimer::singleShot(0, this, [this] {
      scannerTurnPending_ = false;
      core_.RunScanners();
    });
  }
  if (!recorder_.recording()) return;
  recorder_.Captured(samples);
  if (const auto error = recorder_.TakeError())
    ReceiveRecordingStopped(QString::fromStdString(*error));
}

void Station::ReceiveRecordingStopped(const QString& reason) {
  view_.ShowReceiveRecordingStopped();
  Tell(QMessageBox::Warning, QStringLiteral("Record receive audio"), reason);
}

void Station::FlushLog(bool all) {
  if (!log_) return;
  if (all) {
    log_->FlushAll();
  } else {
    log_->Flush();
  }
  if (const auto error = log_->TakeError()) {
    Tell(QMessageBox::Warning, QStringLiteral("Receive log"),
         QString::fromStdString(*error) +
             QStringLiteral("\nThe terminal goes on; copy is logged again as soon as the "
                            "folder can be written. File > Receive log switches the log off."));
  }
}

void Station::BufferHeard(const ReceiveStats& stats) {
  view_.ShowReceiveStats(stats);
}

void Station::CorrelationRow(int row, std::span<const float> correlationPerOffset) {
  view_.ShowCorrelationRow(row, correlationPerOffset);
}

void Station::FrameProcessed(const FrameReport& report) {
  view_.ShowFrame(report);
}

// ---- The transmitter's side ----

void Station::TransmitStateChanged(const TransmitState& now, const TransmitState& before) {
  // Capture rests while our own audio goes out, and listens again as soon as a stop is
  // under way.
  if (now.onAir() != before.onAir()) {
    // Each over on a line of its own; the end of one that carried the pane's text is
    // marked once the pane has its unsent text back (TransmitPaneSent).
    if (now.onAir() || !(before.sending() || before.tuning())) view_.StartNewLine();
    if (now.onAir()) {
      echoShown_ = 0;
      paneHandedBack_ = false;
    }
    emit onAirChanged(now.onAir());
    if (now.onAir()) {
      capture_->PauseCapture();
    } else {
      capture_->ResumeCapture();
    }
  }
  view_.ShowTransmitState(now, before);
}

void Station::TransmitPaneSent() {
  if (!std::exchange(paneHandedBack_, false)) view_.ClearTransmitPane();
  view_.StartNewLine();
}

void Station::OverCut(int sent) {
  // The echo ran ahead of the air: what it showed beyond the sent text is taken back, so
  // red is what the far station has had.
  for (int back = echoShown_ - sent; back > 0; --back) EchoChar(8);
  echoShown_ = 0;
  // The rest goes back to the pane, where the operator can edit it or send it again.
  view_.KeepUnsentText(sent);
  paneHandedBack_ = true;
}

void Station::TransmitFailed(TransmitProblem problem, const std::string& detail) {
  QApplication::beep();
  const QString reason = QString::fromStdString(detail);
  const QString line = reason.isEmpty() ? QString() : u'\n' + reason;
  switch (problem) {
    case TransmitProblem::OutputOpenFailed:
      Tell(QMessageBox::Warning, QString::fromLatin1(kTransmitCaption),
           QString::fromLatin1(kOutputOpenError) + line);
      break;
    case TransmitProblem::OutputFailed:
      Tell(QMessageBox::Warning, QString::fromLatin1(kTransmitCaption),
           QStringLiteral("Sound output failed: ") + reason +
               QStringLiteral("\nThe transmission has ended and PTT is released; the text not "
                              "sent is still in the transmit pane."));
      break;
    case TransmitProblem::PttFailed:
      Tell(QMessageBox::Critical, QStringLiteral("PTT"),
           QStringLiteral("The transmitter could not be keyed, so nothing was sent.") + line +
               QStringLiteral("\nCheck the rig and TX options > PTT, then press SEND again."));
      break;
    case TransmitProblem::PttReleaseFailed:
      Tell(QMessageBox::Critical, QStringLiteral("PTT"),
           QStringLiteral("The rig did not confirm the end of transmission: it may still be "
                          "keyed.") +
               line + QStringLiteral("\nCheck the rig now."));
      break;
    case TransmitProblem::TimeLimit:
      Tell(QMessageBox::Warning, QString::fromLatin1(kTransmitCaption),
           QStringLiteral("The transmission reached the transmit time limit of %1 min and was "
                          "stopped; PTT is released. The text not sent is still in the "
                          "transmit pane.\nTX options > PTT sets the limit.")
               .arg(transmit_.timeLimit().count() / 60));
      break;
  }
}

void Station::SetMorseClock(int periodMs) {
  if (periodMs > 0) {
    morseClock_.start(periodMs);
  } else {
    morseClock_.stop();
  }
}

void Station::ReadyToExit() {
  // Not from inside the output's own notice: the window closes once it has returned.
  QTimer::singleShot(0, this, [this] { view_.CloseWhenReady(); });
}

// ---- The receiver's side ----

void Station::ShowNoAudio(bool none) {
  view_.ShowNoAudio(none);
}

void Station::SpectrumStep(std::span<const int16_t> sampleArray) {
  ShowNoAudio(false);
  audioWatch_.start();
  view_.ShowSpectrumBlock(sampleArray.first(kCaptureBufferSamples));
}

void Station::CaptureError(const std::string& text) {
  ShowNoAudio(true);
  // The sound card is looked for again every few seconds until it answers.
  if (capture_ == &soundCapture_ && !cardSearch_.isActive()) cardSearch_.start();
  QString message = QString::fromStdString(text);
  if (quietCardStart_) {
    quietCardProblem_ = message;
    return;
  }
  if (capture_ != &soundCapture_) {
    const std::string reason = recording_ ? recording_->error() : std::string();
    message = QStringLiteral("Cannot play the recording %1: %2")
                  .arg(recordingPath_, QString::fromStdString(reason.empty() ? text : reason));
  } else {
    const std::string detail = devices_.input->error();
    if (!detail.empty() && detail != text) message += u'\n' + QString::fromStdString(detail);
    message += QStringLiteral(
        "\n\nThe terminal carries on without receive audio. Soundcard > SelectSoundcard "
        "tries a card again; File > Decode recording... plays a recording instead.");
  }
  Tell(QMessageBox::Warning, view_.caption(), message);
}

}  // namespace vela::app
