#include "app/dialogs/StationDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "coding/Callsign.h"
#include "net/UdpMessages.h"

namespace vela::app {

namespace {

// Whole hertz within what any rig or converter reaches; empty text is `empty`.
std::optional<int64_t> Hertz(const QString& text, int64_t empty, bool negativeToo) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return empty;
  bool ok = false;
  const qlonglong n = t.toLongLong(&ok);
  if (!ok || n > 4'000'000'000LL || n < (negativeToo ? -4'000'000'000LL : 0)) return std::nullopt;
  return n;
}

QLabel* ProblemLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("problem"));
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: #b00000"));
  return label;
}

}  // namespace

StationDialog::StationDialog(Kind kind, const StationEntry& current, QWidget* parent)
    : QDialog(parent), kind_(kind), entry_(current) {
  setObjectName(QStringLiteral("stationDialog"));
  const bool first = kind == Kind::FirstStart;
  setWindowTitle(first ? QStringLiteral("Welcome to VELA Terminal")
                       : QStringLiteral("Station details"));
  auto* layout = new QVBoxLayout(this);
  if (first) {
    auto* intro = new QLabel(
        QStringLiteral("Your callsign goes out in the secondary channel and the Morse "
                       "identifier; with your locator, stations you hear can be reported to "
                       "PSK Reporter (Station > Report spots). Station > Station details... "
                       "changes them at any time."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
  }
  auto* form = new QFormLayout;
  layout->addLayout(form);
  const auto add = [&](QWidget* field, const QString& caption) { form->addRow(caption, field); };
  callsign_ = Field(QStringLiteral("callsign"), current.callsign, QStringLiteral("G3XYZ"));
  add(callsign_, QStringLiteral("&Callsign:"));
  locator_ = Field(QStringLiteral("locator"), QString::fromStdString(current.details.locator),
                   QStringLiteral("IO91 or IO91wm"));
  add(locator_, QStringLiteral("&Locator:"));
  if (!first) {
    const StationDetails& d = current.details;
    antenna_ = Field(QStringLiteral("antenna"), QString::fromStdString(d.antenna),
                     QStringLiteral("e.g. 30 m inverted L, 10 W ERP"));
    antenna_->setMinimumWidth(260);  // room for a line about the antenna
    add(antenna_, QStringLiteral("&Antenna:"));
    auto* note = new QLabel(QStringLiteral("For a rig that does not report its dial (no CAT):"));
    form->addRow(note);
    dial_ = Field(QStringLiteral("dial"),
                  d.fixedDialHz > 0 ? QString::number(d.fixedDialHz) : QString(),
                  QStringLiteral("Hz, e.g. 474200; empty when none"));
    add(dial_, QStringLiteral("Fixed &dial (Hz):"));
    sideband_ = new QComboBox(this);
    sideband_->setObjectName(QStringLiteral("sideband"));
    sideband_->addItems({QStringLiteral("USB"), QStringLiteral("LSB")});
    sideband_->setCurrentIndex(d.lowerSideband ? 1 : 0);
    add(sideband_, QStringLiteral("&Sideband:"));
    offset_ = Field(QStringLiteral("offset"), QString::number(d.converterOffsetHz),
                    QStringLiteral("Hz added to the dial"));
    add(offset_, QStringLiteral("Converter &offset (Hz):"));
  }
  problem_ = ProblemLabel(this);
  layout->addWidget(problem_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  QPushButton* other =
      first ? buttons->addButton(QStringLiteral("&Later"), QDialogButtonBox::RejectRole)
            : buttons->addButton(QDialogButtonBox::Cancel);
  other->setObjectName(first ? QStringLiteral("later") : QStringLiteral("cancel"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QLineEdit* StationDialog::Field(const QString& name, const QString& text, const QString& caption) {
  auto* field = new QLineEdit(text, this);
  field->setObjectName(name);
  field->setPlaceholderText(caption);
  return field;
}

void StationDialog::accept() {
  const QString call = callsign_->text().trimmed().toUpper();
  const std::string locator = locator_->text().trimmed().toStdString();
  QString problem;
  if (!call.isEmpty() && !IsCallsign(call.toStdString())) {
    problem = QStringLiteral("\"%1\" is not a callsign (G3XYZ, 2E0ABC, DL/G3XYZ/P).").arg(call);
  } else if (!locator.empty() && !IsLocator(locator)) {
    problem = QStringLiteral("The locator takes 4 or 6 characters, as IO91 or IO91wm.");
  }
  StationDetails d = entry_.details;
  d.locator = locator;
  if (kind_ == Kind::Details && problem.isEmpty()) {
    const auto dial = Hertz(dial_->text(), 0, false);
    const auto offset = Hertz(offset_->text(), 0, true);
    const QString antenna = antenna_->text().trimmed();
    if (!dial) {
      problem = QStringLiteral("The fixed dial is a frequency in whole hertz (or empty).");
    } else if (!offset) {
      problem = QStringLiteral("The converter offset is a whole number of hertz.");
    } else if (antenna.size() > 200) {
      problem = QStringLiteral("The antenna text takes at most 200 characters.");
    } else {
      d.antenna = antenna.toStdString();
      d.fixedDialHz = *dial;
      d.lowerSideband = sideband_->currentIndex() == 1;
      d.converterOffsetHz = *offset;
    }
  }
  problem_->setText(problem);
  if (!problem.isEmpty()) return;  // nothing typed is lost: the dialog stays open
  entry_.callsign = call.isEmpty() ? entry_.callsign : call;
  entry_.details = d;
  QDialog::accept();
}

LoggerLinkDialog::LoggerLinkDialog(bool on, const QString& server, QWidget* parent)
    : QDialog(parent),
      enabled_(
          new QCheckBox(QStringLiteral("&Send UDP messages to a logger or station tool"), this)),
      address_(new QLineEdit(server, this)),
      problem_(ProblemLabel(this)),
      on_(on),
      server_(server) {
  setObjectName(QStringLiteral("loggerDialog"));
  setWindowTitle(QStringLiteral("Logger messages"));
  enabled_->setObjectName(QStringLiteral("udpOn"));
  enabled_->setChecked(on);
  address_->setObjectName(QStringLiteral("udpServer"));
  address_->setPlaceholderText(QStringLiteral("127.0.0.1:2237"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enabled_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Server (&HOST:PORT):"), address_);
  layout->addLayout(form);
  auto* hint = new QLabel(QStringLiteral("The logger's own UDP server setting, 127.0.0.1:2237 "
                                         "by default; a multicast group (224.0.0.1:2237) "
                                         "reaches several programs at once."),
                          this);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  layout->addWidget(problem_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void LoggerLinkDialog::accept() {
  const QString text = address_->text().trimmed();
  std::string why;
  if (!ParseUdpAddress(text.toStdString(), &why)) {
    problem_->setText(QString::fromStdString(why));
    return;
  }
  on_ = enabled_->isChecked();
  server_ = text;
  QDialog::accept();
}

}  // namespace vela::app
