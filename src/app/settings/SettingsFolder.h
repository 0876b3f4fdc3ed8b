// Where the terminal keeps its settings (VELApreferences.INI, VELArig.INI) and its receive
// log. Started in a folder that already holds a VELApreferences.INI, it goes on using that
// folder, as stations always have; otherwise (the desktop menu starts it in the home folder)
// the settings live in the user's configuration folder, vela-terminal/ under
// $XDG_CONFIG_HOME (~/.config by default).
#pragma once

#include <QString>

namespace vela::app {

// `configHome` is $XDG_CONFIG_HOME, or ~/.config when that is unset. The configuration
// folder is made if it does not exist; if it cannot be, the start folder is used after all.
QString SettingsFolder(const QString& startFolder, const QString& configHome);

}  // namespace vela::app
