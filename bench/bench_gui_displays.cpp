// What the receive displays cost the window's one thread: an hour of VELA125 (the fastest
// mode, the most eye steps and bar updates) through the demodulator, the sync search and
// the decoder into the eye, the bars, the waterfall and the Correlation window, with the
// event loop run after every capture buffer so each scheduled repaint really happens.
// Reports the share of real time the thread was busy, with and without the displays; then
// the waterfall alone at the whole band and at its narrowest span and fastest speed.
// Run with QT_QPA_PLATFORM=offscreen (set here if unset).
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "app/window/CorrelationWindow.h"
#include "app/window/GraphicControls.h"
#include "modem/Modem.h"
#include "modem/TextTransmission.h"
#include "rx/Spectrum.h"

namespace {

using namespace vela;
using namespace vela::app;
using vela::bench::ThreadSeconds;

constexpr double kCaptureRate = 8000.0;
constexpr double kSecondsToRun = 3600.0;

// About a minute of VELA125 traffic at 1000 Hz, as a capture buffer would hold it: the
// left channel taken from 32000 down to 8000 samples a second.
std::vector<int16_t> Traffic() {
  TransmitSettings settings;
  settings.mode = Mode::Vela125;
  settings.centreFrequency = 1000.0L;
  std::string text;
  while (text.size() < 900) text += "CQ CQ CQ de G4XYZ G4XYZ G4XYZ pse k  ";
  settings.text = text;
  std::vector<int16_t> samples;
  size_t left = 0;
  TransmitText(settings, [&](std::span<const int16_t> stereo) {
    for (size_t i = 0; i < stereo.size(); i += 2, ++left) {
      if (left % 4 == 0) samples.push_back(stereo[i]);
    }
  });
  samples.resize(samples.size() / kFftSize * kFftSize);  // whole capture buffers
  return samples;
}

class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
  long paints = 0;
};

struct Panel {
  QWidget window;
  FrequencyScaleView* scale = new FrequencyScaleView(&window);
  WaterfallView* waterfall = new WaterfallView(&window);
  EyeDiagramView* eye = new EyeDiagramView(&window);
  SquelchBarView* squelch = new SquelchBarView(&window);
  LevelBarView* level = new LevelBarView(&window);
  CorrelationWindow* correlation = new CorrelationWindow(&window);

  Panel() {
    window.resize(730, 120);
    scale->setGeometry(0, 0, 465, 15);
    waterfall->setGeometry(0, 15, 465, 102);
    eye->setGeometry(468, 0, 128, 65);
    squelch->setGeometry(676, 0, 20, 100);
    level->setGeometry(702, 0, 20, 100);
  }
};

class Displays : public ModemEvents {
 public:
  explicit Displays(Panel* panel) : panel_(panel) {}
  void Attach(const Modem* modem) { modem_ = modem; }

  void RxChar(uint8_t) override { ++characters; }
  void EyeStep(int subSymbol, long double phaseStep) override {
    if (panel_) panel_->eye->EyeStep(subSymbol, phaseStep);
  }
  void LevelBar(int level) override {
    if (panel_) panel_->level->SetLevel(level);
  }
  void ConfidenceBar(int value) override {
    if (panel_) panel_->squelch->SetConfidence(value, modem_->syncPeak(), modem_->squelch());
  }
  void CorrelationRow(int row, std::span<const float> correlations) override {
    if (panel_) panel_->correlation->SetRow(row, correlations);
  }
  void FrameProcessed(const FrameReport& report) override {
    if (panel_) panel_->correlation->SetSyncFigures(report.syncPeak, report.location);
  }

  long characters = 0;

 private:
  Panel* panel_;
  const Modem* modem_ = nullptr;
};

struct Run {
  double wallSeconds = 0.0;
  double threadSeconds = 0.0;
  long characters = 0;
};

// Hands `seconds` of the traffic (looped) to `buffer` a capture buffer at a time, timed.
template <typename PerBuffer>
Run TimeBuffers(const std::vector<int16_t>& traffic, double seconds, PerBuffer buffer) {
  const auto buffers = static_cast<long>(seconds * kCaptureRate / kFftSize);
  const std::span<const int16_t> all(traffic);
  size_t at = 0;
  QElapsedTimer wall;
  const double thread0 = ThreadSeconds();
  wall.start();
  for (long b = 0; b < buffers; ++b) {
    buffer(all.subspan(at, kFftSize));
    at = at + kFftSize >= all.size() ? 0 : at + kFftSize;
  }
  Run run;
  run.wallSeconds = static_cast<double>(wall.nsecsElapsed()) * 1e-9;
  run.threadSeconds = ThreadSeconds() - thread0;
  return run;
}

