#include "app/SettingsKeeper.h"

#include <utility>

namespace vela::app {

SettingsKeeper::SettingsKeeper(QString path, const Preferences& written, Current current,
                               Problem problem, QObject* parent)
    : QObject(parent),
      path_(std::move(path)),
      written_(written.Serialise()),
      current_(std::move(current)),
      problem_(std::move(problem)) {
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
  const Preferences now = current_();
  const QByteArray bytes = now.Serialise();
  if (bytes == written_) return true;
  if (!now.Save(path_, error)) return false;
  written_ = bytes;
  failing_ = false;
  return true;
}

}  // namespace vela::app
