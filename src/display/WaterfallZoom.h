// The waterfall as a zoomable map of the band: the span shown (the whole 250-2050 Hz band,
// or a narrower one centred on the receive frequency), how many lines a second it draws,
// and how bright (gain) and how steep (range) its colouring is.
//
// Every span keeps the whole band's screen geometry: 231 bins, each two screen columns
// wide. The whole band is today's 1024-point FFT of each capture buffer (7.8125 Hz bins
// from 250 Hz). A span zoomed Z times has bins Z times narrower, from a zoom FFT: the
// audio is mixed down around the span's centre, low-pass filtered and decimated by 2Z, and
// 512 of those samples (1024 Z samples of audio) are transformed. A longer plain FFT would
// need 32768 points at the narrowest span for every line; the zoom filters each audio
// sample once and transforms only 512 points, so its cost hardly grows with the zoom.
//
// The centre of a zoomed span sits on the grid of its own bins, so a retune moves the
// picture by whole bins and the history moves with it exactly.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "display/Waterfall.h"

namespace vela {

inline constexpr std::array<int, 6> kWaterfallZooms{1, 2, 4, 8, 16, 32};
// Audio samples a line: 2 to 31 lines a second at 8000 samples a second.
inline constexpr std::array<int, 5> kWaterfallLineSamples{4096, 2048, 1024, 512, 256};
inline constexpr std::array<int, 9> kWaterfallGainsDb{-18, -12, -6, 0, 6, 12, 18, 24, 30};
inline constexpr std::array<int, 6> kWaterfallRangesDb{24, 36, 48, 60, 72, 96};

struct WaterfallSettings {
  int zoom = 1;            // 1: the whole band
  int lineSamples = 1024;  // one line per capture buffer
  int gainDb = 0;          // added to every bin's level
  int rangeDb = 48;        // from the faintest level drawn to white; 48 is linear
  friend bool operator==(const WaterfallSettings&, const WaterfallSettings&) = default;
};

// Each value one of the choices above.
bool IsWaterfallSettings(const WaterfallSettings& settings);

// Screen column <-> audio frequency for one span. Columns count from the waterfall's left
// edge; column x shows image column x / 2.
struct WaterfallAxis {
  double leftHz = kWaterfallBaseHz;  // what column 0 shows
  double hzPerColumn = kHzPerScreenColumn;
  double centreHz = 0.0;  // the zoom's mixing frequency; 0 for the whole band

  double Frequency(int x) const { return leftHz + hzPerColumn * x; }
  // The column showing `hz`, nearest (ties to even); wild values land far off either side.
  int Column(double hz) const;
  friend bool operator==(const WaterfallAxis&, const WaterfallAxis&) = default;
};

// The axis for `zoom` around `receiveHz`: the whole band for zoom 1; otherwise centred on
// the bin nearest the receive frequency, kept inside 0..4000 Hz.
WaterfallAxis WaterfallAxisFor(int zoom, double receiveHz);

// A bin's palette value (before the colour lookup) from its magnitude: at 0 dB gain and a
// 48 dB range exactly the whole band's magnitude / 3; otherwise 255 (mag g / 765)^(48 / range),
// so the range is the span of levels from entry 0 to white.
struct WaterfallLevels {
  float gain = 1.0f;
  float power = 1.0f;
  explicit WaterfallLevels(const WaterfallSettings& settings = {});
  float Value(float magnitude) const;
};

// The colours of one line of 231 magnitudes.
void WaterfallLine(std::span<const float, kWaterfallBins> magnitudes, const WaterfallLevels& levels,
                   int paletteSwitch, WaterfallLineColours& line);

// Audio in, waterfall lines out, for one span and speed. Keeps enough audio to redraw the
// narrowest span, so a new span or centre starts from the audio already heard.
class WaterfallSpectrum {
 public:
  using Magnitudes = std::span<const float, kWaterfallBins>;
  // Bins of the zoom FFT, and the shown bins either side of its centre.
  static constexpr int kZoomFftSize = 512;
  static constexpr int kZoomHalfBins = kWaterfallBins / 2;  // 115

  WaterfallSpectrum();

  // A new span or centre (the axis from WaterfallAxisFor) and line rate.
  void Configure(const WaterfallAxis& axis, int zoom, int lineSamples);

  // Capture audio at 8000 samples a second; `line` receives each finished line.
  void Push(std::span<const int16_t> samples, const std::function<void(Magnitudes)>& line);

  // The last line's magnitudes, bin by bin (the cursor read-out).
  Magnitudes lastLine() const { return Magnitudes(last_.data(), kWaterfallBins); }
  int zoom() const { return zoom_; }
  // The last whole-band spectrum, all 513 bins.
  const Spectrum& whole() const { return whole_; }

 private:
  void AddSpectrum();
  void WholeBand();
  void Zoomed();
  std::complex<float> Decimated(int64_t end) const;
  void RefillDecimated();

  int zoom_ = 1;
  int lineSamples_ = 1024;
  int spectrumSamples_ = 1024;  // audio between spectra averaged into one line
  int spectraPerLine_ = 1;
  int64_t centreSteps_ = 0;  // the centre in bins of the zoomed span
  int decimation_ = 2;
  std::vector<float> taps_;                     // the low-pass, centred on 0 Hz
  std::vector<std::complex<float>> shifted_;    // the same moved up to the centre
  std::vector<int16_t> audio_;                  // ring of recent audio
  int64_t heard_ = 0;                           // samples pushed in all
  std::vector<std::complex<float>> decimated_;  // ring of kZoomFftSize
  int64_t sinceSpectrum_ = 0;
  int spectraSummed_ = 0;
  std::array<float, kWaterfallBins> sum_{};
  std::array<float, kWaterfallBins> last_{};
  Spectrum whole_;
  std::array<int16_t, kFftSize> block_{};
  std::array<float, kZoomFftSize> re_{};
  std::array<float, kZoomFftSize> im_{};
};

}  // namespace vela
