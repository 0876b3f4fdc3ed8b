// The terminal's main window: receive, secondary and transmit panes, macro and SEND
// buttons, mode choice, the drawn displays, menus, status bar and the operator's commands.
// Modem work is not done here: the window keeps the operator's settings and announces each
// change with them, so the station can hand them to the modem; it is the station's view, and
// passes SEND, CWID, tune and beacon on through the station's control.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/OperatorPrompts.h"
#include "app/settings/OperatorSettings.h"
#include "app/settings/Preferences.h"
#include "app/window/ClientArea.h"
#include "app/window/Commands.h"
#include "app/window/StationView.h"
#include "station/TransmitController.h"

class QAction;
class QTimer;

namespace vela::app {

class CorrelationWindow;
class FileDrops;
class OnAirIndicator;
class SignalBrowser;

class MainWindow : public QMainWindow, public StationView {
  Q_OBJECT
 public:
  // Without `prompts` the operator is asked with the program's dialogs.
  explicit MainWindow(const Preferences& preferences,
                      std::unique_ptr<OperatorPrompts> prompts = nullptr,
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  // The settings as they stand now, to be written when the terminal closes.
  Preferences CurrentPreferences() const { return settings_.ToPreferences(); }
  const OperatorSettings& settings() const override { return settings_; }

  // ---- What the operator sees and what tests and the station look at ----
  QWidget* control(int id) const { return client_->control(id); }
  QAction* menuCommand(int id) const;
  QWidget* clientArea() const { return client_; }
  QPlainTextEdit* transmitPane() const { return ui_.transmitPane; }
  QTextEdit* receivePane() const { return ui_.receivePane; }
  QTextEdit* secondaryPane() const { return ui_.secondaryPane; }
  WaterfallView* waterfall() const { return ui_.waterfall; }
  FrequencyScaleView* frequencyScale() const { return ui_.scale; }
  EyeDiagramView* eyeDiagram() const { return ui_.eye; }
  LevelBarView* levelBar() const { return ui_.levelBar; }
  SquelchBarView* squelchBar() const { return ui_.squelchBar; }
  StatusBar* statusBarWidget() const { return ui_.statusBar; }
  QString statusPart(int part) const;  // 1..6
  void SetStatusPart(int part, const QString& text);
  int layoutOffset() const { return client_->layoutOffset(); }
  long double rxClickFrequency() const { return rxClickFrequency_; }
  int modeRate() const;

  // ---- Shell state ----
  // What is on the air is the station's; the window shows it and passes the operator's
  // SEND, CWID, tune and beacon presses on. Without a station nothing transmits.
  void AttachStation(StationControl* station);
  bool txActive() const { return transmitState().sending(); }
  bool cwIdActive() const { return transmitState().identifying(); }
  bool tuneActive() const { return transmitState().tuning(); }
  bool beaconMode() const { return transmitState().beacon; }
  bool outputDeviceOpen() const { return transmitState().outputOpen(); }
  bool exitRequested() const { return station_ != nullptr && station_->exitRequested(); }
  // The Morse identifier of this callsign and mode: its element string and element period.
  const std::string& cwIdPattern() const { return cwIdPattern_; }
  int cwIdPeriodMs() const { return cwIdPeriodMs_; }

  // The band scanner's list while it is open, else none.
  SignalBrowser* signalBrowser() const;

  // ---- StationView ----
  QString transmitText() const override;
  QString caption() const override { return windowTitle(); }
  // One received or echoed character from the air at the end of the receive pane.
  void ShowReceivedChar(uint8_t c, QColor colour) override;
  void ShowSecondaryChar(uint8_t c) override;
  // The receive pane goes on at the start of a line: each over and each station heard
  // after a retune begins a line of its own.
  void StartNewLine() override;
  void ShowReceiveStats(const ReceiveStats& stats) override;
  void ShowSpectrumBlock(std::span<const int16_t> samples) override;
  void ShowCorrelationRow(int row, std::span<const float> correlationPerOffset) override;
  void ShowFrame(const FrameReport& report) override;
  void ShowNoAudio(bool none) override;
  // The controller's state has changed: SEND's caption, the status bar's CWID, tune and
  // beacon notes, and the mode buttons and PTT command (locked while our audio goes out).
  void ShowTransmitState(const TransmitState& now, const TransmitState& before) override;
  void ClearTransmitPane() override;
  void KeepUnsentText(int sent) override;
  // The rig's dial as last read, or nothing when no rig reports one: status part 1 and
  // the waterfall's read-out then give the frequency on air (with the converter offset).
  void ShowDial(const std::optional<Dial>& dial) override;
  void ShowScan(const BandScanner& scanner) override;
  // The capture cards the station can offer when the operator chooses one.
  void SetCaptureDevices(QStringList devices) override { captureDevices_ = std::move(devices); }
  void ShowReceiveRecordingStopped() override;
  void ShowNote(const QString& text, int ms) override;
  void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text) override;
  void CloseWhenReady() override { close(); }

