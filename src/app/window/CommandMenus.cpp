#include "app/window/CommandMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <array>

namespace vela::app {

QAction* AddCommandItem(QMenu* menu, const CommandEntry& entry, QObject* context,
                        const CommandRunner& run) {
  if (entry.separated) menu->addSeparator();
  const int id = CommandNumber(entry.id);
  QAction* action = menu->addAction(QString::fromLatin1(entry.caption));
  action->setObjectName(QStringLiteral("m%1").arg(id));
  action->setProperty("commandId", id);
  action->setCheckable(entry.checkable);
  if (entry.shortcut != nullptr)
    action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut)));
  QObject::connect(action, &QAction::triggered, context, [run, id] { run(id); });
  return action;
}

namespace {

// Puts '&' before a letter of each action's text no other action in `actions` has taken,
// the start of a word first, so every menu and item can be reached with the keyboard.
void AddMnemonics(const QList<QAction*>& actions) {
  QString used;
  for (QAction* action : actions) {
    const QString text = action->text();
    if (text.isEmpty() || text.contains(u'&')) continue;
    qsizetype chosen = -1;
    for (int wordStartsOnly = 1; wordStartsOnly >= 0 && chosen < 0; --wordStartsOnly) {
      for (qsizetype i = 0; i < text.size() && chosen < 0; ++i) {
        const bool wordStart = i == 0 || text[i - 1] == u' ';
        const QChar c = text[i].toLower();
        if (c.isLetter() && (wordStart || !wordStartsOnly) && !used.contains(c)) chosen = i;
      }
    }
    if (chosen < 0) continue;
    used += text[chosen].toLower();
    action->setText(text.left(chosen) + u'&' + text.mid(chosen));
  }
}

}  // namespace

void BuildMenuBar(QMenuBar* bar, QObject* context, const CommandRunner& run) {
  std::array<QMenu*, kMenuCount> menus{};
  for (size_t m = 0; m < menus.size(); ++m) {
    const QString title = QString::fromLatin1(MenuTitle(static_cast<CommandSite>(m)));
    menus[m] = bar->addMenu(title);
    menus[m]->setObjectName(QStringLiteral("menu ") + title);
  }
  for (const CommandEntry& entry : CommandTable()) {
    const auto menu = static_cast<size_t>(entry.site);
    if (menu < menus.size()) AddCommandItem(menus[menu], entry, context, run);
  }
  AddMnemonics(bar->actions());
  for (QMenu* menu : menus) AddMnemonics(menu->actions());
}

void BuildFunctionKeys(QWidget* window, const CommandRunner& run) {
  for (const CommandEntry& entry : CommandTable()) {
    if (entry.site != CommandSite::FunctionKey) continue;
    const int id = CommandNumber(entry.id);
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(entry.caption)), window);
    shortcut->setObjectName(QStringLiteral("k%1").arg(id));
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, window, [run, id] { run(id); });
  }
}

void RunPaneMenu(QWidget* parent, QPoint globalPos, bool paused, const CommandRunner& run) {
  QMenu menu(parent);
  for (const CommandEntry& entry : CommandTable()) {
    if (entry.site != CommandSite::PaneMenu) continue;
    QAction* action = AddCommandItem(&menu, entry, parent, run);
    if (entry.id == CommandId::PauseScreen) action->setChecked(paused);
  }
  AddMnemonics(menu.actions());
  menu.exec(globalPos);
}

}  // namespace vela::app
