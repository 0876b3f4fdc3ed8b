// The Correlation window: a small tool window showing, one row per received frame, how
// strongly the PN pattern correlates at every sync offset, and the last frame's sync
// confidence and location under the picture and in its caption. A steady signal draws a dark
// vertical line at its sync location.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

class QLabel;

#include "display/Pixels.h"

namespace vela::app {

// The 447 x 61 picture, rows overwritten in turn by the sync search, drawn at least at its
// own size and stretched to the view's.
class CorrelationView : public QWidget {
  Q_OBJECT
 public:
  explicit CorrelationView(QWidget* parent = nullptr);

  void SetRow(int row, std::span<const float> correlations);
  const PixelImage& image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  PixelImage image_;
  QImage wrapped_;
  std::vector<uint8_t> greys_;
};

// Modeless and independent of the main window's focus; there is one, which the menu entry
// brings to the front. Deletes itself when closed, so keep it in a QPointer.
class CorrelationWindow : public QWidget {
  Q_OBJECT
 public:
  explicit CorrelationWindow(QWidget* parent = nullptr);

  // Display row `row` (0..59): the PN correlation (0..961) at every searched offset, as a
  // grey pixel pair each.
  void SetRow(int row, std::span<const float> correlations) { view_->SetRow(row, correlations); }
  // The last frame's sync confidence and location, in the window and its caption.
  void SetSyncFigures(double syncPeak, int location);

  CorrelationView* view() const { return view_; }
  QLabel* figures() const { return figures_; }

 private:
  CorrelationView* view_;
  QLabel* figures_;
};

}  // namespace vela::app
