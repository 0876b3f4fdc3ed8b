#include "rx/FirTaps.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>
#include <string>
#include <vector>

#include "support/Vectors.h"

namespace vela {
namespace {

struct Table {
  std::string name;
  const std::vector<long double>& taps;
  std::size_t stored;
  std::size_t used;
};

std::vector<Table> AllTables() {
  return {{"FirTaps25", FirTaps25(), 25, 25},
          {"FirTaps50", FirTaps50(), 51, 50},
          {"FirTaps100", FirTaps100(), 101, 100},
          {"FirTaps200", FirTaps200(), 201, 200},
          {"SymbolTaps86", SymbolTaps86(), 86, 86}};
}

std::vector<long double> Used(const std::vector<long double>& taps, std::size_t used) {
  return {taps.begin(), taps.begin() + static_cast<std::ptrdiff_t>(used)};
}

// Gain of a filter at `f` cycles per sample.
long double Gain(const std::vector<long double>& taps, long double f) {
  const long double w = 2.0L * std::numbers::pi_v<long double> * f;
  std::complex<long double> sum = 0.0L;
  for (std::size_t n = 0; n < taps.size(); ++n) sum += taps[n] * std::polar(1.0L, -w * n);
  return std::abs(sum);
}

// The lowest frequency, in cycles per sample, at which the gain relative to DC first falls
// to `db` below it: scanned in small steps, then narrowed down by bisection.
long double Edge(const std::vector<long double>& taps, long double db) {
  const long double dc = Gain(taps, 0.0L);
  const auto below = [&](long double f) { return 20.0L * std::log10(Gain(taps, f) / dc) <= -db; };
  const long double step = 1e-4L;
  long double hi = step;
  while (!below(hi)) hi += step;
  long double lo = hi - step;
  for (int i = 0; i < 40; ++i) {
    const long double mid = (lo + hi) / 2;
    (below(mid) ? hi : lo) = mid;
  }
  return hi;
}

// One unit of the last of seven significant digits, the precision the tables are quoted in.
long double SeventhDigit(long double value) {
  return std::pow(10.0L, std::floor(std::log10(std::fabs(value))) - 6);
}

TEST(FirTapsTest, TablesHaveTheirLengthsAndAreSymmetric) {
  for (const Table& t : AllTables()) {
    SCOPED_TRACE(t.name);
    ASSERT_EQ(t.taps.size(), t.stored);
    // Stored tables of odd length mirror about their middle; SymbolTaps86 about 42.5.
    for (std::size_t i = 0; i < t.stored; ++i) {
      EXPECT_EQ(t.taps[i], t.taps[t.stored - 1 - i]) << "index " << i;
    }
  }
  // The spare last coefficient of the 51-entry table repeats the first.
  EXPECT_EQ(FirTaps50()[50], FirTaps50()[0]);
}

TEST(FirTapsTest, UsedCoefficientsSumToTheListedDcGains) {
  const std::array<long double, 5> sums = {1.00416L, 0.99935L, 0.99967L, 0.99982L, 1.01208L};
  const std::vector<Table> tables = AllTables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    SCOPED_TRACE(tables[i].name);
    const std::vector<long double> used = Used(tables[i].taps, tables[i].used);
    EXPECT_NEAR(std::accumulate(used.begin(), used.end(), 0.0L), sums[i], 5e-6L);
  }
  // The designed tables are scaled to unit DC gain over all their stored coefficients.
  EXPECT_NEAR(std::accumulate(FirTaps100().begin(), FirTaps100().end(), 0.0L), 1.0L, 1e-15L);
  EXPECT_NEAR(std::accumulate(FirTaps200().begin(), FirTaps200().end(), 0.0L), 1.0L, 1e-15L);
}

TEST(FirTapsTest, KaiserDesignReproducesTheFixedFiftyTapFilter) {
  // The 50-tap filter is a Kaiser-windowed sinc with its cutoff at 320/44100 of the sample
  // rate: every listed coefficient is the design rounded to seven significant digits.
  const std::vector<long double> design = KaiserLowPass(51, 320.0L / 44100.0L);
  ASSERT_EQ(design.size(), 51u);
  for (std::size_t i = 0; i < design.size(); ++i) {
    EXPECT_LE(std::fabs(design[i] - FirTaps50()[i]), 0.5L * SeventhDigit(FirTaps50()[i]))
        << "index " << i;
  }
}

TEST(FirTapsTest, DesignedTablesMatchTheReferenceCoefficients) {
  const auto& json = test::AirFormat();
  const std::vector<std::pair<const char*, const std::vector<long double>*>> cases = {
      {"fir_taps_100", &FirTaps100()}, {"fir_taps_200", &FirTaps200()}};
  for (const auto& [key, taps] : cases) {
    SCOPED_TRACE(key);
    const std::vector<double> ref = json.at(key).get<std::vector<double>>();
    ASSERT_EQ(ref.size(), taps->size());
    for (std::size_t i = 0; i < ref.size(); ++i) {
      // The leading six are the long-established coefficients, quoted to seven digits;
      // the rest come from an independent run of the same design, within two units of
      // their seventh digit.
      const long double tolerance = i < 6 ? 4e-10L : 2.0L * SeventhDigit(ref[i]);
      EXPECT_NEAR((*taps)[i], ref[i], tolerance) << "index " << i;
    }
  }
  EXPECT_NEAR(FirTaps100()[50], 0.02005537L, 5e-9L);
  EXPECT_NEAR(FirTaps200()[100], 0.009893333L, 5e-10L);
}

TEST(FirTapsTest, DesignedTablesRiseMonotonicallyToTheirPeak) {
  for (const auto* taps : {&FirTaps100(), &FirTaps200()}) {
    const std::size_t centre = taps->size() / 2;
    EXPECT_GT((*taps)[0], 0.0L);
    for (std::size_t i = 1; i <= centre; ++i) EXPECT_GT((*taps)[i], (*taps)[i - 1]) << i;
  }
}

TEST(FirTapsTest, FirstStageTablesMeetTheirResponseEdges) {
  // Edges at 8000 Hz for -1, -3, -6, -20 and -40 dB relative to DC, quoted as the first
  // point of a 0.4 Hz grid at or beyond the true edge.
  struct Case {
    const char* name;
    const std::vector<long double>& taps;
    std::size_t used;
    std::array<long double, 5> edgesHz;
  };
  const std::array<long double, 5> levels = {1, 3, 6, 20, 40};
  const std::vector<Case> cases = {
      {"FirTaps200", FirTaps200(), 200, {16.4L, 28.0L, 38.8L, 65.6L, 80.8L}},
      {"FirTaps100", FirTaps100(), 100, {32.8L, 56.4L, 78.4L, 132.8L, 165.2L}},
      {"FirTaps50", FirTaps50(), 50, {65.6L, 112.4L, 156.4L, 265.6L, 330.0L}},
      {"FirTaps25", FirTaps25(), 25, {138.4L, 237.6L, 332.0L, 572.0L, 733.6L}}};
  for (const Case& c : cases) {
    const std::vector<long double> used = Used(c.taps, c.used);
    for (std::size_t i = 0; i < levels.size(); ++i) {
      const long double edgeHz = Edge(used, levels[i]) * 8000.0L;
      SCOPED_TRACE(std::string(c.name) + " at -" + std::to_string(int(levels[i])) + " dB");
      EXPECT_GT(edgeHz, c.edgesHz[i] - 0.4L);
      EXPECT_LE(edgeHz, c.edgesHz[i]);
    }
  }
}

TEST(FirTapsTest, SymbolFilterMeetsItsResponseEdgesInBaud) {
  // It runs at 16 samples per symbol, so one baud is 1/16 cycle per sample.
  const std::array<long double, 5> levels = {1, 3, 6, 20, 40};
  const std::array<long double, 5> edgesBaud = {0.57L, 0.64L, 0.71L, 0.86L, 0.96L};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    EXPECT_NEAR(Edge(SymbolTaps86(), levels[i]) * 16.0L, edgesBaud[i], 0.005L)
        << "-" << levels[i] << " dB";
  }
}

TEST(FirTapsTest, FirstStageTableFollowsTheFilterLength) {
  EXPECT_EQ(&FirstStageTaps(25), &FirTaps25());
  EXPECT_EQ(&FirstStageTaps(50), &FirTaps50());
  EXPECT_EQ(&FirstStageTaps(100), &FirTaps100());
  EXPECT_EQ(&FirstStageTaps(200), &FirTaps200());
}

}  // namespace
}  // namespace vela
