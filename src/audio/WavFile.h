// Reading and writing recordings. Reading streams the first channel of anything libsndfile
// opens, converted to the rate the caller wants. Writing makes 16-bit PCM WAV through
// SafeFile: a new file that only takes the real name once it is complete, so a failed or
// interrupted run never leaves half a file and an old file of that name stays as it was; a
// FIFO, pipe or device is written directly.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vela {

class WavReader {
 public:
  WavReader();
  ~WavReader();
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Opens `path`; samples come out at `outputRate` (0 keeps the file's own rate).
  // Returns false with a one-line reason in error().
  bool Open(const std::string& path, int outputRate = 0);

  // Next block of first-channel samples as 16-bit values (clipped; NaN reads as 0).
  // An empty result means the end of the file (or a read error, see error()).
  std::span<const int16_t> Read();

  int fileRate() const;
  int channels() const;
  int outputRate() const;
  int64_t fileFrames() const;
  const std::string& error() const { return error_; }

  // Reads a whole file in one go.
  static bool ReadAll(const std::string& path, int outputRate, std::vector<int16_t>& samples,
                      std::string& error);

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string error_;
};

class WavWriter {
 public:
  static constexpr size_t kHeaderBytes = 44;
  // The RIFF length field is 32 bits: the data may not take the file past 4 GiB. Longer
  // recordings are refused rather than written in another container, which few readers take.
  static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8);
  // How much of a pipe's recording waits for its true length before it streams on.
  static constexpr size_t kHoldBytes = 16 << 20;

  // Whether `frames` of `channels` 16-bit channels fit in one file.
  static bool Fits(uint64_t frames, int channels);

  WavWriter();
  ~WavWriter();  // an uncommitted file is removed
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // 16-bit PCM WAV with `channels` (1 or 2) interleaved channels. Each call returns false
  // with a one-line reason naming the file in error(); the file is then given up.
  bool Open(const std::string& path, int sampleRate, int channels);
  bool Write(std::span<const int16_t> interleaved);
  // Finishes the file and gives it its real name.
  bool Commit();
  void Discard();
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& reason);

  struct State;
  std::unique_ptr<State> state_;
  std::string error_;
};

}  // namespace vela
