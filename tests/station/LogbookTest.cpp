// The QSO log as a logger reads it: whole records with the fields the operator gave, the
// band from the frequency, nothing lost or glued together after a crash or a full disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "station/Logbook.h"
#include "support/AdifReader.h"
#include "support/FullDisk.h"
#include "support/Vectors.h"

namespace vela {
namespace {

namespace fs = std::filesystem;
using std::chrono::system_clock;

std::string Bytes(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

QsoRecord Qso(std::string call, double hz) {
  QsoRecord r;
  r.call = std::move(call);
  r.timeOn = system_clock::from_time_t(1796826840);  // 2026-12-09 14:34:00 UTC
  r.timeOff = r.timeOn + std::chrono::seconds(754);
  r.frequencyHz = hz;
  r.submode = "VELA63";
  r.stationCallsign = "G3XYZ";
  r.myGrid = "IO91wm";
  return r;
}

TEST(Logbook, BandsFollowTheAmateurBandPlanAtTheirEdges) {
  const std::pair<double, std::string_view> cases[] = {
      {135.7e3, "2190m"}, {137.6e3, "2190m"}, {137.8e3, "2190m"}, {137.81e3, ""},   {135.69e3, ""},
      {472e3, "630m"},    {475.5e3, "630m"},  {479e3, "630m"},    {479.1e3, ""},    {503e3, "560m"},
      {1.836e6, "160m"},  {3.6e6, "80m"},     {5.3e6, "60m"},     {14.07e6, "20m"}, {28.5e6, "10m"},
      {50.3e6, "6m"},     {144.3e6, "2m"},    {10.368e9, "3cm"},  {0, ""},          {1e15, ""}};
  for (const auto& [hz, band] : cases) EXPECT_EQ(BandFor(hz), band) << hz;
}

// Two QSOs into a new file: a header naming the program, and two records with every field,
// read back by a reader of its own.
TEST(Logbook, RecordsReadBackWithEveryField) {
  const fs::path path = test::ScratchDir("logbook-fields") + "/VELAlog.adi";
  fs::remove(path);
  QsoRecord first = Qso("g4abc", 475500);
  first.submode = "VELA8";
  first.rstSent = "579";
  first.rstReceived = "559";
  first.name = "Jürgen";  // 7 bytes in UTF-8
  first.qth = "Near <Berlin>";
  first.grid = "JO62";
  first.comment = "tnx <EOR> fer QSO";  // a tag's look-alike inside a value
  Logbook log(path.string());
  ASSERT_TRUE(log.Open().ok);
  std::string error;
  ASSERT_TRUE(log.Append(first, &error)) << error;
  ASSERT_TRUE(log.Append(Qso("DL1AB", 137600), &error)) << error;

  const test::AdifFile file = test::ReadAdif(Bytes(path));
  EXPECT_FALSE(file.trailing);
  EXPECT_EQ(file.header.at("PROGRAMID"), "VELA Terminal");
  EXPECT_EQ(file.header.at("ADIF_VER").substr(0, 4), "3.1.");
  ASSERT_EQ(file.records.size(), 2u);
  const std::map<std::string, std::string> expected = {{"CALL", "G4ABC"},
                                                       {"QSO_DATE", "20261209"},
                                                       {"TIME_ON", "143400"},
                                                       {"QSO_DATE_OFF", "20261209"},
                                                       {"TIME_OFF", "144634"},
                                                       {"BAND", "630m"},
                                                       {"FREQ", "0.4755"},
                                                       {"MODE", "FSK"},
                                                       {"SUBMODE", "VELA8"},
                                                       {"RST_SENT", "579"},
                                                       {"RST_RCVD", "559"},
                                                       {"NAME", "Jürgen"},
                                                       {"QTH", "Near <Berlin>"},
                                                       {"GRIDSQUARE", "JO62"},
                                                       {"COMMENT", "tnx <EOR> fer QSO"},
                                                       {"STATION_CALLSIGN", "G3XYZ"},
                                                       {"MY_GRIDSQUARE", "IO91wm"}};
  EXPECT_EQ(file.records[0], expected);
  EXPECT_EQ(file.records[1].at("BAND"), "2190m");
  EXPECT_EQ(file.records[1].at("FREQ"), "0.1376");
  EXPECT_EQ(file.records[1].at("SUBMODE"), "VELA63");
  EXPECT_EQ(file.records[1].count("NAME"), 0u);  // nothing given, nothing written
}

// Whatever a crash left after the last whole record, the next start moves it aside and cuts
// it off, and the next record stands on its own.
TEST(Logbook, ATornLastRecordIsSetAsideAndNotGluedToTheNext) {
  const std::string dir = test::ScratchDir("logbook-torn");
  const std::string header = AdifHeader(system_clock::now());
  const std::string whole = AdifRecord(Qso("G4ABC", 475500));
  const std::pair<std::string, size_t> cases[] = {
      {header + whole + "<CALL:5>PA", 1},                  // a value cut short
      {header + whole + "<CALL:5>PA3XY <QSO_DA", 1},       // a tag cut short
      {header + whole + "<CALL:5>PA3XY <MODE:3>FSK ", 1},  // no <EOR>
      {header + AdifRecord([] {                            // an <EOR> inside a value
         QsoRecord r = Qso("G4ABC", 475500);
         r.comment = "<EOR>";
         return r;
       }()) +
           "<COMMENT:9>half <EOR",
       1},
      {header.substr(0, header.size() / 2), 0},  // the header itself
  };
  for (const auto& [before, kept] : cases) {
    SCOPED_TRACE(before);
    const fs::path path = dir + "/VELAlog.adi";
    fs::remove(path);
    fs::remove(dir + "/VELAlog.adi.torn");
    std::ofstream(path, std::ios::binary) << before;
    Logbook log(path.string());
    const Logbook::OpenResult open = log.Open();
    ASSERT_TRUE(open.ok) << open.message;
    EXPECT_NE(open.message.find("cut short"), std::string::npos);
    std::string error;
    ASSERT_TRUE(log.Append(Qso("OK1XYZ", 475500), &error)) << error;
    const test::AdifFile file = test::ReadAdif(Bytes(path));
    EXPECT_FALSE(file.trailing);
    ASSERT_EQ(file.records.size(), kept + 1);
    EXPECT_EQ(file.records.back().at("CALL"), "OK1XYZ");
    EXPECT_EQ(file.records.back(), test::ReadAdif(AdifRecord(Qso("OK1XYZ", 475500))).records[0]);
    EXPECT_EQ(file.header.at("PROGRAMID"), "VELA Terminal");
    // The torn bytes are kept, not lost.
    EXPECT_NE(Bytes(dir + "/VELAlog.adi.torn").find(before.substr(before.size() - 5)),
              std::string::npos);
  }
}

// A full disk: the record is refused, the file keeps exactly what it had, and once there is
// room the same record goes in whole.
TEST(Logbook, AFailedWriteLeavesTheFileAsItWasAndIsTold) {
  test::FullDisk disk(test::ScratchDir("logbook-full") + "/disk");
  if (!disk.ok) GTEST_SKIP() << "mounting a small disk needs root";
  const fs::path path = disk.dir / "VELAlog.adi";
  Logbook log(path.string());
  std::string error;
  ASSERT_TRUE(log.Append(Qso("G4ABC", 475500), &error)) << error;
  const std::string before = Bytes(path);
  disk.Fill();
  QsoRecord big = Qso("DL1AB", 137600);
  big.comment = std::string(9000, 'x');  // more than the last block left over
  EXPECT_FALSE(log.Append(big, &error));
  EXPECT_NE(error.find("No space left"), std::string::npos) << error;
  EXPECT_EQ(Bytes(path), before);
  disk.Free();
  ASSERT_TRUE(log.Append(big, &error)) << error;
  const test::AdifFile file = test::ReadAdif(Bytes(path));
  ASSERT_EQ(file.records.size(), 2u);
  EXPECT_EQ(file.records[1].at("COMMENT").size(), 9000u);
}

TEST(Logbook, RecordsALoggerCouldNotTakeAreRefused) {
  const auto with = [](auto change) {
    QsoRecord r = Qso("G4ABC", 475500);
    change(r);
    return r;
  };
  const std::pair<QsoRecord, std::string_view> cases[] = {
      {Qso("", 475500), "missing"},
      {Qso("G4 ABC", 475500), "odd character"},
      {with([](QsoRecord& r) { r.name = "two\nlines"; }), "name"},
      {with([](QsoRecord& r) { r.qth = "\xff\xfe"; }), "QTH"},
      {with([](QsoRecord& r) { r.comment = "\xe2\x82"; }), "comment"},  // a character cut short
      {with([](QsoRecord& r) { r.timeOff = r.timeOn - std::chrono::seconds(1); }), "before"},
  };
  const fs::path path = test::ScratchDir("logbook-refused") + "/VELAlog.adi";
  fs::remove(path);
  Logbook log(path.string());
  for (const auto& [record, reason] : cases) {
    std::string error;
    EXPECT_FALSE(log.Append(record, &error));
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace vela
