// The receive displays as the operator sees them: a VELA63 recording runs through the modem
// into the eye, the bars, the waterfall and the Correlation window, and the painted pixels
// (QWidget::grab) are checked against what the signal must show.
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "app/window/CorrelationWindow.h"
#include "app/window/GraphicControls.h"
#include "display/CorrelationDisplay.h"
#include "display/LevelBars.h"
#include "display/Waterfall.h"
#include "modem/Modem.h"
#include "modem/TextTransmission.h"

using namespace vela;
using namespace vela::app;

namespace {

QColor ToQColor(Rgb c) {
  return QColor(c.r, c.g, c.b);
}

// A VELA63 transmission at 1000 Hz, its left channel taken down from 32000 to 8000 samples
// a second as a capture buffer would hold it.
std::vector<int16_t> Recording(const std::string& text) {
  TransmitSettings settings;
  settings.mode = Mode::Vela63;
  settings.centreFrequency = 1000.0L;
  settings.text = text;
  settings.tailFrames = 4;
  std::vector<int16_t> samples;
  size_t leftIndex = 0;  // position in the left channel at 32000 samples/s
  const bool sent = TransmitText(settings, [&](std::span<const int16_t> stereo) {
    for (size_t i = 0; i < stereo.size(); i += 2, ++leftIndex) {
      if (leftIndex % 4 == 0) samples.push_back(stereo[i]);
    }
  });
  if (!sent) qFatal("the transmission did not complete");
  return samples;
}

// The controls laid out as in the main window: the scale directly above the waterfall,
// sharing its left edge; the eye and the two bars to the right.
struct Displays {
  QWidget panel;
  FrequencyScaleView* scale = new FrequencyScaleView(&panel);
  WaterfallView* waterfall = new WaterfallView(&panel);
  EyeDiagramView* eye = new EyeDiagramView(&panel);
  SquelchBarView* squelch = new SquelchBarView(&panel);
  LevelBarView* level = new LevelBarView(&panel);

  Displays() {
    panel.resize(730, 120);
    scale->setGeometry(0, 0, 465, 15);
    waterfall->setGeometry(0, 15, 465, 102);
    eye->setGeometry(468, 0, 128, 65);
    squelch->setGeometry(676, 0, 20, 100);
    level->setGeometry(702, 0, 20, 100);
  }
};

// What the window does with the modem's display events.
class Forwarder : public ModemEvents {
 public:
  Forwarder(Displays& d, CorrelationWindow& correlation) : d_(d), correlation_(correlation) {}
  void Attach(const Modem* modem) { modem_ = modem; }

  void EyeStep(int subSymbol, long double phaseStep) override {
    d_.eye->EyeStep(subSymbol, phaseStep);
  }
  void LevelBar(int signalLevel) override {
    lastLevel = signalLevel;
    d_.level->SetLevel(signalLevel);
  }
  void ConfidenceBar(int value) override {
    lastConfidence = value;
    d_.squelch->SetConfidence(value, modem_->syncPeak(), modem_->squelch());
  }
  void CorrelationRow(int row, std::span<const float> correlations) override {
    lastRow = row;
    correlation_.SetRow(row, correlations);
  }
  void FrameProcessed(const FrameReport& report) override {
    lastLocation = report.location;
    correlation_.SetSyncFigures(report.syncPeak, report.location);
  }

  int lastLevel = -1;
  int lastConfidence = -1;
  int lastRow = -1;
  int lastLocation = -1;

 private:
  Displays& d_;
  CorrelationWindow& correlation_;
  const Modem* modem_ = nullptr;
};

int Brightness(QRgb p) {
  return qRed(p) + qGreen(p) + qBlue(p);
}

// Rows of `colour` counted up from the bottom of column x.
int BarRows(const QImage& image, int x, QColor colour) {
  int rows = 0;
  for (int y = image.height() - 1; y >= 0 && image.pixelColor(x, y) == colour; --y) ++rows;
  return rows;
}

bool HasColourNear(const QImage& image, int x, int y, QColor colour, int reach) {
  for (int dx = -reach; dx <= reach; ++dx) {
    if (image.pixelColor(x + dx, y) == colour) return true;
  }
  return false;
}

// A steady tone as a capture buffer would bring it.
std::vector<int16_t> Tone(double hz, double amplitude) {
  std::vector<int16_t> samples(kFftSize);
  for (size_t n = 0; n < samples.size(); ++n) {
    samples[n] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / 8000.0)));
  }
  return samples;
}

}  // namespace

class DisplaysTest : public QObject {
  Q_OBJECT

