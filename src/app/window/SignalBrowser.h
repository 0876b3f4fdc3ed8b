// The signal browser: the operator's map of the band. The band scanner finds who is on, where,
// how strong and in which mode in the receive audio, also signals too weak to see on the
// waterfall; every station heard this session is listed with its call, audio centre (and the
// frequency on air when the rig's dial is known), mode, S/N now and at best, when it was first
// and last heard (UTC) and the end of its newest line of copy. A station that falls silent
// stays, greyed, until the operator clears the list. A double-click tunes the main receiver to
// a row; its menu also logs a QSO with the station and copies what it sent. Marks on the
// waterfall's scale show where the stations on now are.
//
// The scanner is the station's, asked for when the window opens and given back when it closes:
// it is of use only to an operator looking at the list, and a closed window costs nothing. It
// runs on the window's thread, like every other receiver: the core has no locks and needs
// none, and the scanner costs a few per cent of a core. Each turn is held to a short budget;
// a computer too slow for that leaves audio queued, the scanner stops looking for new
// signals until it has caught up (those found go on being copied), and the window says so.
#pragma once

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "scan/BandMap.h"
#include "scan/BandScanner.h"

class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vela::app {

class FrequencyScaleView;
class MainWindow;

class SignalBrowser : public QWidget {
  Q_OBJECT
 public:
  enum Column {
    kCallColumn,
    kModeColumn,
    kAudioColumn,
    kRfColumn,
    kSnrColumn,
    kBestSnrColumn,
    kFirstColumn,
    kLastColumn,
    kTextColumn
  };
  // Characters of the newest line a row holds: the rest of it is further back.
  static constexpr size_t kLineShown = 200;
  // Scanner time per capture buffer (128 ms of audio): at most about a tenth of a core.
  static constexpr std::chrono::microseconds kRunBudget{12000};

  // What the browser's scanner listens for: the waterfall's band at the receiver's sample rate
  // (the sound card's clock correction), each signal's copy under the receiver's squelch.
  static ScanConfig ScanFor(long double sampleRate, int squelch);

  // Shows what `scanner` finds; it must outlive the window.
  SignalBrowser(MainWindow& window, const BandScanner& scanner);
  ~SignalBrowser() override;
  SignalBrowser(const SignalBrowser&) = delete;
  SignalBrowser& operator=(const SignalBrowser&) = delete;

  // The scanner has had a turn: the list and the marks follow it.
  void ScannerRan();
  // Our own signal would swamp the band: the capture rests meanwhile, and the list says so
  // and cannot tune.
  void SetTransmitting(bool on);

  // Which calls have gone out in a spot: their rows are marked (and again after each report).
  void MarkReported(std::function<bool(const std::string& call)> reported);
  void RefreshMarks() { Refresh(); }
  // The station of the row the operator has selected (heard now or not), or none.
  const HeardStation* selected() const;
  // Puts the window where the operator last left it, if that is on a screen now; else it
  // stays beside the main window, where it opens.
  void PlaceAt(const QRect& remembered);
  // The menu of a row: tune to it, log a QSO with it, copy its text; and clear the list.
  QMenu* RowMenu(QTreeWidgetItem* item);
  // Forgets the stations no longer heard.
  void ClearSilent();

  const BandScanner& scanner() const { return scanner_; }
  const BandMap& map() const { return map_; }
  QTreeWidget* list() const { return list_; }
  QLabel* note() const { return note_; }
  QPushButton* clearButton() const { return clear_; }

 signals:
  // Moved, resized or put away: where it is now, to be kept for next time.
  void placeChanged(const QRect& place);

 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Refresh();
  void ShowRow(QTreeWidgetItem& item, const HeardStation& station) const;
  const HeardStation* StationOf(const QTreeWidgetItem* item) const;
  QString OnAir(double audioHz) const;
  void ShowNote();
  void Tune(const QTreeWidgetItem* item);
  void PlaceBesideWindow();

  MainWindow& window_;
  QPointer<FrequencyScaleView> scale_;
  const BandScanner& scanner_;
  BandMap map_;
  QTreeWidget* list_;
  QLabel* note_;
  QPushButton* clear_;
  QHash<int, QTreeWidgetItem*> rows_;  // by station key
  uint64_t shownMap_ = 0;
  std::function<bool(const std::string& call)> reported_;
  bool transmitting_ = false;
  uint64_t shownRevision_ = 0;
  // The dial the RF column was worked out from: a new one redraws it.
  std::optional<std::pair<double, std::string>> shownDial_;
};

}  // namespace vela::app
