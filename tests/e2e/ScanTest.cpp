// The band scan end to end: several transmissions on at once, made with the command line's
// own transmit and channel code, found and copied by `vela-modem scan`; and the scanner
// as the window drives it, live.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "audio/WavFile.h"
#include "cli/Sweep.h"
#include "scan/BandMap.h"
#include "scan/BandScanner.h"
#include "support/Band.h"
#include "support/ModemCli.h"
#include "support/SpotCatcher.h"
#include "support/Vectors.h"

namespace vela {
namespace {

using test::CliResult;
using test::Modem;

void Write(const std::string& path, const std::vector<int16_t>& samples) {
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, 8000, 1) && writer.Write(samples) && writer.Commit())
      << writer.error();
}

// One signal as `scan` lists it: the figures of its headline and the text below.
struct Listed {
  double freq = 0.0, snr = 0.0;
  std::string mode, call, text;
  int conf = 0;
};

std::vector<Listed> ParseScan(const std::string& out) {
  std::vector<Listed> listed;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("  ", 0) == 0) {
      if (listed.empty()) ADD_FAILURE() << "text before any signal: " << line;
      if (!listed.empty()) listed.back().text += line.substr(2);
      continue;
    }
    Listed s;
    char mode[16] = {}, call[64] = {};
    EXPECT_EQ(std::sscanf(line.c_str(), "freq %lf mode %15s snr %lf conf %d%% call %63s", &s.freq,
                          mode, &s.snr, &s.conf, call),
              5)
        << line;
    s.mode = mode;
    s.call = call;
    listed.push_back(s);
  }
  return listed;
}

TEST(Scan, ListsCopiesAndReportsThreeTransmissionsAtOnce) {
  const std::string dir = test::ScratchDir("scan-three");
  // Different texts, so that a copy wired to the wrong signal cannot pass; the slowest
  // mode the weakest, 3 dB over its threshold; the others start later, overlapping it. One
  // more sends a call over and over without a break: listed, but with no call, and not
  // reported.
  const std::string text = vela::SweepText(480);
  const std::vector<test::BandTransmission> sent = {
      {Mode::Vela8, 612.34, test::EnhancedThreshold(Mode::Vela8) + 3.0, "G3ABC", text.substr(0, 40),
       0.0},
      {Mode::Vela63, 950.5, test::EnhancedThreshold(Mode::Vela63) + 6.0, "PA3CPA3C",
       text.substr(400, 40), 10.0},
      {Mode::Vela31, 1311.13, test::EnhancedThreshold(Mode::Vela31) + 4.0, "DL2XYZ",
       text.substr(40, 120), 20.0},
      {Mode::Vela125, 1787.71, test::EnhancedThreshold(Mode::Vela125) + 4.0, "PA0QQ",
       text.substr(160, 320), 45.0},
  };
  const std::vector<int16_t> band = test::Band(sent, 11);
  Write(dir + "/band.wav", band);
  test::SpotCatcher catcher;
  const int64_t before = std::time(nullptr);
  const CliResult scan =
      Modem("scan --mode all --spot-to 127.0.0.1:" + std::to_string(catcher.port()) +
                " --call g4xyz --locator IO91wm --dial 136000 --sideband lsb "
                "--offset 1000 --antenna 'loop' " +
                dir + "/band.wav",
            dir);
  const int64_t after = std::time(nullptr);
  ASSERT_EQ(scan.status, 0) << scan.err;
  const std::vector<Listed> listed = ParseScan(scan.out);
  ASSERT_EQ(listed.size(), sent.size()) << scan.out;
  for (size_t i = 0; i < sent.size(); ++i) {  // listed lowest first, as sent
    const test::BandTransmission& t = sent[i];
    const Listed& s = listed[i];
    SCOPED_TRACE(ModeTable(t.mode).name);
    EXPECT_EQ(s.mode, ModeTable(t.mode).name);
    EXPECT_NEAR(s.freq, t.centreHz, t.mode == Mode::Vela8 ? 0.05 : 0.2);
    EXPECT_NEAR(s.snr, t.snrDb, 1.5);
    EXPECT_GT(s.conf, 20);
    EXPECT_EQ(s.call, t.call == "PA3CPA3C" ? "-" : t.call);
    const double cer = static_cast<double>(vela::AlignedEditDistance(t.text, s.text)) /
                       static_cast<double>(t.text.size());
    EXPECT_LE(cer, 0.01) << s.text;
  }
  // The spots: one datagram, read back by the tests' own reader; lower sideband, so the RF
  // frequency is dial + offset - audio; heard when the recording, ending now, had them.
  const auto messages = catcher.Messages();
  ASSERT_EQ(messages.size(), 1u) << scan.err;
  const test::IpfixMessage& m = messages[0];
  ASSERT_EQ(m.error, "");
  ASSERT_EQ(m.records.size(), 4u);  // the receiver, and the three with calls
  EXPECT_EQ(m.records[0].Text(30351, 2), "G4XYZ");
  EXPECT_EQ(m.records[0].Text(30351, 4), "IO91wm");
  EXPECT_EQ(m.records[0].Text(30351, 9), "loop");
  const double seconds = static_cast<double>(band.size()) / 8000.0;
  size_t next = 1;
  for (const test::BandTransmission& t : sent) {
    if (t.call == "PA3CPA3C") continue;
    SCOPED_TRACE(t.call);
    const test::IpfixRecord& r = m.records[next++];
    EXPECT_EQ(r.Text(30351, 1), t.call);
    EXPECT_NEAR(static_cast<double>(*r.Unsigned(30351, 5)), 137000.0 - t.centreHz, 1.0);
    EXPECT_EQ(r.Text(30351, 10), ModeTable(t.mode).name);
    EXPECT_NEAR(static_cast<double>(*r.Signed(30351, 6)), t.snrDb, 2.0);
    // Last heard as its tail ended (Band puts it at its start), counted back from the end,
    // give or take a frame.
    const double end = static_cast<double>(test::Band({&t, 1}, 1).size()) / 8000.0;
    const auto heard = static_cast<double>(*r.Unsigned(0, 150));
    EXPECT_GE(heard, static_cast<double>(before) - (seconds - end) - 8.0);
    EXPECT_LE(heard, static_cast<double>(after) - (seconds - end) + 5.0);
  }
}

