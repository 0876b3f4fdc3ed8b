// A pair of small arrow buttons that trims a value beside it one step at a time (the
// receive sample-rate trim). Up reports delta -1 and down +1, so the up arrow raises a
// rate computed as rate - delta / 10.
#pragma once

#include <QWidget>

class QToolButton;

namespace vela::app {

class UpDownControl : public QWidget {
  Q_OBJECT
 public:
  explicit UpDownControl(QWidget* parent = nullptr);
  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

 signals:
  void stepped(int delta);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace vela::app
