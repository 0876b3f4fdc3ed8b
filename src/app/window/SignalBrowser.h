// The signal browser: who is on the band, where, how strong and in which mode, found by the
// band scanner in the receive audio, also signals too weak to see on the waterfall. Each row
// gives the audio centre (and the frequency on air when the rig's dial is known), mode, S/N,
// the sender's callsign and the last line copied; a double-click tunes the main receiver to
// it. Marks on the waterfall's scale show where the listed signals are.
//
// The scanner lives and runs only while the window is open: it is of use only to an
// operator looking at the list, and a closed window costs nothing. It runs on the window's
// thread, like every other receiver: the core has no locks and needs none, and the scanner
// costs a few per cent of a core. Its work is posted behind the events already queued, so the
// capture buffers and the transmitter's refills waiting are served first, and each turn is
// held to a short budget; a computer too slow for that leaves audio queued, the scanner stops
// looking for new signals until it has caught up (those found go on being copied), and the
// window says so.
#pragma once

#include <QPointer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "scan/BandScanner.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace vela::app {

class FrequencyScaleView;
class MainWindow;

class SignalBrowser : public QWidget {
  Q_OBJECT
 public:
  enum Column { kAudioColumn, kRfColumn, kModeColumn, kSnrColumn, kCallColumn, kTextColumn };
  // Scanner time per capture buffer (128 ms of audio): at most about a tenth of a core.
  static constexpr std::chrono::microseconds kRunBudget{12000};

  // Listens at the receiver's sample rate (the sound card's clock correction).
  SignalBrowser(MainWindow& window, long double sampleRate);
  ~SignalBrowser() override;
  SignalBrowser(const SignalBrowser&) = delete;
  SignalBrowser& operator=(const SignalBrowser&) = delete;

  // A capture buffer the main receiver has had; the scanner gets to it later.
  void Push(std::span<const int16_t> samples);
  // Our own signal would swamp the band: the capture rests meanwhile, and the list says so
  // and cannot tune.
  void SetTransmitting(bool on);

  // Which calls have gone out in a spot: their rows are marked (and again after each report).
  void MarkReported(std::function<bool(const std::string& call)> reported);
  void RefreshMarks() { Refresh(); }
  // The signal of the row the operator has selected, or none.
  const ScanSignal* selected() const;

  const BandScanner& scanner() const { return scanner_; }
  QTreeWidget* list() const { return list_; }
  QLabel* note() const { return note_; }

 private:
  void RunScanner();
  void Refresh();
  void ShowRow(QTreeWidgetItem& item, const ScanSignal& signal) const;
  QString OnAir(double audioHz) const;
  void ShowNote();
  void Tune(const QTreeWidgetItem* item);

  MainWindow& window_;
  QPointer<FrequencyScaleView> scale_;
  BandScanner scanner_;
  QTreeWidget* list_;
  QLabel* note_;
  std::function<bool(const std::string& call)> reported_;
  bool runPending_ = false;
  bool transmitting_ = false;
  uint64_t shownRevision_ = 0;
  // The dial the RF column was worked out from: a new one redraws it.
  std::optional<std::pair<double, std::string>> shownDial_;
};

}  // namespace vela::app
