#include "rx/FrameSync.h"

#include <gtest/gtest.h>

#include <vector>

#include "coding/Interleave.h"
#include "display/CorrelationDisplay.h"

namespace vela {
namespace {

// Feeds clean frames of sync values and alternating data into a handler, starting `shift`
// symbols into the stream, and returns the handler after `frames` searches.
FrameHandler CleanStream(InterleaveLength length, int shift, int frames) {
  const FrameGeometry& g = Geometry(length);
  FrameHandler h(length);
  int searches = 0;
  for (int i = 0; searches < frames; ++i) {
    const int pos = (i + shift) % g.frameLength;
    int symbol = (pos / g.groupSize) % 2 ? 1 : -1;
    if (pos % g.groupSize == 0) symbol = SyncPattern()[static_cast<size_t>(pos / g.groupSize)];
    if (symbol == 0) symbol = 1;
    searches += h.Add(symbol * 0.375L) ? 1 : 0;
  }
  return h;
}

TEST(FrameHandler, CleanSignalGivesFullCorrelationAtItsOffset) {
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const int L = Geometry(length).frameLength;
    for (int shift : {0, 1, 50, L - 1}) {
      FrameHandler h = CleanStream(length, shift, 3);
      EXPECT_EQ(h.syncPeak(), 961.0);
      // The window's last 2L bits in time order: the frame starts where the stream put it.
      const int expected = ((L - shift) % L + 1) % L;
      EXPECT_EQ(h.syncLocation(), expected) << "shift " << shift;
      EXPECT_EQ(CorrelationGrey(h.correlations()[static_cast<size_t>(expected)]), 69);
      EXPECT_EQ(CorrelationCaption(h.syncPeak(), h.syncLocation()),
                "Correlator sync confidence = 100%                 Sync start location =  " +
                    std::to_string(expected));
    }
  }
}

TEST(FrameHandler, FirstSearchComesAfterLMinusOneBitsOnAZeroWindow) {
  FrameHandler h(InterleaveLength::Long);
  for (int i = 0; i < 221; ++i) EXPECT_FALSE(h.Add(0.0L));
  EXPECT_TRUE(h.Add(0.0L));
  // A zero decision counts as a 0 bit (-1): the upper half is all -1, the lower still 0.
  EXPECT_EQ(h.window()[223 + 222], -1.0);
  EXPECT_EQ(h.window()[0], 0.0);
  EXPECT_EQ(h.searches(), 1);
}

TEST(FrameHandler, EqualPeaksKeepTheLowestOffsetAndAllZeroGivesOffsetZero) {
  FrameHandler h(InterleaveLength::Short);
  for (int i = 0; i < 126; ++i) h.Add(1.0L);
  // Upper half all +1, lower half zeros: every offset whose 32 taps reach only +1 values
  // ties; the lowest of them must win.
  double best = 0;
  int bestLoc = 0;
  for (int loc = 0; loc <= 127; ++loc) {
    if (HardSync::Correlate(h.window(), h.geometry(), loc) > best) {
      best = HardSync::Correlate(h.window(), h.geometry(), loc);
      bestLoc = loc;
    }
  }
  EXPECT_EQ(h.syncLocation(), bestLoc);
  EXPECT_EQ(h.syncPeak(), best);

  FrameHandler fresh(InterleaveLength::Short);
  EXPECT_EQ(HardSync::Correlate(fresh.window(), fresh.geometry(), 0), 0.0);
  EXPECT_EQ(fresh.syncLocation(), 0);
}

TEST(FrameDecoder, EveryPositionIsRewrittenAndTheHighestOffsetReadsNeutral) {
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const FrameGeometry& g = Geometry(length);
    std::vector<float> window(static_cast<size_t>(2 * g.frameLength), 1.0f);
    std::vector<float> coded(static_cast<size_t>(g.codedSymbols), 5.0f);
    DeinterleaveFrame(length, window, 0, UnsentSymbol::Read, coded);
    for (float v : coded) EXPECT_EQ(v, 1.0f);
    DeinterleaveFrame(length, window, g.frameLength, UnsentSymbol::Read, coded);
    int neutral = 0;
    for (float v : coded) neutral += v == 0.0f ? 1 : 0;
    EXPECT_EQ(neutral, 1);  // only the position past the window
    // ...which is where the never-sent last interleaved symbol belongs.
    EXPECT_EQ(coded[static_cast<size_t>(InterleaveTable(length).back())], 0.0f);
  }
}

}  // namespace
}  // namespace vela
