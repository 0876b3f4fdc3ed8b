// vela-terminal: the operator's window. Settings come from VELApreferences.INI in the folder
// SettingsFolder() chooses (the current folder when it holds one, else
// ~/.config/vela-terminal), are kept there as they change, and are written there at the end.
//
//   vela-terminal [RECORDING.wav]
//
// A recording named on the command line is played into the receiver once the window is
// up, as File > Decode recording... would.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include "app/settings/Preferences.h"
#include "app/window/Terminal.h"
#include "rig/PttGuard.h"
#include "station/SettingsFolder.h"

int main(int argc, char** argv) {
  // The guard that releases a rig's PTT should this process die keyed is this program again,
  // started before Qt.
  if (const auto guardStatus = vela::RunPttGuardIfAsked(argc, argv)) return *guardStatus;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELA Terminal"));
  // Lets the desktop match the window to its menu entry and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.velaterminal.VelaTerminal"));
  const QStringList args = QApplication::arguments();
  const QString recording = args.size() > 1 ? QFileInfo(args.at(1)).absoluteFilePath() : QString();
  const QString folder = QString::fromStdString(vela::SettingsFolder(
      QDir::currentPath().toStdString(),
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString()));
  vela::app::Terminal terminal(
      QDir(folder).filePath(QString::fromLatin1(vela::app::Preferences::kFileName)), recording);
  return terminal.Run();
}
