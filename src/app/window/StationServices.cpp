#include "app/window/StationServices.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/dialogs/LogQsoDialog.h"
#include "app/dialogs/StationDialog.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/SignalBrowser.h"
#include "app/window/Station.h"
#include "app/window/StatusBar.h"
#include "coding/Callsign.h"
#include "coding/Charset.h"
#include "rig/RigFrequency.h"
#include "station/SettingsFolder.h"

namespace vela::app {

namespace {

constexpr char kCaption[] = "Station";
constexpr size_t kTextKept = 300;  // bytes of the main receiver's text kept for its call
constexpr std::chrono::microseconds kEarBudget{4000};

QString ModeName(Mode mode) {
  const std::string_view name = ModeTable(mode).name;
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void Keep(std::string& text, uint8_t c) {
  text.push_back(static_cast<char>(c));
  if (text.size() > kTextKept) text.erase(0, text.size() - kTextKept);
}

}  // namespace

StationServices::StationServices(MainWindow& window, Station& station, const QString& folder,
                                 SpotService spots)
    : window_(window),
      station_(station),
      folder_(folder),
      spots_(std::move(spots)),
      stationPath_(QDir(folder).filePath(QString::fromLatin1(kStationFileName))),
      logbook_(QDir(folder).filePath(QString::fromLatin1(kQsoLogFileName)).toStdString()) {
  // A first start: nothing of the station's kept yet.
  firstStart_ =
      !QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(kPreferencesFileName))) &&
      !QFileInfo::exists(stationPath_);
  const StationDetailsLoad load = LoadStationDetails(stationPath_.toStdString());
  details_ = load.details;
  loadMessage_ = load.message;
  BuildMenu();
  connect(&station_, &Station::copied, this, &StationServices::Copied);
  connect(&station_, &Station::onAirChanged, this, [this](bool on) {
    onAir_ = on;
    if (reporter_) reporter_->SetTransmitting(on);
  });
  connect(&window_, &MainWindow::settingsChanged, this, &StationServices::SettingsChanged);
  connect(window_.receivePane(), &QTextEdit::textChanged, this, [this] {
    const bool empty = window_.receivePane()->document()->isEmpty();
    if (empty && !paneEmpty_ && udp_ && !clearFromLogger_) udp_->SendClear();
    paneEmpty_ = empty;
  });
  connect(&poll_, &QTimer::timeout, this, &StationServices::Poll);
  // Once the window has opened it: the browser goes where the operator last left it.
  connect(&window_, &MainWindow::signalBrowserShown, this, &StationServices::PlaceBrowser);
}

void StationServices::PlaceBrowser() {
  SignalBrowser* browser = window_.signalBrowser();
  if (browser == nullptr || browser == placedBrowser_) return;
  placedBrowser_ = browser;
  if (const auto& p = details_.browserPlace)
    browser->PlaceAt(QRect(p->x, p->y, p->width, p->height));
  connect(browser, &SignalBrowser::placeChanged, this, [this](const QRect& r) {
    details_.browserPlace = WindowPlace{r.x(), r.y(), r.width(), r.height()};
  });
}

StationServices::~StationServices() {
  poll_.stop();
  if (reporter_) reporter_->Flush();
  SendLine();
  udp_.reset();  // Close
  DropEar();
  delete menu_.data();
}

void StationServices::Start() {
  if (!loadMessage_.empty()) {
    station_.Tell(QMessageBox::Warning, QString::fromLatin1(kCaption),
                  QString::fromStdString(loadMessage_));
  }
  const Logbook::OpenResult open = logbook_.Open();
  if (!open.message.empty()) {
    station_.Tell(open.ok ? QMessageBox::Information : QMessageBox::Warning,
                  QStringLiteral("QSO log"), QString::fromStdString(open.message));
  }
  if (details_.loggerLink) StartLogger();
  if (details_.reporting) {
    if (const auto why = StartReporting()) {
      action(kReportSpots)->setChecked(false);
      station_.Tell(QMessageBox::Warning, QString::fromLatin1(kCaption), *why);
    }
  }
  poll_.start(500);
  if (firstStart_) AskFirstStart();
}

// ---- The menu ----