 private slots:
  void aRecordingPaintsEveryDisplay() {
    Displays d;
    auto* correlation = new CorrelationWindow;  // deletes itself on close
    Forwarder events(d, *correlation);
    Modem modem(events);
    events.Attach(&modem);
    modem.SetMode(Mode::Vela63);
    modem.SetRxSampleRate(8000.0L);
    modem.SetRxCentreFrequency(1000.0L);
    d.panel.show();
    correlation->show();

    const std::vector<int16_t> audio = Recording("CQ CQ de G4XYZ G4XYZ pse k");
    const std::span<const int16_t> all(audio);
    size_t buffers = 0;
    // Over the second half, once the receiver has settled, both sides of the eye show. Each
    // symbol redraws the axis across the decision row, so there only the newest trace is
    // cyan: the sides are collected symbol by symbol.
    bool left = false;
    bool right = false;
    const QColor cyan = ToQColor(kEyeTracePen);
    for (size_t at = 0; at + kFftSize <= all.size(); at += kFftSize, ++buffers) {
      const auto block = all.subspan(at, kFftSize);
      modem.ProcessSamples(block);
      d.waterfall->AddCaptureBuffer(block);
      if (2 * at < all.size()) continue;
      const QImage shown = WrapPixels(d.eye->shown());
      left |= HasColourNear(shown, 41, 31, cyan, 3);
      right |= HasColourNear(shown, 79, 31, cyan, 3);
    }
    QVERIFY(buffers > 100);  // far more lines than the waterfall is high
    QVERIFY(left && right);

    // Waterfall: the 1000 Hz carrier is a bright line down screen columns 192 and 193 (bin
    // 128), well above the empty band at 1800 Hz; every painted pixel is its image pixel.
    const QImage waterfall = d.waterfall->grab().toImage();
    const int top = d.waterfall->contentsRect().top();
    for (int row : {0, 50, d.waterfall->image().height() - 1}) {
      const int y = top + row;
      QVERIFY2(Brightness(waterfall.pixel(192, y)) > 3 * Brightness(waterfall.pixel(400, y)) + 60,
               qPrintable(QStringLiteral("row %1").arg(row)));
      QCOMPARE(waterfall.pixel(192, y), waterfall.pixel(193, y));
      for (int x = 1; x < 2 * kWaterfallBins; ++x) {
        QCOMPARE(waterfall.pixelColor(x, y), ToQColor(d.waterfall->image().ScreenPixel(x, row)));
      }
    }
    QVERIFY(d.waterfall->spectrum().magnitudes()[128] >
            10.0f * d.waterfall->spectrum().magnitudes()[231]);

    // Eye: open (the traces crossed the decision line y = 31 near +-0.375, x = 41 and 79,
    // and none crosses the middle), yellow axes, and the screen showing the canvas.
    const QImage eye = d.eye->grab().toImage();
    QVERIFY(!HasColourNear(eye, 60, 31, cyan, 6));  // no trace through the centre
    for (int y = 1; y < kEyeHeight - 1; ++y) {      // inside the frame, as the canvas shows
      for (int x = 1; x < kEyeWidth - 1; ++x) {
        QCOMPARE(eye.pixelColor(x, y), ToQColor(d.eye->shown().Pixel(x, y)));
      }
    }
    QCOMPARE(eye.pixelColor(60, 28), ToQColor(kEyeAxesPen));
    QCOMPARE(eye.pixelColor(12, 31), ToQColor(kEyeAxesPen));

    // S/N bar: as high as the last level reported, in green on white.
    const QImage level = d.level->grab().toImage();
    QVERIFY(events.lastLevel > 0);
    QCOMPARE(d.level->level(), events.lastLevel);
    QCOMPARE(BarRows(level, 10, ToQColor(kLevelBarColour)), std::min(events.lastLevel, 100));
    QCOMPARE(level.pixelColor(10, 99 - std::min(events.lastLevel, 99)), QColor(Qt::white));

    // Squelch bar: a clean signal reads full confidence, above the threshold, so the whole
    // bar is the bright colour apart from the black threshold line at 100 - 5.
    const QImage squelch = d.squelch->grab().toImage();
    QCOMPARE(events.lastConfidence, 100);
    QCOMPARE(squelch.pixelColor(10, 99), ToQColor(kConfidenceAtThresholdColour));
    QCOMPARE(squelch.pixelColor(10, 95), ToQColor(kThresholdLineColour));
    QCOMPARE(BarRows(squelch, 10, ToQColor(kConfidenceAtThresholdColour)), 4);
    QCOMPARE(squelch.pixelColor(10, 1), ToQColor(kConfidenceAtThresholdColour));

    correlation->resize(correlation->minimumSizeHint());
    QTRY_COMPARE(correlation->view()->size(), QSize(447, 60));
    // Correlation: the last row is darkest at the sync location, and the caption says so.
    const QImage rows = correlation->view()->grab().toImage();
    QVERIFY(events.lastRow >= 0 && events.lastLocation >= 0);
    const int darkX = 2 * events.lastLocation;
    QCOMPARE(qRed(rows.pixel(darkX, events.lastRow)), int{CorrelationGrey(961.0f)});
    QCOMPARE(rows.pixel(darkX + 1, events.lastRow), rows.pixel(darkX, events.lastRow));
    for (int x = 0; x < 2 * 224; x += 2) {
      if (x != darkX)
        QVERIFY(qRed(rows.pixel(x, events.lastRow)) > qRed(rows.pixel(darkX, events.lastRow)));
    }
    QCOMPARE(correlation->windowTitle(),
             QString::fromStdString(vela::CorrelationCaption(961.0, events.lastLocation)));
    // The figures are in the window too, readable whatever the title bar shows.
    QVERIFY2(correlation->figures()->text().startsWith(
                 QStringLiteral("Correlator sync confidence = 100%     Sync start location = ")),
             qPrintable(correlation->figures()->text()));
    QVERIFY(correlation->figures()->isVisible());
    correlation->close();
  }

