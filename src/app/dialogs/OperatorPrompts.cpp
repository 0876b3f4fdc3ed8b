#include "app/dialogs/OperatorPrompts.h"

#include "app/settings/Preferences.h"
#include "app/window/WindowArithmetic.h"

namespace vela::app {

namespace {

// The answer when it can be the setting, else none after telling the operator why.
std::optional<QString> Checked(OperatorPrompts& prompts, const QString& title,
                               const std::optional<QString>& answer, int longest, bool lines) {
  if (!answer) return answer;
  const QString problem = SettingLimits::TextProblem(*answer, longest, lines);
  if (problem.isEmpty()) return answer;
  prompts.Tell(QMessageBox::Warning, title,
               QStringLiteral("The text %1; the setting stays as it was.").arg(problem));
  return std::nullopt;
}

}  // namespace

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
    return std::nullopt;
  }
  if (*hz != SettingLimits::ClampTransmitHz(*hz)) {
    prompts.Tell(
        QMessageBox::Warning, title,
        QStringLiteral("%1 Hz is outside the transmitter's audio band (%2 to %3 Hz); "
                       "the transmit frequency stays %4 Hz.")
            .arg(FormatPreferenceNumber(*hz), FormatPreferenceNumber(SettingLimits::kLowestAudioHz),
                 FormatPreferenceNumber(SettingLimits::kHighestAudioHz),
                 FormatPreferenceNumber(current)));
    return std::nullopt;
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
  return Checked(prompts, QStringLiteral("CALLSIGN"), answer, SettingLimits::kLongestCallsign,
                 false);
}

std::optional<QString> AskSecondaryText(OperatorPrompts& prompts, const QString& current) {
  return Checked(prompts, QStringLiteral("Secondary text"),
                 prompts.AskTextBox(TextBox::SecondaryText, current), SettingLimits::kLongestLine,
                 false);
}

std::optional<QString> AskEndMarker(OperatorPrompts& prompts, const QString& current) {
  return Checked(prompts, QStringLiteral("Delayed receive"),
                 prompts.AskTextBox(TextBox::DelayedReceive, current), SettingLimits::kLongestMacro,
                 true);
}

}  // namespace vela::app
