#include "display/WaterfallZoom.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "rx/Fft.h"

namespace vela {
namespace {

constexpr double kAudioRate = 8000.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kHalfBins = WaterfallSpectrum::kZoomHalfBins;
constexpr int kZoomFft = WaterfallSpectrum::kZoomFftSize;
constexpr double kFarColumn = 1.0e6;
// The zoom FFT's bins of a tone as large as the whole band's: the whole band sums twice
// the windowed samples over 1024 points and divides by 100; the zoom sees half the tone's
// amplitude (one side of it) over 512 points.
constexpr float kZoomScale = 1.0f / 25.0f;
// The most audio any span needs: 512 decimated samples at the narrowest span, and its filter.
constexpr int kLongestZoom = kWaterfallZooms.back();
constexpr size_t kAudioKept = static_cast<size_t>(kFftSize) * (kLongestZoom + 2);

template <size_t N, typename T>
bool OneOf(const std::array<T, N>& choices, T value) {
  return std::find(choices.begin(), choices.end(), value) != choices.end();
}

double ZoomBinHz(int zoom) {
  return kAudioRate / kFftSize / zoom;
}

// Filter taps: the decimation's low-pass, a Blackman-windowed sinc cut off at half the
// decimated rate, ten taps per decimation step: aliases stay about 70 dB down across the
// shown 45% of the decimated band.
std::vector<float> LowPass(int decimation) {
  const int length = 10 * decimation + 1;
  std::vector<float> taps(static_cast<size_t>(length));
  const double cutoff = 0.5 / decimation;  // cycles a sample
  const double middle = (length - 1) / 2.0;
  double sum = 0.0;
  for (int k = 0; k < length; ++k) {
    const double t = k - middle;
    const double sinc =
        t == 0.0 ? 2.0 * cutoff : std::sin(kTwoPi * cutoff * t) / (std::numbers::pi * t);
    const double phase = kTwoPi * k / (length - 1);
    const double w = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
    taps[static_cast<size_t>(k)] = static_cast<float>(sinc * w);
    sum += sinc * w;
  }
  for (float& t : taps) t = static_cast<float>(t / sum);
  return taps;
}

// The zoom FFT's window: the same Blackman as the whole band's, over 512 points.
const std::array<float, kZoomFft>& ZoomWindow() {
  static const std::array<float, kZoomFft> table = BlackmanWindow<kZoomFft>();
  return table;
}

}  // namespace

bool IsWaterfallSettings(const WaterfallSettings& s) {
  return OneOf(kWaterfallZooms, s.zoom) && OneOf(kWaterfallLineSamples, s.lineSamples) &&
         OneOf(kWaterfallGainsDb, s.gainDb) && OneOf(kWaterfallRangesDb, s.rangeDb);
}

int WaterfallAxis::Column(double hz) const {
  double column = std::nearbyint((hz - leftHz) / hzPerColumn);
  if (std::isnan(column)) column = -kFarColumn;
  return static_cast<int>(std::clamp(column, -kFarColumn, kFarColumn));
}

WaterfallAxis WaterfallAxisFor(int zoom, double receiveHz) {
  if (zoom <= 1) return {};
  const double bin = ZoomBinHz(zoom);
  const double half = kHalfBins * bin;
  if (std::isnan(receiveHz)) receiveHz = 1000.0;
  // The whole span stays between 0 Hz and half the sample rate, where the audio is.
  const double centre =
      std::nearbyint(std::clamp(receiveHz, half + bin, kAudioRate / 2 - half - bin) / bin) * bin;
  return {centre - half, bin / 2, centre};
}

WaterfallLevels::WaterfallLevels(const WaterfallSettings& settings)
    : gain(static_cast<float>(std::pow(10.0, settings.gainDb / 20.0))),
      power(settings.rangeDb > 0 ? 48.0f / static_cast<float>(settings.rangeDb) : 1.0f) {}

float WaterfallLevels::Value(float magnitude) const {
  // The linear colouring of the whole band, bit for bit, at its own settings.
  if (power == 1.0f) return magnitude * gain / 3.0f;
  const float x = magnitude * gain / 765.0f;
  return x > 0.0f ? 255.0f * std::pow(x, power) : 0.0f;
}

void WaterfallLine(std::span<const float, kWaterfallBins> magnitudes, const WaterfallLevels& levels,
                   int paletteSwitch, WaterfallLineColours& line) {
  for (size_t i = 0; i < kWaterfallBins; ++i)
    line[i] = WaterfallValueColour(levels.Value(magnitudes[i]), paletteSwitch);
}

WaterfallSpectrum::WaterfallSpectrum()
    : audio_(kAudioKept), decimated_(static_cast<size_t>(kZoomFft)) {
  Configure(WaterfallAxis{}, 1, 1024);
}

void WaterfallSpectrum::Configure(const WaterfallAxis& axis, int zoom, int lineSamples) {
  zoom_ = std::clamp(zoom, 1, kLongestZoom);
  lineSamples_ = std::max(lineSamples, 1);
  const int window = kFftSize * zoom_;
  spectrumSamples_ = std::min(lineSamples_, window);
  spectraPerLine_ = std::max(lineSamples_ / spectrumSamples_, 1);
  spectraSummed_ = 0;
  sum_.fill(0.0f);
  if (zoom_ == 1) return;
  const int decimation = 2 * zoom_;
  if (decimation != decimation_ || taps_.empty()) {
    decimation_ = decimation;
    taps_ = LowPass(decimation_);
  }
  centreSteps_ = std::llround(axis.centreHz / ZoomBinHz(zoom_));
  // The low-pass moved up to the centre: e^{+j w k} for tap k, the phase reduced exactly
  // on the bins' grid (one turn every 1024 zoom samples).
  const int64_t turn = static_cast<int64_t>(kFftSize) * zoom_;
  shifted_.resize(taps_.size());
  for (size_t k = 0; k < taps_.size(); ++k) {
    const double phase =
        kTwoPi * static_cast<double>((centreSteps_ * static_cast<int64_t>(k)) % turn) / turn;
    shifted_[k] = taps_[k] * std::complex<float>(static_cast<float>(std::cos(phase)),
                                                 static_cast<float>(std::sin(phase)));
  }
  RefillDecimated();
}

// The decimated sample after `end` samples of audio: the last taps' worth of audio through
// the shifted low-pass, mixed down by the centre's phase at the newest sample.
std::complex<float> WaterfallSpectrum::Decimated(int64_t end) const {
  const int64_t oldest = std::max<int64_t>(heard_ - static_cast<int64_t>(audio_.size()), 0);
  float re = 0.0f;
  float im = 0.0f;
  for (size_t k = 0; k < shifted_.size(); ++k) {
    const int64_t n = end - 1 - static_cast<int64_t>(k);
    if (n < oldest) break;
    const float x = audio_[static_cast<size_t>(n) % audio_.size()];
    re += shifted_[k].real() * x;
    im += shifted_[k].imag() * x;
  }
  const int64_t turn = static_cast<int64_t>(kFftSize) * zoom_;
  const double phase = -kTwoPi * static_cast<double>((centreSteps_ * ((end - 1) % turn)) % turn) /
                       static_cast<double>(turn);
  return std::complex<float>(re, im) * std::complex<float>(static_cast<float>(std::cos(phase)),
                                                           static_cast<float>(std::sin(phase)));
}

void WaterfallSpectrum::RefillDecimated() {
  const int64_t newest = heard_ / decimation_;
  for (int64_t m = newest - kZoomFft + 1; m <= newest; ++m) {
    if (m < 0) continue;
    decimated_[static_cast<size_t>(m % kZoomFft)] =
        m == 0 ? std::complex<float>{} : Decimated(m * decimation_);
  }
}

void WaterfallSpectrum::Push(std::span<const int16_t> samples,
                             const std::function<void(Magnitudes)>& line) {
  for (const int16_t s : samples) {
    audio_[static_cast<size_t>(heard_ % static_cast<int64_t>(audio_.size()))] = s;
    ++heard_;
    if (zoom_ > 1 && heard_ % decimation_ == 0) {
      decimated_[static_cast<size_t>((heard_ / decimation_) % kZoomFft)] = Decimated(heard_);
    }
    if (heard_ % spectrumSamples_ != 0) continue;
    AddSpectrum();
    if (spectraSummed_ < spectraPerLine_) continue;
    if (spectraPerLine_ == 1) {
      last_ = sum_;
    } else {
      const float scale = 1.0f / static_cast<float>(spectraPerLine_);
      for (size_t i = 0; i < sum_.size(); ++i) last_[i] = sum_[i] * scale;
    }
    sum_.fill(0.0f);
    spectraSummed_ = 0;
    if (line) line(lastLine());
  }
}

void WaterfallSpectrum::AddSpectrum() {
  if (zoom_ == 1) {
    WholeBand();
  } else {
    Zoomed();
  }
  ++spectraSummed_;
}

void WaterfallSpectrum::WholeBand() {
  // The newest 1024 samples, oldest first: with capture buffers of 1024 and a line per
  // buffer, exactly the buffer.
  const auto size = static_cast<int64_t>(audio_.size());
  for (int i = 0; i < kFftSize; ++i) {
    const int64_t n = heard_ - kFftSize + i;
    block_[static_cast<size_t>(i)] = n < 0 ? int16_t{0} : audio_[static_cast<size_t>(n % size)];
  }
  ComputeSpectrum(block_, whole_);
  const auto magnitudes = whole_.magnitudes();
  for (size_t i = 0; i < kWaterfallBins; ++i) sum_[i] += magnitudes[kWaterfallFirstBin + i];
}

void WaterfallSpectrum::Zoomed() {
  const auto& window = ZoomWindow();
  const int64_t newest = heard_ / decimation_;
  for (int i = 0; i < kZoomFft; ++i) {
    const int64_t m = newest - kZoomFft + 1 + i;
    const std::complex<float> v =
        m < 0 ? std::complex<float>{} : decimated_[static_cast<size_t>(m % kZoomFft)];
    const auto slot = static_cast<size_t>(i);
    re_[slot] = v.real() * window[slot];
    im_[slot] = v.imag() * window[slot];
  }
  BitReverse<float>(re_, im_);
  Fft<float>(re_, im_, FftSign::Negative);
  for (int i = 0; i < kWaterfallBins; ++i) {
    const auto k = static_cast<size_t>((i - kHalfBins + kZoomFft) % kZoomFft);
    sum_[static_cast<size_t>(i)] += std::sqrt(re_[k] * re_[k] + im_[k] * im_[k]) * kZoomScale;
  }
}

}  // namespace vela
