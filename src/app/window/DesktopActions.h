// What the terminal does with files and other programs on the operator's desktop: the
// receive pane saved to a file, the help page and the sound mixer opened.
#pragma once

#include <QDateTime>
#include <QString>

namespace vela::app {

// A file name or text when it worked; otherwise an empty one and the reason.
struct DesktopResult {
  QString value;
  QString problem;
  bool ok() const { return problem.isEmpty(); }
};

// Writes `paneText` to VELAddMonthyyyyhhmmss.rtf for `now` in `folder` (the current one
// when empty), lines ended CR LF; the value is the file name, with the folder when given.
DesktopResult SaveScreenFile(const QString& paneText, const QDateTime& now,
                             const QString& folder = {});
// The sound server's mixer, or alsamixer in a terminal; `devicesPage` opens its page of
// cards and ports.
bool LaunchMixer(bool devicesPage);

}  // namespace vela::app
