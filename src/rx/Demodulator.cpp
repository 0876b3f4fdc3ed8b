#include "rx/Demodulator.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>

#include "rx/FirTaps.h"

namespace vela {

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// trunc(x) as an integer, for |x| < 2^62. Through double, whose conversion to an integer
// is one SSE instruction, where the extended value's would switch the x87 rounding mode
// twice; the double may have rounded across a whole number, which the comparison puts right.
int64_t TruncToInteger(long double x) {
  auto k = static_cast<int64_t>(static_cast<double>(x));
  if (x >= 0) {
    if (static_cast<long double>(k) > x) --k;
  } else if (static_cast<long double>(k) < x) {
    ++k;
  }
  return k;
}

// One output of a filter over the I and Q rings of `length` values, `oldest` the position
// of the oldest sample, which the first coefficient weights. Two passes walk the ring from
// there without a modulo per tap, always in the same order.
void RingFilter(const long double* taps, const long double* ringI, const long double* ringQ,
                int oldest, int length, long double& i, long double& q) {
  int j = 0;
  for (int idx = oldest; idx < length; ++idx, ++j) {
    i += taps[j] * ringI[idx];
    q += taps[j] * ringQ[idx];
  }
  for (int idx = 0; idx < oldest; ++idx, ++j) {
    i += taps[j] * ringI[idx];
    q += taps[j] * ringQ[idx];
  }
}

// The fractional part, truncating toward zero.
long double Frac(long double x) {
  return x - TruncExtended(x);
}

constexpr int kMixerTable = 4096;

struct MixerTable {
  std::array<long double, kMixerTable> cosine;
  std::array<long double, kMixerTable> sine;
};

const MixerTable& MixerTableValues() {
  static const MixerTable table = [] {
    MixerTable t{};
    for (int i = 0; i < kMixerTable; ++i) {
      const long double angle = 2.0L * kPi * (static_cast<long double>(i) / kMixerTable);
      t.cosine[static_cast<std::size_t>(i)] = std::cos(angle);
      t.sine[static_cast<std::size_t>(i)] = std::sin(angle);
    }
    return t;
  }();
  return table;
}

}  // namespace

void MixerCosSin(long double phase, long double& cosine, long double& sine) {
  const MixerTable& table = MixerTableValues();
  const long double scaled = phase * kMixerTable;  // exact: a power of two
  // floor(scaled): the phase lies in (-1, 1), so scaled is well inside int64's range.
  int64_t k = TruncToInteger(scaled);
  if (static_cast<long double>(k) > scaled) --k;
  const long double whole = static_cast<long double>(k);
  const auto index = static_cast<std::size_t>(k & (kMixerTable - 1));
  const long double tc = table.cosine[index];
  const long double ts = table.sine[index];
  const long double rest = scaled - whole;  // exact, in [0, 1)
  if (rest == 0.0L) {
    cosine = tc;
    sine = ts;
    return;
  }
  // x < 2 pi / 4096: the next terms lie far below extended precision. Multiplications by
  // the reciprocals, not divisions: the series runs for every sample off the grid.
  constexpr long double kStep = 2.0L * kPi / kMixerTable;
  constexpr long double k6 = 1.0L / 6, k20 = 1.0L / 20, k42 = 1.0L / 42;
  constexpr long double k2 = 0.5L, k12 = 1.0L / 12, k30 = 1.0L / 30, k56 = 1.0L / 56;
  const long double x = kStep * rest;
  const long double x2 = x * x;
  const long double sx = x * (1.0L - x2 * k6 * (1.0L - x2 * k20 * (1.0L - x2 * k42)));
  const long double cx = 1.0L - x2 * k2 * (1.0L - x2 * k12 * (1.0L - x2 * k30 * (1.0L - x2 * k56)));
  cosine = tc * cx - ts * sx;
  sine = ts * cx + tc * sx;
}

long double TruncExtended(long double x) {
  // Beyond 2^62 every extended value is a whole number already (and NaN stays NaN).
  if (!(std::fabs(x) < 0x1p62L)) return x;
  const auto t = static_cast<long double>(TruncToInteger(x));
  return t == 0 && std::signbit(x) ? -0.0L : t;
}

