// The window's drawn controls: eye diagram, signal-to-noise and squelch bars, frequency
// scale and waterfall. Each keeps its picture in an off-screen image that the receive
// chain draws into as the signal arrives; painting only copies that image to the screen
// (wrapped, never copied into a second buffer), so an expose costs one blit.
//
// Columns count from each control's own left edge, frame included: waterfall screen column
// x is widget column x, the same x the mouse signals report and the scale above (which
// shares the waterfall's left edge) uses. The sunken frame's one-pixel line therefore
// covers the waterfall's column 0 (half of the 250 Hz bin) and the eye's unused outer ring.
// The waterfall's rows start inside the frame so the newest line stays in view. In a
// window wider than designed the scale and the waterfall are drawn stretched across their
// wider controls, and the mouse is mapped back to their design columns.
#pragma once

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "display/EyeDiagram.h"
#include "display/FrequencyScale.h"
#include "display/LevelBars.h"
#include "display/Pixels.h"
#include "display/Waterfall.h"
#include "display/WaterfallZoom.h"
#include "rx/Spectrum.h"

namespace vela::app {

// Wraps `image`'s pixels as a 24-bit QImage without copying. The image must outlive the
// wrapper and keep its size (PixelImage never reallocates on its own).
QImage WrapPixels(const PixelImage& image);

class GraphicControl : public QFrame {
  Q_OBJECT
 public:
  GraphicControl(int id, QColor background, bool sunken, QWidget* parent = nullptr);
  int controlId() const { return id_; }
  QColor background() const { return background_; }
  // No audio is coming in: the picture stays, marked so, rather than look like a quiet band.
  void SetNoAudio(bool noAudio);
  bool noAudio() const { return noAudio_; }

 signals:
  void mouseMovedTo(QPoint pos);
  void leftClicked(QPoint pos);
  void rightClicked(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // Draws the control's picture over its background, before the frame goes on top.
  virtual void PaintContents(QPainter& painter);
  // The mouse position in the picture's own columns (the control may be drawn wider).
  virtual QPoint PictureAt(QPoint pos) const { return pos; }

 private:
  int id_;
  QColor background_;
  bool noAudio_ = false;
};

class EyeDiagramView : public GraphicControl {
  Q_OBJECT
 public:
  explicit EyeDiagramView(QWidget* parent = nullptr);

  // One quarter-symbol of the demodulator's phase step; the screen follows once per symbol.
  void EyeStep(int subSymbol, long double phaseStep);

  const PixelImage& shown() const { return canvas_.shown(); }

 protected:
  void PaintContents(QPainter& painter) override;

 private:
  EyeDiagram eye_;
  EyeCanvas canvas_;
  QImage wrapped_;
};

// A 20 x 100 bar growing up from the bottom (the S/N bar and the squelch bar).
class BarView : public GraphicControl {
  Q_OBJECT
 public:
  BarView(int id, QWidget* parent);

  const PixelImage& image() const { return image_; }

 protected:
  void Show(const BarDrawing& bar);
  void PaintContents(QPainter& painter) override;

 private:
  PixelImage image_;
  QImage wrapped_;
};

class LevelBarView : public BarView {
  Q_OBJECT
 public:
  explicit LevelBarView(QWidget* parent = nullptr);

  void SetLevel(int v);
  int level() const { return level_; }

 private:
  int level_ = -1;
};

class SquelchBarView : public BarView {
  Q_OBJECT
 public:
  explicit SquelchBarView(QWidget* parent = nullptr);

  // `value` is the bar height (0..100), `syncPeak` the last frame's correlation peak that
  // sets the colour, `threshold` the operator's squelch level drawn as a line.
  void SetConfidence(int value, double syncPeak, int threshold);
  // The operator moved the squelch: the same bar with the line in its new place.
  void SetThreshold(int threshold) { SetConfidence(value_, syncPeak_, threshold); }

