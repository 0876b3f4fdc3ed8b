// Reads one frame out of the correlator's window at the sync location, puts its coded
// symbols back into encoder order and runs them through the Viterbi decoder.
#pragma once

#include <functional>
#include <vector>

#include "coding/Frame.h"
#include "rx/Viterbi.h"

namespace vela {

// Gathers the frame's data positions (sync positions skipped) into encoder order. For the
// highest location the last position lies past the window; it reads as a neutral 0.
void DeinterleaveFrame(InterleaveLength length, const std::vector<double>& window, int loc,
                       std::vector<double>& coded);

// DeinterleaveFrame into `coded`, then one Viterbi step per code pair; each decoded bit goes
// to `bitSink` before the next pair is decoded.
void DecodeFrame(InterleaveLength length, const std::vector<double>& window, int loc,
                 ViterbiDecoder& viterbi, std::vector<double>& coded,
                 const std::function<void(int)>& bitSink);

}  // namespace vela
