// The Receiver seam: receivers side by side on the same samples share nothing, Reset gives
// a new receiver, Flush brings out what the enhanced receiver holds back, and a
// configuration keeps its last usable values.
#include "rx/Receiver.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "rx/FrameReceiver.h"
#include "support/Signals.h"

namespace vela {
namespace {

// Every event a receiver reports, in order, as numbers, and how many of each kind.
struct Log : ReceiverEvents {
  std::vector<double> v;
  int64_t eyeSteps = 0, frames = 0;
  void EyeStep(int subSymbol, long double step) override {
    ++eyeSteps;
    v.insert(v.end(), {1.0, static_cast<double>(subSymbol), static_cast<double>(step)});
  }
  void Refresh(int level) override { v.insert(v.end(), {2.0, static_cast<double>(level)}); }
  void Frame(const FrameResult& f) override {
    ++frames;
    v.insert(v.end(), {3.0, static_cast<double>(f.interleave), static_cast<double>(f.search),
                       f.syncPeak, static_cast<double>(f.syncLocation)});
    v.insert(v.end(), f.correlations.begin(), f.correlations.end());
    v.insert(v.end(), f.coded.begin(), f.coded.end());
  }
  void DecodedBit(int bit) override { v.insert(v.end(), {4.0, static_cast<double>(bit)}); }
};

// Two keyed signals (125 baud at 1000 Hz, 31.25 baud at 1500 Hz) in noise, 8000 Hz.
std::vector<int16_t> Band(double seconds, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> bit(0, 1);
  std::normal_distribution<double> noise(0.0, 1500.0);
  auto symbols = [&](double baud) {
    std::vector<int> s(static_cast<size_t>(seconds * baud) + 1);
    for (int& x : s) x = bit(rng) ? 1 : -1;
    return s;
  };
  const auto fast = test::Msk(symbols(125.0), 8000.0, 1000.0, 125.0, 6000.0);
  const auto slow = test::Msk(symbols(31.25), 8000.0, 1500.0, 31.25, 4000.0);
  std::vector<int16_t> out(static_cast<size_t>(seconds * 8000.0));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<int16_t>(std::lround(fast[i] + slow[i] + noise(rng)));
  return out;
}

struct Listener {
  ReceiverKind kind;
  ReceiverConfig config;
};

std::unique_ptr<Receiver> Make(const Listener& s) {
  std::unique_ptr<Receiver> r;
  if (s.kind == ReceiverKind::Enhanced)
    r = std::make_unique<EnhancedReceiver>();
  else
    r = std::make_unique<StandardReceiver>();
  r->Configure(s.config);
  return r;
}

const std::vector<Listener>& Listeners() {
  static const std::vector<Listener> listeners = {
      {ReceiverKind::Standard, {Mode::Vela125, 8000.0L, 1000.0L}},
      {ReceiverKind::Enhanced, {Mode::Vela125, 8000.0L, 1000.0L}},
      {ReceiverKind::Standard, {Mode::Vela31, 8000.0L, 1500.0L}},
      {ReceiverKind::Enhanced, {Mode::Vela31, 8000.0L, 1500.0L}},
      {ReceiverKind::Enhanced, {Mode::Vela63, 7999.5L, 1200.0L}},
      {ReceiverKind::Standard, {Mode::Vela8, 8000.4L, 1003.7L}},
  };
  return listeners;
}

TEST(Receiver, SideBySideOnTheSameSamplesEachReportsWhatItWouldAlone) {
  const auto band = Band(18.0, 5);
  std::vector<Log> alone(Listeners().size());
  for (size_t i = 0; i < Listeners().size(); ++i) {
    auto r = Make(Listeners()[i]);
    r->Process(band, alone[i]);
    r->Flush(alone[i]);
    ASSERT_GT(alone[i].frames, 0) << i;  // frames were found and decoded
  }
  // All at once, the samples dealt out in random blocks to each receiver in turn.
  std::vector<std::unique_ptr<Receiver>> receivers;
  for (const Listener& s : Listeners()) receivers.push_back(Make(s));
  std::vector<Log> together(Listeners().size());
  std::mt19937 rng(17);
  std::uniform_int_distribution<size_t> block(1, 3000);
  for (size_t at = 0; at < band.size();) {
    const size_t n = std::min(block(rng), band.size() - at);
    for (size_t i = 0; i < receivers.size(); ++i)
      receivers[i]->Process(std::span(band).subspan(at, n), together[i]);
    at += n;
  }
  for (size_t i = 0; i < receivers.size(); ++i) {
    receivers[i]->Flush(together[i]);
    EXPECT_EQ(together[i].v, alone[i].v) << "receiver " << i;
  }
}

TEST(Receiver, ResetGivesANewReceiverDecoderIncluded) {
  const auto before = Band(6.0, 1);
  const auto after = Band(8.0, 2);
  for (const Listener& s : Listeners()) {
    ViterbiDecoder lent;
    std::unique_ptr<Receiver> used;
    if (s.kind == ReceiverKind::Standard)
      used = std::make_unique<StandardReceiver>(lent);
    else
      used = Make(s);
    used->Configure(s.config);
    Log ignored, reused, fresh;
    used->Process(before, ignored);
    used->Reset();
    EXPECT_EQ(used->signalLevel(), 0);
    used->Process(after, reused);
    auto newOne = Make(s);
    newOne->Process(after, fresh);
    EXPECT_EQ(reused.v, fresh.v) << ModeTable(s.config.mode).name;
    EXPECT_EQ(used->config().sampleRate, s.config.sampleRate);
  }
}

TEST(Receiver, FlushBringsOutEverySymbolTheEnhancedReceiverHeldBack) {
  for (Mode mode : {Mode::Vela31, Mode::Vela125}) {
    const double baud = ModeTable(mode).symbolRate;
    const int symbols = static_cast<int>(8.0 * baud);
    std::vector<int> keyed(static_cast<size_t>(symbols));
    for (int i = 0; i < symbols; ++i) keyed[static_cast<size_t>(i)] = i % 3 ? 1 : -1;
    const auto audio = test::Msk(keyed, 8000.0, 1000.0, baud);
    for (ReceiverKind kind : {ReceiverKind::Standard, ReceiverKind::Enhanced}) {
      auto r = Make({kind, {mode, 8000.0L, 1000.0L}});
      Log log;
      r->Process(audio, log);
      const int64_t decided = log.eyeSteps / 4;  // four eye steps per decided symbol
      const size_t events = log.v.size();
      r->Flush(log);
      const int64_t flushed = log.eyeSteps / 4;
      if (kind == ReceiverKind::Standard) {
        EXPECT_EQ(r->Latency(), 0);
        EXPECT_EQ(log.v.size(), events);   // nothing held back, nothing added
        EXPECT_GE(decided, symbols - 16);  // behind only by its filters
      } else {
        EXPECT_GT(r->Latency(), 16);
        EXPECT_LE(decided, symbols - r->Latency() / 4);  // a good part held back
        EXPECT_GE(flushed, symbols - 1);
      }
    }
  }
}

TEST(Receiver, ConfigurationKeepsItsLastUsableValues) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double inf = std::numeric_limits<long double>::infinity();
  for (ReceiverKind kind : {ReceiverKind::Standard, ReceiverKind::Enhanced}) {
    ViterbiDecoder shared;
    auto r = MakeReceiver(kind, shared);
    r->Configure({Mode::Vela31, 11025.0L, 1234.5L});
    for (long double rate : {nan, inf, -inf, 0.0L, -8000.0L, 1.0e4000L}) {
      r->Configure({Mode::Vela31, rate, 1234.5L});
      EXPECT_EQ(r->config().sampleRate, 11025.0L) << static_cast<double>(rate);
    }
    for (long double centre : {nan, inf, -inf, 1.0e4000L}) {
      r->Configure({Mode::Vela8, 11025.0L, centre});
      EXPECT_EQ(r->config().centreFrequency, 1234.5L);
      EXPECT_EQ(r->config().mode, Mode::Vela8);
    }
  }
}

}  // namespace
}  // namespace vela
