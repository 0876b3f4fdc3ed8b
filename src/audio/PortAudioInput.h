// Capture from a sound card through PortAudio. The callback thread only copies samples into
// the buffers the receiver lent and hands full ones to the owner's thread; no modem code runs
// there. A card that will not record mono at the asked rate is opened as it allows and
// converted here, so the receiver never sees the difference.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "audio/PortAudioSystem.h"
#include "platform/MainThreadPoster.h"
#include "station/AudioInputDevice.h"

typedef void PaStream;
struct PaStreamCallbackTimeInfo;
typedef struct SRC_STATE_tag SRC_STATE;

namespace vela {

class PortAudioInput : public AudioInputDevice {
 public:
  explicit PortAudioInput(PortAudioSystem& system);
  ~PortAudioInput() override;
  PortAudioInput(const PortAudioInput&) = delete;
  PortAudioInput& operator=(const PortAudioInput&) = delete;

  std::vector<std::string> ListDevices() override;
  bool Rediscover() override;
  bool Open(int device, int sampleRate, AudioInputEvents& events) override;
  bool AddBuffer(int index, std::span<int16_t> buffer) override;
  bool Start() override;
  void Stop() override;
  void Reset() override;
  void Close() override;
  std::string error() const override { return error_; }

  // Times audio arrived with no buffer to take it (or the card overran): lost, not fatal.
  int64_t overruns() const { return overruns_.load(); }
  int deviceRate() const { return deviceRate_; }
  int deviceChannels() const { return deviceChannels_; }

 private:
  struct Lent {
    int index = 0;
    std::span<int16_t> buffer;
    size_t filled = 0;
  };
  static constexpr size_t kMaxLent = 64;
  static constexpr unsigned long kFramesPerCallback = 256;

  static int Callback(const void* input, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, unsigned long flags, void* self);
  static void Finished(void* self);
  void OnAudio(const int16_t* input, unsigned long frames);
  void Deliver(const int16_t* samples, size_t count);
  void ReturnHead();  // mutex held
  void HaltStream();

  PortAudioSystem& system_;
  MainThreadPoster poster_;
  AudioInputEvents* events_ = nullptr;
  PaStream* stream_ = nullptr;
  std::string error_;
  int rate_ = 0;
  int deviceRate_ = 0;
  int deviceChannels_ = 1;
  SRC_STATE* converter_ = nullptr;
  std::vector<float> monoScratch_;
  std::vector<float> convertedScratch_;
  std::vector<int16_t> deliverScratch_;

  std::mutex mutex_;  // guards the ring below; never held across anything but copying
  std::array<Lent, kMaxLent> ring_{};
  size_t head_ = 0;
  size_t count_ = 0;
  std::atomic<int64_t> overruns_{0};
  std::atomic<bool> expectRunning_{false};
};

}  // namespace vela
