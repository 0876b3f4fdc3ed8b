#include "app/SettingPrompts.h"

#include "app/OperatorPrompts.h"
#include "app/Preferences.h"
#include "app/WindowArithmetic.h"

namespace vela::app {

std::optional<long double> AskTransmitFrequency(OperatorPrompts& prompts, long double current) {
  const QString title = QStringLiteral("Transmit frequency");
  const std::optional<QString> answer =
      prompts.AskText(title, QStringLiteral("Enter transmit audio frequency in Hz"),
                      QStringLiteral(" ") + FormatPreferenceNumber(current));
  if (!answer || answer->trimmed().isEmpty()) return std::nullopt;
  const std::optional<long double> hz = ParseFrequencyAnswer(answer->toStdString());
  if (!hz) {
    prompts.Tell(QMessageBox::Warning, title,
                 QStringLiteral("\"%1\" is not a positive frequency in hertz; the transmit "
                                "frequency stays %2 Hz.")
                     .arg(answer->trimmed(), FormatPreferenceNumber(current)));
  }
  return hz;
}

std::optional<QString> AskCallsign(OperatorPrompts& prompts, const QString& current) {
  std::optional<QString> answer = prompts.AskText(
      QStringLiteral("CALLSIGN"),
      QStringLiteral("Enter callsign - add a couple of spaces after call to ensure it completes "
                     "at low baud rates"),
      current);
  if (answer && answer->isEmpty()) return std::nullopt;
  return answer;
}

std::optional<QString> AskSecondaryText(OperatorPrompts& prompts, const QString& current) {
  return prompts.AskTextBox(TextBox::SecondaryText, current);
}

std::optional<QString> AskEndMarker(OperatorPrompts& prompts, const QString& current) {
  return prompts.AskTextBox(TextBox::DelayedReceive, current);
}

}  // namespace vela::app
