// What the modem reports upward. The terminal window and the command line implement this;
// the modem never calls either directly. Every call comes on the thread that drives the
// modem. Default implementations ignore the event.
#pragma once

#include <cstdint>
#include <span>

#include "rx/TextEvents.h"

namespace vela {

struct FrameReport {
  int64_t frame;    // frames processed by the receiver since start
  int location;     // sync location chosen
  double syncPeak;  // squared PN correlation at that location, 0..961
  int confidence;   // floor(syncPeak / 9.6), 0..100
};

class ModemEvents : public TextEvents {
 public:
  // Demodulator displays: every quarter symbol, and every tenth quarter symbol.
  virtual void EyeStep(int /*subSymbol*/, long double /*phaseStep*/) {}
  virtual void LevelBar(int /*signalLevel*/) {}
  virtual void ConfidenceBar(int /*value*/) {}

  // Sync search, once per received frame: the PN correlation (0..961) at every searched
  // offset for Correlation window row `row` (0..59), then the frame's figures.
  virtual void CorrelationRow(int /*row*/, std::span<const float> /*correlationPerOffset*/) {}
  virtual void FrameProcessed(const FrameReport& /*report*/) {}
};

}  // namespace vela
