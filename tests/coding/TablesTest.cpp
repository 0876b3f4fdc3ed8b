// The encoder, interleave and Morse tables, and the mode table.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "coding/ConvolutionalCode.h"
#include "coding/Interleave.h"
#include "coding/Modes.h"
#include "coding/Morse.h"
#include "support/Vectors.h"

namespace vela {
namespace {

TEST(EncoderTable, AgreesWithTheIndependentTable) {
  const auto& expected = test::AirFormat()["encoder_table"];
  ASSERT_EQ(expected.size(), 256U);
  for (size_t r = 0; r < 256; ++r) EXPECT_EQ(EncoderTable()[r], expected[r].get<int>()) << r;
}

TEST(EncoderTable, GeneratorsAndTheAllOnesException) {
  // Generator 171: delays 0,1,2,3,6. Generator 133: delays 0,2,3,5,6.
  EXPECT_EQ(EncoderTable()[0b0000001], 3);  // the newest bit feeds both
  EXPECT_EQ(EncoderTable()[0b0000010], 2);  // delay 1: only 171
  EXPECT_EQ(EncoderTable()[0b0100000], 1);  // delay 5: only 133
  EXPECT_EQ(EncoderTable()[0b1000000], 3);  // delay 6: both
  EXPECT_EQ(EncoderTable()[127], 2);
  EXPECT_EQ(EncoderTable()[255], 2);
  for (int r = 0; r < 128; ++r) EXPECT_EQ(EncoderTable()[r], EncoderTable()[r + 128]) << r;
}

TEST(EncoderTable, RegisterStep) {
  uint8_t reg = 0;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(EncoderStep(reg, 0), 0);  // zeros code to zeros
  for (int i = 0; i < 6; ++i) EncoderStep(reg, 1);
  EXPECT_EQ(reg, 0b111111);
  EXPECT_EQ(SplitEntry(EncoderStep(reg, 1)).p1, 1);  // register 127
  EXPECT_EQ(SplitEntry(EncoderTable()[127]).p2, 0);
  EXPECT_EQ(EncoderStep(reg, 1), 2);  // register 255
  EXPECT_EQ(reg, 255);
  EncoderStep(reg, 0);
  EXPECT_EQ(reg, 254);  // modulo 256
  EXPECT_EQ(CodedBitToSymbol(1), 1);
  EXPECT_EQ(CodedBitToSymbol(0), -1);
}

TEST(Interleave, TablesAgreeWithTheIndependentOnes) {
  const auto& shortExpected = test::AirFormat()["short_interleave"];
  const auto& longExpected = test::AirFormat()["long_interleave"];
  ASSERT_EQ(ShortInterleave().size(), shortExpected.size());
  ASSERT_EQ(LongInterleave().size(), longExpected.size());
  for (size_t k = 0; k < 96; ++k) EXPECT_EQ(ShortInterleave()[k], shortExpected[k].get<int>());
  for (size_t k = 0; k < 192; ++k) EXPECT_EQ(LongInterleave()[k], longExpected[k].get<int>());
  EXPECT_EQ(ShortInterleave()[13], 9);
  EXPECT_EQ(LongInterleave()[13], 17);
}

TEST(Interleave, PermutationsThatRoundTrip) {
  for (auto length : {InterleaveLength::Short, InterleaveLength::Long}) {
    const auto& table = InterleaveTable(length);
    std::vector<int> sorted = table;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> identity(table.size());
    std::iota(identity.begin(), identity.end(), 0);
    EXPECT_EQ(sorted, identity);

    std::vector<int> c(table.size()), t(table.size()), back(table.size(), -99);
    std::iota(c.begin(), c.end(), 1000);
    Interleave<int>(table, c, t);
    EXPECT_EQ(t[1], c[static_cast<size_t>(table[1])]);
    Deinterleave<int>(table, t, back);
    EXPECT_EQ(back, c);
  }
  // Rows of 8 read by columns: the second symbol sent is the ninth coded one.
  EXPECT_EQ(ShortInterleave()[1], 8);
  EXPECT_EQ(LongInterleave()[1], 16);
}

TEST(Morse, PatternsAndGaps) {
  EXPECT_EQ(MorseTable()['E'], "--1-");
  EXPECT_EQ(MorseTable()['T'], "--111-");
  EXPECT_EQ(MorseTable()['A'], "--1-111-");
  EXPECT_EQ(MorseTable()['0'], "--111-111-111-111-111-");
  EXPECT_EQ(MorseTable()['5'], "--1-1-1-1-1-");
  EXPECT_EQ(MorseTable()['/'], "--111-1-1-111-1-");
  EXPECT_EQ(MorseTable()[' '], "---");
  EXPECT_EQ(MorseTable()['-'], " ");  // no pattern: one key-up tick
  EXPECT_EQ(MorseTable()['a'], " ");  // the table itself has no lower case
  EXPECT_EQ(MorseTable()[200], " ");
  EXPECT_EQ(MorsePattern("ab"),
            "--1-111-"
            "--111-1-1-1-");
  EXPECT_EQ(MorsePattern("e-"), "--1- ");
}

TEST(Modes, PerModeConstants) {
  struct Row {
    Mode mode;
    int rate, sps, buffer, frame, bits, filter, tickVar;
    double offset;
    InterleaveLength il;
    const char* title;
    const char* status;
  };
  const Row rows[] = {
      {Mode::Vela8, 125, 4096, 8192, 127, 48, 200, 400, 1.953125, InterleaveLength::Short,
       "VELA8 for LF/MF", "7.8 baud; Short interleave"},
      {Mode::Vela31, 500, 1024, 2048, 127, 48, 100, 200, 7.8125, InterleaveLength::Short,
       "VELA31 for LF/MF", "31 baud; Short interleave"},
      {Mode::Vela63, 1000, 512, 1024, 223, 96, 50, 100, 15.625, InterleaveLength::Long,
       "VELA63 for LF/MF", "63 baud; Long interleave"},
      {Mode::Vela125, 2000, 256, 512, 223, 96, 25, 50, 31.25, InterleaveLength::Long,
       "VELA125 for LF/MF", "125 baud; Long interleave"},
  };
  for (const Row& r : rows) {
    const ModeParams& m = ModeTable(r.mode);
    EXPECT_EQ(m.modeRate, r.rate);
    EXPECT_EQ(m.samplesPerSymbol, r.sps);
    EXPECT_EQ(m.bufferLength, 2 * m.samplesPerSymbol);
    EXPECT_EQ(m.bufferLength, r.buffer);
    EXPECT_DOUBLE_EQ(m.symbolRate * 16, m.modeRate);
    EXPECT_DOUBLE_EQ(m.symbolRate * m.samplesPerSymbol, kOutputSampleRate);
    EXPECT_DOUBLE_EQ(m.toneOffset, r.offset);
    EXPECT_DOUBLE_EQ(m.toneOffset, m.symbolRate / 4);
    EXPECT_DOUBLE_EQ(ToneOffsetForBufferLength(m.bufferLength), m.toneOffset);
    EXPECT_EQ(m.interleave, r.il);
    EXPECT_EQ(m.frameLength, r.frame);
    EXPECT_EQ(m.dataBitsPerFrame, r.bits);
    EXPECT_EQ(m.rxFilterLength, r.filter);
    EXPECT_EQ(MorseTickMs(r.mode, 1), r.tickVar);
    EXPECT_EQ(MorseTickMs(r.mode, 0), 100);
    EXPECT_EQ(m.title, r.title);
    EXPECT_EQ(m.statusText, r.status);
    EXPECT_EQ(ModeFromRate(r.rate), r.mode);
  }
  EXPECT_EQ(kDefaultMode, Mode::Vela63);
  EXPECT_EQ(ModeFromRate(250), std::nullopt);
}

TEST(Modes, NamesOnTheCommandLine) {
  EXPECT_EQ(ParseMode("vela8"), Mode::Vela8);
  EXPECT_EQ(ParseMode("VELA31"), Mode::Vela31);
  EXPECT_EQ(ParseMode("Vela63"), Mode::Vela63);
  EXPECT_EQ(ParseMode("125"), Mode::Vela125);
  EXPECT_EQ(ParseMode("8"), Mode::Vela8);
  EXPECT_EQ(ParseMode("vela"), std::nullopt);
  EXPECT_EQ(ParseMode("64"), std::nullopt);
  EXPECT_EQ(ParseMode(""), std::nullopt);
  EXPECT_EQ(ParseMode("vela1255"), std::nullopt);
}

}  // namespace
}  // namespace vela
