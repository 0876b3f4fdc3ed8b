// Helpers for the device backends' tests (sound, PTT, rig): a scratch folder, and turning
// the event loop until something has happened (or a deadline passes, so no test can hang).
#pragma once

#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace vela::test {

inline std::filesystem::path ScratchDir(const std::string& name) {
  const char* base = std::getenv("VELA_TEST_TMP");
  std::filesystem::path dir = base != nullptr ? base : std::filesystem::temp_directory_path();
  dir /= name + "-" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

// Turns the event loop until `done` holds; false if `timeoutMs` passed first.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace vela::test
