// The menu bar, the receive pane's context menu and the function keys, built from the
// command table. Each item or key runs its command id through the window's `run`.
#pragma once

#include <QPoint>
#include <functional>

#include "app/window/Commands.h"

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class QWidget;

namespace vela::app {

using CommandRunner = std::function<void(int id)>;

// Item "m<id>" in `menu`, run within `context`'s lifetime.
QAction* AddCommandItem(QMenu* menu, const CommandEntry& entry, QObject* context,
                        const CommandRunner& run);
void BuildMenuBar(QMenuBar* bar, QObject* context, const CommandRunner& run);
// Keys F1 to F10 of `window` (shortcuts "k<id>"), not repeated while held.
void BuildFunctionKeys(QWidget* window, const CommandRunner& run);
// Runs the receive pane's menu at `globalPos`; its Pause item is ticked when `paused`.
void RunPaneMenu(QWidget* parent, QPoint globalPos, bool paused, const CommandRunner& run);

}  // namespace vela::app
