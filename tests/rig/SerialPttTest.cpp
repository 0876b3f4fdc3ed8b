// PTT on a real QSerialPort: a pseudo-terminal stands in for the port, and the line shim
// loaded into this test (LD_PRELOAD) records every change of DTR and RTS.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "audio/WavFileDevices.h"
#include "rig/SerialPtt.h"
#include "station/TransmitController.h"
#include "support/EventLoop.h"
#include "support/TransmitWatch.h"

namespace vela {
namespace {

namespace fs = std::filesystem;

class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
  }
  ~PseudoTerminal() {
    if (master_ >= 0) close(master_);
  }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
};

class SerialPttTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("LD_PRELOAD") == nullptr ||
        std::string(std::getenv("LD_PRELOAD")).find("ptt_shim") == std::string::npos) {
      GTEST_SKIP() << "needs the line shim preloaded (run through ctest)";
    }
    logPath_ = test::ScratchDir("ptt") / "lines.log";
    fs::remove(logPath_);
    setenv("VELA_PTT_LOG", logPath_.c_str(), 1);
    ASSERT_FALSE(pty_.path().empty());
  }
  std::vector<std::string> Lines() const {
    std::ifstream in(logPath_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  PseudoTerminal pty_;
  fs::path logPath_;
};

using LineLog = std::vector<std::string>;

// And the port is left to drop both lines should the program die without closing it: a
// port some other program left without hang-up-on-close gets it back.
TEST_F(SerialPttTest, OpeningDropsBothLinesSetsHangUpOnCloseAndKeyingMovesDtrThenRts) {
  const int other = open(pty_.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(other, &t), 0);
  t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
  ASSERT_EQ(tcsetattr(other, TCSANOW, &t), 0);
  SerialPtt ptt;
  ASSERT_TRUE(ptt.OpenDevice(pty_.path())) << ptt.error();
  ASSERT_EQ(tcgetattr(other, &t), 0);
  EXPECT_NE(t.c_cflag & HUPCL, 0u);
  EXPECT_EQ(Lines(), (LineLog{"dtr off", "rts off"}));
  ptt.Key(true);
  ptt.Key(false);
  EXPECT_EQ(Lines(), (LineLog{"dtr off", "rts off", "dtr on", "rts on", "dtr off", "rts off"}));
  close(other);
}

class SteadySource : public TransmitSource {
 public:
  int bufferLength() const override { return 64; }
  int frameLength() const override { return 223; }
  SourceSymbol NextSymbol() override {
    ++symbols;
    return 1;
  }
  void SynthesiseSymbol(std::span<int16_t> b, int, CarrierMode) override {
    std::fill(b.begin(), b.end(), 1);
  }
  void TransmissionStopped() override {}
  void SetBeacon(bool) override {}
  int symbols = 0;
};

TEST_F(SerialPttTest, ATransmissionRaisesBothLinesAndItsEndDropsThem) {
  SerialPtt ptt;
  ASSERT_TRUE(ptt.OpenDevice(pty_.path())) << ptt.error();
  WavFileOutput output((test::ScratchDir("ptt") / "tx.wav").string(), Pacing::AsFastAsPossible);
  SteadySource source;
  test::TransmitWatch host;
  TransmitController controller(output, source, host);
  controller.SetPtt(&ptt);
  controller.Send();
  EXPECT_EQ(Lines(), (LineLog{"dtr off", "rts off", "dtr on", "rts on"}));
  ASSERT_TRUE(test::RunUntil([&] { return source.symbols >= 20; }));
  controller.Send();
  EXPECT_EQ(Lines().size(), 6u);  // released at the stop, before the device has closed
  ASSERT_TRUE(test::RunUntil([&] { return host.closed; }));
  EXPECT_EQ(Lines(), (LineLog{"dtr off", "rts off", "dtr on", "rts on", "dtr off", "rts off"}));
}

TEST_F(SerialPttTest, OpenPttPortTellsTheOperatorAboutPortZeroAndMissingPorts) {
  SerialPtt ptt;
  auto none = OpenPttPort(ptt, 0);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->text, "Default comport set to 0\nGo to PTT to set up a valid comport");
  EXPECT_FALSE(ptt.isOpen());
  auto missing = OpenPttPort(ptt, 9);  // no machine running the tests has nine serial ports
  if (ComPortDevice(9).empty()) {
    ASSERT_TRUE(missing);
    // The specified notice, and on its own line why, so the operator knows what to fix.
    EXPECT_EQ(missing->text,
              "Failure to open comport\nCOM9 stands for no serial device on this computer");
    EXPECT_EQ(missing->caption, "Comport");
  }
  EXPECT_FALSE(ptt.OpenDevice("/dev/nonexistent-serial"));
  EXPECT_NE(ptt.error().find("/dev/nonexistent-serial"), std::string::npos);
  ptt.Key(true);  // a port that did not open is simply no PTT
  EXPECT_TRUE(Lines().empty());
}

// A made-up machine: two built-in ports of which one is only reserved by the kernel, an
// FTDI adapter with a by-id name, and a modem-class adapter without one.
TEST(ComPorts, BuiltInPortsFirstThenAdaptersByStableName) {
  const fs::path root = vela::test::ScratchDir("comroot");
  fs::remove_all(root);
  auto tty = [&](const std::string& name, const char* type) {
    fs::create_directories(root / "sys/class/tty" / name / "device");
    if (type != nullptr) std::ofstream(root / "sys/class/tty" / name / "type") << type << "\n";
  };
  tty("ttyS0", "4");
  tty("ttyS1", "0");
  tty("ttyS10", "4");
  tty("ttyS2", "4");
  tty("ttyUSB0", nullptr);
  tty("ttyACM0", nullptr);
  tty("ttyUSB1", nullptr);
  fs::create_directories(root / "sys/class/tty/tty1");  // a console, not a serial port
  fs::create_directories(root / "dev/serial/by-id");
  fs::create_symlink("../../ttyUSB1", root / "dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
  fs::create_symlink("../../ttyUSB0", root / "dev/serial/by-id/usb-Prolific_PL2303-if00-port0");

  const std::string r = root.string();
  const std::vector<std::string> expected{r + "/dev/ttyS0",
                                          r + "/dev/ttyS2",
                                          r + "/dev/ttyS10",
                                          r + "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0",
                                          r + "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0",
                                          r + "/dev/ttyACM0"};
  EXPECT_EQ(ComPortDevices(r), expected);
  EXPECT_EQ(ComPortDevice(4, r), expected[3]);
  EXPECT_EQ(ComPortDevice(7, r), "");
  EXPECT_EQ(ComPortDevice(0, r), "");
  EXPECT_TRUE(ComPortDevices(r + "/nothing-here").empty());
}

}  // namespace
}  // namespace vela
