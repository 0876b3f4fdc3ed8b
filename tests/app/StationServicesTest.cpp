// The Station menu as the operator meets it: the first start's question and its way out, the
// details dialog; then a whole station on a band with one caller, which reports the caller
// to a local spot server, tells a real logger's server (udp_daemon) every line it copies, and
// logs the QSO on Ctrl+L into VELAlog.adi, read back by the tests' own ADIF reader.
#include <QAction>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app/dialogs/LogQsoDialog.h"
#include "app/dialogs/StationDialog.h"
#include "app/window/MainWindow.h"
#include "app/window/SignalBrowser.h"
#include "app/window/Station.h"
#include "app/window/StationServices.h"
#include "app/window/StationWiring.h"
#include "audio/WavFileDevices.h"
#include "support/AdifReader.h"
#include "support/Band.h"
#include "support/IpfixReader.h"
#include "support/LoggerSocket.h"
#include "support/ScriptedInput.h"
#include "support/ScriptedOutput.h"
#include "support/ScriptedPrompts.h"
#include "support/UdpDaemon.h"

using vela::app::MainWindow;
using vela::app::Station;
using vela::app::StationServices;

namespace {

constexpr uint32_t kPsk = 30351;  // the report service's enterprise number
// Generous: the band's scanners run several times slower under the sanitizers on a busy
// machine, and a wait that holds returns as soon as it holds.
constexpr int kWaitMs = 30000;

// A transmitter's PTT line, as the test sees it.
struct Line : vela::PttPort {
  bool keyed = false;
  std::optional<vela::OperatorMessage> Open(const vela::RigSettings&) override { return {}; }
  void Close() override { keyed = false; }
  bool Key(bool on) override { return keyed = on, true; }
};

// A logger's FreeText for us, written from the message format by hand.
std::string FreeText(const std::string& text, bool send) {
  const auto counted = [](const std::string& s) {
    return std::string{0, 0, 0, static_cast<char>(s.size())} + s;
  };
  return std::string("\xad\xbc\xcb\xda\0\0\0\3\0\0\0\x09", 12) + counted("VELA Terminal") +
         counted(text) + std::string(1, send ? 1 : 0);
}

template <typename T>
T* Field(QWidget* dialog, const char* name) {
  return dialog->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class StationServicesTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<vela::test::ScriptedInput> input_;
  std::unique_ptr<vela::WavFileOutput> output_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<StationServices> services_;

  void Open(std::vector<int16_t> band, vela::app::SpotService spots = {},
            vela::AudioOutputDevice* air = nullptr, vela::PttPort* ptt = nullptr) {
    auto p = vela::app::Preferences::Defaults();
    p.callsign = QStringLiteral("G3XYZ");
    input_ = std::make_unique<vela::test::ScriptedInput>(std::move(band));
    output_ = std::make_unique<vela::WavFileOutput>(dir_->filePath("air.wav").toStdString(),
                                                    vela::Pacing::AsFastAsPossible);
    window_ = std::make_unique<MainWindow>(p, std::make_unique<vela::test::ScriptedPrompts>());
    station_ = std::make_unique<Station>(
        *window_, vela::app::StationDevices{input_.get(), air ? air : output_.get(), ptt});
    vela::app::ConnectStation(*window_, *station_);
    services_ = std::make_unique<StationServices>(*window_, *station_, dir_->path(), spots);
    window_->show();
    station_->Start();
    services_->Start();
  }
  QWidget* Shown(const char* name) const {
    for (auto* w : window_->findChildren<QDialog*>(QString::fromLatin1(name)))
      if (w->isVisible()) return w;
    return nullptr;
  }
  void SaveDetails(const vela::StationDetails& d) const {
    QVERIFY(vela::SaveStationDetails(dir_->filePath("VELAstation.INI").toStdString(), d, nullptr));
  }
  vela::StationDetails Saved() const {
    return vela::LoadStationDetails(dir_->filePath("VELAstation.INI").toStdString()).details;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }
  void cleanup() {
    services_.reset();
    station_.reset();
    window_.reset();
  }

  void firstStartAsksOnceThenTheDetailsDialogKeepsThem() {
    Open({});
    QWidget* question = Shown("stationDialog");
    QVERIFY(question);
    // A wrong locator is said and nothing is taken; "Later" leaves the call as it was.
    Field<QLineEdit>(question, "callsign")->setText(QStringLiteral("g4abc"));
    Field<QLineEdit>(question, "locator")->setText(QStringLiteral("IO9"));
    Field<QPushButton>(question, "ok")->click();
    QVERIFY(question->isVisible());
    QVERIFY(!Field<QLabel>(question, "problem")->text().isEmpty());
    Field<QPushButton>(question, "later")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!Shown("stationDialog"), kWaitMs);
    QCOMPARE(window_->settings().callsign, QStringLiteral("G3XYZ"));
    QVERIFY(QFileInfo::exists(dir_->filePath("VELAstation.INI")));

    // Asked once: the next start goes straight to work.
    cleanup();
    Open({});
    QVERIFY(!Shown("stationDialog"));
    services_->action(StationServices::kStationDetails)->trigger();
    QWidget* details = Shown("stationDialog");
    QVERIFY(details);
    Field<QLineEdit>(details, "callsign")->setText(QStringLiteral("g4abc/p"));
    Field<QLineEdit>(details, "locator")->setText(QStringLiteral("IO91wm"));
    Field<QLineEdit>(details, "dial")->setText(QStringLiteral("136000"));
    Field<QComboBox>(details, "sideband")->setCurrentIndex(1);
    Field<QLineEdit>(details, "offset")->setText(QStringLiteral("-1000"));
    Field<QPushButton>(details, "ok")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!Shown("stationDialog"), kWaitMs);
    QCOMPARE(window_->settings().callsign, QStringLiteral("G4ABC/P"));
    const vela::StationDetails saved = Saved();
    QCOMPARE(saved.locator, std::string("IO91wm"));
    QCOMPARE(saved.fixedDialHz, int64_t{136000});
    QVERIFY(saved.lowerSideband);
    QCOMPARE(saved.converterOffsetHz, int64_t{-1000});
  }

  void theSignalBrowserOpensWhereItWasLeft() {
    const auto browser = [this] { return window_->findChild<vela::app::SignalBrowser*>(); };
    const QRect left(40, 60, 500, 180);
    for (int start = 0; start < 2; ++start) {
      Open({});
      window_->menuCommand(6668)->trigger();
      QVERIFY(browser());
      if (start == 1) QCOMPARE(browser()->geometry(), left);
      browser()->setGeometry(left);
      browser()->close();
      QTRY_VERIFY(!browser());
      SaveDetails(services_->details());  // as the settings keeper does
      QCOMPARE(Saved().browserPlace, (vela::WindowPlace{40, 60, 500, 180}));
      cleanup();
    }
  }

  void aCallerIsReportedToldToTheLoggerAndLoggedOnCtrlL() {
    if (access(vela::test::kUdpDaemon, X_OK) != 0) QSKIP("udp_daemon not installed (wsjtx)");
    const int loggerPort = vela::test::LoggerSocket().port();  // free a moment ago
    const std::string daemonOut = dir_->filePath("daemon.txt").toStdString();
    const vela::test::UdpDaemon daemon(loggerPort, daemonOut);
    QVERIFY(daemon.listening());
    vela::test::LoggerSocket spotServer;
    vela::StationDetails d;
    d.locator = "IO91wm";
    d.fixedDialHz = 474000;  // no CAT here: the dial stays
    d.loggerLink = true;
    d.loggerServer = "127.0.0.1:" + std::to_string(loggerPort);
    SaveDetails(d);
    vela::app::SpotService spots{"127.0.0.1", static_cast<uint16_t>(spotServer.port()), {}};
    spots.config.interval = std::chrono::seconds(1);
    const vela::test::BandTransmission caller{vela::Mode::Vela63,        1000.0, 3.0, "G4ABC",
                                              "cq cq de g4abc\npse k\n", 2.0};
    Open(vela::test::Band(std::span(&caller, 1), 7, 40.0), spots);
    QVERIFY(!Shown("stationDialog"));
    services_->action(StationServices::kReportSpots)->trigger();
    QVERIFY(Saved().reporting);
    window_->menuCommand(6668)->trigger();  // the signal browser marks whom we reported
    auto* browser = window_->findChild<vela::app::SignalBrowser*>();
    QVERIFY(browser);

    // The band, a buffer at a time, the window's events run in between; the spot server
    // keeps what reaches it.
    std::map<uint16_t, vela::test::IpfixTemplate> known;
    std::vector<vela::test::IpfixRecord> records;
    const auto senders = [&] {
      int n = 0;
      for (const auto& r : records) n += r.Text(kPsk, 1) == "G4ABC";
      return n;
    };
    for (int i = 0; i < 400 && input_->seconds() < 40.0; ++i) {
      input_->Deliver();
      QTest::qWait(5);
      while (const auto d = spotServer.Receive(0.001)) {
        const auto m = vela::test::ReadIpfix(
            std::span(reinterpret_cast<const uint8_t*>(d->data()), d->size()), known);
        QCOMPARE(m.error, std::string());
        records.insert(records.end(), m.records.begin(), m.records.end());
      }
    }
    QTRY_VERIFY_WITH_TIMEOUT(services_->reporter()->datagrams() > 0, kWaitMs);
    QCOMPARE(services_->LastHeardCall(), std::string("G4ABC"));
    QCOMPARE(senders(), 1);  // the main receiver and the browser heard it: one report
    for (const auto& r : records) {
      if (r.Text(kPsk, 1) == "G4ABC") {
        QVERIFY(std::llabs(static_cast<long long>(*r.Unsigned(kPsk, 5)) - 475000) <= 1);
        QCOMPARE(r.Text(kPsk, 10), std::string("VELA63"));
      } else {
        QCOMPARE(r.Text(kPsk, 2), std::string("G3XYZ"));
        QCOMPARE(r.Text(kPsk, 4), std::string("IO91wm"));
      }
    }
    QTRY_VERIFY_WITH_TIMEOUT(!browser->list()
                                  ->findItems(QStringLiteral("G4ABC \u2713"), Qt::MatchExactly,
                                              vela::app::SignalBrowser::kCallColumn)
                                  .isEmpty(),
                             kWaitMs);

    // Ctrl+L, from the browser's window too: filled from what was heard; OK logs it and the
    // logger hears of it.
    QTest::keyClick(browser, Qt::Key_L, Qt::ControlModifier);
    QWidget* log = Shown("logQsoDialog");
    QVERIFY(log);
    QCOMPARE(Field<QLineEdit>(log, "call")->text(), QStringLiteral("G4ABC"));
    QCOMPARE(Field<QLineEdit>(log, "frequency")->text(), QStringLiteral("475000"));
    QCOMPARE(Field<QComboBox>(log, "mode")->currentText(), QStringLiteral("VELA63"));
    QVERIFY(Field<QDateTimeEdit>(log, "timeOn")->dateTime() <
            Field<QDateTimeEdit>(log, "timeOff")->dateTime());
    Field<QLineEdit>(log, "rstSent")->setText(QStringLiteral("579"));
    Field<QLineEdit>(log, "name")->setText(QStringLiteral("Jürgen"));
    // A log that cannot be written is told, and nothing typed is lost; then it goes in.
    QVERIFY(QDir().mkdir(services_->logPath()));
    Field<QPushButton>(log, "ok")->click();
    QVERIFY(log->isVisible());
    QVERIFY(Field<QLabel>(log, "problem")->text().startsWith(QStringLiteral("Not logged: ")));
    QVERIFY(QDir().rmdir(services_->logPath()));
    QCOMPARE(Field<QLineEdit>(log, "name")->text(), QStringLiteral("Jürgen"));
    Field<QPushButton>(log, "ok")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!Shown("logQsoDialog"), kWaitMs);
    const vela::test::AdifFile adif =
        vela::test::ReadAdif(vela::test::Bytes(services_->logPath().toStdString()));
    QCOMPARE(adif.records.size(), size_t{1});
    const std::map<std::string, std::string> want = {
        {"CALL", "G4ABC"},           {"BAND", "630m"},   {"SUBMODE", "VELA63"},
        {"RST_SENT", "579"},         {"NAME", "Jürgen"}, {"STATION_CALLSIGN", "G3XYZ"},
        {"MY_GRIDSQUARE", "IO91wm"}, {"FREQ", "0.475"}};
    for (const auto& [field, value] : want) QCOMPARE(adif.records[0].at(field), value);
    const std::string printed = daemon.WaitFor(": Logged ", 1);
    QVERIFY2(printed.find("Logged G4ABC") != std::string::npos, printed.c_str());
    QVERIFY2(printed.find("cq cq de g4abc\n") != std::string::npos, printed.c_str());
    QVERIFY2(printed.find("Decoded pse k\n") != std::string::npos, printed.c_str());
  }

  // A logger's free text goes after what the operator typed; its halt ends the transmission
  // at once and drops PTT.
  void aLoggerTypesIntoThePaneAndHaltsTheTransmitter() {
    vela::test::LoggerSocket logger;
    vela::StationDetails d;
    d.loggerLink = true;
    d.loggerServer = logger.address();
    SaveDetails(d);
    vela::test::ScriptedOutput air(
        [this](std::function<void()> f) { QTimer::singleShot(0, station_.get(), std::move(f)); });
    Line ptt;
    Open({}, {}, &air, &ptt);
    QVERIFY(logger.Receive(5.0));  // the heartbeat: the logger knows where we are
    window_->transmitPane()->setPlainText(QStringLiteral("cq cq de g3xyz"));
    logger.Reply(FreeText("tu 73", false));
    QTRY_COMPARE_WITH_TIMEOUT(window_->transmitPane()->toPlainText(),
                              QStringLiteral("cq cq de g3xyz tu 73"), kWaitMs);
    QVERIFY(!station_->transmitState().outputOpen());  // not asked to send
    window_->Command(110);                             // F9
    QTRY_VERIFY_WITH_TIMEOUT(ptt.keyed, kWaitMs);
    air.Play(4);
    logger.Reply(vela::test::LoggerSocket::Halt());
    QTRY_VERIFY_WITH_TIMEOUT(!station_->transmitState().outputOpen(), kWaitMs);
    QVERIFY(!ptt.keyed);
    QCOMPARE(air.closes, 1);
  }
};

QTEST_MAIN(StationServicesTest)
#include "StationServicesTest.moc"
