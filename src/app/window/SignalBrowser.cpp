#include "app/window/SignalBrowser.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/TextCodec.h"
#include "app/window/GraphicControls.h"
#include "app/window/MainWindow.h"
#include "app/window/StationServices.h"
#include "rig/RigFrequency.h"

namespace vela::app {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;  // the figure a numeric column sorts by
constexpr int kGap = 8;                      // between the main window and the browser

QString FromAirBytes(std::string_view bytes) {
  return DecodeWindows1252(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

QString TimeOfDay(double utc) {
  return QDateTime::fromMSecsSinceEpoch(std::llround(utc * 1000.0), Qt::UTC)
      .toString(QStringLiteral("HH:mm:ss"));
}

// Figures sort as numbers, words as words.
class Row : public QTreeWidgetItem {
 public:
  bool operator<(const QTreeWidgetItem& other) const override {
    const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
    const QVariant a = data(column, kSortRole);
    const QVariant b = other.data(column, kSortRole);
    if (a.isValid() && b.isValid()) return a.toDouble() < b.toDouble();
    if (a.isValid() != b.isValid()) return a.isValid();  // figures before blanks
    return text(column).localeAwareCompare(other.text(column)) < 0;
  }
};

// The newest copy is at the end of the line: a line too long for its column loses its start.
class NewestEnd : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideLeft;
  }
};

}  // namespace

ScanConfig SignalBrowser::ScanFor(long double sampleRate, int squelch) {
  ScanConfig config;
  config.sampleRate = sampleRate;
  config.squelch = squelch;
  config.textLimit = 4096;  // enough for the last line; an evening's copy stays small
  return config;
}

SignalBrowser::SignalBrowser(MainWindow& window, const BandScanner& scanner)
    : QWidget(&window, Qt::Window),
      window_(window),
      scale_(window.frequencyScale()),
      scanner_(scanner),
      list_(new QTreeWidget(this)),
      note_(new QLabel(this)),
      clear_(new QPushButton(QStringLiteral("&Clear"), this)) {
  setObjectName(QStringLiteral("signalBrowser"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Signal browser"));
  list_->setColumnCount(kTextColumn + 1);
  list_->setHeaderLabels(
      {QStringLiteral("Call"), QStringLiteral("Mode"), QStringLiteral("Audio Hz"),
       QStringLiteral("On air Hz"), QStringLiteral("S/N dB"), QStringLiteral("Best"),
       QStringLiteral("First UTC"), QStringLiteral("Last UTC"), QStringLiteral("Newest copy")});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(true);
  list_->setItemDelegateForColumn(kTextColumn, new NewestEnd(list_));
  // Room for the figures; the rest goes to the text.
  for (const auto& [column, width] : {std::pair{kCallColumn, 80},
                                      {kModeColumn, 64},
                                      {kAudioColumn, 70},
                                      {kRfColumn, 80},
                                      {kSnrColumn, 50},
                                      {kBestSnrColumn, 44},
                                      {kFirstColumn, 64},
                                      {kLastColumn, 64}}) {
    list_->setColumnWidth(column, width);
  }
  list_->setSortingEnabled(true);
  list_->sortByColumn(kAudioColumn, Qt::AscendingOrder);
  list_->setToolTip(
      QStringLiteral("Double-click a station to tune the receiver to it; right-click for more"));
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { Tune(item); });
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
    QMenu* menu = RowMenu(list_->itemAt(at));
    menu->popup(list_->viewport()->mapToGlobal(at));
  });
  clear_->setToolTip(QStringLiteral("Forget the stations no longer heard"));
  connect(clear_, &QPushButton::clicked, this, [this] { ClearSilent(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  auto* foot = new QHBoxLayout;
  foot->addWidget(note_, 1);
  foot->addWidget(clear_);
  layout->addLayout(foot);
  resize(760, 240);
  PlaceBesideWindow();
  ShowNote();
}

SignalBrowser::~SignalBrowser() {
  // The marks go with the list (the scale may already be gone when the window closes).
  if (scale_) scale_->SetSignalMarks({});
}

void SignalBrowser::PlaceBesideWindow() {
  // Beside the main window where the screen has room, right first; else over its lower
  // part; never off the screen.
  const QRect main = window_.frameGeometry();
  const QScreen* screen = window_.screen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : main;
  const QMargins frame(
      window_.geometry().left() - main.left(), window_.geometry().top() - main.top(),
      main.right() - window_.geometry().right(), main.bottom() - window_.geometry().bottom());
  const QSize outer = size().grownBy(frame);
  QPoint at(main.right() + 1 + kGap, main.top());
  if (at.x() + outer.width() > room.right() + 1) at.setX(main.left() - kGap - outer.width());
  if (at.x() < room.left()) at = QPoint(main.left(), main.bottom() + 1 - outer.height());
  at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - outer.width())));
  at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - outer.height())));
  move(at);
}

