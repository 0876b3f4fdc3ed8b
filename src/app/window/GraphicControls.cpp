#include "app/window/GraphicControls.h"

#include <QActionGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "coding/Modes.h"

namespace vela::app {

QImage WrapPixels(const PixelImage& image) {
  return QImage(image.bytes(), image.width(), image.height(), 3 * image.width(),
                QImage::Format_RGB888);
}

namespace {

// How much wider than designed the scale and the waterfall are drawn.
double Stretch(const QWidget& w) {
  return w.width() / static_cast<double>(kScaleWidth);
}

QPoint ToDesignColumns(const QWidget& w, QPoint pos) {
  return {static_cast<int>(pos.x() / Stretch(w)), pos.y()};
}

Rgb ToRgb(QColor c) {
  return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
             static_cast<uint8_t>(c.blue())};
}

}  // namespace

GraphicControl::GraphicControl(int id, QColor background, bool sunken, QWidget* parent)
    : QFrame(parent), id_(id), background_(background) {
  setObjectName(QStringLiteral("c%1").arg(id));
  if (sunken) setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setMouseTracking(true);
  // Every pixel is painted each time, so Qt need not clear the area first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphicControl::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(rect(), background_);
  PaintContents(painter);
  if (noAudio_) {
    const QString text = QStringLiteral("No audio");
    QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    box.moveCenter(rect().center());
    painter.fillRect(box, QColor(0, 0, 0, 170));
    painter.setPen(QColor(255, 255, 0));
    painter.drawText(box, Qt::AlignCenter, text);
  }
  painter.end();
  QFrame::paintEvent(event);
}

void GraphicControl::SetNoAudio(bool noAudio) {
  if (noAudio == noAudio_) return;
  noAudio_ = noAudio;
  update();
}

void GraphicControl::PaintContents(QPainter& /*painter*/) {}

void GraphicControl::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMovedTo(PictureAt(event->position().toPoint()));
  QFrame::mouseMoveEvent(event);
}

void GraphicControl::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = PictureAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton) emit leftClicked(pos);
  if (event->button() == Qt::RightButton) emit rightClicked(pos);
  QFrame::mousePressEvent(event);
}

// ---- Eye diagram ----

EyeDiagramView::EyeDiagramView(QWidget* parent)
    : GraphicControl(300, Qt::black, true, parent), wrapped_(WrapPixels(canvas_.shown())) {}

void EyeDiagramView::EyeStep(int subSymbol, long double phaseStep) {
  if (canvas_.Apply(eye_.EyeStep(subSymbol, phaseStep))) update();
}

void EyeDiagramView::PaintContents(QPainter& painter) {
  painter.drawImage(0, 0, wrapped_);
}

// ---- Bars ----

BarView::BarView(int id, QWidget* parent)
    : GraphicControl(id, Qt::white, false, parent),
      image_(kBarWidth, kBarHeight, ToRgb(background())),
      wrapped_(WrapPixels(image_)) {}

void BarView::Show(const BarDrawing& bar) {
  PaintBar(bar, ToRgb(background()), image_);
  update();
}

void BarView::PaintContents(QPainter& painter) {
  painter.drawImage(0, 0, wrapped_);
}

LevelBarView::LevelBarView(QWidget* parent) : BarView(3910, parent) {
  SetLevel(kStartUpLevel);
}

void LevelBarView::SetLevel(int v) {
  // The demodulator reports the level 50 times a second in the fastest mode; an unchanged
  // bar needs no repaint.
  if (v == level_) return;
  level_ = v;
  Show(DrawLevelBar(v));
}

SquelchBarView::SquelchBarView(QWidget* parent) : BarView(2001, parent) {
  setCursor(Qt::CrossCursor);
  SetConfidence(1, 0.0, 5);
}

void SquelchBarView::SetConfidence(int value, double syncPeak, int threshold) {
  const bool sameColour = SyncConfidence(syncPeak) == SyncConfidence(syncPeak_);
  if (value == value_ && threshold == threshold_ && sameColour) return;
  value_ = value;
  syncPeak_ = syncPeak;
  threshold_ = threshold;
  Show(DrawConfidenceBar(value, syncPeak, threshold));
}

// ---- Frequency scale ----

FrequencyScaleView::FrequencyScaleView(QWidget* parent)
    : GraphicControl(330, QColor(kScaleBackground.r, kScaleBackground.g, kScaleBackground.b), false,
                     parent),
      image_(kScaleWidth, kScaleHeight, kScaleBackground),
      wrapped_(WrapPixels(image_)) {
  SetFrequencies(kDefaultCentreHz, kDefaultCentreHz);
  setToolTip(QStringLiteral("Right-click: the waterfall's span, speed, gain and range"));
}

void FrequencyScaleView::SetAxis(const WaterfallAxis& axis) {
  if (axis == axis_) return;
  axis_ = axis;
  SetFrequencies(receiveHz_, transmitHz_);
}

