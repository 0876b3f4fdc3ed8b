#include "tx/TransmitCycle.h"

#include <algorithm>

namespace vela {

namespace {
// The longest one-symbol buffer: VELA8, 8192 values.
constexpr int kMaxBufferValues = 8192;
}  // namespace

TransmitCycle::TransmitCycle(AudioOutputDevice& device, TransmitSource& source, TransmitHost& host)
    : device_(device),
      source_(source),
      host_(host),
      buffers_(kOutputBufferCount),
      queued_(kOutputBufferCount, false) {
  for (auto& b : buffers_) b.reserve(kMaxBufferValues);
}

void TransmitCycle::ToggleTransmit() {
  switch (state_) {
    case State::Idle:
      Start();
      break;
    case State::Opening:
    case State::Running:
      Stop();
      break;
    case State::Stopping:
    case State::Closing:
      break;  // already on its way down
  }
}

bool TransmitCycle::RequestExit() {
  if (state_ == State::Idle) return false;
  exitFlag_ = true;
  if (state_ == State::Opening || state_ == State::Running) Stop();
  return true;
}

void TransmitCycle::Start() {
  exitFlag_ = false;
  inFlight_ = 0;
  std::fill(queued_.begin(), queued_.end(), false);
  host_.SetTransmitControlsEnabled(false);
  host_.PauseCapture();
  length_ = source_.bufferLength();
  if (length_ <= 0 || length_ > kMaxBufferValues || length_ % kOutputChannels != 0) {
    length_ = 0;
  }
  if (length_ == 0 || !device_.Open(deviceIndex_, *this)) {
    // Nothing went on air and PTT was never keyed: back to receive as it was.
    host_.ShowTransmitMessage({kOutputOpenError, kTransmitCaption});
    host_.SetTransmitControlsEnabled(true);
    host_.ResumeCapture();
    host_.TransmissionAborted();
    return;
  }
  for (auto& b : buffers_) b.assign(static_cast<size_t>(length_), 0);
  state_ = State::Opening;
  if (ptt_ != nullptr) ptt_->Key(true);
}

void TransmitCycle::OutputOpened() {
  if (state_ != State::Opening) return;
  state_ = State::Running;
  // The preamble: 40 symbols of +1, in ring order.
  symbol_ = 1;
  for (int i = 0; i < kOutputBufferCount; ++i) {
    if (!WriteBuffer(i, 1)) return;
  }
}

void TransmitCycle::OutputBufferDone(int index) {
  if (index < 0 || index >= kOutputBufferCount || !queued_[static_cast<size_t>(index)]) return;
  queued_[static_cast<size_t>(index)] = false;
  --inFlight_;
  switch (state_) {
    case State::Running:
      if (!source_.morseIdentifierOn()) symbol_ = source_.NextSymbol();
      WriteBuffer(index, symbol_);
      break;
    case State::Stopping:
      // The first buffer back after the reset closes the device; the rest are dropped.
      CloseDevice();
      source_.TransmissionStopped();
      host_.ClearTransmitPane();
      break;
    default:
      break;
  }
}

void TransmitCycle::OutputClosed() {
  if (state_ == State::Idle) return;
  state_ = State::Idle;
  inFlight_ = 0;
  std::fill(queued_.begin(), queued_.end(), false);
  const bool exitNow = exitFlag_;
  exitFlag_ = false;
  host_.TransmitterClosed(exitNow);
}

void TransmitCycle::OutputFailed(const std::string& reason) {
  if (state_ == State::Idle || state_ == State::Closing) return;
  Abort("Sound output failed: " + reason);
}

void TransmitCycle::Stop() {
  state_ = State::Stopping;
  host_.SetTransmitControlsEnabled(true);
  host_.ResumeCapture();
  device_.Reset();
  if (ptt_ != nullptr) ptt_->Key(false);
  // Stopped before the device said it was open: no buffer will come back to close it.
  if (inFlight_ == 0) {
    CloseDevice();
    source_.TransmissionStopped();
    host_.ClearTransmitPane();
  }
}

void TransmitCycle::CloseDevice() {
  state_ = State::Closing;
  device_.Close();
}

bool TransmitCycle::WriteBuffer(int index, int symbol) {
  auto& buffer = buffers_[static_cast<size_t>(index)];
  source_.SynthesiseSymbol(buffer, symbol);
  if (!device_.Write(index, buffer)) {
    Abort("Sound output failed: " + device_.error());
    return false;
  }
  queued_[static_cast<size_t>(index)] = true;
  ++inFlight_;
  return true;
}

// Ends a transmission the device cannot carry on: the operator is told, PTT drops, and the
// unsent text stays in the pane so nothing typed is lost.
void TransmitCycle::Abort(const std::string& text) {
  const bool wasStopping = state_ == State::Stopping;
  if (!wasStopping) {
    host_.SetTransmitControlsEnabled(true);
    host_.ResumeCapture();
  }
  device_.Reset();
  if (ptt_ != nullptr) ptt_->Key(false);
  CloseDevice();
  source_.TransmissionStopped();
  if (wasStopping) host_.ClearTransmitPane();  // the operator had already ended it
  host_.ShowTransmitMessage({text, kTransmitCaption});
  if (!wasStopping) host_.TransmissionAborted();
}

}  // namespace vela
