// Frame sync: the demodulator's values collected into a window two frames long, searched
// once per frame period against the PN values at every offset. The best offset is where
// the frame is read from; the size of its peak is the sync confidence. There is no locked
// state: every frame is searched afresh (the enhanced receiver's search also carries part
// of each offset's correlation over from the frames before).
//
// One FrameSync over a search rule serves both receivers: HardSync for the standard
// receiver's sliced decisions, SoftSync for the enhanced receiver's soft values. Values are
// floats either way (the standard receiver's are +1, -1 and a neutral 0).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "coding/Frame.h"
#include "rx/Viterbi.h"

namespace vela {

// What one frame search found: the numbers the squelch, the displays and the decoder use.
// The spans stay valid until the next value goes into the same FrameSync.
struct FrameResult {
  InterleaveLength interleave;
  int64_t search;    // searches by this frame sync since it started, 1 for the first
  double syncPeak;   // the chosen offset's correlation, 0..961
  int syncLocation;  // the chosen offset, 0..L
  std::span<const float> correlations;  // every offset 0..L, on the same 0..961 scale
  std::span<const float> coded;         // the frame's code symbols in encoder order (+ve = 1)
  bool idle = false;  // read as the idle stream: nothing heard, or a never-built first frame
  // Something was heard at the frame's offset; false after an over's end, in a deep fade
  // and on digital silence (the frame is decoded all the same; its text may be junk).
  bool heard = true;
};

// How sure the idle stream read in place of a frame without text is.
inline constexpr float kIdleLlr = 10.0f;

// The last interleaved symbol is never sent: its slot holds the next frame's first PN
// value. The standard receiver has always read that value as data; the enhanced receiver
// takes the symbol as neutral.
enum class UnsentSymbol { Read, Neutral };

// The frame at offset `loc` of a two-frame window, sync positions skipped, in encoder
// order. For the highest offset the last position lies past the window; it reads as 0.
void DeinterleaveFrame(InterleaveLength length, std::span<const float> window, int loc,
                       UnsentSymbol unsent, std::vector<float>& coded);

// One Viterbi step per code pair, each decoded bit to `sink` before the next pair.
template <class Sink>
void DecodeFrame(std::span<const float> coded, ViterbiDecoder& viterbi, Sink&& sink) {
  for (size_t m = 0; m + 1 < coded.size(); m += 2) sink(viterbi.Decode(coded[m], coded[m + 1]));
}

// The standard receiver's search: decisions sliced to +1/-1 (a zero counts as a 0 bit),
// the squared PN correlation at each offset, the first of equal peaks kept.
class HardSync {
 public:
  static constexpr UnsentSymbol kUnsent = UnsentSymbol::Read;
  static constexpr bool kSoftFrame = false;
  static float Value(long double decision) { return decision > 0 ? 1.0f : -1.0f; }
  // Squared PN correlation of the window at offset `loc`.
  static double Correlate(std::span<const float> window, const FrameGeometry& geometry, int loc);

  void Reset(size_t /*offsets*/) {}
  void Search(std::span<const float> window, const FrameGeometry& geometry,
              std::span<float> correlations, double& peak, int& location);
};

// Confidence of a soft PN match on the 0..961 scale of the squared hard correlation, from
// the soft correlation `sum` and the sum of squares `energy` of the values it covered, and
// the normalised correlation `full` a clean signal gives. On noise alone the largest
// normalised correlation over a frame's offsets is about 3, so the scale starts there:
// noise reads near 0 and a clean frame 961.
double SoftSyncPeak(double sum, double energy, double full);

// The enhanced receiver's search: each value keeps its weight and its sign (a PN match is a
// positive sum), and each offset's correlation carries over part of its value from the
// frames before. The coherent receiver does not slip, so a weak frame is found where the
// last ones were, while a signal that has moved still wins at its new offset within a frame.
class SoftSync {
 public:
  static constexpr UnsentSymbol kUnsent = UnsentSymbol::Neutral;
  // The frame read with the known symbols' help, and a fresh transmitter's never-built
  // first frame kept quiet (see ReadSoftFrame).
  static constexpr bool kSoftFrame = true;
  static float Value(long double value) { return static_cast<float>(value); }
  // Soft PN correlation of the window at offset `loc`, and the squared values it covered.
  static double Sum(std::span<const float> window, const FrameGeometry& geometry, int loc,
                    double* energy = nullptr);

  void Reset(size_t offsets);
  void Search(std::span<const float> window, const FrameGeometry& geometry,
              std::span<float> correlations, double& peak, int& location);

 private:
  std::vector<double> sums_;      // per offset, earlier frames weighted down
  std::vector<double> energies_;  // the squared values under those sums, likewise
};

// The enhanced receiver's reading of the frame at `loc`. Each symbol's soft value comes
// from the rail values either side of it; a known symbol (a PN value, or slot 31's +1) ties
// its two rails together, so the rail next to it also hears the one beyond, and the data
// symbol there is read with that help (`railsAfter[k]`: the rail LLR at the end of symbol
// k). And a frame whose data all read +1 is the never-built first frame of a transmitter
// just started, which carries no text: it is read as the idle stream (all code bits 0)
// that encodes to nothing, so its Viterbi output shows no burst of junk (true then).
bool ReadSoftFrame(InterleaveLength length, std::span<const float> window,
                   std::span<const float> railsAfter, int loc, std::vector<float>& scratch,
                   std::vector<float>& coded);
// A frame's code symbols as the idle stream: every code bit a sure 0.
void ReadAsIdle(std::vector<float>& coded);

template <class Rule>
class FrameSync {
 public:
  explicit FrameSync(InterleaveLength length);

  // One demodulated value; true when it completed a frame period and the search has run
  // (result() is then fresh).
  bool Add(long double value, float railAfter = 0.0f);
  // Back to the state of a new one.
  void Reset();

  // The last search's figures, with the frame read out at its sync location.
  FrameResult result() const;
  std::span<const float> window() const { return window_; }  // oldest first after a search
  // The rail value after each value of the window (soft frames only), in the same order.
  std::span<const float> rails() const { return rails_; }
  InterleaveLength interleave() const { return length_; }
  const FrameGeometry& geometry() const { return *geometry_; }
  double syncPeak() const { return syncPeak_; }
  int syncLocation() const { return syncLocation_; }
  int64_t searches() const { return searches_; }
  std::span<const float> correlations() const { return correlations_; }

 private:
  InterleaveLength length_;
  const FrameGeometry* geometry_;
  Rule rule_;
  std::vector<float> window_;  // 2L values
  std::vector<float> rails_;   // the rail LLR after each of them (soft frames only)
  std::vector<float> scratch_;
  int n_ = 0;
  int64_t searches_ = 0;
  double syncPeak_ = 0.0;
  int syncLocation_ = 0;
  bool idle_ = false;
  bool heard_ = true;
  std::vector<float> correlations_;
  std::vector<float> coded_;
};

using FrameHandler = FrameSync<HardSync>;
using SoftFrameHandler = FrameSync<SoftSync>;

}  // namespace vela