void SignalBrowser::PlaceAt(const QRect& remembered) {
  if (!remembered.isValid()) return;
  // Its title bar must be on a screen to be of use: one unplugged since leaves it beside.
  const QRect title(remembered.topLeft(), QSize(std::min(remembered.width(), 120), 24));
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen->availableGeometry().contains(title)) {
      setGeometry(remembered);
      return;
    }
  }
}

void SignalBrowser::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (isVisible()) emit placeChanged(geometry());
}

void SignalBrowser::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (isVisible()) emit placeChanged(geometry());
}

void SignalBrowser::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  emit placeChanged(geometry());
}

void SignalBrowser::MarkReported(std::function<bool(const std::string& call)> reported) {
  reported_ = std::move(reported);
  shownMap_ = 0;
  Refresh();
}

const HeardStation* SignalBrowser::StationOf(const QTreeWidgetItem* item) const {
  if (item == nullptr) return nullptr;
  const int key = item->data(kCallColumn, kKeyRole).toInt();
  for (const HeardStation& s : map_.stations()) {
    if (s.key == key) return &s;
  }
  return nullptr;
}

const HeardStation* SignalBrowser::selected() const {
  const QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) return nullptr;
  return StationOf(item);
}

void SignalBrowser::SetTransmitting(bool on) {
  transmitting_ = on;
  ShowNote();
}

void SignalBrowser::ScannerRan() {
  const std::optional<MainWindow::Dial>& dial = window_.dial();
  std::optional<std::pair<double, std::string>> dialNow;
  if (dial) dialNow.emplace(dial->hz, dial->mode);
  if (scanner_.revision() != shownRevision_) {
    shownRevision_ = scanner_.revision();
    // The audio the scanner has reached went in as long ago as is still queued behind it.
    const double now = static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    map_.Update(scanner_.listed(), now - scanner_.lagSeconds() - scanner_.seconds());
  }
  if (dialNow != shownDial_) {
    shownDial_ = std::move(dialNow);
    shownMap_ = 0;  // every row's frequency on air anew
  }
  Refresh();
  ShowNote();
}

// A row stays in place (and selected) while its station is listed; only its figures change,
// and the sorting keeps them in the order the operator chose.
void SignalBrowser::Refresh() {
  if (map_.revision() == shownMap_ && shownMap_ != 0) return;
  const uint64_t shown = shownMap_;
  shownMap_ = map_.revision();
  QHash<int, QTreeWidgetItem*> kept;
  std::vector<double> marks;
  for (const HeardStation& station : map_.stations()) {
    QTreeWidgetItem* item = rows_.take(station.key);
    const bool added = item == nullptr;
    if (added) {
      item = new Row;
      item->setData(kCallColumn, kKeyRole, station.key);
    }
    if (added || station.revision > shown || shown == 0) ShowRow(*item, station);
    if (added) list_->addTopLevelItem(item);
    kept.insert(station.key, item);
    if (station.heard()) marks.push_back(station.centreHz);
  }
  for (QTreeWidgetItem* gone : std::as_const(rows_)) delete gone;
  rows_ = std::move(kept);
  std::sort(marks.begin(), marks.end());
  if (scale_) scale_->SetSignalMarks(std::move(marks));
}

