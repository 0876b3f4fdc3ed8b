#include "cli/LiveCommands.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/PortAudioInput.h"
#include "audio/PortAudioOutput.h"
#include "audio/PortAudioSystem.h"
#include "cli/ListenScan.h"
#include "cli/Options.h"
#include "cli/PttOption.h"
#include "cli/Receiver.h"
#include "cli/RigCommands.h"
#include "cli/Spots.h"
#include "cli/StopSignals.h"
#include "cli/UdpOption.h"
#include "coding/Charset.h"
#include "coding/Modes.h"
#include "modem/Modem.h"
#include "modem/TextTransmission.h"
#include "rig/SerialPtt.h"
#include "rx/ReceivePane.h"
#include "scan/BandScanner.h"
#include "station/CaptureCycle.h"
#include "station/ReceiveLog.h"
#include "station/StationCore.h"
#include "station/StationSettings.h"
#include "station/TransmitController.h"
#include "tx/BitSource.h"

namespace vela::cli {

namespace {

int stdoutError = 0;  // the first failure to write standard output

// Copy as it arrives: a carriage return starts a new line as in the receive pane; other
// control characters show by name.
void PrintBytes(const std::string& bytes) {
  std::string lines = bytes;
  for (char& c : lines) c = static_cast<char>(PaneCharacter(static_cast<uint8_t>(c)));
  const std::string text = Windows1252ToVisibleUtf8(lines);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (std::fflush(stdout) != 0 && stdoutError == 0) stdoutError = errno != 0 ? errno : EIO;
}

class ListenEvents : public StationSubscriber {
 public:
  void RxChar(uint8_t c) override {
    PrintBytes(std::string(1, static_cast<char>(c)));
    if (log) log->Add(ReceiveLog::Kind::Received, c);
    if (!udp) return;
    // A logger is told of each line of copy as it ends.
    if (c == '\n' || c == '\r' || line.size() >= kLineLength) EndLine();
    if (c != '\n' && c != '\r') line.push_back(static_cast<char>(c));
  }
  void SecondaryChar(uint8_t c) override {
    secondary.push_back(static_cast<char>(c));
    if (log) log->Add(ReceiveLog::Kind::Secondary, c);
  }
  void EndLine() {
    if (udp) SendDecodeLine(*udp, Windows1252ToUtf8(line), mode, audioHz, level(), false);
    line.clear();
  }
  void CaptureError(const std::string& text) override { error = text; }
  std::string error;

  std::string secondary;
  ReceiveLog* log = nullptr;
  // The logger's end, with what its decodes say.
  static constexpr size_t kLineLength = 100;
  UdpMessages* udp = nullptr;
  std::string mode;
  double audioHz = 0;
  std::function<int()> level;
  std::string line;
};

// What send shows and does around the station core: the echo printed, the over ended once
// the text is out (SEND pressed again, as the operator would), the program ended when the
// output has closed, and the failures worded.
class SendPrinter : public StationSubscriber, public StationHost {
 public:
  void EchoChar(uint8_t c) override { PrintBytes(std::string(1, static_cast<char>(c))); }
  void TextSent() override {
    // Pressed once this refill has returned.
    QTimer::singleShot(0, [this] {
      if (core->transmitter().state().sending()) core->transmitter().Send();
    });
  }
  void TransmitStateChanged(const TransmitState& now, const TransmitState&) override {
    if (now.phase == OutputPhase::Idle) QCoreApplication::quit();
  }
  void TransmitFailed(TransmitProblem problem, const std::string& detail) override {
    switch (problem) {
      case TransmitProblem::OutputOpenFailed:
        error = "cannot open the sound output";
        break;
      case TransmitProblem::OutputFailed:
        error = "sound output failed";
        break;
      case TransmitProblem::PttFailed:
        error = "PTT: the transmitter could not be keyed";
        break;
      case TransmitProblem::PttReleaseFailed:
        error = "PTT: the rig did not confirm the release; it may still be keyed";
        break;
      case TransmitProblem::TimeLimit:
        error = "send: stopped at the transmit time limit of " +
                std::to_string(core->transmitter().timeLimit().count() / 60) +
                " min (--tx-limit); PTT released";
        break;
    }
    if (!detail.empty()) error += ": " + detail;
  }
  void ReadyToExit() override { QCoreApplication::quit(); }

