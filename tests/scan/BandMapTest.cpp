// The band map over scripted scanner lists: who stays, who comes back on their own row, who
// is a new station on an old frequency, and which end of the copy is shown.
#include "scan/BandMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vela {
namespace {

constexpr double kUtc = 1.8e9;  // the input's start, seconds since 1970

ScanSignal Signal(int id, Mode mode, double hz, double snr, std::string call, std::string text,
                  double first, double last) {
  ScanSignal s;
  s.id = id;
  s.mode = mode;
  s.centreHz = hz;
  s.snrDb = snr;
  s.call = std::move(call);
  s.text = std::move(text);
  s.firstHeard = first;
  s.lastHeard = last;
  s.syncFrames = 1;
  return s;
}

const HeardStation* Find(const BandMap& map, const std::string& call) {
  for (const HeardStation& s : map.stations()) {
    if (s.call == call) return &s;
  }
  return nullptr;
}

TEST(BandMap, KeepsEveryStationHeardUntilClearedAndKnowsThemAgain) {
  BandMap map;
  map.Update({Signal(1, Mode::Vela63, 812.4, -8.0, "", "cq de G3A", 10.0, 20.0),
              Signal(2, Mode::Vela31, 1811.1, -12.0, "DL2XYZ", "hello", 5.0, 21.0)},
             kUtc);
  ASSERT_EQ(map.stations().size(), 2u);
  EXPECT_EQ(map.stations()[0].call, "");  // nothing whole yet
  const uint64_t shown = map.revision();

  // DL2XYZ falls silent: kept, no longer heard, with when it was last heard and its call.
  map.Update({Signal(1, Mode::Vela63, 812.4, -6.0, "G3ABC", "cq de G3ABC\nG3ABC k", 10.0, 40.0)},
             kUtc + 0.3);
  EXPECT_GT(map.revision(), shown);
  const HeardStation* dl = Find(map, "DL2XYZ");
  ASSERT_NE(dl, nullptr);
  EXPECT_FALSE(dl->heard());
  EXPECT_EQ(dl->lastHeard, kUtc + 21.0);
  EXPECT_EQ(dl->firstHeard, kUtc + 5.0);
  EXPECT_GT(dl->revision, shown);

  // G3ABC's signal goes and comes back under a new number, a little off, before its call
  // has come whole again: the same row, its call, first heard, best S/N and copy kept.
  map.Update({}, kUtc);
  const uint64_t silent = map.revision();
  map.Update({Signal(7, Mode::Vela63, 812.9, -9.0, "", "qrz?", 90.0, 95.0)}, kUtc);
  ASSERT_EQ(map.stations().size(), 2u);
  const HeardStation* g3 = Find(map, "G3ABC");
  ASSERT_NE(g3, nullptr);
  EXPECT_TRUE(g3->heard());
  EXPECT_GT(g3->revision, silent);
  EXPECT_EQ(g3->firstHeard, kUtc + 10.0);
  EXPECT_EQ(g3->lastHeard, kUtc + 95.0);
  EXPECT_EQ(g3->snrDb, -9.0);
  EXPECT_EQ(g3->bestSnrDb, -6.0);
  EXPECT_EQ(g3->Text(), "cq de G3ABC\nG3ABC k\nqrz?");
  const int g3Key = g3->key;

  // Another mode there, or another call on the same signal, is another station.
  map.Update({Signal(7, Mode::Vela63, 812.9, -9.0, "PA0QQ", "qrz? de PA0QQ", 90.0, 99.0),
              Signal(8, Mode::Vela8, 812.9, -20.0, "", "", 97.0, 98.0)},
             kUtc);
  ASSERT_EQ(map.stations().size(), 4u);
  EXPECT_FALSE(Find(map, "G3ABC")->heard());
  EXPECT_EQ(Find(map, "G3ABC")->lastHeard, kUtc + 95.0);
  EXPECT_EQ(Find(map, "PA0QQ")->firstHeard, kUtc + 99.0);
  EXPECT_EQ(Find(map, "G3ABC")->key, g3Key);

  // Cleared: the silent ones go, those on now stay; nothing changed, nothing to redraw.
  map.Clear();
  ASSERT_EQ(map.stations().size(), 2u);
  for (const HeardStation& s : map.stations()) EXPECT_TRUE(s.heard());
  const uint64_t cleared = map.revision();
  map.Update({Signal(7, Mode::Vela63, 812.9, -9.0, "PA0QQ", "qrz? de PA0QQ", 90.0, 99.0),
              Signal(8, Mode::Vela8, 812.9, -20.0, "", "", 97.0, 98.0)},
             kUtc);
  EXPECT_EQ(map.revision(), cleared);
}

TEST(BandMap, NewestLineIsTheEndOfTheLastLine) {
  struct Case {
    std::string earlier, latest;
    size_t chars;
    std::string shown;
  };
  const std::string longLine(300, 'a');
  for (const Case& c : std::vector<Case>{
           {"", "first line\nsecond line", 100, "second line"},
           {"", "first line\nsecond line\n", 100, "second line"},
           {"", "first\n" + longLine + "the end", 20, longLine.substr(0, 13) + "the end"},
           {"before\nold line\n", "", 100, "old line"},
           {"old line\n", "new", 100, "new"},
           {"", "", 10, ""},
       }) {
    HeardStation s;
    s.earlier = c.earlier;
    s.latest = c.latest;
    EXPECT_EQ(s.NewestLine(c.chars), c.shown) << c.earlier << "|" << c.latest;
  }
}

}  // namespace
}  // namespace vela
