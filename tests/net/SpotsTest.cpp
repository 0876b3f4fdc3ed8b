// Spots read back by a reader written from RFC 7011 and the service's element table, not by
// the encoder's own code: what goes in each datagram, and when datagrams go.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "net/SpotReporter.h"
#include "support/IpfixReader.h"

namespace vela::net {
namespace {

constexpr uint32_t kPsk = 30351;  // the service's enterprise number
constexpr uint32_t kIana = 0;

struct RecordingSink : DatagramSink {
  bool up = true;
  std::vector<std::vector<uint8_t>> datagrams;
  bool Send(std::span<const uint8_t> d) override {
    if (up) datagrams.emplace_back(d.begin(), d.end());
    return up;
  }
};

const ReceiverRecord kReceiver{"G4XYZ", "IO91wm", "VELA Terminal 0.1", "100 m wire, 10 m up"};

// A datagram read back, with what every one of ours must hold checked on the way.
test::IpfixMessage Read(const std::vector<uint8_t>& d,
                        std::map<uint16_t, test::IpfixTemplate>& known) {
  EXPECT_LE(d.size(), 1400u);
  test::IpfixMessage m = test::ReadIpfix(d, known);
  EXPECT_EQ(m.error, "");
  size_t receivers = 0;
  for (const test::IpfixRecord& r : m.records) {
    if (r.values.count({kPsk, 2}) == 0) continue;
    ++receivers;
    EXPECT_EQ(r.Text(kPsk, 2), kReceiver.callsign);
    EXPECT_EQ(r.Text(kPsk, 4), kReceiver.locator);
    EXPECT_EQ(r.Text(kPsk, 8), kReceiver.software);
    EXPECT_EQ(r.Text(kPsk, 9), kReceiver.antenna);
  }
  EXPECT_EQ(receivers, 1u);
  return m;
}

std::vector<const test::IpfixRecord*> Senders(const test::IpfixMessage& m) {
  std::vector<const test::IpfixRecord*> out;
  for (const test::IpfixRecord& r : m.records)
    if (r.values.count({kPsk, 1})) out.push_back(&r);
  return out;
}

TEST(Spots, DatagramsReadBackFieldForField) {
  SpotEncoder encoder(0xC0FFEE01);
  const std::vector<SenderRecord> senders = {
      {"G3ABC", 137612, -21, "VELA8", 1765000000},
      {"DL/G3XYZ/P", 475313, 5, "VELA125", 1765000061},
      {"PA0QQ", 4294967295u, -128, "VELA31", 1765000122},
  };
  std::map<uint16_t, test::IpfixTemplate> known;
  size_t taken = 0;
  const std::vector<uint8_t> first = encoder.Message(kReceiver, senders, true, 1765000200, &taken);
  EXPECT_EQ(taken, 3u);
  const test::IpfixMessage m = Read(first, known);
  EXPECT_EQ(m.exportTime, 1765000200u);
  EXPECT_EQ(m.sequence, 0u);
  EXPECT_EQ(m.domain, 0xC0FFEE01u);
  // The receiver's template carries options scoped by its call; the sender's is plain.
  ASSERT_EQ(m.templates.size(), 2u);
  const std::vector<test::IpfixField> receiverFields = {
      {2, 0xFFFF, kPsk}, {4, 0xFFFF, kPsk}, {8, 0xFFFF, kPsk}, {9, 0xFFFF, kPsk}};
  const std::vector<test::IpfixField> senderFields = {{1, 0xFFFF, kPsk}, {5, 4, kPsk},
                                                      {6, 1, kPsk},      {10, 0xFFFF, kPsk},
                                                      {11, 1, kPsk},     {150, 4, kIana}};
  EXPECT_TRUE(m.templates[0].options);
  EXPECT_EQ(m.templates[0].scopeCount, 1);
  EXPECT_EQ(m.templates[0].fields, receiverFields);
  EXPECT_FALSE(m.templates[1].options);
  EXPECT_EQ(m.templates[1].fields, senderFields);
  const auto got = Senders(m);
  ASSERT_EQ(got.size(), senders.size());
  for (size_t i = 0; i < senders.size(); ++i) {
    EXPECT_EQ(got[i]->Text(kPsk, 1), senders[i].callsign);
    EXPECT_EQ(got[i]->Unsigned(kPsk, 5), senders[i].frequencyHz);
    EXPECT_EQ(got[i]->Signed(kPsk, 6), senders[i].snrDb);
    EXPECT_EQ(got[i]->Text(kPsk, 10), senders[i].mode);
    EXPECT_EQ(got[i]->Unsigned(kPsk, 11), 1u);  // taken off the air automatically
    EXPECT_EQ(got[i]->Unsigned(kIana, 150), senders[i].heard);
  }
  // Without templates the next reads by those learnt; its sequence counts the 4 records.
  const std::vector<uint8_t> second =
      encoder.Message(kReceiver, std::span(senders).first(1), false, 1765000500, &taken);
  const test::IpfixMessage n = Read(second, known);
  EXPECT_TRUE(n.templates.empty());
  EXPECT_EQ(n.sequence, 4u);
  EXPECT_EQ(Senders(n).size(), 1u);

  // Wireshark's dissector, where it is installed, finds nothing malformed either.
  if (std::system("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "no tshark";
  const std::string dir = std::getenv("VELA_TEST_TMP") ? std::getenv("VELA_TEST_TMP") : "/tmp";
  std::system(("mkdir -p '" + dir + "'").c_str());
  const std::string out = dir + "/spots.txt";
  std::string dump = "(";
  for (const auto* d : {&first, &second}) {
    const std::string bin = dir + "/spot" + std::to_string(dump.size()) + ".bin";
    std::ofstream(bin, std::ios::binary)
        .write(reinterpret_cast<const char*>(d->data()), static_cast<std::streamsize>(d->size()));
    dump += "od -Ax -tx1 -v '" + bin + "';";
  }
  ASSERT_EQ(std::system((dump + ") | text2pcap -q -u 40000,4739 - '" + dir +
                         "/spots.pcap' && tshark -r '" + dir +
                         "/spots.pcap' -d udp.port==4739,cflow -V > '" + out + "' 2>&1")
                            .c_str()),
            0);
  std::ifstream in(out);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto count = [&](const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  // Its one mark: it keeps no options template whose scope field has a variable length, so
  // the receiver records go undecoded (shown "malformed"); a fixed-length scope it reads.
  const size_t receiverSets = count("FlowSet Id: (Data) (39314)");
  EXPECT_EQ(receiverSets, 2u) << text;
  EXPECT_EQ(count("Malformed"), 2 * receiverSets) << text;
  EXPECT_EQ(count("(Warning/Malformed): Data (52 bytes), no template found]"), receiverSets)
      << text;
  EXPECT_EQ(count("Type 1: Value (hex bytes): 47 33 41 42 43"), 2u) << text;  // G3ABC, twice
  EXPECT_EQ(count("Type 1: Value (hex bytes): 50 41 30 51 51"), 1u) << text;  // PA0QQ
}

// An hour and a half on a busy band, with the clock scripted: datagrams at most every five
// minutes, templates in the first three and again after an hour, each call once per five
// minutes per band, nothing while transmitting, the dial's absence said once.
TEST(Spots, ReporterKeepsToItsSchedule) {
  RecordingSink sink;
  int64_t now = 1765000000;
  SpotReporter reporter(kReceiver, 77, sink, [&] { return now; });
  const int64_t start = now;
  reporter.Heard({"G3ABC", Mode::Vela31, 1000.0, -10.0, now});
  reporter.Heard({"G3ABD", Mode::Vela31, 1000.0, -10.0, now});
  EXPECT_EQ(reporter.TakeNotices().size(), 1u);  // said once
  reporter.SetDial({475000, Sideband::Usb, 0});
  std::map<std::string, int64_t> expected;  // a new call each minute on 630 m: when heard
  for (int second = 0; second < 5400; second += 10, now += 10) {
    const bool transmitting = second >= 1800 && second < 2400;
    reporter.SetTransmitting(transmitting);
    // A new call every minute, an old one repeating every 40 s, both on 630 m, and the old
    // one on 2200 m too (a converter: dial 136000 LSB here is 137000 minus audio).
    if (second % 60 == 0) {
      std::string call = "G";
      call += std::to_string(second / 600 % 10);
      call += 'N';
      call += static_cast<char>('A' + second / 60 % 10);
      call += 'X';
      reporter.Heard({call, Mode::Vela63, 1234.4, -3.6, now});
      if (!transmitting && second < 5000) expected[call] = now;  // later may wait still
    }
    if (second % 40 == 0) {
      reporter.Heard({"PA0QQ", Mode::Vela8, 800.0, 2.5, now});
      reporter.SetDial({136000, Sideband::Lsb, 1000});
      reporter.Heard({"PA0QQ", Mode::Vela8, 800.0, 2.5, now});
      reporter.SetDial({475000, Sideband::Usb, 0});
    }
    reporter.Poll();
  }
  EXPECT_TRUE(reporter.TakeNotices().empty());
  std::map<uint16_t, test::IpfixTemplate> known;
  std::vector<int64_t> sent, withTemplates;
  std::map<std::pair<std::string, uint64_t>, std::vector<int64_t>> heard;  // call, hz: times
  for (const auto& d : sink.datagrams) {
    const test::IpfixMessage m = Read(d, known);
    sent.push_back(m.exportTime);
    if (!m.templates.empty()) withTemplates.push_back(m.exportTime - start);
    for (const auto* r : Senders(m)) {
      heard[{r->Text(kPsk, 1), *r->Unsigned(kPsk, 5)}].push_back(*r->Unsigned(kIana, 150));
      if (r->Text(kPsk, 1) != "PA0QQ") {
        EXPECT_EQ(r->Text(kPsk, 10), "VELA63");
        EXPECT_EQ(r->Signed(kPsk, 6), -4);
      }
    }
  }
  for (size_t i = 1; i < sent.size(); ++i) EXPECT_GE(sent[i] - sent[i - 1], 300);
  EXPECT_GE(sent.size(), 15u);
  EXPECT_EQ(withTemplates, (std::vector<int64_t>{0, 300, 600, 600 + 3600}));
  for (const auto& [call, when] : expected)
    EXPECT_EQ(heard[std::make_pair(call, 476234)], std::vector<int64_t>(1, when)) << call;
  for (const uint64_t hz : {475800u, 136200u}) {  // PA0QQ on each band, 5 minutes apart
    const auto& times = heard[{"PA0QQ", hz}];
    ASSERT_GE(times.size(), 10u) << hz;
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 300) << hz;
    for (int64_t t : times)
      EXPECT_FALSE(t - start >= 1800 && t - start < 2400) << "sent while transmitting";
  }
  EXPECT_EQ(reporter.dropped(), 0);
  EXPECT_TRUE(reporter.WasReported("PA0QQ"));
  EXPECT_FALSE(reporter.WasReported("G3ABC"));  // heard while the dial was unknown
}

// While the network is down the queue keeps the latest, says so once and counts the rest;
// back on the network, a 200-station batch splits into datagrams of at most 1400 bytes.
TEST(Spots, AFullQueueDropsTheOldestAndABigBatchSplits) {
  RecordingSink sink;
  int64_t now = 1765000000;
  ReporterConfig config;
  config.queueLimit = 200;
  SpotReporter reporter(
      kReceiver, 78, sink, [&] { return now; }, config);
  reporter.SetDial({136000, Sideband::Usb, 0});
  auto call = [](int i) { return "DL" + std::to_string(i % 10) + char('A' + i / 10 % 26) + "ZZ"; };
  sink.up = false;
  for (int i = 0; i < 250; ++i) reporter.Heard({call(i), Mode::Vela125, 1500.0, 0.0, now});
  reporter.Flush();
  reporter.Flush();
  EXPECT_EQ(reporter.TakeNotices().size(), 1u);
  EXPECT_EQ(reporter.dropped(), 50);
  sink.up = true;
  reporter.Flush();
  std::map<uint16_t, test::IpfixTemplate> known;
  std::multiset<std::string> calls;
  uint32_t records = 0;
  for (const auto& d : sink.datagrams) {
    const test::IpfixMessage m = Read(d, known);
    EXPECT_EQ(m.sequence, records);
    records += static_cast<uint32_t>(m.records.size());
    for (const auto* r : Senders(m)) calls.insert(r->Text(kPsk, 1));
  }
  EXPECT_GE(sink.datagrams.size(), 3u);
  ASSERT_EQ(calls.size(), 200u);
  for (int i = 0; i < 250; ++i) EXPECT_EQ(calls.count(call(i)), i < 50 ? 0u : 1u) << call(i);
  EXPECT_EQ(reporter.reported(), 200);
  EXPECT_EQ(reporter.queued(), 0u);
}

}  // namespace
}  // namespace vela::net
