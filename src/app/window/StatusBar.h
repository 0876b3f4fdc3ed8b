// The status bar: six sunken parts (receive frequency, cursor read-out, tune/CWID, beacon,
// mode, clock), the two frequencies as wide as their longest read-outs, the next three at
// fixed widths, the clock running to the right edge; and a passing note that covers parts
// 2 to 6 for a few seconds.
#pragma once

#include <QFrame>
#include <array>

class QLabel;
class QTimer;

namespace vela::app {

class StatusBar : public QFrame {
  Q_OBJECT
 public:
  static constexpr std::array<int, 5> kPartWidths = {50, 110, 125, 110, 140};

  explicit StatusBar(QWidget* parent = nullptr);
  QLabel* part(int n) const { return parts_.at(n - 1); }  // 1..6
  void ShowNote(const QString& text, int ms);
  QString note() const;
  QSize sizeHint() const override;
  // Parts 1 to 5 as laid out: the design's widths, wider where a read-out needs it.
  std::array<int, 5> partWidths() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::array<QLabel*, 6> parts_{};
  QLabel* note_;
  QTimer* noteTimer_;
};

}  // namespace vela::app
