// The rig settings as the operator gives them: the command line's --ptt forms, the settings
// file beside VELApreferences.INI, and the RF frequency read off the dial.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "rig/RigFrequency.h"
#include "rig/RigSettingsFile.h"
#include "support/EventLoop.h"

namespace vela {
namespace {

namespace fs = std::filesystem;

RigSettings Make(PttMethod method) {
  RigSettings s;
  s.method = method;
  return s;
}

TEST(PttOption, EveryFormParsesAndFormatsBackAndBadFormsSayWhy) {
  RigSettings com3;
  com3.comPort = 3;
  RigSettings path;
  path.pttSerialDevice = "/dev/ttyUSB1";
  RigSettings cat = Make(PttMethod::Cat);
  cat.rigModel = 3073;
  cat.catDevice = "/dev/ttyUSB0";
  RigSettings catBaud = cat;
  catBaud.baudRate = 19200;
  RigSettings catByPath = cat;  // a by-path name holds colons; only digits make a baud rate
  catByPath.catDevice = "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0";
  RigSettings rigctld = Make(PttMethod::Rigctld);
  RigSettings rigctldHost = rigctld;
  rigctldHost.host = "shack-pi";
  RigSettings rigctldPort = rigctld;
  rigctldPort.host = "127.0.0.1";
  rigctldPort.port = 4533;
  RigSettings rigctldV6 = rigctld;
  rigctldV6.host = "::1";
  rigctldV6.port = 4600;
  RigSettings cm108 = Make(PttMethod::Cm108);
  cm108.hidrawDevice = "/dev/hidraw2";

  const struct {
    std::string text;
    std::optional<RigSettings> settings;
    std::string formatted;  // empty: the same as text
  } cases[] = {
      {"none", Make(PttMethod::Vox), ""},
      {"COM3", com3, ""},
      {"/dev/ttyUSB1", path, ""},
      {"cat:3073:/dev/ttyUSB0", cat, ""},
      {"cat:3073:/dev/ttyUSB0:19200", catBaud, ""},
      {"cat:3073:" + catByPath.catDevice, catByPath, ""},
      {"rigctld", rigctld, ""},
      {"rigctld:localhost:4532", rigctld, "rigctld"},
      {"rigctld:shack-pi", rigctldHost, ""},
      {"rigctld:127.0.0.1:4533", rigctldPort, ""},
      {"rigctld:[::1]:4600", rigctldV6, ""},
      {"cm108:/dev/hidraw2", cm108, ""},
      {"COM0", std::nullopt, "--ptt takes COM1 to COM9"},
      {"com3", std::nullopt, "not \"com3\""},
      {"", std::nullopt, "--ptt takes"},
      {"cat:", std::nullopt, "cat:MODEL:DEVICE"},
      {"cat:yaesu:/dev/ttyUSB0", std::nullopt, "not \"yaesu\""},
      {"cat:3073:", std::nullopt, "names no serial device"},
      {"cat:3073:/dev/ttyUSB0:9", std::nullopt, "baud rate 9 is out of range"},
      {"rigctld:", std::nullopt, "host name is empty"},
      {"rigctld:host:", std::nullopt, "port \"\" is not 1 to 65535"},
      {"rigctld:host:70000", std::nullopt, "port \"70000\" is not 1 to 65535"},
      {"rigctld:[::1", std::nullopt, "IPv6 host goes in brackets"},
      {"cm108:", std::nullopt, "names no hidraw device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string reason;
    const auto parsed = ParsePttOption(c.text, &reason);
    ASSERT_EQ(parsed.has_value(), c.settings.has_value()) << reason;
    if (!parsed) {
      EXPECT_NE(reason.find(c.formatted), std::string::npos) << reason;
      EXPECT_EQ(reason.find('\n'), std::string::npos);
      continue;
    }
    EXPECT_TRUE(*parsed == *c.settings);
    const std::string formatted = FormatPttOption(*parsed);
    EXPECT_EQ(formatted, c.formatted.empty() ? c.text : c.formatted);
    EXPECT_TRUE(ParsePttOption(formatted, nullptr) == *parsed);
  }
}

TEST(RigSettingsFile, EveryMethodAndParameterRoundTripsAndAMissingFileIsTheDefault) {
  const fs::path dir = test::ScratchDir("rigfile");
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / kRigSettingsFileName).string();
  const RigSettingsLoad missing = LoadRigSettings(path);
  EXPECT_EQ(missing.status, RigSettingsLoad::Status::Missing);
  EXPECT_TRUE(missing.settings == RigSettings{});
  EXPECT_TRUE(missing.message.empty());

  for (const PttMethod method : {PttMethod::SerialDtrRts, PttMethod::Cat, PttMethod::Rigctld,
                                 PttMethod::Cm108, PttMethod::Vox}) {
    RigSettings s;
    s.method = method;
    s.comPort = 7;
    s.pttSerialDevice = "/dev/serial/by-id/usb-FTDI_FT232R_A1 =odd-if00";
    s.rigModel = 1035 + static_cast<int>(method);
    s.catDevice = " /dev/ttyACM0 ";  // spaces are the device's, not the file's
    s.baudRate = 38400;
    s.host = "::1";
    s.port = 4600;
    s.hidrawDevice = "/dev/hidraw3";
    s.converterOffsetHz = method == PttMethod::Cm108 ? -10000000 : 9223372036854775807LL;
    s.txLimitMinutes = method == PttMethod::Vox ? kMaxTxLimitMinutes : static_cast<int>(method);
    std::string error;
    ASSERT_TRUE(SaveRigSettings(path, s, &error)) << error;
    const RigSettingsLoad load = LoadRigSettings(path);
    EXPECT_EQ(load.status, RigSettingsLoad::Status::Read) << load.message;
    EXPECT_TRUE(load.settings == s) << PttMethodName(method);
  }
  // Written beside, then renamed: nothing but the file itself is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  RigSettings broken;
  broken.catDevice = "/dev/tty\nmethod=vox";
  std::string error;
  EXPECT_FALSE(SaveRigSettings(path, broken, &error));
  EXPECT_NE(error.find("line break"), std::string::npos) << error;
  EXPECT_EQ(LoadRigSettings(path).settings.method, PttMethod::Vox);  // the previous file
}

TEST(RigSettingsFile, AGarbledFileFallsBackToSerialWithOneLineSayingWhy) {
  const std::string good = FormatRigSettingsFile(Make(PttMethod::Rigctld));
  const struct {
    std::string text;
    std::string why;
  } cases[] = {
      {"", "names no PTT method"},
      {"\x01\xff\xfe garbage", "line 1: \"\x01\xff\xfe garbage\" is not key=value"},
      {good + "method=telepathy\n", "no PTT method is called \"telepathy\""},
      {good + "port=4532x\n", "port \"4532x\" is not a whole number from 1 to 65535"},
      {good + "port=0\n", "port \"0\""},
      {good + "baud=-1\n", "baud \"-1\""},
      {good + "offset=99999999999999999999\n", "offset"},
      {good + "model=\n", "model \"\""},
      {good + "txlimit=1000\n", "txlimit \"1000\" is not a whole number from 0 to 999"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const RigSettingsLoad load = ParseRigSettingsFile(c.text);
    EXPECT_EQ(load.status, RigSettingsLoad::Status::Garbled);
    EXPECT_TRUE(load.settings == RigSettings{});
    EXPECT_NE(load.message.find(c.why), std::string::npos) << load.message;
    EXPECT_NE(load.message.find("back to serial DTR/RTS"), std::string::npos);
    EXPECT_EQ(load.message.find('\n'), std::string::npos);
  }
  // Edited on Windows, or written by a later version with settings of its own: still read.
  std::string edited;
  for (const char ch : "future=1\n" + good) {
    if (ch == '\n') edited += '\r';
    edited += ch;
  }
  const RigSettingsLoad load = ParseRigSettingsFile(edited);
  EXPECT_EQ(load.status, RigSettingsLoad::Status::Read) << load.message;
  EXPECT_TRUE(load.settings == Make(PttMethod::Rigctld));
}

TEST(RfFrequency, DialPlusOrMinusTheToneByModePlusTheConverterOffset) {
  const struct {
    double audio, dial;
    const char* mode;
    int64_t offset;
    double rf;
  } cases[] = {
      {1000, 136000, "USB", 0, 137000},
      {1000, 138000, "LSB", 0, 137000},
      {1500.5, 474000, "PKTUSB", 0, 475500.5},
      {1500, 477000, "PKTLSB", 0, 475500},
      {800, 136000, "CW", 0, 136800},
      {800, 137600, "CWR", 0, 136800},
      {1000, 475000, "AM", 0, 476000},
      // A 10 MHz upconverter: 136 kHz on a dial reading 10.136 MHz.
      {1200, 10136000, "USB", -10000000, 137200},
      {1200, 28136000, "LSB", -28000000, 134800},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(RfFrequency(c.audio, c.dial, c.mode, c.offset), c.rf) << c.mode << c.dial;
  }
}

}  // namespace
}  // namespace vela
