// The main window: every control where the operator expects it, the relayout on resize,
// the menus, the function keys and the commands that need no modem.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <cmath>
#include <list>
#include <numbers>
#include <vector>

#include "app/window/FileDrops.h"
#include "app/window/FindBar.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/StatusBar.h"
#include "app/window/UpDownControl.h"
#include "station/TransmitController.h"
#include "support/ScriptedOutput.h"
#include "support/ScriptedPrompts.h"

using vela::app::MainWindow;
using vela::app::OperatorSettings;
using vela::app::Preferences;
using vela::test::ScriptedPrompts;

namespace {

struct Expected {
  int id;
  const char* kind;
  const char* caption;
  int x, y, w, h;
};

// Design positions for a client area 492 pixels high; y of every control but the receive
// pane follows the layout offset, and the receive pane's height grows with it.
const Expected kControls[] = {
    {300, "vela::app::EyeDiagramView", "", 468, 350, 128, 65},
    {3910, "vela::app::LevelBarView", "", 702, 350, 20, 100},
    {9320, "QLabel", "S/N", 702, 452, 20, 14},
    {2001, "vela::app::SquelchBarView", "", 676, 350, 20, 100},
    {9321, "QLabel", "SQL", 675, 452, 20, 14},
    {330, "vela::app::FrequencyScaleView", "", 0, 350, 465, 15},
    {5100, "vela::app::WaterfallView", "", 0, 365, 465, 102},
    {699, "QPushButton", "CWID", 668, 322, 58, 25},
    {3000, "QRadioButton", "VELA8", 607, 350, 65, 15},
    {3001, "QRadioButton", "VELA31", 607, 365, 65, 15},
    {3002, "QRadioButton", "VELA63", 607, 380, 65, 15},
    {3003, "QRadioButton", "VELA125", 607, 395, 65, 15},
    {320, "QTextEdit", "", 1, 1, 720, 238},
    {1004, "QTextEdit", "", 1, 241, 720, 20},
    {1001, "QPlainTextEdit", "", 3, 264, 720, 57},
    {1500, "QSlider", "", 468, 420, 127, 27},
    {9322, "QLabel", "Fine tune", 510, 452, 60, 14},
    {3100, "QLabel", " 8000", 624, 420, 60, 27},
    {3101, "vela::app::UpDownControl", "", 610, 420, 20, 30},
    {9323, "QLabel", "Sample Rate", 606, 452, 62, 14},
    {9310, "QPushButton", "F1 CQ", 0, 322, 62, 25},
    {9311, "QPushButton", "F2", 62, 322, 62, 25},
    {9312, "QPushButton", "F3", 124, 322, 62, 25},
    {9313, "QPushButton", "F4", 186, 322, 62, 25},
    {9314, "QPushButton", "F5", 248, 322, 62, 25},
    {9315, "QPushButton", "F6", 310, 322, 62, 25},
    {9316, "QPushButton", "F7", 372, 322, 62, 25},
    {9317, "QPushButton", "F8 BTU", 434, 322, 62, 25},
    {110, "QPushButton", "F9 Send", 511, 322, 67, 25},
    {9319, "QPushButton", "F10 Rx", 588, 322, 67, 25},
};

QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return {};
}

Preferences StationPreferences() {
  Preferences p = Preferences::Defaults();
  p.macros[0] = {QStringLiteral("CQ"), QStringLiteral("CQ CQ de G4ABC")};
  p.macros[7] = {QStringLiteral("BTU"), QStringLiteral("btu om")};
  p.callsign = QStringLiteral("G4ABC");
  p.secondaryText = QStringLiteral("G4ABC");
  p.cwIdFlag = 1;
  return p;
}

// The window's transmitter with a silent source and a scripted output, standing in for the
// station, so what the window shows of the controller's state (captions, status bar, locks,
// closing) can be watched.
struct WindowTransmitter : vela::TransmitSource, vela::TransmitEvents, vela::app::StationControl {
  explicit WindowTransmitter(MainWindow& w) : window(w), controller(output, *this, *this) {
    window.AttachStation(this);
  }
  ~WindowTransmitter() override { window.AttachStation(nullptr); }
  void Send() override { controller.Send(); }
  void ToggleCwId() override { controller.ToggleCwId(); }
  void ToggleTune() override { controller.ToggleTune(); }
  void ToggleBeacon() override { controller.ToggleBeacon(); }
  void SetMorseIdentifier(const std::string& pattern, int periodMs) override {
    controller.SetMorseIdentifier(pattern, periodMs);
  }
  bool RequestExit() override { return controller.RequestExit(); }
  bool exitRequested() const override { return controller.exitRequested(); }
  const vela::TransmitState& transmitState() const override { return controller.state(); }
  const vela::BandScanner& AddScanner(const vela::ScanConfig& config,
                                      std::chrono::microseconds) override {
    return scanners.emplace_back(config);
  }
  void RemoveScanner(const vela::BandScanner& scanner) override {
    scanners.remove_if([&](const vela::BandScanner& s) { return &s == &scanner; });
  }
  std::list<vela::BandScanner> scanners;
  int bufferLength() const override { return 1024; }
  int frameLength() const override { return 223; }
  vela::SourceSymbol NextSymbol() override { return 1; }
  void SynthesiseSymbol(std::span<int16_t>, int, vela::CarrierMode) override {}
  void TransmissionStopped() override {}
  void SetBeacon(bool) override {}
  void TransmitStateChanged(const vela::TransmitState& now,
                            const vela::TransmitState& before) override {
    window.ShowTransmitState(now, before);
  }
  void TransmitPaneSent() override {}
  void TransmitFailed(vela::TransmitProblem, const std::string&) override {}
  void SetMorseClock(int) override {}
  void ReadyToExit() override { window.close(); }
  MainWindow& window;
  vela::test::ScriptedOutput output;
  vela::TransmitController controller;
};

// The settings one settingsChanged emission carried.
OperatorSettings Carried(const QSignalSpy& spy, qsizetype i) {
  return spy.at(i).at(0).value<OperatorSettings>();
}

// Characters from the air, as the station hands them to the window.
void Receive(MainWindow& window, const char* text) {
  for (const char* c = text; *c != 0; ++c) {
    window.ShowReceivedChar(static_cast<uint8_t>(*c), QColor(0, 128, 0));
  }
}

