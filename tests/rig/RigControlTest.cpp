// The rig through the real Hamlib: its dummy rig in process, a real rigctld process on
// 127.0.0.1 (killed, stopped and restarted under the connection), and a CM108 interface
// whose hidraw device is a file that the line shim passes off as one.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "rig/RigControl.h"
#include "support/EventLoop.h"
#include "support/Rigctld.h"

namespace vela {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
// Generous beside RigControl's own two seconds: the machine may be loaded.
constexpr auto kNoHang = std::chrono::seconds(5);

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

RigSettings DummyCat() {
  RigSettings s;
  s.method = PttMethod::Cat;
  s.rigModel = kHamlibDummyModel;
  return s;
}

RigSettings AtRigctld(const test::Rigctld& rigctld) {
  RigSettings s;
  s.method = PttMethod::Rigctld;
  s.host = "127.0.0.1";
  s.port = rigctld.port();
  return s;
}

// The readings a poll has handed over, and on which thread.
struct Readings {
  void Attach(RigControl& rig, std::chrono::milliseconds interval) {
    rig.StartPolling(
        [this](const RigReading& r) {
          onOwnerThread = onOwnerThread && std::this_thread::get_id() == owner;
          all.push_back(r);
        },
        interval);
  }
  int Failures() const {
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](auto& r) { return !r.ok; }));
  }
  std::vector<RigReading> all;
  std::thread::id owner = std::this_thread::get_id();
  bool onOwnerThread = true;
};

void RunFor(int ms) {
  test::RunUntil([] { return false; }, ms);
}

TEST(RigControl, DummyRigTunesKeysAndReadsBackThroughTheWorker) {
  RigControl rig;
  ASSERT_TRUE(rig.Open(DummyCat())) << rig.error();
  for (const auto& [hz, mode] : {std::pair{136000.0, "USB"}, {475700.0, "LSB"}}) {
    ASSERT_TRUE(rig.SetDial(hz, mode)) << rig.error();
    const RigReading r = rig.ReadDial();
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.dialHz, hz);
    EXPECT_EQ(r.mode, mode);
  }
  bool keyed = true;
  ASSERT_TRUE(rig.ReadPtt(&keyed)) << rig.error();
  EXPECT_FALSE(keyed);
  for (const bool on : {true, false, true, false}) {
    ASSERT_TRUE(rig.Key(on)) << rig.error();
    ASSERT_TRUE(rig.ReadPtt(&keyed)) << rig.error();
    EXPECT_EQ(keyed, on);
  }
  EXPECT_FALSE(rig.SetDial(136000, "NOSUCHMODE"));
  EXPECT_NE(rig.error().find("no mode \"NOSUCHMODE\""), std::string::npos) << rig.error();
}

TEST(RigControl, ThePollReportsOnTheOwnersThreadAndNeverWhileKeyed) {
  RigControl rig;
  ASSERT_TRUE(rig.Open(DummyCat())) << rig.error();
  ASSERT_TRUE(rig.SetDial(137500, "USB"));
  Readings readings;
  readings.Attach(rig, std::chrono::milliseconds(40));
  ASSERT_TRUE(test::RunUntil([&] { return readings.all.size() >= 3; }));
  EXPECT_EQ(readings.all.back().dialHz, 137500);
  EXPECT_EQ(readings.all.back().mode, "USB");
  ASSERT_TRUE(rig.Key(true));
  RunFor(50);  // what was read before the key is still on its way
  const size_t beforeKey = readings.all.size();
  RunFor(800);  // twenty poll intervals keyed
  EXPECT_EQ(readings.all.size(), beforeKey);
  ASSERT_TRUE(rig.Key(false));
  EXPECT_TRUE(test::RunUntil([&] { return readings.all.size() > beforeKey + 2; }));
  EXPECT_TRUE(readings.onOwnerThread);
  EXPECT_EQ(readings.Failures(), 0);
  rig.StopPolling();
  RunFor(100);
  const size_t stopped = readings.all.size();
  RunFor(300);
  EXPECT_EQ(readings.all.size(), stopped);
}