void StationServices::BuildMenu() {
  QMenuBar* bar = window_.menuBar();
  menu_ = new QMenu(QStringLiteral("St&ation"), bar);
  menu_->setObjectName(QStringLiteral("menu Station"));
  // Before Help, which stays last.
  const QList<QAction*> menus = bar->actions();
  bar->insertMenu(menus.isEmpty() ? nullptr : menus.last(), menu_);
  const auto add = [this](Item item, const QString& text, auto run) {
    QAction* a = menu_->addAction(text);
    a->setObjectName(QStringLiteral("m%1").arg(static_cast<int>(item)));
    a->setProperty("commandId", static_cast<int>(item));
    connect(a, &QAction::triggered, this, run);
    return a;
  };
  add(kStationDetails, QStringLiteral("Station &details..."), [this] { EditDetails(); });
  QAction* report =
      add(kReportSpots, QStringLiteral("&Report spots"), [this](bool on) { SetReporting(on); });
  report->setCheckable(true);
  report->setChecked(details_.reporting);
  report->setStatusTip(QStringLiteral("Report every station heard to PSK Reporter"));
  menu_->addSeparator();
  QAction* log = add(kLogQso, QStringLiteral("&Log QSO..."), [this] { LogQso(); });
  log->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  // From the signal browser too, where the operator picks the station.
  log->setShortcutContext(Qt::ApplicationShortcut);
  add(kLogFolder, QStringLiteral("Open log &folder"),
      [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(folder_)); });
  menu_->addSeparator();
  add(kLoggerLink, QStringLiteral("Logger &messages (UDP)..."), [this] { EditLoggerLink(); });
}

QAction* StationServices::action(Item item) const {
  return menu_->findChild<QAction*>(QStringLiteral("m%1").arg(static_cast<int>(item)));
}

QString StationServices::logPath() const {
  return QString::fromStdString(logbook_.path());
}

void StationServices::Note(const QString& text, int ms) {
  window_.statusBarWidget()->ShowNote(text, ms);
}

QString StationServices::CallsignNow() const {
  return window_.settings().callsign.trimmed().toUpper();
}

// ---- The station's details ----

void StationServices::AskFirstStart() {
  // Not modal: the terminal receives meanwhile, and "Later" (or closing it) asks no more.
  auto* dialog =
      new StationDialog(StationDialog::Kind::FirstStart, {CallsignNow(), details_}, &window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
    if (result == QDialog::Accepted) {
      Apply(dialog->entry());
    } else {
      SaveDetails();  // the file now says the question has been asked
    }
  });
  dialog->show();
}

void StationServices::EditDetails() {
  auto* dialog =
      new StationDialog(StationDialog::Kind::Details, {CallsignNow(), details_}, &window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { Apply(dialog->entry()); });
  dialog->open();
}

void StationServices::Apply(const StationEntry& entry) {
  if (entry.callsign != CallsignNow()) window_.SetCallsign(entry.callsign);
  details_ = entry.details;
  SaveDetails();
  if (reporter_) {
    StopReporting();
    if (const auto why = StartReporting()) Note(*why);
  }
}

const StationDetails& StationServices::details() {
  const OperatorSettings& settings = window_.settings();
  details_.mode = ModeTable(settings.mode).name;
  details_.enhancedReceiver = settings.enhancedReceiver;
  details_.transmitFollows = settings.transmitFollows;
  details_.waterfall = window_.waterfall()->settings();
  return details_;
}

void StationServices::SaveDetails() {
  details();
  std::string error;
  if (!SaveStationDetails(stationPath_.toStdString(), details_, &error)) {
    station_.Tell(QMessageBox::Warning, QString::fromLatin1(kCaption),
                  QString::fromStdString(error));
  }
}

// ---- Spots ----

void StationServices::SetReporting(bool on) {
  std::optional<QString> why;
  if (on && !reporter_) why = StartReporting();
  if (!on) StopReporting();
  if (why) {
    action(kReportSpots)->setChecked(false);
    station_.Tell(QMessageBox::Warning, QString::fromLatin1(kCaption), *why);
    return;
  }
  details_.reporting = on;
  SaveDetails();
  Note(on ? QStringLiteral("Spots on: stations heard go to %1 every %2 min")
                .arg(QString::fromStdString(spots_.host))
                .arg(spots_.config.interval.count() / 60.0)
          : QStringLiteral("Spots off"),
       5000);
}

