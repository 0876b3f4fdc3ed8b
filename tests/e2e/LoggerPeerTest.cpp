// vela-modem and a real logger's message server (udp_daemon from Debian's wsjtx): the server
// discovers the station, prints a Decoded line for each line decode copies and a Logged line
// for each QSO log logs; the log file holds the QSOs for any ADIF reader.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/AdifReader.h"
#include "support/LoggerSocket.h"
#include "support/ModemCli.h"
#include "support/UdpDaemon.h"
#include "support/Vectors.h"

namespace vela {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Count;
using Daemon = test::UdpDaemon;
constexpr const char* kDaemon = test::kUdpDaemon;

TEST(LoggerPeer, TheServerDiscoversUsAndPrintsEveryLineAndEveryQso) {
  if (access(kDaemon, X_OK) != 0) GTEST_SKIP() << "udp_daemon not installed (Debian's wsjtx)";
  const std::string dir = test::ScratchDir("logger-peer");
  const int port = test::LoggerSocket().port();  // free on 127.0.0.1 a moment ago
  const Daemon daemon(port, dir + "/daemon.txt");
  ASSERT_TRUE(daemon.listening());
  const std::string udp = " --udp 127.0.0.1:" + std::to_string(port);

  std::ofstream(dir + "/qso.txt") << "cq cq de g4abc\npse k\nde g4abc k";
  ASSERT_EQ(test::Modem("encode --mode 31 --tail-frames 4 --text-file " + dir + "/qso.txt -o " +
                            dir + "/qso.wav",
                        dir)
                .status,
            0);
  const test::CliResult decode =
      test::Modem("decode --mode 31" + udp + " " + dir + "/qso.wav", dir);
  ASSERT_EQ(decode.status, 0) << decode.err;
  std::istringstream copied(decode.out);
  int lines = 0;
  for (std::string line; std::getline(copied, line);) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) ++lines;
  }
  ASSERT_GE(lines, 3) << decode.out;
  std::string printed = daemon.WaitFor(": Decoded ", lines);
  EXPECT_NE(printed.find("Discovered WSJT-X instance: VELA Terminal"), std::string::npos)
      << printed;
  EXPECT_EQ(Count(printed, ": Decoded "), lines) << printed;
  EXPECT_NE(printed.find("Decoded de g4abc k"), std::string::npos) << printed;

  const std::string adif = dir + "/VELAlog.adi";
  fs::remove(adif);
  const test::CliResult first = test::Modem(
      "log --my-call G3XYZ --call g4abc --freq 475500 --mode 8 --name Jürgen "
      "--time-on 2026-12-09T14:34Z --adif " +
          adif + udp,
      dir);
  ASSERT_EQ(first.status, 0) << first.err;
  const test::CliResult second =
      test::Modem("log --my-call G3XYZ --call DL1AB --freq 137600 --adif " + adif + udp, dir);
  ASSERT_EQ(second.status, 0) << second.err;
  printed = daemon.WaitFor(": Logged ", 2);
  EXPECT_EQ(Count(printed, ": Logged "), 2) << printed;
  EXPECT_NE(printed.find("Logged G4ABC"), std::string::npos) << printed;
  EXPECT_NE(printed.find("<BAND:5>2190m"), std::string::npos) << printed;  // the logged ADIF

  // The fields themselves are the log's own tests' business; here, what the shell passed.
  const test::AdifFile file = test::ReadAdif(Bytes(adif));
  ASSERT_EQ(file.records.size(), 2u);
  EXPECT_EQ(file.records[0].at("NAME"), "Jürgen");
  EXPECT_EQ(file.records[0].at("TIME_ON"), "143400");
  EXPECT_EQ(file.records[0].at("BAND"), "630m");
  EXPECT_EQ(file.records[0].at("SUBMODE"), "VELA8");
  EXPECT_EQ(file.records[1].at("BAND"), "2190m");
}

// Without --adif the log is the settings folder's, the same one the window uses; what cannot
// be logged is refused with the contract's statuses, and nothing half-written is left.
TEST(LoggerPeer, LogFindsTheSettingsFolderAndRefusesWhatItCannotLog) {
  const std::string dir = test::ScratchDir("log-folder");
  fs::remove_all(dir + "/config");
  fs::remove_all(dir + "/station");
  fs::create_directories(dir + "/station");
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  ASSERT_EQ(test::Modem("log --my-call G3XYZ --call G4ABC", dir).status, 0);
  EXPECT_EQ(test::ReadAdif(Bytes(dir + "/config/vela-terminal/VELAlog.adi")).records.size(), 1u);
  // A station started where its settings file lies keeps its log there too.
  std::ofstream(dir + "/station/VELApreferences.INI") << "\"CQ\"\r\n";
  ASSERT_EQ(chdir((dir + "/station").c_str()), 0);
  ASSERT_EQ(test::Modem("log --my-call G3XYZ --call G4ABC", dir).status, 0);
  EXPECT_EQ(test::ReadAdif(Bytes(dir + "/station/VELAlog.adi")).records.size(), 1u);

  const std::pair<std::string, int> refused[] = {
      {"log --call G4ABC", 2},
      {"log --my-call G3XYZ", 2},
      {"log --my-call G3XYZ --call G4ABC --time-on 2026-13-01T10:00", 2},
      {"log --my-call G3XYZ --call G4ABC --time-on 2099-01-01T10:00", 2},
      {"log --my-call G3XYZ --call G4ABC --udp 127.0.0.1", 2},
      {"log --my-call G3XYZ --call G4ABC --udp 127.0.0.1:70000", 2},
      {"log --my-call G3XYZ --call G4ABC --adif " + dir + "/no/such/folder/log.adi", 1},
  };
  const std::string before = Bytes(dir + "/station/VELAlog.adi");
  for (const auto& [args, status] : refused) {
    const test::CliResult r = test::Modem(args, dir);
    EXPECT_EQ(r.status, status) << args << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(Bytes(dir + "/station/VELAlog.adi"), before);
}

}  // namespace
}  // namespace vela
