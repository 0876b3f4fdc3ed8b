// What the open signal browser costs the window's one thread: a band with three signals on
// (VELA8, VELA63, VELA125, a few dB over the enhanced receiver's threshold), fed a capture
// buffer at a time into the browser as the station does, with the event loop run after every
// buffer so the scanner's turn, the list and the scale's marks all really happen. Reports the
// thread's CPU time per second of audio as a share of one core.
// Usage: bench_browser [seconds of audio, default 120]. Run with QT_QPA_PLATFORM=offscreen
// (set here if unset).
#include <QApplication>
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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const double seconds = argc > 1 ? std::atof(argv[1]) : 120.0;
  const std::vector<int16_t> band = ThreeSignals(seconds);
  const double audio = static_cast<double>(band.size()) / 8000.0;

  app::MainWindow window(app::Preferences::Defaults());
  window.ShowDial(app::MainWindow::Dial{135700.0, "USB"});
  window.show();
  auto* browser = new app::SignalBrowser(window, 8000.0L);
  browser->show();
  QCoreApplication::processEvents();

  const double start = ThreadSeconds();
  for (size_t at = 0; at < band.size(); at += kCaptureBufferSamples) {
    browser->Push(std::span(band).subspan(at, kCaptureBufferSamples));
    QCoreApplication::processEvents();
  }
  const double busy = ThreadSeconds() - start;
  std::printf(
      "signal browser, three signals, %.0f s of audio: %.1f%% of a core (%.0fx real "
      "time); %d listed at the end, %.1f s unsearched\n",
      audio, 100.0 * busy / audio, audio / busy, browser->list()->topLevelItemCount(),
      browser->scanner().unsearchedSeconds());
  return 0;
}
