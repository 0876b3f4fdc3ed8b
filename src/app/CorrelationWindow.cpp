#include "app/CorrelationWindow.h"

#include <QPainter>

#include "app/GraphicControls.h"
#include "display/CorrelationDisplay.h"

namespace vela::app {

CorrelationView::CorrelationView(QWidget* parent)
    : QWidget(parent),
      image_(kCorrelationWidth, kCorrelationHeight, kCorrelationBackground),
      wrapped_(WrapPixels(image_)) {
  setFixedSize(kCorrelationWidth, kCorrelationHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CorrelationView::SetRow(int row, std::span<const float> correlations) {
  if (row < 0 || row >= kCorrelationRows) return;
  greys_.resize(correlations.size());
  CorrelationGreys(correlations, greys_);
  DrawCorrelationRow(row, greys_, image_);
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

void CorrelationWindow::SetSyncFigures(double syncPeak, int location) {
  const QString caption = QString::fromStdString(CorrelationCaption(syncPeak, location));
  if (caption != windowTitle()) setWindowTitle(caption);
}

}  // namespace vela::app
