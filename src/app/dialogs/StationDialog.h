// Station > Station details...: who and where the station is (callsign, locator, antenna)
// and, for a station whose rig does not report its dial, where the dial stays (frequency,
// sideband, converter offset); on the first start, the callsign and locator alone, with a
// way to leave them for later. And Station > Logger messages...: whether the UDP messages a
// logger or station tool listens for are sent, and where to.
#pragma once

#include <QDialog>
#include <QString>

#include "station/StationDetails.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace vela::app {

struct StationEntry {
  QString callsign;
  StationDetails details;
};

class StationDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Kind { Details, FirstStart };
  StationDialog(Kind kind, const StationEntry& current, QWidget* parent = nullptr);

  // What the operator accepted (the rest of `current` as it was).
  const StationEntry& entry() const { return entry_; }
  void accept() override;

 private:
  QLineEdit* Field(const QString& name, const QString& text, const QString& caption);

  Kind kind_;
  StationEntry entry_;
  QLineEdit* callsign_ = nullptr;
  QLineEdit* locator_ = nullptr;
  QLineEdit* antenna_ = nullptr;
  QLineEdit* dial_ = nullptr;
  QComboBox* sideband_ = nullptr;
  QLineEdit* offset_ = nullptr;
  QLabel* problem_ = nullptr;
};

class LoggerLinkDialog : public QDialog {
  Q_OBJECT
 public:
  LoggerLinkDialog(bool on, const QString& server, QWidget* parent = nullptr);
  bool on() const { return on_; }
  const QString& server() const { return server_; }
  void accept() override;

 private:
  QCheckBox* enabled_;
  QLineEdit* address_;
  QLabel* problem_;
  bool on_;
  QString server_;
};

}  // namespace vela::app
