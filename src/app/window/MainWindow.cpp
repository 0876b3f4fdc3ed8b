#include "app/window/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/TextCodec.h"
#include "app/dialogs/DialogPrompts.h"
#include "app/dialogs/Dialogs.h"
#include "app/window/CaptionFit.h"
#include "app/window/CommandMenus.h"
#include "app/window/CorrelationWindow.h"
#include "app/window/FileDrops.h"
#include "app/window/FindBar.h"
#include "app/window/GraphicControls.h"
#include "app/window/OnAirIndicator.h"
#include "app/window/Panes.h"
#include "app/window/SignalBrowser.h"
#include "app/window/StatusBar.h"
#include "app/window/UpDownControl.h"
#include "app/window/WindowArithmetic.h"
#include "coding/Morse.h"
#include "rig/RigFrequency.h"

namespace vela::app {

namespace {

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(const Preferences& preferences, std::unique_ptr<OperatorPrompts> prompts,
                       QWidget* parent)
    : QMainWindow(parent),
      settings_(OperatorSettings::FromPreferences(preferences)),
      prompts_(prompts ? std::move(prompts) : std::make_unique<DialogPrompts>(this)) {
  setWindowTitle(QStringLiteral("VELA63 for LF/MF"));
  setWindowIcon(ProgramIcon());
  setAcceptDrops(true);

  client_ = new ClientArea(settings_.macros, this);
  ui_ = client_->controls();
  setCentralWidget(client_);
  ConnectControls();
  new FindBar(*ui_.receivePane, *this);  // Ctrl+F
  client_->installEventFilter(this);
  const CommandRunner run = [this](int id) { Command(id); };
  BuildMenuBar(menuBar(), this, run);
  // The waterfall's span, speed, gain and range, under its palette.
  menuCommand(CommandNumber(CommandId::WaterfallMenu))->setMenu(ui_.waterfall->menu());
  onAir_ = new OnAirIndicator(menuBar());
  menuCommand(CommandNumber(CommandId::ReceiveLog))->setChecked(settings_.receiveLog);
  BuildFunctionKeys(this, run);

  clockTimer_ = new QTimer(this);
  clockTimer_->setInterval(250);
  connect(clockTimer_, &QTimer::timeout, this, &MainWindow::ClockTick);
  clockTimer_->start();
  // The squelch bar's threshold line follows the squelch setting.
  connect(this, &MainWindow::settingsChanged, this, &MainWindow::RedrawSquelchBar);

  RebuildCwIdPattern();
  SelectMode(Mode::Vela63);
  ui_.sampleRate->setText(FromStd(FormatSampleRate(settings_.rxSampleRate)));
  ui_.waterfall->SetPaletteSwitch(settings_.waterfallPalette);
  SetStatusPart(3, QStringLiteral("Tune signal OFF"));
  SetStatusPart(4, QStringLiteral("Beacon mode OFF"));
  RefreshStatus();
  ClockTick();
  RedrawScale();
  // The design's client area is the smallest that shows every control whole; a larger
  // window gives the panes and the waterfall the room.
  client_->setMinimumSize(ClientArea::kDesignWidth, kSmallestClientHeight);
  resize(727, 512);
}

MainWindow::~MainWindow() {
  // The browser's scanner is the station's: given back while both are still here.
  delete browser_.data();
}

// ---- Building ----

void MainWindow::ConnectControls() {
  connect(client_, &ClientArea::commandClicked, this, &MainWindow::Command);
  connect(client_, &ClientArea::contextHelpRequested, this, &MainWindow::ContextHelp);
  connect(ui_.fineTune, &QSlider::sliderMoved, this, &MainWindow::FineTune);
  connect(ui_.sampleRateTrim, &UpDownControl::stepped, this, &MainWindow::StepSampleRate);
  connect(ui_.waterfall, &GraphicControl::leftClicked, this,
          [this](QPoint p) { WaterfallClicked(p.x()); });
  connect(ui_.waterfall, &GraphicControl::rightClicked, this,
          [this](QPoint p) { WaterfallRightClicked(p.x()); });
  connect(ui_.waterfall, &GraphicControl::mouseMovedTo, this,
          [this](QPoint p) { WaterfallHover(p.x()); });
  connect(ui_.squelchBar, &GraphicControl::leftClicked, this,
          [this](QPoint p) { SquelchClicked(p.y()); });
  drops_ =
      new FileDrops([this](const QString& path) { return AppendFileToTransmitPane(path); }, this);
  for (QAbstractScrollArea* pane : std::initializer_list<QAbstractScrollArea*>{
           ui_.transmitPane, ui_.receivePane, ui_.secondaryPane}) {
    drops_->Watch(pane);
  }
  ui_.transmitPane->setFocus();
}

// ---- Looking at the window ----

QAction* MainWindow::menuCommand(int id) const {
  return findChild<QAction*>(QStringLiteral("m%1").arg(id));
}

QString MainWindow::statusPart(int part) const {
  return ui_.statusBar->part(part)->text();
}

void MainWindow::SetStatusPart(int part, const QString& text) {
  ui_.statusBar->part(part)->setText(text);
}

int MainWindow::modeRate() const {
  return ModeTable(settings_.mode).modeRate;
}

void MainWindow::ShowDial(const std::optional<Dial>& dial) {
  dial_ = dial;
  ui_.statusBar->SetDialReadouts(dial.has_value());
  RefreshStatus();
}

long double MainWindow::OnAir(long double audioHz) const {
  if (!dial_) return audioHz;
  return RfFrequency(static_cast<double>(audioHz), dial_->hz, dial_->mode,
                     settings_.rig.converterOffsetHz);
}

void MainWindow::RefreshStatus() {
  const bool onAir = dial_.has_value();
  SetStatusPart(1, FromStd(FormatFrequency(OnAir(settings_.rxCentreFrequency), onAir)));
  SetStatusPart(2, FromStd(FormatCursorReadout(OnAir(cursorFrequency_), onAir, cursorLevel_)));
  SetStatusPart(5, FromLatin1(ModeTable(settings_.mode).statusText));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A repaint of the whole window writes status parts 1 to 5 afresh from the state; part 3
  // then carries the tune note, so a "CWID ON" lasts until the next full repaint.
  if (watched == client_ && event->type() == QEvent::Paint &&
      static_cast<QPaintEvent*>(event)->region().contains(client_->rect())) {
    RefreshStatus();
    SetStatusPart(
        3, tuneActive() ? QStringLiteral("Tune signal ON") : QStringLiteral("Tune signal OFF"));
    SetStatusPart(
        4, beaconMode() ? QStringLiteral("Beacon mode ON") : QStringLiteral("Beacon mode OFF"));
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::RedrawScale() {
  ui_.waterfall->SetReceiveFrequency(static_cast<double>(settings_.rxCentreFrequency));
  ui_.scale->SetFrequencies(static_cast<double>(settings_.rxCentreFrequency),
                            static_cast<double>(settings_.txCentreFrequency));
}

void MainWindow::ClockTick() {
  const bool utc = !menuCommand(CommandNumber(CommandId::LocalClock))->isChecked();
  const QDateTime now = utc ? QDateTime::currentDateTimeUtc() : QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  SetStatusPart(
      6, FromStd(FormatClock(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second(), utc)));
}

void MainWindow::ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) {
  prompts_->Tell(icon, title, text);
}

void MainWindow::ShowReceivedChar(uint8_t c, QColor colour) {
  // A paused pane holds still; what arrives meanwhile waits, in order, for Resume.
  if (settings_.pause) {
    heldChars_.push_back({c, colour});
    return;
  }
  ShowOnReceivePane(*ui_.receivePane, c, colour);
}

void MainWindow::StartNewLine() {
  const bool atLineStart = settings_.pause && !heldChars_.empty()
                               ? heldChars_.back().first == '\r'
                               : ui_.receivePane->document()->lastBlock().text().isEmpty();
  if (!atLineStart) ShowReceivedChar('\r', ui_.receivePane->textColor());
}

void MainWindow::ShowSecondaryChar(uint8_t c) {
  ShowOnSecondaryPane(*ui_.secondaryPane, c);
}

QString MainWindow::transmitText() const {
  return ui_.transmitPane->toPlainText();
}

void MainWindow::ShowReceiveStats(const ReceiveStats& stats) {
  for (const EyeStepPoint& p : stats.eye) ui_.eye->EyeStep(p.subSymbol, p.phaseStep);
  if (stats.level) ui_.levelBar->SetLevel(*stats.level);
  syncPeak_ = stats.syncPeak;
  if (stats.confidence) {
    confidence_ = *stats.confidence;
    RedrawSquelchBar();
  }
}

void MainWindow::RedrawSquelchBar() {
  ui_.squelchBar->SetConfidence(confidence_, syncPeak_, settings_.squelchLevel);
}

void MainWindow::ShowNoAudio(bool none) {
  ui_.waterfall->SetNoAudio(none);
  ui_.eye->SetNoAudio(none);
  if (!none) return;
  // No audio is no signal: the bars do not go on showing the last one heard.
  ui_.levelBar->SetLevel(0);
  confidence_ = 0;
  RedrawSquelchBar();
}

void MainWindow::ShowSpectrumBlock(std::span<const int16_t> samples) {
  ui_.waterfall->AddCaptureBuffer(samples);
}

void MainWindow::ShowScan(const BandScanner& scanner) {
  if (browser_ && &browser_->scanner() == &scanner) browser_->ScannerRan();
}

void MainWindow::ShowCorrelationRow(int row, std::span<const float> correlationPerOffset) {
  if (correlation_) correlation_->SetRow(row, correlationPerOffset);
}

void MainWindow::ShowFrame(const FrameReport& report) {
  if (correlation_) correlation_->SetSyncFigures(report.syncPeak, report.location);
}

void MainWindow::ClearTransmitPane() {
  ui_.transmitPane->clear();
}

void MainWindow::KeepUnsentText(int sent) {
  ui_.transmitPane->setPlainText(ui_.transmitPane->toPlainText().mid(sent));
  ui_.transmitPane->moveCursor(QTextCursor::End);
}

void MainWindow::ShowReceiveRecordingStopped() {
  menuCommand(CommandNumber(CommandId::RecordAudio))->setChecked(false);
}

void MainWindow::ShowNote(const QString& text, int ms) {
  ui_.statusBar->ShowNote(text, ms);
}

void MainWindow::OpenCorrelationWindow() {
  // One window, drawn into for as long as it is open; asked for again, it comes forward.
  if (!correlation_) correlation_ = new CorrelationWindow(this);
  correlation_->show();
  correlation_->raise();
  correlation_->activateWindow();
}

SignalBrowser* MainWindow::signalBrowser() const {
  return browser_;
}

void MainWindow::OpenSignalBrowser() {
  if (!browser_) {
    if (station_ == nullptr) return;
    // The scanner lives and runs only while the browser is open.
    const BandScanner* scanner = &station_->AddScanner(
        SignalBrowser::ScanFor(settings_.rxSampleRate, settings_.squelchLevel),
        SignalBrowser::kRunBudget);
    browser_ = new SignalBrowser(*this, *scanner);
    connect(browser_, &QObject::destroyed, this, [this, scanner] {
      if (station_) station_->RemoveScanner(*scanner);
    });
    browser_->SetTransmitting(transmitState_.onAir());
  }
  browser_->show();
  browser_->raise();
  browser_->activateWindow();
  emit signalBrowserShown();
}

// ---- Commands ----

void MainWindow::Command(int id) {
  const CommandEntry* command = FindCommand(id);
  if (command == nullptr) return;
  switch (command->site) {
    case CommandSite::PaneMenu:
      // The copy or paste goes where the focus is, and the focus stays there.
      RunPaneCommand(command->id);
      return;
    case CommandSite::FunctionKey:
      qobject_cast<QAbstractButton*>(control(CommandNumber(ButtonOfKey(command->id))))->click();
      break;
    case CommandSite::MacroButton:
      InsertIntoTransmitPane(settings_.macros[MacroIndex(command->id)].text);
      break;
    case CommandSite::ModeButton:
      SelectMode(ModeOf(command->id));
      break;
    default:
      RunCommand(command->id);
      break;
  }
  // The operator goes on typing where the text goes out.
  ui_.transmitPane->setFocus();
}

// What goes on the air is the transmit controller's to decide.
void MainWindow::RunTransmitCommand(CommandId id) {
  if (station_ == nullptr) return;
  switch (id) {
    case CommandId::Send:
      station_->Send();
      break;
    case CommandId::CwId:
      station_->ToggleCwId();
      break;
    case CommandId::Tune:
      station_->ToggleTune();
      break;
    case CommandId::Beacon:
      station_->ToggleBeacon();
      break;
    default:
      break;
  }
}

void MainWindow::RunCommand(CommandId id) {
  switch (id) {
    case CommandId::Send:
    case CommandId::CwId:
    case CommandId::Tune:
    case CommandId::Beacon:
      RunTransmitCommand(id);
      break;
    case CommandId::DelayedReceive:
      InsertIntoTransmitPane(settings_.endMarker());
      break;
    case CommandId::SaveScreen:
      SaveScreen();
      break;
    case CommandId::SaveScreenAs:
      SaveScreenAs();
      break;
    case CommandId::DecodeRecording:
      ChooseRecording();
      break;
    case CommandId::RecordAudio:
      ToggleReceiveRecording();
      break;
    case CommandId::PttPort:
      PickPttPort();
      break;
    case CommandId::Cat:
      PickPttPort(true);
      break;
    case CommandId::TransmitFrequency:
      ChangeTransmitFrequency();
      break;
    case CommandId::Mixer:
    case CommandId::AudioDevices:
      StartMixer(id == CommandId::AudioDevices);
      break;
    case CommandId::SelectSoundcard:
      SelectSoundcard();
      break;
    case CommandId::OutputMode:
      OpenOutputModeDialog();
      break;
    case CommandId::CorrelationDisplay:
      OpenCorrelationWindow();
      break;
    case CommandId::SignalBrowser:
      OpenSignalBrowser();
      break;
    case CommandId::Quit:
      close();
      break;
    case CommandId::MenuVela8:
    case CommandId::MenuVela31:
    case CommandId::MenuVela63:
    case CommandId::MenuVela125:
      // As the mode buttons: not while our own signal is on the air.
      if (!transmitState().onAir()) {
        SelectMode(static_cast<Mode>(CommandNumber(id) - CommandNumber(CommandId::MenuVela8)));
      }
      break;
    case CommandId::SquelchUp:
    case CommandId::SquelchDown:
      SetSquelch(settings_.squelchLevel + (id == CommandId::SquelchUp ? 5 : -5));
      break;
    case CommandId::LocalClock:
      ClockTick();
      break;
    case CommandId::TransmitFollows:
      SetTransmitFollows(menuCommand(CommandNumber(id))->isChecked());
      break;
    case CommandId::ReceiveLog:
      settings_.receiveLog = menuCommand(CommandNumber(id))->isChecked();
      emit settingsChanged(settings_);
      break;
    case CommandId::EnhancedReceiver:
      // The check mark follows the menu item itself.
      SetEnhancedReceiver(menuCommand(CommandNumber(id))->isChecked());
      break;
    case CommandId::WaterfallPalette:
      settings_.waterfallPalette = settings_.waterfallPalette == 1 ? 0 : 1;
      emit settingsChanged(settings_);
      ui_.waterfall->SetPaletteSwitch(settings_.waterfallPalette);
      break;
    case CommandId::ClearRx:
      ui_.receivePane->clear();
      break;
    case CommandId::ClearTx:
      ui_.transmitPane->clear();
      emit clearTxRequested();
      break;
    case CommandId::SecondaryText:
      ChangeSecondaryText();
      break;
    case CommandId::Callsign:
      ChangeCallsign();
      break;
    case CommandId::Help:
      OpenHelp();
      break;
    case CommandId::About:
      ShowAbout();
      break;
    default:
      break;
  }
}

void MainWindow::RunPaneCommand(CommandId id) {
  QWidget* focus = QApplication::focusWidget();
  auto* rich = qobject_cast<QTextEdit*>(focus);
  auto* plain = qobject_cast<QPlainTextEdit*>(focus);
  if (!rich && !plain) rich = ui_.receivePane;
  // What is pasted is to be sent: the read-only panes hand it to the transmit pane.
  if (id == CommandId::Paste && rich && rich->isReadOnly()) {
    rich = nullptr;
    plain = ui_.transmitPane;
  }
  switch (id) {
    case CommandId::Copy:
      rich ? rich->copy() : plain->copy();
      break;
    case CommandId::Paste:
      rich ? rich->paste() : plain->paste();
      break;
    case CommandId::ClearReceiveScreen:
      ui_.receivePane->clear();
      break;
    case CommandId::SelectAll:
      rich ? rich->selectAll() : plain->selectAll();
      break;
    case CommandId::PauseScreen:
      settings_.pause = !settings_.pause;
      emit settingsChanged(settings_);
      ShowPaused(*ui_.receivePane, settings_.pause);
      if (!settings_.pause) {
        for (const auto& [c, colour] : std::exchange(heldChars_, {}))
          ShowOnReceivePane(*ui_.receivePane, c, colour);
      }
      break;
    default:
      break;
  }
}

void MainWindow::ContextHelp(int id, QPoint globalPos) {
  const CommandEntry* command = FindCommand(id);
  if (command != nullptr && command->site == CommandSite::MacroButton) {
    DefineMacro(MacroIndex(command->id));
  } else if (id == CommandNumber(CommandId::DelayedReceive)) {
    ChangeEndMarker();
  } else if (id == ClientArea::kReceivePaneId) {
    RunPaneMenu(this, globalPos, settings_.pause, [this](int item) { Command(item); });
  }
}

void MainWindow::InsertIntoTransmitPane(const QString& text) {
  QTextCursor cursor = ui_.transmitPane->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QStringLiteral(" ") + text);
  ui_.transmitPane->setTextCursor(cursor);
  ui_.transmitPane->ensureCursorVisible();
  ui_.transmitPane->setFocus();
}

// ---- The transmitter ----

void MainWindow::AttachStation(StationControl* station) {
  station_ = station;
  // A station that goes takes the browser's scanner with it.
  if (!station_) delete browser_.data();
  if (station_) station_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
}

void MainWindow::ShowTransmitState(const TransmitState& now, const TransmitState& before) {
  transmitState_ = now;
  if (browser_ && now.onAir() != before.onAir()) browser_->SetTransmitting(now.onAir());
  if (now.sending() != before.sending()) {
    SetFittedCaption(*ui_.sendButton,
                     now.sending() ? QStringLiteral("F9 Receive") : QStringLiteral("F9 Send"));
  }
  if (now.identifying() != before.identifying()) {
    SetStatusPart(3, now.identifying() ? QStringLiteral("CWID ON") : QStringLiteral("CWID OFF"));
  }
  if (now.tuning() != before.tuning()) {
    SetStatusPart(
        3, now.tuning() ? QStringLiteral("Tune signal ON") : QStringLiteral("Tune signal OFF"));
  }
  if (now.beacon != before.beacon) {
    SetStatusPart(
        4, now.beacon ? QStringLiteral("Beacon mode ON") : QStringLiteral("Beacon mode OFF"));
  }
  if (now.onAir() != before.onAir()) LockTransmitControls(now.onAir());
  onAir_->Show(now);
}

void MainWindow::LockTransmitControls(bool locked) {
  for (QRadioButton* b : ui_.modeButtons) b->setEnabled(!locked);
  menuCommand(CommandNumber(CommandId::PttPort))->setEnabled(!locked);
}

void MainWindow::RebuildCwIdPattern() {
  cwIdPattern_ = MorsePattern(AirBytes(settings_.callsign));
  if (station_) station_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
}

// ---- Tuning and the receiver ----

void MainWindow::SetEnhancedReceiver(bool on) {
  menuCommand(CommandNumber(CommandId::EnhancedReceiver))->setChecked(on);
  settings_.enhancedReceiver = on;
  emit settingsChanged(settings_);
}

void MainWindow::SelectMode(Mode mode) {
  settings_.mode = mode;
  emit settingsChanged(settings_);
  cwIdPeriodMs_ = MorseTickMs(mode, settings_.cwIdFlag);
  if (station_) station_->SetMorseIdentifier(cwIdPattern_, cwIdPeriodMs_);
  ui_.modeButtons[static_cast<int>(mode)]->setChecked(true);
  setWindowTitle(FromLatin1(ModeTable(mode).title));
  RefreshStatus();
}

void MainWindow::WaterfallHover(int x) {
  // The level of the bin drawn under the cursor, at whatever span.
  cursorFrequency_ = static_cast<float>(ui_.waterfall->FrequencyAt(x));
  cursorLevel_ = WaterfallLevel(ui_.waterfall->MagnitudeAt(x));
  RefreshStatus();
}

void MainWindow::WaterfallClicked(int x) {
  TuneTo(ui_.waterfall->FrequencyAt(x), settings_.mode);
}

void MainWindow::TuneTo(long double f, Mode mode) {
  if (mode != settings_.mode) SelectMode(mode);
  f = SettingLimits::ClampReceiveHz(f, settings_.rxSampleRate);
  rxClickFrequency_ = f;
  ui_.fineTune->setValue(FineTunePositionAfterClick(f));
  settings_.rxCentreFrequency = f;
  emit settingsChanged(settings_);
  FollowReceiver();
  RefreshStatus();
  RedrawScale();
}

void MainWindow::WaterfallRightClicked(int x) {
  settings_.txCentreFrequency = SettingLimits::ClampTransmitHz(ui_.waterfall->FrequencyAt(x));
  emit settingsChanged(settings_);
  RedrawScale();
  ui_.statusBar->ShowNote(
      QStringLiteral("Transmit frequency %1 Hz, set alone by right-click%2")
          .arg(static_cast<double>(settings_.txCentreFrequency), 0, 'f', 1)
          .arg(settings_.transmitFollows ? QStringLiteral("; a click moves both again")
                                         : QString()),
      8000);
}

void MainWindow::FineTune(int position) {
  const long double f = SettingLimits::ClampReceiveHz(
      FineTuneFrequency(rxClickFrequency_, modeRate(), position), settings_.rxSampleRate);
  settings_.rxCentreFrequency = f;
  emit settingsChanged(settings_);
  FollowReceiver();
  RefreshStatus();
  ui_.transmitPane->setFocus();
  RedrawScale();
}

void MainWindow::SquelchClicked(int y) {
  SetSquelch(SquelchFromClick(ui_.squelchBar->height(), y));
}

void MainWindow::SetSquelch(int level) {
  level = std::clamp(level, 0, 100);
  ui_.squelchBar->SetThreshold(level);
  settings_.squelchLevel = level;
  emit settingsChanged(settings_);
}

void MainWindow::SetTransmitFollows(bool on) {
  menuCommand(CommandNumber(CommandId::TransmitFollows))->setChecked(on);
  settings_.transmitFollows = on;
  FollowReceiver();
}

void MainWindow::FollowReceiver() {
  // Not while on the air: the over goes out where it started.
  if (!settings_.transmitFollows || transmitState().onAir()) return;
  settings_.txCentreFrequency = SettingLimits::ClampTransmitHz(settings_.rxCentreFrequency);
  emit settingsChanged(settings_);
  RedrawScale();
}

void MainWindow::StepSampleRate(int delta) {
  settings_.rxSampleRate =
      std::clamp(vela::app::StepSampleRate(settings_.rxSampleRate, delta),
                 SettingLimits::kLowestSampleRate, SettingLimits::kHighestSampleRate);
  emit settingsChanged(settings_);
  ui_.sampleRate->setText(FromStd(FormatSampleRate(settings_.rxSampleRate)));
}

// ---- Drops and closing ----

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  drops_->DragEnter(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
  drops_->Drop(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing while the transmitter is on: stop the output first; the window closes once
  // the controller says the output has closed, so the carrier and PTT never stay up.
  if (station_ && !station_->RequestExit()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

}  // namespace vela::app
