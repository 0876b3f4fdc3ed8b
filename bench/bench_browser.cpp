// What the open signal browser costs the window's one thread: a band with three signals on
// (VELA8, VELA63, VELA125, a few dB over the enhanced receiver's threshold), or twenty (all
// four modes side by side across the band), fed a capture buffer at a time into the browser
// as the station does, with the event loop run after every buffer so the scanner's turn, the
// list and the scale's marks all really happen. Reports the thread's CPU time per second of
// audio as a share of one core, and beside it the scanner's alone on the same audio: the rest
// is the list's.
// Usage: bench_browser [seconds of audio, default 120] [signals: 3 (default) or 20] [--show].
// Run with QT_QPA_PLATFORM=offscreen (set here if unset); with --show on a display, the two
// windows stay up afterwards as the band left them, for a look or a picture.
#include <QApplication>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "app/window/MainWindow.h"
#include "app/window/SignalBrowser.h"
#include "cli/Sweep.h"
#include "station/CaptureCycle.h"
#include "station/StationCore.h"
#include "support/Band.h"

namespace {

using namespace vela;

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<int16_t> ThreeSignals(double seconds) {
  const std::string text = vela::SweepText(2000);
  const std::vector<test::BandTransmission> band = {
      {Mode::Vela8, 612.34, test::EnhancedThreshold(Mode::Vela8) + 3.0, "G3ABC",
       text.substr(0, 60)},
      {Mode::Vela63, 1311.13, test::EnhancedThreshold(Mode::Vela63) + 3.0, "DL2XYZ",
       text.substr(60, 600)},
      {Mode::Vela125, 1787.71, test::EnhancedThreshold(Mode::Vela125) + 3.0, "PA0QQ",
       text.substr(660, 1200)},
  };
  std::vector<int16_t> samples = test::Band(band, 7, seconds);
  samples.resize(static_cast<size_t>(seconds * 8000.0) / kCaptureBufferSamples *
                 kCaptureBufferSamples);
  return samples;
}

// For a look at the window (--show): one station has called and gone, two are on, their
// calls come.
std::vector<int16_t> ThreeStations(double seconds) {
  const std::vector<test::BandTransmission> band = {
      {Mode::Vela63, 812.37, -7.0, "G3ABC", "cq cq cq de G3ABC G3ABC pse k\n", 0.0, 6},
      {Mode::Vela125, 1403.71, -3.0, "PA0QQ",
       "G3ABC de PA0QQ gm es tnx fer call, rst 559, QTH nr Utrecht, rig 5W es loop\n", 4.0, 40},
      {Mode::Vela31, 1811.13, -10.0, "DL2XYZ", "G3ABC de DL2XYZ, 73 es gd DX\n", 12.0, 20},
  };
  std::vector<int16_t> samples = test::Band(band, 7, seconds);
  samples.resize(static_cast<size_t>(seconds * 8000.0) / kCaptureBufferSamples *
                 kCaptureBufferSamples);
  return samples;
}

// Twenty stations 85 Hz apart, VELA8 and VELA31 between the wider VELA63 ones, a VELA125
// at the top; each 3 dB over its threshold and sending for the whole time.
std::vector<int16_t> TwentySignals(double seconds) {
  const std::string text = SweepText(4000);
  const Mode cycle[] = {Mode::Vela8, Mode::Vela31, Mode::Vela8, Mode::Vela63};
  std::vector<test::BandTransmission> band;
  for (int i = 0; i < 20; ++i) {
    const Mode mode = i == 19 ? Mode::Vela125 : cycle[i % 4];
    const double hz = i == 19 ? 300.0 + 85.0 * 18 + 150.0 : 300.0 + 85.0 * i;
    const auto chars = static_cast<size_t>(seconds * ModeTable(mode).symbolRate / 16.0) + 20;
    band.push_back(
        {mode, hz + 0.37 * i, test::EnhancedThreshold(mode) + 3.0,
         "DL" + std::to_string(i % 10) + std::string(1, static_cast<char>('A' + i)) + "XY",
         text.substr(static_cast<size_t>(i) * 100, chars), 0.0});
  }
  std::vector<int16_t> samples = test::Band(band, 7, seconds);
  samples.resize(static_cast<size_t>(seconds * 8000.0) / kCaptureBufferSamples *
                 kCaptureBufferSamples);
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 120.0;
  const int stations = argc > 2 ? std::atoi(argv[2]) : 3;
  const bool show = argc > 3 && std::string(argv[3]) == "--show";
  const std::vector<int16_t> band = stations == 20 ? TwentySignals(seconds)
                                    : show         ? ThreeStations(seconds)
                                                   : ThreeSignals(seconds);
  const double audio = static_cast<double>(band.size()) / 8000.0;

  // The scanner alone, as the browser drives it.
  double scannerBusy = 0.0;
  {
    BandScanner scanner(ScanConfig{});
    const double start = ThreadSeconds();
    for (size_t at = 0; at < band.size(); at += kCaptureBufferSamples) {
      scanner.Push(std::span(band).subspan(at, kCaptureBufferSamples));
      scanner.Run(app::SignalBrowser::kRunBudget);
    }
    scannerBusy = ThreadSeconds() - start;
  }

  // The station's scanner, as the window asks for it, heard through the capture path's end.
  StationCore core;
  core.SetMainReceiver(false);
  const BandScanner& scanner = core.AddScanner(
      app::SignalBrowser::ScanFor(kNominalRxRate, kDefaultSquelch), app::SignalBrowser::kRunBudget);
  app::MainWindow window(app::Preferences::Defaults());
  window.ShowDial(app::MainWindow::Dial{135700.0, "USB"});
  window.show();
  // On a desktop, the main window placed before the browser opens beside it.
  for (int i = 0; show && i < 20; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  auto* browser = new app::SignalBrowser(window, scanner);
  browser->show();
  QCoreApplication::processEvents();

  const double start = ThreadSeconds();
  for (size_t at = 0; at < band.size(); at += kCaptureBufferSamples) {
    core.CaptureSamples(std::span(band).subspan(at, kCaptureBufferSamples));
    core.RunScanners();
    browser->ScannerRan();
    QCoreApplication::processEvents();
  }
  const double busy = ThreadSeconds() - start;
  std::printf(
      "signal browser, %d signals, %.0f s of audio: %.2f%% of a core (%.0fx real time); the "
      "scanner alone %.2f%%, the list %.2f%%; %d listed at the end (%zu heard now), %.1f s "
      "unsearched\n",
      stations, audio, 100.0 * busy / audio, audio / busy, 100.0 * scannerBusy / audio,
      100.0 * (busy - scannerBusy) / audio, browser->list()->topLevelItemCount(),
      browser->scanner().listed().size(), browser->scanner().unsearchedSeconds());
  if (show) {
    browser->raise();
    return QApplication::exec();
  }
  return 0;
}
