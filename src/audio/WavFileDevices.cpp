#include "audio/WavFileDevices.h"

#include <algorithm>

namespace vela {

namespace {
constexpr int kTickMs = 10;
}

// ---- Recording as the receiver's input ----

WavFileInput::WavFileInput(std::string path, Pacing pacing)
    : path_(std::move(path)), pacing_(pacing) {
  timer_.callOnTimeout([this] { Tick(); });
}

WavFileInput::~WavFileInput() {
  Close();
}

std::vector<std::string> WavFileInput::ListDevices() {
  return {"Recording " + path_};
}

bool WavFileInput::Open(int device, int sampleRate, AudioInputEvents& events) {
  Close();
  if (device != 0) {
    error_ = "No capture device " + std::to_string(device) + ": only the recording";
    return false;
  }
  if (!reader_.Open(path_, sampleRate)) {
    error_ = reader_.error();
    return false;
  }
  events_ = &events;
  rate_ = sampleRate;
  open_ = true;
  finished_ = false;
  delivered_ = 0;
  pending_.clear();
  pendingPos_ = 0;
  poster_.NewSession();
  return true;
}

bool WavFileInput::AddBuffer(int index, std::span<int16_t> buffer) {
  if (!open_) {
    error_ = "The recording is not open";
    return false;
  }
  lent_.push_back(Lent{index, buffer, 0});
  return true;
}

bool WavFileInput::Start() {
  if (!open_) {
    error_ = "The recording is not open";
    return false;
  }
  if (timer_.isActive() || finished_) return true;
  deliveredAtStart_ = delivered_;
  clock_.start();
  timer_.start(pacing_ == Pacing::RealTime ? kTickMs : 0);
  return true;
}

void WavFileInput::Stop() {
  timer_.stop();
  if (!lent_.empty() && lent_.front().filled > 0) ReturnHead();
}

void WavFileInput::Reset() {
  timer_.stop();
  while (!lent_.empty()) ReturnHead();
}

void WavFileInput::Close() {
  timer_.stop();
  lent_.clear();
  open_ = false;
  events_ = nullptr;
  poster_.NewSession();
}

void WavFileInput::ReturnHead() {
  const Lent lent = lent_.front();
  lent_.pop_front();
  const int bytes = static_cast<int>(lent.filled * sizeof(int16_t));
  poster_.Post([this, index = lent.index, bytes] { events_->InputBufferFilled(index, bytes); });
}

bool WavFileInput::Refill() {
  if (pendingPos_ < pending_.size()) return true;
  const auto block = reader_.Read();
  pending_.assign(block.begin(), block.end());
  pendingPos_ = 0;
  return !pending_.empty();
}

void WavFileInput::Tick() {
  int64_t due = 0;
  if (pacing_ == Pacing::RealTime) {
    due = deliveredAtStart_ + clock_.elapsed() * rate_ / 1000 - delivered_;
  } else if (!lent_.empty()) {
    due = static_cast<int64_t>(lent_.front().buffer.size() - lent_.front().filled);
  }
  while (due > 0 && !lent_.empty()) {
    if (!Refill()) {
      // End of the recording: the last, partly filled buffer goes back, then the news.
      timer_.stop();
      finished_ = true;
      if (!reader_.error().empty()) error_ = reader_.error();
      if (lent_.front().filled > 0) ReturnHead();
      poster_.Post([this] {
        if (onFinished_) onFinished_();
      });
      return;
    }
    Lent& head = lent_.front();
    const size_t n = std::min({static_cast<size_t>(due), head.buffer.size() - head.filled,
                               pending_.size() - pendingPos_});
    std::copy_n(pending_.begin() + static_cast<ptrdiff_t>(pendingPos_), n,
                head.buffer.begin() + static_cast<ptrdiff_t>(head.filled));
    pendingPos_ += n;
    head.filled += n;
    delivered_ += static_cast<int64_t>(n);
    due -= static_cast<int64_t>(n);
    if (head.filled == head.buffer.size()) ReturnHead();
  }
}

// ---- The transmitter's audio into a recording ----

WavFileOutput::WavFileOutput(std::string path, Pacing pacing)
    : path_(std::move(path)), pacing_(pacing) {
  timer_.callOnTimeout([this] { Tick(); });
}

WavFileOutput::~WavFileOutput() {
  timer_.stop();
  if (open_) writer_.Commit();
}

bool WavFileOutput::Open(int /*device*/, AudioOutputEvents& events) {
  if (open_) {
    error_ = "The recording is already open";
    return false;
  }
  if (!writer_.Open(path_, kOutputSampleRate, kOutputChannels)) {
    error_ = writer_.error();
    return false;
  }
  events_ = &events;
  open_ = true;
  expecting_ = false;
  queue_.clear();
  position_ = 0;
  poster_.NewSession();
  poster_.Post([this] { events_->OutputOpened(); });
  framesAtStart_ = framesWritten_;
  clock_.start();
  timer_.start(pacing_ == Pacing::RealTime ? kTickMs : 0);
  return true;
}

bool WavFileOutput::Write(int index, std::span<const int16_t> samples) {
  if (!open_ || index < 0 || index >= kOutputBufferCount || samples.size() % kOutputChannels != 0) {
    error_ = open_ ? "Output buffer does not fit the ring" : "The recording is not open";
    return false;
  }
  if (std::find(queue_.begin(), queue_.end(), index) != queue_.end()) {
    error_ = "Output buffer " + std::to_string(index) + " is already queued";
    return false;
  }
  slots_[static_cast<size_t>(index)].assign(samples.begin(), samples.end());
  queue_.push_back(index);
  expecting_ = true;
  return true;
}

void WavFileOutput::Reset() {
  for (int index : queue_) poster_.Post([this, index] { events_->OutputBufferDone(index); });
  queue_.clear();
  position_ = 0;
  expecting_ = false;
}

void WavFileOutput::Close() {
  timer_.stop();
  if (!open_) return;
  open_ = false;
  queue_.clear();
  position_ = 0;
  const bool committed = writer_.Commit();
  if (!committed) error_ = writer_.error();
  poster_.NewSession();
  poster_.Post([this, committed, reason = error_] {
    AudioOutputEvents* events = events_;
    events_ = nullptr;
    if (!committed) events->OutputFailed(reason);
    events->OutputClosed();
  });
}

void WavFileOutput::Tick() {
  if (pacing_ == Pacing::RealTime) {
    Play(static_cast<size_t>(std::max<int64_t>(
        0, framesAtStart_ + clock_.elapsed() * kOutputSampleRate / 1000 - framesWritten_)));
  } else if (!queue_.empty()) {
    Play((slots_[static_cast<size_t>(queue_.front())].size() - position_) / kOutputChannels);
  }
}

void WavFileOutput::Play(size_t frames) {
  while (frames > 0 && !queue_.empty()) {
    const int index = queue_.front();
    const auto& slot = slots_[static_cast<size_t>(index)];
    const size_t n = std::min(frames * kOutputChannels, slot.size() - position_);
    if (!writer_.Write(std::span(slot).subspan(position_, n))) {
      timer_.stop();
      error_ = writer_.error();
      poster_.Post([this, reason = error_] { events_->OutputFailed(reason); });
      return;
    }
    position_ += n;
    frames -= n / kOutputChannels;
    framesWritten_ += static_cast<int64_t>(n / kOutputChannels);
    if (position_ == slot.size()) {
      queue_.pop_front();
      position_ = 0;
      poster_.Post([this, index] { events_->OutputBufferDone(index); });
    }
  }
  if (frames == 0) return;
  if (!expecting_) {
    framesAtStart_ += static_cast<int64_t>(frames);  // nothing to play yet: the clock waits
    return;
  }
  // The transmit cycle fell behind: the air (and so the file) gets silence.
  ++underruns_;
  const std::vector<int16_t> silence(frames * kOutputChannels, 0);
  if (writer_.Write(silence)) framesWritten_ += static_cast<int64_t>(frames);
}

}  // namespace vela