long double WrapPhaseStep(long double step) {
  if (step > 1.0L) return step - 2.0L;
  if (step < -1.0L) return step + 2.0L;
  return step;
}

Demodulator::Demodulator()
    : symbolTaps_(SymbolTaps86().data()),
      mixerPoints_(kMixerSlots, MixerPoint{std::numeric_limits<long double>::quiet_NaN(), 0, 0}) {
  SetMode(kDefaultMode);
}

void Demodulator::SetMode(Mode mode) {
  const ModeParams& params = ModeTable(mode);
  modeRate_ = params.modeRate;
  filterLength_ = params.rxFilterLength;
  firstStageTaps_ = FirstStageTaps(filterLength_).data();
}

void Demodulator::SetSampleRate(long double fs) {
  // A rate of zero, below zero or not a number would poison the mixer and decimation
  // phases for good; keep the last usable rate instead.
  if (std::isfinite(fs) && fs > 0.0L) sampleRate_ = fs;
}

void Demodulator::SetCentreFrequency(long double fc) {
  if (std::isfinite(fc)) centreFrequency_ = fc;
}

void Demodulator::DemodSample(int16_t x, DemodulatorOutput& out) {
  // The mixer phase is advanced before the sample is mixed.
  mixerPhase_ = Frac(mixerPhase_ + centreFrequency_ / sampleRate_);
  MixerPoint& point = mixerPoints_[static_cast<std::size_t>(
      static_cast<int64_t>(mixerPhase_ * kMixerSlots) & (kMixerSlots - 1))];
  if (point.phase != mixerPhase_) {
    point.phase = mixerPhase_;
    MixerCosSin(mixerPhase_, point.cos, point.sin);
  }
  const long double sample = x;
  i1_[p_] = sample * point.cos;
  q1_[p_] = sample * point.sin;

  // After a change to a shorter filter p may still lie beyond the new length; this advance
  // brings it back into range.
  int next = p_ + 1;
  if (next >= filterLength_) next %= filterLength_;
  p_ = static_cast<uint8_t>(next);

  decimPhase_ += modeRate_ / sampleRate_;
  if (decimPhase_ <= 1.0L) return;
  decimPhase_ = Frac(decimPhase_);
  FirstStageOutput(out);
}

void Demodulator::FirstStageOutput(DemodulatorOutput& out) {
  // p points at the oldest stored sample.
  long double i = 0.0L;
  long double q = 0.0L;
  RingFilter(firstStageTaps_, i1_.data(), q1_.data(), p_, filterLength_, i, q);

  i2_[s_] = i;
  q2_[s_] = q;
  s_ = (s_ + 1) % kSymbolTaps;

  subSymbol_ = static_cast<uint8_t>((subSymbol_ + 1) % 16);
  if (subSymbol_ % 4 != 0) return;
  QuarterSymbol(out);
}

void Demodulator::QuarterSymbol(DemodulatorOutput& out) {
  long double i = 0.0L;
  long double q = 0.0L;
  RingFilter(symbolTaps_, i2_.data(), q2_.data(), s_, kSymbolTaps, i, q);

  if (level_.Add(std::sqrt(i * i + q * q))) out.Refresh(level_.level());

  // Phase in half-cycles, and its change over the last three quarter symbols.
  const long double phase = std::atan2(q, i) / kPi;
  const long double old = phaseLine_[r_];
  phaseLine_[r_] = phase;
  r_ = (r_ + 1) % kPhaseDelay;
  const long double step = WrapPhaseStep(phase - old);

  // Early-late timing: the step ending at k = 4 straddles the end of the last symbol, the
  // one ending at k = 12 the start of the next; their squared difference pulls the
  // decimation so that the span ending at the decision instant lies inside one symbol.
  switch (subSymbol_) {
    case 0:
      decimPhase_ += timingError_ * kTimingGain;
      break;
    case 4:
      timingError_ = step * step;
      break;
    case 8:
      out.Decision(step);
      break;
    case 12:
      timingError_ -= step * step;
      break;
    default:
      break;
  }
  out.EyeStep(subSymbol_, step);
}

}  // namespace vela
