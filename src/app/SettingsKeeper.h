// Keeps the settings file in step with what the operator sets: a macro defined, the
// callsign, squelch or frequencies changed are written within a second, the same safe way
// as at exit (a new file renamed over the old), so a crash, a power cut or a kill loses
// nothing the operator defined. A file that cannot be written is reported once until a
// write succeeds again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "app/Preferences.h"

namespace vela::app {

class SettingsKeeper : public QObject {
 public:
  static constexpr int kCheckMs = 1000;
  using Current = std::function<Preferences()>;
  using Problem = std::function<void(const QString& reason)>;

  // `written` is what the file holds now (as read at start-up), so nothing is written
  // until something changes.
  SettingsKeeper(QString path, const Preferences& written, Current current, Problem problem,
                 QObject* parent = nullptr);

  // Writes the settings if they differ from what the file holds; false when they could
  // not be written, with the reason in `error`.
  bool SaveIfChanged(QString* error = nullptr);
  const QString& path() const { return path_; }

 private:
  QString path_;
  QByteArray written_;
  Current current_;
  Problem problem_;
  QTimer timer_;
  bool failing_ = false;
};

}  // namespace vela::app
