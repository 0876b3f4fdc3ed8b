// Where the station and the window meet. The station shows what it hears and does through
// a StationView, and never touches a widget; the window passes the operator's transmit
// presses on through a StationControl, and never holds the transmit controller. Either side
// can be stood in for: a test drives the station through a scripted view, or the window
// through a scripted control.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "modem/ModemEvents.h"
#include "scan/BandScanner.h"
#include "station/ReceiveStats.h"
#include "station/StationCore.h"
#include "station/TransmitController.h"

namespace vela::app {

struct OperatorSettings;

class StationView {
 public:
  // The rig's dial as last read: the frequencies on air follow from it.
  using Dial = DialReading;

  virtual ~StationView() = default;

  // The operator's settings as they stand (what the station applies at start-up and when
  // a PTT is chosen).
  virtual const OperatorSettings& settings() const = 0;
  // The transmit pane's text (the station keeps its copy from TransmitTextChanged).
  virtual QString transmitText() const = 0;
  virtual QString caption() const = 0;

  // ---- What the receiver hears ----
  // One received or echoed character at the end of the receive pane.
  virtual void ShowReceivedChar(uint8_t c, QColor colour) = 0;
  virtual void ShowSecondaryChar(uint8_t c) = 0;
  // The receive pane goes on at the start of a line (a new over, a retune).
  virtual void StartNewLine() = 0;
  // Once a captured buffer: the bars and the eye.
  virtual void ShowReceiveStats(const ReceiveStats& stats) = 0;
  // Each half-overlapped block of 2048 samples, for the waterfall.
  virtual void ShowSpectrumBlock(std::span<const int16_t> samples) = 0;
  // Once a frame: the Correlation window's row and the frame's sync figures.
  virtual void ShowCorrelationRow(int row, std::span<const float> correlationPerOffset) = 0;
  virtual void ShowFrame(const FrameReport& report) = 0;
  // The capture has no audio (a silent or lost card): the displays say so.
  virtual void ShowNoAudio(bool none) = 0;
  // A band scanner the view asked for (StationControl::AddScanner) has had its turn.
  virtual void ShowScan(const BandScanner& scanner) = 0;

  // ---- What the station does ----
  virtual void ShowTransmitState(const TransmitState& now, const TransmitState& before) = 0;
  // An over that carried the pane's text has ended: the pane is emptied.
  virtual void ClearTransmitPane() = 0;
  // An over was cut: the pane keeps only what did not reach the air (its text from
  // character `sent` on), for the operator to edit or send again.
  virtual void KeepUnsentText(int sent) = 0;
  virtual void ShowDial(const std::optional<Dial>& dial) = 0;
  virtual void SetCaptureDevices(QStringList devices) = 0;
  // Recording what the receiver hears has stopped by itself (full disk, size limit).
  virtual void ShowReceiveRecordingStopped() = 0;

  // ---- Telling the operator ----
  // A line in the status bar for `ms` milliseconds.
  virtual void ShowNote(const QString& text, int ms) = 0;
  virtual void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) = 0;
  // The station may end now (the output has closed after an exit was asked for).
  virtual void CloseWhenReady() = 0;
};

// The operator's transmit presses, as the window passes them on.
class StationControl {
 public:
  virtual ~StationControl() = default;
  virtual void Send() = 0;
  virtual void ToggleCwId() = 0;
  virtual void ToggleTune() = 0;
  virtual void ToggleBeacon() = 0;
  // The Morse identifier sent by CWID: its element string and element period.
  virtual void SetMorseIdentifier(const std::string& pattern, int periodMs) = 0;
  // Asks the station to end: false while the output is still closing (the view's
  // CloseWhenReady() follows once it has).
  virtual bool RequestExit() = 0;
  virtual bool exitRequested() const = 0;
  virtual const TransmitState& transmitState() const = 0;
  // A band scanner over the receive audio, the station's until RemoveScanner(): it gets a
  // turn of `budget` after each captured buffer, told through StationView::ShowScan().
  virtual const BandScanner& AddScanner(const ScanConfig& config,
                                        std::chrono::microseconds budget) = 0;
  virtual void RemoveScanner(const BandScanner& scanner) = 0;
};

}  // namespace vela::app
