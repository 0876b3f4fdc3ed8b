// The window's questions to the operator, and what it does with files and other programs:
// the half of the main window that opens boxes, kept apart from the one that shows.
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include "app/dialogs/Dialogs.h"
#include "app/window/CaptionFit.h"
#include "app/window/DesktopActions.h"
#include "app/window/FileDrops.h"
#include "app/window/HelpWindow.h"
#include "app/window/MainWindow.h"
#include "app/window/StatusBar.h"
#include "app/window/WindowArithmetic.h"

namespace vela::app {

// ---- Questions to the operator ----

void MainWindow::ChangeTransmitFrequency() {
  const std::optional<long double> hz =
      AskTransmitFrequency(*prompts_, settings_.txCentreFrequency);
  if (!hz) return;
  settings_.txCentreFrequency = *hz;
  emit settingsChanged(settings_);
  RedrawScale();
}

void MainWindow::ChangeCallsign() {
  if (const std::optional<QString> call = AskCallsign(*prompts_, settings_.callsign)) {
    settings_.SetCallsign(*call);
    emit settingsChanged(settings_);
  }
  RebuildCwIdPattern();
}

void MainWindow::SetCallsign(const QString& call) {
  settings_.SetCallsign(call);
  emit settingsChanged(settings_);
  RebuildCwIdPattern();
}

void MainWindow::ChangeSecondaryText() {
  if (const std::optional<QString> text = AskSecondaryText(*prompts_, settings_.secondaryText)) {
    settings_.SetSecondaryText(*text);
    emit settingsChanged(settings_);
  }
}

void MainWindow::ChangeEndMarker() {
  if (const std::optional<QString> marker = AskEndMarker(*prompts_, settings_.endMarker())) {
    settings_.SetEndMarker(*marker);
    emit settingsChanged(settings_);
  }
}

void MainWindow::DefineMacro(int index) {
  const std::optional<MacroEntry> macro = MacroDialog::Ask(index, settings_.macros[index], this);
  if (!macro) return;
  QString problem = SettingLimits::TextProblem(macro->label, SettingLimits::kLongestLine);
  if (problem.isEmpty()) {
    problem = SettingLimits::TextProblem(macro->text, SettingLimits::kLongestMacro, true);
  }
  if (!problem.isEmpty()) {
    ShowMessage(QMessageBox::Warning, QStringLiteral("Macro"),
                QStringLiteral("The macro %1; it stays as it was.").arg(problem));
    return;
  }
  ApplyMacro(index, *macro);
}

void MainWindow::ApplyMacro(int index, const MacroEntry& macro) {
  settings_.macros[index] = macro;
  emit settingsChanged(settings_);
  SetFittedCaption(*ui_.macroButtons[index], MacroCaption(index, macro.label));
}

void MainWindow::PickPttPort(bool rigPage) {
  QAction* ptt = menuCommand(CommandNumber(CommandId::PttPort));
  ptt->setEnabled(false);
  ui_.sendButton->setEnabled(false);
  RigSettings current = settings_.rig;
  current.comPort = settings_.comPort;
  if (rigPage && current.method != PttMethod::Rigctld) current.method = PttMethod::Cat;
  const std::optional<RigSettings> chosen = prompts_->AskPtt(current);
  ptt->setEnabled(true);
  ui_.sendButton->setEnabled(true);
  if (!chosen) return;
  settings_.rig = *chosen;
  settings_.comPort = chosen->comPort;
  emit settingsChanged(settings_);
  // Opened again even when unchanged: that is how the operator has a rig reconnected.
  emit pttChosen();
}

void MainWindow::OpenOutputModeDialog() {
  OutputModeDialog dialog(settings_.outputMode, this);
  connect(&dialog, &OutputModeDialog::modeChosen, this, [this](int mode) {
    settings_.outputMode = mode;
    emit settingsChanged(settings_);
  });
  dialog.exec();
}

void MainWindow::SelectSoundcard() {
  // Not while anything is, or is about to go, on the air: the output follows the card.
  const TransmitState& tx = transmitState();
  if (tx.request != TransmitRequest::None || tx.outputOpen()) return;
  emit soundcardSelectionStarting();
  const int chosen = prompts_->AskCaptureDevice(captureDevices_);
  if (chosen >= 0) emit captureDeviceChosen(chosen);
}

void MainWindow::ChooseRecording() {
  const QString path = prompts_->AskRecording();
  if (!path.isEmpty()) emit recordingChosen(path);
}

void MainWindow::ToggleReceiveRecording() {
  QAction* item = menuCommand(CommandNumber(CommandId::RecordAudio));
  if (!item->isChecked()) {
    emit receiveRecordingRequested({});
    return;
  }
  // A name that sorts by the UTC time the recording began.
  const QString suggested = QDir(QDir::homePath())
                                .filePath(QDateTime::currentDateTimeUtc().toString(
                                    QStringLiteral("'VELA-'yyyyMMdd-HHmmss'Z.wav'")));
  const QString path = prompts_->AskRecordingTarget(suggested);
  if (path.isEmpty()) {
    item->setChecked(false);
    return;
  }
  emit receiveRecordingRequested(path);
}

// ---- Files and other programs ----

void MainWindow::SaveScreenAs() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  const QString suggested =
      QDir(QDir::homePath())
          .filePath(QString::fromStdString(
              SaveScreenFileName(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second())));
  const QString path = prompts_->AskScreenTarget(suggested);
  if (path.isEmpty()) return;
  const DesktopResult saved = vela::app::SaveScreenAs(*ui_.receivePane->document(), path);
  if (!saved.ok()) {
    ShowMessage(QMessageBox::Warning, QStringLiteral("Save screen"), saved.problem);
    return;
  }
  ui_.statusBar->ShowNote(
      QStringLiteral("Receive pane saved to ") + QFileInfo(saved.value).absoluteFilePath(), 8000);
}

QString MainWindow::SaveScreen() {
  const QDateTime now = QDateTime::currentDateTime();
  DesktopResult saved = SaveScreenFile(ui_.receivePane->toPlainText(), now);
  // A start folder that cannot be written (a read-only install, say): beside the settings.
  if (!saved.ok() && !settingsFolder_.isEmpty()) {
    const DesktopResult fallback =
        SaveScreenFile(ui_.receivePane->toPlainText(), now, settingsFolder_);
    if (fallback.ok()) saved = fallback;
  }
  if (!saved.ok()) {
    ShowMessage(QMessageBox::Warning, QStringLiteral("Save screen"), saved.problem);
    return {};
  }
  ui_.statusBar->ShowNote(
      QStringLiteral("Receive pane saved to ") + QFileInfo(saved.value).absoluteFilePath(), 8000);
  return saved.value;
}

bool MainWindow::AppendFileToTransmitPane(const QString& path) {
  const DesktopResult read = ReadDroppedFile(path);
  if (!read.ok()) {
    ShowMessage(QMessageBox::Warning, QStringLiteral("Dropped file"), read.problem);
    return false;
  }
  QTextCursor cursor = ui_.transmitPane->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(read.value);
  ui_.transmitPane->setTextCursor(cursor);
  return true;
}

void MainWindow::StartMixer(bool devicesPage) {
  if (LaunchMixer(devicesPage)) return;
  ui_.statusBar->ShowNote(
      QStringLiteral("No mixer found: install pavucontrol, or alsamixer and a terminal"), 8000);
}

void MainWindow::OpenHelp() {
  HelpWindow::ShowFor(this);
}

void MainWindow::ShowAbout() {
  AboutDialog about(this);
  about.setWindowIcon(windowIcon());
  about.exec();
}

}  // namespace vela::app
