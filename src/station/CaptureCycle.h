// The capture cycle: 48 buffers of 1024 samples circulate through the input device; each
// one that comes back feeds the receiver and the spectrum as a whole,
// then goes back to the device. Runs on the thread that drives the modem.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "station/AudioInputDevice.h"

namespace vela {

inline constexpr int kCaptureBufferCount = 48;
inline constexpr int kCaptureBufferSamples = 1024;
inline constexpr int kCaptureBufferBytes = 2 * kCaptureBufferSamples;
// The receive sample array has one entry more than a buffer.
inline constexpr int kSampleArrayLength = kCaptureBufferSamples + 1;

inline constexpr char kNoCaptureDevice[] = "No suitable device found";
inline constexpr char kCaptureAllocError[] = "Can\u00b4t alloc Buffers";

// Where captured audio goes, and how the operator hears of trouble.
class CaptureSink {
 public:
  virtual ~CaptureSink() = default;
  // What one buffer recorded, whole: the receivers work through it in one call.
  virtual void CaptureSamples(std::span<const int16_t> samples) = 0;
  // The whole receive sample array, once per returned buffer.
  virtual void SpectrumStep(std::span<const int16_t> sampleArray) = 0;
  virtual void CaptureError(const std::string& /*text*/) {}
};

class CaptureCycle : private AudioInputEvents {
 public:
  enum class State { Closed, Running, Paused };

  CaptureCycle(AudioInputDevice& device, CaptureSink& sink);
  ~CaptureCycle() override;
  CaptureCycle(const CaptureCycle&) = delete;
  CaptureCycle& operator=(const CaptureCycle&) = delete;

  // The device rate for a receive sample rate: nearest whole number, ties to even. The
  // fraction is the demodulator's business.
  static int CaptureRate(long double rxSampleRate);

  std::vector<std::string> ListCaptureDevices() { return device_.ListDevices(); }

  // Opens `device`, lends it the 48 buffers and starts recording. On failure the operator
  // sees why, the device is let go, and false comes back.
  bool StartCapture(int device, long double rxSampleRate);
  // Around a transmission: recording halts with the buffers kept queued, then goes on.
  void PauseCapture();
  void ResumeCapture();
  // Resets and closes the device and releases the buffers. At shut-down, and as the first
  // step of choosing another sound card (the caller waits 500 ms, then StartCapture).
  void StopCapture();

  State state() const { return state_; }
  bool running() const { return state_ != State::Closed; }
  int captureDevice() const { return captureDevice_; }
  std::span<const int16_t> sampleArray() const { return sampleArray_; }

 private:
  void InputBufferFilled(int index, int bytesRecorded) override;
  void InputFailed(const std::string& reason) override;
  void Fail(const std::string& text);
  void Release();

  AudioInputDevice& device_;
  CaptureSink& sink_;
  State state_ = State::Closed;
  bool deviceOpen_ = false;
  int captureDevice_ = 0;
  int captureRate_ = 0;
  std::vector<std::vector<int16_t>> buffers_;
  std::array<int16_t, kSampleArrayLength> sampleArray_{};
};

}  // namespace vela