TEST(Scan, CommandLineContract) {
  const std::string dir = test::ScratchDir("scan-cli");
  Write(dir + "/noise.wav", test::Noise(40.0, 4));
  const std::string spot = "--call G4XYZ --locator IO91 --dial 475000 ";
  const CliResult quiet = Modem("scan " + dir + "/noise.wav", dir);
  EXPECT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  struct Bad {
    std::string args;
    int status;
  };
  for (const Bad& bad : std::vector<Bad>{
           {"--mode vela9 " + dir + "/noise.wav", 2},
           {"--from 2000 --to 1000 " + dir + "/noise.wav", 2},
           {"--to 5000 " + dir + "/noise.wav", 2},
           {"--bandwidth 3 " + dir + "/noise.wav", 2},
           {"--call G4XYZ " + dir + "/noise.wav", 2},
           {"--spot-to 127.0.0.1 " + spot + dir + "/noise.wav", 2},
           {"--spot-to 127.0.0.1:9 --call G4XYZ --locator IO91 " + dir + "/noise.wav", 2},
           {"--spot-to 127.0.0.1:9 --call PA3 --locator IO91 --dial 1 " + dir + "/noise.wav", 2},
           {"--spot-to 127.0.0.1:9 --call G4XYZ --locator IO9 --dial 1 " + dir + "/noise.wav", 2},
           {"--sideband dsb --spot-to 127.0.0.1:9 " + spot + dir + "/noise.wav", 2},
           {"", 2},
           {dir + "/missing.wav", 1}}) {
    const CliResult r = Modem("scan " + bad.args, dir);
    EXPECT_EQ(r.status, bad.status) << bad.args;
    EXPECT_EQ(r.out, "") << bad.args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

// A live scanner that keeps up finds what the recording gives; one that falls behind stops
// searching until it has caught up and says so, and drops audio it could never reach.
TEST(Scan, LiveScannerKeepsUpOrSaysHowFarBehindItIs) {
  const test::BandTransmission t{Mode::Vela125, 1400.0, -5.0, "PA0QQ", vela::SweepText(60)};
  const std::vector<int16_t> band = test::Band(std::span(&t, 1), 5, 40.0);
  const double seconds = static_cast<double>(band.size()) / 8000.0;
  BandScanner file{ScanConfig{}};
  file.Process(band);
  file.Flush();
  ASSERT_EQ(file.Heard().size(), 1u);

  // Capture buffers of any size, time to spare after each.
  BandScanner live{ScanConfig{}};
  std::mt19937 rng(3);
  std::uniform_int_distribution<size_t> piece(1, 3000);
  for (size_t at = 0; at < band.size();) {
    const size_t n = std::min(piece(rng), band.size() - at);
    live.Push(std::span(band).subspan(at, n));
    live.Run(std::chrono::hours(1));
    at += n;
    ASSERT_TRUE(live.scanning());
    ASSERT_EQ(live.lagSeconds(), 0.0);
  }
  live.Flush();
  ASSERT_EQ(live.Heard().size(), 1u);
  EXPECT_NEAR(live.Heard()[0].centreHz, file.Heard()[0].centreHz, 0.01);
  EXPECT_EQ(live.Heard()[0].text, file.Heard()[0].text);
  EXPECT_EQ(live.Heard()[0].call, "PA0QQ");
  EXPECT_EQ(live.unsearchedSeconds(), 0.0);

  // All of it queued at once, and one buffer's worth of work per call: behind at once, the
  // search paused until less than half a second is left.
  BandScanner slow{ScanConfig{}};
  slow.Push(band);
  slow.Run(std::chrono::microseconds(0));
  EXPECT_FALSE(slow.scanning());
  EXPECT_NEAR(slow.lagSeconds(), seconds - 1024 / 8000.0, 1e-9);
  while (slow.lagSeconds() > 0.0) slow.Run(std::chrono::microseconds(0));
  EXPECT_TRUE(slow.scanning());
  EXPECT_NEAR(slow.unsearchedSeconds(), seconds - 0.5, 0.2);
  EXPECT_TRUE(slow.Heard().empty());
  EXPECT_EQ(slow.trialsStarted(), 0);
  EXPECT_EQ(slow.droppedSeconds(), 0.0);
  // More than a minute behind: the oldest audio goes unheard.
  for (int i = 0; i < 2; ++i) slow.Push(band);
  slow.Run(std::chrono::microseconds(0));
  EXPECT_NEAR(slow.droppedSeconds(), 2 * seconds - 60.0, 0.01);
}

// Two signals of one mode closer than their main lobes count as one; a signal that ends is
// dropped a few of its frames later and kept among those heard.
TEST(Scan, CloseSignalsCountAsOneAndEndedOnesAreDropped) {
  const std::string text = vela::SweepText(200);
  const std::vector<test::BandTransmission> sent = {
      {Mode::Vela63, 1000.0, -6.0, "G3ABC", text.substr(0, 80)},
      {Mode::Vela63, 1045.0, -9.0, "DL2XYZ", text.substr(80, 80)},
      {Mode::Vela31, 1600.0, -10.0, "PA0QQ", text.substr(160, 20)},
  };
  struct Log : ScanEvents {
    std::map<int, double> listed, dropped;  // id: seconds of input at the event
    const BandScanner* scanner = nullptr;
    void SignalListed(const ScanSignal& s) override { listed[s.id] = scanner->seconds(); }
    void SignalDropped(const ScanSignal& s) override { dropped[s.id] = scanner->seconds(); }
  } log;
  BandScanner scanner(ScanConfig{}, &log);
  log.scanner = &scanner;
  // Both transmissions end well before the band does.
  scanner.Process(test::Band(sent, 8, 100.0));
  scanner.Flush();
  const std::vector<ScanSignal> heard = scanner.Heard();
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].mode, Mode::Vela63);
  EXPECT_NEAR(heard[0].centreHz, 1000.0, 0.2);
  EXPECT_EQ(heard[0].call, "G3ABC");
  EXPECT_EQ(heard[1].call, "PA0QQ");
  EXPECT_TRUE(scanner.listed().empty());
  EXPECT_EQ(log.listed.size(), 2u);
  for (const ScanSignal& s : heard) {
    // Dropped about four frames after the last one heard, which went out as the
    // transmission ended.
    ASSERT_TRUE(log.dropped.count(s.id)) << s.call;
    const ModeParams& m = ModeTable(s.mode);
    const double frames = (log.dropped[s.id] - s.lastHeard) / (m.frameLength / m.symbolRate);
    EXPECT_GT(frames, 3.0) << s.call;
    EXPECT_LT(frames, 6.0) << s.call;
    EXPECT_LT(s.firstHeard, log.listed[s.id]);
  }
}

