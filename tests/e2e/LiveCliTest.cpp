// vela-modem listen and send on real PortAudio devices: ALSA's file plugin over its null
// device gives a capture device that plays a raw file and a playback device that writes one.
// Both run as fast as they can; nothing of the machine's own sound cards is touched.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>
#include <vector>

#include "support/FullDisk.h"
#include "support/LoggerSocket.h"
#include "support/Rigctld.h"
#include "support/SpotCatcher.h"
#include "support/Vectors.h"

namespace vela {
namespace {

std::string Shell(const std::string& cmd, int* status = nullptr) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int raw = pclose(p);
  if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

// ALSA loads its device plugins with dlopen and unloads them before exit, after which the
// leak checker of a sanitizer build cannot tell their memory from ours and reports it. The
// sound-card code's own leaks are checked by the sound backends' tests, which keep the plugins
// loaded.
constexpr const char* kLeakCheckOff = "ASAN_OPTIONS=detect_leaks=0 ";

class LiveCli : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::ScratchDir("live-cli");
    env_ = "HOME=" + dir_ + " XDG_CONFIG_HOME=" + dir_ + " " + kLeakCheckOff;
    std::ofstream rc(dir_ + "/.asoundrc");
    rc << "pcm.velacap {\n type file\n slave.pcm \"null\"\n infile \"" << dir_
       << "/in.raw\"\n file \"/dev/null\"\n format \"raw\"\n}\n"
       << "pcm.velaplay {\n type file\n slave.pcm \"null\"\n file \"" << dir_
       << "/out.raw\"\n format \"raw\"\n}\n";
  }
  std::string Modem(const std::string& args, int* status = nullptr) {
    return Shell(env_ + VELA_MODEM_BIN + " " + args + " 2>" + dir_ + "/stderr.txt", status);
  }
  // The --device number vela-modem gives an ALSA device of ours.
  int DeviceIndex(const std::string& name) {
    const std::string list = Modem("devices");
    std::smatch m;
    if (!std::regex_search(list, m, std::regex("\\n\\s*(\\d+)\\s+" + name))) return -1;
    return std::stoi(m[1]);
  }
  // A playback device that throws the audio away, as fast as it is played.
  int NullDevice() {
    std::ofstream(dir_ + "/.asoundrc", std::ios::app)
        << "pcm.velanull {\n type file\n slave.pcm \"null\"\n file \"/dev/null\"\n format "
           "\"raw\"\n}\n";
    return DeviceIndex("velanull");
  }
  std::string Stderr() const {
    std::ifstream in(dir_ + "/stderr.txt");
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  std::string dir_, env_;
};

TEST_F(LiveCli, ListenCopiesARecordingPlayedIntoTheCaptureDevice) {
  int status = 0;
  // A screen-clearing sequence in the copy shows by name on standard output and in the log.
  Modem(
      "encode --mode 125 --tail-frames 8 --text 'live de G3XYZ\x1b[2J' --secondary "
      "'G3XYZ ' -o " +
          dir_ + "/a.wav",
      &status);
  ASSERT_EQ(status, 0);
  Modem("channel " + dir_ + "/a.wav " + dir_ + "/a8k.wav", &status);
  ASSERT_EQ(status, 0);
  {
    // Raw 16-bit samples for the plugin, padded: past its end it repeats old data.
    SF_INFO info{};
    SNDFILE* f = sf_open((dir_ + "/a8k.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<short> s(static_cast<size_t>(info.frames));
    sf_readf_short(f, s.data(), info.frames);
    sf_close(f);
    s.resize(s.size() + 200000, 0);
    std::ofstream raw(dir_ + "/in.raw", std::ios::binary);
    raw.write(reinterpret_cast<const char*>(s.data()), static_cast<std::streamsize>(s.size() * 2));
  }
  const int device = DeviceIndex("velacap");
  ASSERT_GE(device, 0);
  // Ended by SIGHUP (a closed terminal), it still writes the log and the secondary text, and
  // tells a logger goodbye.
  test::LoggerSocket logger;
  const std::string out =
      Shell(env_ + "timeout -s HUP 5 " + VELA_MODEM_BIN + " listen --mode 125 --device " +
            std::to_string(device) + " --freq 1000 --secondary-out " + dir_ + "/sec.txt --log " +
            dir_ + "/copy.log --udp " + logger.address() + " 2>/dev/null");
  EXPECT_NE(out.find("live de G3XYZ<ESC>[2J"), std::string::npos) << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  std::string decodes;
  int last = -1;
  while (const auto m = logger.Receive(0.5)) {
    last = test::LoggerSocket::Type(*m);
    if (last == 2) decodes += *m;
  }
  EXPECT_NE(decodes.find("live de G3XYZ"), std::string::npos) << decodes;
  EXPECT_EQ(last, 6);  // Close
  // The log holds the copy on RX lines stamped with UTC time, mode and frequency (the
  // text may be split across lines a few seconds long, so it is put back together).
  std::ifstream logFile(dir_ + "/copy.log");
  std::string line, copied;
  const std::regex kLine(
      R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\dZ  VELA125  1000\.0 Hz  (RX |SEC)  (.*)$)");
  while (std::getline(logFile, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, kLine)) << line;
    if (m[1] == "RX ") copied += m[2];
  }
  EXPECT_NE(copied.find("live de G3XYZ<ESC>[2J"), std::string::npos) << copied;
  EXPECT_EQ(copied.find('\x1b'), std::string::npos) << copied;
  std::ifstream sec(dir_ + "/sec.txt");
  std::string secondary((std::istreambuf_iterator<char>(sec)), {});
  // The plugin outruns real time and the capture queue overflows once it is full, so only
  // the start of the idle frames is sure to arrive; the secondary channel starts there.
  EXPECT_NE(secondary.find("G3X"), std::string::npos) << secondary;
}

// Copy that can reach neither the log (on a full disk) nor standard output ends listening with
// status 1 and the reason.
TEST_F(LiveCli, ListenEndsWhenItsCopyCannotBeWritten) {
  test::FullDisk disk(dir_ + "/disk");
  if (!disk.ok) GTEST_SKIP() << "mounting a tmpfs needs root";
  disk.Fill();
  // Noise, copied at squelch 0 by the standard receiver (the enhanced one stays quiet).
  Shell("head -c 400000 /dev/urandom >" + dir_ + "/in.raw");
  const int device = DeviceIndex("velacap");
  ASSERT_GE(device, 0);
  const std::string full = (disk.dir / "copy.log").string();
  const std::pair<std::string, std::string> cases[] = {
      {"--log " + full + " >/dev/null",
       "The receive log cannot be written to " + full + ": No space left on device"},
      {"--log " + dir_ + "/copy.log >/dev/full", "standard output: No space left on device"},
  };
  for (const auto& [args, reason] : cases) {
    int status = 0;
    Shell(env_ + "timeout -s INT 20 " + VELA_MODEM_BIN +
              " listen --receiver standard --squelch 0 --device " + std::to_string(device) + " " +
              args + " 2>" + dir_ + "/stderr.txt",
          &status);
    EXPECT_EQ(status, 1) << args;
    EXPECT_NE(Stderr().find("vela-modem: " + reason + "\n"), std::string::npos) << Stderr();
  }
}

TEST_F(LiveCli, SendPlaysATransmissionThatDecodes) {
  const int device = DeviceIndex("velaplay");
  ASSERT_GE(device, 0);
  int status = 0;
  Modem(
      "send --mode 125 --device " + std::to_string(device) + " --text 'sent through alsa de G3XYZ'",
      &status);
  ASSERT_EQ(status, 0);
  // The device runs faster than real time, so silence fills the gaps between refills; a
  // real MSK signal never holds zero for long, so long runs of zeros are dropped.
  std::vector<short> stereo;
  {
    std::ifstream in(dir_ + "/out.raw", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t frames = bytes.size() / 4;
    const short* s = reinterpret_cast<const short*>(bytes.data());
    size_t run = 0;
    std::vector<short> pending;
    for (size_t i = 0; i < frames; ++i) {
      const bool silent = s[2 * i] == 0 && s[2 * i + 1] == 0;
      pending.push_back(s[2 * i]);
      pending.push_back(s[2 * i + 1]);
      run = silent ? run + 1 : 0;
      if (!silent) {
        stereo.insert(stereo.end(), pending.begin(), pending.end());
        pending.clear();
      } else if (run > 32) {
        pending.clear();
      }
    }
  }
  ASSERT_GT(stereo.size(), 32000U * 2);
  SF_INFO info{};
  info.samplerate = 32000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open((dir_ + "/played.wav").c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  sf_writef_short(f, stereo.data(), static_cast<sf_count_t>(stereo.size() / 2));
  sf_close(f);
  const std::string text = Modem("decode --mode 125 " + dir_ + "/played.wav", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(text.find("sent through alsa de G3XYZ"), std::string::npos) << text;
}

TEST_F(LiveCli, SigtermInMidTransmissionReleasesPtt) {
  // A pseudo-terminal stands in for the PTT port; the line shim, preloaded, gives it DTR and
  // RTS and logs every change.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string port = ptsname(master);
  const int device = NullDevice();
  ASSERT_GE(device, 0);
  std::ofstream(dir_ + "/long.txt") << std::string(3000, 'x');  // minutes of VELA8
  const std::string log = dir_ + "/lines.log";
  int status = 0;
  const std::string result =
      Shell(env_ + "LD_PRELOAD=" + VELA_PTT_SHIM + " VELA_PTT_LOG=" + log +
                " ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 " + VELA_MODEM_BIN +
                " send --mode 8 --device " + std::to_string(device) + " --ptt " + port +
                " --text-file " + dir_ + "/long.txt >/dev/null 2>" + dir_ +
                "/send.err & pid=$!; sleep 2; kill -TERM $pid; "
                "wait $pid; echo $?",
            &status);
  close(master);
  EXPECT_EQ(result, "1\n");  // an interrupted transmission is not a success
  std::ifstream in(log);
  std::string lines((std::istreambuf_iterator<char>(in)), {});
  // Dropped at once after opening, raised for the transmission, dropped at its end.
  EXPECT_EQ(lines, "dtr off\nrts off\ndtr on\nrts on\ndtr off\nrts off\n");
}

// PTT through a real rigctld on 127.0.0.1: the shell watches the rig's PTT from outside, the
// way a logger sharing the rig would, while vela-modem sends.
class LiveCliRig : public LiveCli {
 protected:
  void SetUp() override {
    LiveCli::SetUp();
    ASSERT_TRUE(rigctld_.running());
    device_ = NullDevice();
    ASSERT_GE(device_, 0);
  }
  // Starts `send` in the background, waits (up to 20 s) for the rig to read keyed, then
  // runs `then` with the sender's pid in $pid, and prints "keyed" once it was seen keyed.
  std::string SendWhileWatching(int chars, const std::string& then) {
    std::ofstream(dir_ + "/text.txt") << std::string(static_cast<size_t>(chars), 'x');
    const std::string rigctl = "rigctl -m 2 -r " + rigctld_.address() + " t 2>/dev/null";
    return Shell(env_ + VELA_MODEM_BIN + " send --mode 8 --device " + std::to_string(device_) +
                 " --ptt rigctld:" + rigctld_.address() + " --text-file " + dir_ +
                 "/text.txt >/dev/null 2>" + dir_ + "/stderr.txt & pid=$!; " +
                 "for i in $(seq 200); do [ \"$(" + rigctl +
                 ")\" = 1 ] && echo keyed && break; sleep 0.1; done; " + then);
  }
  test::Rigctld rigctld_;
  int device_ = -1;
};

TEST_F(LiveCliRig, SendKeysTheRigWhileAudioGoesOutAndReleasesItAtTheEnd) {
  // About eight seconds of VELA8 on an idle machine: long enough to see it keyed.
  EXPECT_EQ(SendWhileWatching(600, "wait $pid; echo $?"), "keyed\n0\n") << Stderr();
  EXPECT_EQ(rigctld_.Rigctl("t"), "0");
}

// A logger's halt stops a transmission of minutes at once, and the rig is released.
TEST_F(LiveCliRig, AHaltFromALoggerStopsTheTransmissionAndReleasesTheRig) {
  test::LoggerSocket logger;
  bool keyed = false;
  std::thread halter([&] {
    // Halted once the station has said hello and the rig reads keyed.
    if (!logger.Receive(60)) return;
    for (int i = 0; i < 600 && !keyed; ++i) {
      keyed = rigctld_.Rigctl("t") == "1";
      if (!keyed) usleep(100000);
    }
    logger.Reply(test::LoggerSocket::Halt());
  });
  std::ofstream(dir_ + "/text.txt") << std::string(3000, 'x');  // hours of VELA8
  // Not halted within two minutes: killed, so the test fails rather than sends for hours.
  const std::string result =
      Shell(env_ + "timeout -s KILL 120 " + VELA_MODEM_BIN + " send --mode 8 --device " +
            std::to_string(device_) + " --ptt rigctld:" + rigctld_.address() + " --udp " +
            logger.address() + " --text-file " + dir_ + "/text.txt >/dev/null 2>" + dir_ +
            "/stderr.txt; echo $?");
  halter.join();
  EXPECT_TRUE(keyed);
  EXPECT_EQ(result, "1\n") << Stderr();
  EXPECT_NE(Stderr().find("halted by the logger"), std::string::npos) << Stderr();
  EXPECT_EQ(rigctld_.Rigctl("t"), "0");
}

// Each signal that can end `send` from a terminal or a script stops it and releases the rig,
// which reads unkeyed within two seconds; kill -9 too, through the guard, which then says
// so. The guard ends with the program.
TEST_F(LiveCliRig, EverySignalInMidTransmissionReleasesTheRig) {
  const std::string rigctl =
      "[ \"$(rigctl -m 2 -r " + rigctld_.address() + " t 2>/dev/null)\" = 0 ]";
  for (const std::string signal : {"HUP", "INT", "TERM", "QUIT", "KILL"}) {
    SCOPED_TRACE(signal);
    const std::string out = SendWhileWatching(
        3000, "guard=$(pgrep -P $pid -x vela-ptt-guard); kill -" + signal +
                  " $pid; t0=$(date +%s%N); for i in $(seq 100); do " + rigctl +
                  " && break; sleep 0.02; done; echo $((($(date +%s%N) - t0) / 1000000)); "
                  "wait $pid; echo $?; for i in $(seq 100); do "
                  "s=$(cut -d' ' -f3 /proc/$guard/stat 2>/dev/null); [ \"${s:-Z}\" = Z ] && break; "
                  "sleep 0.02; done; echo ${guard:+guard} ${s:-gone}");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out, m, std::regex("keyed\n(\\d+)\n(\\d+)\nguard (gone|Z)\n")))
        << out << Stderr();
    EXPECT_LT(std::stoi(m[1]), 2000);
    EXPECT_EQ(m[2], signal == "KILL" ? "137" : "1");
    const std::string err = Stderr();
    EXPECT_EQ(err, signal == "KILL"
                       ? "vela-ptt-guard: the program ended while it may have been "
                         "keyed; PTT released (rigctld at " +
                             rigctld_.address() + ")\n"
                       : "vela-modem: send: interrupted by SIG" + signal + "; PTT released\n");
    EXPECT_EQ(rigctld_.Rigctl("t"), "0");
  }
}

TEST_F(LiveCliRig, RigctldKilledInMidTransmissionHangsNothing) {
  // The sender is stopped a second after rigctld dies and must be gone within five more.
  const std::string result = SendWhileWatching(
      3000, "kill -KILL " + std::to_string(rigctld_.pid()) +
                "; sleep 1; kill -TERM $pid; "
                "for i in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; "
                "kill -0 $pid 2>/dev/null && { echo hung; kill -KILL $pid; }; wait $pid; echo $?");
  EXPECT_EQ(result, "keyed\n1\n") << Stderr();
}

TEST_F(LiveCliRig, RigPrintsTheDialOrNamesWhatFailed) {
  rigctld_.Rigctl("F 136000 M USB 2400");
  int status = -1;
  EXPECT_EQ(Modem("rig --ptt rigctld:" + rigctld_.address(), &status), "dial 136000 Hz mode USB\n");
  EXPECT_EQ(status, 0) << Stderr();
  const std::string closed = "127.0.0.1:" + std::to_string(test::Rigctld::FreePort());
  const struct {
    std::string args;
    int status;
    std::string why;
  } failures[] = {
      {"rig --ptt rigctld:" + closed, 1, "rigctld is not running at " + closed},
      {"rig --ptt cat:99999:/dev/ttyUSB0", 1, "rig: Hamlib knows no rig model 99999"},
      {"rig --ptt COM1", 2, "names no rig with a dial"},
      {"rig --ptt rigctld:host:port", 2, "port \"port\" is not 1 to 65535"},
      {"send --ptt cat:1020:/dev/nonexistent-cat --text x", 1,
       "PTT: /dev/nonexistent-cat: no such device"},
      {"send --ptt rigctld:" + closed + " --text x", 1, "PTT: rigctld is not running at"},
      {"send --tx-limit 1000 --text x", 2, "--tx-limit"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.args);
    EXPECT_EQ(Modem(f.args, &status), "");
    EXPECT_EQ(status, f.status);
    const std::string err = Stderr();
    EXPECT_NE(err.find(f.why), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  const std::string models = Modem("devices --rigs", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(models.rfind("1\tHamlib\tDummy\n2\tHamlib\tNET rigctl\n", 0), 0u) << models;
  EXPECT_GT(std::count(models.begin(), models.end(), '\n'), 100);
}

// Processes in real time through a PulseAudio server of the test's own, whose null sink's
// monitor is the default capture source: what one vela-modem plays, the others hear.
TEST(LiveCliPulse, SendInOneProcessIsCopiedByListenInAnother) {
#ifdef VELA_SANITIZED_BUILD
  // Real time is the point here, and the sanitizers slow both processes several-fold on a
  // machine that is also building; the plain build runs this copy.
  GTEST_SKIP() << "real-time copy is checked in the plain build";
#endif
  if (Shell("command -v pulseaudio pactl >/dev/null 2>&1; echo $?") != "0\n") {
    GTEST_SKIP() << "pulseaudio is not installed";
  }
  // A short path: the server's socket name must fit in a socket address.
  char pattern[] = "/tmp/vela-pulse-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::filesystem::create_directories(dir + "/run");
  std::filesystem::permissions(dir + "/run", std::filesystem::perms::owner_all);
  const std::string env = "HOME=" + dir + " XDG_RUNTIME_DIR=" + dir +
                          "/run XDG_CONFIG_HOME=" + dir + " " + kLeakCheckOff;
  int status = 0;
  Shell(env +
            "pulseaudio -D -n --exit-idle-time=-1 --load='module-null-sink sink_name=vela' "
            "--load=module-native-protocol-unix 2>/dev/null",
        &status);
  ASSERT_EQ(status, 0) << "could not start a PulseAudio server";
  Shell(env +
        "sh -c 'for i in 1 2 3 4 5 6 7 8 9 10; do pactl info >/dev/null 2>&1 && break; sleep 0.3; "
        "done; "
        "pactl set-default-sink vela; pactl set-default-source vela.monitor'");
  const std::string modem = env + VELA_MODEM_BIN;
  // Real time on a shared machine: a stall of the test host can drop audio, so a copy gets
  // three tries. The transmitter starts a second after both listeners are recording from the
  // server (a loaded machine can take several seconds to start them), and the words checked
  // come after a lead-in, as an operator's would; the listeners run 26 s, the transmission
  // about 10.
  // A scanning listener runs beside the tuned one: it prints the signal as it is listed and
  // sums up at the end, with the text.
  // Both report the station to their own spots server as they stop.
  std::string heard, scanned;
  test::SpotCatcher scanSpots, mainSpots;
  bool scanSpotted = false, mainSpotted = false;
  const auto spotted = [](test::SpotCatcher& catcher) {
    for (const test::IpfixMessage& m : catcher.Messages()) {
      for (const test::IpfixRecord& r : m.records)
        if (r.Text(30351, 1) == "G3XYZ" && r.Unsigned(30351, 5) == 472000u) return true;
    }
    return false;
  };
  const auto spot = [](test::SpotCatcher& catcher) {
    return " --spot --spot-to 127.0.0.1:" + std::to_string(catcher.port()) +
           " --call G4XYZ --locator IO91 --dial 473000 --sideband lsb";
  };
  const auto copied = [&] {
    return scanSpotted && mainSpotted && heard.find("pulse copy de G3XYZ") != std::string::npos &&
           scanned.find("freq 1000.00 mode VELA125 snr") == 0 &&
           scanned.find("call G3XYZ\n") != std::string::npos &&
           scanned.find("pulse copy de G3XYZ", scanned.find("\n\nfreq 1000.00 mode VELA125")) !=
               std::string::npos;
  };
  for (int attempt = 0; attempt < 3 && !copied(); ++attempt) {
    heard = Shell("(" + env + "timeout -s INT 26 " + VELA_MODEM_BIN + " listen --scan --device 0" +
                  spot(scanSpots) + " >" + dir + "/scan.txt 2>/dev/null) & (" + env +
                  "timeout -s INT 26 " + VELA_MODEM_BIN + " listen --mode 125 --device 0" +
                  spot(mainSpots) + " 2>/dev/null) & " + env +
                  "sh -c 'for i in $(seq 1 120); do [ $(pactl list short source-outputs "
                  "2>/dev/null | wc -l) -ge 2 ] && break; sleep 0.1; done; sleep 1'; " +
                  modem +
                  " send --mode 125 --device 0 --text 'CQ CQ CQ pulse copy de G3XYZ' "
                  "--secondary 'G3XYZ ' --tail-frames 6 >/dev/null 2>&1; wait");
    std::ifstream in(dir + "/scan.txt");
    scanned.assign(std::istreambuf_iterator<char>(in), {});
    scanSpotted = scanSpotted || spotted(scanSpots);
    mainSpotted = mainSpotted || spotted(mainSpots);
  }
  // The sound server killed under a listener: it ends at once with our reason alone (no
  // PortAudio assertion lines) and its log written, never hanging in the sound system's
  // close; a listener that did hang is killed by the timeout, failing the status check.
  int lostStatus = -1;
  Shell("(" + env + "timeout -s KILL 60 " + VELA_MODEM_BIN + " listen --squelch 0 --device 0 " +
            "--log " + dir + "/lost.log >/dev/null 2>" + dir + "/lost.txt) & sleep 4; kill -9 " +
            "$(cat " + dir + "/run/pulse/pid); wait $!",
        &lostStatus);
  std::ifstream lostErr(dir + "/lost.txt");
  const std::string lost((std::istreambuf_iterator<char>(lostErr)), {});
  Shell(env + "pulseaudio --kill 2>/dev/null");
  std::filesystem::remove_all(dir);
  EXPECT_NE(heard.find("pulse copy de G3XYZ"), std::string::npos) << heard;
  EXPECT_TRUE(copied()) << scanned;
  EXPECT_EQ(lostStatus, 1) << lost;
  EXPECT_EQ(lost.rfind("vela-modem: ", 0), 0u) << lost;
  EXPECT_EQ(std::count(lost.begin(), lost.end(), '\n'), 1) << lost;
  EXPECT_TRUE(scanSpotted);
  EXPECT_TRUE(mainSpotted);
}

}  // namespace
}  // namespace vela
