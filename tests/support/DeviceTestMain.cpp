// The device backends' tests (sound, PTT, rig) need an event loop (device events come
// through Qt's queue) and the modem-line shim loaded ahead of everything, so the process
// starts itself again with it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rig/PttGuard.h"

int main(int argc, char** argv) {
  // The guard tests start guards from this program, as the front ends do from theirs.
  if (const auto guardStatus = vela::RunPttGuardIfAsked(argc, argv)) return *guardStatus;
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload == nullptr || std::strstr(preload, "ptt_shim") == nullptr) {
    setenv("LD_PRELOAD", VELA_PTT_SHIM, 1);
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string options = asan != nullptr ? std::string(asan) + ":" : std::string();
    setenv("ASAN_OPTIONS", (options + "verify_asan_link_order=0").c_str(), 1);
    execv("/proc/self/exe", argv);  // on failure the serial tests skip themselves
  }
  setenv("VELA_TEST_TMP", VELA_PLATFORM_TEST_TMP, 0);
  setenv("JACK_NO_START_SERVER", "1", 1);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
