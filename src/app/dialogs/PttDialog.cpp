#include "app/dialogs/PttDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/window/WindowArithmetic.h"
#include "rig/RigModels.h"
#include "rig/SerialPtt.h"

namespace vela::app {

namespace {

const std::pair<PttMethod, const char*> kMethods[] = {{PttMethod::SerialDtrRts, "Serial DTR/RTS"},
                                                      {PttMethod::Cat, "CAT"},
                                                      {PttMethod::Rigctld, "rigctld"},
                                                      {PttMethod::Cm108, "CM108 GPIO"},
                                                      {PttMethod::Vox, "VOX / none"}};

constexpr int kBaudRates[] = {0, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QComboBox* EditableList(const QStringList& items, const QString& current, QWidget* parent) {
  auto* box = new QComboBox(parent);
  box->setEditable(true);
  box->addItems(items);
  box->setCurrentText(current);
  return box;
}

QStringList HidrawDevices() {
  QStringList devices;
  for (const QString& name :
       QDir(QStringLiteral("/dev")).entryList({QStringLiteral("hidraw*")}, QDir::System)) {
    devices << QStringLiteral("/dev/") + name;
  }
  return devices;
}

QStringList SerialDevices() {
  QStringList devices;
  for (const std::string& path : ComPortDevices()) devices << QString::fromStdString(path);
  return devices;
}

}  // namespace

namespace {
RigSettings SerialOn(int comPort) {
  RigSettings settings;
  settings.comPort = comPort;
  return settings;
}
}  // namespace

PttPickerDialog::PttPickerDialog(int currentPort, PortResolver resolver, QWidget* parent)
    : PttPickerDialog(SerialOn(currentPort), std::move(resolver), parent) {}

PttPickerDialog::PttPickerDialog(const RigSettings& current, PortResolver resolver, QWidget* parent)
    : QDialog(parent), current_(current) {
  setWindowTitle(QStringLiteral("PTT control"));
  auto* layout = new QVBoxLayout(this);
  auto* methodRow = new QFormLayout;
  method_ = new QComboBox(this);
  method_->setObjectName(QStringLiteral("method"));
  for (const auto& [method, name] : kMethods) {
    method_->addItem(QString::fromLatin1(name), static_cast<int>(method));
  }
  methodRow->addRow(QStringLiteral("PTT method"), method_);
  layout->addLayout(methodRow);

  pages_ = new QStackedWidget(this);
  layout->addWidget(pages_);
  BuildSerialPage(current.comPort, resolver);
  BuildRigPages(current);
  connect(method_, &QComboBox::currentIndexChanged, this, [this](int index) { ShowPage(index); });
  method_->setCurrentIndex(method_->findData(static_cast<int>(current.method)));
  ShowPage(method_->currentIndex());

  auto* offsetRow = new QFormLayout;
  offset_ = new QLineEdit(QString::number(current.converterOffsetHz), this);
  offset_->setObjectName(QStringLiteral("offset"));
  offset_->setToolTip(QStringLiteral(
      "Added to the rig's dial to give the frequency on air: a 136 kHz converter in front of a "
      "10 MHz receiver is -10000000"));
  offsetRow->addRow(QStringLiteral("Converter offset (Hz)"), offset_);
  txLimit_ = new QSpinBox(this);
  txLimit_->setObjectName(QStringLiteral("txlimit"));
  txLimit_->setRange(0, kMaxTxLimitMinutes);
  txLimit_->setSuffix(QStringLiteral(" min"));
  txLimit_->setSpecialValueText(QStringLiteral("none"));
  txLimit_->setValue(current.txLimitMinutes);
  txLimit_->setToolTip(
      QStringLiteral("A transmission on air this long (SEND, beacon, tune or CWID) is stopped "
                     "and PTT released"));
  offsetRow->addRow(QStringLiteral("Transmit time limit"), txLimit_);
  layout->addLayout(offsetRow);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setStyleSheet(QStringLiteral("color: #b00000"));
  problem_->setWordWrap(true);
  problem_->hide();
  layout->addWidget(problem_);

  auto* buttons = new QHBoxLayout;
  auto* acceptButton = new QPushButton(QStringLiteral("Accept"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto* clear = new QPushButton(QStringLiteral("Clear"), this);
  acceptButton->setDefault(true);
  buttons->addWidget(acceptButton);
  buttons->addWidget(cancel);
  buttons->addWidget(clear);
  layout->addLayout(buttons);
  connect(acceptButton, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(cancel, &QPushButton::clicked, this, [this] {
    answer_.clear();
    chosen_.reset();
    reject();
  });
  // Clear empties the answer so the operator can type a name; accepting it empty keeps
  // the current port.
  connect(clear, &QPushButton::clicked, this, [this] {
    list_->setCurrentRow(-1);
    entry_->clear();
    entry_->setFocus();
  });
  connect(list_, &QListWidget::itemDoubleClicked, acceptButton, &QPushButton::click);
}

// Only the method's own page takes room, so the dialog is as small as what it asks.
void PttPickerDialog::ShowPage(int index) {
  pages_->setCurrentIndex(index);
  for (int i = 0; i < pages_->count(); ++i) {
    pages_->widget(i)->setSizePolicy(i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                     i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
  }
  pages_->adjustSize();
  adjustSize();
}

void PttPickerDialog::BuildSerialPage(int currentPort, const PortResolver& resolver) {
  auto* page = new QWidget(pages_);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(new QLabel(QStringLiteral("Select comport for PTT control"), page));
  list_ = new QListWidget(page);
  auto* none = new QListWidgetItem(QStringLiteral("none"), list_);
  none->setData(Qt::UserRole, QStringLiteral("none"));
  for (int port = 1; port <= 9; ++port) {
    const QString name = QStringLiteral("COM%1").arg(port);
    const QString device = resolver ? resolver(port) : QString();
    auto* item = new QListWidgetItem(
        name + QStringLiteral("    ") + (device.isEmpty() ? QStringLiteral("(no device)") : device),
        list_);
    item->setData(Qt::UserRole, name);
  }
  list_->setObjectName(QStringLiteral("entries"));
  layout->addWidget(list_);
  entry_ = new QLineEdit(page);
  entry_->setObjectName(QStringLiteral("answer"));
  entry_->setText(current_.pttSerialDevice.empty()
                      ? QStringLiteral("COM%1").arg(currentPort)
                      : QString::fromStdString(current_.pttSerialDevice));
  if (currentPort >= 0 && currentPort <= 9 && current_.pttSerialDevice.empty()) {
    list_->setCurrentRow(currentPort);
  }
  layout->addWidget(entry_);
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item) entry_->setText(item->data(Qt::UserRole).toString());
  });
  pages_->addWidget(page);
}

void PttPickerDialog::BuildRigPages(const RigSettings& current) {
  auto* cat = new QWidget(pages_);
  auto* catForm = new QFormLayout(cat);
  model_ = new QComboBox(cat);
  model_->setObjectName(QStringLiteral("model"));
  model_->addItem(QStringLiteral("(choose the rig)"), 0);
  for (const RigModel& m : RigModels()) {
    model_->addItem(QStringLiteral("%1 %2  (%3)")
                        .arg(QString::fromStdString(m.manufacturer), QString::fromStdString(m.name))
                        .arg(m.number),
                    m.number);
  }
  model_->setCurrentIndex(std::max(0, model_->findData(current.rigModel)));
  catDevice_ = EditableList(SerialDevices(), QString::fromStdString(current.catDevice), cat);
  catDevice_->setObjectName(QStringLiteral("catdevice"));
  baud_ = new QComboBox(cat);
  baud_->setObjectName(QStringLiteral("baud"));
  for (int rate : kBaudRates) {
    baud_->addItem(rate == 0 ? QStringLiteral("the rig's default") : QString::number(rate), rate);
  }
  baud_->setCurrentIndex(std::max(0, baud_->findData(current.baudRate)));
  catForm->addRow(QStringLiteral("Rig model"), model_);
  catForm->addRow(QStringLiteral("CAT port"), catDevice_);
  catForm->addRow(QStringLiteral("Baud rate"), baud_);
  pages_->addWidget(cat);

  auto* rigctld = new QWidget(pages_);
  auto* rigctldForm = new QFormLayout(rigctld);
  host_ = new QLineEdit(QString::fromStdString(current.host), rigctld);
  host_->setObjectName(QStringLiteral("host"));
  port_ = new QLineEdit(QString::number(current.port), rigctld);
  port_->setObjectName(QStringLiteral("port"));
  rigctldForm->addRow(QStringLiteral("Host"), host_);
  rigctldForm->addRow(QStringLiteral("Port"), port_);
  rigctldForm->addRow(new QLabel(
      QStringLiteral("A rig shared with a logger: start rigctld -m MODEL -r PORT -P RIG first."),
      rigctld));
  pages_->addWidget(rigctld);

  auto* cm108 = new QWidget(pages_);
  auto* cm108Form = new QFormLayout(cm108);
  hidraw_ = EditableList(HidrawDevices(), QString::fromStdString(current.hidrawDevice), cm108);
  hidraw_->setObjectName(QStringLiteral("hidraw"));
  cm108Form->addRow(QStringLiteral("hidraw device"), hidraw_);
  pages_->addWidget(cm108);

  auto* vox = new QLabel(
      QStringLiteral("The rig keys itself on the transmit audio: nothing is switched."), pages_);
  vox->setWordWrap(true);
  pages_->addWidget(vox);
}

std::optional<RigSettings> PttPickerDialog::Read(QString* problem) const {
  RigSettings s = current_;
  s.method = static_cast<PttMethod>(method_->currentData().toInt());
  switch (s.method) {
    case PttMethod::SerialDtrRts: {
      const QString answer = entry_->text().trimmed();
      if (answer.startsWith(u'/')) {
        s.pttSerialDevice = answer.toStdString();
      } else if (const auto port = PttPortFromAnswer(answer.toStdString())) {
        s.comPort = *port;
        s.pttSerialDevice.clear();
      }
      break;
    }
    case PttMethod::Cat:
      s.rigModel = model_->currentData().toInt();
      s.catDevice = catDevice_->currentText().trimmed().toStdString();
      s.baudRate = baud_->currentData().toInt();
      if (s.rigModel == 0) *problem = QStringLiteral("Choose the rig model.");
      if (s.catDevice.empty()) {
        *problem = QStringLiteral("Name the rig's CAT port, for example /dev/ttyUSB0.");
      }
      break;
    case PttMethod::Rigctld: {
      bool ok = false;
      s.host = host_->text().trimmed().toStdString();
      s.port = port_->text().trimmed().toInt(&ok);
      if (!ok || s.port < 1 || s.port > 65535) {
        *problem = QStringLiteral("The rigctld port is a number from 1 to 65535.");
      }
      if (s.host.empty()) *problem = QStringLiteral("Name the host rigctld runs on.");
      break;
    }
    case PttMethod::Cm108:
      s.hidrawDevice = hidraw_->currentText().trimmed().toStdString();
      if (s.hidrawDevice.empty()) {
        *problem = QStringLiteral("Name the CM108's hidraw device, for example /dev/hidraw0.");
      }
      break;
    case PttMethod::Vox:
      break;
  }
  bool ok = true;
  const QString offset = offset_->text().trimmed();
  s.converterOffsetHz = offset.isEmpty() ? 0 : offset.toLongLong(&ok);
  if (!ok) {
    *problem = QStringLiteral(
        "The converter offset is a whole number of hertz (it may be "
        "negative).");
  }
  s.txLimitMinutes = txLimit_->value();
  if (!problem->isEmpty()) return std::nullopt;
  return s;
}

void PttPickerDialog::TryAccept() {
  QString problem;
  const std::optional<RigSettings> settings = Read(&problem);
  if (!settings) {
    // The dialog stays open with what was typed, and says what to put right.
    problem_->setText(problem);
    problem_->show();
    return;
  }
  answer_ = settings->method == PttMethod::SerialDtrRts ? entry_->text().trimmed() : QString();
  chosen_ = settings;
  accept();
}

std::optional<RigSettings> PttPickerDialog::Ask(const RigSettings& current,
                                                const PortResolver& resolver, QWidget* parent) {
  PttPickerDialog dialog(current, resolver, parent);
  dialog.exec();
  return dialog.chosen();
}

}  // namespace vela::app