  void scaleMarkersSitOverTheirWaterfallColumns() {
    Displays d;
    d.scale->SetFrequencies(1000.0, 1250.0);
    const auto tone = Tone(1250.0, 60.0);
    for (int i = 0; i < 5; ++i) d.waterfall->AddCaptureBuffer(tone);
    const QImage panel = d.panel.grab().toImage();

    // The transmit bar over columns 256-257; the receive V meets at 192-193 on the bottom row.
    const int bottom = 14;
    const QColor red = ToQColor(kReceiveMarkerColour);
    const QColor blue = ToQColor(kTransmitMarkerColour);
    QCOMPARE(panel.pixelColor(256, 0), blue);
    QCOMPARE(panel.pixelColor(257, 0), blue);
    QCOMPARE(panel.pixelColor(192, bottom), red);
    QCOMPARE(panel.pixelColor(193, bottom), red);
    QVERIFY(panel.pixelColor(191, bottom) != red);
    QCOMPARE(panel.pixelColor(187, 0), red);  // the V's left arm at the top

    // The 1250 Hz tone lights exactly the waterfall columns under the transmit bar.
    const int y = 15 + d.waterfall->contentsRect().top() + 2;
    int brightest = 1;  // column 0 is under the frame
    for (int x = 2; x < 462; ++x) {
      if (Brightness(panel.pixel(x, y)) > Brightness(panel.pixel(brightest, y))) brightest = x;
    }
    QCOMPARE(brightest, 256);
    QCOMPARE(panel.pixel(257, y), panel.pixel(256, y));

    // Labels are written under the long ticks: ink in the text band right of 500 Hz's tick.
    bool ink = false;
    const QColor background = ToQColor(kScaleBackground);
    for (int x = 64 - 7; x < 64 + 12; ++x) {
      for (int row = 7; row < 15; ++row) ink |= panel.pixelColor(x, row) != background;
    }
    QVERIFY(ink);

    // Moving the markers moves the paint.
    d.scale->SetFrequencies(500.0, 1500.0);
    const QImage moved = d.scale->grab().toImage();
    QCOMPARE(moved.pixelColor(64, bottom), red);
    QCOMPARE(moved.pixelColor(320, 0), blue);
    QVERIFY(moved.pixelColor(256, 0) != blue);
  }

  void paletteSwitchChangesOnlyNewLines() {
    WaterfallView waterfall;
    waterfall.resize(465, 102);
    const auto tone = Tone(1000.0, 60.0);
    waterfall.AddCaptureBuffer(tone);
    const float magnitude = waterfall.spectrum().magnitudes()[128];
    waterfall.SetPaletteSwitch(kBlueGreyColouring);
    waterfall.AddCaptureBuffer(tone);
    const QImage shown = waterfall.grab().toImage();
    const int top = waterfall.contentsRect().top();
    const QColor greyBlue = ToQColor(WaterfallColour(magnitude, kBlueGreyColouring));
    const QColor palette = ToQColor(WaterfallColour(magnitude, kPaletteColouring));
    QVERIFY(greyBlue != palette);
    QCOMPARE(shown.pixelColor(192, top), greyBlue);
    QCOMPARE(shown.pixelColor(192, top + 1), palette);
    QCOMPARE(shown.pixelColor(192, top + 2), QColor(Qt::black));  // not yet reached
  }

