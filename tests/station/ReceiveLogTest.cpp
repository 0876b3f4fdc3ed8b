// The running log of copy, on simulated time: what goes on which line, when a line reaches
// the file, a new file each UTC day, and a folder that cannot be written or a full disk.
#include "station/ReceiveLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/FullDisk.h"
#include "support/Vectors.h"

namespace vela {
namespace {

using namespace std::chrono_literals;
using Kind = ReceiveLog::Kind;

std::string Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class ReceiveLogTest : public ::testing::Test {
 protected:
  void Add(Kind kind, const std::string& text) {
    for (char c : text) log.Add(kind, static_cast<uint8_t>(c));
  }
  // 2026-12-09 23:59:50 UTC, moved on by the test.
  std::chrono::system_clock::time_point now = std::chrono::system_clock::from_time_t(1796860790);
  std::filesystem::path dir = test::ScratchDir("receive-log");
  ReceiveLog log = ReceiveLog::InFolder(dir.string(), [this] { return now; });
};

TEST_F(ReceiveLogTest, LinesCarryTimeModeFrequencyAndWhoseTextItIs) {
  log.SetMode("VELA31");
  log.SetFrequency(1234.5);
  Add(Kind::Received, "cq de g4abc\r");
  Add(Kind::Secondary, "G4ABC ");
  now += 1s;
  Add(Kind::Received, "pse kx");
  log.Add(Kind::Received, 8);             // the far operator took the x back
  Add(Kind::Sent, "r r \xe9t\xe9 \x80");  // our reply ends the received line
  log.Flush();                            // nothing is old enough yet
  const auto day = dir / "VELAlog-2026-12-09.txt";
  // The ended "pse k" waits for the secondary line, which started before it.
  EXPECT_EQ(Read(day), "2026-12-09 23:59:50Z  VELA31  1234.5 Hz  RX   cq de g4abc\n");
  EXPECT_EQ(log.currentPath(), day.string());
  now += 4s;
  log.Flush();  // a few seconds old: out to the file up to the last whole word
  EXPECT_EQ(Read(day),
            "2026-12-09 23:59:50Z  VELA31  1234.5 Hz  RX   cq de g4abc\n"
            "2026-12-09 23:59:50Z  VELA31  1234.5 Hz  SEC  G4ABC \n"
            "2026-12-09 23:59:51Z  VELA31  1234.5 Hz  RX   pse k\n"
            "2026-12-09 23:59:51Z  VELA31  1234.5 Hz  TX   r r \xc3\xa9t\xc3\xa9 \n");

  // A new UTC day starts a new file; a mode change ends the line before it.
  now += 10s;
  Add(Kind::Received, "good");
  log.SetMode("VELA8");
  Add(Kind::Received, " night");
  log.FlushAll();
  EXPECT_EQ(Read(dir / "VELAlog-2026-12-10.txt"),
            "2026-12-10 00:00:05Z  VELA31  1234.5 Hz  RX   good\n"
            "2026-12-10 00:00:05Z  VELA8  1234.5 Hz  RX    night\n");
  EXPECT_NE(Read(day).find("23:59:55Z  VELA31  1234.5 Hz  TX   \xe2\x82\xac\n"), std::string::npos);
  EXPECT_FALSE(log.TakeError());
  // Copy decoded from a recording says so; what follows from the air does not.
  log.SetRecording("cq.wav");
  Add(Kind::Secondary, "G4ABC\r");
  log.SetRecording("");
  Add(Kind::Received, "live\r");
  EXPECT_TRUE(Read(dir / "VELAlog-2026-12-10.txt")
                  .ends_with("SEC  (recording cq.wav) G4ABC\n2026-12-10 00:00:05Z  VELA8  "
                             "1234.5 Hz  RX   live\n"));

  // Switched off, nothing is kept.
  log.SetEnabled(false);
  Add(Kind::Received, "unheard\r");
  log.FlushAll();
  EXPECT_EQ(Read(dir / "VELAlog-2026-12-10.txt").find("unheard"), std::string::npos);
}

// Copy in any interleaving of received, secondary and sent words and line ends, on a clock
// that runs on, flushed now and then, across midnight: each kind's lines put together give
// back its text, no line splits a word, and no line's time is earlier than the one before.
TEST_F(ReceiveLogTest, RandomCopyComesOutWholeAndInTimeOrder) {
  const std::vector<std::string> words = {
      "cq", "de", "G4ABC", "pse", "k", "rst", "599", "73", "tu", "GW3XYZ", std::string(130, 'e')};
  const std::pair<Kind, std::string> kinds[] = {
      {Kind::Received, "RX "}, {Kind::Secondary, "SEC"}, {Kind::Sent, "TX "}};
  std::mt19937 random(26);
  std::map<std::string, std::string> given;  // by label
  for (int step = 0; step < 4000; ++step) {
    const unsigned r = random() % 16;
    if (r < 2) {
      r == 0 ? log.Flush() : void(now += std::chrono::milliseconds(random() % 6000));
      continue;
    }
    const std::string word =
        random() % 10 == 0 ? "\r" : words[random() % 50 == 0 ? 10 : random() % 10] + " ";
    Add(kinds[r % 3].first, word);
    if (word != "\r") given[kinds[r % 3].second] += word;
  }
  log.FlushAll();
  std::map<std::string, std::string> logged;
  std::string lastTime;
  for (const char* file : {"VELAlog-2026-12-09.txt", "VELAlog-2026-12-10.txt"}) {
    std::istringstream lines(Read(dir / file));
    for (std::string line; std::getline(lines, line);) {
      EXPECT_GE(line.substr(0, 20), lastTime) << line;
      lastTime = line.substr(0, 20);
      logged[line.substr(41, 3)] += line.substr(46);
      std::istringstream tokens(line.substr(46));
      for (std::string token; tokens >> token;) {
        // Only a word longer than a line may be broken, at the line's length.
        if (token.find_first_not_of('e') == std::string::npos) continue;
        EXPECT_NE(std::find(words.begin(), words.end(), token), words.end()) << line;
      }
    }
  }
  EXPECT_EQ(logged, given);
}

TEST_F(ReceiveLogTest, AFolderThatCannotBeWrittenIsReportedOnceAndCopyGoesOnAfter) {
  std::filesystem::path locked = dir / "locked";
  std::filesystem::create_directories(locked);
  ReceiveLog blocked = ReceiveLog::InFolder((locked / "missing").string(), [this] { return now; });
  for (int i = 0; i < 3; ++i) {
    for (char c : std::string("lost\r")) blocked.Add(Kind::Received, static_cast<uint8_t>(c));
  }
  const auto error = blocked.TakeError();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("missing"), std::string::npos) << *error;
  EXPECT_FALSE(blocked.TakeError());  // once, not for every line
  // The folder appears (the operator made it): later copy is written.
  std::filesystem::create_directories(locked / "missing");
  for (char c : std::string("found\r")) blocked.Add(Kind::Received, static_cast<uint8_t>(c));
  EXPECT_NE(Read(blocked.currentPath()).find("RX   found\n"), std::string::npos);
  EXPECT_FALSE(blocked.TakeError());
}

// A full disk tears no line: the file keeps whole lines, the failure is told once, and copy
// is logged again once there is room.
TEST_F(ReceiveLogTest, AFullDiskLeavesWholeLinesAndIsToldOnce) {
  test::FullDisk disk(dir / "disk");
  if (!disk.ok) GTEST_SKIP() << "mounting a tmpfs needs root";
  ReceiveLog full = ReceiveLog::ToFile((disk.dir / "copy.log").string(), [this] { return now; });
  const std::string dots(60, '.');
  const auto line = [&](int n) {
    for (char c : "line " + std::to_string(n) + dots + "\r")
      full.Add(Kind::Received, static_cast<uint8_t>(c));
  };
  line(0);
  disk.Fill();
  for (int n = 1; n < 100; ++n) line(n);  // the last block takes some of these, not all
  const auto error = full.TakeError();
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(std::strerror(ENOSPC)), std::string::npos) << *error;
  EXPECT_FALSE(full.TakeError());
  std::istringstream lines(Read(disk.dir / "copy.log"));
  int count = 0;
  for (std::string got; std::getline(lines, got); ++count)
    EXPECT_TRUE(got.ends_with("line " + std::to_string(count) + dots)) << got;
  EXPECT_TRUE(count > 1 && count < 100) << count;
  disk.Free();
  line(100);
  EXPECT_NE(Read(disk.dir / "copy.log").find("line 100."), std::string::npos);
}

}  // namespace
}  // namespace vela
