// A sound input under the test's control: it records the samples it was given, one buffer
// each time the test says, so a test decides how much of the band the terminal has heard
// and lets the window catch up in between, as it would with a real card at real time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "station/AudioInputDevice.h"

namespace vela::test {

class ScriptedInput : public AudioInputDevice {
 public:
  explicit ScriptedInput(std::vector<int16_t> samples) : samples_(std::move(samples)) {}

  std::vector<std::string> ListDevices() override { return {"scripted"}; }
  bool Open(int, int, AudioInputEvents& events) override {
    events_ = &events;
    return true;
  }
  bool AddBuffer(int index, std::span<int16_t> buffer) override {
    lent_.push_back({index, buffer});
    return true;
  }
  bool Start() override { return true; }
  void Stop() override {}
  void Reset() override { lent_.clear(); }
  void Close() override {
    lent_.clear();
    events_ = nullptr;
  }
  std::string error() const override { return {}; }

  // Fills the oldest lent buffer with the next samples (silence past the end) and hands it
  // back. False when there is no buffer to fill.
  bool Deliver() {
    if (events_ == nullptr || lent_.empty()) return false;
    const auto [index, buffer] = lent_.front();
    lent_.pop_front();
    const size_t n = std::min(buffer.size(), samples_.size() - std::min(at_, samples_.size()));
    std::fill(buffer.begin(), buffer.end(), int16_t{0});
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(std::min(at_, samples_.size())), n,
                buffer.begin());
    at_ += buffer.size();
    events_->InputBufferFilled(index, static_cast<int>(2 * buffer.size()));
    return true;
  }
  double seconds() const { return static_cast<double>(at_) / 8000.0; }

 private:
  std::vector<int16_t> samples_;
  size_t at_ = 0;
  AudioInputEvents* events_ = nullptr;
  std::deque<std::pair<int, std::span<int16_t>>> lent_;
};

}  // namespace vela::test
