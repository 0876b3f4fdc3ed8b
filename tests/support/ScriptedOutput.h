// A sound output under the test's control: its notices wait until the test lets them
// through, as a driver's messages wait in the window's queue, and only buffers the test
// plays reach "the air" (what Reset drops never does). Each open-to-close session keeps
// the audio that was played in it, so a test can decode what a far station heard.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "station/AudioOutputDevice.h"

namespace vela::test {

class ScriptedOutput : public AudioOutputDevice {
 public:
  using Poster = std::function<void(std::function<void()>)>;
  // By default notices queue inside until Pump(); a Qt test posts them to its event loop.
  explicit ScriptedOutput(Poster post = {}) : post_(std::move(post)) {}

  bool Open(int device, AudioOutputEvents& events) override {
    lastDevice = device;
    if (failOpen) return false;
    ++opens;
    events_ = &events;
    open = true;
    sessions.emplace_back();
    Post([this] { events_->OutputOpened(); });
    return true;
  }
  bool Write(int index, std::span<const int16_t> samples) override {
    if (!open || failWrite) return false;
    queue.push_back({index, std::vector<int16_t>(samples.begin(), samples.end())});
    writes.push_back(static_cast<int>(samples.size()));
    return true;
  }
  void Reset() override {
    for (const auto& q : queue) {
      const int index = q.first;
      Post([this, index] { events_->OutputBufferDone(index); });
    }
    queue.clear();
  }
  void Close() override {
    open = false;
    ++closes;
    Post([this] { events_->OutputClosed(); });
  }
  std::string error() const override { return "the card went away"; }

  // Plays `n` buffers one after another, each handed back (and refilled) before the next
  // plays, as a card does; stops early when nothing is queued.
  void Play(int n = 1) {
    for (int i = 0; i < n && !queue.empty(); ++i) {
      PlayOldest();
      Pump();
    }
  }
  // Plays up to `n` queued buffers before any of their notices is delivered, as when the
  // program stalls and the card hands back several at once.
  void Burst(int n) {
    for (int i = 0; i < n && !queue.empty(); ++i) PlayOldest();
    Pump();
  }
  // The card breaks while open.
  void Fail(const std::string& reason) {
    Post([this, reason] { events_->OutputFailed(reason); });
    Pump();
  }
  // Delivers every notice waiting (a no-op when notices go to an event loop).
  void Pump() {
    while (!pending_.empty()) {
      auto event = std::move(pending_.front());
      pending_.pop_front();
      event();
    }
  }
  bool idle() const { return pending_.empty(); }

 private:
  void PlayOldest() {
    auto [index, samples] = std::move(queue.front());
    queue.pop_front();
    auto& air = sessions.back();
    air.insert(air.end(), samples.begin(), samples.end());
    ++played;
    Post([this, index] { events_->OutputBufferDone(index); });
  }

 public:
  bool failOpen = false;
  bool failWrite = false;
  bool open = false;
  int opens = 0;  // successful ones
  int closes = 0;
  int lastDevice = -1;
  int64_t played = 0;
  std::deque<std::pair<int, std::vector<int16_t>>> queue;
  std::vector<int> writes;  // the length of every buffer written, in order
  // Per session: the stereo 32000 Hz audio that was played.
  std::vector<std::vector<int16_t>> sessions;

 private:
  void Post(std::function<void()> event) {
    if (post_) {
      post_(std::move(event));
    } else {
      pending_.push_back(std::move(event));
    }
  }
  Poster post_;
  AudioOutputEvents* events_ = nullptr;
  std::deque<std::function<void()>> pending_;
};

}  // namespace vela::test
