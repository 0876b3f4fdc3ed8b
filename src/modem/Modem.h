// The modem: every piece of modem state for one run, transmit and receive, with the one
// Viterbi decoder they share. The window and the command line each own one; a test builds
// a fresh one per case. Nothing here is global.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "coding/Modes.h"
#include "modem/ModemEvents.h"
#include "rx/Receiver.h"
#include "tx/MskSynthesiser.h"

namespace vela {

class BitSource;

class Modem {
 public:
  explicit Modem(ModemEvents& events);
  ~Modem();
  Modem(const Modem&) = delete;
  Modem& operator=(const Modem&) = delete;

  // Mode: transmit buffer length and frame builder, receive rate and filters. Frame
  // counters, encoder registers and every ring run on across a change.
  void SetMode(Mode mode);
  Mode mode() const { return mode_; }
  const ModeParams& params() const { return ModeTable(mode_); }

  // ---- Receive ----
  void SetRxSampleRate(long double fs);
  long double rxSampleRate() const;
  void SetRxCentreFrequency(long double fc);
  long double rxCentreFrequency() const;
  // The receive centre frequency the copy now coming out (received and secondary text) was
  // heard on. After a retune the receiver still brings out what it heard before for a frame
  // or two (sync, de-interleaving and decoding hold it back); this follows the copy, not
  // the dial.
  long double copyFrequency() const;
  void SetSquelch(int threshold);
  int squelch() const;
  void SetPause(bool on);
  bool paused() const;
  // Switching starts the receive side afresh, as in a new modem with that receiver: the
  // receiver and the decoder shared with the transmit echo. The text decoder runs on.
  void SetReceiver(ReceiverKind kind);
  // The enhanced receiver's noise blanker (on by default); off only to measure its gain.
  void SetNoiseBlanker(bool on);
  // Passes of the enhanced receiver's iterative decoder (0: the Viterbi decoder alone).
  void SetIterations(int iterations);
  ReceiverKind receiver() const;

  void ProcessSamples(std::span<const int16_t> samples);
  // The end of a recording: brings out what the receiver still holds back.
  void Flush();

  double syncPeak() const;
  int syncLocation() const;
  int confidence() const;  // SyncConfidence(syncPeak)
  int signalLevel() const;

  // ---- Transmit ----
  BitSource& bitSource();
  void SetTxCentreFrequency(long double fc);
  long double txCentreFrequency() const;
  void SetOutputStyle(OutputStyle style);
  // The delayed-receive end marker watched for in the echo ("[EOT]" by default).
  void SetEndMarker(const std::string& marker);
  const std::string& endMarker() const;

  // 16-bit values per one-symbol stereo buffer of the mode (the Morse identifier, whose
  // buffers are 2048 values in every mode, is the transmit controller's).
  int bufferLength() const { return params().bufferLength; }

  // The next channel symbol (+1, -1 or 0) from the frame builder of the mode's interleave.
  int NextSymbol();
  // Position of the next symbol within the current frame of that builder (0 = a new frame).
  int frameCounter() const;
  // Fills `buffer` (left/right interleaved; its length sets the tone spacing) with one
  // symbol of MSK, or with the tune or Morse carrier.
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol,
                        CarrierMode carrier = CarrierMode::Data);
  // A transmission has ended: the pane's unsent remainder is dropped (sent count 0).
  void TransmissionStopped();
  // The operator cut an over short with `unplayedSymbols` of its symbols made and never
  // played. Characters count as sent once the frame carrying them and the next have been
  // played whole, so the far station's decoder has had them; what the pipeline held
  // beyond that goes nowhere (the next over starts afresh, as the run's first does).
  // Returns how many of the pane's characters converted in the over were sent.
  size_t CutOver(int64_t unplayedSymbols);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  Mode mode_ = kDefaultMode;
};

}  // namespace vela
