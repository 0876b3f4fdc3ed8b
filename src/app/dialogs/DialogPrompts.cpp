#include "app/dialogs/DialogPrompts.h"

#include <QCoreApplication>
#include <QFileDialog>

#include "app/dialogs/Dialogs.h"
#include "rig/SerialPtt.h"

namespace vela::app {

void DialogPrompts::Tell(QMessageBox::Icon icon, const QString& title, const QString& text) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, window_);
  box.exec();
}

std::optional<QString> DialogPrompts::AskText(const QString& title, const QString& prompt,
                                              const QString& initial) {
  return vela::app::AskText(window_, title, prompt, initial);
}

std::optional<QString> DialogPrompts::AskTextBox(TextBox box, const QString& initial) {
  TextBoxDialog dialog(box, initial, window_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.text();
}

std::optional<RigSettings> DialogPrompts::AskPtt(const RigSettings& current) {
  const PortResolver resolver = [](int port) {
    return QString::fromStdString(vela::ComPortDevice(port));
  };
  return PttPickerDialog::Ask(current, resolver, window_);
}

int DialogPrompts::AskCaptureDevice(const QStringList& devices) {
  SoundcardDialog dialog(devices, 0, nullptr);
  dialog.move(SoundcardDialog::kPosition);
  dialog.exec();
  return dialog.chosen();
}

QString DialogPrompts::AskRecording() {
  // Start where the program keeps its sample recording.
  return QFileDialog::getOpenFileName(window_, QStringLiteral("Decode recording"),
                                      QCoreApplication::applicationDirPath(),
                                      QStringLiteral("Recordings (*.wav *.flac);;All files (*)"));
}

QString DialogPrompts::AskRecordingTarget(const QString& suggested) {
  return QFileDialog::getSaveFileName(window_, QStringLiteral("Record receive audio"), suggested,
                                      QStringLiteral("WAV recordings (*.wav)"));
}

QString DialogPrompts::AskScreenTarget(const QString& suggested) {
  return QFileDialog::getSaveFileName(
      window_, QStringLiteral("Save screen as"), suggested,
      QStringLiteral("Rich text with colours (*.rtf);;Plain text (*.txt)"));
}

}  // namespace vela::app