  // How the transmitter is keyed, as read from its file at start-up (no signal).
  void SetRigSettings(const RigSettings& rig) { settings_.rig = rig; }
  // The receiver the station last chose: the menu's check mark and the modem follow.
  void SetEnhancedReceiver(bool on);
  // Where the settings live: Save screen writes there when the start folder refuses.
  void SetSettingsFolder(const QString& folder) { settingsFolder_ = folder; }
  // "Transmit where I receive": the transmit frequency follows the receiver's.
  void SetTransmitFollows(bool on);
  const std::optional<Dial>& dial() const { return dial_; }
  // A callsign entered elsewhere (the station details), as Text options > Callsign takes it.
  void SetCallsign(const QString& call);
  // Macro `index` (0..7 for F1..F8) takes a new label and text, as its dialog does on OK.
  void ApplyMacro(int index, const MacroEntry& macro);

 public slots:
  // Every numbered command: menu items, buttons, keys F1-F10, the pane's context menu.
  void Command(int id);
  void SelectMode(Mode mode);
  void WaterfallClicked(int x);
  // Tunes the receiver to a signal found on the band, as a click on its trace and its mode
  // button would.
  void TuneTo(long double centreHz, Mode mode);
  void WaterfallRightClicked(int x);
  void WaterfallHover(int x);
  void FineTune(int position);
  void SquelchClicked(int y);
  void StepSampleRate(int delta);
  void ClockTick();
  // Appends a dropped file's bytes to the transmit pane; refuses large or unreadable files.
  bool AppendFileToTransmitPane(const QString& path);
  // Right-click by context-help id; `globalPos` places the receive pane's menu.
  void ContextHelp(int id, QPoint globalPos);
  // Writes the receive pane's text to VELAddMonthyyyyhhmmss.rtf in the current folder;
  // returns the file name, or an empty string after telling the operator why not.
  QString SaveScreen();
  // Asks where, then writes the receive pane there: RTF with its colours, or plain text.
  void SaveScreenAs();

 signals:
  // Every change the operator makes to the settings.
  void settingsChanged(const vela::app::OperatorSettings& settings);
  void clearTxRequested();
  // TX options > PTT was accepted: the PTT is to be opened afresh from settings().rig.
  void pttChosen();
  void captureDeviceChosen(int index);
  void soundcardSelectionStarting();
  // The operator chose a recording to play into the receiver.
  void recordingChosen(const QString& path);
  // Record what the receiver hears to `path`; an empty path stops the recording.
  void receiveRecordingRequested(const QString& path);
  // The signal browser has been opened or brought forward.
  void signalBrowserShown();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectControls();
  void RunCommand(CommandId id);
  void RunTransmitCommand(CommandId id);
  void RunPaneCommand(CommandId id);
  void InsertIntoTransmitPane(const QString& text);
  void RefreshStatus();
  // An audio frequency as it is on air, when the rig's dial is known.
  long double OnAir(long double audioHz) const;
  void RedrawScale();
  void RebuildCwIdPattern();
  const TransmitState& transmitState() const { return transmitState_; }
  void OpenCorrelationWindow();
  // One browser at most: choosing it again brings it to the front.
  void OpenSignalBrowser();
  void RedrawSquelchBar();
  void LockTransmitControls(bool locked);
  void ChangeTransmitFrequency();
  void SetSquelch(int level);
  void FollowReceiver();
  void ChangeCallsign();
  void ChangeSecondaryText();
  void ChangeEndMarker();
  void DefineMacro(int index);
  // `rigPage`: opened from TX options > CAT, on the rig's page (CAT unless the station
  // already keys a rig through rigctld).
  void PickPttPort(bool rigPage = false);
  void OpenOutputModeDialog();
  void SelectSoundcard();
  void ChooseRecording();
  void ToggleReceiveRecording();
  void StartMixer(bool devicesPage);
  void OpenHelp();
  void ShowAbout();

  OperatorSettings settings_;
  std::unique_ptr<OperatorPrompts> prompts_;
  ClientArea* client_ = nullptr;
  WindowControls ui_;
  FileDrops* drops_ = nullptr;
  QTimer* clockTimer_ = nullptr;
  StationControl* station_ = nullptr;
  TransmitState transmitState_;
  QPointer<CorrelationWindow> correlation_;
  QPointer<SignalBrowser> browser_;
  // The squelch bar's last value and the sync peak it was drawn with.
  int confidence_ = 1;
  double syncPeak_ = 0;
  QString settingsFolder_;
  OnAirIndicator* onAir_ = nullptr;
  std::vector<std::pair<uint8_t, QColor>> heldChars_;  // arrived while the pane is paused
  long double rxClickFrequency_ = 1000;
  std::optional<Dial> dial_;
  float cursorFrequency_ = 0;
  float cursorLevel_ = 0;
  std::string cwIdPattern_;
  int cwIdPeriodMs_ = 100;
  QStringList captureDevices_;
};

}  // namespace vela::app
