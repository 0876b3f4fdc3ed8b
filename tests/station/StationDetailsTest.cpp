// The station details survive a restart; a garbled file is said in one line and the
// defaults are used; only real locators are taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "station/StationDetails.h"
#include "support/Vectors.h"

namespace vela {
namespace {

TEST(StationDetails, SurviveARestartAndAGarbledFileFallsBackToDefaults) {
  const std::filesystem::path dir = test::ScratchDir("station-details");
  const std::string path = (dir / kStationFileName).string();
  EXPECT_EQ(LoadStationDetails(path).status, StationDetailsLoad::Status::Missing);
  const StationDetails full{"IO91wm",
                            "Inverted L, 15 m top, ATU",
                            475000,
                            true,
                            -6863000,
                            3735928559u,
                            true,
                            true,
                            "224.0.0.1:2237",
                            "VELA125",
                            false,
                            false,
                            WindowPlace{-1200, 40, 640, 260},
                            {32, 256, 12, 24}};
  for (const StationDetails& d : {StationDetails{}, full}) {
    std::string error;
    ASSERT_TRUE(SaveStationDetails(path, d, &error)) << error;
    const StationDetailsLoad load = LoadStationDetails(path);
    EXPECT_EQ(load.status, StationDetailsLoad::Status::Read) << load.message;
    EXPECT_EQ(load.details, d);
  }
  StationDetails badLocator = full;
  badLocator.locator = "IO9";
  StationDetails twoLines = full;
  twoLines.antenna = "dipole\nspots=off";
  for (const StationDetails& d : {badLocator, twoLines}) {
    std::string error;
    EXPECT_FALSE(SaveStationDetails(path, d, &error));
    EXPECT_NE(error.find("previous file is unchanged"), std::string::npos) << error;
    EXPECT_EQ(LoadStationDetails(path).details, full);
  }
  for (const std::string garbled :
       {"locator=IO91wmx\n", "dial=47five\n", "sideband=am\n", "offset=\n", "spots=yes\n",
        "reportid=-1\n", "\x01\x02\x03\n", "locator=IO91\nantenna\n", "udp=1\n", "udpserver=\n",
        "mode=VELA64\n", "receiver=coherent\n", "txfollows=yes\n", "wfzoom=3\n", "wfline=1000\n",
        "wfgain=+6\n", "wfrange=\n"}) {
    std::ofstream(path, std::ios::binary) << garbled;
    const StationDetailsLoad load = LoadStationDetails(path);
    EXPECT_EQ(load.status, StationDetailsLoad::Status::Garbled) << garbled;
    EXPECT_EQ(load.details, StationDetails{}) << garbled;
    EXPECT_EQ(load.message.find('\n'), std::string::npos);
    EXPECT_NE(load.message.find(kStationFileName), std::string::npos) << load.message;
  }
  // Comments, Windows line ends and keys of a later version are read past; so is a window's
  // place that cannot be one (it opens where it would without one).
  std::ofstream(path, std::ios::binary)
      << "; note\r\nlocator=jo22\r\nfuture=1\r\nbrowser=10,20,0,300\r\n";
  EXPECT_EQ(LoadStationDetails(path).details.locator, "jo22");
  EXPECT_FALSE(LoadStationDetails(path).details.browserPlace);
}

TEST(StationDetails, Locators) {
  for (const char* good : {"IO91", "io91wm", "AA00aa", "RR99XX", "JO22AB"})
    EXPECT_TRUE(IsLocator(good)) << good;
  for (const char* bad :
       {"", "IO9", "IO91w", "IO91wmx", "SO91", "IS91", "IO9A", "IO91YA", "IO91AY", "I091", "IO 91"})
    EXPECT_FALSE(IsLocator(bad)) << bad;
}

}  // namespace
}  // namespace vela
