// The questions the window puts to the operator about a setting, with their titles and
// the checks on the answers. Each gives the new value, or none to keep the old one.
#pragma once

#include <QString>
#include <optional>

namespace vela::app {

class OperatorPrompts;

// A positive number of hertz; anything else is refused with a warning.
std::optional<long double> AskTransmitFrequency(OperatorPrompts& prompts, long double current);
// A callsign; an empty answer keeps the old one.
std::optional<QString> AskCallsign(OperatorPrompts& prompts, const QString& current);
std::optional<QString> AskSecondaryText(OperatorPrompts& prompts, const QString& current);
// The delayed-receive end marker.
std::optional<QString> AskEndMarker(OperatorPrompts& prompts, const QString& current);

}  // namespace vela::app
