// The PTT guard as the process it is, started from this test program as the front ends start
// it from theirs, releasing a real rigctld and a CM108 interface (its hidraw device a file
// the line shim passes off as one) when the program lets go of it keyed, and nothing else.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "PlatformTestSupport.h"
#include "platform/PttGuard.h"
#include "platform/RigControl.h"
#include "support/Rigctld.h"

namespace vela {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Whether `pid`, a child of this test, is still running (a zombie is reaped on the way).
bool Running(pid_t pid) {
  const pid_t reaped = waitpid(pid, nullptr, WNOHANG);
  return reaped == 0 || (reaped < 0 && errno != ECHILD && kill(pid, 0) == 0);
}

// Waits up to `seconds` for `done`.
bool Within(double seconds, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The guard's open descriptors, by number, once it has shed what it inherited.
std::set<std::string> Descriptors(pid_t pid) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

// One way of keying: the settings, and how the test sees whether the guard released it.
struct Method {
  std::string name;
  RigSettings settings;
  // Called with the rig keyed (or keyed and released): readies what `released` looks at.
  std::function<void(bool releasedFirst)> prepare;
  std::function<bool()> released;
};

TEST(PttGuard, ReleasesWhatWasLeftKeyedLeavesTheRestAndEndsWithTheProgram) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload == nullptr || std::string(preload).find("ptt_shim") == std::string::npos) {
    GTEST_SKIP() << "needs the line shim preloaded (run through ctest)";
  }
  test::Rigctld rigctld;
  ASSERT_TRUE(rigctld.running());
  RigSettings atRigctld;
  atRigctld.method = PttMethod::Rigctld;
  atRigctld.host = "127.0.0.1";
  atRigctld.port = rigctld.port();
  const std::string standIn = (test::ScratchDir("guard") / "hidraw").string();
  std::ofstream(standIn, std::ios::trunc).close();
  setenv("VELA_HIDRAW_STANDIN", standIn.c_str(), 1);
  RigSettings cm108;
  cm108.method = PttMethod::Cm108;
  cm108.hidrawDevice = standIn;
  const std::string releaseReport("\0\0\0\x04\0", 5);  // GPIO3 low
  const auto standInBytes = [&] {
    std::ifstream in(standIn, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  const Method methods[] = {
      // Released first, the rig is then keyed by another program sharing it: the guard must
      // leave that alone.
      {"rigctld", atRigctld,
       [&](bool releasedFirst) {
         if (releasedFirst) rigctld.Rigctl("T 1");
       },
       [&] { return rigctld.Rigctl("t") == "0"; }},
      // Emptied, the stand-in holds only what the guard writes: release reports.
      {"cm108", cm108, [&](bool) { fs::resize_file(standIn, 0); },
       [&] {
         const std::string bytes = standInBytes();
         std::string releases;
         while (releases.size() < bytes.size()) releases += releaseReport;
         return !bytes.empty() && bytes == releases;
       }},
  };
  // A descriptor of the program's that its children would inherit.
  int leaked[2];
  ASSERT_EQ(pipe(leaked), 0);
  for (const Method& m : methods) {
    for (const bool releasedFirst : {false, true}) {
      SCOPED_TRACE(m.name + (releasedFirst ? " released first" : " left keyed"));
      RigControl rig;
      ASSERT_TRUE(rig.Open(m.settings)) << rig.error();
      auto guard = std::make_unique<PttGuard>(m.settings);
      ASSERT_TRUE(guard->running()) << guard->error();
      const pid_t pid = guard->pid();
      // Standard input, output and error, and its socket: nothing else of ours.
      EXPECT_TRUE(Within(5, [&] { return Descriptors(pid).size() == 4; }));
      const std::set<std::string> fds = Descriptors(pid);
      EXPECT_EQ(fds.count(std::to_string(leaked[1])), 0u);
      // A Ctrl+C, a hang-up or a quit reaches the whole process group; the guard stays.
      for (const int s : {SIGINT, SIGHUP, SIGTERM, SIGQUIT}) kill(pid, s);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      EXPECT_TRUE(Running(pid));

      guard->Keying();
      ASSERT_TRUE(rig.Key(true)) << rig.error();
      if (releasedFirst) {
        ASSERT_TRUE(rig.Key(false)) << rig.error();
        guard->Released();
      }
      m.prepare(releasedFirst);
      const auto start = Clock::now();
      guard.reset();  // the program's end, as the guard sees it: its socket closes
      EXPECT_TRUE(Within(5, [&] { return !Running(pid); }));
      EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 2.0);
      EXPECT_EQ(m.released(), !releasedFirst);
      if (releasedFirst) {
        ASSERT_TRUE(rig.Key(false)) << rig.error();  // the other program's key, undone
      }
    }
  }
  close(leaked[0]);
  close(leaked[1]);
  unsetenv("VELA_HIDRAW_STANDIN");
}

}  // namespace
}  // namespace vela