std::optional<QString> StationServices::StartReporting() {
  const std::string call = CallsignNow().toStdString();
  if (!IsCallsign(call) || !IsLocator(details_.locator)) {
    return QStringLiteral(
        "Reporting spots needs your callsign and your locator: Station > Station details... "
        "sets them.");
  }
  if (details_.reportId == 0) {
    details_.reportId = net::NewObservationDomain();
    SaveDetails();
  }
  sink_ = std::make_unique<net::UdpSpotSink>(spots_.host, spots_.port);
  reporter_ = std::make_unique<net::SpotReporter>(
      net::ReceiverRecord{call, details_.locator, net::DecoderSoftware(), details_.antenna},
      details_.reportId, *sink_, net::UnixSeconds, spots_.config);
  reporter_->SetTransmitting(onAir_);
  reporter_->SetDial(CurrentDial());
  reportedAs_ = call;
  datagramsShown_ = 0;
  RebuildEar();
  markedBrowser_ = nullptr;  // marked afresh by the new reporter
  return std::nullopt;
}

void StationServices::StopReporting() {
  if (!reporter_) return;
  reporter_->Flush();
  reporter_.reset();
  sink_.reset();
  DropEar();
  if (SignalBrowser* browser = window_.signalBrowser()) browser->MarkReported({});
  markedBrowser_ = nullptr;
}

void StationServices::RebuildEar() {
  const OperatorSettings& s = window_.settings();
  earMode_ = s.mode;
  earHz_ = static_cast<double>(s.rxCentreFrequency);
  // Wide enough to measure the station against the noise beside it.
  const double reach = 2.0 * ModeTable(earMode_).symbolRate + 10.0;
  ScanConfig config;
  config.modes = {earMode_};
  config.fromHz = std::max(1.0, earHz_ - reach);
  config.toHz = std::min(3999.0, earHz_ + reach);
  config.sampleRate = s.rxSampleRate;
  config.squelch = s.squelchLevel;
  config.textLimit = 4096;
  DropEar();
  ear_ = &station_.AddScanner(config, kEarBudget);
}

void StationServices::DropEar() {
  if (ear_ != nullptr) station_.RemoveScanner(*ear_);
  ear_ = nullptr;
}

void StationServices::SettingsChanged(const OperatorSettings& s) {
  if (!reporter_) return;
  if (s.callsign.trimmed().toUpper().toStdString() != reportedAs_) {
    StopReporting();
    if (const auto why = StartReporting()) {
      action(kReportSpots)->setChecked(false);
      Note(*why);
    }
    return;
  }
  if (s.mode != earMode_ ||
      std::abs(static_cast<double>(s.rxCentreFrequency) - earHz_) > ModeTable(s.mode).symbolRate)
    RebuildEar();
}

net::Dial StationServices::CurrentDial() const {
  net::Dial dial;
  if (const auto& rig = window_.dial()) {
    dial.hz = std::llround(rig->hz);
    dial.sideband =
        SidebandOf(rig->mode) == vela::Sideband::Lower ? net::Sideband::Lsb : net::Sideband::Usb;
    dial.offsetHz = window_.settings().rig.converterOffsetHz;
  } else if (details_.fixedDialHz > 0) {
    dial.hz = details_.fixedDialHz;
    dial.sideband = details_.lowerSideband ? net::Sideband::Lsb : net::Sideband::Usb;
    dial.offsetHz = details_.converterOffsetHz;
  }
  return dial;
}

void StationServices::ReportHeard(const BandScanner& scanner) {
  const int64_t now = net::UnixSeconds();
  for (const ScanSignal& s : scanner.listed()) {
    if (s.call.empty()) continue;
    const auto ago = static_cast<int64_t>(std::lround(scanner.seconds() - s.lastHeard));
    reporter_->Heard({s.call, s.mode, s.centreHz, s.snrDb, now - std::max<int64_t>(0, ago)});
  }
}

// ---- The logger's messages ----

void StationServices::EditLoggerLink() {
  auto* dialog = new LoggerLinkDialog(details_.loggerLink,
                                      QString::fromStdString(details_.loggerServer), &window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    details_.loggerLink = dialog->on();
    details_.loggerServer = dialog->server().toStdString();
    SaveDetails();
    udp_.reset();
    if (details_.loggerLink) StartLogger();
  });
  dialog->open();
}

