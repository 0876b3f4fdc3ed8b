// The red "ON AIR" sign in the menu bar's corner: seen from across the shack, and saying
// what is going out (text, tune, CWID or the beacon) for as long as our audio can be
// reaching the transmitter.
#pragma once

#include <QLabel>

#include "station/TransmitController.h"

class QMenuBar;

namespace vela::app {

class OnAirIndicator : public QLabel {
 public:
  explicit OnAirIndicator(QMenuBar* bar);
  void Show(const TransmitState& state);
};

}  // namespace vela::app
