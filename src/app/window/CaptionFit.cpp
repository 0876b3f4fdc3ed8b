#include "app/window/CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>

namespace vela::app {

namespace {

constexpr char kCaptionProperty[] = "caption";

// The room the style leaves for a button's text.
QSize ButtonRoom(const QAbstractButton& button) {
  QStyleOptionButton option;
  option.initFrom(&button);
  QStyle::SubElement element = QStyle::SE_PushButtonContents;
  if (qobject_cast<const QRadioButton*>(&button)) element = QStyle::SE_RadioButtonContents;
  if (qobject_cast<const QCheckBox*>(&button)) element = QStyle::SE_CheckBoxContents;
  return button.style()->subElementRect(element, &option, &button).size();
}

QSize LabelRoom(const QLabel& label) {
  QRect room = label.contentsRect();
  const int margin = label.margin();
  room.adjust(margin, margin, -margin, -margin);
  int indent = label.indent();
  if (indent < 0 && label.frameWidth() > 0) {
    indent = label.fontMetrics().horizontalAdvance(u'x') / 2;
  }
  return {room.width() - std::max(indent, 0), room.height()};
}

bool Fits(const QFont& font, const QStringList& lines, QSize room) {
  const QFontMetrics metrics(font);
  const int tall = metrics.height() + static_cast<int>(lines.size() - 1) * metrics.lineSpacing();
  if (tall > room.height() + 1) return false;
  for (const QString& line : lines) {
    if (metrics.horizontalAdvance(line) > room.width()) return false;
  }
  return true;
}

// The two lines of `text` split at the space that keeps the longer one shortest.
QStringList TwoLines(const QFont& font, const QString& text) {
  const QFontMetrics metrics(font);
  QStringList best;
  int bestWidth = INT_MAX;
  for (qsizetype i = text.indexOf(u' '); i > 0; i = text.indexOf(u' ', i + 1)) {
    const QStringList lines{text.left(i), text.mid(i + 1)};
    const int width =
        std::max(metrics.horizontalAdvance(lines[0]), metrics.horizontalAdvance(lines[1]));
    if (width < bestWidth) {
      bestWidth = width;
      best = lines;
    }
  }
  return best;
}

QFont BaseFont(const QWidget& w) {
  return w.parentWidget() ? w.parentWidget()->font() : w.font();
}

QFont WithPixels(QFont font, int px) {
  font.setPixelSize(px);
  return font;
}

}  // namespace

QString MacroCaption(int index, const QString& label) {
  const QString key = QStringLiteral("F%1").arg(index + 1);
  if (label == key || label.startsWith(key + u' ')) return label;
  return label.isEmpty() ? key : key + u' ' + label;
}

void SetFittedCaption(QAbstractButton& button, const QString& caption) {
  button.setProperty(kCaptionProperty, caption);
  // A screen reader reads the caption whole, however it is broken on the button.
  button.setAccessibleName(caption);
  FitCaption(button);
}

void FitCaption(QAbstractButton& button) {
  const QVariant kept = button.property(kCaptionProperty);
  if (!kept.isValid()) return;
  const QString caption = kept.toString();
  const QFont base = BaseFont(button);
  const int basePx = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
  const QSize room = ButtonRoom(button);
  // Whole on one line if a slightly smaller font allows, then over two lines.
  for (int twoLines = 0; twoLines < 2; ++twoLines) {
    for (int px = basePx; px >= kSmallestCaptionPx; --px) {
      const QFont font = WithPixels(base, px);
      const QStringList lines = twoLines ? TwoLines(font, caption) : QStringList{caption};
      if (lines.isEmpty() || !Fits(font, lines, room)) continue;
      button.setFont(font);
      button.setText(lines.join(u'\n'));
      return;
    }
  }
  const QFont smallest = WithPixels(base, kSmallestCaptionPx);
  button.setFont(smallest);
  button.setText(QFontMetrics(smallest).elidedText(caption, Qt::ElideRight, room.width()));
}

void FitLabel(QLabel& label, const QString& widest) {
  const QFont base = BaseFont(label);
  const int basePx = base.pixelSize() > 0 ? base.pixelSize() : QFontInfo(base).pixelSize();
  for (int px = basePx; px > kSmallestCaptionPx; --px) {
    if (Fits(WithPixels(base, px), {widest}, LabelRoom(label))) {
      label.setFont(WithPixels(base, px));
      return;
    }
  }
  label.setFont(WithPixels(base, kSmallestCaptionPx));
}

}  // namespace vela::app