// The same recording played twice into the band map, the first time begun part way through
// the calls at the end: whatever was cut, the station is one row, and the call it shows is
// never a piece of the call ("A3CXX", "PA3C") or two run together ("PA3CPA3CXX").
TEST(Scan, BandMapShowsOnlyWholeCallsOverASecondPass) {
  const test::BandTransmission sent{Mode::Vela125, 1200.0, -6.0, "PA3CXX", SweepText(60), 0.0, 10};
  const std::vector<int16_t> band = test::Band({&sent, 1}, 5);
  const ModeParams& m = ModeTable(sent.mode);
  const double frame = m.frameLength / m.symbolRate;
  for (const double tailLeft : {0.85, 0.5, 0.25}) {
    SCOPED_TRACE(tailLeft);
    const auto cut = band.size() - static_cast<size_t>(tailLeft * 10 * frame * 8000.0);
    std::vector<int16_t> twice(band.begin() + static_cast<std::ptrdiff_t>(cut), band.end());
    twice.insert(twice.end(), band.begin(), band.end());
    const std::vector<int16_t> after = test::Noise(6 * frame, 9);
    twice.insert(twice.end(), after.begin(), after.end());
    BandScanner scanner(ScanConfig{});
    BandMap map;
    for (size_t at = 0; at < twice.size(); at += 1024) {
      scanner.Process(std::span(twice).subspan(at, std::min<size_t>(1024, twice.size() - at)));
      map.Update(scanner.listed(), 0.0);
      for (const HeardStation& s : map.stations())
        ASSERT_TRUE(s.call.empty() || s.call == sent.call) << s.call;
    }
    ASSERT_EQ(map.stations().size(), 1u);
    EXPECT_EQ(map.stations()[0].call, sent.call);
    EXPECT_FALSE(map.stations()[0].heard());
  }
}

}  // namespace
}  // namespace vela