void FrequencyScaleView::SetFrequencies(double receiveHz, double transmitHz) {
  receiveHz_ = receiveHz;
  transmitHz_ = transmitHz;
  LayOutFrequencyScale(receiveHz, transmitHz, layout_, image_.width(), image_.height(), signalHz_,
                       axis_);
  PaintFrequencyScale(layout_, image_);
  // The labels change only with the span, so their text is made only then.
  for (int i = 0; i < layout_.labelCount; ++i) {
    const auto slot = static_cast<size_t>(i);
    const QString text = QString::number(layout_.labels[slot].hz);
    if (labelText_[slot] != text) labelText_[slot] = text;
  }
  update();
}

void FrequencyScaleView::SetSignalMarks(std::vector<double> centresHz) {
  if (centresHz == signalHz_) return;
  signalHz_ = std::move(centresHz);
  SetFrequencies(receiveHz_, transmitHz_);
}

QPoint FrequencyScaleView::PictureAt(QPoint pos) const {
  return ToDesignColumns(*this, pos);
}

void FrequencyScaleView::PaintContents(QPainter& painter) {
  const double stretch = Stretch(*this);
  painter.save();
  painter.scale(stretch, 1.0);
  painter.drawImage(0, 0, wrapped_);
  painter.restore();
  painter.setPen(QColor(kScaleTickColour.r, kScaleTickColour.g, kScaleTickColour.b));
  painter.setFont(font());
  for (int i = 0; i < layout_.labelCount; ++i) {
    const auto slot = static_cast<size_t>(i);
    const ScaleLabel& label = layout_.labels[slot];
    // The figures keep their size; only their places follow the stretched ticks.
    const int x =
        static_cast<int>(std::lround((label.x + kScaleLabelLeftPx) * stretch)) - kScaleLabelLeftPx;
    painter.drawText(QRect(x, label.y, 40, height() - label.y), Qt::AlignLeft | Qt::AlignTop,
                     labelText_[slot]);
  }
  // The markers go over the labels, as over the ticks.
  painter.scale(stretch, 1.0);
  for (int i = 0; i < layout_.markerCount; ++i) {
    const ScaleBox& box = layout_.markers[static_cast<size_t>(i)];
    painter.fillRect(box.rect.x, box.rect.y, box.rect.width, box.rect.height,
                     QColor(box.colour.r, box.colour.g, box.colour.b));
  }
}

// ---- Waterfall ----

namespace {

// The design size less the sunken frame: 465 x 102 outside, 100 rows inside.
constexpr int kWaterfallDesignRows = 100;

}  // namespace

WaterfallView::WaterfallView(QWidget* parent)
    : GraphicControl(5100, Qt::black, true, parent),
      receiveHz_(kDefaultCentreHz),
      image_(kWaterfallBins, kWaterfallDesignRows) {
  setCursor(Qt::CrossCursor);
  Rewrap();
  BuildMenu();
}

void WaterfallView::Rewrap() {
  wrapped_ = QImage(image_.ShownBytes(), image_.width(), image_.height(), 3 * image_.width(),
                    QImage::Format_RGB888);
}

void WaterfallView::resizeEvent(QResizeEvent* event) {
  const int rows = std::max(contentsRect().height(), 1);
  if (rows != image_.height()) {
    // The operator resized the window: the band's recent history stays in view.
    image_ = image_.Resized(rows);
    Rewrap();
  }
  GraphicControl::resizeEvent(event);
}

void WaterfallView::AddCaptureBuffer(std::span<const int16_t> samples) {
  bool drawn = false;
  spectrum_.Push(samples, [this, &drawn](WaterfallSpectrum::Magnitudes magnitudes) {
    WaterfallLine(magnitudes, levels_, paletteSwitch_, line_);
    image_.AddLine(line_);
    drawn = true;
  });
  if (drawn) update(contentsRect());
}

void WaterfallView::SetPaletteSwitch(int paletteSwitch) {
  paletteSwitch_ = paletteSwitch;
}

float WaterfallView::MagnitudeAt(int x) const {
  const int bin = x / 2;
  if (x < 0 || bin >= kWaterfallBins) return 0.0f;
  return spectrum_.lastLine()[static_cast<size_t>(bin)];
}

void WaterfallView::SetSettings(const WaterfallSettings& settings) {
  if (!IsWaterfallSettings(settings) || settings == settings_) return;
  const bool newSpan = settings.zoom != settings_.zoom;
  const bool newSpeed = settings.lineSamples != settings_.lineSamples;
  settings_ = settings;
  levels_ = WaterfallLevels(settings_);
  if (newSpan || newSpeed) Reconfigure(newSpan, true);
  // The menu shows what is in force, however it was set.
  for (QAction* action : menu_->findChildren<QAction*>()) {
    const QVariant v = action->data();
    if (!v.isValid()) continue;
    const QList<QVariant> pair = v.toList();
    const int value = pair.at(1).toInt();
    const std::array<int, 4> now{settings_.zoom, settings_.lineSamples, settings_.gainDb,
                                 settings_.rangeDb};
    action->setChecked(now[static_cast<size_t>(pair.at(0).toInt())] == value);
  }
}