  std::string error;
  StationCore* core = nullptr;
};

// PortAudio can block for ever in a stop or a close once the sound server has gone away (in
// a futex no signal reaches). The watchdog ends listen without the sound system when the
// main thread does not come back: within kLetGo after a signal or once listening has been
// wrapped up, and after kStall at any time; the copy is saved first.
class SoundWatchdog {
 public:
  static constexpr std::chrono::seconds kLetGo{5};
  static constexpr std::chrono::seconds kStall{20};

  // `saveCopy` writes what is still held (the log's last line, the secondary text);
  // `stderrFilter` is put out of the way before the last word.
  SoundWatchdog(std::function<void()> saveCopy, PortAudioNoiseFilter& stderrFilter)
      : saveCopy_(std::move(saveCopy)), filter_(stderrFilter), thread_([this] { Run(); }) {}
  ~SoundWatchdog() {
    {
      const std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  SoundWatchdog(const SoundWatchdog&) = delete;
  SoundWatchdog& operator=(const SoundWatchdog&) = delete;

  // The main thread is alive.
  void Beat() { lastBeat_ = Clock::now().time_since_epoch().count(); }
  // The copy is saved and `status` is listen's; what follows only lets the sound system go.
  void Ending(int status) {
    status_ = status;
    ending_ = true;
    Beat();
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
      const auto stalled = Clock::now() - Clock::time_point(Clock::duration(lastBeat_.load()));
      if (!(((ending_ || stopSignal != 0) && stalled > kLetGo) || stalled > kStall)) continue;
      if (!ending_) {
        try {
          saveCopy_();
        } catch (const std::exception& e) {
          std::fprintf(stderr, "vela-modem: %s\n", e.what());
        }
      }
      std::fflush(stdout);
      filter_.Stop();
      std::fprintf(stderr,
                   "vela-modem: the sound system stopped answering (its server gone?); listen "
                   "ended without it\n");
      _exit(ending_ ? status_.load() : 1);
    }
  }

  std::function<void()> saveCopy_;
  PortAudioNoiseFilter& filter_;
  std::atomic<Clock::rep> lastBeat_{Clock::now().time_since_epoch().count()};
  std::atomic<bool> ending_{false};
  std::atomic<int> status_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

int DeviceOption(const Options& opt, const PortAudioSystem& system) {
  const long device = opt.Integer("device", 0, 0, 999);
  const size_t count = system.CaptureDevices().size();
  // Device 0 is the system default, which plays even on a machine with nothing to record.
  if (device != 0 && static_cast<size_t>(device) >= count) {
    throw IoError("there is no sound device " + std::to_string(device) + " (" +
                  std::to_string(count) + " found; vela-modem devices lists them)");
  }
  return static_cast<int>(device);
}

int RunDevices(int argc, char** argv) {
  const Options opt(argc, argv, 2, {}, {"rigs"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  if (opt.Has("rigs")) return RunRigModels();
  PortAudioSystem system;
  if (!system.ok()) throw IoError("sound system: " + system.error());
  std::printf("capture devices (--device N):\n");
  const auto inputs = system.CaptureDevices();
  if (inputs.empty()) std::printf("  none\n");
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::printf("  %2zu  %s (%s)%s\n", i, inputs[i].name.c_str(), inputs[i].hostApi.c_str(),
                i == 0 ? "  [system default]" : "");
  }
  std::printf("playback devices:\n");
  const auto outputs = system.OutputDevices();
  if (outputs.empty()) std::printf("  none\n");
  for (const auto& d : outputs) std::printf("      %s (%s)\n", d.name.c_str(), d.hostApi.c_str());
  std::printf("serial ports (--ptt COMn):\n");
  const auto ports = ComPortDevices();
  if (ports.empty()) std::printf("  none\n");
  for (size_t i = 0; i < ports.size() && i < 9; ++i) {
    std::printf("  COM%zu  %s\n", i + 1, ports[i].c_str());
  }
  return 0;
}

int RunListen(int argc, char** argv) {
  std::set<std::string> valued{"device",   "mode", "freq", "rate", "squelch", "secondary-out",
                               "receiver", "log",  "from", "to",   "udp"};
  valued.insert(std::begin(kSpotOptions), std::end(kSpotOptions));
  const Options opt(argc, argv, 2, valued, {"scan", "spot"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  if (opt.Has("scan")) {
    if (opt.Has("udp")) throw UsageError("--udp does not go with --scan");
    return ListenScan(opt, argv);
  }
  if (opt.Has("from") || opt.Has("to")) throw UsageError("--from and --to go with --scan");
  opt.Integer("device", 0, 0, 999);  // checked against the cards once the sound system is up
  const Mode mode = opt.ModeOption();
  const double rate = opt.Number("rate", kNominalRxRate, 1000.0, 192000.0);
  const double freq = ReceiveFrequencyOption(opt, mode, rate);
  const int squelch = static_cast<int>(opt.Integer("squelch", kDefaultSquelch, 0, 100));
  const ReceiverKind receiver = ReceiverOption(opt);
  const std::optional<SpotSettings> spotSettings = SpotOptions(opt, opt.Has("spot"), false);
  if (spotSettings && CaptureCycle::CaptureRate(rate) != kScanSampleRate)
    throw UsageError("listen --spot takes audio at 8000 samples per second (--rate near 8000)");
  // Spots measure the station over a few symbol rates around it, within the 8000 Hz audio.
  const double reach = 2.0 * ModeTable(mode).symbolRate + 10.0;
  if (spotSettings && freq + reach > 3999.0)
    throw UsageError("listen --spot takes --freq below " + std::to_string(int(3999.0 - reach)));

  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  PortAudioNoiseFilter stderrFilter;
  PortAudioSystem system;
  if (!system.ok()) throw IoError("sound system: " + system.error());
  const int device = DeviceOption(opt, system);
  ListenEvents events;
  std::optional<ReceiveLog> log;
  if (const auto path = opt.Get("log")) {
    log = ReceiveLog::ToFile(*path);
    log->SetMode(std::string(ModeTable(mode).name));
    log->SetFrequency(freq);
    events.log = &*log;
  }
  StationCore core;
  core.Subscribe(events);
  Modem& modem = core.modem();
  const std::unique_ptr<UdpMessages> udp = OpenUdpOption(opt);
  wsjtx::Status status;
  if (udp) {
    events.udp = udp.get();
    events.mode = std::string(ModeTable(mode).name);
    events.audioHz = freq;
    events.level = [&modem] { return modem.signalLevel(); };
    status.mode = events.mode;
    status.rxAudioHz = status.txAudioHz = static_cast<uint32_t>(std::lround(freq));
    status.decoding = true;
    udp->SetStatus(status);
    // Only a locator is ours to take from a logger while listening; there is no transmitter.
    udp->handlers.location = [&](const std::string& locator) {
      status.deGrid = locator;
      udp->SetStatus(status);
    };
  }
  StationSettings settings;
  settings.mode = mode;
  settings.rxSampleRate = rate;
  settings.rxCentreFrequency = freq;
  settings.squelch = squelch;
  settings.receiver = receiver;
  core.Apply(settings);
  PortAudioInput input(system);
  std::optional<CliSpots> spots;
  BandScanner* scanner = nullptr;
  if (spotSettings) {
    spots.emplace(*spotSettings);
    // A scanner over the receive frequency alone measures the station's S/N and reads its
    // call by the same rule as the band scan.
    core.Subscribe(*spots);
    ScanConfig config;
    config.modes = {mode};
    config.fromHz = std::max(1.0, freq - reach);
    config.toHz = std::min(3999.0, freq + reach);
    config.sampleRate = rate;
    config.squelch = squelch;
    config.textLimit = 4096;
    scanner = &core.AddScanner(config, std::chrono::milliseconds(50));
  }
  CaptureCycle capture(input, core);
  if (!capture.StartCapture(device, rate)) {
    throw IoError(events.error + (input.error().empty() ? "" : ": " + input.error()));
  }
  CatchStopSignals();
  // The copy held, written at the end (or by the watchdog, should the sound system hang).
  const auto saveCopy = [&] {
    if (log) log->FlushAll();
    std::printf("\n");
    if (const auto out = opt.Get("secondary-out")) {
      WriteFileBytes(*out, Windows1252ToUtf8(events.secondary));
    }
  };
  SoundWatchdog watchdog(saveCopy, stderrFilter);
  QTimer watch;
  int ticks = 0;
  // Copy that can reach neither the log nor standard output ends listening, status 1.
  std::string failure;
  watch.callOnTimeout([&] {
    watchdog.Beat();
    if (log && ++ticks % 10 == 0) {
      log->Flush();
      if (const auto error = log->TakeError()) failure = *error;
    }
    if (stdoutError != 0 && failure.empty())
      failure = std::string("standard output: ") + std::strerror(stdoutError);
    if (stopSignal != 0 || !capture.running() || !failure.empty()) QCoreApplication::quit();
    if (scanner) {
      core.RunScanners();
      spots->reporter().Poll();
      spots->Say();
    }
  });
  watch.start(100);
  app.exec();
  watchdog.Beat();
  if (scanner) {
    // What the spot scanner still holds, in slices short enough to keep the watchdog fed.
    for (int slice = 0; slice < 5; ++slice) {
      scanner->Run(std::chrono::seconds(2));
      watchdog.Beat();
    }
    scanner->Flush();
    core.Unsubscribe(*spots);
    spots->Finish();
    watchdog.Beat();
  }
  if (udp) {
    events.EndLine();
    status.decoding = false;
    udp->SetStatus(status);
    udp->Close();
    if (const auto error = udp->TakeError(); error && failure.empty()) failure = *error;
  }
  saveCopy();
  if (log) {
    if (const auto error = log->TakeError(); error && failure.empty()) failure = *error;
  }
  std::fflush(stdout);
  watchdog.Ending(failure.empty() && events.error.empty() ? 0 : 1);
  capture.StopCapture();
  input.Close();
  if (!failure.empty()) throw IoError(failure);
  if (!events.error.empty()) throw IoError("capture stopped: " + events.error);
  if (input.overruns() > 0) {
    std::fprintf(stderr, "vela-modem: %lld capture overruns (audio lost)\n",
                 static_cast<long long>(input.overruns()));
  }
  return 0;
}

int RunSend(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"device", "ptt", "mode", "freq", "secondary", "tail-frames", "text",
                     "text-file", "tx-limit", "udp"},
                    {"iq"});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  const TransmitSettings settings = TransmitOptions(opt, "send");
  opt.Integer("device", 0, 0, 999);
  const std::string pttName = opt.Get("ptt").value_or("none");
  const long txLimit = opt.Integer("tx-limit", 0, 0, kMaxTxLimitMinutes);

  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  const std::unique_ptr<PttControl> ptt = OpenPttOption(pttName);
  PortAudioSystem system;
  if (!system.ok()) throw IoError("sound system: " + system.error());
  const int device = DeviceOption(opt, system);
  PortAudioOutput output(system);
  SendPrinter printer;
  StationCore core(output, printer);
  printer.core = &core;
  core.Subscribe(printer);
  Modem& modem = core.modem();
  modem.SetMode(settings.mode);
  modem.SetTxCentreFrequency(settings.centreFrequency);
  modem.SetOutputStyle(settings.style);
  modem.bitSource().SetSecondaryText(settings.secondaryText);
  core.SendText(settings.text, settings.tailFrames);
  TransmitController& controller = core.transmitter();
  controller.SetPtt(ptt.get());
  controller.SetOutputDevice(device);
  controller.SetTimeLimit(std::chrono::minutes(txLimit));
  CatchStopSignals();
  const std::unique_ptr<UdpMessages> udp = OpenUdpOption(opt);
  bool halted = false;
  wsjtx::Status status;
  if (udp) {
    status.mode = std::string(ModeTable(settings.mode).name);
    status.rxAudioHz = status.txAudioHz =
        static_cast<uint32_t>(std::lround(static_cast<double>(settings.centreFrequency)));
    status.txEnabled = status.transmitting = true;
    udp->SetStatus(status);
    // A logger's halt stops the transmitter at once (PTT drops with it). Asked only to stop
    // repeating, there is nothing to do: this one text is all send sends.
    udp->handlers.haltTx = [&](bool autoTxOnly) {
      if (autoTxOnly || controller.exitRequested()) return;
      halted = true;
      controller.RequestExit();
    };
  }
  controller.Send();
  if (!controller.state().outputOpen()) throw IoError(printer.error);
  QTimer watch;
  watch.callOnTimeout([&] {
    // Interrupted: stop at once; the release of PTT comes with the stop.
    if (stopSignal != 0 && !controller.exitRequested()) controller.RequestExit();
  });
  watch.start(100);
  app.exec();
  std::printf("\n");
  std::optional<std::string> udpError;
  if (udp) {
    status.txEnabled = status.transmitting = false;
    udp->SetStatus(status);
    udp->Close();
    udpError = udp->TakeError();
  }
  if (!printer.error.empty()) throw IoError(printer.error);
  if (halted) throw IoError("send: halted by the logger (UDP); PTT released");
  if (stopSignal != 0) {
    throw IoError(std::string("send: interrupted by SIG") + sigabbrev_np(stopSignal) +
                  "; PTT released");
  }
  if (core.textFailed()) throw IoError("send: the transmitter's echo never showed the whole text");
  if (udpError) throw IoError(*udpError);
  if (output.underruns() > 0) {
    std::fprintf(stderr, "vela-modem: %lld output underruns (silence sent)\n",
                 static_cast<long long>(output.underruns()));
  }
  return 0;
}

}  // namespace vela::cli