  int value() const { return value_; }
  int threshold() const { return threshold_; }

 private:
  int value_ = -1;
  double syncPeak_ = 0.0;
  int threshold_ = -1;
};

class FrequencyScaleView : public GraphicControl {
  Q_OBJECT
 public:
  explicit FrequencyScaleView(QWidget* parent = nullptr);

  // Receive marker (red V) and transmit marker (blue bar), in Hz.
  void SetFrequencies(double receiveHz, double transmitHz);
  // The waterfall's span below: ticks, labels and marks follow it.
  void SetAxis(const WaterfallAxis& axis);
  const WaterfallAxis& axis() const { return axis_; }
  // Where the band scanner hears signals (centres in Hz); none once it stops.
  void SetSignalMarks(std::vector<double> centresHz);
  const std::vector<double>& signalMarks() const { return signalHz_; }

  double receiveHz() const { return receiveHz_; }
  double transmitHz() const { return transmitHz_; }
  const PixelImage& image() const { return image_; }

 protected:
  void PaintContents(QPainter& painter) override;
  QPoint PictureAt(QPoint pos) const override;

 private:
  FrequencyScaleLayout layout_;
  PixelImage image_;
  QImage wrapped_;
  // The labels never change with the markers, so their text is made once.
  std::array<QString, FrequencyScaleLayout::kMaxLabels> labelText_;
  double receiveHz_ = 0.0;
  double transmitHz_ = 0.0;
  std::vector<double> signalHz_;
  WaterfallAxis axis_;
};

// The waterfall: the whole band or a narrower span centred on the receive frequency, at
// the speed, gain and range the operator chose (its menu: the Display menu's Waterfall, a
// right-click on the scale; the mouse wheel over it steps the span).
class WaterfallView : public GraphicControl {
  Q_OBJECT
 public:
  explicit WaterfallView(QWidget* parent = nullptr);

  // Capture audio at 8000 samples a second: a new top line for every so many samples (one
  // per 1024-sample buffer at the normal speed).
  void AddCaptureBuffer(std::span<const int16_t> samples);
  // 1 = palette colouring, 0 = blue-grey; lines already drawn keep their colours.
  void SetPaletteSwitch(int paletteSwitch);
  int paletteSwitch() const { return paletteSwitch_; }

  // Span, speed, gain and range; values that are not among the choices are passed over.
  void SetSettings(const WaterfallSettings& settings);
  const WaterfallSettings& settings() const { return settings_; }
  // Where a narrower span centres; its history moves with it.
  void SetReceiveFrequency(double hz);
  const WaterfallAxis& axis() const { return axis_; }
  // The audio frequency column x shows, and the newest line's magnitude there.
  double FrequencyAt(int x) const { return axis_.Frequency(x); }
  float MagnitudeAt(int x) const;
  // One span narrower (+1) or wider (-1).
  void StepSpan(int steps);
  QMenu* menu() const { return menu_; }

  // The last whole-band spectrum (at the whole band, the last buffer's).
  const vela::Spectrum& spectrum() const { return spectrum_.whole(); }
  const WaterfallImage& image() const { return image_; }

 signals:
  void axisChanged(const vela::WaterfallAxis& axis);

 protected:
  void PaintContents(QPainter& painter) override;
  QPoint PictureAt(QPoint pos) const override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Rewrap();
  void BuildMenu();
  void Reconfigure(bool newSpan, bool newSpeed);

  WaterfallSpectrum spectrum_;
  WaterfallSettings settings_;
  WaterfallLevels levels_;
  WaterfallAxis axis_;
  double receiveHz_;
  WaterfallLineColours line_{};
  WaterfallImage image_;
  QImage wrapped_;
  int paletteSwitch_ = kPaletteColouring;
  int wheel_ = 0;  // eighths of a degree not yet stepped
  QMenu* menu_ = nullptr;
};

}  // namespace vela::app
