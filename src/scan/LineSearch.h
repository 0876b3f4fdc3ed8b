// The search for one mode's signals across the band. Squaring an MSK signal leaves two
// steady spectral lines, at twice the centre frequency plus and minus half the symbol rate,
// whatever the data (the squared signal is one of two tones a symbol rate apart, each
// phase-continuous with the same reference). So every filter of the channelizer has its
// output squared and transformed over a window of symbols, and a pair of lines the right
// distance apart, both standing well out of the continuum around them, marks a signal: the
// pair's midpoint gives the centre to a small fraction of a hertz, its spacing the mode.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "coding/Modes.h"
#include "scan/Channelizer.h"

namespace vela {

struct LineCandidate {
  Mode mode = kDefaultMode;
  double centreHz = 0.0;
  // The two lines' power over the mean power of the continuum around each, added: about 2
  // on noise alone, rising with the window's length and the signal's strength.
  double strength = 0.0;
  double snrDb = 0.0;  // signal over the noise in 2500 Hz, from the filters' powers
};

class LineSearch {
 public:
  // Symbols one search spans, and symbols between searches.
  static constexpr int kWindowSymbols = 128;
  static constexpr int kStepSymbols = 32;

  LineSearch(Mode mode, double fromHz, double toHz);

  void Reset();
  // Samples in (8000 per second); the candidates of every search that completes within
  // them are appended to `found`.
  void Process(std::span<const int16_t> samples, std::vector<LineCandidate>& found);

  Mode mode() const { return channelizer_.mode(); }

 private:
  using Complex = std::complex<float>;

  void Store(std::span<const Complex> bins, std::vector<LineCandidate>& found);
  void Search(std::vector<LineCandidate>& found);
  // The strongest line pair of one filter: its offset index and strength, or strength 0.
  struct Peak {
    int bin = 0;
    int offset = 0;
    double strength = 0.0;
    double below = 0.0, above = 0.0;  // strengths at the offsets either side
  };
  Peak FilterPeak(int bin);
  double NoisePower(std::span<const double> powers) const;
  // The power of the filters around a centre: its S/N in 2500 Hz and its centre of mass.
  struct Power {
    double excess = 0.0;  // over the noise, in units of one filter's noise
    double snrDb = 0.0;
    double centroidHz = 0.0;
  };
  Power PowerAround(double centre, double noise) const;
  double Strength(int offset) const;
  // A line's power over the continuum around it, transform bin -reach_..reach_.
  double Ratio(int f) const { return ratio_[static_cast<size_t>(f + reach_)]; }

  Channelizer channelizer_;
  double fromHz_, toHz_;
  int window_;  // filter outputs per search window
  int step_;    // filter outputs between searches
  int fft_;     // transform length over the squared outputs (the window padded twice over)
  int reach_;   // transform bins either side of 0 where lines are looked for
  std::vector<Complex> history_;  // window_ rows of binCount() filter outputs, a ring
  int64_t outputs_ = 0;
  std::vector<float> real_, imaginary_;
  std::vector<double> prefix_;  // running sums of the transform's power, from -reach_ - kOuter
  std::vector<double> ratio_;
  std::vector<double> meanPowers_;
  std::vector<Peak> peaks_;
};

}  // namespace vela
