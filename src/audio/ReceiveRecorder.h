// What the receiver hears, to a WAV file (8000 Hz, mono, 16-bit: the modem's own rate, so
// the recording decodes as it was heard), for as long as the operator lets it run. A
// subscriber of the station core: it takes every captured buffer. The file's header is
// brought up to date with each buffer, so a program that dies mid-recording leaves a file
// that plays to its last buffer. A failed write or the 4 GiB a WAV file can hold stops the
// recording; what was written stays, and the reason waits in TakeError().
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "station/StationCore.h"

namespace vela {

class ReceiveRecorder : public StationSubscriber {
 public:
  ReceiveRecorder() = default;
  ~ReceiveRecorder() override;
  ReceiveRecorder(const ReceiveRecorder&) = delete;
  ReceiveRecorder& operator=(const ReceiveRecorder&) = delete;

  // Starts a new recording in `path` (replacing a file of that name). False, with the reason
  // in TakeError(), when it cannot be made.
  bool Start(const std::string& path);
  void Stop();
  bool recording() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }
  int64_t frames() const { return frames_; }
  // The reason the last recording stopped by itself or could not start, once.
  std::optional<std::string> TakeError();

  void Captured(std::span<const int16_t> samples) override;

 private:
  void Fail(const std::string& reason);

  struct SndFile;
  struct Closer {
    void operator()(SndFile* file) const;
  };
  std::unique_ptr<SndFile, Closer> file_;
  std::string path_;
  int64_t frames_ = 0;
  std::optional<std::string> error_;
};

}  // namespace vela
