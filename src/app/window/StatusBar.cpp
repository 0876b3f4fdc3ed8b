#include "app/window/StatusBar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTimer>

#include "app/window/CaptionFit.h"

namespace vela::app {

namespace {

constexpr std::array<const char*, 6> kPartNames = {
    "Receive frequency", "Cursor frequency and level", "Tune and CWID", "Beacon mode", "Mode",
    "Date and time"};

// The longest text of each part: audio frequencies, or a dial read through a converter; a
// deep level; the longest month in local time.
constexpr std::array<const char*, 6> kWidest = {
    "3999.9 Hz",       "Cursor 3999.9 Hz, -100.0 dB", "Tune signal OFF",
    "Beacon mode OFF", "125 baud; Long interleave",   "30 September 2026 - 23:59:59 local time"};
constexpr std::array<const char*, 2> kWidestOnDial = {"10136.0000 kHz",
                                                      "Cursor 10136.0000 kHz, -100.0 dB"};

}  // namespace

StatusBar::StatusBar(QWidget* parent)
    : QFrame(parent), note_(new QLabel(this)), noteTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("c9999"));
  setAccessibleName(QStringLiteral("Status bar"));
  setAccessibleDescription(QStringLiteral("Frequencies, transmit notes, mode and time"));
  for (int i = 0; i < 6; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("c9999p%1").arg(i + 1));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setIndent(2);
    label->setAccessibleName(QString::fromLatin1(kPartNames[static_cast<size_t>(i)]));
    label->setAccessibleDescription(QStringLiteral("Status bar"));
    parts_[i] = label;
  }
  note_->setObjectName(QStringLiteral("c9999note"));
  note_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  note_->setIndent(2);
  note_->setAutoFillBackground(true);
  note_->hide();
  noteTimer_->setSingleShot(true);
  connect(noteTimer_, &QTimer::timeout, note_, &QLabel::hide);
}

QSize StatusBar::sizeHint() const {
  return {727, fontMetrics().height() + 8};
}

void StatusBar::ShowNote(const QString& text, int ms) {
  note_->setText(text);
  note_->show();
  note_->raise();
  noteTimer_->start(ms);
}

QString StatusBar::note() const {
  return note_->isVisible() ? note_->text() : QString();
}

std::array<int, 5> StatusBar::partWidths() const {
  // The frequencies and the tune and beacon notes take the room their longest texts need in
  // this font, so the clock keeps as much as it can; the mode line keeps the design's.
  const QFontMetrics metrics(font());
  std::array<int, 5> widths = kPartWidths;
  for (int i = 0; i < 4; ++i) {
    const char* widest = i < 2 && dial_ ? kWidestOnDial[static_cast<size_t>(i)] : kWidest[i];
    widths[i] = metrics.horizontalAdvance(QString::fromLatin1(widest)) +
                2 * parts_[i]->frameWidth() + 2 * parts_[i]->indent() + 4;
  }
  return widths;
}

void StatusBar::SetDialReadouts(bool on) {
  if (on == dial_) return;
  dial_ = on;
  Relayout();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  Relayout();
  QFrame::resizeEvent(event);
}

void StatusBar::Relayout() {
  const std::array<int, 5> widths = partWidths();
  int x = 0;
  const int h = height() - 2;
  for (int i = 0; i < 6; ++i) {
    const int w = i < 5 ? widths[i] : std::max(0, width() - x);
    parts_[i]->setGeometry(x, 2, w, h);
    x += w;
  }
  // The widest each part will show, so a long month or mode line is never cut off.
  for (int i = 4; i < 6; ++i) FitLabel(*parts_[i], QString::fromLatin1(kWidest[i]));
  note_->setGeometry(widths[0], 2, std::max(0, width() - widths[0]), h);
}

}  // namespace vela::app
