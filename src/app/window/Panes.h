// The window's three text panes: how each looks, and how characters from the modem land at
// the end of the receive and secondary panes.
#pragma once

#include <QColor>
#include <cstdint>

class QPlainTextEdit;
class QTextEdit;
class QWidget;

namespace vela::app {

QTextEdit* MakeReceivePane(QWidget* parent);
QTextEdit* MakeSecondaryPane(QWidget* parent);
QPlainTextEdit* MakeTransmitPane(QWidget* parent);

// The receive and secondary panes hold only what was heard, so they are read-only; a key
// typed into one of them is passed on to the transmit pane, where the operator's text goes.
void PassTypingOn(QTextEdit& readOnlyPane, QPlainTextEdit& transmitPane);

// One received or echoed character, by the pane rules the command line follows too: a
// carriage return starts a new line, a backspace takes the last character away.
void ShowOnReceivePane(QTextEdit& pane, uint8_t c, QColor colour);
// A secondary-channel character, in blue, as it comes.
void ShowOnSecondaryPane(QTextEdit& pane, uint8_t c);
// The receive pane turns pink while paused, so the operator sees why nothing new comes.
void ShowPaused(QTextEdit& receivePane, bool paused);
// While the operator looks back through a pane (finding a word in it), new text goes on at
// its end without moving the view or the selection there.
void HoldView(QTextEdit& pane, bool hold);

}  // namespace vela::app
