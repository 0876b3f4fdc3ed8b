// The terminal as a whole: window, modem, capture and transmit cycles and PTT, with
// recordings standing in for the sound card. What is received shows in the right pane in
// the right colour; what is sent goes on air (into a recording that decodes back to the
// text) with PTT keyed around it; device trouble leaves a usable terminal behind.
#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/window/CorrelationWindow.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/Station.h"
#include "app/window/StationWiring.h"
#include "app/window/StatusBar.h"
#include "audio/WavFile.h"
#include "audio/WavFileDevices.h"
#include "modem/Modem.h"
#include "support/Rigctld.h"
#include "support/ScriptedOutput.h"
#include "support/ScriptedPrompts.h"
#include "tx/BitSource.h"

using vela::Mode;
using vela::Pacing;
using vela::WavFileInput;
using vela::WavFileOutput;
using vela::app::MainWindow;
using vela::app::Preferences;
using vela::app::Station;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

// Remembers every line change and every port opened, in order.
class RecordingPtt : public vela::PttPort {
 public:
  std::optional<vela::OperatorMessage> Open(const vela::RigSettings& settings) override {
    const int port = settings.comPort;
    log.push_back("open " + std::to_string(port));
    Key(false);
    return vela::PttOpenMessage(port, port != 0 && port != 7);  // COM7 "fails"
  }
  void Close() override { log.push_back("close"); }
  bool Key(bool on) override {
    log.push_back(on ? "DTR on" : "DTR off");
    log.push_back(on ? "RTS on" : "RTS off");
    return true;
  }
  // The line changes after the first `from` entries.
  std::vector<std::string> Since(size_t from) const {
    return {log.begin() + static_cast<std::ptrdiff_t>(std::min(from, log.size())), log.end()};
  }
  std::vector<std::string> log;
};

// A sound card that records for a moment and is then pulled out.
class UnpluggedInput : public vela::AudioInputDevice {
 public:
  std::vector<std::string> ListDevices() override { return {"USB audio"}; }
  bool Open(int, int, vela::AudioInputEvents& events) override {
    events_ = &events;
    return true;
  }
  bool AddBuffer(int index, std::span<int16_t> buffer) override {
    lent_.push_back({index, buffer});
    return true;
  }
  bool Start() override {
    // One buffer of silence comes back, then the device goes away.
    QTimer::singleShot(0, [this] {
      if (events_ == nullptr || lent_.empty()) return;
      std::fill(lent_.front().second.begin(), lent_.front().second.end(), int16_t{0});
      events_->InputBufferFilled(lent_.front().first, 2048);
      QTimer::singleShot(0, [this] {
        if (events_) events_->InputFailed("the USB sound card was unplugged");
      });
    });
    return true;
  }
  void Stop() override {}
  void Reset() override { lent_.clear(); }
  void Close() override {
    lent_.clear();
    events_ = nullptr;
  }
  std::string error() const override { return "the USB sound card was unplugged"; }

 private:
  vela::AudioInputEvents* events_ = nullptr;
  std::vector<std::pair<int, std::span<int16_t>>> lent_;
};

// The colours the pane's characters are drawn in, with how many characters each.
std::map<QRgb, int> Colours(const QTextEdit* pane) {
  std::map<QRgb, int> colours;
  for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      colours[f.charFormat().foreground().color().rgb()] += f.length();
    }
  }
  return colours;
}

// The text of `pane` drawn in `colour`.
QString TextIn(const QTextEdit* pane, QColor colour) {
  QString text;
  for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
    if (b != pane->document()->begin()) text += u'\n';
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      if (it.fragment().charFormat().foreground().color() == colour) text += it.fragment().text();
    }
  }
  return text;
}

QString ReadText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll());
}

// The received text of a VELA125 receive log at 1000 Hz, its lines run together; a line
// out of form is returned whole after "!".
QString LoggedCopy(const QString& path) {
  const QRegularExpression line(
      QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ  VELA125  1000\.0 Hz  (RX |SEC)  (.*)$)"));
  QString copied;
  for (const QString& l : ReadText(path).split(u'\n')) {
    if (l.isEmpty()) continue;
    const auto m = line.match(l);
    if (!m.hasMatch()) return u'!' + l;
    if (m.captured(1) == QStringLiteral("RX ")) copied += m.captured(2);
  }
  return copied;
}

// Decodes a transmission the way a far station would: left channel, 8000 per second.
struct FarStation : vela::ModemEvents {
  std::string text;
  std::string secondary;
  void RxChar(uint8_t c) override { text += static_cast<char>(c); }
  void SecondaryChar(uint8_t c) override { secondary += static_cast<char>(c); }
};

FarStation Listen(const QString& path, Mode mode) {
  std::vector<int16_t> samples;
  std::string error;
  FarStation far;
  if (!vela::WavReader::ReadAll(path.toStdString(), 8000, samples, error)) {
    far.text = "!" + error;
    return far;
  }
  vela::Modem modem(far);
  modem.SetMode(mode);
  modem.ProcessSamples(samples);
  return far;
}

std::string Decode(const QString& path, Mode mode) {
  return Listen(path, mode).text;
}

// A far station's copy of played transmitter audio (32000 Hz stereo): left channel, 8000
// per second.
std::string DecodeAir(const std::vector<int16_t>& stereo32k, Mode mode,
                      vela::ReceiverKind receiver = vela::ReceiverKind::Standard) {
  FarStation far;
  vela::Modem modem(far);
  modem.SetMode(mode);
  modem.SetReceiver(receiver);
  std::vector<int16_t> mono;
  for (size_t i = 0; i < stereo32k.size(); i += 8) mono.push_back(stereo32k[i]);
  modem.ProcessSamples(mono);
  modem.Flush();
  return far.text;
}

bool WriteSilence(const QString& path, double seconds) {
  vela::WavWriter writer;
  if (!writer.Open(path.toStdString(), 8000, 1)) return false;
  const std::vector<int16_t> silence(static_cast<size_t>(8000 * seconds), 0);
  return writer.Write(silence) && writer.Commit();
}

}  // namespace

// What a station shows through its view, kept for the test to look at: no window at all.
struct ScriptedView : vela::app::StationView {
  vela::app::OperatorSettings settings_ =
      vela::app::OperatorSettings::FromPreferences(Preferences::Defaults());
  std::string received, secondary;
  int statsShown = 0, eyePoints = 0, frames = 0, lastLevel = -1;
  vela::TransmitState state;
  QString pane, note;
  const vela::app::OperatorSettings& settings() const override { return settings_; }
  QString transmitText() const override { return pane; }
  QString caption() const override { return QStringLiteral("view"); }
  void ShowReceivedChar(uint8_t c, QColor) override { received += static_cast<char>(c); }
  void ShowSecondaryChar(uint8_t c) override { secondary += static_cast<char>(c); }
  void StartNewLine() override {}
  void ShowReceiveStats(const vela::ReceiveStats& stats) override {
    ++statsShown;
    eyePoints += static_cast<int>(stats.eye.size());
    if (stats.level) lastLevel = *stats.level;
  }
  void ShowSpectrumBlock(std::span<const int16_t>) override {}
  void ShowCorrelationRow(int, std::span<const float>) override {}
  void ShowFrame(const vela::FrameReport&) override { ++frames; }
  void ShowNoAudio(bool) override {}
  void ShowScan(const vela::BandScanner&) override {}
  void ShowTransmitState(const vela::TransmitState& now, const vela::TransmitState&) override {
    state = now;
  }
  void ClearTransmitPane() override { pane.clear(); }
  void KeepUnsentText(int sent) override { pane = pane.mid(sent); }
  void ShowDial(const std::optional<Dial>&) override {}
  void SetCaptureDevices(QStringList) override {}
  void ShowReceiveRecordingStopped() override {}
  void ShowNote(const QString& text, int) override { note = text; }
  void ShowMessage(QMessageBox::Icon, const QString&, const QString&) override {}
  void CloseWhenReady() override {}
};

class StationTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  vela::test::ScriptedPrompts* prompts_ = nullptr;
  RecordingPtt ptt_;
  std::unique_ptr<vela::AudioInputDevice> input_;
  std::unique_ptr<WavFileOutput> output_;
  // In place of output_ when set: buffers play only when the test says.
  std::unique_ptr<vela::test::ScriptedOutput> scripted_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Station> station_;
  Pacing outputPacing_ = Pacing::AsFastAsPossible;
  // In place of the recording PTT when set: the real one, opened as `rig_` says.
  std::unique_ptr<vela::StationPtt> realPtt_;
  vela::RigSettings rig_;

  QString Path(const QString& name) const { return dir_->filePath(name); }

  // A terminal listening to `input`, playing into air.wav (or `outputPath`).
  void Open(std::unique_ptr<vela::AudioInputDevice> input, QString outputPath = {},
            const QString& recording = {}) {
    Preferences p = Preferences::Defaults();
    p.callsign = QStringLiteral("G4ABC");
    p.secondaryText = QStringLiteral("G4ABC ");
    input_ = std::move(input);
    output_ = std::make_unique<WavFileOutput>(
        (outputPath.isEmpty() ? Path("air.wav") : outputPath).toStdString(), outputPacing_);
    auto prompts = std::make_unique<vela::test::ScriptedPrompts>();
    prompts_ = prompts.get();
    window_ = std::make_unique<MainWindow>(p, std::move(prompts));
    vela::AudioOutputDevice* output = output_.get();
    if (scripted_) output = scripted_.get();
    vela::PttPort* ptt = &ptt_;
    if (realPtt_) ptt = realPtt_.get();
    window_->SetRigSettings(rig_);
    station_ =
        std::make_unique<Station>(*window_, vela::app::StationDevices{input_.get(), output, ptt});
    vela::app::ConnectStation(*window_, *station_);
    window_->show();
    station_->Start(recording, Pacing::AsFastAsPossible);
  }

  void OpenOnRecording(const QString& path, QString outputPath = {}) {
    Open(std::make_unique<WavFileInput>(path.toStdString(), Pacing::AsFastAsPossible), outputPath);
  }

  // A quiet band, and a sound output whose buffers play only when the test plays them.
  void OpenScripted() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    scripted_ = std::make_unique<vela::test::ScriptedOutput>();
    OpenOnRecording(Path("quiet.wav"));
  }

  // A scripted terminal whose PTT is the real one, keyed through `rigctld`.
  void OpenKeyedBy(const vela::test::Rigctld& rigctld) {
    QVERIFY(rigctld.running());
    rig_.method = vela::PttMethod::Rigctld;
    rig_.host = "127.0.0.1";
    rig_.port = rigctld.port();
    realPtt_ = std::make_unique<vela::StationPtt>();
    OpenScripted();
  }

  // Plays the scripted output until `done` holds, a buffer at a time, letting the window's
  // events run in between.
  bool PlayUntil(const std::function<bool()>& done, int maxBuffers = 20000) {
    for (int i = 0; i < maxBuffers && !done(); ++i) {
      scripted_->Pump();
      scripted_->Play(1);
      if (i % 64 == 0) QCoreApplication::processEvents();
    }
    return done();
  }

  // The identifier of callsign E started and run by its clock to its own end: its last 40
  // buffers are still queued, waiting to reach the air.
  void IdentifierLeftDraining() {
    prompts_->text = [](const QString&, const QString&, const QString&) {
      return QStringLiteral("E");
    };
    window_->Command(1002);
    window_->Command(699);
    scripted_->Pump();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->cwIdActive(), 20000);
    QCOMPARE(station_->transmitState().phase, vela::OutputPhase::Draining);
  }

  WavFileInput* recordingInput() const { return static_cast<WavFileInput*>(input_.get()); }

  bool HasMessage(const QString& part) const {
    for (const auto& m : prompts_->messages) {
      if (m.text.contains(part)) return true;
    }
    return false;
  }

  QAbstractButton* Button(int id) const {
    return qobject_cast<QAbstractButton*>(window_->control(id));
  }

  // Sends the pane until its text has come back in red and a few frames more have gone
  // out, so the far end's decoder has it all; then SEND again and wait for the close.
  void SendAndWait(const QString& text) {
    const int64_t framesPerSymbol = window_->modeRate() == 1000 ? 512 : 256;
    window_->Command(110);
    QVERIFY(window_->txActive());
    QTRY_VERIFY_WITH_TIMEOUT(TextIn(window_->receivePane(), kRed).contains(text), 60000);
    const int64_t after = output_->framesWritten() + 4 * 223 * framesPerSymbol;
    QTRY_VERIFY_WITH_TIMEOUT(output_->framesWritten() >= after, 60000);
    window_->Command(110);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    prompts_ = nullptr;
    ptt_.log.clear();
    outputPacing_ = Pacing::AsFastAsPossible;
  }

  void cleanup() {
    station_.reset();
    window_.reset();
    output_.reset();
    scripted_.reset();
    realPtt_.reset();
    rig_ = {};
    input_.reset();
  }

  // The independent implementation's recording, heard as the sound card would hear it.
  void receivedTextInGreenAndSecondaryInBlue() {
    OpenOnRecording(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav"));
    window_->Command(3003);
    QCOMPARE(station_->modem().mode(), Mode::Vela125);
    QTRY_VERIFY_WITH_TIMEOUT(recordingInput()->finished(), 30000);
    QTest::qWait(50);

    const QString primary =
        ReadText(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.primary.txt"));
    const QString secondary =
        ReadText(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.secondary.txt"));
    QVERIFY(!primary.isEmpty() && !secondary.isEmpty());
    QCOMPARE(window_->receivePane()->toPlainText(), primary);
    QCOMPARE(window_->secondaryPane()->toPlainText(), secondary);
    const auto green = Colours(window_->receivePane());
    QCOMPARE(green.size(), size_t{1});
    QCOMPARE(green.begin()->first, kGreen.rgb());
    const auto blue = Colours(window_->secondaryPane());
    QCOMPARE(blue.size(), size_t{1});
    QCOMPARE(blue.begin()->first, kBlue.rgb());

    // The displays followed the signal: a spectrum for the cursor read-out.
    window_->WaterfallHover(96);  // 625 Hz
    QVERIFY(window_->statusPart(2).startsWith(QStringLiteral("Cursor 625.0 Hz, ")));
    QVERIFY(!window_->statusPart(2).endsWith(QStringLiteral(", 0.0 dB")));

    // Start-up told the operator there is no PTT port, once, and left the lines down.
    QCOMPARE(ptt_.log.at(0), std::string("open 0"));
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QCOMPARE(prompts_->messages[0].title, QStringLiteral("Comport"));
    QCOMPARE(prompts_->messages[0].icon, QMessageBox::Information);
    QVERIFY(prompts_->messages[0].text.startsWith(QStringLiteral("Default comport set to 0\n")));
  }

  // The running log holds what the pane showed, stamped with UTC time, mode and frequency;
  // a folder that cannot be written gives one message, and copy goes on in the panes;
  // switched off in the File menu, nothing is logged.
  void receiveLogKeepsTheCopyOrSaysOnceWhyNot() {
    for (const QString& how :
         {QStringLiteral("on"), QStringLiteral("unwritable"), QStringLiteral("off")}) {
      const bool writable = how != QStringLiteral("unwritable");
      OpenOnRecording(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav"));
      const QString folder = writable ? Path(how) : Path("no/such/folder");
      if (writable) QVERIFY(QDir().mkpath(folder));
      station_->OpenReceiveLog(folder);
      if (how == QStringLiteral("off")) window_->menuCommand(1603)->trigger();
      window_->Command(3003);
      QTRY_VERIFY_WITH_TIMEOUT(recordingInput()->finished(), 30000);
      station_->FlushReceiveLog();
      QTest::qWait(50);
      const QString primary =
          ReadText(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.primary.txt"));
      QCOMPARE(window_->receivePane()->toPlainText(), primary);
      const QStringList logs = QDir(folder).entryList({QStringLiteral("VELAlog-*.txt")});
      if (how == QStringLiteral("off")) {
        QVERIFY(logs.isEmpty());
        QVERIFY(!window_->menuCommand(1603)->isChecked());
        cleanup();
        continue;
      }
      if (!writable) {
        QVERIFY(logs.isEmpty());
        const auto& told = prompts_->messages;
        QCOMPARE(std::count_if(told.begin(), told.end(),
                               [](const auto& m) { return m.title == "Receive log"; }),
                 1L);
        cleanup();
        continue;
      }
      QCOMPARE(logs.size(), 1);
      QCOMPARE(logs[0], QStringLiteral("VELAlog-%1.txt")
                            .arg(QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd")));
      // Line ends in the copy end log lines; what is left is the copy itself.
      QString flat = primary;
      flat.remove(u'\n');
      QCOMPARE(LoggedCopy(QDir(folder).filePath(logs[0])), flat);
      cleanup();
    }
  }

  void displayMenuSwitchesTheReceiver() {
    OpenOnRecording(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav"));
    auto* item = window_->findChild<QAction*>(QStringLiteral("m%1").arg(6667));
    QVERIFY(item != nullptr);
    QVERIFY(item->isCheckable());
    QCOMPARE(station_->modem().receiver(), vela::ReceiverKind::Standard);
    item->trigger();
    QVERIFY(item->isChecked());
    QCOMPARE(station_->modem().receiver(), vela::ReceiverKind::Enhanced);
    item->trigger();
    QCOMPARE(station_->modem().receiver(), vela::ReceiverKind::Standard);
  }

  // Pause holds the pane still but loses nothing: the log has the copy at once, the pane
  // on Resume; the secondary channel goes on meanwhile.
  void pauseHoldsTextUntilResume() {
    OpenOnRecording(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav"));
    station_->OpenReceiveLog(dir_->path());
    window_->Command(3003);
    window_->Command(9404);
    QTRY_VERIFY_WITH_TIMEOUT(recordingInput()->finished(), 30000);
    QTest::qWait(50);
    QCOMPARE(window_->receivePane()->toPlainText(), QString());
    QVERIFY(window_->secondaryPane()->toPlainText().startsWith(QStringLiteral("TEST TEST")));
    station_->FlushReceiveLog();
    const QStringList logs = QDir(dir_->path()).entryList({QStringLiteral("VELAlog-*.txt")});
    QCOMPARE(logs.size(), 1);
    const QString primary =
        ReadText(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.primary.txt"));
    QString flat = primary;
    QCOMPARE(LoggedCopy(QDir(dir_->path()).filePath(logs[0])), flat.remove(u'\n'));
    window_->Command(9404);
    QCOMPARE(window_->receivePane()->toPlainText(), primary);
  }

  void receivedControlCharactersEditThePane() {
    OpenOnRecording(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav"));
    window_->ShowReceivedChar('a', kGreen);
    window_->ShowReceivedChar(13, kGreen);
    window_->ShowReceivedChar('b', kRed);
    QCOMPARE(window_->receivePane()->toPlainText(), QStringLiteral("a\nb"));
    // Backspace takes the last character, whatever its colour; on an empty pane, nothing.
    window_->ShowReceivedChar(8, kGreen);
    window_->ShowReceivedChar(8, kGreen);
    QCOMPARE(window_->receivePane()->toPlainText(), QStringLiteral("a"));
    window_->ShowReceivedChar(8, kGreen);
    window_->ShowReceivedChar(8, kGreen);
    QCOMPARE(window_->receivePane()->toPlainText(), QString());
  }

  void sendPutsThePaneOnAirWithPttAroundIt() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const size_t before = ptt_.log.size();
    // Typed text, a character with no Windows-1252 byte (sent as '?') and one with.
    const QString text = QStringLiteral("CQ de G4ABC \u00e9t\u00e9 \u20ac5 \u4e2d k");
    window_->transmitPane()->setPlainText(text);
    QCOMPARE(station_->modem().bitSource().paneText(), std::string("CQ de G4ABC \xe9t\xe9 \x80"
                                                                   "5 ? k"));
    SendAndWait(QStringLiteral("CQ de G4ABC \u00e9t\u00e9 \u20ac5 ? k"));

    // On air: the far end reads back what was typed.
    const std::string heard = Decode(Path("air.wav"), Mode::Vela63);
    QVERIFY2(heard.find("CQ de G4ABC \xe9t\xe9 \x80"
                        "5 ? k") != std::string::npos,
             heard.c_str());
    // Keyed after the device opened, released after the stop, each DTR then RTS.
    const std::vector<std::string> keying{"DTR on", "RTS on", "DTR off", "RTS off"};
    QCOMPARE(ptt_.Since(before), keying);
    // Back to receive: pane emptied, caption, buttons and capture as before.
    QCOMPARE(window_->transmitPane()->toPlainText(), QString());
    QVERIFY(!window_->txActive());
    QCOMPARE(Button(110)->text(), QStringLiteral("F9 Send"));
    QVERIFY(Button(3000)->isEnabled());
    QCOMPARE(station_->capture().state(), vela::CaptureCycle::State::Running);
    // Only the echo is red, and nothing was received from a silent band.
    QCOMPARE(TextIn(window_->receivePane(), kGreen).trimmed(), QString());
    QVERIFY(prompts_->messages.size() == 1);  // the start-up PTT notice alone
  }

  void endMarkerEndsTheTransmissionOnce() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const size_t before = ptt_.log.size();
    window_->transmitPane()->setPlainText(QStringLiteral("QRT [EOT]"));
    window_->Command(110);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->txActive(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    QVERIFY(TextIn(window_->receivePane(), kRed).contains(QStringLiteral("QRT [EOT]")));
    QCOMPARE(window_->transmitPane()->toPlainText(), QString());
    const std::vector<std::string> keying{"DTR on", "RTS on", "DTR off", "RTS off"};
    QCOMPARE(ptt_.Since(before), keying);
  }

  void closingWhileTuningStopsTheCarrierFirst() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const size_t before = ptt_.log.size();
    window_->Command(3912);
    QVERIFY(station_->transmitState().tuning());
    QTRY_VERIFY(output_->framesWritten() > 32000);
    QVERIFY(window_->outputDeviceOpen());
    QVERIFY(!window_->close());  // held until the output has closed
    QVERIFY(window_->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isVisible(), 10000);
    QCOMPARE(station_->transmitState().phase, vela::OutputPhase::Idle);
    const std::vector<std::string> keying{"DTR on", "RTS on", "DTR off", "RTS off"};
    QCOMPARE(ptt_.Since(before), keying);
    // The recording of the carrier was finished: it reads back, with signal in it.
    std::vector<int16_t> samples;
    std::string error;
    QVERIFY2(vela::WavReader::ReadAll(Path("air.wav").toStdString(), 8000, samples, error),
             error.c_str());
    QVERIFY(samples.size() > 8000);
    QVERIFY(*std::max_element(samples.begin(), samples.end()) > 1000);
  }

  // The time limit of the rig settings stops an over left on air after exactly a minute of
  // played buffers (VELA63's 512 samples each), drops PTT, tells the operator and keeps the
  // text in the pane.
  void transmitTimeLimitStopsAnOverLeftOnAir() {
    rig_.txLimitMinutes = 1;
    OpenScripted();
    const size_t before = ptt_.log.size();
    window_->transmitPane()->setPlainText(QStringLiteral("left on"));
    window_->Command(110);
    QVERIFY(PlayUntil([&] { return !window_->outputDeviceOpen(); }, 10000));
    QCOMPARE(scripted_->played, int64_t{60 * 32000 / 512});
    QCOMPARE(ptt_.Since(before),
             (std::vector<std::string>{"DTR on", "RTS on", "DTR off", "RTS off"}));
    QTRY_VERIFY(HasMessage(QStringLiteral("transmit time limit of 1 min")));
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("left on"));
  }

  void modeSelectionReachesTheModem() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const std::pair<int, int> modes[] = {{3000, 8192}, {3001, 2048}, {3003, 512}, {3002, 1024}};
    for (const auto& [id, length] : modes) {
      window_->Command(id);
      QCOMPARE(static_cast<int>(station_->modem().mode()), id - 3000);
      QCOMPARE(station_->modem().bufferLength(), length);
    }
    // VELA125 on air: the far end decodes it at that speed, and the buttons were locked.
    window_->Command(3003);
    window_->transmitPane()->setPlainText(QStringLiteral("fast one"));
    window_->Command(110);
    QVERIFY(!Button(3000)->isEnabled());
    QVERIFY(!window_->menuCommand(120)->isEnabled());
    window_->Command(110);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    QVERIFY(Button(3000)->isEnabled());
    QVERIFY(window_->menuCommand(120)->isEnabled());
    window_->transmitPane()->setPlainText(QStringLiteral("fast one"));
    SendAndWait(QStringLiteral("fast one"));
    const std::string heard = Decode(Path("air.wav"), Mode::Vela125);
    QVERIFY2(heard.find("fast one") != std::string::npos, heard.c_str());
  }

  void delayedReceiveReturnsToReceiveOnceTheMarkerIsOnAir() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const size_t before = ptt_.log.size();
    window_->transmitPane()->setPlainText(QStringLiteral("QRT de G4ABC"));
    window_->Command(1410);  // F10
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("QRT de G4ABC [EOT]"));
    window_->Command(110);
    QVERIFY(window_->txActive());
    QTRY_VERIFY_WITH_TIMEOUT(!window_->txActive(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    // The switch came only once the marker had gone out and come back as echo.
    QVERIFY(TextIn(window_->receivePane(), kRed).contains(QStringLiteral("QRT de G4ABC [EOT]")));
    QCOMPARE(Button(110)->text(), QStringLiteral("F9 Send"));
    QCOMPARE(window_->transmitPane()->toPlainText(), QString());
    const std::vector<std::string> keying{"DTR on", "RTS on", "DTR off", "RTS off"};
    QCOMPARE(ptt_.Since(before), keying);
    QCOMPARE(station_->capture().state(), vela::CaptureCycle::State::Running);
    // The far end reads the text and the marker.
    const std::string heard = Decode(Path("air.wav"), Mode::Vela63);
    QVERIFY2(heard.find("QRT de G4ABC [EOT]") != std::string::npos, heard.c_str());
  }

  void aChangedMarkerEndsOnlyOnTheNewOne() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    const size_t before = ptt_.log.size();
    window_->transmitPane()->setPlainText(QStringLiteral("old [EOT] still on"));
    window_->Command(110);
    // The operator changes the marker while the old one waits to go out.
    prompts_->text = [](const QString&, const QString&, const QString&) {
      return QStringLiteral("SK");
    };
    window_->ContextHelp(9319, QPoint());
    QCOMPARE(window_->settings().endMarker(), QStringLiteral("SK"));
    QTRY_VERIFY_WITH_TIMEOUT(
        TextIn(window_->receivePane(), kRed).contains(QStringLiteral("old [EOT] still on")), 60000);
    QVERIFY(window_->txActive());
    // Typed while on air, the new marker goes out and ends the transmission.
    window_->Command(9319);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->txActive(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    QVERIFY(TextIn(window_->receivePane(), kRed).contains(QStringLiteral("still on SK")));
    const std::vector<std::string> keying{"DTR on", "RTS on", "DTR off", "RTS off"};
    QCOMPARE(ptt_.Since(before), keying);  // one transmission, ended once
  }

  // Keys "TE" (a dash, then a dot) in real time and reads the element lengths back from
  // the recording of the air: key down is the centre-frequency tone, key up a 1 Hz tone.
  void morseIdentifierElementLengthOnAir() {
    outputPacing_ = Pacing::RealTime;
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    prompts_->text = [](const QString&, const QString&, const QString&) {
      return QStringLiteral("TE");
    };
    window_->Command(1002);
    QCOMPARE(window_->cwIdPattern(), std::string("--111---1-"));
    QCOMPARE(window_->cwIdPeriodMs(), 100);
    window_->Command(699);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->cwIdActive(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);

    std::vector<int16_t> air;
    std::string error;
    QVERIFY2(vela::WavReader::ReadAll(Path("air.wav").toStdString(), 0, air, error), error.c_str());
    // Key down where a 64-frame window holds several zero crossings (1000 Hz gives four).
    constexpr size_t kWindow = 64;
    std::vector<bool> down;
    int peakDown = 0;
    int peakUp = 0;
    for (size_t w = 0; w + kWindow <= air.size(); w += kWindow) {
      int crossings = 0;
      int peak = 0;
      for (size_t i = w; i < w + kWindow; ++i) {
        if (i > w && (air[i] < 0) != (air[i - 1] < 0)) ++crossings;
        peak = std::max(peak, std::abs(static_cast<int>(air[i])));
      }
      down.push_back(crossings >= 3);
      (crossings >= 3 ? peakDown : peakUp) = std::max(crossings >= 3 ? peakDown : peakUp, peak);
    }
    std::vector<double> runs;  // key-down runs, in 1024-frame buffers
    std::vector<double> gaps;  // key-up runs between them
    size_t i = 0;
    while (i < down.size()) {
      size_t j = i;
      while (j < down.size() && down[j] == down[i]) ++j;
      const double buffers = static_cast<double>((j - i) * kWindow) / 1024.0;
      if (down[i]) {
        runs.push_back(buffers);
      } else if (i > 0 && j < down.size()) {
        gaps.push_back(buffers);
      }
      i = j;
    }
    QString measured;
    for (double r : runs) measured += QString::number(r) + u' ';
    for (double g : gaps) measured += QStringLiteral("gap ") + QString::number(g) + u' ';
    qInfo("key-down runs (buffers): %s", qPrintable(measured));
    QCOMPARE(runs.size(), size_t{2});
    // 100 ms per element is 3.125 buffers of 32 ms; refills quantise it to whole buffers.
    QVERIFY2(runs[0] >= 9.375 - 1.5 && runs[0] <= 9.375 + 1.5, qPrintable(measured));
    QVERIFY2(runs[1] >= 3.125 - 1.5 && runs[1] <= 3.125 + 1.5, qPrintable(measured));
    QVERIFY2(gaps[0] >= 9.375 - 1.5 && gaps[0] <= 9.375 + 1.5, qPrintable(measured));
    // Whole buffers: every run is a multiple of 1024 frames.
    for (double r : runs) QCOMPARE(r, std::round(r));
    // Key up is a sub-audible tone, not silence; key down has full level.
    QVERIFY(peakDown > 10000);
    QVERIFY2(peakUp > 0, qPrintable(QString::number(peakUp)));
  }

  // Beacon mode: the pane goes out again and again, one secondary character between the
  // repetitions, until the operator ends it.
  void beaconRepeatsThePaneOnAir() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    window_->Command(3300);
    window_->transmitPane()->setPlainText(QStringLiteral("VVV "));
    window_->Command(110);
    QTRY_VERIFY_WITH_TIMEOUT(
        TextIn(window_->receivePane(), kRed).contains(QStringLiteral("VVV VVV VVV VVV ")), 60000);
    QVERIFY(window_->txActive());
    const int64_t after = output_->framesWritten() + 3 * 223 * 512;
    QTRY_VERIFY_WITH_TIMEOUT(output_->framesWritten() >= after, 60000);
    window_->Command(110);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    const FarStation far = Listen(Path("air.wav"), Mode::Vela63);
    QVERIFY2(far.text.find("VVV VVV VVV VVV ") != std::string::npos, far.text.c_str());
    // Between repetitions the secondary channel spells the callsign, a letter each time.
    QVERIFY2(far.secondary.find("G4AB") != std::string::npos, far.secondary.c_str());
    size_t repetitions = 0;
    for (size_t at = far.text.find("VVV "); at != std::string::npos;
         at = far.text.find("VVV ", at + 1)) {
      ++repetitions;
    }
    const QByteArray counts =
        QByteArray::number(repetitions) + " / " + QByteArray::number(far.secondary.size());
    QVERIFY2(far.secondary.size() + 2 >= repetitions && far.secondary.size() <= repetitions + 2,
             counts.constData());
  }

  // SEND is refused while the identifier runs. Pressed as it ends, while its last buffers
  // are still queued, SEND shows at once and is not lost: once the identifier's 2048-value
  // buffers have all gone out, the data follows in VELA125's own 512-value buffers and the
  // far station reads it.
  void sendRightAfterTheIdentifierTakesTheAir() {
    OpenScripted();
    window_->Command(3003);
    prompts_->text = [](const QString&, const QString&, const QString&) {
      return QStringLiteral("E");
    };
    window_->Command(1002);
    window_->Command(699);
    window_->Command(110);
    QVERIFY(!window_->txActive());
    scripted_->Pump();
    QTRY_VERIFY_WITH_TIMEOUT(!window_->cwIdActive(), 20000);
    QVERIFY(window_->outputDeviceOpen());  // its last elements wait to be played
    window_->transmitPane()->setPlainText(QStringLiteral("after the id"));
    window_->Command(110);
    QVERIFY(window_->txActive());
    QCOMPARE(Button(110)->text(), QStringLiteral("F9 Receive"));
    QVERIFY(PlayUntil([&] { return scripted_->opens == 2; }));
    const size_t morseBuffers = scripted_->writes.size() - vela::kOutputBufferCount;
    QVERIFY(PlayUntil([&] {
      return TextIn(window_->receivePane(), kRed).contains(QStringLiteral("after the id"));
    }));
    scripted_->Play(4 * 223);
    window_->Command(110);
    scripted_->Pump();
    QTRY_VERIFY(!window_->outputDeviceOpen());
    const std::vector<int> writes = scripted_->writes;
    QVERIFY(std::all_of(writes.begin(), writes.begin() + static_cast<std::ptrdiff_t>(morseBuffers),
                        [](int n) { return n == 2048; }));
    QVERIFY(std::all_of(writes.begin() + static_cast<std::ptrdiff_t>(morseBuffers), writes.end(),
                        [](int n) { return n == 512; }));
    const std::string heard = DecodeAir(scripted_->sessions.at(1), Mode::Vela125);
    QVERIFY2(heard.find("after the id") != std::string::npos, heard.c_str());
  }

  // F9 in mid-over: what had not reached the far station comes back to the transmit pane,
  // the echo keeps only what went out, and the next over sends the rest with nothing of
  // the first hidden in it; the far station reads the text whole from the two overs.
  void stopInMidOverHandsTheUnsentTextBack() {
    OpenScripted();
    const QString text = QStringLiteral("first words go out, the rest of this text comes back");
    window_->transmitPane()->setPlainText(text);
    window_->Command(110);
    QVERIFY(PlayUntil(
        [&] { return TextIn(window_->receivePane(), kRed).contains(QStringLiteral("go out")); }));
    scripted_->Play(2 * 223);
    window_->Command(110);
    scripted_->Pump();
    QTRY_VERIFY(!window_->outputDeviceOpen());
    const QString rest = window_->transmitPane()->toPlainText();
    const QString sent = text.left(text.size() - rest.size());
    QVERIFY2(text.endsWith(rest) && sent.size() > 5 && rest.size() > 20, qPrintable(rest));
    QCOMPARE(TextIn(window_->receivePane(), kRed).trimmed(), sent.trimmed());
    const auto heard = [&](int over) {
      return QString::fromStdString(DecodeAir(scripted_->sessions.at(static_cast<size_t>(over)),
                                              Mode::Vela63, vela::ReceiverKind::Enhanced))
          .trimmed();
    };
    QVERIFY2(heard(0).startsWith(sent), qPrintable(heard(0)));

    window_->Command(110);
    QVERIFY(PlayUntil([&] { return TextIn(window_->receivePane(), kRed).endsWith(rest); }));
    scripted_->Play(4 * 223);
    window_->Command(110);
    scripted_->Pump();
    QTRY_VERIFY(!window_->outputDeviceOpen());
    QCOMPARE(window_->transmitPane()->toPlainText(), QString());
    // Each over on a line of its own.
    QCOMPARE(TextIn(window_->receivePane(), kRed).trimmed(), sent + u'\n' + rest);
    QCOMPARE(heard(1), rest);
  }

  // The card fails while the identifier's tail plays: the terminal is back to receive, and
  // the next SEND goes on air as usual.
  void outputFailingDuringTheIdentifierTailLeavesSendWorking() {
    OpenScripted();
    IdentifierLeftDraining();
    scripted_->Fail("USB audio unplugged");
    QTRY_VERIFY(HasMessage(QStringLiteral("USB audio unplugged")));
    scripted_->Pump();
    QVERIFY(!window_->outputDeviceOpen());
    QCOMPARE(Button(110)->text(), QStringLiteral("F9 Send"));
    window_->transmitPane()->setPlainText(QStringLiteral("still here"));
    window_->Command(110);
    scripted_->Pump();
    QCOMPARE(scripted_->opens, 2);
    QVERIFY(window_->txActive());
    QVERIFY(PlayUntil([&] {
      return TextIn(window_->receivePane(), kRed).contains(QStringLiteral("still here"));
    }));
  }

  // CWID pressed while a stopped over is still leaving the air: the identifier's clock
  // starts with its own transmission, so its first elements are not keyed into nothing.
  void cwidPressedWhileAStopDrainsKeepsItsFirstElements() {
    OpenScripted();
    window_->Command(110);
    scripted_->Pump();
    scripted_->Play(5);
    window_->Command(110);  // the 40 queued buffers are still on their way back
    window_->Command(699);
    QVERIFY(window_->cwIdActive());
    QTest::qWait(450);  // four element periods of the clock
    QCOMPARE(station_->transmitter().morsePosition(), 1);
    scripted_->Pump();
    QCOMPARE(scripted_->opens, 2);
    QTRY_VERIFY(station_->transmitter().morsePosition() > 1);  // now it ticks
  }

  // The station needs no window: through a scripted view it shows the copy, one display
  // snapshot per captured buffer with every quarter symbol's eye point, and takes the
  // operator's presses as commands.
  void aScriptedViewStandsInForTheWindow() {
    ScriptedView view;
    view.settings_.mode = Mode::Vela125;
    view.settings_.enhancedReceiver = false;
    const QString path = QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.wav");
    WavFileInput input(path.toStdString(), Pacing::AsFastAsPossible);
    vela::test::ScriptedOutput output;
    RecordingPtt ptt;
    Station station(view, vela::app::StationDevices{&input, &output, &ptt});
    station.Start();
    QTRY_VERIFY_WITH_TIMEOUT(input.finished(), 30000);
    QTest::qWait(50);
    QCOMPARE(QString::fromLatin1(view.received.c_str()),
             ReadText(QStringLiteral(VELA_VECTORS_DIR "/example-vela125-8k.primary.txt")));
    const int buffers = static_cast<int>(input.samplesDelivered() / vela::kCaptureBufferSamples);
    QVERIFY2(std::abs(view.statsShown - 1 - buffers) <= 1, qPrintable(QString::number(buffers)));
    // VELA125 is 64 samples a symbol: four eye points for each.
    QVERIFY2(std::abs(view.eyePoints - 4 * buffers * vela::kCaptureBufferSamples / 64) <= 64,
             qPrintable(QString::number(view.eyePoints)));
    QVERIFY(view.frames > 0 && view.lastLevel > 0);

    station.ToggleTune();
    output.Pump();
    QVERIFY(view.state.tuning());
    station.ToggleTune();
    output.Play(100);
    output.Pump();
    QTRY_VERIFY(!view.state.outputOpen());
    QVERIFY(!station.exitRequested());
  }

  void settingsFromTheWindowReachTheModem() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    vela::Modem& modem = station_->modem();
    QCOMPARE(static_cast<double>(modem.rxCentreFrequency()), 1000.0);
    QCOMPARE(modem.squelch(), window_->settings().squelchLevel);
    QCOMPARE(modem.bitSource().secondaryText(), std::string("G4ABC "));
    window_->WaterfallClicked(128);  // 750 Hz
    QCOMPARE(static_cast<double>(modem.rxCentreFrequency()), 750.0);
    window_->WaterfallRightClicked(64);  // 500 Hz
    QCOMPARE(static_cast<double>(modem.txCentreFrequency()), 500.0);
    window_->StepSampleRate(3);
    QCOMPARE(modem.rxSampleRate(), window_->settings().rxSampleRate);
    window_->SquelchClicked(60);
    QCOMPARE(modem.squelch(), window_->settings().squelchLevel);
    window_->Command(3300);
    QVERIFY(modem.bitSource().beacon());
    window_->transmitPane()->setPlainText(QStringLiteral("abc"));
    window_->Command(3251);
    QCOMPARE(modem.bitSource().paneText(), std::string());
  }

  // The Correlation window is one window: asked for again it comes forward, and it is the
  // one the sync search goes on drawing into.
  void correlationDisplayIsOneWindowThatKeepsUpdating() {
    OpenOnRecording(QStringLiteral(VELA_SAMPLE_RECORDING));
    window_->Command(6666);
    auto* first = window_->findChild<vela::app::CorrelationWindow*>();
    QVERIFY(first);
    QVERIFY(QTest::qWaitForWindowExposed(first));
    window_->Command(6666);
    QCOMPARE(window_->findChildren<vela::app::CorrelationWindow*>().size(), 1);
    QVERIFY(first->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(recordingInput()->finished(), 30000);
    QTRY_VERIFY(
        first->figures()->text().startsWith(QStringLiteral("Correlator sync confidence = ")));
    QVERIFY(first->windowTitle().startsWith(QStringLiteral("Correlator sync confidence = ")));
    // Closed, it is made afresh the next time.
    first->close();
    QTRY_VERIFY(window_->findChildren<vela::app::CorrelationWindow*>().isEmpty());
    window_->Command(6666);
    QCOMPARE(window_->findChildren<vela::app::CorrelationWindow*>().size(), 1);
  }

  // ---- Device trouble ----

  void noCaptureDeviceLeavesAWorkingTerminal() {
    OpenOnRecording(Path("absent.wav"));
    QTRY_VERIFY(HasMessage(QStringLiteral("No suitable device found")));
    // No card and no PTT port: one box tells both, each with what to do about it.
    QTest::qWait(20);
    QCOMPARE(prompts_->messages.size(), size_t{1});
    const QString told = prompts_->messages[0].text;
    QVERIFY2(told.startsWith(QStringLiteral(
                 "Default comport set to 0\nGo to PTT to set up a valid comport\n\n")),
             qPrintable(told));
    QVERIFY(told.contains(QStringLiteral("\n\nNo suitable device found\n")));
    QVERIFY(told.contains(QStringLiteral("Soundcard > SelectSoundcard")));
    QCOMPARE(prompts_->messages[0].icon, QMessageBox::Warning);
    QCOMPARE(prompts_->messages[0].title, window_->windowTitle());
    QVERIFY(window_->waterfall()->noAudio());
    QVERIFY(window_->eyeDiagram()->noAudio());
    QVERIFY(!station_->capture().running());
    QVERIFY(window_->isVisible());
    // Sending still works without receive.
    window_->transmitPane()->setPlainText(QStringLiteral("no rx here"));
    SendAndWait(QStringLiteral("no rx here"));
    QVERIFY(!station_->capture().running());
    // The card is back: choosing it again starts capture after the settling pause.
    QVERIFY(WriteSilence(Path("absent.wav"), 0.5));
    prompts_->captureDevice = [](const QStringList& devices) { return devices.isEmpty() ? -1 : 0; };
    window_->Command(672);
    QVERIFY(!station_->capture().running());
    QTRY_VERIFY_WITH_TIMEOUT(station_->capture().running(), 5000);
    QTRY_VERIFY(!window_->waterfall()->noAudio());
  }

  // A card that stops delivering, with no error, leaves the displays saying so rather than
  // showing a frozen picture as if the band were quiet.
  void displaysSayNoAudioWhenInputStops() {
    QVERIFY(WriteSilence(Path("short.wav"), 0.5));
    OpenOnRecording(Path("short.wav"));
    QTRY_VERIFY(recordingInput()->finished());
    QTRY_VERIFY_WITH_TIMEOUT(window_->waterfall()->noAudio(), 4 * Station::kNoAudioMs + 2000);
    QVERIFY(window_->eyeDiagram()->noAudio());
    // The bars drop rather than freeze at the last signal.
    QCOMPARE(window_->levelBar()->level(), 0);
    QCOMPARE(window_->squelchBar()->value(), 0);
    QVERIFY(prompts_->messages.size() <= 1);  // the PTT notice, nothing about audio
    const QImage shown = window_->waterfall()->grab().toImage();
    const QPoint centre = shown.rect().center();
    int yellow = 0;
    for (int x = centre.x() - 30; x <= centre.x() + 30; ++x) {
      for (int y = centre.y() - 6; y <= centre.y() + 6; ++y) {
        const QColor c = shown.pixelColor(x, y);
        if (c.red() > 150 && c.green() > 150 && c.blue() < 80) ++yellow;
      }
    }
    QVERIFY(yellow > 10);
  }

  void captureFailingWhileRunningKeepsPanesAndSettings() {
    Open(std::make_unique<UnpluggedInput>());
    window_->Command(3001);
    window_->transmitPane()->setPlainText(QStringLiteral("keep me"));
    window_->ShowReceivedChar('x', kGreen);
    QTRY_VERIFY(HasMessage(QStringLiteral("unplugged")));
    QVERIFY(!station_->capture().running());
    QVERIFY(window_->isVisible());
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("keep me"));
    QCOMPARE(window_->receivePane()->toPlainText(), QStringLiteral("x"));
    QCOMPARE(station_->modem().mode(), Mode::Vela31);
    // Transmitting afterwards neither resumes the dead card nor fails.
    window_->Command(3912);
    QTRY_VERIFY(output_->framesWritten() > 0);
    window_->Command(3912);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->outputDeviceOpen(), 10000);
    QVERIFY(!station_->capture().running());
  }

  void failedOutputOpenReturnsToReceive() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 60));
    OpenOnRecording(Path("quiet.wav"), Path("no/such/folder/air.wav"));
    const size_t before = ptt_.log.size();
    window_->transmitPane()->setPlainText(QStringLiteral("stays"));
    for (int command : {110, 3912, 699}) {
      prompts_->messages.clear();
      window_->Command(command);
      QTRY_VERIFY(HasMessage(QStringLiteral("Error opening waveform audio device!")));
      QVERIFY(!window_->txActive() && !window_->tuneActive() && !window_->cwIdActive());
      QVERIFY(!window_->outputDeviceOpen());
      QCOMPARE(Button(110)->text(), QStringLiteral("F9 Send"));
      QVERIFY(Button(3000)->isEnabled());
      QCOMPARE(station_->capture().state(), vela::CaptureCycle::State::Running);
      QCOMPARE(station_->modem().bufferLength(), 1024);
    }
    // "CWID OFF", or the tune note a whole repaint of the window puts there since.
    QVERIFY2(window_->statusPart(3) == QStringLiteral("CWID OFF") ||
                 window_->statusPart(3) == QStringLiteral("Tune signal OFF"),
             qPrintable(window_->statusPart(3)));
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("stays"));
    QVERIFY(ptt_.Since(before).empty());  // never keyed
    // The operator can try again at once, and is told again.
    prompts_->messages.clear();
    window_->Command(110);
    QTRY_VERIFY(HasMessage(QStringLiteral("Error opening waveform audio device!")));
    QVERIFY(!window_->txActive());
  }

  void pttPortChoiceOpensThePortAndTellsOfFailure() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 0.5));
    OpenOnRecording(Path("quiet.wav"));
    QTRY_VERIFY(!prompts_->messages.empty());
    prompts_->messages.clear();
    int port = 7;
    prompts_->ptt = [&port](const vela::RigSettings& current) {
      vela::RigSettings chosen = current;
      chosen.comPort = port;
      return std::optional<vela::RigSettings>(chosen);
    };
    window_->Command(120);
    QTRY_VERIFY(HasMessage(QStringLiteral("Failure to open comport")));
    QCOMPARE(prompts_->messages.back().icon, QMessageBox::Critical);
    QCOMPARE(window_->settings().comPort, 7);
    QVERIFY(std::find(ptt_.log.begin(), ptt_.log.end(), "open 7") != ptt_.log.end());
    // "none" in the picker is port 0, tried and reported as a failure (at start-up port 0
    // only gets the notice to set one up).
    prompts_->messages.clear();
    port = 0;
    window_->Command(120);
    QTRY_VERIFY(HasMessage(QStringLiteral("Failure to open comport")));
    QCOMPARE(prompts_->messages.back().icon, QMessageBox::Critical);
    QCOMPARE(ptt_.log.back(), std::string("RTS off"));
    QVERIFY(std::find(ptt_.log.begin(), ptt_.log.end(), "open 0") != ptt_.log.end());
  }

  // PTT through a real rigctld (Hamlib's dummy rig) shared the way a logger would share it:
  // keyed exactly around SEND, tune and CWID as rigctl sees it from outside; the dial set
  // on the rig shows as frequencies on air in the status bar and the waterfall read-out,
  // with and without a converter; rigctld killed while receiving and while on air is told
  // once, with nothing hung and PTT left down.
  void rigctldPttAndDialInTheWindow() {
    vela::test::Rigctld rigctld;
    rigctld.Rigctl("F 136000 M USB 2400");
    OpenKeyedBy(rigctld);
    const auto keyed = [&] { return rigctld.Rigctl("t") == "1"; };
    QTRY_COMPARE_WITH_TIMEOUT(window_->statusPart(1), QStringLiteral("137.0000 kHz"), 10000);
    window_->WaterfallHover(128);  // 750 Hz of audio
    QVERIFY2(window_->statusPart(2).startsWith(QStringLiteral("Cursor 136.7500 kHz, ")),
             qPrintable(window_->statusPart(2)));
    // Lower sideband: the tone is below the dial.
    rigctld.Rigctl("M LSB 2400");
    QTRY_COMPARE_WITH_TIMEOUT(window_->statusPart(1), QStringLiteral("135.0000 kHz"), 10000);

    // SEND, tune and CWID each key the rig for their transmission and release it after.
    for (int command : {110, 3912, 699}) {
      window_->Command(command);
      scripted_->Pump();
      QVERIFY2(keyed(), qPrintable(QString::number(command)));
      if (command == 699) {
        QTRY_VERIFY_WITH_TIMEOUT(!window_->cwIdActive(), 20000);
        QVERIFY(PlayUntil([&] { return !station_->transmitState().onAir(); }));
      } else {
        scripted_->Play(20);
        window_->Command(command);
      }
      scripted_->Pump();
      QVERIFY2(!keyed(), qPrintable(QString::number(command)));
    }

    // A converter in front of the receiver: 136 kHz on a dial showing 10.136 MHz.
    vela::RigSettings converted = rig_;
    converted.converterOffsetHz = -10000000;
    prompts_->ptt = [&](const vela::RigSettings&) { return std::optional(converted); };
    window_->Command(120);
    rigctld.Rigctl("F 10136000 M USB 2400");
    QTRY_COMPARE_WITH_TIMEOUT(window_->statusPart(1), QStringLiteral("137.0000 kHz"), 10000);

    // rigctld goes away while receiving: told once, the frequencies are audio again.
    prompts_->messages.clear();
    rigctld.Signal(SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(HasMessage(QStringLiteral("rigctld")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window_->statusPart(1), QStringLiteral("1000.0 Hz"), 10000);
    // SEND with the rig gone keys nothing and sends nothing, and says why.
    const size_t writes = scripted_->writes.size();
    prompts_->messages.clear();
    window_->Command(110);
    scripted_->Pump();
    QTRY_VERIFY_WITH_TIMEOUT(HasMessage(QStringLiteral("could not be keyed")), 10000);
    QCOMPARE(scripted_->writes.size(), writes);
    QVERIFY(!window_->txActive());
  }

  // A rigctld nobody runs: one box says the rig cannot be reached, and the dial's failed
  // polls after it add no second.
  void anUnreachableRigIsToldInOneBox() {
    rig_.method = vela::PttMethod::Rigctld;
    rig_.host = "127.0.0.1";
    rig_.port = vela::test::Rigctld::FreePort();
    realPtt_ = std::make_unique<vela::StationPtt>();
    OpenScripted();
    QTRY_VERIFY(HasMessage(QStringLiteral("cannot be reached")));
    QTest::qWait(3000);  // the dial is polled every second
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QVERIFY(!HasMessage(QStringLiteral("goes on receiving")));  // nor the dial's words in it
  }

  // A rigctld killed while the rig is keyed: the over ends, the operator is told the rig
  // may still be keyed, and the terminal goes on receiving.
  void rigctldKilledOnAirEndsTheOverAndSaysSo() {
    vela::test::Rigctld rigctld;
    OpenKeyedBy(rigctld);
    window_->Command(110);
    scripted_->Pump();
    QCOMPARE(rigctld.Rigctl("t"), std::string("1"));
    rigctld.Signal(SIGKILL);
    prompts_->messages.clear();
    QElapsedTimer clock;
    clock.start();
    window_->Command(110);            // the operator ends the over
    QVERIFY(clock.elapsed() < 5000);  // bounded waits, never a hang
    scripted_->Pump();
    QTRY_VERIFY_WITH_TIMEOUT(HasMessage(QStringLiteral("may still be keyed")), 10000);
    QVERIFY(!window_->outputDeviceOpen());
    QCOMPARE(station_->capture().state(), vela::CaptureCycle::State::Running);
  }

  // ---- Recordings from the File menu ----

  void decodeRecordingFromTheMenuThenBackToTheCard() {
    QVERIFY(WriteSilence(Path("quiet.wav"), 600));
    Open(std::make_unique<WavFileInput>(Path("quiet.wav").toStdString(), Pacing::RealTime));
    QVERIFY(station_->capture().running());
    station_->SetRecordingPacing(Pacing::AsFastAsPossible);
    prompts_->recording = [] { return QStringLiteral(VELA_SAMPLE_RECORDING); };
    // What the receiver hears is recorded meanwhile (File > Record receive audio...).
    prompts_->recordingTarget = [this](const QString& suggested) {
      return suggested.endsWith(QStringLiteral("Z.wav")) ? Path("heard.wav") : QString();
    };
    window_->menuCommand(1605)->trigger();
    QSignalSpy finished(station_.get(), &Station::recordingFinished);
    window_->Command(1602);
    QVERIFY(station_->decodingRecording());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QCOMPARE(finished.at(0).at(0).toString(), QStringLiteral(VELA_SAMPLE_RECORDING));
    const QString sample = QStringLiteral("CQ CQ CQ de G4ABC G4ABC pse k\nThis is a sample");
    const QString received = TextIn(window_->receivePane(), kGreen);
    QVERIFY2(received.contains(sample), qPrintable(received));
    QVERIFY(window_->secondaryPane()->toPlainText().startsWith(QStringLiteral("G4ABC G")));
    // The sound card listens again.
    QVERIFY(!station_->decodingRecording());
    QTRY_VERIFY(station_->capture().running());
    // The receive recording, stopped, decodes as the sample did.
    window_->menuCommand(1605)->trigger();
    QVERIFY(!window_->menuCommand(1605)->isChecked());
    window_->receivePane()->clear();
    prompts_->recording = [this] { return Path("heard.wav"); };
    window_->Command(1602);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 60000);
    QVERIFY2(TextIn(window_->receivePane(), kGreen).contains(sample),
             qPrintable(TextIn(window_->receivePane(), kGreen)));
    QTRY_VERIFY(station_->capture().running());

    // A recording that cannot be read is reported, and the card keeps listening.
    prompts_->recording = [this] { return Path("garbage.wav"); };
    QFile garbage(Path("garbage.wav"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a recording");
    garbage.close();
    prompts_->messages.clear();
    window_->Command(1602);
    QTRY_VERIFY(!prompts_->messages.empty());
    QTRY_VERIFY(!station_->decodingRecording());
    QTRY_VERIFY(station_->capture().running());
  }

  // Started on a recording without a sound card: the recording decodes first, and when it
  // has ended the status bar (not a box in the middle of a session) says the card is
  // missing.
  void startOnARecordingThenTheMissingCard() {
    Open(std::make_unique<WavFileInput>(Path("absent.wav").toStdString(), Pacing::RealTime), {},
         QStringLiteral(VELA_SAMPLE_RECORDING));
    QVERIFY(station_->decodingRecording());
    QSignalSpy finished(station_.get(), &Station::recordingFinished);
    QTest::qWait(20);
    QVERIFY(!HasMessage(QStringLiteral("No suitable device found")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QVERIFY(TextIn(window_->receivePane(), kGreen).contains(QStringLiteral("73 de G4ABC")));
    const QString note = window_->statusBarWidget()->note();
    QVERIFY2(note.startsWith(QStringLiteral("End of recording vela-sample.wav; No suitable "
                                            "device found")),
             qPrintable(note));
    QTest::qWait(50);
    QVERIFY(!HasMessage(QStringLiteral("No suitable device found")));
    QVERIFY(window_->waterfall()->noAudio());
    QVERIFY(!station_->decodingRecording());
    QVERIFY(!station_->capture().running());
    QVERIFY(window_->isVisible());
  }
};

QTEST_MAIN(StationTest)
#include "StationTest.moc"
