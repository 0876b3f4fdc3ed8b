#include "station/SettingsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vela {

namespace fs = std::filesystem;

std::string SettingsFolder(const std::string& startFolder, const std::string& configHome) {
  std::error_code error;
  const fs::path start = fs::absolute(startFolder, error).lexically_normal();
  const auto plain = [](const fs::path& p) {
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
  };
  if (fs::exists(start / kPreferencesFileName, error)) return plain(start);
  const fs::path folder = fs::absolute(fs::path(configHome) / "vela-terminal", error);
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return plain(start);
  return plain(folder.lexically_normal());
}

std::string ConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

}  // namespace vela
