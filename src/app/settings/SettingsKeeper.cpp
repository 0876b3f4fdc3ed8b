#include "app/settings/SettingsKeeper.h"

#include <utility>

#include "app/settings/Preferences.h"

namespace vela::app {

SettingsKeeper::SettingsKeeper(std::vector<File> files, Problem problem, QObject* parent)
    : QObject(parent), files_(std::move(files)), problem_(std::move(problem)) {
  timer_.setInterval(kCheckMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    QString error;
    if (SaveIfChanged(&error) || failing_) return;
    failing_ = true;  // told once; tried again every second
    if (problem_) problem_(error);
  });
  timer_.start();
}

bool SettingsKeeper::SaveIfChanged(QString* error) {
  bool ok = true;
  for (File& file : files_) {
    const QByteArray bytes = file.current();
    if (bytes != file.written) ok = Save(file, bytes, ok ? error : nullptr) && ok;
  }
  if (ok) failing_ = false;
  return ok;
}

bool SettingsKeeper::SaveAll(QString* error) {
  bool ok = true;
  for (File& file : files_) ok = Save(file, file.current(), ok ? error : nullptr) && ok;
  return ok;
}

bool SettingsKeeper::Save(File& file, const QByteArray& bytes, QString* error) {
  if (!SaveSettingsFile(file.path, bytes, error)) return false;
  file.written = bytes;
  return true;
}

}  // namespace vela::app