TEST(RigControl, AFailedOpenNamesWhatFailedOnOneLineAndSendKeysNothing) {
  const fs::path dir = test::ScratchDir("rigfail");
  const std::string plainFile = (dir / "not-a-device").string();
  std::ofstream(plainFile) << "x";
  auto cat = [](int model, const std::string& device) {
    RigSettings s = DummyCat();
    s.rigModel = model;
    s.catDevice = device;
    return s;
  };
  auto cm108 = [](const std::string& device) {
    RigSettings s;
    s.method = PttMethod::Cm108;
    s.hidrawDevice = device;
    return s;
  };
  RigSettings closedPort;
  closedPort.method = PttMethod::Rigctld;
  closedPort.host = "127.0.0.1";
  closedPort.port = test::Rigctld::FreePort();
  RigSettings vox;
  vox.method = PttMethod::Vox;
  constexpr int kFt817 = 1020;
  const struct {
    RigSettings settings;
    std::string why;
  } cases[] = {
      {cat(99999, "/dev/ttyUSB0"), "Hamlib knows no rig model 99999"},
      {cat(kFt817, "/dev/nonexistent-cat"), "/dev/nonexistent-cat: no such device"},
      {cat(kFt817, ""), "no CAT serial device is set"},
      {cat(kFt817, plainFile), plainFile + " is not a serial device"},
      {cat(kFt817, "/dev/null"), "Yaesu FT-817 on /dev/null: the port refused its settings"},
      {closedPort, "rigctld is not running at 127.0.0.1:" + std::to_string(closedPort.port)},
      {cm108("/dev/nonexistent-hidraw"), "/dev/nonexistent-hidraw: no such device"},
      {cm108(plainFile), plainFile + " is not a hidraw device"},
      {vox, "needs no rig"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto start = Clock::now();
    RigControl rig;
    EXPECT_FALSE(rig.Open(c.settings));
    EXPECT_NE(rig.error().find(c.why), std::string::npos) << rig.error();
    EXPECT_EQ(rig.error().find('\n'), std::string::npos) << rig.error();
    EXPECT_FALSE(rig.Key(true));  // tried again, and still nothing is keyed
    EXPECT_FALSE(rig.error().empty());
    EXPECT_TRUE(rig.Key(false));  // nothing of ours is keyed
    EXPECT_LT(SecondsSince(start), 5.0);
  }
}

TEST(RigControl, Cm108KeysGpio3WithHidOutputReports) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload == nullptr || std::string(preload).find("ptt_shim") == std::string::npos) {
    GTEST_SKIP() << "needs the line shim preloaded (run through ctest)";
  }
  const std::string standIn = (test::ScratchDir("cm108") / "hidraw").string();
  std::ofstream(standIn, std::ios::trunc).close();
  setenv("VELA_HIDRAW_STANDIN", standIn.c_str(), 1);
  {
    RigControl rig;
    RigSettings s;
    s.method = PttMethod::Cm108;
    s.hidrawDevice = standIn;
    ASSERT_TRUE(rig.Open(s)) << rig.error();
    ASSERT_TRUE(rig.Key(true)) << rig.error();
    ASSERT_TRUE(rig.Key(false)) << rig.error();
    ASSERT_TRUE(rig.Key(true)) << rig.error();
  }  // going away keyed releases
  unsetenv("VELA_HIDRAW_STANDIN");
  std::ifstream in(standIn, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(bytes.size() % 5, 0u);
  // Each report: report number 0, then HID output bytes 0, GPIO data, GPIO direction
  // (GPIO3 an output), 0. PTT is GPIO3: data 0x04 keys, 0x00 releases.
  std::vector<bool> states;
  for (size_t i = 0; i < bytes.size(); i += 5) {
    const std::string report = bytes.substr(i, 5);
    EXPECT_TRUE(report == std::string("\0\0\x04\x04\0", 5) ||
                report == std::string("\0\0\0\x04\0", 5));
    const bool on = report[2] == 4;
    if (states.empty() ? on : states.back() != on) states.push_back(on);
  }
  EXPECT_EQ(states, (std::vector<bool>{true, false, true, false}));
}

