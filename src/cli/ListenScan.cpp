#include "cli/ListenScan.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audio/PortAudioInput.h"
#include "audio/PortAudioSystem.h"
#include "cli/LiveCommands.h"
#include "cli/Options.h"
#include "cli/Scan.h"
#include "cli/Spots.h"
#include "cli/StopSignals.h"
#include "coding/Charset.h"
#include "coding/Modes.h"
#include "scan/BandScanner.h"
#include "station/CaptureCycle.h"
#include "station/StationCore.h"

namespace vela::cli {

namespace {

// Text lines longer than this are shown in pieces as they fill.
constexpr size_t kLineWidth = 64;
// Scanner time per 100 ms tick: half the tick, so the capture is always served first.
constexpr std::chrono::microseconds kScanBudget{50000};

void Print(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
  std::fflush(stdout);
}

class ScanPrinter : public StationSubscriber {
 public:
  void SignalListed(const BandScanner&, const ScanSignal& s) override {
    Print(ScanHeadline(s) + "\n");
  }
  void SignalChanged(const BandScanner&, const ScanSignal& s) override { Show(s, false); }
  void SignalDropped(const BandScanner&, const ScanSignal& s) override {
    Show(s, true);
    char line[96];
    std::snprintf(line, sizeof line, "lost freq %.2f mode %s call ", s.centreHz,
                  std::string(ModeTable(s.mode).name).c_str());
    Print(line + (s.call.empty() ? std::string("-") : Windows1252ToVisibleUtf8(s.call)) + "\n");
  }

 private:
  // New whole lines of the signal's text (or full-width pieces, or with `all` the rest),
  // tagged with its centre.
  void Show(const ScanSignal& s, bool all) {
    size_t& shown = shown_[s.id];
    while (true) {
      const std::string_view rest = std::string_view(s.text).substr(shown);
      const size_t newline = rest.find('\n');
      size_t take = 0;
      if (newline != std::string_view::npos) {
        take = newline + 1;
      } else if (rest.size() >= kLineWidth) {
        take = kLineWidth;
      } else if (all) {
        take = rest.size();
      }
      if (take == 0) break;
      std::string line(rest.substr(0, take));
      if (line.back() == '\n') line.pop_back();
      char tag[32];
      std::snprintf(tag, sizeof tag, "  %.2f | ", s.centreHz);
      Print(tag + Windows1252ToVisibleUtf8(line) + "\n");
      shown += take;
    }
  }
  void CaptureError(const std::string& text) override { error = text; }
  std::map<int, size_t> shown_;

 public:
  std::string error;
};

}  // namespace

int ListenScan(const Options& opt, char** argv) {
  ScanConfig config = ScanOptions(opt);
  opt.Integer("device", 0, 0, 999);
  const double rate = opt.Number("rate", kNominalRxRate, 1000.0, 192000.0);
  if (CaptureCycle::CaptureRate(rate) != kScanSampleRate)
    throw UsageError("listen --scan takes audio at 8000 samples per second (--rate near 8000)");
  config.sampleRate = rate;
  config.squelch = static_cast<int>(opt.Integer("squelch", kDefaultSquelch, 0, 100));

  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  PortAudioSystem system;
  if (!system.ok()) throw IoError("sound system: " + system.error());
  const int device = DeviceOption(opt, system);
  std::optional<CliSpots> spots;
  if (const auto settings = SpotOptions(opt, opt.Has("spot"), false)) spots.emplace(*settings);
  ScanPrinter printer;
  StationCore core;
  core.SetMainReceiver(false);
  core.Subscribe(printer);
  if (spots) core.Subscribe(*spots);  // declared first: it outlives the core
  BandScanner& scanner = core.AddScanner(config, kScanBudget);
  PortAudioInput input(system);
  CaptureCycle capture(input, core);
  if (!capture.StartCapture(device, rate)) {
    throw IoError(printer.error + (input.error().empty() ? "" : ": " + input.error()));
  }
  CatchStopSignals();
  QTimer tick;
  bool wasScanning = true;
  tick.callOnTimeout([&] {
    // Standard output that cannot be written ends the run (main reports it, status 1).
    if (stopSignal != 0 || !capture.running() || std::ferror(stdout)) QCoreApplication::quit();
    core.RunScanners();
    if (wasScanning && !scanner.scanning()) {
      std::fprintf(stderr, "vela-modem: scan %.1f s behind: search paused, copying goes on\n",
                   scanner.lagSeconds());
    }
    wasScanning = scanner.scanning();
    if (spots) {
      spots->reporter().Poll();
      spots->Say();
    }
  });
  tick.start(100);
  app.exec();
  capture.StopCapture();
  scanner.Run(std::chrono::seconds(10));
  scanner.Flush();
  Print("\n");
  for (const ScanSignal& s : scanner.Heard()) Print(ScanHeadline(s) + "\n" + IndentedText(s.text));
  if (spots) spots->Finish();
  if (!printer.error.empty()) throw IoError("capture stopped: " + printer.error);
  if (input.overruns() > 0) {
    std::fprintf(stderr, "vela-modem: %lld capture overruns (audio lost)\n",
                 static_cast<long long>(input.overruns()));
  }
  return 0;
}

}  // namespace vela::cli
