// The PTT guard as the process it is, started from this test program as the front ends start
// it from theirs, in front of a real rigctld.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "rig/PttGuard.h"
#include "rig/RigControl.h"
#include "support/Rigctld.h"

namespace vela {
namespace {

using Clock = std::chrono::steady_clock;

// A guard the program's end finds left keyed releases the rig, within two seconds, and ends;
// one told of the release leaves the rig alone (here keyed again by another program sharing
// it) and ends at once. Meanwhile it holds nothing of the program's but its socket, and the
// signals a terminal sends the whole process group leave it running.
TEST(PttGuard, ReleasesWhatWasLeftKeyedAndNothingElseThenEnds) {
  test::Rigctld rigctld;
  ASSERT_TRUE(rigctld.running());
  RigSettings settings;
  settings.method = PttMethod::Rigctld;
  settings.host = "127.0.0.1";
  settings.port = rigctld.port();
  int inherited[2];  // a descriptor of the program's that its children would inherit
  ASSERT_EQ(pipe(inherited), 0);
  for (const bool releasedFirst : {false, true}) {
    SCOPED_TRACE(releasedFirst ? "released first" : "left keyed");
    RigControl rig;
    ASSERT_TRUE(rig.Open(settings)) << rig.error();
    auto guard = std::make_unique<PttGuard>(settings);
    ASSERT_TRUE(guard->running()) << guard->error();
    const pid_t pid = guard->pid();
    const auto until = [](double seconds, auto done) {
      const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
      while (!done() && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      return done();
    };
    // Standard input, output and error, and the socket: not the pipe, nor anything else.
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    EXPECT_TRUE(until(5, [&] {
      return std::distance(std::filesystem::directory_iterator(fds),
                           std::filesystem::directory_iterator()) == 4;
    }));
    for (const int s : {SIGINT, SIGHUP, SIGTERM, SIGQUIT}) kill(pid, s);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "a signal ended the guard";

    guard->Keying();
    ASSERT_TRUE(rig.Key(true)) << rig.error();
    if (releasedFirst) {
      ASSERT_TRUE(rig.Key(false)) << rig.error();
      guard->Released();
      rigctld.Rigctl("T 1");
    }
    const auto start = Clock::now();
    guard.reset();  // as the program's end shows to the guard: its socket closes
    const auto ended = [&] { return waitpid(pid, nullptr, WNOHANG) != 0; };
    EXPECT_TRUE(until(5, ended));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(rigctld.Rigctl("t"), releasedFirst ? "1" : "0");
    rigctld.Rigctl("T 0");
  }
  close(inherited[0]);
  close(inherited[1]);
}

}  // namespace
}  // namespace vela
