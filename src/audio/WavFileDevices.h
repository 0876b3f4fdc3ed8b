// Recordings standing in for the sound card: a WAV file played into the receiver, and the
// transmitter's audio recorded to a WAV file. Paced in real time they behave like a card
// (decode a recording as it would have been heard); unpaced they run as fast as the event
// loop turns, for scripts and tests.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "audio/WavFile.h"
#include "platform/MainThreadPoster.h"
#include "station/AudioInputDevice.h"
#include "station/AudioOutputDevice.h"

namespace vela {

enum class Pacing { RealTime, AsFastAsPossible };

class WavFileInput : public AudioInputDevice {
 public:
  WavFileInput(std::string path, Pacing pacing);
  ~WavFileInput() override;

  std::vector<std::string> ListDevices() override;
  // Device 0 is the recording; it is read converted to `sampleRate`.
  bool Open(int device, int sampleRate, AudioInputEvents& events) override;
  bool AddBuffer(int index, std::span<int16_t> buffer) override;
  bool Start() override;
  void Stop() override;
  void Reset() override;
  void Close() override;
  std::string error() const override { return error_; }

  // Called (on the owner's thread) once the last recorded buffer has been handed back.
  void SetOnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }
  bool finished() const { return finished_; }
  int64_t samplesDelivered() const { return delivered_; }

 private:
  struct Lent {
    int index;
    std::span<int16_t> buffer;
    size_t filled;
  };
  void Tick();
  bool Refill();  // false at the end of the recording
  void ReturnHead();

  std::string path_;
  Pacing pacing_;
  MainThreadPoster poster_;
  QTimer timer_;
  QElapsedTimer clock_;
  WavReader reader_;
  AudioInputEvents* events_ = nullptr;
  std::string error_;
  bool open_ = false;
  bool finished_ = false;
  int rate_ = 0;
  int64_t delivered_ = 0;
  int64_t deliveredAtStart_ = 0;
  std::vector<int16_t> pending_;
  size_t pendingPos_ = 0;
  std::deque<Lent> lent_;
  std::function<void()> onFinished_;
};

class WavFileOutput : public AudioOutputDevice {
 public:
  WavFileOutput(std::string path, Pacing pacing);
  ~WavFileOutput() override;

  // The device number is ignored: there is one file.
  bool Open(int device, AudioOutputEvents& events) override;
  bool Write(int index, std::span<const int16_t> samples) override;
  void Reset() override;
  // Finishes the file; a file that cannot be finished is reported through OutputFailed
  // before the close notice.
  void Close() override;
  std::string error() const override { return error_; }

  int64_t framesWritten() const { return framesWritten_; }
  int64_t underruns() const { return underruns_; }

 private:
  void Tick();
  void Play(size_t frames);  // moves up to `frames` frames of the ring into the file

  std::string path_;
  Pacing pacing_;
  MainThreadPoster poster_;
  QTimer timer_;
  QElapsedTimer clock_;
  WavWriter writer_;
  AudioOutputEvents* events_ = nullptr;
  std::string error_;
  bool open_ = false;
  bool expecting_ = false;
  int64_t framesWritten_ = 0;
  int64_t framesAtStart_ = 0;
  int64_t underruns_ = 0;
  std::array<std::vector<int16_t>, kOutputBufferCount> slots_;
  std::deque<int> queue_;
  size_t position_ = 0;
};

}  // namespace vela