TEST(Rigctld, KeysTheSharedRigAndReportsTheDialSetOnIt) {
  test::Rigctld rigctld;
  ASSERT_TRUE(rigctld.running());
  rigctld.Rigctl("F 136000 M USB 2400");  // the logger sharing the rig tunes it
  {
    RigControl rig;
    ASSERT_TRUE(rig.Open(AtRigctld(rigctld))) << rig.error();
    Readings readings;
    readings.Attach(rig, std::chrono::milliseconds(100));
    ASSERT_TRUE(test::RunUntil([&] { return !readings.all.empty(); }));
    EXPECT_TRUE(readings.all[0].ok) << readings.all[0].error;
    EXPECT_EQ(readings.all[0].dialHz, 136000);
    EXPECT_EQ(readings.all[0].mode, "USB");
    rigctld.Rigctl("F 475300 M LSB 2400");  // two commands: a poll may fall between them
    EXPECT_TRUE(test::RunUntil(
        [&] { return readings.all.back().dialHz == 475300 && readings.all.back().mode == "LSB"; }));
    ASSERT_TRUE(rig.Key(true)) << rig.error();
    EXPECT_EQ(rigctld.Rigctl("t"), "1");
    ASSERT_TRUE(rig.Key(false)) << rig.error();
    EXPECT_EQ(rigctld.Rigctl("t"), "0");
    ASSERT_TRUE(rig.Key(true)) << rig.error();
    EXPECT_EQ(rigctld.Rigctl("t"), "1");
  }  // closing the program keyed releases the rig
  EXPECT_EQ(rigctld.Rigctl("t"), "0");
}

TEST(Rigctld, KilledWhileIdleOrKeyedIsReportedOnceWithoutAHangAndFoundAgain) {
  auto rigctld = std::make_unique<test::Rigctld>();
  ASSERT_TRUE(rigctld->running());
  const int port = rigctld->port();
  RigControl rig;
  ASSERT_TRUE(rig.Open(AtRigctld(*rigctld))) << rig.error();
  Readings readings;
  readings.Attach(rig, std::chrono::milliseconds(100));
  ASSERT_TRUE(test::RunUntil([&] { return !readings.all.empty(); }));

  rigctld->Kill();  // while receiving
  ASSERT_TRUE(test::RunUntil([&] { return readings.Failures() > 0; }, 5000));
  const std::string reported = readings.all.back().error;
  EXPECT_NE(reported.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << reported;
  EXPECT_EQ(reported.find('\n'), std::string::npos);
  RunFor(1000);  // ten more tries, quietly
  EXPECT_EQ(readings.Failures(), 1);
  auto start = Clock::now();
  EXPECT_FALSE(rig.Key(true));  // SEND keys nothing and says why
  EXPECT_NE(rig.error().find("rigctld is not running at 127.0.0.1"), std::string::npos)
      << rig.error();
  EXPECT_LT(Clock::now() - start, kNoHang);

  rigctld = std::make_unique<test::Rigctld>(port);  // restarted where it was
  ASSERT_TRUE(rigctld->running());
  ASSERT_TRUE(test::RunUntil([&] { return readings.all.back().ok; }, 5000));
  ASSERT_TRUE(rig.Key(true)) << rig.error();
  EXPECT_EQ(rigctld->Rigctl("t"), "1");

  rigctld->Kill();  // while transmitting
  start = Clock::now();
  EXPECT_FALSE(rig.Key(false));
  EXPECT_NE(rig.error().find("releasing PTT failed: connection lost"), std::string::npos)
      << rig.error();
  EXPECT_LT(Clock::now() - start, kNoHang);
}

TEST(Rigctld, AStoppedRigctldHoldsNoCallPastTheBoundAndALateKeyIsReleased) {
  test::Rigctld rigctld;
  ASSERT_TRUE(rigctld.running());
  auto start = Clock::now();
  {
    RigControl rig;
    ASSERT_TRUE(rig.Open(AtRigctld(rigctld))) << rig.error();
    ASSERT_TRUE(rigctld.Stop());  // hung: the connection stands, nothing answers
    start = Clock::now();
    EXPECT_FALSE(rig.Key(true));
    EXPECT_FALSE(rig.error().empty());
    EXPECT_FALSE(rig.ReadDial().ok);
    EXPECT_LT(Clock::now() - start, 2 * kNoHang);
    rigctld.Signal(SIGCONT);  // it may now carry out the key it was sent before it hung
    ASSERT_TRUE(test::RunUntil([&] { return rig.ReadDial().ok; }, 10000)) << rig.error();
    RunFor(1500);  // a release is tried every poll interval until the rig answers
    EXPECT_EQ(rigctld.Rigctl("t"), "0");
    start = Clock::now();
  }
  EXPECT_LT(Clock::now() - start, kNoHang);
}

}  // namespace
}  // namespace vela
