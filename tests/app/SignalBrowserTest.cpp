// The signal browser in the whole terminal: a band with three transmissions on at once
// (different modes, centres and callsigns), heard through a capture device the test plays a
// buffer at a time, with the window's events run in between as a real card at real time
// leaves room for. The browser lists each signal, marks it on the scale and tunes the main
// receiver to it, which then copies that signal's text.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTime>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/SignalBrowser.h"
#include "app/window/Station.h"
#include "app/window/StationWiring.h"
#include "audio/WavFileDevices.h"
#include "cli/Sweep.h"
#include "display/FrequencyScale.h"
#include "display/Waterfall.h"
#include "support/Band.h"
#include "support/ScriptedInput.h"
#include "support/ScriptedPrompts.h"

using vela::Mode;
using vela::app::MainWindow;
using vela::app::SignalBrowser;
using vela::app::Station;

namespace {

constexpr int kSignalBrowser = 6668;
constexpr int kTune = 3912;
constexpr double kBandSeconds = 45.0;

const std::string kText = vela::SweepText(200);
// Each callsign comes in the idle frames after its text, the VELA31 one some 30 s in; the
// VELA125 signal is still on for a while after all three are listed, so the receiver tuned
// to it has text to copy.
const std::vector<vela::test::BandTransmission> kBand = {
    {Mode::Vela63, 812.37, -7.0, "G3ABC", kText.substr(0, 40), 0.0},
    {Mode::Vela125, 1403.71, -3.0, "PA0QQ", kText.substr(40, 120), 0.0},
    {Mode::Vela31, 1811.13, -10.0, "DL2XYZ", kText.substr(160, 8), 0.0},
};

// What the window system sends for a double-click: press, release, double-click, release.
void DoubleClick(QWidget* widget, QPoint at) {
  const QPointF local(at);
  const QPointF global(widget->mapToGlobal(at));
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    const bool down = type != QEvent::MouseButtonRelease;
    QMouseEvent event(type, local, global, Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  }
}

QString Column(const QTreeWidgetItem* item, int column) {
  return item->text(column);
}

}  // namespace

class SignalBrowserTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<vela::test::ScriptedInput> input_;
  std::unique_ptr<vela::WavFileOutput> output_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Station> station_;

  SignalBrowser* Browser() const { return window_->findChild<SignalBrowser*>(); }

  // Plays the band a buffer at a time until `done` holds or the band is over; after each
  // buffer the window's events run until the scanner has caught up. Notes each listed
  // signal's callsign as it comes: the sender's call arrives at the end of the text, and a
  // signal is dropped a little after it ends.
  bool PlayUntil(const std::function<bool()>& done, double until = kBandSeconds + 5.0) {
    while (!done() && input_->seconds() < until) {
      if (!input_->Deliver()) return false;
      do {
        QCoreApplication::processEvents();
      } while (Browser() != nullptr && Browser()->scanner().lagSeconds() > 0.0);
      for (const vela::test::BandTransmission& t : kBand) {
        if (const QTreeWidgetItem* row = RowOf(t)) {
          const QString call = Column(row, SignalBrowser::kCallColumn);
          if (!call.isEmpty()) calls_[t.call] = call;
          if (!call.isEmpty() && call != QString::fromStdString(t.call)) wrongCalls_ << call;
        }
      }
    }
    return done();
  }

  // The row of the signal sent as `t`, if listed: its mode, within a hertz of its centre.
  QTreeWidgetItem* RowOf(const vela::test::BandTransmission& t) const {
    if (Browser() == nullptr) return nullptr;
    QTreeWidget* list = Browser()->list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      QTreeWidgetItem* item = list->topLevelItem(i);
      if (Column(item, SignalBrowser::kModeColumn).toStdString() == vela::ModeTable(t.mode).name &&
          std::abs(Column(item, SignalBrowser::kAudioColumn).toDouble() - t.centreHz) < 1.0)
        return item;
    }
    return nullptr;
  }

  std::map<std::string, QString> calls_;  // sent call: as the browser showed it
  QStringList wrongCalls_;                // any other call a row showed, however briefly

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    input_ = std::make_unique<vela::test::ScriptedInput>(vela::test::Band(kBand, 21, kBandSeconds));
    output_ = std::make_unique<vela::WavFileOutput>(dir_->filePath("air.wav").toStdString(),
                                                    vela::Pacing::AsFastAsPossible);
    window_ = std::make_unique<MainWindow>(vela::app::Preferences::Defaults(),
                                           std::make_unique<vela::test::ScriptedPrompts>());
    station_ = std::make_unique<Station>(
        *window_, vela::app::StationDevices{input_.get(), output_.get(), nullptr});
    vela::app::ConnectStation(*window_, *station_);
    window_->show();
    station_->Start();
  }

  void cleanup() {
    calls_.clear();
    wrongCalls_.clear();
    station_.reset();
    window_.reset();
    output_.reset();
    input_.reset();
  }

  void listsMarksAndTunesToEverySignalOnTheBand() {
    QAction* item = window_->menuCommand(kSignalBrowser);
    QVERIFY(item != nullptr);
    item->trigger();
    SignalBrowser* browser = Browser();
    QVERIFY(browser != nullptr && browser->isVisible());
    // On the screen, and beside the main window where there is room.
    const QRect screen = window_->screen()->availableGeometry();
    QVERIFY(screen.contains(browser->frameGeometry()));
    if (screen.width() >= window_->frameGeometry().width() + browser->frameGeometry().width())
      QVERIFY(!browser->frameGeometry().intersects(window_->frameGeometry()));
    // Listed as soon as heard, at the right centre and in the right mode, and marked.
    QVERIFY(PlayUntil([&] {
      return std::all_of(kBand.begin(), kBand.end(), [&](const vela::test::BandTransmission& t) {
        return RowOf(t) != nullptr;
      });
    }));
    QCOMPARE(browser->list()->topLevelItemCount(), 3);
    const vela::app::FrequencyScaleView* scale = window_->frequencyScale();
    QCOMPARE(scale->signalMarks().size(), kBand.size());
    for (const vela::test::BandTransmission& t : kBand) {
      const QTreeWidgetItem* row = RowOf(t);
      QVERIFY2(std::abs(Column(row, SignalBrowser::kAudioColumn).toDouble() - t.centreHz) < 0.2,
               qPrintable(Column(row, SignalBrowser::kAudioColumn)));
      QVERIFY2(std::abs(Column(row, SignalBrowser::kSnrColumn).toDouble() - t.snrDb) < 2.0,
               qPrintable(Column(row, SignalBrowser::kSnrColumn)));
      QVERIFY(Column(row, SignalBrowser::kRfColumn).isEmpty());  // no rig dial known
      // Its mark sits on the scale's bottom row under its centre.
      const vela::Rgb mark = scale->image().Pixel(vela::FrequencyScreenColumn(t.centreHz),
                                                  scale->image().height() - 1);
      QVERIFY2(mark == vela::kSignalMarkColour, t.call.c_str());
    }
    QVERIFY(browser->note()->text().contains(QStringLiteral("3 signals")));

    // With the rig's dial known (USB), the frequency on air beside the audio one; the row the
    // operator picked stays picked as the figures change.
    browser->list()->setCurrentItem(RowOf(kBand[2]));
    window_->ShowDial(MainWindow::Dial{135700.0, "USB"});
    const double dialAt = input_->seconds();
    QVERIFY(PlayUntil([&] {
      return !Column(RowOf(kBand[1]), SignalBrowser::kRfColumn).isEmpty() &&
             input_->seconds() > dialAt + 2.0;
    }));
    QCOMPARE(browser->list()->currentItem(), RowOf(kBand[2]));
    QVERIFY(browser->list()->currentItem()->isSelected());
    QCOMPARE(Column(RowOf(kBand[1]), SignalBrowser::kRfColumn).toDouble(),
             135700.0 + Column(RowOf(kBand[1]), SignalBrowser::kAudioColumn).toDouble());

    // While our own signal goes out the list rests and cannot tune.
    window_->Command(kTune);
    QTRY_VERIFY(station_->transmitState().onAir());
    QCOMPARE(browser->note()->text(), QStringLiteral("Paused while transmitting"));
    DoubleClick(browser->list()->viewport(),
                browser->list()->visualItemRect(RowOf(kBand[0])).center());
    QCOMPARE(static_cast<double>(station_->modem().rxCentreFrequency()), 1000.0);
    window_->Command(kTune);
    QTRY_VERIFY(!station_->transmitState().outputOpen());
    QVERIFY(browser->note()->text().startsWith(QStringLiteral("Scanning")));

    // Choosing the item again brings the one window back, however it was put away.
    browser->hide();
    item->trigger();
    QCOMPARE(window_->findChildren<SignalBrowser*>().size(), 1);
    QCOMPARE(Browser(), browser);
    QVERIFY(browser->isVisible());

    // A double-click tunes the main receiver, its mode, the status bar and the scale.
    QTreeWidgetItem* target = RowOf(kBand[1]);
    const double centre = Column(target, SignalBrowser::kAudioColumn).toDouble();
    QTreeWidget* list = browser->list();
    const QPoint at = list->visualItemRect(target).center();
    DoubleClick(list->viewport(), at);
    QCOMPARE(station_->modem().mode(), Mode::Vela125);
    QVERIFY(std::abs(static_cast<double>(station_->modem().rxCentreFrequency()) - centre) < 0.01);
    QVERIFY(std::abs(window_->frequencyScale()->receiveHz() - centre) < 0.01);
    QCOMPARE(window_->statusPart(5).toStdString(),
             std::string(vela::ModeTable(Mode::Vela125).statusText));
    // ... and it copies that signal's text, sent after the tuning.
    const QString later = QString::fromStdString(kBand[1].text.substr(110, 30));
    QVERIFY2(PlayUntil([&] { return window_->receivePane()->toPlainText().contains(later); }),
             qPrintable(window_->receivePane()->toPlainText().right(300) + "\n---" + later));

    // The browser's own copy of it, on its row.
    const QString end = QString::fromStdString(kBand[1].text.substr(100));
    QVERIFY(PlayUntil([&] {
      const QTreeWidgetItem* row = RowOf(kBand[1]);
      return row != nullptr && Column(row, SignalBrowser::kTextColumn).endsWith(end);
    }));

    // Every sender's call came in as it was sent.
    const auto allCalls = [&] {
      return std::all_of(kBand.begin(), kBand.end(), [&](const vela::test::BandTransmission& t) {
        return calls_[t.call] == QString::fromStdString(t.call);
      });
    };
    QVERIFY2(PlayUntil(allCalls),
             qPrintable(calls_["G3ABC"] + ' ' + calls_["PA0QQ"] + ' ' + calls_["DL2XYZ"]));

    QVERIFY2(wrongCalls_.isEmpty(), qPrintable(wrongCalls_.join(u' ')));

    // The band falls silent: every station stays listed, greyed, with its calls, its best S/N
    // and when it was first and last heard, and off the scale; its menu copies what it sent.
    const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
    const auto silent = [&](const vela::test::BandTransmission& t) {
      const QTreeWidgetItem* row = RowOf(t);
      return row != nullptr && row->foreground(SignalBrowser::kCallColumn).color() == grey;
    };
    QVERIFY(PlayUntil([&] { return std::all_of(kBand.begin(), kBand.end(), silent); }, 90.0));
    QCOMPARE(list->topLevelItemCount(), 3);
    QVERIFY(scale->signalMarks().empty());
    for (const vela::test::BandTransmission& t : kBand) {
      const QTreeWidgetItem* row = RowOf(t);
      QCOMPARE(Column(row, SignalBrowser::kCallColumn), QString::fromStdString(t.call));
      const QTime first = QTime::fromString(Column(row, SignalBrowser::kFirstColumn), u"HH:mm:ss");
      const QTime last = QTime::fromString(Column(row, SignalBrowser::kLastColumn), u"HH:mm:ss");
      QVERIFY(first.isValid() && last.isValid() && first <= last);
      QVERIFY(row->toolTip(SignalBrowser::kTextColumn)
                  .endsWith(Column(row, SignalBrowser::kLastColumn) + QStringLiteral(" UTC")));
      QVERIFY(Column(row, SignalBrowser::kBestSnrColumn).toDouble() >=
              Column(row, SignalBrowser::kSnrColumn).toDouble());
    }
    QMenu* menu = browser->RowMenu(RowOf(kBand[1]));
    const QList<QAction*> actions = menu->actions();
    const auto named = [&](const QString& start) {
      for (QAction* a : actions) {
        if (a->text().remove(u'&').startsWith(start)) return a;
      }
      return static_cast<QAction*>(nullptr);
    };
    QVERIFY(named(QStringLiteral("Tune to PA0QQ")) != nullptr);
    QVERIFY(!named(QStringLiteral("Log QSO"))->isEnabled());  // no log in this window
    named(QStringLiteral("Copy its text"))->trigger();
    QVERIFY(QGuiApplication::clipboard()->text().contains(
        QString::fromStdString(kBand[1].text.substr(90))));
    // Sorted by a figure, as figures: the loudest first.
    list->sortByColumn(SignalBrowser::kBestSnrColumn, Qt::DescendingOrder);
    QCOMPARE(list->topLevelItem(0), RowOf(kBand[1]));
    named(QStringLiteral("Clear"))->trigger();
    QCOMPARE(list->topLevelItemCount(), 0);
    delete menu;

    // Closed, the scanner goes and its marks with it.
    browser->close();
    QTRY_VERIFY(Browser() == nullptr);
    QVERIFY(scale->signalMarks().empty());
  }
};

QTEST_MAIN(SignalBrowserTest)
#include "SignalBrowserTest.moc"
