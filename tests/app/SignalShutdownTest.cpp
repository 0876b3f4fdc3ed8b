// The terminal as a process: a signal ends it within two seconds whatever box or dialog is
// open (the start-up warning, the save-failure box, every dialog of the menus, a box while
// on air), with PTT released, the settings written and the signal's status; a rig keyed
// through rigctld is released on every signal and after a kill -9; a macro defined a
// moment before a kill -9 is there for the next start; and on a full disk the old
// settings files stay whole and the operator is told.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/settings/Preferences.h"
#include "support/FullDisk.h"
#include "support/Rigctld.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// By the signal, or (when the output's close had already ended the window) with status 0.
bool EndedCleanly(int status) {
  return (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) ||
         (WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

fs::path Scratch(const std::string& name) {
  fs::path dir =
      fs::temp_directory_path() / ("vela-signal-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// One run of the terminal probe in `dir`, its output read line by line.
class Probe {
 public:
  Probe(const fs::path& dir, const std::string& settings, std::vector<std::string> args,
        const std::string& pttLog) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      if (chdir(dir.c_str()) != 0) _exit(127);
      const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err >= 0) dup2(err, 2);
      setenv("HOME", dir.c_str(), 1);
      setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("LD_PRELOAD", VELA_PTT_SHIM, 1);
      setenv("VELA_PTT_LOG", pttLog.c_str(), 1);
      // ALSA's plugins are unloaded before exit, where the leak checker cannot tell them
      // from ours; the sound code's own leaks are checked by the sound backends' tests.
      setenv("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0", 1);
      // Room for a (small) core file, so a signal that would leave one is seen to.
      rlimit core{};
      getrlimit(RLIMIT_CORE, &core);
      core.rlim_cur = std::min<rlim_t>(64 * 1024, core.rlim_max);
      setrlimit(RLIMIT_CORE, &core);
      std::vector<char*> argv{const_cast<char*>(VELA_TERMINAL_PROBE),
                              const_cast<char*>(settings.c_str())};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(VELA_TERMINAL_PROBE, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = fdopen(out[0], "r");
  }
  ~Probe() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) fclose(out_);
  }
  // Reads lines until one starts with `prefix`; false at the end.
  bool WaitFor(const std::string& prefix, std::string* line = nullptr) {
    char buffer[512];
    while (out_ && fgets(buffer, sizeof buffer, out_)) {
      const std::string got(buffer);
      output_ += got;
      if (got.rfind(prefix, 0) == 0) {
        if (line) *line = got;
        return true;
      }
    }
    return false;
  }
  // Sends `signal` and waits for the end; the time it took, and how the process ended.
  std::chrono::milliseconds Signal(int signal, int* status) {
    const auto start = Clock::now();
    kill(pid_, signal);
    for (int i = 0; i < 1000; ++i) {
      if (waitpid(pid_, status, WNOHANG) == pid_) {
        reaped_ = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  }
  const std::string& output() const { return output_; }
  void Send(int signal) const { kill(pid_, signal); }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  bool reaped_ = false;
  std::string output_;
};

class SignalShutdownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = Scratch(::testing::UnitTest::GetInstance()->current_test_info()->name());
    pttLog_ = (dir_ / "lines.log").string();
    // A sound card that takes everything and records silence: ALSA's null device.
    std::ofstream(dir_ / ".asoundrc") << "pcm.!default { type null }\n";
    // PTT on a pseudo-terminal, whose lines the shim keeps and logs.
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    std::ofstream(dir_ / "VELArig.INI") << "method=serial\npttdevice=" << ptsname(master_) << "\n";
  }
  void TearDown() override {
    if (master_ >= 0) close(master_);
    fs::remove_all(dir_);
  }
  // Starts the probe, waits for `ready`, and checks that SIGTERM ends it within 2 s, with PTT
  // not left keyed.
  void ExpectSignalEnds(const std::string& settings, std::vector<std::string> args,
                        const std::string& ready, const std::string& modal) {
    Probe probe(dir_, settings, std::move(args), pttLog_);
    std::string line;
    ASSERT_TRUE(probe.WaitFor(ready)) << probe.output();
    ASSERT_TRUE(probe.WaitFor("modal", &line)) << probe.output();
    ASSERT_EQ(line.rfind("modal none", 0), std::string::npos) << "no box opened";
    EXPECT_NE(line.find(modal), std::string::npos) << line;
    int status = 0;
    const auto took = probe.Signal(SIGTERM, &status);
    EXPECT_LT(took.count(), 2000) << probe.output();
    EXPECT_TRUE(EndedCleanly(status)) << "status " << status;
    const std::string lines = ReadAll(pttLog_);
    if (!lines.empty()) {
      EXPECT_TRUE(lines.size() >= 16 &&
                  lines.compare(lines.size() - 16, 16, "dtr off\nrts off\n") == 0)
          << lines;
    }
  }
  fs::path dir_;
  std::string pttLog_;
  int master_ = -1;
};

TEST_F(SignalShutdownTest, EndsWithTheStartUpWarningOpen) {
  fs::create_directories(dir_ / "VELApreferences.INI");  // a folder: unreadable settings
  ExpectSignalEnds("VELApreferences.INI", {}, "starting", "QMessageBox");
}

TEST_F(SignalShutdownTest, EndsWithTheSaveFailureBoxOpen) {
  ExpectSignalEnds("missing/VELApreferences.INI", {"--close"}, "opening", "QMessageBox");
}

// Every dialog the menus and the right-click open, one after another.
TEST_F(SignalShutdownTest, EndsWithAnyDialogOpen) {
  const std::vector<std::pair<std::string, std::string>> dialogs = {
      {"--command", "1602"}, {"--command", "120"},  {"--command", "121"},  {"--command", "3911"},
      {"--command", "3252"}, {"--command", "1002"}, {"--command", "3220"}, {"--command", "672"},
      {"--command", "1701"}, {"--context", "9310"}, {"--context", "9319"}};
  for (const auto& [how, id] : dialogs) {
    SCOPED_TRACE(how + " " + id);
    ExpectSignalEnds("VELApreferences.INI", {how, id}, "opening", "");
    // The settings were written on the way out.
    EXPECT_TRUE(fs::exists(dir_ / "VELApreferences.INI"));
    fs::remove(dir_ / "VELApreferences.INI");
  }
}

// A new station listens with the enhanced receiver and transmits where it receives; the
// mode, those choices and the waterfall's in the station file come back at the next start
// and are kept.
TEST_F(SignalShutdownTest, TheStationFileKeepsTheModeAndTheReceiver) {
  std::ofstream(dir_ / "VELApreferences.INI") << "";
  const std::string chosen =
      "mode=VELA125\nreceiver=standard\ntxfollows=off\nwfzoom=16\nwfline=512\nwfgain=6\n"
      "wfrange=72\n";
  for (const std::string& before : {std::string(), chosen}) {
    if (!before.empty()) std::ofstream(dir_ / "VELAstation.INI") << "locator=IO91\n" << before;
    {
      Probe probe(dir_, "VELApreferences.INI", {"--close"}, pttLog_);
      ASSERT_TRUE(probe.WaitFor("opening")) << probe.output();
      probe.WaitFor("the end of its output");
    }
    const std::string after = ReadAll(dir_ / "VELAstation.INI");
    const std::string expected =
        before.empty()
            ? "mode=VELA63\nreceiver=enhanced\ntxfollows=on\nwfzoom=1\nwfline=1024\nwfgain=0\n"
              "wfrange=48\n"
            : chosen;
    EXPECT_NE(after.find(expected), std::string::npos) << after;
    EXPECT_EQ(after.find("locator=IO91") != std::string::npos, !before.empty()) << after;
  }
}

TEST_F(SignalShutdownTest, EndsOnAirWithABoxOpenAndPttReleased) {
  std::ofstream(dir_ / "VELApreferences.INI") << "";
  Probe probe(dir_, "VELApreferences.INI", {"--send", "--command", "1701"}, pttLog_);
  std::string line;
  ASSERT_TRUE(probe.WaitFor("on-air")) << probe.output();
  ASSERT_TRUE(probe.WaitFor("modal", &line)) << probe.output();
  EXPECT_NE(line.find("AboutDialog"), std::string::npos) << line;
  EXPECT_NE(ReadAll(pttLog_).find("dtr on\nrts on\n"), std::string::npos) << ReadAll(pttLog_);
  int status = 0;
  const auto took = probe.Signal(SIGTERM, &status);
  EXPECT_LT(took.count(), 2000);
  EXPECT_TRUE(EndedCleanly(status)) << "status " << status;
  const std::string lines = ReadAll(pttLog_);
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(lines.substr(lines.size() - 16), "dtr off\nrts off\n") << lines;
}

// On air with the rig behind a real rigctld, each signal that ends the terminal leaves the
// rig unkeyed within two seconds with the signal's status, a quit leaving no core file; the
// terminal released it itself, and after a kill -9 the guard did.
TEST_F(SignalShutdownTest, EverySignalOnAirReleasesTheRig) {
  vela::test::Rigctld rigctld;
  ASSERT_TRUE(rigctld.running());
  std::ofstream(dir_ / "VELArig.INI")
      << "method=rigctld\nhost=127.0.0.1\nport=" << rigctld.port() << "\n";
  const std::string guardSays = "vela-ptt-guard: the program ended while it may have been keyed";
  for (const int signal : {SIGQUIT, SIGHUP, SIGINT, SIGTERM, SIGKILL}) {
    SCOPED_TRACE(sigabbrev_np(signal));
    std::ofstream(dir_ / "VELApreferences.INI") << "";
    Probe probe(dir_, "VELApreferences.INI", {"--send"}, pttLog_);
    ASSERT_TRUE(probe.WaitFor("on-air")) << probe.output();
    ASSERT_EQ(rigctld.Rigctl("t"), "1");
    const auto start = Clock::now();
    probe.Send(signal);
    while (rigctld.Rigctl("t") != "0" && Clock::now() - start < std::chrono::seconds(5)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    int status = 0;
    probe.Signal(0, &status);  // waits for the end
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
    EXPECT_FALSE(WCOREDUMP(status));
    // The guard says so once it has released; a late word goes to the renamed file.
    while (signal == SIGKILL && ReadAll(dir_ / "stderr.txt").find(guardSays) == std::string::npos &&
           Clock::now() - start < std::chrono::seconds(5)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    fs::rename(dir_ / "stderr.txt", dir_ / "stderr.old");
    EXPECT_EQ(ReadAll(dir_ / "stderr.old").find(guardSays) != std::string::npos, signal == SIGKILL);
  }
}

TEST_F(SignalShutdownTest, AMacroDefinedBeforeAKillIsThereAtTheNextStart) {
  Probe probe(dir_, "VELApreferences.INI", {"--macro", "Ant", "Antenna is a 30 m L"}, pttLog_);
  ASSERT_TRUE(probe.WaitFor("defined")) << probe.output();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the keeper checks each second
  int status = 0;
  probe.Signal(SIGKILL, &status);
  const auto p =
      vela::app::Preferences::Load(QString::fromStdString((dir_ / "VELApreferences.INI").string()));
  EXPECT_EQ(p.macros[0].label.toStdString(), "Ant");
  EXPECT_EQ(p.macros[0].text.toStdString(), "Antenna is a 30 m L");
}

// A macro defined with the settings folder on a full disk cannot be saved: the old files keep
// their contents, within a second of the change and after the end, and the operator is told.
TEST_F(SignalShutdownTest, AFullDiskKeepsTheOldSettingsAndTellsTheOperator) {
  vela::test::FullDisk disk(dir_ / "disk");
  if (!disk.ok) GTEST_SKIP() << "mounting a tmpfs needs root";
  const fs::path settings = disk.dir / "VELApreferences.INI", rig = disk.dir / "VELArig.INI";
  std::ofstream(settings) << "\"Old\",\"old macro\"\r\n";
  fs::copy_file(dir_ / "VELArig.INI", rig);
  const std::string before = ReadAll(settings) + ReadAll(rig);
  disk.Fill();
  Probe probe(dir_, "disk/VELApreferences.INI", {"--macro", "New", "new macro"}, pttLog_);
  std::string line;
  ASSERT_TRUE(probe.WaitFor("defined")) << probe.output();
  // Past the start-up's word that no box opened, and the receive log's box (the null card's
  // silence copies as noise), which may come first.
  while (probe.WaitFor("modal", &line) && line.find("Could not save") == std::string::npos) {
  }
  EXPECT_NE(line.find("Could not save the settings to " + settings.string() +
                      ": No space left on device. The previous file is unchanged."),
            std::string::npos)
      << line;
  EXPECT_EQ(ReadAll(settings) + ReadAll(rig), before);
  int status = 0;
  probe.Signal(SIGTERM, &status);  // the settings are written on the way out, if they can be
  EXPECT_TRUE(EndedCleanly(status)) << "status " << status;
  EXPECT_EQ(ReadAll(settings) + ReadAll(rig), before);
  for (const auto& entry : fs::directory_iterator(disk.dir))
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
}

}  // namespace
