// Waterfall pixels to hertz, the fine-tune slider, squelch clicks, the sample-rate trim and
// the read-outs.
#include <gtest/gtest.h>

#include <cmath>

#include "app/window/WindowArithmetic.h"

namespace vela::app {
namespace {

TEST(WindowArithmetic, LayoutOffsetCountsFromTheDesignHeight) {
  EXPECT_EQ(LayoutOffset(492), 0);
  EXPECT_EQ(LayoutOffset(592), 100);
  EXPECT_EQ(LayoutOffset(442), -50);
}

TEST(WindowArithmetic, WaterfallColumnsAreThreePointNineHertzFromTwoFifty) {
  EXPECT_EQ(WaterfallFrequency(0), 250.0L);
  EXPECT_EQ(WaterfallFrequency(1), 253.90625L);
  EXPECT_EQ(WaterfallFrequency(192), 1000.0L);
  EXPECT_EQ(WaterfallFrequency(464), 2062.5L);
}

TEST(WindowArithmetic, WaterfallLevelIsDecibelsBelowFullScale) {
  EXPECT_NEAR(WaterfallLevel(168600.0f), 0.0f, 1e-4f);
  EXPECT_NEAR(WaterfallLevel(1686.0f), -40.0f, 1e-3f);
}

TEST(WindowArithmetic, SliderAfterAClickSitsBelowCentreByOneStepPerFiftyHertz) {
  EXPECT_EQ(FineTunePositionAfterClick(1000), 492);
  EXPECT_EQ(FineTunePositionAfterClick(250), 507);
  EXPECT_EQ(FineTunePositionAfterClick(1234.4L), 487);  // 24.688 rounds to 25
}

TEST(WindowArithmetic, FineTuneSpansTheModesTravelAroundTheClick) {
  EXPECT_EQ(FineTuneFrequency(1000, 1000, 512), 1000.0L);
  // Right of centre lowers the frequency.
  EXPECT_LT(FineTuneFrequency(1000, 1000, 600), 1000.0L);
  // Full travel: +-5.33 Hz in VELA8, +-42.7 in VELA63, +-85.3 in VELA125.
  EXPECT_NEAR(static_cast<double>(FineTuneFrequency(1000, 125, 0)), 1005.333, 1e-3);
  EXPECT_NEAR(static_cast<double>(FineTuneFrequency(1000, 1000, 1024)), 957.333, 1e-3);
  EXPECT_NEAR(static_cast<double>(FineTuneFrequency(800, 2000, 0)), 885.333, 1e-3);
}

TEST(WindowArithmetic, SquelchClickCountsUpFromTheBottomOfTheBar) {
  EXPECT_EQ(SquelchFromClick(100, 0), 100);
  EXPECT_EQ(SquelchFromClick(100, 99), 1);
  EXPECT_EQ(SquelchFromClick(100, 100), 0);
  EXPECT_EQ(SquelchFromClick(100, 30), 70);
  EXPECT_EQ(SquelchFromClick(100, -5), 100);
  EXPECT_EQ(SquelchFromClick(100, 140), 0);
}

TEST(WindowArithmetic, SampleRateStepsByATenthOnTheTenthsGrid) {
  EXPECT_EQ(StepSampleRate(8000, -1), 8000.1L);
  EXPECT_EQ(StepSampleRate(8000, 1), 7999.9L);
  // Many steps down and back land exactly where they started, and on the value the
  // settings file reads back.
  long double rate = 8000;
  for (int i = 0; i < 37; ++i) rate = StepSampleRate(rate, 1);
  EXPECT_EQ(rate, 7996.3L);
  for (int i = 0; i < 37; ++i) rate = StepSampleRate(rate, -1);
  EXPECT_EQ(rate, 8000.0L);
}

TEST(WindowArithmetic, SampleRateNeverReachesZero) {
  EXPECT_EQ(StepSampleRate(1.0L, 1), 1.0L);
  EXPECT_EQ(StepSampleRate(1.1L, 1), 1.0L);
  long double rate = 3;
  for (int i = 0; i < 100; ++i) rate = StepSampleRate(rate, 1);
  EXPECT_GE(rate, 1.0L);
  EXPECT_EQ(StepSampleRate(1.0L, -1), 1.1L);
}

TEST(WindowArithmetic, ReadOutFormats) {
  EXPECT_EQ(FormatSampleRate(8000), " 8000");
  EXPECT_EQ(FormatSampleRate(7999.9L), " 7999.9");
  EXPECT_EQ(FormatSampleRate(8000.04L), " 8000");
  EXPECT_EQ(FormatSampleRate(8000.06L), " 8000.1");
  EXPECT_EQ(FormatWhole(1000), "1000");
  EXPECT_EQ(FormatWhole(999.5L), "1000");
  EXPECT_EQ(FormatWhole(1042.67L), "1043");
  EXPECT_EQ(FormatWhole(-0.2L), "0");
  EXPECT_EQ(FormatOneDecimal(253.90625L), "253.9");
  EXPECT_EQ(FormatOneDecimal(-40), "-40.0");
  EXPECT_EQ(FormatOneDecimal(-0.04L), "0.0");
  EXPECT_EQ(FormatOneDecimal(-INFINITY), "-inf");
}

TEST(WindowArithmetic, ClockLine) {
  EXPECT_EQ(FormatClock(8, 12, 2026, 9, 5, 30), "8 December 2026 - 09:05:30 local time");
  EXPECT_EQ(FormatClock(31, 1, 2027, 23, 59, 59), "31 January 2027 - 23:59:59 local time");
  EXPECT_EQ(FormatClock(31, 1, 2027, 23, 59, 59, true), "31 January 2027 - 23:59:59 UTC");
  EXPECT_EQ(MonthName(13), "Octember");
  EXPECT_EQ(MonthName(0), "Octember");
  EXPECT_EQ(MonthName(9), "September");
}

TEST(WindowArithmetic, SaveScreenFileNames) {
  EXPECT_EQ(SaveScreenFileName(7, 12, 2026, 9, 50, 30), "VELA07December2026095030.rtf");
  EXPECT_EQ(SaveScreenFileName(31, 5, 2027, 0, 0, 5), "VELA31May2027000005.rtf");
  EXPECT_EQ(SaveScreenFileName(1, 13, 2026, 23, 59, 59), "VELA01Octember2026235959.rtf");
}

TEST(WindowArithmetic, PttAnswers) {
  EXPECT_EQ(PttPortFromAnswer(""), std::nullopt);
  EXPECT_EQ(PttPortFromAnswer("none"), 0);
  EXPECT_EQ(PttPortFromAnswer("COM3"), 3);
  EXPECT_EQ(PttPortFromAnswer("COM9"), 9);
  EXPECT_EQ(PttPortFromAnswer("COM0"), 0);
  EXPECT_EQ(PttPortFromAnswer("com7"), 7);
}

TEST(WindowArithmetic, TransmitFrequencyAnswers) {
  EXPECT_EQ(ParseFrequencyAnswer(" 1500"), 1500.0L);
  EXPECT_EQ(ParseFrequencyAnswer("1234.5"), 1234.5L);
  EXPECT_EQ(ParseFrequencyAnswer("800 Hz"), 800.0L);
  EXPECT_EQ(ParseFrequencyAnswer("800hz"), 800.0L);
  EXPECT_EQ(ParseFrequencyAnswer(".5"), 0.5L);
  EXPECT_EQ(ParseFrequencyAnswer("abc"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("1500abc"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("0"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("-1000"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("inf"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("1e3"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("Hz"), std::nullopt);
  EXPECT_EQ(ParseFrequencyAnswer("   "), std::nullopt);
}

}  // namespace
}  // namespace vela::app
