#include "app/CorrelationWindow.h"

#include <QPainter>

#include "app/GraphicControls.h"
#include "rx/CorrelationDisplay.h"

namespace vela::app {

CorrelationView::CorrelationView(QWidget* parent)
    : QWidget(parent),
      image_(kCorrelationWidth, kCorrelationHeight, kCorrelationBackground),
      wrapped_(WrapPixels(image_)) {
  setFixedSize(kCorrelationWidth, kCorrelationHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CorrelationView::SetRow(int row, std::span<const uint8_t> greys) {
  if (row < 0 || row >= kCorrelationRows) return;
  DrawCorrelationRow(row, greys, image_);
  update(0, row, image_.width(), 1);
}

void CorrelationView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawImage(0, 0, wrapped_);
}

CorrelationWindow::CorrelationWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool), view_(new CorrelationView(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Correlation"));
  // The picture is one row taller than the window; its last row is never drawn.
  setGeometry(100, 100, kCorrelationWidth, kCorrelationRows);
  view_->move(0, 0);
}

void CorrelationWindow::SetCaption(const QString& caption) {
  if (caption != windowTitle()) setWindowTitle(caption);
}

}  // namespace vela::app
