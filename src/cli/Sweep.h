// Sensitivity measurement: a fixed text through the channel at a range of SNRs.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "coding/Modes.h"
#include "modem/Modem.h"
#include "sim/ChannelSim.h"
#include "sim/Genie.h"
#include "sim/SweepText.h"

namespace vela::cli {

struct SweepPoint {
  double snrDb;
  double cer;
  double framesSyncedPct;
};

// Which receiver a sweep measures: one of the real ones (the enhanced one with or without
// its noise blanker), or the genie.
struct SweepReceiver {
  ReceiverKind kind = ReceiverKind::Standard;
  bool noiseBlanker = true;
  bool genie = false;
  GenieEstimate estimate = GenieEstimate::None;
  int iterations = kModeIterations;  // the enhanced receiver's and the genie's decoder passes
};

// For `seeds` channel seeds adds noise at `snrDb` to the clean transmission of `text` and
// decodes it. `impairments` adds its frequency offset, clock error, bursts and fading (its
// SNR and seed are the point's). A frame counts as synced when the receiver found it where
// it finds it in the clean signal (`cleanLocations`); the genie is always synced.
SweepPoint MeasurePoint(Mode mode, std::string_view text, std::span<const int16_t> clean8k,
                        const std::vector<int>& cleanLocations, double snrDb, int seeds,
                        const SweepReceiver& receiver = {},
                        const ChannelSettings& impairments = {});

}  // namespace vela::cli
