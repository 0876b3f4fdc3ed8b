// The receive chain as the command line runs it: a fresh modem over a block of samples,
// collecting the receive pane (pane rules applied) and the secondary channel.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "modem/Modem.h"
#include "station/StationSettings.h"

namespace vela::cli {

class Options;

// --receiver standard|enhanced (`absent` when not given); UsageError for anything else.
// The enhanced receiver copies weaker signals and stays quiet on noise, so an operator
// gets it unless told otherwise.
ReceiverKind ReceiverOption(const Options& opt, ReceiverKind absent = ReceiverKind::Enhanced);

// --freq for a receiver at `rate` samples per second: a centre whose signal fits below half
// the rate (above it the copy would be aliased noise); UsageError otherwise.
double ReceiveFrequencyOption(const Options& opt, Mode mode, double rate);

struct ReceiverSettings {
  Mode mode = StationSettings{}.mode;
  long double rate = StationSettings{}.rxSampleRate;
  long double freq = StationSettings{}.rxCentreFrequency;
  int squelch = StationSettings{}.squelch;
  bool printFrames = false;  // one line per frame on stderr
  ReceiverKind receiver = ReceiverKind::Standard;
  bool noiseBlanker = true;          // the enhanced receiver's; off only to measure what it gains
  int iterations = kModeIterations;  // the enhanced receiver's decoder passes
};

class Receiver : public ModemEvents {
 public:
  explicit Receiver(const ReceiverSettings& settings);

  void Process(std::span<const int16_t> samples) { modem_.ProcessSamples(samples); }
  // The recording has ended: brings out what the receiver still holds back.
  void Finish();

  const std::string& pane() const { return pane_; }            // Windows-1252 bytes
  const std::string& secondary() const { return secondary_; }  // Windows-1252 bytes
  int64_t frames() const { return frames_; }
  int64_t framesOpen() const { return framesOpen_; }                // frames with the squelch open
  const std::vector<int>& locations() const { return locations_; }  // sync location per frame
  int signalLevel() const { return modem_.signalLevel(); }          // the S/N bar's figure

  void RxChar(uint8_t c) override;
  void SecondaryChar(uint8_t c) override;
  void FrameProcessed(const FrameReport& report) override;

 private:
  ReceiverSettings settings_;
  Modem modem_;
  std::string pane_;
  std::string secondary_;
  int64_t frames_ = 0;
  int64_t framesOpen_ = 0;
  std::vector<int> locations_;
};

}  // namespace vela::cli