void StationServices::StartLogger() {
  std::string why;
  const auto address = ParseUdpAddress(details_.loggerServer, &why);
  auto udp = address ? std::make_unique<UdpMessages>(*address) : nullptr;
  if (!udp || !udp->Start(&why)) {
    station_.Tell(QMessageBox::Warning, QStringLiteral("Logger messages"),
                  QStringLiteral("No messages go to the logger: ") + QString::fromStdString(why));
    return;
  }
  udp->handlers.haltTx = [this](bool autoTxOnly) { HaltTx(autoTxOnly); };
  udp->handlers.freeText = [this](const std::string& text, bool send) { FreeText(text, send); };
  udp->handlers.clear = [this](int window) {
    // Our one window of copy is the receive pane (the logger's "receive frequency" one).
    if (window == 0) return;
    clearFromLogger_ = true;
    window_.receivePane()->clear();
    clearFromLogger_ = false;
  };
  udp->handlers.location = [this](const std::string& locator) {
    if (!IsLocator(locator) || locator == details_.locator) return;
    StationEntry entry{CallsignNow(), details_};
    entry.details.locator = locator;
    Apply(entry);
    Note(QStringLiteral("Locator set to %1 by the logger").arg(QString::fromStdString(locator)));
  };
  udp_ = std::move(udp);
}

void StationServices::HaltTx(bool autoTxOnly) {
  StationControl& tx = station_;
  // The beacon repeats by itself: halted in either case.
  if (tx.transmitState().beacon) tx.ToggleBeacon();
  if (autoTxOnly) return;
  if (tx.transmitState().sending()) tx.Send();
  if (tx.transmitState().tuning()) tx.ToggleTune();
  if (tx.transmitState().identifying()) tx.ToggleCwId();
  Note(QStringLiteral("Transmission halted by the logger"), 5000);
}

void StationServices::FreeText(const std::string& utf8, bool send) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).left(1000);
  text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
  if (text.trimmed().isEmpty()) return;
  // Added after what the operator has typed, never in its place.
  QPlainTextEdit* pane = window_.transmitPane();
  QTextCursor cursor(pane->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText((pane->document()->isEmpty() ? QString() : QStringLiteral(" ")) + text);
  if (send && !station_.transmitState().sending()) station_.Send();
}

void StationServices::SendLine() {
  const std::string line = std::exchange(line_, {});
  if (!udp_ || line.find_first_not_of(" \t") == std::string::npos) return;
  const OperatorSettings& s = window_.settings();
  wsjtx::Decode decode;
  decode.time = std::chrono::system_clock::now();
  decode.snr = station_.modem().signalLevel();
  decode.audioHz = static_cast<uint32_t>(std::lround(static_cast<double>(s.rxCentreFrequency)));
  decode.mode = ModeName(s.mode).toStdString();
  decode.text = Windows1252ToVisibleUtf8(line);
  decode.offAir = station_.decodingRecording();
  udp_->SendDecode(decode);
}

// ---- What the main receiver copies ----

void StationServices::Copied(bool secondary, quint8 c) {
  if (secondary) {
    Keep(secondary_, c);
    const std::string call = CallFromSecondary(secondary_);
    if (!call.empty() && call != mainCall_) {
      mainCall_ = call;
      firstHeard_.emplace(call, QDateTime::currentDateTimeUtc());
    }
    return;
  }
  Keep(primaryTail_, c);
  if (c == '\r' || c == '\n') {
    SendLine();
    return;
  }
  line_.push_back(static_cast<char>(c));
  lineTouched_ = QDateTime::currentDateTimeUtc();
  if (line_.size() >= 200) SendLine();
}

std::string StationServices::LastHeardCall() const {
  return mainCall_.empty() ? CallAfterDe(primaryTail_) : mainCall_;
}

// ---- Now and then ----

