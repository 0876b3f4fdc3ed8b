#include "station/CaptureCycle.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace vela {

CaptureCycle::CaptureCycle(AudioInputDevice& device, CaptureSink& sink)
    : device_(device), sink_(sink) {}

CaptureCycle::~CaptureCycle() {
  if (deviceOpen_) {
    device_.Reset();
    device_.Close();
  }
}

int CaptureCycle::CaptureRate(long double rxSampleRate) {
  return static_cast<int>(std::nearbyint(rxSampleRate));
}

bool CaptureCycle::StartCapture(int device, long double rxSampleRate) {
  if (running()) StopCapture();
  captureDevice_ = device;
  captureRate_ = CaptureRate(rxSampleRate);
  if (captureRate_ <= 0 || !device_.Open(device, captureRate_, *this)) {
    sink_.CaptureError(kNoCaptureDevice);
    return false;
  }
  deviceOpen_ = true;
  try {
    buffers_.assign(kCaptureBufferCount, std::vector<int16_t>(kCaptureBufferSamples, 0));
  } catch (const std::bad_alloc&) {
    Release();
    sink_.CaptureError(kCaptureAllocError);
    return false;
  }
  for (int i = 0; i < kCaptureBufferCount; ++i) {
    if (!device_.AddBuffer(i, buffers_[static_cast<size_t>(i)])) {
      Fail(device_.error());
      return false;
    }
  }
  if (!device_.Start()) {
    Fail(device_.error());
    return false;
  }
  state_ = State::Running;
  return true;
}

void CaptureCycle::PauseCapture() {
  if (state_ != State::Running) return;
  device_.Stop();
  state_ = State::Paused;
}

void CaptureCycle::ResumeCapture() {
  if (state_ != State::Paused) return;
  if (!device_.Start()) {
    Fail(device_.error());
    return;
  }
  state_ = State::Running;
}

void CaptureCycle::StopCapture() {
  if (!deviceOpen_) return;
  Release();
}

void CaptureCycle::InputBufferFilled(int index, int bytesRecorded) {
  // Buffers that come back after a close were released with the device: never touch them.
  if (state_ == State::Closed || index < 0 || index >= kCaptureBufferCount) return;
  const auto& buffer = buffers_[static_cast<size_t>(index)];
  const int samples = std::clamp(bytesRecorded, 0, kCaptureBufferBytes) / 2;
  // Only what was recorded is copied; the rest of the array keeps the previous buffer's
  // samples for the spectrum.
  std::copy_n(buffer.begin(), samples, sampleArray_.begin());
  sink_.CaptureSamples(std::span<const int16_t>(sampleArray_).first(static_cast<size_t>(samples)));
  sink_.SpectrumStep(sampleArray_);
  // The sink may have stopped capture (the operator closed the window, say).
  if (state_ == State::Closed) return;
  if (!device_.AddBuffer(index, buffers_[static_cast<size_t>(index)])) Fail(device_.error());
}

void CaptureCycle::InputFailed(const std::string& reason) {
  if (state_ == State::Closed) return;
  Fail(reason);
}

// A capture device that fails is let go and the operator told; the rest of the program
// (transmitting, the panes) carries on without receive.
void CaptureCycle::Fail(const std::string& text) {
  Release();
  sink_.CaptureError(text.empty() ? std::string("Sound input failed") : text);
}

void CaptureCycle::Release() {
  if (deviceOpen_) {
    device_.Reset();
    device_.Close();
    deviceOpen_ = false;
  }
  state_ = State::Closed;
  buffers_.clear();
  buffers_.shrink_to_fit();
}

}  // namespace vela
