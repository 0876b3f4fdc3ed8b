#include "app/window/CorrelationWindow.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dialogs/Dialogs.h"
#include "app/window/GraphicControls.h"
#include "display/CorrelationDisplay.h"

namespace vela::app {

CorrelationView::CorrelationView(QWidget* parent)
    : QWidget(parent),
      image_(kCorrelationWidth, kCorrelationHeight, kCorrelationBackground),
      wrapped_(WrapPixels(image_)) {
  // The picture's own pixels at the least; a larger window draws them larger.
  setMinimumSize(kCorrelationWidth, kCorrelationRows);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CorrelationView::SetRow(int row, std::span<const float> correlations) {
  if (row < 0 || row >= kCorrelationRows) return;
  greys_.resize(correlations.size());
  CorrelationGreys(correlations, greys_);
  DrawCorrelationRow(row, greys_, image_);
  update();
}

void CorrelationView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  // The view can be taller than the picture's rows: its never-drawn last row is left out.
  painter.drawImage(rect(), wrapped_, QRect(0, 0, kCorrelationWidth, kCorrelationRows));
}

CorrelationWindow::CorrelationWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool), view_(new CorrelationView(this)), figures_(new QLabel(this)) {
  setObjectName(QStringLiteral("correlation"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Correlation"));
  setFont(DialogFont());
  view_->setAccessibleName(QStringLiteral("Correlation display"));
  view_->setAccessibleDescription(
      QStringLiteral("One row per frame: how strongly the sync pattern matches at each offset"));
  // The figures go under the picture, where a window manager's short title cannot hide them.
  figures_->setAccessibleName(QStringLiteral("Sync confidence and location"));
  figures_->setContentsMargins(4, 2, 4, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view_, 1);
  layout->addWidget(figures_);
  // Opened with the rows twice their height and wide enough for the whole caption in the
  // title bar, beside the window manager's buttons.
  const QString widest = QString::fromStdString(CorrelationCaption(1000.0, -999));
  const int titleWidth = QFontMetrics(QApplication::font()).horizontalAdvance(widest) + 160;
  const int figuresHeight = figures_->fontMetrics().height() + 4;
  setGeometry(100, 100, std::max(kCorrelationWidth, titleWidth),
              2 * kCorrelationRows + figuresHeight);
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
