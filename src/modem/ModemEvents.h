// What the modem core reports upward. The terminal window and the command line implement
// this; the core never calls either directly. Every call comes on the thread that drives
// the modem. Default implementations ignore the event.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vela {

struct FrameReport {
  int64_t frame;    // frames processed by the receiver since start
  int location;     // sync location chosen
  double syncPeak;  // squared PN correlation at that location, 0..961
  int confidence;   // floor(syncPeak / 9.6), 0..100
};

class ModemEvents {
 public:
  virtual ~ModemEvents() = default;

  // A received character for the receive pane (squelch open, pause off).
  virtual void RxChar(uint8_t /*c*/) {}
  // A received secondary character for the secondary pane (squelch open).
  virtual void SecondaryChar(uint8_t /*c*/) {}
  // A character the transmitter has decoded back from its own frames.
  virtual void EchoChar(uint8_t /*c*/) {}
  // The delayed-receive end marker has been echoed: the operator's SEND is to be pressed.
  virtual void EndMarkerEchoed() {}

  // Demodulator displays: every quarter symbol, and every tenth quarter symbol.
  virtual void EyeStep(int /*subSymbol*/, long double /*phaseStep*/) {}
  virtual void LevelBar(int /*signalLevel*/) {}
  virtual void ConfidenceBar(int /*value*/) {}

  // Sync correlator, once per received frame: one grey level per searched offset for
  // display row `row` (0..59), the Correlation window's caption, and the frame's figures.
  virtual void CorrelationRow(int /*row*/, std::span<const uint8_t> /*greyPerOffset*/) {}
  virtual void CorrelationCaption(const std::string& /*caption*/) {}
  virtual void FrameProcessed(const FrameReport& /*report*/) {}
};

}  // namespace vela
