// A sound output the transmitter plays its one-symbol buffers through: a sound card or a
// recording. Events come back on the thread that drives the modem, posted later, never
// from inside a call into the device, so the transmit cycle never re-enters itself.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "coding/Modes.h"

namespace vela {

inline constexpr int kOutputChannels = 2;
inline constexpr int kOutputBufferCount = 40;

class AudioOutputEvents {
 public:
  virtual ~AudioOutputEvents() = default;
  // The device is ready for buffers.
  virtual void OutputOpened() = 0;
  // Buffer `index` has been played, or handed back unplayed by Reset().
  virtual void OutputBufferDone(int index) = 0;
  // The device has let go after Close(); no event follows until the next Open().
  virtual void OutputClosed() = 0;
  // The device broke while open (unplugged card, driver error); `reason` is one line.
  virtual void OutputFailed(const std::string& reason) = 0;
};

class AudioOutputDevice {
 public:
  virtual ~AudioOutputDevice() = default;
  // Opens output for `device` (the capture device's number) at 32000 Hz, stereo, 16-bit.
  // False with a reason in error(); otherwise OutputOpened follows.
  virtual bool Open(int device, AudioOutputEvents& events) = 0;
  // Queues buffer `index` (left/right interleaved values); the samples are copied.
  virtual bool Write(int index, std::span<const int16_t> samples) = 0;
  // Stops at once: every queued buffer comes back, unplayed, without delay.
  virtual void Reset() = 0;
  // OutputClosed follows once nothing is playing any more.
  virtual void Close() = 0;
  virtual std::string error() const = 0;
};

}  // namespace vela
