#include "app/settings/SettingsFolder.h"

#include "station/SettingsFolder.h"

namespace vela::app {

QString SettingsFolder(const QString& startFolder, const QString& configHome) {
  return QString::fromStdString(
      vela::SettingsFolder(startFolder.toStdString(), configHome.toStdString()));
}

}  // namespace vela::app