void WaterfallView::SetReceiveFrequency(double hz) {
  receiveHz_ = hz;
  Reconfigure(false, false);
}

void WaterfallView::Reconfigure(bool newSpan, bool newSpeed) {
  const WaterfallAxis axis = WaterfallAxisFor(settings_.zoom, receiveHz_);
  if (!newSpan && !newSpeed && axis == axis_) return;
  if (newSpan) {
    // Another span: the old lines would not match the scale.
    image_.Clear();
  } else if (axis != axis_) {
    // The same span moved by whole bins: the history moves with it.
    image_.Shift(
        static_cast<int>(std::lround((axis_.leftHz - axis.leftHz) / (2 * axis.hzPerColumn))));
  }
  const bool moved = axis != axis_;
  axis_ = axis;
  spectrum_.Configure(axis_, settings_.zoom, settings_.lineSamples);
  update(contentsRect());
  if (moved) emit axisChanged(axis_);
}

void WaterfallView::StepSpan(int steps) {
  const auto at = std::find(kWaterfallZooms.begin(), kWaterfallZooms.end(), settings_.zoom);
  const auto index = std::clamp<std::ptrdiff_t>((at - kWaterfallZooms.begin()) + steps, 0,
                                                std::ssize(kWaterfallZooms) - 1);
  WaterfallSettings s = settings_;
  s.zoom = kWaterfallZooms[static_cast<size_t>(index)];
  SetSettings(s);
}

void WaterfallView::wheelEvent(QWheelEvent* event) {
  // A notch (15 degrees) a span; a touchpad's small steps add up to one.
  wheel_ += event->angleDelta().y();
  while (std::abs(wheel_) >= 120) {
    StepSpan(wheel_ > 0 ? 1 : -1);
    wheel_ -= wheel_ > 0 ? 120 : -120;
  }
  event->accept();
}

void WaterfallView::BuildMenu() {
  menu_ = new QMenu(QStringLiteral("Waterfall"), this);
  menu_->setObjectName(QStringLiteral("waterfall menu"));
  // Each item carries (which setting, its value).
  const auto group = [this](const QString& title, int which, std::span<const int> values,
                            const std::function<QString(int)>& caption) {
    QMenu* sub = menu_->addMenu(title);
    auto* exclusive = new QActionGroup(sub);
    for (const int value : values) {
      QAction* action = sub->addAction(caption(value));
      action->setCheckable(true);
      action->setData(QList<QVariant>{which, value});
      exclusive->addAction(action);
      connect(action, &QAction::triggered, this, [this, which, value] {
        WaterfallSettings s = settings_;
        std::array<int*, 4> fields{&s.zoom, &s.lineSamples, &s.gainDb, &s.rangeDb};
        *fields[static_cast<size_t>(which)] = value;
        SetSettings(s);
      });
    }
  };
  group(QStringLiteral("&Span"), 0, kWaterfallZooms, [](int zoom) {
    if (zoom == 1) return QStringLiteral("Whole band, 250-2050 Hz");
    const double bin = 8000.0 / kFftSize / zoom;
    return QStringLiteral("%1 Hz around the receive frequency, %2 Hz a bin")
        .arg(std::lround(kWaterfallBins * bin))
        .arg(bin, 0, 'g', 3);
  });
  group(QStringLiteral("S&peed"), 1, kWaterfallLineSamples, [](int samples) {
    return QStringLiteral("%1 lines a second").arg(8000.0 / samples, 0, 'f', 1);
  });
  group(QStringLiteral("&Gain"), 2, kWaterfallGainsDb, [](int db) {
    return QStringLiteral("%1%2 dB").arg(db > 0 ? QStringLiteral("+") : QString()).arg(db);
  });
  group(QStringLiteral("&Range"), 3, kWaterfallRangesDb, [](int db) {
    return db == 48 ? QStringLiteral("48 dB (linear)") : QStringLiteral("%1 dB").arg(db);
  });
  const WaterfallSettings start = settings_;
  settings_.zoom = 0;  // so the first SetSettings checks the items
  SetSettings(start);
}

QPoint WaterfallView::PictureAt(QPoint pos) const {
  return ToDesignColumns(*this, pos);
}

void WaterfallView::PaintContents(QPainter& painter) {
  // Each bin two screen columns wide (more in a wider window), nearest-neighbour: a
  // smoothed stretch would smear a narrow signal over its neighbours.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  const QRect contents = contentsRect();
  const int shownWidth = static_cast<int>(std::lround(2 * image_.width() * Stretch(*this)));
  painter.drawImage(QRect(0, contents.top(), shownWidth, image_.height()), wrapped_);
}

}  // namespace vela::app