void SignalBrowser::ShowRow(QTreeWidgetItem& item, const HeardStation& station) const {
  const auto figure = [&item](int column, double value, int decimals) {
    item.setText(column, QString::number(value, 'f', decimals));
    item.setData(column, kSortRole, value);
    item.setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  };
  const bool reported = reported_ && !station.call.empty() && reported_(station.call);
  item.setText(kCallColumn,
               FromAirBytes(station.call) + (reported ? QStringLiteral(" \u2713") : QString()));
  item.setToolTip(kCallColumn, reported ? QStringLiteral("Reported to PSK Reporter") : QString());
  item.setText(kModeColumn, FromAirBytes(ModeTable(station.mode).name));
  figure(kAudioColumn, station.centreHz, 2);
  const QString onAir = OnAir(station.centreHz);
  item.setText(kRfColumn, onAir);
  item.setData(kRfColumn, kSortRole, onAir.isEmpty() ? QVariant() : QVariant(onAir.toDouble()));
  item.setTextAlignment(kRfColumn, Qt::AlignRight | Qt::AlignVCenter);
  figure(kSnrColumn, station.snrDb, 1);
  figure(kBestSnrColumn, station.bestSnrDb, 1);
  item.setText(kFirstColumn, TimeOfDay(station.firstHeard));
  item.setData(kFirstColumn, kSortRole, station.firstHeard);
  item.setText(kLastColumn, TimeOfDay(station.lastHeard));
  item.setData(kLastColumn, kSortRole, station.lastHeard);
  const std::string_view line = station.NewestLine(kLineShown);
  QString text = FromAirBytes(line);
  if (line.size() == kLineShown) text.prepend(u'\u2026');
  item.setText(kTextColumn, text);
  // A station no longer heard is greyed, as a control that is off.
  const QBrush ink = station.heard() ? list_->palette().brush(QPalette::Active, QPalette::Text)
                                     : list_->palette().brush(QPalette::Disabled, QPalette::Text);
  const QString tip =
      station.heard() ? QString()
                      : QStringLiteral("Not heard since %1 UTC").arg(TimeOfDay(station.lastHeard));
  for (int column = 0; column <= kTextColumn; ++column) {
    item.setForeground(column, ink);
    if (column != kCallColumn || !reported) item.setToolTip(column, tip);
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
    const auto silent = static_cast<int>(map_.stations().size()) - count;
    if (silent > 0) text += QStringLiteral(", %1 more heard before").arg(silent);
  }
  if (scanner_.droppedSeconds() > 0.0) {
    text += QStringLiteral("; %1 s of audio skipped").arg(scanner_.droppedSeconds(), 0, 'f', 0);
  }
  if (text != note_->text()) note_->setText(text);
}

void SignalBrowser::Tune(const QTreeWidgetItem* item) {
  // The mode buttons are locked while our own signal goes out, and so is this.
  const HeardStation* station = StationOf(item);
  if (station == nullptr || transmitting_) return;
  window_.TuneTo(station->centreHz, station->mode);
}

QMenu* SignalBrowser::RowMenu(QTreeWidgetItem* item) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  if (item != nullptr) list_->setCurrentItem(item);
  const HeardStation* station = StationOf(item);
  const QString call = station != nullptr && !station->call.empty() ? FromAirBytes(station->call)
                                                                    : QStringLiteral("it");
  QAction* tune =
      menu->addAction(QStringLiteral("&Tune to %1").arg(call), [this, item] { Tune(item); });
  tune->setEnabled(station != nullptr && !transmitting_);
  // The Station menu's own item: it takes the selected row's call, mode and frequency.
  QAction* logQso = window_.findChild<QAction*>(
      QStringLiteral("m%1").arg(static_cast<int>(StationServices::kLogQso)));
  QAction* log = menu->addAction(QStringLiteral("&Log QSO with %1...").arg(call), this,
                                 [logQso = QPointer<QAction>(logQso)] {
                                   if (logQso) logQso->trigger();
                                 });
  log->setEnabled(station != nullptr && logQso != nullptr && logQso->isEnabled());
  const int key = station != nullptr ? station->key : 0;
  QAction* copy = menu->addAction(QStringLiteral("&Copy its text"), this, [this, key] {
    for (const HeardStation& s : map_.stations()) {
      if (s.key == key) QGuiApplication::clipboard()->setText(FromAirBytes(s.Text()));
    }
  });
  copy->setEnabled(station != nullptr && !(station->earlier.empty() && station->latest.empty()));
  menu->addSeparator();
  menu->addAction(QStringLiteral("C&lear the stations no longer heard"), this,
                  [this] { ClearSilent(); });
  return menu;
}

void SignalBrowser::ClearSilent() {
  map_.Clear();
  Refresh();
  ShowNote();
}

}  // namespace vela::app
