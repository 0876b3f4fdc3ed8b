// Keeps the settings files in step with what the operator sets: a macro defined, the
// callsign, squelch, frequencies or the PTT method changed are written within a second,
// the same safe way as at exit (a new file renamed over the old only once it is whole on
// the disk), so a crash, a power cut, a kill or a full disk loses nothing the operator
// defined. A file that cannot be written is reported once until a write succeeds again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace vela::app {

class SettingsKeeper : public QObject {
 public:
  static constexpr int kCheckMs = 1000;
  struct File {
    QString path;
    std::function<QByteArray()> current;  // what the file should hold now
    QByteArray written;                   // what it holds (as read at start-up)
  };
  using Problem = std::function<void(const QString& reason)>;

  SettingsKeeper(std::vector<File> files, Problem problem, QObject* parent = nullptr);

  // Writes the files whose contents have changed; false with the first reason when one
  // could not be written.
  bool SaveIfChanged(QString* error = nullptr);
  // Writes every file, changed or not: at the end of the program.
  bool SaveAll(QString* error = nullptr);
  // A failure has been reported and no write has succeeded since.
  bool reported() const { return failing_; }

 private:
  bool Save(File& file, const QByteArray& bytes, QString* error);

  std::vector<File> files_;
  Problem problem_;
  QTimer timer_;
  bool failing_ = false;
};

}  // namespace vela::app
