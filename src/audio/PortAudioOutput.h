// Playback through a sound card with PortAudio: 32000 Hz stereo 16-bit from a ring of 40
// one-symbol buffers. The callback thread only plays what was queued and hands each played
// buffer's number to the owner's thread. A card that will not play 32000 Hz stereo is
// opened as it allows and converted here.
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
#include "station/AudioOutputDevice.h"

typedef void PaStream;
struct PaStreamCallbackTimeInfo;
typedef struct SRC_STATE_tag SRC_STATE;

namespace vela {

class PortAudioOutput : public AudioOutputDevice {
 public:
  explicit PortAudioOutput(PortAudioSystem& system);
  ~PortAudioOutput() override;
  PortAudioOutput(const PortAudioOutput&) = delete;
  PortAudioOutput& operator=(const PortAudioOutput&) = delete;

  bool Open(int device, AudioOutputEvents& events) override;
  bool Write(int index, std::span<const int16_t> samples) override;
  void Reset() override;
  void Close() override;
  std::string error() const override { return error_; }

  // Times the card wanted audio while the ring was empty and got silence instead.
  int64_t underruns() const { return underruns_.load(); }
  int deviceRate() const { return deviceRate_; }
  int deviceChannels() const { return deviceChannels_; }
  const std::string& deviceName() const { return deviceName_; }

 private:
  static constexpr unsigned long kFramesPerCallback = 256;
  static constexpr size_t kMaxBufferValues = 16384;

  static int Callback(const void* input, void* output, unsigned long frames,
                      const PaStreamCallbackTimeInfo* time, unsigned long flags, void* self);
  static void Finished(void* self);
  static long ConverterInput(void* self, float** data);
  // Fills `frames` stereo frames at 32000 Hz from the ring, silence when it runs dry.
  void Pull(int16_t* stereo, size_t frames);
  void HaltStream();

  PortAudioSystem& system_;
  MainThreadPoster poster_;
  AudioOutputEvents* events_ = nullptr;
  PaStream* stream_ = nullptr;
  std::string error_;
  std::string deviceName_;
  int deviceRate_ = kOutputSampleRate;
  int deviceChannels_ = kOutputChannels;
  SRC_STATE* converter_ = nullptr;
  std::vector<int16_t> pullScratch_;
  std::vector<float> floatScratch_;
  std::vector<float> converterInput_;

  std::mutex mutex_;  // guards everything below; held only while copying samples
  std::array<std::vector<int16_t>, kOutputBufferCount> slots_;
  std::array<bool, kOutputBufferCount> queued_{};
  std::array<int, kOutputBufferCount> ring_{};
  size_t head_ = 0;
  size_t count_ = 0;
  size_t position_ = 0;     // values of the head buffer already played
  bool expecting_ = false;  // a transmission is feeding the ring
  std::atomic<int64_t> underruns_{0};
  std::atomic<bool> expectRunning_{false};
};

}  // namespace vela
