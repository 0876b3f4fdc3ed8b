// libFuzzer target: arbitrary bytes as the settings file. Reading must never crash or hang,
// every value read must be one the terminal can use and within the settings' limits, and
// what is written back must read back to the same settings and the same file (so saving
// never drifts).
#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/settings/Preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using vela::app::Preferences;
  QString problem;
  const Preferences p = Preferences::Parse(
      QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), &problem);
  // A file refused is the defaults; one taken holds nothing beyond the limits.
  if (!p.Problem().isEmpty()) std::abort();
  if (!problem.isEmpty() && p.Serialise() != Preferences::Defaults().Serialise()) std::abort();
  const bool usable =
      !p.callsign.isEmpty() && p.squelchLevel >= 1 && p.comPort >= 0 && p.txCentreFrequency >= 1 &&
      std::isfinite(static_cast<double>(p.txCentreFrequency)) && p.rxSampleRate >= 1 &&
      std::isfinite(static_cast<double>(p.rxSampleRate)) && p.rxCentreFrequency >= 1 &&
      (p.cwIdFlag == 0 || p.cwIdFlag == 1) && !p.secondaryText.isEmpty();
  if (!usable) std::abort();
  for (const auto& macro : p.macros) {
    if (macro.label.isEmpty() || macro.text.isEmpty()) std::abort();
  }
  const QByteArray written = p.Serialise();
  QString againProblem;
  const Preferences again = Preferences::Parse(written, &againProblem);
  if (again.Serialise() != written || !againProblem.isEmpty()) std::abort();
  return 0;
}
