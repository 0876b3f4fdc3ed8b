#include "app/window/SignalBrowser.h"

#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/TextCodec.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "rig/RigFrequency.h"

namespace vela::app {

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kCentreRole = Qt::UserRole + 1;
constexpr int kModeRole = Qt::UserRole + 2;

QString FromAirBytes(std::string_view bytes) {
  return DecodeWindows1252(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

ScanConfig BrowserScan(long double sampleRate, int squelch) {
  ScanConfig config;
  config.sampleRate = sampleRate;
  config.squelch = squelch;
  config.textLimit = 4096;  // enough for the last line; an evening's copy stays small
  return config;
}

}  // namespace

SignalBrowser::SignalBrowser(MainWindow& window, long double sampleRate)
    : QWidget(&window, Qt::Window),
      window_(window),
      scale_(window.frequencyScale()),
      scanner_(BrowserScan(sampleRate, window.settings().squelchLevel)),
      list_(new QTreeWidget(this)),
      note_(new QLabel(this)) {
  setObjectName(QStringLiteral("signalBrowser"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Signal browser"));
  list_->setColumnCount(kTextColumn + 1);
  list_->setHeaderLabels({QStringLiteral("Audio Hz"), QStringLiteral("On air Hz"),
                          QStringLiteral("Mode"), QStringLiteral("S/N dB"), QStringLiteral("Call"),
                          QStringLiteral("Last line")});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(true);
  // Room for the figures; the rest goes to the text.
  for (const auto& [column, width] : {std::pair{kAudioColumn, 70},
                                      {kRfColumn, 80},
                                      {kModeColumn, 70},
                                      {kSnrColumn, 50},
                                      {kCallColumn, 80}}) {
    list_->setColumnWidth(column, width);
  }
  list_->setToolTip(QStringLiteral("Double-click a signal to tune the receiver to it"));
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { Tune(item); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(note_);
  resize(620, 220);
  ShowNote();
}

SignalBrowser::~SignalBrowser() {
  // The marks go with the list (the scale may already be gone when the window closes).
  if (scale_) scale_->SetSignalMarks({});
}

void SignalBrowser::Push(std::span<const int16_t> samples) {
  scanner_.Push(samples);
  if (runPending_) return;
  runPending_ = true;
  // Behind whatever the devices have posted meanwhile.
  QTimer::singleShot(0, this, [this] { RunScanner(); });
}

void SignalBrowser::MarkReported(std::function<bool(const std::string& call)> reported) {
  reported_ = std::move(reported);
  Refresh();
}

const ScanSignal* SignalBrowser::selected() const {
  const QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) return nullptr;
  const int id = item->data(kAudioColumn, kIdRole).toInt();
  for (const ScanSignal& s : scanner_.listed()) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

void SignalBrowser::SetTransmitting(bool on) {
  transmitting_ = on;
  ShowNote();
}

void SignalBrowser::RunScanner() {
  runPending_ = false;
  scanner_.Run(kRunBudget);
  const std::optional<MainWindow::Dial>& dial = window_.dial();
  std::optional<std::pair<double, std::string>> dialNow;
  if (dial) dialNow.emplace(dial->hz, dial->mode);
  if (scanner_.revision() != shownRevision_ || dialNow != shownDial_) {
    shownRevision_ = scanner_.revision();
    shownDial_ = std::move(dialNow);
    Refresh();
  }
  ShowNote();
}

// Rows follow the scanner's order, lowest first; a row stays in place (and selected) while
// its signal is listed, and only its figures change.
void SignalBrowser::Refresh() {
  const std::vector<ScanSignal>& listed = scanner_.listed();
  const auto rowOf = [this](int id) {
    for (int row = 0; row < list_->topLevelItemCount(); ++row) {
      if (list_->topLevelItem(row)->data(kAudioColumn, kIdRole).toInt() == id) return row;
    }
    return -1;
  };
  for (int row = list_->topLevelItemCount() - 1; row >= 0; --row) {
    const int id = list_->topLevelItem(row)->data(kAudioColumn, kIdRole).toInt();
    if (std::none_of(listed.begin(), listed.end(),
                     [id](const ScanSignal& s) { return s.id == id; }))
      delete list_->takeTopLevelItem(row);
  }
  std::vector<double> marks;
  for (size_t i = 0; i < listed.size(); ++i) {
    const int row = static_cast<int>(i);
    const int at = rowOf(listed[i].id);
    if (at != row) {
      list_->insertTopLevelItem(row, at < 0 ? new QTreeWidgetItem : list_->takeTopLevelItem(at));
    }
    ShowRow(*list_->topLevelItem(row), listed[i]);
    marks.push_back(listed[i].centreHz);
  }
  if (scale_) scale_->SetSignalMarks(std::move(marks));
}

void SignalBrowser::ShowRow(QTreeWidgetItem& item, const ScanSignal& signal) const {
  item.setData(kAudioColumn, kIdRole, signal.id);
  item.setData(kAudioColumn, kCentreRole, signal.centreHz);
  item.setData(kAudioColumn, kModeRole, static_cast<int>(signal.mode));
  item.setText(kAudioColumn, QString::number(signal.centreHz, 'f', 2));
  item.setText(kRfColumn, OnAir(signal.centreHz));
  item.setText(kModeColumn, FromAirBytes(ModeTable(signal.mode).name));
  item.setText(kSnrColumn, QString::number(signal.snrDb, 'f', 1));
  const bool reported = reported_ && !signal.call.empty() && reported_(signal.call);
  item.setText(kCallColumn,
               FromAirBytes(signal.call) + (reported ? QStringLiteral(" \u2713") : QString()));
  item.setToolTip(kCallColumn, reported ? QStringLiteral("Reported to PSK Reporter") : QString());
  item.setText(kTextColumn, FromAirBytes(signal.LastLine()));
  for (int column : {kAudioColumn, kRfColumn, kSnrColumn}) {
    item.setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  }
}

QString SignalBrowser::OnAir(double audioHz) const {
  const std::optional<MainWindow::Dial>& dial = window_.dial();
  if (!dial) return {};
  return QString::number(
      RfFrequency(audioHz, dial->hz, dial->mode, window_.settings().rig.converterOffsetHz), 'f', 2);
}

void SignalBrowser::ShowNote() {
  QString text;
  if (transmitting_) {
    text = QStringLiteral("Paused while transmitting");
  } else if (!scanner_.scanning()) {
    text = QStringLiteral(
               "%1 s behind: not looking for new signals until caught up (the "
               "computer is too busy)")
               .arg(scanner_.lagSeconds(), 0, 'f', 1);
  } else {
    const auto count = static_cast<int>(scanner_.listed().size());
    const ScanConfig band;
    text = QStringLiteral("Scanning %1-%2 Hz, all modes: %3 signal%4")
               .arg(band.fromHz)
               .arg(band.toHz)
               .arg(count)
               .arg(count == 1 ? QString() : QStringLiteral("s"));
  }
  if (scanner_.droppedSeconds() > 0.0) {
    text += QStringLiteral("; %1 s of audio skipped").arg(scanner_.droppedSeconds(), 0, 'f', 0);
  }
  if (text != note_->text()) note_->setText(text);
}

void SignalBrowser::Tune(const QTreeWidgetItem* item) {
  // The mode buttons are locked while our own signal goes out, and so is this.
  if (item == nullptr || transmitting_) return;
  window_.TuneTo(item->data(kAudioColumn, kCentreRole).toDouble(),
                 static_cast<Mode>(item->data(kAudioColumn, kModeRole).toInt()));
}

}  // namespace vela::app