  void barsDrawTheirValues() {
    LevelBarView level;
    level.resize(20, 100);
    const QColor green = ToQColor(kLevelBarColour);
    QCOMPARE(BarRows(level.grab().toImage(), 5, green), kStartUpLevel);
    level.SetLevel(1);
    QCOMPARE(BarRows(level.grab().toImage(), 5, green), 1);
    level.SetLevel(0);
    QCOMPARE(BarRows(level.grab().toImage(), 5, green), 0);
    level.SetLevel(250);  // clipped by the control, top row included
    QCOMPARE(BarRows(level.grab().toImage(), 19, green), 100);

    SquelchBarView squelch;
    squelch.resize(20, 100);
    const QColor bright = ToQColor(kConfidenceAtThresholdColour);
    const QColor pale = ToQColor(kConfidenceBelowThresholdColour);
    QImage bar = squelch.grab().toImage();
    QCOMPARE(BarRows(bar, 5, pale), 1);  // start-up value 1, below the threshold

    // At the threshold the colour turns bright although the squelch only opens above it.
    squelch.SetConfidence(50, 480.0, 50);
    bar = squelch.grab().toImage();
    QCOMPARE(BarRows(bar, 5, bright), 49);  // the line is drawn over the bar's top row
    QCOMPARE(bar.pixelColor(5, 50), ToQColor(kThresholdLineColour));
    squelch.SetConfidence(50, 470.0, 50);
    QCOMPARE(BarRows(squelch.grab().toImage(), 5, pale), 49);

    // Moving the threshold redraws the same bar with the line elsewhere.
    squelch.SetThreshold(80);
    bar = squelch.grab().toImage();
    QCOMPARE(BarRows(bar, 5, pale), 50);
    QCOMPARE(bar.pixelColor(5, 20), ToQColor(kThresholdLineColour));
    QCOMPARE(bar.pixelColor(5, 49), QColor(Qt::white));
  }

  void correlationWindowGeometryAndRows() {
    QWidget owner;
    auto* window = new CorrelationWindow(&owner);
    window->show();
    QVERIFY(window->isWindow());
    QVERIFY(window->windowFlags() & Qt::Tool);
    QCOMPARE(window->windowTitle(), QStringLiteral("Correlation"));
    // Opened with rows doubled and room for the whole caption; at its smallest, 60 rows of
    // picture at their own pixels, and the figures' line under them.
    QCOMPARE(window->geometry().topLeft(), QPoint(100, 100));
    const QString caption = QString::fromStdString(vela::CorrelationCaption(961, -100));
    QVERIFY(window->view()->height() >= 120 &&
            window->width() >= QFontMetrics(QApplication::font()).horizontalAdvance(caption) + 100);
    window->resize(window->minimumSizeHint());
    QTRY_COMPARE(window->view()->size(), QSize(447, 60));
    QCOMPARE(window->figures()->y(), 60);
    QCOMPARE(window->height(), 60 + window->figures()->height());
    QCOMPARE(window->view()->grab().toImage().pixelColor(200, 30),
             ToQColor(kCorrelationBackground));

    // Offset 223's pair is cut at the right edge; a row out of range draws nothing.
    std::vector<float> correlations(224, 0.0f);  // grey 255
    correlations[10] = 961.0f;                   // grey 69
    correlations[223] = 667.0f;                  // grey 100
    window->SetRow(59, correlations);
    window->SetRow(60, correlations);
    window->SetRow(-1, correlations);
    const QImage rows = window->view()->grab().toImage();
    QCOMPARE(rows.pixelColor(20, 59), QColor(69, 69, 69));
    QCOMPARE(rows.pixelColor(21, 59), QColor(69, 69, 69));
    QCOMPARE(rows.pixelColor(22, 59), QColor(255, 255, 255));
    QCOMPARE(rows.pixelColor(446, 59), QColor(100, 100, 100));
    QCOMPARE(rows.pixelColor(20, 58), ToQColor(kCorrelationBackground));
    QVERIFY(window->view()->image().Pixel(20, 60) == kCorrelationBackground);

    window->SetSyncFigures(480.5, 37);
    QCOMPARE(window->windowTitle(),
             QStringLiteral(
                 "Correlator sync confidence = 50%                 Sync start location =  37"));

    QPointer<CorrelationWindow> closed(window);
    window->close();
    QTRY_VERIFY(closed.isNull());  // a closed window frees itself
  }
};

QTEST_MAIN(DisplaysTest)
#include "DisplaysTest.moc"
