// The terminal's main window: receive, secondary and transmit panes, macro and SEND
// buttons, mode choice, the drawn displays, menus, status bar and the operator's commands.
// Modem work is not done here: the window keeps the operator's settings and flags and
// announces each change through its signals, so the modem and the sound cycles hang on.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "app/Dialogs.h"
#include "app/Preferences.h"
#include "coding/Modes.h"
#include "tx/TransmitController.h"

class QAction;
class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTextEdit;
class QTimer;

namespace vela::app {

class EyeDiagramView;
class FrequencyScaleView;
class LevelBarView;
class SquelchBarView;
class StatusBar;
class UpDownControl;
class WaterfallView;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kMaxDroppedFileBytes = 1 << 20;
  // Display menu: the coherent soft-decision receiver instead of the standard one.
  static constexpr int kEnhancedReceiverCommand = 6667;

  explicit MainWindow(const Preferences& preferences, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The settings as they stand now, to be written when the terminal closes.
  Preferences CurrentPreferences() const;

  // ---- What the operator sees and what tests and the modem wiring look at ----
  QWidget* control(int id) const;
  QAction* menuCommand(int id) const;
  QWidget* clientArea() const { return client_; }
  QPlainTextEdit* transmitPane() const { return transmitPane_; }
  QTextEdit* receivePane() const { return receivePane_; }
  QTextEdit* secondaryPane() const { return secondaryPane_; }
  WaterfallView* waterfall() const { return waterfall_; }
  FrequencyScaleView* frequencyScale() const { return scale_; }
  EyeDiagramView* eyeDiagram() const { return eye_; }
  LevelBarView* levelBar() const { return levelBar_; }
  SquelchBarView* squelchBar() const { return squelchBar_; }
  StatusBar* statusBarWidget() const { return statusBar_; }
  QString statusPart(int part) const;  // 1..6
  void SetStatusPart(int part, const QString& text);

  // ---- Shell state ----
  // What is on the air is the transmit controller's; the window shows it and passes the
  // operator's SEND, CWID, tune and beacon presses on. Without one nothing transmits.
  void AttachTransmitter(TransmitController* transmitter);
  TransmitController* transmitter() const { return transmitter_; }
  bool txActive() const { return transmitState().sending(); }
  bool cwIdActive() const { return transmitState().identifying(); }
  bool tuneActive() const { return transmitState().tuning(); }
  bool beaconMode() const { return transmitState().beacon; }
  bool pauseScreen() const { return pauseScreen_; }
  bool clearTxRequest() const { return clearTxRequest_; }
  void AcknowledgeClearTxRequest() { clearTxRequest_ = false; }
  int waterfallPalette() const { return waterfallPalette_; }
  int outputMode() const { return outputMode_; }
  int layoutOffset() const { return layoutOffset_; }
  Mode mode() const { return mode_; }
  int modeRate() const;
  long double rxCentreFrequency() const { return rxCentreFrequency_; }
  long double rxClickFrequency() const { return rxClickFrequency_; }
  long double txCentreFrequency() const { return txCentreFrequency_; }
  long double rxSampleRate() const { return rxSampleRate_; }
  int squelchLevel() const { return squelchLevel_; }
  int comPort() const { return comPort_; }
  const QString& callsign() const { return prefs_.callsign; }
  const QString& secondaryText() const { return prefs_.secondaryText; }
  const QString& endMarker() const;
  // The Morse identifier of this callsign and mode: its element string and element period.
  const std::string& cwIdPattern() const { return cwIdPattern_; }
  int cwIdPeriodMs() const { return cwIdPeriodMs_; }

  // ---- Hooks the host (and tests) may replace ----
  using MessageSink =
      std::function<void(QMessageBox::Icon, const QString& title, const QString& text)>;
  using TextPrompt = std::function<std::optional<QString>(
      const QString& title, const QString& prompt, const QString& initial)>;
  using PttPrompt = std::function<QString(int currentPort)>;
  using DevicePrompt = std::function<int(const QStringList& devices)>;
  using RecordingPrompt = std::function<QString()>;
  void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
  void SetTextPrompt(TextPrompt prompt) { textPrompt_ = std::move(prompt); }
  void SetPttPrompt(PttPrompt prompt) { pttPrompt_ = std::move(prompt); }
  void SetPortResolver(PortResolver resolver) { portResolver_ = std::move(resolver); }
  void SetCaptureDevices(QStringList devices) { captureDevices_ = std::move(devices); }
  void SetDevicePrompt(DevicePrompt prompt) { devicePrompt_ = std::move(prompt); }
  void SetRecordingPrompt(RecordingPrompt prompt) { recordingPrompt_ = std::move(prompt); }
  // Spectrum magnitudes of the last capture buffer, for the waterfall's cursor read-out.
  void SetSpectrum(std::vector<float> magnitudes) { spectrum_ = std::move(magnitudes); }

  bool outputDeviceOpen() const { return transmitState().outputOpen(); }
  bool exitRequested() const { return transmitter_ != nullptr && transmitter_->exitRequested(); }
  // The controller's state has changed: SEND's caption, the status bar's CWID, tune and
  // beacon notes, and the mode buttons and PTT command (locked while our audio goes out).
  void ShowTransmitState(const TransmitState& now, const TransmitState& before);
  // A message box (or the installed message sink).
  void ShowMessage(QMessageBox::Icon icon, const QString& title, const QString& text);
  // One received or echoed character at the end of the receive pane: a carriage return
  // starts a new line, a backspace takes the pane's last character away.
  void ShowReceivedChar(QChar c, QColor colour);

 public slots:
  // Every numbered command: menu items, buttons, keys F1-F10, the pane's context menu.
  void Command(int id);
  void SelectMode(Mode mode);
  void WaterfallClicked(int x);
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
  void ReceivePaneCommand(int id);
  // Writes the receive pane's text to VELAddMonthyyyyhhmmss.rtf in the current folder;
  // returns the file name, or an empty string after telling the operator why not.
  QString SaveScreen();
  void AppendReceived(const QString& text, QColor colour);
  void AppendSecondary(const QString& text);

 signals:
  void modeSelected(vela::Mode mode);
  void rxFrequencyChanged(double hz);
  void txFrequencyChanged(double hz);
  void rxSampleRateChanged(double hz);
  void squelchChanged(int level);
  void paletteChanged(int palette);
  // The "Enhanced receiver" check item of the Display menu.
  void enhancedReceiverToggled(bool enhanced);
  void outputModeChanged(int mode);
  void clearTxRequested();
  void pauseToggled(bool on);
  void pttPortChosen(int port);
  void captureDeviceChosen(int index);
  void soundcardSelectionStarting();
  void correlationDisplayRequested();
  // The operator chose a recording to play into the receiver.
  void recordingChosen(const QString& path);
  void callsignChanged(const QString& callsign);
  void secondaryTextChanged(const QString& text);
  void endMarkerChanged(const QString& marker);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* enhancedReceiverAction_ = nullptr;
  void BuildControls();
  void BuildMenus();
  void BuildStatusBar();
  void BuildShortcuts();
  void Relayout(int clientHeight);
  void Place(QWidget* widget, int id, QRect design, bool followsOffset);
  void Notify(QMessageBox::Icon icon, const QString& title, const QString& text);
  void InsertIntoTransmitPane(const QString& text);
  void RefreshStatus();
  void RebuildCwIdPattern();
  const TransmitState& transmitState() const;
  void LockTransmitControls(bool locked);
  void AskTransmitFrequency();
  void AskCallsign();
  void AskSecondaryText();
  void PickPttPort();
  void OpenOutputModeDialog();
  void SelectSoundcard();
  void StartMixer(bool devicesPage);
  void OpenHelp();
  void ShowAbout();
  void DefineMacro(int index);
  void DefineEndMarker();
  void ChooseRecording();
  void RedrawScale();

  friend class ClientArea;

  struct Placement {
    QWidget* widget;
    QRect design;
    bool followsOffset;
  };

  Preferences prefs_;
  QWidget* client_ = nullptr;
  std::vector<Placement> placements_;
  QTextEdit* receivePane_ = nullptr;
  QTextEdit* secondaryPane_ = nullptr;
  QPlainTextEdit* transmitPane_ = nullptr;
  std::array<QPushButton*, 8> macroButtons_{};
  QPushButton* sendButton_ = nullptr;
  QPushButton* delayedReceiveButton_ = nullptr;
  QPushButton* cwIdButton_ = nullptr;
  std::array<QRadioButton*, 4> modeButtons_{};
  QSlider* fineTune_ = nullptr;
  QLabel* sampleRateLabel_ = nullptr;
  UpDownControl* sampleRateTrim_ = nullptr;
  EyeDiagramView* eye_ = nullptr;
  LevelBarView* levelBar_ = nullptr;
  SquelchBarView* squelchBar_ = nullptr;
  FrequencyScaleView* scale_ = nullptr;
  WaterfallView* waterfall_ = nullptr;
  StatusBar* statusBar_ = nullptr;
  std::array<QLabel*, 6> statusParts_{};
  QTimer* clockTimer_ = nullptr;
  TransmitController* transmitter_ = nullptr;

  bool pauseScreen_ = false;
  bool clearTxRequest_ = false;
  int waterfallPalette_ = 1;
  int outputMode_ = 0;
  int layoutOffset_ = 0;
  Mode mode_ = Mode::Vela63;
  long double rxCentreFrequency_ = 1000;
  long double rxClickFrequency_ = 1000;
  long double txCentreFrequency_ = 1000;
  long double rxSampleRate_ = 8000;
  int squelchLevel_ = 5;
  int comPort_ = 0;
  float cursorFrequency_ = 0;
  float cursorLevel_ = 0;
  std::string cwIdPattern_;
  int cwIdPeriodMs_ = 100;
  std::vector<float> spectrum_;
  QStringList captureDevices_;

  MessageSink messageSink_;
  TextPrompt textPrompt_;
  PttPrompt pttPrompt_;
  PortResolver portResolver_;
  DevicePrompt devicePrompt_;
  RecordingPrompt recordingPrompt_;
};

}  // namespace vela::app