// Plays `seconds` of audio (the traffic over and over) through a fresh modem, and through
// the displays when `panel` is given.
Run Receive(const std::vector<int16_t>& traffic, double seconds, Panel* panel) {
  Displays events(panel);
  Modem modem(events);
  events.Attach(&modem);
  modem.SetMode(Mode::Vela125);
  modem.SetRxSampleRate(kCaptureRate);
  modem.SetRxCentreFrequency(1000.0L);

  Run run = TimeBuffers(traffic, seconds, [&](std::span<const int16_t> block) {
    modem.ProcessSamples(block);
    if (panel) {
      panel->waterfall->AddCaptureBuffer(block);
      QApplication::processEvents();
    }
  });
  run.characters = events.characters;
  return run;
}

// The waterfall alone, as the window shows it, over `seconds` of the traffic at the given
// span and speed: thread seconds, and the paints it asked for.
Run WaterfallAlone(const std::vector<int16_t>& traffic, double seconds,
                   const WaterfallSettings& settings) {
  QWidget window;
  window.resize(470, 120);
  auto* scale = new FrequencyScaleView(&window);
  auto* waterfall = new WaterfallView(&window);
  scale->setGeometry(0, 0, 465, 15);
  waterfall->setGeometry(0, 15, 465, 102);
  QObject::connect(waterfall, &WaterfallView::axisChanged, scale, &FrequencyScaleView::SetAxis);
  waterfall->SetReceiveFrequency(1000.0);
  waterfall->SetSettings(settings);
  window.show();
  QApplication::processEvents();
  return TimeBuffers(traffic, seconds, [&](std::span<const int16_t> block) {
    waterfall->AddCaptureBuffer(block);
    QApplication::processEvents();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const std::vector<int16_t> traffic = Traffic();
  std::printf("VELA125 traffic: %.1f s of audio, played over and over for %.0f s\n",
              static_cast<double>(traffic.size()) / kCaptureRate, kSecondsToRun);

  Panel panel;
  PaintCounter counter;
  for (QWidget* w :
       std::initializer_list<QWidget*>{panel.scale, panel.waterfall, panel.eye, panel.squelch,
                                       panel.level, panel.correlation->view()}) {
    w->installEventFilter(&counter);
  }
  panel.window.show();
  panel.correlation->show();
  QApplication::processEvents();

  const Run bare = Receive(traffic, kSecondsToRun, nullptr);
  const Run shown = Receive(traffic, kSecondsToRun, &panel);

  auto report = [](const char* what, const Run& run) {
    std::printf("%-26s thread %6.2f s = %5.2f%% of real time (wall %6.2f s = %5.2f%%)\n", what,
                run.threadSeconds, 100.0 * run.threadSeconds / kSecondsToRun, run.wallSeconds,
                100.0 * run.wallSeconds / kSecondsToRun);
  };
  report("receive chain alone:", bare);
  report("receive chain + displays:", shown);
  std::printf("the displays' own share:    thread %5.2f%% of real time (wall %5.2f%%)\n",
              100.0 * (shown.threadSeconds - bare.threadSeconds) / kSecondsToRun,
              100.0 * (shown.wallSeconds - bare.wallSeconds) / kSecondsToRun);
  std::printf("paints: %ld over %.0f s of audio (%.1f a second); characters decoded: %ld / %ld\n",
              counter.paints, kSecondsToRun, static_cast<double>(counter.paints) / kSecondsToRun,
              bare.characters, shown.characters);

  // The waterfall by itself: the whole band at its normal speed, and the narrowest span at
  // the fastest speed (31 lines a second), each for 20 minutes of audio.
  constexpr double kWaterfallSeconds = 1200.0;
  for (const WaterfallSettings& settings :
       {WaterfallSettings{},
        WaterfallSettings{kWaterfallZooms.back(), kWaterfallLineSamples.back(), 0, 48}}) {
    const Run run = WaterfallAlone(traffic, kWaterfallSeconds, settings);
    std::printf("waterfall, zoom %2d, %5.1f lines/s: thread %5.2f%% of one core (wall %5.2f%%)\n",
                settings.zoom, kCaptureRate / settings.lineSamples,
                100.0 * run.threadSeconds / kWaterfallSeconds,
                100.0 * run.wallSeconds / kWaterfallSeconds);
  }
  return 0;
}
