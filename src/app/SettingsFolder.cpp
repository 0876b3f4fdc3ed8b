#include "app/SettingsFolder.h"

#include <QDir>
#include <QFileInfo>

#include "app/Preferences.h"

namespace vela::app {

QString SettingsFolder(const QString& startFolder, const QString& configHome) {
  const QDir start(startFolder);
  if (QFileInfo::exists(start.filePath(QString::fromLatin1(Preferences::kFileName)))) {
    return start.absolutePath();
  }
  const QString folder = QDir(configHome).filePath(QStringLiteral("vela-terminal"));
  if (!QDir().mkpath(folder)) return start.absolutePath();
  return QDir(folder).absolutePath();
}

}  // namespace vela::app
