#include "rx/EnhancedDemodulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "rx/Fft.h"
#include "rx/RailEstimates.h"

namespace vela {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Symbols per estimate (a block) and symbols the estimates average over, centred on the
// block. The window is long enough to hold the carrier phase to a few degrees at the
// weakest signals the code can still decode, and short enough that a 200 ppm clock error
// moves the timing by only a few per cent of a symbol across it.
constexpr int kBlock = 16;
constexpr int kWindow = 128;
constexpr int kFftSize = 2 * kWindow;
constexpr int kRotorResync = 1024;
// Frequency bins either side of the last estimate searched while tracking, and how much
// stronger (in power) a line elsewhere must be to take over.
constexpr int kTrackBins = 4;
constexpr double kReacquire = 4.0;
constexpr double kMaxLlr = 40.0;
// Carrier offsets (cycles per symbol) from which the matched filter is corrected for the
// offset, and from which the half-symbol-rate alias of the estimate is considered.
constexpr double kCorrectFrom = 0.01;
constexpr double kAliasFrom = 0.15;
constexpr double kAliasMargin = 1.2;

// Complex product without the library's infinity and NaN recovery, which costs a call per
// product; every value here is finite.
inline std::complex<double> Mul(std::complex<double> a, std::complex<double> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

double WrapAngle(double a) {
  return std::remainder(a, kTwoPi);
}

// Vertex offset (-0.5..0.5) of the parabola through three equally spaced values.
double ParabolaPeak(double a, double b, double c) {
  const double d = a - 2.0 * b + c;
  if (d >= 0.0) return 0.0;
  return std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
}

}  // namespace

double BoxPlus(double a, double b) {
  const double s = (a >= 0) == (b >= 0) ? 1.0 : -1.0;
  return s * std::min(std::abs(a), std::abs(b)) + std::log1p(std::exp(-std::abs(a + b))) -
         std::log1p(std::exp(-std::abs(a - b)));
}

EnhancedDemodulator::EnhancedDemodulator() {
  Restart();
}

void EnhancedDemodulator::SetMode(Mode mode) {
  mode_ = mode;
  Restart();
}

void EnhancedDemodulator::SetSampleRate(long double fs) {
  if (!(fs > 0) || !std::isfinite(static_cast<double>(fs))) return;
  sampleRate_ = fs;
  Restart();
}

void EnhancedDemodulator::SetCentreFrequency(long double fc) {
  if (!std::isfinite(static_cast<double>(fc))) return;
  centreFrequency_ = fc;
  mixerStep_ = centreFrequency_ / sampleRate_;
  const double w = -kTwoPi * static_cast<double>(mixerStep_);
  rotorStep_ = {std::cos(w), std::sin(w)};
}

int EnhancedDemodulator::LatencySymbols() {
  return kWindow / 2 + kBlock + 2;
}

double EnhancedDemodulator::frequencyOffsetHz() const {
  return freq_ * ModeTable(mode_).symbolRate;
}

void EnhancedDemodulator::Restart() {
  const double rs = ModeTable(mode_).symbolRate;
  const double fs = static_cast<double>(sampleRate_);
  blanker_.SetSampleRate(fs);
  decimation_ = std::max(1, static_cast<int>(std::lround(fs / (16.0 * rs))));
  sps_ = fs / (decimation_ * rs);
  decimTaps_.assign(static_cast<size_t>(2 * decimation_), 0.0);
  double sum = 0.0;
  for (int i = 0; i < 2 * decimation_; ++i) {
    decimTaps_[static_cast<size_t>(i)] = std::min(i + 1, 2 * decimation_ - i);
    sum += decimTaps_[static_cast<size_t>(i)];
  }
  for (double& h : decimTaps_) h /= sum;
  // Half-cosine over two symbols: the pulse one rail value rides on.
  const int half = static_cast<int>(std::ceil(sps_)) - 1;
  mfTaps_.assign(static_cast<size_t>(2 * half + 1), 0.0);
  sum = 0.0;
  for (int i = -half; i <= half; ++i) {
    const double g = std::cos(kPi * i / (2.0 * sps_));
    mfTaps_[static_cast<size_t>(i + half)] = g;
    sum += g;
  }
  for (double& g : mfTaps_) g /= sum;

  mixerPhase_ = 0.0L;
  rotor_ = {1.0, 0.0};
  rotorCount_ = 0;
  SetCentreFrequency(centreFrequency_);
  decimPos_ = 0;
  accNow_ = accNext_ = {};
  baseband_.clear();
  matched_.clear();
  basebandBase_ = matchedBase_ = matchedCount_ = 0;
  squared_.clear();
  squaredBase_ = squaredCount_ = 0;
  nextBlock_ = 0;
  shift_ = 0;
  haveEstimate_ = false;
  tau_ = freq_ = phase_ = blockCentre_ = 0.0;
  noiseVar_ = 1.0;
  amplitude_ = 0.0;
  haveLastLambda_ = false;
  lastLambda_ = 0.0;
  spectra_.assign(static_cast<size_t>(kPhases), SearchSpectrum(kFftSize));
}

void EnhancedDemodulator::DemodSample(int16_t x, DemodulatorOutput& out) {
  const double v = blanking_ ? blanker_.Process(x) : static_cast<double>(x);
  const Complex z = v * rotor_;
  rotor_ = Mul(rotor_, rotorStep_);
  if (++rotorCount_ == kRotorResync) {
    // Back onto the exact mixer phase so rounding in the rotor never builds up.
    mixerPhase_ += kRotorResync * mixerStep_;
    mixerPhase_ -= std::floor(mixerPhase_);
    const double w = -kTwoPi * static_cast<double>(mixerPhase_);
    rotor_ = {std::cos(w), std::sin(w)};
    rotorCount_ = 0;
  }
  accNow_ += z * decimTaps_[static_cast<size_t>(decimation_ + decimPos_)];
  accNext_ += z * decimTaps_[static_cast<size_t>(decimPos_)];
  if (++decimPos_ < decimation_) return;
  decimPos_ = 0;
  const Complex y = accNow_;
  accNow_ = accNext_;
  accNext_ = {};
  BasebandSample(y, out);
}

void EnhancedDemodulator::BasebandSample(Complex z, DemodulatorOutput& out) {
  baseband_.push_back(z);
  const int half = static_cast<int>(mfTaps_.size() / 2);
  const int64_t available = basebandBase_ + static_cast<int64_t>(baseband_.size());
  while (matchedCount_ + half < available) {
    Complex m{};
    for (int i = -half; i <= half; ++i) {
      const int64_t idx = matchedCount_ + i - basebandBase_;
      if (idx >= 0)
        m += mfTaps_[static_cast<size_t>(i + half)] * baseband_[static_cast<size_t>(idx)];
    }
    matched_.push_back(m);
    ++matchedCount_;
  }
  // Squared rail values of every symbol whose span is filtered.
  while (static_cast<double>(squaredCount_ + 1) * sps_ + 2.0 < static_cast<double>(matchedCount_)) {
    AddSquaredRails(squaredCount_++);
  }
  while (true) {
    const int64_t centre = nextBlock_ + kBlock / 2 + shift_;
    if (squaredCount_ < centre + kWindow / 2) break;
    EstimateBlock();
    EmitBlock(out);
  }
  // Keep what the windows still reach.
  const size_t keepSamples = static_cast<size_t>((kWindow + 4 * kBlock + 8) * sps_);
  if (baseband_.size() > 2 * keepSamples) {
    const size_t drop = baseband_.size() - keepSamples;
    baseband_.erase(baseband_.begin(), baseband_.begin() + static_cast<std::ptrdiff_t>(drop));
    basebandBase_ += static_cast<int64_t>(drop);
  }
  if (matched_.size() > 2 * keepSamples) {
    const size_t drop = matched_.size() - keepSamples;
    matched_.erase(matched_.begin(), matched_.begin() + static_cast<std::ptrdiff_t>(drop));
    matchedBase_ += static_cast<int64_t>(drop);
  }
  const size_t keepSymbols = static_cast<size_t>(kWindow + 4 * kBlock);
  if (squared_.size() > 2 * keepSymbols) {
    const size_t drop = squared_.size() - keepSymbols;
    squared_.erase(squared_.begin(), squared_.begin() + static_cast<std::ptrdiff_t>(drop));
    squaredBase_ += static_cast<int64_t>(drop);
  }
}

namespace {
std::complex<double> Interpolate(const std::vector<std::complex<double>>& v, int64_t base,
                                 double pos) {
  const double fl = std::floor(pos);
  const int64_t i = static_cast<int64_t>(fl) - base;
  if (i < 0 || i + 1 >= static_cast<int64_t>(v.size())) return {};
  const double f = pos - fl;
  return (1.0 - f) * v[static_cast<size_t>(i)] + f * v[static_cast<size_t>(i + 1)];
}
}  // namespace

std::complex<double> EnhancedDemodulator::MatchedAt(double pos) const {
  return Interpolate(matched_, matchedBase_, pos);
}

std::complex<double> EnhancedDemodulator::CorrectedAt(double pos, double freq) const {
  // Close to the centre the plain matched filter loses nothing worth the extra work.
  if (std::abs(freq) < kCorrectFrom) return MatchedAt(pos);
  const double fl = std::floor(pos);
  const int64_t i = static_cast<int64_t>(fl) - basebandBase_;
  const int half = static_cast<int>(mfTaps_.size() / 2);
  if (i - half < 0 || i + 1 + half >= static_cast<int64_t>(baseband_.size())) return {};
  // The pulse's own turn at the offset taken out about its centre.
  const Complex step = std::polar(1.0, -kTwoPi * freq / sps_);
  Complex turn = std::polar(1.0, kTwoPi * freq * half / sps_);
  Complex now{}, next{};
  for (int k = -half; k <= half; ++k) {
    const Complex h = mfTaps_[static_cast<size_t>(k + half)] * turn;
    now += Mul(h, baseband_[static_cast<size_t>(i + k)]);
    next += Mul(h, baseband_[static_cast<size_t>(i + 1 + k)]);
    turn = Mul(turn, step);
  }
  const double f = pos - fl;
  return (1.0 - f) * now + f * next;
}

std::complex<double> EnhancedDemodulator::BasebandAt(double pos) const {
  return Interpolate(baseband_, basebandBase_, pos);
}

void EnhancedDemodulator::AddSquaredRails(int64_t s) {
  // Through the filter corrected for the last offset estimate: far off the centre the plain
  // one smears the rails and pulls the timing off.
  std::array<Complex, kPhases> v;
  const Complex turn = RailTurn(s);
  for (int p = 0; p < kPhases; ++p) {
    const double pos = (static_cast<double>(s) + static_cast<double>(p) / kPhases) * sps_;
    const Complex r = Mul(CorrectedAt(pos, freq_), turn);
    v[static_cast<size_t>(p)] = Mul(r, r);
  }
  squared_.push_back(v);
}

void EnhancedDemodulator::TransformPhase(int p, int64_t first) {
  SearchSpectrum& spec = spectra_[static_cast<size_t>(p)];
  std::fill(spec.real.begin(), spec.real.end(), 0.0);
  std::fill(spec.imaginary.begin(), spec.imaginary.end(), 0.0);
  for (int k = 0; k < kWindow; ++k) {
    const int64_t s = first + k - squaredBase_;
    if (s >= 0 && s < static_cast<int64_t>(squared_.size())) {
      const Complex v = squared_[static_cast<size_t>(s)][static_cast<size_t>(p)];
      spec.real[static_cast<size_t>(k)] = v.real();
      spec.imaginary[static_cast<size_t>(k)] = v.imag();
    }
  }
  BitReverse<double>(spec.real, spec.imaginary);
  Fft<double>(spec.real, spec.imaginary, FftSign::Negative);
}

EnhancedDemodulator::SpectralLine EnhancedDemodulator::FindLine(int64_t first) {
  // Squared rails at each timing phase, transformed over the window: the line they form
  // sits at twice the carrier offset, strongest at the right timing phase.
  SpectralLine best;
  for (int p = 0; p < kPhases; ++p) {
    TransformPhase(p, first);
    for (int b = 0; b < kFftSize; ++b) {
      const double mag = spectra_[static_cast<size_t>(p)].Norm(b);
      if (mag > best.power) best = {p, b, mag};
    }
  }
  if (!haveEstimate_) return best;
  best.tracked = false;
  // Tracking: stay with the line near the last frequency unless another is far stronger
  // (a new signal), so a weak stretch or the end of a signal cannot pull the estimate away.
  const int lastBin = static_cast<int>(std::lround(2.0 * freq_ * kFftSize));
  SpectralLine near;
  for (int p = 0; p < kPhases; ++p) {
    for (int d = -kTrackBins; d <= kTrackBins; ++d) {
      const int b = ((lastBin + d) % kFftSize + kFftSize) % kFftSize;
      const double m = spectra_[static_cast<size_t>(p)].Norm(b);
      if (m > near.power) near = {p, b, m, true};
    }
  }
  return best.power < kReacquire * near.power ? near : best;
}

void EnhancedDemodulator::EstimateBlock() {
  const int64_t centre = nextBlock_ + kBlock / 2 + shift_;
  const SpectralLine line = FindLine(centre - kWindow / 2);
  auto mag = [&](int p, int b) {
    return std::sqrt(
        spectra_[static_cast<size_t>((p + kPhases) % kPhases)].Norm((b + kFftSize) % kFftSize));
  };
  const int bestP = line.phase, bestBin = line.bin;
  const double df =
      ParabolaPeak(mag(bestP, bestBin - 1), mag(bestP, bestBin), mag(bestP, bestBin + 1));
  double fSquared = (bestBin + df) / kFftSize;
  if (fSquared >= 0.5) fSquared -= 1.0;
  double freq = fSquared / 2.0;
  const double dp =
      ParabolaPeak(mag(bestP - 1, bestBin), mag(bestP, bestBin), mag(bestP + 1, bestBin));
  double tau = (bestP + dp) / kPhases * sps_;
  if (tau < 0) tau += sps_;
  if (tau >= sps_) tau -= sps_;

  // Keep the symbols already counted where they were: a timing that has moved across a
  // symbol edge moves the grid, not the count.
  int64_t move = 0;
  if (haveEstimate_) move = std::llround((tau_ - tau) / sps_);
  shift_ += move;
  const int64_t newCentre = nextBlock_ + kBlock / 2 + shift_;
  // Squared rails taken once a symbol cannot tell an offset f from f -/+ half the symbol
  // rate, and near a quarter of it either may be the signal. The one the last block took
  // stays unless the other's tone is clearly the stronger.
  if (std::abs(freq) > kAliasFrom) {
    double alias = freq > 0 ? freq - 0.5 : freq + 0.5;
    if (haveEstimate_ && line.tracked && std::abs(alias - freq_) < std::abs(freq - freq_))
      std::swap(freq, alias);
    // The two share one tone; each has another, a symbol rate apart.
    const double outer = freq + (freq > alias ? 0.25 : -0.25);
    const double aliasOuter = alias + (alias > freq ? 0.25 : -0.25);
    const double margin = haveEstimate_ && line.tracked ? kAliasMargin : 1.0;
    if (ToneEnergy(newCentre, tau, aliasOuter) > margin * ToneEnergy(newCentre, tau, outer))
      freq = alias;
  }
  const double theta = CarrierPhase(newCentre, tau, freq, move);
  tau_ = tau;
  freq_ = freq;
  phase_ = WrapAngle(theta);
  blockCentre_ = static_cast<double>(newCentre);
  haveEstimate_ = true;
  EstimateRailStatistics(newCentre);
}

double EnhancedDemodulator::ToneEnergy(int64_t centre, double tau, double freq) const {
  // Symbol by symbol: a tone a whole symbol rate away leaks nothing into this one.
  const int length = static_cast<int>(std::lround(sps_));
  const Complex step = std::polar(1.0, -kTwoPi * freq / sps_);
  double energy = 0.0;
  for (int k = 0; k < kWindow; ++k) {
    const double start = static_cast<double>(centre - kWindow / 2 + k) * sps_ + tau;
    Complex turn{1.0, 0.0}, sum{};
    for (int n = 0; n < length; ++n) {
      sum += Mul(BasebandAt(start + n), turn);
      turn = Mul(turn, step);
    }
    energy += std::norm(sum);
  }
  return energy;
}

double EnhancedDemodulator::CarrierPhase(int64_t centre, double tau, double freq,
                                         int64_t move) const {
  // Carrier phase at the block centre from the squared rails at this timing.
  Complex sum{};
  for (int k = 0; k < kWindow; ++k) {
    const int64_t s = centre - kWindow / 2 + k;
    const Complex r = CorrectedAt(static_cast<double>(s) * sps_ + tau, freq) * RailTurn(s);
    sum += r * r * std::polar(1.0, -kTwoPi * 2.0 * freq * static_cast<double>(s - centre));
  }
  const double theta = std::arg(sum) / 2.0;
  if (!haveEstimate_) return theta;
  // The square leaves half a turn open: take the branch that continues the last block.
  // The carrier turns with time: a timing moved across a symbol edge renumbers the
  // boundaries but has not moved them.
  const double elapsed = static_cast<double>(centre) - blockCentre_ + (tau - tau_) / sps_;
  const double predicted = phase_ + kTwoPi * freq_ * elapsed - move * kPi / 2.0;
  return predicted + std::remainder(theta - predicted, kPi);
}

void EnhancedDemodulator::EstimateRailStatistics(int64_t centre) {
  // Rail amplitude and noise from the second and fourth moments over the window. Digital
  // silence after a signal (the input muted, a recording's end) reads exactly 0 and tells
  // nothing of the rails: counted, it makes the last of the signal read weaker and noisier
  // than it was, and copy there turns to junk. (Before the first samples, where the window
  // also reads 0, counting it keeps the first estimates from a handful of values.)
  RailMoments moments;
  for (int k = 0; k < kWindow; ++k) {
    const double r = Rail(centre - kWindow / 2 + k);
    if (r != 0.0 || k < kWindow / 2) moments.Add(r);
  }
  const auto estimate = moments.Result();
  amplitude_ = estimate.amplitude;
  noiseVar_ = estimate.noiseVar;
}

double EnhancedDemodulator::Rail(int64_t s) const {
  const double theta = phase_ + kTwoPi * freq_ * (static_cast<double>(s) - blockCentre_);
  const Complex r = CorrectedAt(static_cast<double>(s) * sps_ + tau_, freq_) * RailTurn(s);
  return (r * std::polar(1.0, -theta)).real();
}

void EnhancedDemodulator::EmitBlock(DemodulatorOutput& out) {
  for (int i = 0; i < kBlock; ++i) EmitSymbol(nextBlock_ + i, out);
  nextBlock_ += kBlock;
}

void EnhancedDemodulator::EmitSymbol(int64_t e, DemodulatorOutput& out) {
  const int64_t s = e + shift_;
  const double lambda = std::clamp(2.0 * amplitude_ * Rail(s) / noiseVar_, -kMaxLlr, kMaxLlr);
  if (!haveLastLambda_) {
    haveLastLambda_ = true;
    lastLambda_ = lambda;
    return;
  }
  // The symbol between the previous boundary and this one: +1 (the lower tone) turns the
  // phase back a quarter, which makes the two rail values differ in sign.
  const double value = -BoxPlus(lastLambda_, lambda);
  lastLambda_ = lambda;
  const double start = static_cast<double>(s - 1) * sps_ + tau_;
  QuarterSymbol(start + 6.0 / 16.0 * sps_, 0, out);
  QuarterSymbol(start + 10.0 / 16.0 * sps_, 4, out);
  out.RailAfter(lambda);
  out.Decision(static_cast<long double>(value));
  QuarterSymbol(start + 14.0 / 16.0 * sps_, 8, out);
  QuarterSymbol(start + 18.0 / 16.0 * sps_, 12, out);
}

void EnhancedDemodulator::QuarterSymbol(double pos, int subSymbol, DemodulatorOutput& out) {
  // The display reads the baseband before the matched filter, whose two-symbol pulse
  // would round every tone change off.
  const Complex now = BasebandAt(pos);
  const Complex before = BasebandAt(pos - 0.75 * sps_);
  // Phase turned over three quarters of a symbol, carrier offset taken out, in half
  // cycles with the standard display's sign (the lower tone reads +0.375).
  const double turn = std::arg(now) - std::arg(before) - kTwoPi * freq_ * 0.75;
  const double step = -WrapAngle(turn) / kPi;

  if (level_.Add(std::abs(now))) out.Refresh(level_.level());
  out.EyeStep(subSymbol, static_cast<long double>(step));
}

}  // namespace vela
