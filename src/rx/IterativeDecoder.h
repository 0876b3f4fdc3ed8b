// The enhanced receiver's iterative decoder. The K=7 code, the block interleaver and MSK
// (whose symbols are products of adjacent rail values) form a serially concatenated code;
// decoding it symbol by symbol throws away what the rails and the code could tell each
// other. Each frame's rails go through the rail pass (the known symbols as pilots), its
// extrinsic values through the deinterleaver into the code decoder, whose extrinsic values
// go back through the interleaver as the symbols' a-priori values on the next rail pass,
// until the decisions stop changing or the iterations run out.
//
// The code runs on across frames, so a frame is decoded in a window with the next one
// (which tells how its last bits went on) and its bits come out one frame late; the forward
// metrics carry on from frame to frame. A frame that holds nothing (the never-built first
// frame, or one with no sync) is read as the idle stream.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "coding/Modes.h"
#include "rx/CodeDecoder.h"
#include "rx/RailDecoder.h"

namespace vela {

inline constexpr int kDefaultIterations = 8;
// "The mode's own number of passes": what the receivers run unless told otherwise.
inline constexpr int kModeIterations = -1;

// VELA8 decodes with the Viterbi decoder alone for now: under 0.1 Hz fading its carrier
// phase, estimated over 16 seconds, lags the path's and leaves a floor of wrong symbols
// even in strong signal, which the passes lower less well than the Viterbi decoder does
// (CER 1.5 to 2% against 1% from -8 to -2 dB). `--iterations` still turns them on there.
inline constexpr int DefaultIterations(Mode mode) {
  return mode == Mode::Vela8 ? 0 : kDefaultIterations;
}

// The rail pass's ratio against a turn-over of the reference between two rails. What turns
// the reference over is the carrier phase estimate lagging a fading path's phase across its
// 128-symbol window: 16 s in VELA8, a quarter of that in VELA31, where the turn-overs are
// already too rare to pay for (a ratio of 3 or 6 there cost copy near the threshold on white
// noise and gained none under fading). The ratio grows by 4 for each doubling of the symbol
// rate: in effect the allowance is VELA8's alone.
inline constexpr float RailTurnOver(Mode mode) {
  switch (mode) {
    case Mode::Vela8:
      return kRailTurnOver;
    case Mode::Vela31:
      return kRailTurnOver + 8.0f;
    case Mode::Vela63:
      return kRailTurnOver + 12.0f;
    case Mode::Vela125:
      return kRailTurnOver + 16.0f;
  }
  return kRailTurnOver;
}

class IterativeDecoder {
 public:
  IterativeDecoder(InterleaveLength length, int iterations = kDefaultIterations);

  // At most `iterations` code decoder passes per window (0 is taken as 1).
  void SetIterations(int iterations);
  int iterations() const { return iterations_; }
  // The rail pass's ratio against a turn-over of the reference (RailTurnOver of the mode).
  void SetTurnOver(float turnOver) { rail_.SetTurnOver(turnOver); }
  // As new: no frame held, the code's start unknown.
  void Reset();

  // A frame at offset `loc` of a frame sync's window, given the rail value after each of
  // the window's symbols (`railsAfter`, oldest first); `idle`: read it as the idle stream.
  // Returns the data bits (0/1) of the frame before it, now decided; none for the first.
  std::span<const uint8_t> Frame(std::span<const float> railsAfter, int loc, bool idle);
  // The frame held back, decided without the one after it (the end of the input).
  std::span<const uint8_t> Finish();

  // Frames a frame's bits come out after it.
  static constexpr int LatencyFrames() { return 1; }
  // Code decoder passes in the last window.
  int passes() const { return passes_; }

 private:
  struct HeldFrame {
    bool present = false;
    bool idle = false;
    std::vector<float> rails;     // L + 2: before the first symbol to after the next PN value
    std::vector<float> feedback;  // the code's extrinsic value of each code bit
  };
  // Iterates over the held frames (one or two) and decides the first one's bits.
  std::span<const uint8_t> Decide(int frames);
  // The decided frame dropped, the next one first, the code's start moved to it.
  std::span<const uint8_t> Advance(const CodeDecoder::Metrics& next);

  int codedSymbols_;
  int frameLength_;
  int iterations_;
  // Per position 0..L of a frame: the code bit a data symbol carries (-1: known symbol).
  std::vector<int> codeBit_;
  std::vector<float> known_;  // the known symbols' values (0 for data)
  HeldFrame frames_[2];       // the frame held back, then the new one
  CodeDecoder::Metrics start_;
  RailDecoder rail_;
  CodeDecoder code_;
  std::vector<float> prior_, extrinsic_;  // per position, for the rail pass
  std::vector<float> coded_, codeExtrinsic_, data_;
  std::vector<uint8_t> decided_, last_;
  int passes_ = 0;
};

}  // namespace vela
