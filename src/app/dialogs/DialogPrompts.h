// The operator's prompts as the program shows them: message boxes and dialogs over the
// window, the PTT picker naming the serial device behind each COM number on this computer.
#pragma once

#include "app/dialogs/OperatorPrompts.h"

class QWidget;

namespace vela::app {

class DialogPrompts : public OperatorPrompts {
 public:
  explicit DialogPrompts(QWidget* window) : window_(window) {}

  void Tell(QMessageBox::Icon icon, const QString& title, const QString& text) override;
  std::optional<QString> AskText(const QString& title, const QString& prompt,
                                 const QString& initial) override;
  std::optional<QString> AskTextBox(TextBox box, const QString& initial) override;
  std::optional<RigSettings> AskPtt(const RigSettings& current) override;
  int AskCaptureDevice(const QStringList& devices) override;
  QString AskRecording() override;
  QString AskRecordingTarget(const QString& suggested) override;
  QString AskScreenTarget(const QString& suggested) override;

 private:
  QWidget* window_;
};

}  // namespace vela::app
