#include "app/dialogs/LogQsoDialog.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cctype>
#include <cmath>
#include <map>
#include <vector>

#include "coding/Modes.h"
#include "station/StationDetails.h"

namespace vela::app {

namespace {

using Clock = std::chrono::system_clock;

QDateTime Utc(Clock::time_point t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch());
  return QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::UTC);
}

Clock::time_point FromUtc(const QDateTime& t) {
  return Clock::time_point(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

QDateTimeEdit* TimeField(const QString& name, Clock::time_point t, QWidget* parent) {
  auto* field = new QDateTimeEdit(Utc(t), parent);
  field->setObjectName(name);
  field->setTimeSpec(Qt::UTC);
  field->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
  return field;
}

// The records of an ADIF text, field names in upper case: <NAME:LENGTH>VALUE, <EOR> ends a
// record, anything before <EOH> is the header.
std::vector<std::map<std::string, std::string>> AdifRecords(const std::string& text) {
  std::vector<std::map<std::string, std::string>> records;
  std::map<std::string, std::string> fields;
  for (size_t i = 0; (i = text.find('<', i)) != std::string::npos;) {
    const size_t end = text.find('>', i);
    if (end == std::string::npos) break;
    std::string tag = text.substr(i + 1, end - i - 1);
    for (char& c : tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    i = end + 1;
    const size_t colon = tag.find(':');
    if (tag == "EOH") fields.clear();
    if (tag == "EOR") records.push_back(std::exchange(fields, {}));
    if (colon == std::string::npos) continue;
    const size_t length = std::strtoul(tag.c_str() + colon + 1, nullptr, 10);
    if (length > text.size() - i) break;
    fields[tag.substr(0, colon)] = text.substr(i, length);
    i += length;
  }
  return records;
}

}  // namespace

LogQsoDialog::LogQsoDialog(const QsoRecord& filled, Logger logger, QWidget* parent)
    : QDialog(parent), filled_(filled), logger_(std::move(logger)) {
  setObjectName(QStringLiteral("logQsoDialog"));
  setWindowTitle(QStringLiteral("Log QSO"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  call_ = Field(QStringLiteral("call"), QString::fromStdString(filled.call));
  form->addRow(QStringLiteral("&Call:"), call_);
  frequency_ =
      Field(QStringLiteral("frequency"),
            filled.frequencyHz > 0 ? QString::number(filled.frequencyHz, 'f', 0) : QString());
  frequency_->setPlaceholderText(QStringLiteral("Hz on air, e.g. 475500"));
  form->addRow(QStringLiteral("&Frequency (Hz):"), frequency_);
  mode_ = new QComboBox(this);
  mode_->setObjectName(QStringLiteral("mode"));
  for (Mode m : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    mode_->addItem(QString::fromLatin1(ModeTable(m).name.data(),
                                       static_cast<qsizetype>(ModeTable(m).name.size())));
  }
  mode_->setCurrentText(QString::fromStdString(filled.submode));
  form->addRow(QStringLiteral("&Mode:"), mode_);
  timeOn_ = TimeField(QStringLiteral("timeOn"), filled.timeOn, this);
  form->addRow(QStringLiteral("Time o&n:"), timeOn_);
  timeOff_ = TimeField(QStringLiteral("timeOff"), filled.timeOff, this);
  form->addRow(QStringLiteral("Time o&ff:"), timeOff_);
  rstSent_ = Field(QStringLiteral("rstSent"), QString::fromStdString(filled.rstSent));
  form->addRow(QStringLiteral("RST &sent:"), rstSent_);
  rstReceived_ = Field(QStringLiteral("rstReceived"), QString::fromStdString(filled.rstReceived));
  form->addRow(QStringLiteral("RST &received:"), rstReceived_);
  name_ = Field(QStringLiteral("name"), QString::fromStdString(filled.name));
  form->addRow(QStringLiteral("N&ame:"), name_);
  qth_ = Field(QStringLiteral("qth"), QString::fromStdString(filled.qth));
  form->addRow(QStringLiteral("&QTH:"), qth_);
  grid_ = Field(QStringLiteral("grid"), QString::fromStdString(filled.grid));
  form->addRow(QStringLiteral("&Locator:"), grid_);
  comment_ = Field(QStringLiteral("comment"), QString::fromStdString(filled.comment));
  form->addRow(QStringLiteral("C&omment:"), comment_);
  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #b00000"));
  layout->addWidget(problem_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Log"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  layout->addWidget(new QLabel(QStringLiteral("Recent QSOs in the log:"), this));
  recent_ = new QTreeWidget(this);
  recent_->setObjectName(QStringLiteral("recent"));
  recent_->setRootIsDecorated(false);
  recent_->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("UTC"), QStringLiteral("Call"),
                            QStringLiteral("Band"), QStringLiteral("Mode"), QStringLiteral("Sent"),
                            QStringLiteral("Rcvd"), QStringLiteral("Name")});
  recent_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  recent_->setMinimumHeight(120);
  layout->addWidget(recent_);
  resize(560, 600);
  // With the call filled in, the reports are what is typed first.
  (filled.call.empty() ? call_ : rstSent_)->setFocus();
}

QLineEdit* LogQsoDialog::Field(const QString& name, const QString& text) {
  auto* field = new QLineEdit(text, this);
  field->setObjectName(name);
  return field;
}

void LogQsoDialog::ShowRecent(const std::string& adif) {
  recent_->clear();
  const auto records = AdifRecords(adif);
  const size_t shown = std::min<size_t>(records.size(), kRecentShown);
  for (size_t i = 0; i < shown; ++i) {
    const auto& r = records[records.size() - 1 - i];
    const auto get = [&r](const char* name) {
      const auto it = r.find(name);
      return it == r.end() ? QString() : QString::fromStdString(it->second);
    };
    QString date = get("QSO_DATE");
    if (date.size() == 8) date = date.left(4) + u'-' + date.mid(4, 2) + u'-' + date.mid(6);
    QString time = get("TIME_ON");
    if (time.size() >= 4) time = time.left(2) + u':' + time.mid(2, 2);
    recent_->addTopLevelItem(
        new QTreeWidgetItem(QStringList{date, time, get("CALL"), get("BAND"),
                                        get("SUBMODE").isEmpty() ? get("MODE") : get("SUBMODE"),
                                        get("RST_SENT"), get("RST_RCVD"), get("NAME")}));
  }
}

QsoRecord LogQsoDialog::Record() const {
  QsoRecord r = filled_;
  const auto text = [](const QLineEdit* field) { return field->text().trimmed().toStdString(); };
  r.call = call_->text().trimmed().toUpper().toStdString();
  r.submode = mode_->currentText().toStdString();
  r.timeOn = FromUtc(timeOn_->dateTime());
  r.timeOff = FromUtc(timeOff_->dateTime());
  r.rstSent = text(rstSent_);
  r.rstReceived = text(rstReceived_);
  r.name = text(name_);
  r.qth = text(qth_);
  r.grid = text(grid_);
  r.comment = text(comment_);
  return r;
}

void LogQsoDialog::accept() {
  QsoRecord record = Record();
  std::optional<QString> problem;
  bool ok = true;
  const double hz = frequency_->text().trimmed().toDouble(&ok);
  if (frequency_->text().trimmed().isEmpty()) {
    record.frequencyHz = 0;
  } else if (!ok || !std::isfinite(hz) || hz < 1 || hz > 1e12) {
    problem = QStringLiteral("The frequency is in hertz, as 475500.");
  } else {
    record.frequencyHz = hz;
  }
  if (!problem && !record.grid.empty() && !IsLocator(record.grid))
    problem = QStringLiteral("Their locator takes 4 or 6 characters, as JO31 or JO31ag.");
  if (!problem) {
    if (const auto why = CheckRecord(record)) problem = QString::fromStdString(*why);
  }
  if (!problem) problem = logger_(record);
  if (problem) {
    // Kept as typed: the operator can put it right, or try again once the disk has room.
    problem_->setText(QStringLiteral("Not logged: ") + *problem);
    return;
  }
  QDialog::accept();
}

}  // namespace vela::app
