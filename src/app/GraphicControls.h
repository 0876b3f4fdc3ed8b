// The window's drawn controls: eye diagram, signal-to-noise and squelch bars, frequency
// scale and waterfall. Each is a plain surface for now that paints its background and
// reports the mouse; the receive displays draw into them.
#pragma once

#include <QColor>
#include <QFrame>
#include <QPoint>

namespace vela::app {

class GraphicControl : public QFrame {
  Q_OBJECT
 public:
  GraphicControl(int id, QColor background, bool sunken, QWidget* parent = nullptr);
  int controlId() const { return id_; }
  QColor background() const { return background_; }

 signals:
  void mouseMovedTo(QPoint pos);
  void leftClicked(QPoint pos);
  void rightClicked(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int id_;
  QColor background_;
};

class EyeDiagramView : public GraphicControl {
  Q_OBJECT
 public:
  explicit EyeDiagramView(QWidget* parent = nullptr);
};

class LevelBarView : public GraphicControl {
  Q_OBJECT
 public:
  explicit LevelBarView(QWidget* parent = nullptr);
};

class SquelchBarView : public GraphicControl {
  Q_OBJECT
 public:
  explicit SquelchBarView(QWidget* parent = nullptr);
};

class FrequencyScaleView : public GraphicControl {
  Q_OBJECT
 public:
  explicit FrequencyScaleView(QWidget* parent = nullptr);
};

class WaterfallView : public GraphicControl {
  Q_OBJECT
 public:
  explicit WaterfallView(QWidget* parent = nullptr);
};

}  // namespace vela::app
