#include "app/window/CorrelationWindow.h"

#include <QLabel>
#include <QPainter>
#include <QRegularExpression>

#include "app/dialogs/Dialogs.h"
#include "app/window/GraphicControls.h"
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
    : QWidget(parent, Qt::Tool), view_(new CorrelationView(this)), figures_(new QLabel(this)) {
  setObjectName(QStringLiteral("correlation"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Correlation"));
  setFont(DialogFont());
  view_->move(0, 0);
  view_->setAccessibleName(QStringLiteral("Correlation display"));
  view_->setAccessibleDescription(
      QStringLiteral("One row per frame: how strongly the sync pattern matches at each offset"));
  // The figures go under the picture, where a window manager's short title cannot hide them.
  // The picture is one row taller than its part of the window; its last row is never drawn.
  const int figuresHeight = figures_->fontMetrics().height() + 6;
  figures_->setGeometry(4, kCorrelationRows, kCorrelationWidth - 8, figuresHeight);
  figures_->setAccessibleName(QStringLiteral("Sync confidence and location"));
  setGeometry(100, 100, kCorrelationWidth, kCorrelationRows + figuresHeight);
  figures_->raise();
}

void CorrelationWindow::SetSyncFigures(double syncPeak, int location) {
  const QString caption = QString::fromStdString(CorrelationCaption(syncPeak, location));
  if (caption == windowTitle()) return;
  setWindowTitle(caption);
  // The caption's long run of spaces, shorter: the window is narrower than a title bar.
  QString shown = caption;
  shown.replace(QRegularExpression(QStringLiteral("% +")), QStringLiteral("%     "));
  figures_->setText(shown);
}

}  // namespace vela::app
