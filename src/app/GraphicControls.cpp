#include "app/GraphicControls.h"

#include <QMouseEvent>
#include <QPainter>

namespace vela::app {

GraphicControl::GraphicControl(int id, QColor background, bool sunken, QWidget* parent)
    : QFrame(parent), id_(id), background_(background) {
  setObjectName(QStringLiteral("c%1").arg(id));
  if (sunken) setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setMouseTracking(true);
}

void GraphicControl::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(contentsRect(), background_);
  painter.end();
  QFrame::paintEvent(event);
}

void GraphicControl::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMovedTo(event->position().toPoint());
  QFrame::mouseMoveEvent(event);
}

void GraphicControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) emit leftClicked(event->position().toPoint());
  if (event->button() == Qt::RightButton) emit rightClicked(event->position().toPoint());
  QFrame::mousePressEvent(event);
}

EyeDiagramView::EyeDiagramView(QWidget* parent) : GraphicControl(300, Qt::black, true, parent) {}

LevelBarView::LevelBarView(QWidget* parent) : GraphicControl(3910, Qt::black, false, parent) {}

SquelchBarView::SquelchBarView(QWidget* parent) : GraphicControl(2001, Qt::black, false, parent) {
  setCursor(Qt::CrossCursor);
}

FrequencyScaleView::FrequencyScaleView(QWidget* parent)
    : GraphicControl(330, QColor(255, 255, 255), false, parent) {}

WaterfallView::WaterfallView(QWidget* parent) : GraphicControl(5100, Qt::black, true, parent) {
  setCursor(Qt::CrossCursor);
}

}  // namespace vela::app
