// Station > Log QSO... (Ctrl+L): one contact for the log, filled from what the station has
// just heard (the call, the frequency on air and mode, when the call was first heard) with
// the reports, name, QTH, locator and comment to type; below it the last contacts in the log.
// OK hands the record to the logger; when it could not be logged the dialog stays open with
// the reason and everything typed, to try again.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "station/Logbook.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QTreeWidget;

namespace vela::app {

class LogQsoDialog : public QDialog {
  Q_OBJECT
 public:
  // Logs a record: nothing when it is on the disk, else why not.
  using Logger = std::function<std::optional<QString>(const QsoRecord& record)>;
  static constexpr int kRecentShown = 20;

  LogQsoDialog(const QsoRecord& filled, Logger logger, QWidget* parent = nullptr);
  // Shows the last contacts of an ADIF log's text, newest first.
  void ShowRecent(const std::string& adif);
  QTreeWidget* recent() const { return recent_; }
  void accept() override;

 private:
  QLineEdit* Field(const QString& name, const QString& text);
  QsoRecord Record() const;

  QsoRecord filled_;
  Logger logger_;
  QLineEdit *call_, *frequency_, *rstSent_, *rstReceived_, *name_, *qth_, *grid_, *comment_;
  QComboBox* mode_;
  QDateTimeEdit *timeOn_, *timeOff_;
  QLabel* problem_;
  QTreeWidget* recent_;
};

}  // namespace vela::app
