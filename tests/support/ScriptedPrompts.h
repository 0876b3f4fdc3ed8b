// The operator as a test plays them: each question is answered by the test's function for
// it (or cancelled when there is none), and every message is kept for the test to read.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "app/dialogs/OperatorPrompts.h"

namespace vela::test {

class ScriptedPrompts : public app::OperatorPrompts {
 public:
  struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
  };

  std::vector<Message> messages;
  std::function<std::optional<QString>(const QString& title, const QString& prompt,
                                       const QString& initial)>
      text;
  std::function<std::optional<RigSettings>(const RigSettings& current)> ptt;
  std::function<int(const QStringList& devices)> captureDevice;
  std::function<QString()> recording;
  std::function<QString(const QString&)> recordingTarget;
  std::function<QString(const QString&)> screenTarget;

  void Tell(QMessageBox::Icon icon, const QString& title, const QString& body) override {
    messages.push_back({icon, title, body});
  }
  std::optional<QString> AskText(const QString& title, const QString& prompt,
                                 const QString& initial) override {
    return text ? text(title, prompt, initial) : std::nullopt;
  }
  // Answered by the same function as the one-line questions, with no prompt.
  std::optional<QString> AskTextBox(app::TextBox box, const QString& initial) override {
    return AskText(app::TextBoxTitle(box), QString(), initial);
  }
  std::optional<RigSettings> AskPtt(const RigSettings& current) override {
    return ptt ? ptt(current) : std::nullopt;
  }
  int AskCaptureDevice(const QStringList& devices) override {
    return captureDevice ? captureDevice(devices) : -1;
  }
  QString AskRecording() override { return recording ? recording() : QString(); }
  QString AskRecordingTarget(const QString& suggested) override {
    return recordingTarget ? recordingTarget(suggested) : QString();
  }
  QString AskScreenTarget(const QString& suggested) override {
    return screenTarget ? screenTarget(suggested) : QString();
  }
};

}  // namespace vela::test
