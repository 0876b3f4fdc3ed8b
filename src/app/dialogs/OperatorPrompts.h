// Everything the window asks or tells the operator through a modal box: messages, one-line
// answers, the PTT port, the capture card and a recording to decode. The program answers
// with Qt dialogs (DialogPrompts); tests answer from a script. Below the interface, the
// questions about a setting, with their titles and the checks on the answers.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <optional>

#include "rig/RigSettings.h"

namespace vela::app {

// The two texts the operator keeps for sending, each edited in a box of a few lines.
enum class TextBox { DelayedReceive, SecondaryText };

inline QString TextBoxTitle(TextBox box) {
  return box == TextBox::DelayedReceive ? QStringLiteral("Delayed receive text")
                                        : QStringLiteral("Secondary channel text");
}

class OperatorPrompts {
 public:
  virtual ~OperatorPrompts() = default;

  // A message with an OK button.
  virtual void Tell(QMessageBox::Icon icon, const QString& title, const QString& text) = 0;
  // One line of text under `prompt`, starting from `initial`; no value after Cancel.
  virtual std::optional<QString> AskText(const QString& title, const QString& prompt,
                                         const QString& initial) = 0;
  // Text of a few lines for `box`, starting from `initial`; no value after CANCEL.
  virtual std::optional<QString> AskTextBox(TextBox box, const QString& initial) = 0;
  // How the transmitter is to be keyed, starting from `current`; nothing to keep it.
  virtual std::optional<RigSettings> AskPtt(const RigSettings& current) = 0;
  // The row of `devices` to capture from, or -1 to keep the card in use.
  virtual int AskCaptureDevice(const QStringList& devices) = 0;
  // A recording to play into the receiver; empty when none was chosen.
  virtual QString AskRecording() = 0;
  // Where to record what the receiver hears, starting from `suggested`; empty for nowhere.
  virtual QString AskRecordingTarget(const QString& suggested) = 0;
  // Where to save the receive pane (.rtf or .txt), starting from `suggested`; empty for
  // nowhere.
  virtual QString AskScreenTarget(const QString& suggested) = 0;
};

// Each question about a setting gives the new value, or none to keep the old one.
// A positive number of hertz; anything else is refused with a warning.
std::optional<long double> AskTransmitFrequency(OperatorPrompts& prompts, long double current);
// A callsign; an empty answer keeps the old one.
std::optional<QString> AskCallsign(OperatorPrompts& prompts, const QString& current);
std::optional<QString> AskSecondaryText(OperatorPrompts& prompts, const QString& current);
// The delayed-receive end marker.
std::optional<QString> AskEndMarker(OperatorPrompts& prompts, const QString& current);

}  // namespace vela::app
