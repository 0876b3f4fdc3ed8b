// The status bar: six sunken parts (receive frequency, cursor read-out, tune/CWID, beacon,
// mode, clock), the first four as wide as their longest texts, the mode line at a fixed
// width, the clock running to the right edge; and a passing note that covers parts 2 to 6
// for a few seconds.
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
  // Parts 1 to 5 as laid out: 1 to 4 as wide as their longest texts, 5 at the design's.
  std::array<int, 5> partWidths() const;
  // Parts 1 and 2 read the dial (kHz, wider) rather than audio frequencies.
  void SetDialReadouts(bool on);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Relayout();
  bool dial_ = false;
  std::array<QLabel*, 6> parts_{};
  QLabel* note_;
  QTimer* noteTimer_;
};

}  // namespace vela::app
