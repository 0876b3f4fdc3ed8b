#include "app/window/DesktopActions.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "app/window/WindowArithmetic.h"
#include "station/SafeFile.h"

namespace vela::app {

DesktopResult SaveScreenFile(const QString& paneText, const QDateTime& now, const QString& folder) {
  const QDate d = now.date();
  const QTime t = now.time();
  QString name = QString::fromStdString(
      SaveScreenFileName(d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second()));
  if (!folder.isEmpty()) name = folder + u'/' + name;
  QString text = paneText;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\n', QStringLiteral("\r\n"));
  const QByteArray bytes = text.toUtf8() + "\r\n";
  std::string reason;
  if (!WriteFileSafely(QFile::encodeName(name).toStdString(),
                       std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                       &reason)) {
    return {{},
            QStringLiteral("Could not save the receive pane to %1: %2")
                .arg(QFileInfo(name).absoluteFilePath(), QString::fromLocal8Bit(reason))};
  }
  return {name, {}};
}

bool LaunchMixer(bool devicesPage) {
  const QString pavucontrol = QStandardPaths::findExecutable(QStringLiteral("pavucontrol"));
  if (!pavucontrol.isEmpty()) {
    QStringList args;
    if (devicesPage) args << QStringLiteral("--tab=3");
    QProcess::startDetached(pavucontrol, args);
    return true;
  }
  const QString alsamixer = QStandardPaths::findExecutable(QStringLiteral("alsamixer"));
  if (alsamixer.isEmpty()) return false;
  for (const char* terminal : {"x-terminal-emulator", "xterm", "gnome-terminal", "konsole",
                               "xfce4-terminal", "lxterminal"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(terminal));
    if (path.isEmpty()) continue;
    QStringList args{QStringLiteral("-e"), alsamixer};
    if (devicesPage) args << QStringLiteral("--view=all");
    if (QProcess::startDetached(path, args)) return true;
  }
  return false;
}

}  // namespace vela::app
