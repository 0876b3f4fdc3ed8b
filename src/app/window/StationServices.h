// The station's own details, its QSO log, its spots and its link to a logger, as the window
// offers them: the Station menu (Station details..., Report spots, Log QSO... on Ctrl+L, Open
// log folder, Logger messages...), the question a first start asks, and what goes out on
// the network while the terminal runs.
//
// Spots: the main receiver's station is heard by an ear of its own, a band scanner over a few
// symbol rates around the receive frequency, which measures its S/N and reads its call by the
// same rule as the signal browser; the browser's stations are reported while it is open.
// Logger messages: a heartbeat, the status on every change, a decode for each line the main
// receiver copies, a clear when the receive pane is cleared, the QSOs logged, Close at the
// end; halt, free text, replay, clear and location from the logger.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "net/SpotReporter.h"
#include "net/UdpMessages.h"
#include "net/UdpSpotSink.h"
#include "scan/BandScanner.h"
#include "station/Logbook.h"
#include "station/StationDetails.h"

class QAction;
class QMenu;

namespace vela::app {

class LogQsoDialog;
class MainWindow;
class SignalBrowser;
class Station;
struct OperatorSettings;
struct StationEntry;

// Where spots go, and how often.
struct SpotService {
  std::string host = net::kReportHost;
  uint16_t port = net::kReportPort;
  net::ReporterConfig config;
};

class StationServices : public QObject {
  Q_OBJECT
 public:
  // The Station menu's items, by the ids their actions are named after ("m1801" ...).
  enum Item { kStationDetails = 1801, kReportSpots, kLogQso, kLogFolder, kLoggerLink };

  // Keeps its files in `folder`, beside VELApreferences.INI.
  StationServices(MainWindow& window, Station& station, const QString& folder,
                  SpotService spots = {});
  ~StationServices() override;  // what is queued goes, and the logger hears Close
  StationServices(const StationServices&) = delete;
  StationServices& operator=(const StationServices&) = delete;

  // Once the window is up: problems with the files told, spots and the logger link started
  // as last time, and on a first start the callsign and locator asked for.
  void Start();

  QAction* action(Item item) const;
  // As the file should hold them now: the window's mode, receiver and transmit-follows
  // choices are taken in at each call.
  const StationDetails& details();
  const net::SpotReporter* reporter() const { return reporter_.get(); }
  const UdpMessages* logger() const { return udp_.get(); }
  QString logPath() const;
  // The call the main receiver last heard whole (from its secondary text, else "de CALL").
  std::string LastHeardCall() const;

 private:
  void BuildMenu();
  void AskFirstStart();
  void EditDetails();
  void Apply(const StationEntry& entry);
  void SaveDetails();
  void SetReporting(bool on);
  std::optional<QString> StartReporting();
  void StopReporting();
  void RebuildEar();
  void EditLoggerLink();
  void StartLogger();
  void LogQso();
  void PlaceBrowser();
  std::optional<QString> Log(const QsoRecord& record);
  void Copied(bool secondary, quint8 c);
  void DropEar();
  void SettingsChanged(const OperatorSettings& settings);
  void Poll();
  void ReportHeard(const BandScanner& scanner);
  void SendLine();
  void HaltTx(bool autoTxOnly);
  void FreeText(const std::string& utf8, bool send);
  net::Dial CurrentDial() const;
  QString CallsignNow() const;
  void Note(const QString& text, int ms = 10000);

  MainWindow& window_;
  Station& station_;
  QString folder_;
  SpotService spots_;
  QString stationPath_;
  bool firstStart_ = false;
  std::string loadMessage_;
  StationDetails details_;
  Logbook logbook_;
  QPointer<QMenu> menu_;
  QPointer<LogQsoDialog> logDialog_;

  std::unique_ptr<net::UdpSpotSink> sink_;
  std::unique_ptr<net::SpotReporter> reporter_;
  std::string reportedAs_;            // the call, locator and antenna the reporter sends
  const BandScanner* ear_ = nullptr;  // the station's, while spots are reported
  Mode earMode_ = kDefaultMode;
  double earHz_ = 0;
  int64_t datagramsShown_ = 0;
  QPointer<SignalBrowser> markedBrowser_;
  QPointer<SignalBrowser> placedBrowser_;
  bool onAir_ = false;

  std::unique_ptr<UdpMessages> udp_;
  bool clearFromLogger_ = false;
  bool paneEmpty_ = true;

  std::string secondary_;    // the main receiver's latest secondary text
  std::string primaryTail_;  // and primary text
  std::string line_;         // the line being copied
  QDateTime lineTouched_;
  std::string mainCall_;
  std::map<std::string, QDateTime> firstHeard_;  // this session, UTC
  QTimer poll_;
};

}  // namespace vela::app