// One capture buffer of tones at 8000 samples a second.
std::vector<int16_t> Tones(std::initializer_list<double> hz, double amplitude = 4000.0) {
  static int64_t start = 0;
  std::vector<int16_t> samples(1024);
  for (size_t n = 0; n < samples.size(); ++n, ++start) {
    double v = 0;
    for (const double f : hz) v += amplitude * std::sin(2 * std::numbers::pi * f * start / 8000.0);
    samples[n] = static_cast<int16_t>(std::lround(v));
  }
  return samples;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<WindowTransmitter> tx_;
  ScriptedPrompts* prompts_ = nullptr;

  void SetClientHeight(int height) {
    const int menu = window_->menuBar()->height();
    window_->resize(727, menu + height);
    QTRY_COMPARE(window_->clientArea()->height(), height);
  }

  void CheckLayout(int offset) {
    for (const Expected& e : kControls) {
      QWidget* w = window_->control(e.id);
      QVERIFY2(w, qPrintable(QStringLiteral("no control %1").arg(e.id)));
      QRect want(e.x, e.y + offset, e.w, e.h);
      if (e.id == 320) want = QRect(e.x, e.y, e.w, e.h + offset);
      QCOMPARE(w->geometry(), want);
    }
  }

 private slots:
  void init() {
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts_ = prompts.get();
    window_ = std::make_unique<MainWindow>(StationPreferences(), std::move(prompts));
    tx_ = std::make_unique<WindowTransmitter>(*window_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() {
    tx_.reset();
    window_.reset();
  }

  void windowCaptionAndSize() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("VELA63 for LF/MF"));
    QCOMPARE(window_->size(), QSize(727, 512));
    QVERIFY(!window_->windowIcon().isNull());
    QVERIFY(window_->acceptDrops());
  }

  void everyControlHasItsIdKindCaptionAndPlace() {
    SetClientHeight(492);
    QCOMPARE(window_->layoutOffset(), 0);
    for (const Expected& e : kControls) {
      QWidget* w = window_->control(e.id);
      QVERIFY2(w, qPrintable(QStringLiteral("no control %1").arg(e.id)));
      QCOMPARE(QString::fromLatin1(w->metaObject()->className()), QString::fromLatin1(e.kind));
      QCOMPARE(Caption(w), QString::fromLatin1(e.caption));
    }
    CheckLayout(0);
  }

  // Extra height: a third to the waterfall, a sixth to the transmit pane, the rest to the
  // receive pane; a shorter window (down to 500 pixels at 200%) takes from the receive pane.
  void relayoutFollowsTheClientHeight() {
    SetClientHeight(592);
    QCOMPARE(window_->layoutOffset(), 100);
    QCOMPARE(window_->receivePane()->height(), 238 + 51);
    for (const Expected& e : kControls) {
      QWidget* w = window_->control(e.id);
      QRect want(e.x, e.y + (e.y >= 322 ? 67 : 51), e.w, e.h);
      if (e.id == 320) want = QRect(e.x, e.y, e.w, e.h + 51);
      if (e.id == 1001) want.setHeight(e.h + 16);
      if (e.id == 5100) want.setHeight(e.h + 33);
      QCOMPARE(w->geometry(), want);
    }
    window_->resize(600, 300);
    QTRY_COMPARE(window_->clientArea()->size(), QSize(727, 412));
    CheckLayout(-80);
    // The status bar stays along the bottom edge, and the whole window in 500 pixels.
    auto* bar = window_->statusBarWidget();
    QCOMPARE(bar->geometry().bottom(), 411);
    QCOMPARE(bar->width(), window_->clientArea()->width());
    QVERIFY2(window_->height() <= 460, qPrintable(QString::number(window_->height())));
  }

  void controlDetails() {
    auto* slider = qobject_cast<QSlider*>(window_->control(1500));
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 1024);
    QCOMPARE(slider->value(), 512);
    QCOMPARE(slider->tickPosition(), QSlider::NoTicks);
    QVERIFY(qobject_cast<QRadioButton*>(window_->control(3002))->isChecked());
    QCOMPARE(window_->receivePane()->palette().color(QPalette::Base), QColor(255, 250, 250));
    QCOMPARE(window_->secondaryPane()->palette().color(QPalette::Base), QColor(255, 228, 225));
    QCOMPARE(window_->transmitPane()->palette().color(QPalette::Base), QColor(255, 255, 224));
    QCOMPARE(window_->transmitPane()->palette().color(QPalette::Text), QColor(Qt::black));
    // Typed text as readable as received text.
    QCOMPARE(window_->transmitPane()->font().pointSize(), 11);
    QCOMPARE(window_->receivePane()->font().pointSize(), 11);
    QVERIFY(QFontInfo(window_->transmitPane()->font()).fixedPitch());
    QVERIFY(QFontInfo(window_->receivePane()->font()).fixedPitch());
    QCOMPARE(window_->frequencyScale()->font().pointSize(), 6);
    QCOMPARE(window_->receivePane()->textColor(), QColor(0, 128, 0));
  }

  void tooltips() {
    for (int id = 9310; id <= 9317; ++id) {
      QCOMPARE(window_->control(id)->toolTip(), QStringLiteral("Right mouse click to personalise"));
    }
    QCOMPARE(window_->control(110)->toolTip(), QStringLiteral("SEND button"));
    QCOMPARE(window_->control(9319)->toolTip(),
             QStringLiteral("DELAYED RECEIVE button - Right mouse click to change EOT parameter"));
    QCOMPARE(window_->control(1500)->toolTip(), QStringLiteral("Fine tune"));
    QCOMPARE(window_->control(3101)->toolTip(), QStringLiteral("Adjust sanple rate"));
    QCOMPARE(window_->control(300)->toolTip(), QStringLiteral("Eye diagram"));
  }

  void contextHelpIds() {
    QSet<int> carriers;
    for (QWidget* w : window_->clientArea()->findChildren<QWidget*>()) {
      QVariant id = w->property("contextHelpId");
      if (!id.isValid()) continue;
      QCOMPARE(w->objectName(), QStringLiteral("c%1").arg(id.toInt()));
      carriers.insert(id.toInt());
    }
    const QSet<int> expected = {9310, 9311, 9312, 9313, 9314, 9315, 9316,
                                9317, 110,  9319, 1500, 3101, 300,  320};
    QCOMPARE(carriers, expected);
  }

  void statusBarParts() {
    auto* bar = window_->statusBarWidget();
    const std::array<int, 5> widths = bar->partWidths();
    int x = 0;
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(bar->part(i + 1)->x(), x);
      QCOMPARE(bar->part(i + 1)->width(), widths[i]);
      x += widths[i];
    }
    QCOMPARE(bar->part(6)->x(), x);
    QCOMPARE(bar->part(6)->geometry().right(), bar->width() - 1);
    QCOMPARE(window_->statusPart(1), QStringLiteral("1000.0 Hz"));
    QCOMPARE(window_->statusPart(2), QStringLiteral("Cursor 0.0 Hz, 0.0 dB"));
    // A dial read through a converter, then audio frequencies, shown whole, and the clock in
    // either time.
    const auto fits = [](const QLabel* l) {
      return QFontMetrics(l->font()).horizontalAdvance(l->text()) <=
             l->contentsRect().width() - l->indent();
    };
    for (auto dial :
         {std::optional(MainWindow::Dial{10136000.0, "USB"}), std::optional<MainWindow::Dial>()}) {
      window_->ShowDial(dial);
      for (QLabel* l : {bar->part(1), bar->part(2)}) QVERIFY2(fits(l), qPrintable(l->text()));
    }
    QCOMPARE(window_->statusPart(3), QStringLiteral("Tune signal OFF"));
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode OFF"));
    QCOMPARE(window_->statusPart(5), QStringLiteral("63 baud; Long interleave"));
    QRegularExpression clock(
        QStringLiteral("^[1-9]\\d? [A-Z][a-z]+ \\d{4} - \\d\\d:\\d\\d:\\d\\d (UTC|local time)$"));
    QVERIFY2(clock.match(window_->statusPart(6)).hasMatch(), qPrintable(window_->statusPart(6)));
    QVERIFY(window_->statusPart(6).endsWith(QStringLiteral(" UTC")));
    QVERIFY(fits(bar->part(6)));
    window_->menuCommand(2021)->trigger();
    QVERIFY(window_->statusPart(6).endsWith(QStringLiteral(" local time")));
    QVERIFY(fits(bar->part(6)));
  }

  void menusCarryTheirCommands() {
    const std::vector<std::pair<QString, std::vector<std::pair<QString, int>>>> menus = {
        {"File",
         {{"Save screen to file now", 1601},
          {"Save screen as...", 1606},
          {"Decode recording...", 1602},
          {"Receive log", 1603},
          {"Record receive audio...", 1605},
          {"Quit", 1604}}},
        {"TX options",
         {{"PTT", 120},
          {"CAT", 121},
          {"Transmit frequency", 3911},
          {"Toggle beacon mode ON/OFF", 3300},
          {"Toggle tune signal ON/OFF", 3912},
          {"Transmit where I receive", 3913}}},
        {"Soundcard",
         {{"Mixer", 670},
          {"Audio Devices", 671},
          {"SelectSoundcard", 672},
          {"I and Q output", 3220}}},
        {"Display",
         {{"Correlation display", 6666},
          {"Toggle waterfall palette", 2020},
          {"Waterfall", 2022},
          {"Enhanced receiver", 6667},
          {"Signal browser", 6668},
          {"Mode VELA8", 3010},
          {"Mode VELA31", 3011},
          {"Mode VELA63", 3012},
          {"Mode VELA125", 3013},
          {"Squelch up", 3260},
          {"Squelch down", 3261},
          {"Clock in local time", 2021}}},
        {"Text options",
         {{"Clear RX", 3250}, {"Clear TX", 3251}, {"Secondary text", 3252}, {"Callsign", 1002}}},
        {"Help", {{"Help", 1700}, {"About", 1701}}},
    };
    const QList<QAction*> bar = window_->menuBar()->actions();
    QCOMPARE(bar.size(), static_cast<qsizetype>(menus.size()));
    // Captions as given, each with one keyboard mnemonic added, unique within its menu.
    const auto caption = [](QAction* a) { return QString(a->text()).remove(u'&'); };
    const auto mnemonics = [](const QList<QAction*>& actions) {
      QSet<QChar> keys;
      for (QAction* a : actions) {
        const qsizetype amp = a->text().indexOf(u'&');
        if (amp < 0 || a->text().count(u'&') != 1) return false;
        keys.insert(a->text().at(amp + 1).toLower());
      }
      return keys.size() == actions.size();
    };
    QVERIFY(mnemonics(bar));
    for (size_t m = 0; m < menus.size(); ++m) {
      QCOMPARE(caption(bar[m]), menus[m].first);
      const QList<QAction*> items = bar[m]->menu()->actions();
      QVERIFY(mnemonics(items));
      QCOMPARE(items.size(), static_cast<qsizetype>(menus[m].second.size()));
      for (qsizetype i = 0; i < items.size(); ++i) {
        QCOMPARE(caption(items[i]), menus[m].second[static_cast<size_t>(i)].first);
        QCOMPARE(items[i]->property("commandId").toInt(),
                 menus[m].second[static_cast<size_t>(i)].second);
        QCOMPARE(window_->menuCommand(menus[m].second[static_cast<size_t>(i)].second), items[i]);
      }
    }
  }

  void functionKeysDriveTheButtons() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    auto* pane = window_->transmitPane();
    QTest::keyClick(window_.get(), Qt::Key_F1);
    QCOMPARE(pane->toPlainText(), QStringLiteral(" CQ CQ de G4ABC"));
    QTest::keyClick(window_.get(), Qt::Key_F8);
    QCOMPARE(pane->toPlainText(), QStringLiteral(" CQ CQ de G4ABC btu om"));
    QTest::keyClick(window_.get(), Qt::Key_F10);
    QVERIFY(pane->toPlainText().endsWith(QStringLiteral(" btu om [EOT]")));
    for (int k = 1; k < 7; ++k) QTest::keyClick(window_.get(), Qt::Key(Qt::Key_F1 + k));
    QVERIFY(pane->toPlainText().endsWith(QStringLiteral("[EOT] F2 F3 F4 F5 F6 F7")));
    QVERIFY(pane->hasFocus());
    // Typing goes to the pane at the caret, after the inserted macro.
    QTest::keyClicks(pane, "x");
    QVERIFY(pane->toPlainText().endsWith(QStringLiteral(" F7x")));

    QTest::keyClick(window_.get(), Qt::Key_F9);
    QVERIFY(window_->txActive());
    QCOMPARE(qobject_cast<QPushButton*>(window_->control(110))->text(),
             QStringLiteral("F9 Receive"));
    QCOMPARE(tx_->output.opens, 1);
    QTest::keyClick(window_.get(), Qt::Key_F9);
    QVERIFY(!window_->txActive());
    QCOMPARE(qobject_cast<QPushButton*>(window_->control(110))->text(), QStringLiteral("F9 Send"));
  }

  // The keyboard alone: Tab leaves the transmit pane for the buttons (Ctrl+Tab types a
  // tab), the mode and the squelch have menu keys, and Ctrl+Q ends the program.
  void keyboardReachesTheControls() {
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    auto* pane = window_->transmitPane();
    pane->setFocus();
    QTest::keyClicks(pane, "ab");
    QTest::keyClick(pane, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(pane->toPlainText(), QStringLiteral("ab\t"));
    QSet<QWidget*> reached;
    for (int i = 0; i < 60; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      reached.insert(QApplication::focusWidget());
    }
    QCOMPARE(pane->toPlainText(), QStringLiteral("ab\t"));
    for (int id : {110, 9310, 9317, 9319, 699, 3000, 1500})
      QVERIFY2(reached.contains(window_->control(id)), qPrintable(QString::number(id)));
    QTest::keyClick(window_.get(), Qt::Key_4, Qt::ControlModifier);
    QCOMPARE(window_->settings().mode, vela::Mode::Vela125);
    QTest::keyClick(window_.get(), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(window_->settings().mode, vela::Mode::Vela8);
    const int squelch = window_->settings().squelchLevel;
    QTest::keyClick(window_.get(), Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(window_->settings().squelchLevel, squelch + 5);
    QTest::keyClick(window_.get(), Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(!window_->isVisible());
  }

  // The controller decides what is on the air (its own tests hold the rules); the window
  // shows it: SEND's caption, status part 3 for CWID and tune, part 4 for beacon, the mode
  // buttons and PTT command locked while our audio goes out.
  void transmitStateShowsInCaptionsAndStatusBar() {
    auto* send = qobject_cast<QPushButton*>(window_->control(110));
    auto* onAir = window_->menuBar()->findChild<QLabel*>(QStringLiteral("onair"));
    QVERIFY(onAir != nullptr && !onAir->isVisible());
    const auto showing = [&] { return onAir->isVisible() ? onAir->text() : QString(); };
    window_->Command(3912);
    QVERIFY(window_->tuneActive());
    QCOMPARE(showing(), QStringLiteral("ON AIR: tune"));
    QCOMPARE(window_->statusPart(3), QStringLiteral("Tune signal ON"));
    QVERIFY(!window_->control(3000)->isEnabled());
    QVERIFY(!window_->menuCommand(120)->isEnabled());
    window_->Command(1409);  // F9 while tuning changes nothing
    QCOMPARE(send->text(), QStringLiteral("F9 Send"));
    window_->Command(3912);
    QCOMPARE(window_->statusPart(3), QStringLiteral("Tune signal OFF"));
    QVERIFY(window_->control(3000)->isEnabled());  // free as soon as the stop is under way
    tx_->output.Pump();

    QCOMPARE(showing(), QString());
    window_->Command(699);
    QVERIFY(window_->cwIdActive());
    QCOMPARE(window_->statusPart(3), QStringLiteral("CWID ON"));
    QCOMPARE(showing(), QStringLiteral("ON AIR: CWID"));
    QCOMPARE(tx_->controller.morsePattern(), window_->cwIdPattern());
    window_->Command(699);
    QCOMPARE(window_->statusPart(3), QStringLiteral("CWID OFF"));
    tx_->output.Pump();

    window_->Command(3300);
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode ON"));
    QVERIFY(window_->beaconMode());
    window_->Command(110);
    QCOMPARE(send->text(), QStringLiteral("F9 Receive"));
    QCOMPARE(showing(), QStringLiteral("ON AIR: beacon"));
    window_->Command(110);
    QCOMPARE(send->text(), QStringLiteral("F9 Send"));
    window_->Command(3300);
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode OFF"));
  }

  // The window keys the callsign's letters in upper case, one pattern per character (a
  // character without Morse is one key-up element), and hands it to the transmitter.
  void morseIdentifierPatternFollowsTheCallsign() {
    const std::pair<QString, QString> calls[] = {
        {QStringLiteral("E"), QStringLiteral("--1-")},
        {QStringLiteral("ab"), QStringLiteral("--1-111-") + QStringLiteral("--111-1-1-1-")},
        {QStringLiteral("E#"), QStringLiteral("--1- ")}};
    for (const auto& [callsign, pattern] : calls) {
      prompts_->text = [callsign](const QString&, const QString&, const QString&) {
        return callsign;
      };
      window_->Command(1002);
      QCOMPARE(QString::fromStdString(window_->cwIdPattern()), pattern);
      window_->Command(699);
      QCOMPARE(QString::fromStdString(tx_->controller.morsePattern()), pattern);
      window_->Command(699);
      tx_->output.Pump();
    }
  }

  void modeSelection() {
    QSignalSpy modes(window_.get(), &MainWindow::settingsChanged);
    qobject_cast<QRadioButton*>(window_->control(3000))->click();
    QCOMPARE(window_->windowTitle(), QStringLiteral("VELA8 for LF/MF"));
    QCOMPARE(window_->statusPart(5), QStringLiteral("7.8 baud; Short interleave"));
    QCOMPARE(window_->modeRate(), 125);
    QCOMPARE(window_->cwIdPeriodMs(), 400);  // variable-speed identifier
    window_->Command(3003);
    QCOMPARE(window_->windowTitle(), QStringLiteral("VELA125 for LF/MF"));
    QCOMPARE(window_->statusPart(5), QStringLiteral("125 baud; Long interleave"));
    QVERIFY(qobject_cast<QRadioButton*>(window_->control(3003))->isChecked());
    QCOMPARE(window_->cwIdPeriodMs(), 50);
    window_->Command(3002);
    QCOMPARE(window_->cwIdPeriodMs(), 100);
    QCOMPARE(modes.size(), 3);
    QCOMPARE(Carried(modes, 1).mode, vela::Mode::Vela125);
    QCOMPARE(Carried(modes, 2).mode, vela::Mode::Vela63);
    window_->Command(110);
    for (int id = 3000; id <= 3003; ++id) QVERIFY(!window_->control(id)->isEnabled());
    window_->Command(110);
    for (int id = 3000; id <= 3003; ++id) QVERIFY(window_->control(id)->isEnabled());
  }

  // At the narrowest span VELA8's two tones (3.9 Hz apart) are 32 columns apart either side
  // of the receive frequency; a click on one tunes to it exactly, the picture and the scale's
  // marker follow it to the centre, and the wheel widens the span again.
  void waterfallZoomsOnTheReceiveFrequency() {
    window_->TuneTo(1000, vela::Mode::Vela8);
    auto* waterfall = window_->waterfall();
    auto* menu = window_->menuCommand(2022)->menu();
    QVERIFY(menu != nullptr);
    for (QAction* action : menu->findChildren<QAction*>()) {
      if (action->data().toList() == QList<QVariant>{0, 32}) action->trigger();
    }
    QCOMPARE(waterfall->settings().zoom, 32);
    const double tone = 1.953125;  // a quarter of VELA8's 7.8125 baud
    for (int b = 0; b < 40; ++b)
      waterfall->AddCaptureBuffer(Tones({1000 - tone, 1000 + tone}, 150));
    const auto peaks = [waterfall] {
      const QImage shown = waterfall->grab().toImage();
      const int y = waterfall->contentsRect().top() + 3;
      std::vector<int> columns;
      for (int x = 2; x < 460; x += 2) {
        const auto level = [&](int c) { return qGray(shown.pixel(c, y)); };
        if (level(x) > 100 && level(x) > level(x - 2) && level(x) >= level(x + 2))
          columns.push_back(x);
      }
      return columns;
    };
    QCOMPARE(peaks(), (std::vector<int>{230 - 16, 230 + 16}));
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(230 + 16, 50));
    QVERIFY(window_->settings().rxCentreFrequency == 1000 + tone);
    QCOMPARE(peaks(), (std::vector<int>{230 - 32, 230}));
    auto* scale = window_->frequencyScale();
    QCOMPARE(scale->axis(), waterfall->axis());
    const vela::Rgb red{255, 0, 0};
    QCOMPARE(scale->image().Pixel(230, scale->image().height() - 1), red);
    QTest::mouseMove(waterfall, QPoint(230 - 32, 40));
    QTRY_VERIFY(window_->statusPart(2).startsWith(QStringLiteral("Cursor 998.0 Hz, -")));
    QWheelEvent out(QPointF(100, 50), waterfall->mapToGlobal(QPointF(100, 50)), {}, {0, -120},
                    Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(waterfall, &out);
    QCOMPARE(waterfall->settings().zoom, 16);
    waterfall->SetSettings({});
    QCOMPARE(scale->axis(), vela::WaterfallAxis{});
  }

  void waterfallClicksTune() {
    QSignalSpy changes(window_.get(), &MainWindow::settingsChanged);
    auto* waterfall = window_->waterfall();
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(0, 50));
    QVERIFY(window_->settings().rxCentreFrequency == 250);
    QCOMPARE(window_->statusPart(1), QStringLiteral("250.0 Hz"));
    QCOMPARE(qobject_cast<QSlider*>(window_->control(1500))->value(), 507);
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(192, 50));
    QVERIFY(window_->settings().rxCentreFrequency == 1000);
    QVERIFY(window_->rxClickFrequency() == 1000);
    QCOMPARE(changes.size(), 2);
    QVERIFY(Carried(changes, 0).rxCentreFrequency == 250);
    QVERIFY(Carried(changes, 1).rxCentreFrequency == 1000);
    QTest::mouseClick(waterfall, Qt::RightButton, {}, QPoint(256, 50));
    QVERIFY(window_->settings().txCentreFrequency == 1250);
    QVERIFY(window_->settings().rxCentreFrequency == 1000);
    QCOMPARE(changes.size(), 3);
    QVERIFY(Carried(changes, 2).txCentreFrequency == 1250);
    QVERIFY(Carried(changes, 2).rxCentreFrequency == 1000);
    // Fine tune works around the clicked frequency; VELA63 spans +-42.7 Hz.
    window_->FineTune(1024);
    QCOMPARE(window_->statusPart(1), QStringLiteral("957.3 Hz"));
    window_->FineTune(512);
    QCOMPARE(window_->statusPart(1), QStringLiteral("1000.0 Hz"));
    // The cursor read-out: the level of the bin drawn under the cursor (250 Hz at column 1).
    waterfall->AddCaptureBuffer(Tones({250.0}, 392.0));  // 40 dB below full scale
    QTest::mouseMove(waterfall, QPoint(1, 40));
    QTRY_COMPARE(window_->statusPart(2), QStringLiteral("Cursor 253.9 Hz, -40.0 dB"));

    // Transmitting where I receive: switched on, transmit joins the receiver at once, and
    // a click, fine tune and the browser's tuning move both; right-click sets it alone.
    window_->menuCommand(3913)->trigger();
    QVERIFY(window_->settings().transmitFollows);
    QVERIFY(window_->settings().txCentreFrequency == window_->settings().rxCentreFrequency);
    QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(0, 50));
    QVERIFY(window_->settings().txCentreFrequency == 250);
    window_->FineTune(1024);
    QVERIFY(window_->settings().txCentreFrequency == window_->settings().rxCentreFrequency);
    window_->TuneTo(1500, vela::Mode::Vela63);
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    QTest::mouseClick(waterfall, Qt::RightButton, {}, QPoint(256, 50));
    QVERIFY(window_->settings().txCentreFrequency == 1250);
    QVERIFY(window_->settings().rxCentreFrequency == 1500);
    QVERIFY(window_->statusBarWidget()->note().contains(QStringLiteral("set alone")));
  }

  void squelchBarClick() {
    QSignalSpy spy(window_.get(), &MainWindow::settingsChanged);
    QTest::mouseClick(window_->squelchBar(), Qt::LeftButton, {}, QPoint(10, 30));
    QCOMPARE(window_->settings().squelchLevel, 70);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(Carried(spy, 0).squelchLevel, 70);
    QCOMPARE(window_->CurrentPreferences().squelchLevel, 70);
  }

  void sampleRateTrim() {
    auto* trim = qobject_cast<vela::app::UpDownControl*>(window_->control(3101));
    auto* label = qobject_cast<QLabel*>(window_->control(3100));
    trim->upButton()->click();
    QVERIFY(window_->settings().rxSampleRate == 8000.1L);
    QCOMPARE(label->text(), QStringLiteral(" 8000.1"));
    trim->downButton()->click();
    trim->downButton()->click();
    QCOMPARE(label->text(), QStringLiteral(" 7999.9"));
    QVERIFY(window_->CurrentPreferences().rxSampleRate == 7999.9L);
  }

  void transmitFrequencyBox() {
    QString shownDefault;
    QString answer;
    prompts_->text = [&](const QString& title, const QString& prompt,
                         const QString& initial) -> std::optional<QString> {
      if (title != QStringLiteral("Transmit frequency")) return std::nullopt;
      if (prompt != QStringLiteral("Enter transmit audio frequency in Hz")) return std::nullopt;
      shownDefault = initial;
      return answer;
    };
    answer = QStringLiteral("1500");
    window_->Command(3911);
    QCOMPARE(shownDefault, QStringLiteral(" 1000"));
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    answer = QStringLiteral("fifteen hundred");
    window_->Command(3911);
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QVERIFY(prompts_->messages[0].text.contains(QStringLiteral("1500 Hz")));
    answer = QStringLiteral("-20");
    window_->Command(3911);
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    QCOMPARE(prompts_->messages.size(), size_t{2});
    // Beyond the transmitter's audio band: the tune carrier would go out near 4 kHz.
    answer = QStringLiteral("99999");
    window_->Command(3911);
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    QCOMPARE(prompts_->messages.size(), size_t{3});
    QVERIFY(prompts_->messages[2].text.contains(QStringLiteral("200 to 3800 Hz")));
    answer = QString();
    window_->Command(3911);
    QVERIFY(window_->settings().txCentreFrequency == 1500);
    QCOMPARE(prompts_->messages.size(), size_t{3});
    QVERIFY(window_->CurrentPreferences().txCentreFrequency == 1500);
  }

  void callsignBox() {
    std::optional<QString> answer;
    prompts_->text = [&](const QString& title, const QString& prompt,
                         const QString& initial) -> std::optional<QString> {
      if (title != QStringLiteral("CALLSIGN") || !prompt.startsWith("Enter callsign - add")) {
        return std::nullopt;
      }
      if (initial != window_->settings().callsign) return std::nullopt;
      return answer;
    };
    const std::string before = window_->cwIdPattern();
    answer = std::nullopt;
    window_->Command(1002);
    QCOMPARE(window_->settings().callsign, QStringLiteral("G4ABC"));
    QCOMPARE(window_->cwIdPattern(), before);
    answer = QStringLiteral("m0xyz  ");
    window_->Command(1002);
    QCOMPARE(window_->settings().callsign, QStringLiteral("m0xyz  "));
    QVERIFY(window_->cwIdPattern() != before);
    QCOMPARE(window_->CurrentPreferences().callsign, QStringLiteral("m0xyz  "));
  }

  void callsignReplacesANocallSecondaryText() {
    Preferences p = Preferences::Defaults();
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts->text = [](const QString&, const QString&, const QString&) {
      return std::optional<QString>(QStringLiteral("G4ABC"));
    };
    MainWindow w(p, std::move(prompts));
    QCOMPARE(w.settings().secondaryText, QStringLiteral("nocall"));
    w.Command(1002);
    QCOMPARE(w.settings().secondaryText, QStringLiteral("G4ABC  "));
  }

  void textOptionsAndToggles() {
    window_->transmitPane()->setPlainText(QStringLiteral("pending text"));
    Receive(*window_, "hello");
    QSignalSpy clearTx(window_.get(), &MainWindow::clearTxRequested);
    window_->Command(3251);
    QVERIFY(window_->transmitPane()->toPlainText().isEmpty());
    QCOMPARE(clearTx.size(), 1);
    window_->Command(3250);
    QVERIFY(window_->receivePane()->toPlainText().isEmpty());

    window_->Command(3300);
    QVERIFY(window_->beaconMode());
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode ON"));
    window_->Command(3300);
    QCOMPARE(window_->statusPart(4), QStringLiteral("Beacon mode OFF"));

    QCOMPARE(window_->settings().waterfallPalette, 1);
    window_->Command(2020);
    QCOMPARE(window_->settings().waterfallPalette, 0);
    window_->Command(2020);
    QCOMPARE(window_->settings().waterfallPalette, 1);

    // CAT opens the PTT settings on the rig's page.
    std::optional<vela::PttMethod> asked;
    prompts_->ptt = [&](const vela::RigSettings& current) {
      asked = current.method;
      return std::optional<vela::RigSettings>();
    };
    window_->Command(121);
    QCOMPARE(asked, std::optional(vela::PttMethod::Cat));
    QVERIFY(prompts_->messages.empty());
  }

  void receivePanePause() {
    QSignalSpy spy(window_.get(), &MainWindow::settingsChanged);
    window_->Command(9404);
    QVERIFY(window_->settings().pause);
    QCOMPARE(window_->receivePane()->palette().color(QPalette::Base), QColor(255, 192, 203));
    window_->Command(9404);
    QVERIFY(!window_->settings().pause);
    QCOMPARE(window_->receivePane()->palette().color(QPalette::Base), QColor(255, 250, 250));
    QCOMPARE(spy.size(), 2);
    QVERIFY(Carried(spy, 0).pause && !Carried(spy, 1).pause);
  }

  // Ctrl+F finds in the receive pane: the newest place first, Enter and Shift+Enter on round
  // the places, every one lit; new copy meanwhile neither moves the view nor the place
  // shown; Escape puts it away and the pane follows the newest copy again.
  void findMovesBetweenMatchesInTheReceivePane() {
    QTextEdit* pane = window_->receivePane();
    const auto receive = [&](const std::string& text) {
      for (char c : text) window_->ShowReceivedChar(static_cast<uint8_t>(c), Qt::darkGreen);
    };
    receive("cq cq de G3ABC\rG3ABC de DL2XYZ tnx\rrig here 5W es ant dipole\rG3abc k\r");
    window_->transmitPane()->setFocus();
    QTest::keySequence(window_.get(), QKeySequence::Find);
    auto* bar = window_->findChild<vela::app::FindBar*>();
    QVERIFY(bar && bar->isVisible() && bar->field()->hasFocus());
    QTest::keyClicks(bar->field(), QStringLiteral("g3abc"));
    const auto at = [&] { return pane->textCursor().selectionStart(); };
    const QString all = pane->toPlainText();
    QList<int> places;
    for (int i = all.indexOf(QStringLiteral("G3ABC"), 0, Qt::CaseInsensitive); i >= 0;
         i = all.indexOf(QStringLiteral("G3ABC"), i + 1, Qt::CaseInsensitive))
      places << i;
    QCOMPARE(places.size(), 3);
    QCOMPARE(bar->count(), 3);
    QCOMPARE(pane->extraSelections().size(), 3);
    QCOMPARE(at(), places[2]);  // the newest
    QCOMPARE(pane->textCursor().selectedText(), QStringLiteral("G3abc"));
    struct Step {
      Qt::KeyboardModifiers modifiers;
      int place;
    };
    for (const Step& step :
         {Step{Qt::NoModifier, 0}, Step{Qt::NoModifier, 1}, Step{Qt::ShiftModifier, 0},
          Step{Qt::ShiftModifier, 2}, Step{Qt::ShiftModifier, 1}}) {
      QTest::keyClick(bar->field(), Qt::Key_Return, step.modifiers);
      QCOMPARE(at(), places[step.place]);
      QCOMPARE(bar->shown(), step.place + 1);
    }
    receive("de G3ABC again\r");
    QCOMPARE(at(), places[1]);
    QTRY_COMPARE(bar->count(), 4);
    QTest::keyClicks(bar->field(), QStringLiteral("x"));
    QCOMPARE(bar->count(), 0);
    QVERIFY(!bar->Next());
    QTest::keyClick(bar->field(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(pane->extraSelections().isEmpty());
    QVERIFY(window_->transmitPane()->hasFocus());
    receive("more\r");
    QCOMPARE(pane->textCursor().position(), pane->document()->characterCount() - 1);
  }

  void rightClickOnDelayedReceiveChangesTheMarker() {
    QString asked;
    std::optional<QString> answer = QStringLiteral("SK");
    prompts_->text = [&](const QString& title, const QString&, const QString& initial) {
      asked = title + QStringLiteral("|") + initial;
      return answer;
    };
    QWidget* button = window_->control(9319);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button, &event);
    QCOMPARE(asked, QStringLiteral("Delayed receive text|[EOT]"));
    QCOMPARE(window_->settings().endMarker(), QStringLiteral("SK"));
    answer = QString();
    QApplication::sendEvent(button, &event);
    QCOMPARE(window_->settings().endMarker(), QStringLiteral("[EOT]"));
    // Right clicks elsewhere do nothing.
    asked.clear();
    QContextMenuEvent other(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(window_->control(1500), &other);
    QVERIFY(asked.isEmpty());
  }

  void rightClickOnAMacroButtonRedefinesIt() {
    QString caption;
    auto fill = [&](const QString& label, const QString& text, const QString& button) {
      QTimer::singleShot(0, [&caption, label, text, button] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        dialog->findChild<QLineEdit*>()->setText(label);
        dialog->findChild<QPlainTextEdit*>()->setPlainText(text);
        for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
          if (b->text() == button) b->click();
        }
      });
    };
    QWidget* f3 = window_->control(9312);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), f3->mapToGlobal(QPoint(5, 5)));
    fill(QStringLiteral("Ant"), QStringLiteral("Antenna is a 30 m\ninverted L"),
         QStringLiteral("OK"));
    QApplication::sendEvent(f3, &event);
    QCOMPARE(caption, QStringLiteral("Define macro button 3 (F3)"));
    // The button keeps its key in front of the new label.
    QCOMPARE(qobject_cast<QPushButton*>(f3)->text(), QStringLiteral("F3 Ant"));
    fill(QStringLiteral("Lost"), QStringLiteral("lost"), QStringLiteral("CANCEL"));
    QApplication::sendEvent(f3, &event);
    QCOMPARE(qobject_cast<QPushButton*>(f3)->text(), QStringLiteral("F3 Ant"));
    const Preferences p = window_->CurrentPreferences();
    QCOMPARE(p.macros[2].label, QStringLiteral("Ant"));
    QCOMPARE(p.macros[2].text, QStringLiteral("Antenna is a 30 m\ninverted L"));
    window_->Command(1403);
    QCOMPARE(window_->transmitPane()->toPlainText(),
             QStringLiteral(" Antenna is a 30 m\ninverted L"));
  }

  void pttPicker() {
    QSignalSpy spy(window_.get(), &MainWindow::pttChosen);
    std::optional<vela::RigSettings> answer = vela::RigSettings{};
    answer->comPort = 3;
    bool lockedWhileChoosing = false;
    prompts_->ptt = [&](const vela::RigSettings& current) {
      lockedWhileChoosing = !window_->menuCommand(120)->isEnabled() &&
                            !window_->control(110)->isEnabled() &&
                            current.comPort == window_->settings().comPort;
      return answer;
    };
    window_->Command(120);
    QVERIFY(lockedWhileChoosing);
    QVERIFY(window_->menuCommand(120)->isEnabled());
    QVERIFY(window_->control(110)->isEnabled());
    QCOMPARE(window_->settings().comPort, 3);
    answer.reset();  // Cancel
    window_->Command(120);
    QCOMPARE(window_->settings().comPort, 3);
    // Another method: the settings carry it, the COM number stays in the preferences.
    answer = vela::RigSettings{};
    answer->method = vela::PttMethod::Rigctld;
    answer->comPort = 0;
    answer->port = 4533;
    window_->Command(120);
    QCOMPARE(window_->settings().comPort, 0);
    QCOMPARE(window_->settings().rig.method, vela::PttMethod::Rigctld);
    QCOMPARE(window_->settings().rig.port, 4533);
    QCOMPARE(spy.size(), 2);
    QCOMPARE(window_->CurrentPreferences().comPort, 0);
  }

  void soundcardChoiceIsRefusedWhileSending() {
    int asked = 0;
    window_->SetCaptureDevices({QStringLiteral("pulse"), QStringLiteral("hw:1,0")});
    prompts_->captureDevice = [&](const QStringList& devices) {
      ++asked;
      return devices.size() - 1;
    };
    QSignalSpy chosen(window_.get(), &MainWindow::captureDeviceChosen);
    window_->Command(3912);
    window_->Command(672);
    QCOMPARE(asked, 0);
    window_->Command(3912);
    window_->Command(672);
    QCOMPARE(asked, 0);  // the output is still closing
    tx_->output.Pump();
    window_->Command(672);
    QCOMPARE(asked, 1);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].toInt(), 1);
  }

  void droppedFiles() {
    QTemporaryDir dir;
    const QString small = dir.filePath(QStringLiteral("qso.txt"));
    {
      QFile f(small);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("73 \xA3 de G4ABC");  // Windows-1252 pound sign
    }
    window_->transmitPane()->setPlainText(QStringLiteral("so "));
    QVERIFY(window_->AppendFileToTransmitPane(small));
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("so 73 £ de G4ABC"));

    const QString big = dir.filePath(QStringLiteral("big.bin"));
    {
      QFile f(big);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(vela::app::kMaxDroppedFileBytes + 1, 'a'));
    }
    QVERIFY(!window_->AppendFileToTransmitPane(big));
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QVERIFY(prompts_->messages[0].text.contains(QStringLiteral("1 MiB")));
    QVERIFY(!window_->AppendFileToTransmitPane(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(!window_->AppendFileToTransmitPane(dir.path()));
    QCOMPARE(prompts_->messages.size(), size_t{3});
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("so 73 £ de G4ABC"));
  }

  void fileDroppedOnAPaneGoesToTheTransmitText() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("beacon.txt"));
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("VVV de G4ABC");
    }
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    for (QAbstractScrollArea* pane : std::initializer_list<QAbstractScrollArea*>{
             window_->receivePane(), window_->transmitPane()}) {
      QWidget* target = pane->viewport();
      QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(target, &enter);
      QVERIFY(enter.isAccepted());
      QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
      QApplication::sendEvent(target, &drop);
    }
    QCOMPARE(window_->transmitPane()->toPlainText(), QStringLiteral("VVV de G4ABCVVV de G4ABC"));
    QVERIFY(window_->receivePane()->toPlainText().isEmpty());
  }

  void saveScreenWritesTheReceivePane() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    Receive(*window_, "CQ CQ de DL1ABC\nk");
    const QString name = window_->SaveScreen();
    QVERIFY(QRegularExpression(QStringLiteral("^VELA\\d\\d[A-Z][a-z]+\\d{10}\\.rtf$"))
                .match(name)
                .hasMatch());
    QFile f(dir.filePath(name));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("CQ CQ de DL1ABC\r\nk\r\n"));
    QVERIFY(prompts_->messages.empty());
  }

  // Save screen as...: RTF that an RTF reader (unrtf) shows in the pane's colours, the
  // markup characters and accents whole; a .txt name gives plain text.
  void saveScreenAsKeepsThePanesColours() {
    QTemporaryDir dir;
    Receive(*window_, "cq de {G4ABC} \\ ");
    for (uint8_t c : std::string("r \xe9t\xe9 \x80\r73")) window_->ShowReceivedChar(c, Qt::red);
    for (const char* name : {"s.rtf", "s.txt"}) {
      prompts_->screenTarget = [&](const QString&) { return dir.filePath(QLatin1String(name)); };
      window_->Command(1606);
    }
    QFile plain(dir.filePath(QStringLiteral("s.txt")));
    QVERIFY(plain.open(QIODevice::ReadOnly) &&
            plain.readAll() == "cq de {G4ABC} \\ r \xc3\xa9t\xc3\xa9 \xe2\x82\xac\r\n73\r\n");
    const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
    if (unrtf.isEmpty()) QSKIP("unrtf (scripts/setup installs it) reads the RTF back");
    QProcess reader;
    reader.start(unrtf, {QStringLiteral("--html"), dir.filePath(QStringLiteral("s.rtf"))});
    QVERIFY(reader.waitForFinished(20000) && reader.exitCode() == 0);
    // The reader's runs by colour, those of one colour in a row put together.
    QString runs, last;
    QRegularExpression run(QStringLiteral("<font color=\"(#[0-9a-f]{6})\">([^<]*)"));
    for (const auto& m : run.globalMatch(QString::fromUtf8(reader.readAllStandardOutput()))) {
      if (m.captured(1) != std::exchange(last, m.captured(1))) runs += u'|' + last + u' ';
      runs += m.captured(2);
    }
    QCOMPARE(runs,
             QStringLiteral("|#008000 cq de {G4ABC} \\ |#ff0000 r &eacute;t&eacute; &euro;73"));
  }

  void saveScreenTwiceInOneSecondReplacesTheFile() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    // Start just after a second turns so both saves fall in the same one.
    const QTime start = QTime::currentTime();
    QTRY_VERIFY(QTime::currentTime().second() != start.second());
    Receive(*window_, "first");
    const QString first = window_->SaveScreen();
    window_->Command(9402);
    Receive(*window_, "second");
    const QString second = window_->SaveScreen();
    QCOMPARE(second, first);
    const QDate today = QDate::currentDate();
    QVERIFY2(first.startsWith(QStringLiteral("VELA") + today.toString(QStringLiteral("dd")) +
                              QLocale(QLocale::English).monthName(today.month()) +
                              today.toString(QStringLiteral("yyyy"))),
             qPrintable(first));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{first});
    QFile f(dir.filePath(first));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("second\r\n"));
    QVERIFY(prompts_->messages.empty());
  }

  void saveScreenThatCannotBeWrittenSays() {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restore = qScopeGuard([&] { QDir::setCurrent(previous); });
    // A folder already carries the name the save will want, for the next few seconds.
    const QDateTime now = QDateTime::currentDateTime();
    for (int s = 0; s < 5; ++s) {
      const QDateTime t = now.addSecs(s);
      const QString name = QStringLiteral("VELA") + t.toString(QStringLiteral("dd")) +
                           QLocale(QLocale::English).monthName(t.date().month()) +
                           t.toString(QStringLiteral("yyyyHHmmss")) + QStringLiteral(".rtf");
      QVERIFY(QDir(dir.path()).mkdir(name));
    }
    Receive(*window_, "lost?");
    QCOMPARE(window_->SaveScreen(), QString());
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QCOMPARE(prompts_->messages[0].title, QStringLiteral("Save screen"));
    QVERIFY(
        prompts_->messages[0].text.startsWith(QStringLiteral("Could not save the receive pane")));
    // Nothing was lost from the pane.
    QCOMPARE(window_->receivePane()->toPlainText(), QStringLiteral("lost?"));
    // Beside the settings it can be, and the status bar says where.
    QTemporaryDir settings;
    window_->SetSettingsFolder(settings.path());
    const QString saved = window_->SaveScreen();
    QVERIFY2(saved.startsWith(settings.path() + u'/'), qPrintable(saved));
    QCOMPARE(prompts_->messages.size(), size_t{1});
    QCOMPARE(window_->statusBarWidget()->note(), QStringLiteral("Receive pane saved to ") + saved);
  }

  void closingWhileSendingStopsTheOutputFirst() {
    window_->Command(3912);
    tx_->output.Pump();
    QVERIFY(!window_->close());
    QVERIFY(window_->isVisible());
    QVERIFY(window_->exitRequested());
    QVERIFY(!tx_->controller.state().keyed);  // released at once, before the close
    tx_->output.Pump();
    QVERIFY(!window_->isVisible());
  }

  void mixerWithoutAnyProgramLeavesANote() {
    QTemporaryDir empty;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", empty.path().toLocal8Bit());
    window_->Command(670);
    qputenv("PATH", path);
    QVERIFY(window_->statusBarWidget()->note().contains(QStringLiteral("No mixer")));
  }

  void preferencesCarryTheMacrosBack() {
    const Preferences p = window_->CurrentPreferences();
    QCOMPARE(p.macros[0].label, QStringLiteral("CQ"));
    QCOMPARE(p.macros[7].text, QStringLiteral("btu om"));
    QCOMPARE(p.cwIdFlag, 1);
    QVERIFY(p.rxCentreFrequency == 1000);
  }

  // Every record of the file comes back from a window that changed nothing, none of them
  // at its default.
  void preferencesComeBackAsTheyCame() {
    Preferences p = StationPreferences();
    p.macros[8] = {QStringLiteral("Send"), QStringLiteral("send line")};
    p.macros[9] = {QStringLiteral("Over"), QStringLiteral("KN")};
    p.squelchLevel = 42;
    p.comPort = 4;
    p.txCentreFrequency = 1234.5L;
    p.rxSampleRate = 7999.9L;
    p.rxCentreFrequency = 1100;
    MainWindow w(p, std::make_unique<ScriptedPrompts>());
    QCOMPARE(w.CurrentPreferences().Serialise(), p.Serialise());
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
