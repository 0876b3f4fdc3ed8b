// Reading and writing recordings. Reading streams the first channel of anything libsndfile
// opens, converted to the rate the caller wants; writing goes to a temporary file that only
// takes the real name once it is complete, so a failed run never leaves half a file.
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
  WavWriter();
  ~WavWriter();  // an uncommitted file is removed
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // 16-bit PCM WAV with `channels` interleaved channels.
  bool Open(const std::string& path, int sampleRate, int channels);
  bool Write(std::span<const int16_t> interleaved);
  // Finishes the file and gives it its real name.
  bool Commit();
  void Discard();
  const std::string& error() const { return error_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::string error_;
};

}  // namespace vela