void StationServices::Poll() {
  const OperatorSettings& s = window_.settings();
  SignalBrowser* browser = window_.signalBrowser();
  if (browser) {
    const int64_t now = net::UnixSeconds();
    for (const ScanSignal& signal : browser->scanner().listed()) {
      const auto ago = std::lround(browser->scanner().seconds() - signal.lastHeard);
      if (!signal.call.empty())
        firstHeard_.emplace(signal.call, QDateTime::fromSecsSinceEpoch(now - ago, Qt::UTC));
    }
  }
  // A line the station stopped in the middle of goes out after a pause, as the log does.
  if (!line_.empty() && lineTouched_.secsTo(QDateTime::currentDateTimeUtc()) >= 4) SendLine();
  if (udp_) {
    const TransmitState& tx = station_.transmitState();
    const net::Dial dial = CurrentDial();
    wsjtx::Status status;
    status.dialHz =
        dial.hz ? static_cast<uint64_t>(std::max<int64_t>(0, *dial.hz + dial.offsetHz)) : 0;
    status.mode = ModeName(s.mode).toStdString();
    status.dxCall = LastHeardCall();
    status.txEnabled = tx.request != TransmitRequest::None || tx.beacon;
    status.transmitting = tx.onAir();
    status.decoding = !tx.onAir();
    status.rxAudioHz = static_cast<uint32_t>(std::lround(static_cast<double>(s.rxCentreFrequency)));
    status.txAudioHz = static_cast<uint32_t>(std::lround(static_cast<double>(s.txCentreFrequency)));
    status.deCall = CallsignNow().toStdString();
    status.deGrid = details_.locator;
    udp_->SetStatus(status);
    if (const auto error = udp_->TakeError()) Note(QString::fromStdString(*error));
  }
  if (!reporter_) return;
  reporter_->SetDial(CurrentDial());
  if (ear_) ReportHeard(*ear_);
  if (browser) ReportHeard(browser->scanner());
  reporter_->Poll();
  for (const std::string& notice : reporter_->TakeNotices()) Note(QString::fromStdString(notice));
  if (browser && browser != markedBrowser_) {
    markedBrowser_ = browser;
    browser->MarkReported(
        [this](const std::string& call) { return reporter_ && reporter_->WasReported(call); });
  }
  if (reporter_->datagrams() != datagramsShown_) {
    datagramsShown_ = reporter_->datagrams();
    const QDateTime last =
        QDateTime::fromSecsSinceEpoch(reporter_->lastDatagram().value_or(0), Qt::UTC);
    QString text = QStringLiteral("Spots: %1 stations reported, last datagram %2 UTC")
                       .arg(reporter_->reported())
                       .arg(last.toString(QStringLiteral("HH:mm:ss")));
    if (reporter_->dropped() > 0)
      text += QStringLiteral("; %1 lost while the network was down").arg(reporter_->dropped());
    Note(text);
    action(kReportSpots)->setStatusTip(text);
    if (browser) browser->RefreshMarks();
  }
}

// ---- The QSO log ----

void StationServices::LogQso() {
  if (logDialog_) {
    logDialog_->raise();
    logDialog_->activateWindow();
    return;
  }
  const OperatorSettings& s = window_.settings();
  QsoRecord r;
  Mode mode = s.mode;
  double audioHz = static_cast<double>(s.rxCentreFrequency);
  r.call = LastHeardCall();
  if (SignalBrowser* browser = window_.signalBrowser()) {
    if (const HeardStation* chosen = browser->selected(); chosen && !chosen->call.empty()) {
      r.call = chosen->call;
      mode = chosen->mode;
      audioHz = chosen->centreHz;
    }
  }
  r.submode = ModeName(mode).toStdString();
  r.frequencyHz = net::RfFrequency(CurrentDial(), audioHz).value_or(0);
  r.timeOff = std::chrono::system_clock::now();
  r.timeOn = r.timeOff;
  if (const auto first = firstHeard_.find(r.call); first != firstHeard_.end())
    r.timeOn = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(first->second.toMSecsSinceEpoch()));
  r.stationCallsign = CallsignNow().toStdString();
  r.myGrid = details_.locator;
  auto* dialog = new LogQsoDialog(
      r, [this](const QsoRecord& record) { return Log(record); }, &window_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QFile file(logPath());
  if (file.open(QIODevice::ReadOnly)) dialog->ShowRecent(file.readAll().toStdString());
  logDialog_ = dialog;
  dialog->open();
}

std::optional<QString> StationServices::Log(const QsoRecord& record) {
  std::string error;
  if (!logbook_.Append(record, &error)) return QString::fromStdString(error);
  if (udp_) udp_->SendLogged(record);
  Note(QStringLiteral("Logged %1 in %2")
           .arg(QString::fromStdString(record.call), QDir::toNativeSeparators(logPath())),
       5000);
  return std::nullopt;
}

}  // namespace vela::app
