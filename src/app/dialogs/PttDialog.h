// TX options > PTT: how the transmitter is keyed. The method comes first (serial DTR/RTS,
// the rig's CAT command, a rig shared through rigctld, a CM108 sound chip's GPIO, or VOX),
// then what that method needs: the COM picker for the serial lines, the rig model and port
// for CAT, host and port for rigctld, the hidraw device for CM108; and, for a rig that
// reports its dial, the offset of a converter or transverter in front of the receiver; and
// the transmit time limit.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "rig/RigSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QStackedWidget;

namespace vela::app {

// Names the device a "COMn" entry stands for on this computer ("/dev/ttyUSB0"), or an
// empty string when there is none.
using PortResolver = std::function<QString(int port)>;

class PttPickerDialog : public QDialog {
  Q_OBJECT
 public:
  PttPickerDialog(const RigSettings& current, PortResolver resolver, QWidget* parent = nullptr);
  // The serial picker alone, as it opens for a station keyed on COM`currentPort`.
  PttPickerDialog(int currentPort, PortResolver resolver, QWidget* parent = nullptr);

  // The serial picker's answer: "none" or "COMn"; empty after Cancel, closing, or an
  // emptied entry (which keeps the current port).
  QString answer() const { return answer_; }
  // What the operator accepted; nothing after Cancel or closing.
  const std::optional<RigSettings>& chosen() const { return chosen_; }
  QLineEdit* entry() const { return entry_; }
  QListWidget* list() const { return list_; }
  QComboBox* method() const { return method_; }

  static std::optional<RigSettings> Ask(const RigSettings& current, const PortResolver& resolver,
                                        QWidget* parent);

 private:
  void ShowPage(int index);
  void BuildSerialPage(int currentPort, const PortResolver& resolver);
  void BuildRigPages(const RigSettings& current);
  // The settings the dialog shows, or why they cannot be taken (shown in the dialog).
  std::optional<RigSettings> Read(QString* problem) const;
  void TryAccept();

  RigSettings current_;
  QComboBox* method_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QListWidget* list_ = nullptr;
  QLineEdit* entry_ = nullptr;
  QComboBox* model_ = nullptr;
  QComboBox* catDevice_ = nullptr;
  QComboBox* baud_ = nullptr;
  QLineEdit* host_ = nullptr;
  QLineEdit* port_ = nullptr;
  QComboBox* hidraw_ = nullptr;
  QLineEdit* offset_ = nullptr;
  QSpinBox* txLimit_ = nullptr;
  QLabel* problem_ = nullptr;
  QString answer_;
  std::optional<RigSettings> chosen_;
};

}  // namespace vela::app
