// A sound input the receiver listens through: a sound card or a recording. The device fills
// buffers the receiver lends it, mono 16-bit, and hands each back with the number of bytes
// recorded. Events come on the thread that drives the modem, posted later, never from
// inside a call into the device; none arrive for a device that has been closed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vela {

class AudioInputEvents {
 public:
  virtual ~AudioInputEvents() = default;
  // Buffer `index` is back, holding `bytesRecorded` bytes (a stop or reset returns it
  // partly filled or empty).
  virtual void InputBufferFilled(int index, int bytesRecorded) = 0;
  // The device broke while open; `reason` is one line.
  virtual void InputFailed(const std::string& reason) = 0;
};

class AudioInputDevice {
 public:
  virtual ~AudioInputDevice() = default;
  // Capture devices in the order their numbers count them.
  virtual std::vector<std::string> ListDevices() = 0;
  // Looks for devices afresh (a card plugged in since the start); false when it cannot
  // now, as while the device is open, or has nothing to look for.
  virtual bool Rediscover() { return false; }
  // Opens input `device` in mono, 16-bit, at `sampleRate`. False with error() on failure.
  virtual bool Open(int device, int sampleRate, AudioInputEvents& events) = 0;
  // Lends `buffer` until it comes back through InputBufferFilled(index, ...).
  virtual bool AddBuffer(int index, std::span<int16_t> buffer) = 0;
  virtual bool Start() = 0;
  // Recording halts: the buffer being filled comes back as far as it got; empty ones stay.
  virtual void Stop() = 0;
  // Recording halts and every lent buffer comes back.
  virtual void Reset() = 0;
  // Lets go of the device and of every lent buffer.
  virtual void Close() = 0;
  virtual std::string error() const = 0;
};

}  // namespace vela
