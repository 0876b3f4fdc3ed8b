// Where the station keeps its settings (VELApreferences.INI, VELArig.INI), its receive log and
// its QSO log. Started in a folder that already holds a VELApreferences.INI, it goes on using
// that folder, as stations always have; otherwise (the desktop menu starts it in the home
// folder) they live in the user's configuration folder, vela-terminal/ under
// $XDG_CONFIG_HOME (~/.config by default). The window and the command line agree on it.
#pragma once

#include <string>

namespace vela {

inline constexpr const char* kPreferencesFileName = "VELApreferences.INI";
inline constexpr const char* kQsoLogFileName = "VELAlog.adi";

// `configHome` is $XDG_CONFIG_HOME, or ~/.config when that is unset. The configuration folder
// is made if it does not exist; if it cannot be, the start folder is used after all.
std::string SettingsFolder(const std::string& startFolder, const std::string& configHome);

// $XDG_CONFIG_HOME when set to an absolute path, else $HOME/.config.
std::string ConfigHome();

}  // namespace vela
