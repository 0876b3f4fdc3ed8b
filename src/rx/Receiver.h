// A receiver: audio samples in, per-symbol display values and one result per frame out,
// down to the decoded bits. The modem holds one; a band scanner can run many side by side
// on the same samples (each with its own centre frequency and mode), since a receiver keeps
// all of its state itself and reports to the events object it is handed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "coding/Modes.h"
#include "rx/FrameSync.h"
#include "rx/IterativeDecoder.h"

namespace vela {

// Which receiver turns the captured audio into text: the standard discriminator with hard
// decisions, or the coherent receiver with soft decisions that copies weaker signals.
// Both feed the same displays, squelch and text events.
enum class ReceiverKind { Standard, Enhanced };

// What the receiver listens to. A sample rate that is not a positive number, or a
// frequency that is not finite, is ignored (the last usable value stays).
struct ReceiverConfig {
  Mode mode = kDefaultMode;
  long double sampleRate = kNominalRxRate;
  long double centreFrequency = kDefaultCentreHz;
  // The enhanced receiver's blanker for static crashes; off only to measure its gain.
  bool noiseBlanker = true;
  // Passes of the enhanced receiver's iterative decoder per frame; 0 decodes each frame's
  // symbol values with the Viterbi decoder alone, a frame sooner.
  int iterations = kModeIterations;
};

class ReceiverEvents {
 public:
  virtual ~ReceiverEvents() = default;
  // Every quarter symbol (k = 0, 4, 8, 12): the phase step over three quarters of a symbol.
  virtual void EyeStep(int /*subSymbol*/, long double /*phaseStep*/) {}
  // Every tenth quarter symbol: time to redraw the S/N and confidence bars.
  virtual void Refresh(int /*signalLevel*/) {}
  // Once per frame period, after the sync search; its decoded bits follow (those of a
  // frame in which nothing was heard once the frames after it tell a fade, whose copy may
  // be good, from the end of the over, after which it is noise).
  virtual void Frame(const FrameResult& /*frame*/) {}
  virtual void DecodedBit(int /*bit*/) {}
  // Before each decoded bit: false when it comes from after an over's end (or from
  // digital silence), where any text it completes is junk to hold back.
  virtual void Heard(bool /*heard*/) {}
  // The receive centre frequency the decoded bits that follow were heard on: told before
  // the first bit, then whenever the bits come from audio heard on another one. The frame
  // sync and the decoder hold bits back a frame or two, so after a retune the old
  // frequency's copy is still coming out for a while.
  virtual void HeardOn(long double /*centreFrequency*/) {}
};

class Receiver {
 public:
  virtual ~Receiver() = default;

  // Takes effect from the next sample. The standard receiver runs on across a change; the
  // enhanced one starts afresh on a new mode or sample rate (they change its sample grid).
  virtual void Configure(const ReceiverConfig& config) = 0;
  virtual const ReceiverConfig& config() const = 0;

  virtual void Process(std::span<const int16_t> samples, ReceiverEvents& out) = 0;
  // The end of the input: pushes through silence for what the receiver still holds back.
  virtual void Flush(ReceiverEvents& out) = 0;
  // As new: demodulator, frame syncs and the decoder it decodes with.
  virtual void Reset() = 0;

  // Symbols the receiver holds back beyond its filters' delay before it decides on them
  // (the enhanced receiver's look-ahead); what Flush() brings out. 0 for the standard one.
  virtual int Latency() const = 0;
  // 10 ln of the averaged baseband amplitude, at least 1 (0 before the first quarter symbol).
  virtual int signalLevel() const = 0;
};

// A new receiver of that kind with the default configuration. The standard receiver
// decodes through `sharedDecoder`, the one decoder the transmit echo also runs through
// (the echo's first bits of a transmission are the receiver's last); the enhanced
// receiver's soft values go through a decoder of its own.
std::unique_ptr<Receiver> MakeReceiver(ReceiverKind kind, ViterbiDecoder& sharedDecoder);

}  // namespace vela
