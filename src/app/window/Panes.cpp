#include "app/window/Panes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "app/TextCodec.h"
#include "rx/ReceivePane.h"

namespace vela::app {

namespace {

// Ctrl+Tab typed into a pane whose Tab moves the focus on: a tab character after all.
class TabKey : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Tab || key->modifiers() != Qt::ControlModifier) return false;
    static_cast<QPlainTextEdit*>(watched)->insertPlainText(QStringLiteral("\t"));
    return true;
  }
};

const QColor kReceivePaneBase(255, 250, 250);
const QColor kPausedBase(255, 192, 203);

QFont Monospace(int points) {
  QFont font(QStringLiteral("Courier"));
  font.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                    QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono"),
                    QStringLiteral("Monospace")});
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  font.setPointSize(points);
  return font;
}

void SetBase(QWidget* widget, QColor base, QColor text = Qt::black) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::Text, text);
  widget->setPalette(palette);
}

constexpr char kHoldView[] = "velaHoldView";

void AppendToPane(QTextEdit& pane, QChar c, QColor colour) {
  QTextCursor cursor = pane.textCursor();
  cursor.movePosition(QTextCursor::End);
  QTextCharFormat format;
  format.setForeground(colour);
  cursor.insertText(QString(c), format);
  if (pane.property(kHoldView).toBool()) return;
  pane.setTextCursor(cursor);
  pane.ensureCursorVisible();
}

// Keys that only look or select (arrows, page keys, Ctrl+C, Ctrl+A) stay with the pane;
// anything that would write is the transmit pane's.
class TypingForwarder : public QObject {
 public:
  TypingForwarder(QPlainTextEdit& target, QObject* parent) : QObject(parent), target_(target) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (!Writes(*key)) return false;
    target_.setFocus();
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   static_cast<ushort>(key->count()));
    QApplication::sendEvent(&target_, &copy);
    return true;
  }

 private:
  static bool Writes(QKeyEvent& key) {
    if (key.matches(QKeySequence::Paste) || key.matches(QKeySequence::Cut)) return true;
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
      return false;
    }
    switch (key.key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Backspace:
      case Qt::Key_Delete:
        return true;
      default:
        return !key.text().isEmpty() && key.text().at(0).isPrint();
    }
  }

  QPlainTextEdit& target_;
};

void MakeReadOnly(QTextEdit* pane) {
  pane->setReadOnly(true);
  // Still selectable from the keyboard, so copy works without a mouse.
  pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

}  // namespace

void PassTypingOn(QTextEdit& readOnlyPane, QPlainTextEdit& transmitPane) {
  readOnlyPane.installEventFilter(new TypingForwarder(transmitPane, &readOnlyPane));
}

QTextEdit* MakeReceivePane(QWidget* parent) {
  auto* pane = new QTextEdit(parent);
  pane->setAcceptRichText(true);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  SetBase(pane, kReceivePaneBase);
  pane->setFont(Monospace(11));
  pane->setTextColor(QColor(0, 128, 0));
  MakeReadOnly(pane);
  return pane;
}

QTextEdit* MakeSecondaryPane(QWidget* parent) {
  auto* pane = new QTextEdit(parent);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  pane->setLineWrapMode(QTextEdit::NoWrap);
  pane->document()->setDocumentMargin(1);
  SetBase(pane, QColor(255, 228, 225));
  pane->setTextColor(QColor(0, 128, 0));
  MakeReadOnly(pane);
  return pane;
}

QPlainTextEdit* MakeTransmitPane(QWidget* parent) {
  auto* pane = new QPlainTextEdit(parent);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SetBase(pane, QColor(255, 255, 224), Qt::black);
  // The receive pane's size: a 6-point face is a few pixels tall on a desktop screen, too
  // small to check a callsign before it goes out.
  pane->setFont(Monospace(11));
  // Tab moves on to the buttons, as in any form; Ctrl+Tab puts a tab into the text.
  pane->setTabChangesFocus(true);
  pane->installEventFilter(new TabKey(pane));
  return pane;
}

void ShowOnReceivePane(QTextEdit& pane, uint8_t c, QColor colour) {
  const uint8_t shown = PaneCharacter(c);
  if (shown != kBackspace) {
    AppendToPane(pane, FromAir(shown), colour);
    return;
  }
  QTextCursor cursor = pane.textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.deletePreviousChar();
  if (pane.property(kHoldView).toBool()) return;
  pane.setTextCursor(cursor);
  pane.ensureCursorVisible();
}

void ShowOnSecondaryPane(QTextEdit& pane, uint8_t c) {
  AppendToPane(pane, FromAir(c), QColor(0, 0, 255));
}

void HoldView(QTextEdit& pane, bool hold) {
  pane.setProperty(kHoldView, hold);
}

void ShowPaused(QTextEdit& receivePane, bool paused) {
  SetBase(&receivePane, paused ? kPausedBase : kReceivePaneBase);
}

}  // namespace vela::app
