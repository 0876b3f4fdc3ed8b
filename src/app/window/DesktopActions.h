// What the terminal does with files and other programs on the operator's desktop: the
// receive pane saved to a file, the help page and the sound mixer opened.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QTextDocument;

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
// The receive pane as rich text in RTF: each run in its colour, line for line, in a fixed
// font; characters beyond ASCII as Unicode escapes, so any RTF reader shows them.
QByteArray ScreenRichText(const QTextDocument& pane);
// Writes the pane to `path` chosen by the operator: RTF with its colours, or plain text (CR
// LF lines, UTF-8) when the name ends in .txt; the value is the path.
DesktopResult SaveScreenAs(const QTextDocument& pane, const QString& path);
// The sound server's mixer, or alsamixer in a terminal; `devicesPage` opens its page of
// cards and ports.
bool LaunchMixer(bool devicesPage);

}  // namespace vela::app
