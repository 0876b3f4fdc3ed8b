#include "rx/FirTaps.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

namespace vela {

namespace {

// A symmetric table from its first half up to and including the centre coefficient. The
// listed coefficients are taken as the double values of their decimals, widened to extended
// precision: that is how the reference receiver of the air-format vectors holds them, and
// its decisions are then matched to the last bit.
std::vector<long double> Mirror(const std::vector<double>& half, std::size_t size) {
  std::vector<long double> taps(size);
  for (std::size_t i = 0; i < size; ++i) taps[i] = half[i < half.size() ? i : size - 1 - i];
  return taps;
}

// Modified Bessel function of the first kind, order 0, by its power series (all terms
// positive, so it converges cleanly for the small arguments a window needs).
long double BesselI0(long double x) {
  const long double quarterSquare = x * x / 4.0L;
  long double term = 1.0L;
  long double sum = 1.0L;
  for (int k = 1; term > sum * std::numeric_limits<long double>::epsilon(); ++k) {
    term *= quarterSquare / (static_cast<long double>(k) * k);
    sum += term;
  }
  return sum;
}

// The cutoffs of the slower modes' filters, in cycles per sample. The filter family was
// laid out on a 44.1 kHz grid (320 Hz there gives FirTaps50, 160 Hz and 60 Hz these two),
// hence the fractions; at 8 kHz they are about 29.0 Hz and 10.9 Hz.
constexpr long double kCutoff100 = 160.0L / 44100.0L;
constexpr long double kCutoff200 = 60.0L / 44100.0L;

}  // namespace

std::vector<long double> KaiserLowPass(int points, long double cutoff) {
  const long double pi = std::numbers::pi_v<long double>;
  const long double half = (points - 1) / 2.0L;
  const long double windowScale = BesselI0(kKaiserBeta);
  std::vector<long double> taps(static_cast<std::size_t>(points));
  long double sum = 0.0L;
  for (int n = 0; n < points; ++n) {
    const long double m = n - half;
    const long double ratio = m / half;
    const long double window =
        BesselI0(kKaiserBeta * std::sqrt(std::fmax(0.0L, 1.0L - ratio * ratio))) / windowScale;
    const long double sinc = m == 0 ? 2.0L * cutoff : std::sin(2.0L * pi * cutoff * m) / (pi * m);
    taps[static_cast<std::size_t>(n)] = sinc * window;
    sum += sinc * window;
  }
  for (long double& t : taps) t /= sum;
  return taps;
}

const std::vector<long double>& FirTaps25() {
  static const std::vector<long double> taps =
      Mirror({0.001563808, 0.003587551, 0.007187438, 0.01251941, 0.01971851, 0.02869065, 0.0390689,
              0.05022043, 0.06129076, 0.07130933, 0.07931174, 0.08447962, 0.08626707},
             25);
  return taps;
}

const std::vector<long double>& FirTaps50() {
  static const std::vector<long double> taps = Mirror(
      {0.0006516823, 0.001149616, 0.001796984, 0.002609416, 0.00359978, 0.004777393, 0.006147291,
       0.007709591,  0.009458999, 0.01138447,  0.01346906,  0.01568997, 0.01801883,  0.02042218,
       0.02286213,   0.02529729,  0.02768379,  0.02997644,  0.03213005, 0.03410068,  0.03584702,
       0.03733162,   0.03852204,  0.03939194,  0.03992184,  0.04009982},
      51);
  return taps;
}

const std::vector<long double>& FirTaps100() {
  static const std::vector<long double> taps = KaiserLowPass(101, kCutoff100);
  return taps;
}

const std::vector<long double>& FirTaps200() {
  static const std::vector<long double> taps = KaiserLowPass(201, kCutoff200);
  return taps;
}

const std::vector<long double>& SymbolTaps86() {
  static const std::vector<long double> taps = Mirror(
      {-0.0008052769, -0.0006597547, -0.0008482759, -0.0009976767, -0.001071833, -0.001033514,
       -0.0008502219, -0.0004967897, 0.0000391011,  0.000747259,   0.001600895,  0.002546045,
       0.003507653,   0.004390066,   0.005085209,   0.005479983,   0.005467887,  0.004961829,
       0.003904509,   0.002282107,   0.0001320645,  -0.00244988,   -0.005309359, -0.008236246,
       -0.01097457,   -0.01323685,   -0.01472238,   -0.01514007,   -0.01423171,  -0.01179617,
       -0.007710086,  -0.001945696,  0.005418687,   0.01419458,    0.02408762,   0.03471028,
       0.04560187,    0.05625544,    0.06614874,    0.07477817,    0.08169182,   0.08652041,
       0.08900242},
      86);
  return taps;
}

const std::vector<long double>& FirstStageTaps(int length) {
  switch (length) {
    case 25:
      return FirTaps25();
    case 100:
      return FirTaps100();
    case 200:
      return FirTaps200();
    default:
      return FirTaps50();
  }
}

}  // namespace vela
