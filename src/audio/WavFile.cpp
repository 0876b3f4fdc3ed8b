#include "audio/WavFile.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "station/SafeFile.h"

namespace vela {
namespace {

constexpr int kBlockFrames = 4096;

int16_t ToInt16(float v) {
  if (std::isnan(v)) return 0;
  const float scaled = v * 32768.0f;
  if (scaled >= 32767.0f) return 32767;
  if (scaled <= -32768.0f) return -32768;
  return static_cast<int16_t>(std::lrint(scaled));
}

}  // namespace

struct WavReader::State {
  SNDFILE* file = nullptr;
  SF_INFO info{};
  SRC_STATE* converter = nullptr;
  double ratio = 1.0;
  int outputRate = 0;
  bool inputEnded = false;
  std::vector<float> frames;  // interleaved, as read
  std::vector<float> mono;    // first channel, waiting for the converter
  size_t monoUsed = 0;
  std::vector<float> converted;  // converter output
  std::vector<int16_t> out;

  ~State() {
    if (converter) src_delete(converter);
    if (file) sf_close(file);
  }
};

WavReader::WavReader() = default;
WavReader::~WavReader() = default;

bool WavReader::Open(const std::string& path, int outputRate) {
  state_ = std::make_unique<State>();
  error_.clear();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error_ = path + " is a folder, not a recording";
    state_.reset();
    return false;
  }
  state_->file = sf_open(path.c_str(), SFM_READ, &state_->info);
  if (!state_->file) {
    error_ = path + ": " + sf_strerror(nullptr);
    state_.reset();
    return false;
  }
  if (state_->info.channels < 1 || state_->info.samplerate < 1) {
    error_ = path + ": no audio channels";
    state_.reset();
    return false;
  }
  // Let floating-point files beyond full scale clip rather than wrap.
  sf_command(state_->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  state_->outputRate = outputRate > 0 ? outputRate : state_->info.samplerate;
  // The rate converter goes no further than a factor of 256 either way.
  const double ratio = static_cast<double>(state_->outputRate) / state_->info.samplerate;
  if (ratio > 256.0 || ratio < 1.0 / 256.0) {
    error_ = path + ": a recording at " + std::to_string(state_->info.samplerate) +
             " samples per second is not usable here (" + std::to_string(state_->outputRate) +
             " are needed, and at most 256 times more or fewer can be converted)";
    state_.reset();
    return false;
  }
  if (state_->outputRate != state_->info.samplerate) {
    int err = 0;
    state_->converter = src_new(SRC_SINC_BEST_QUALITY, 1, &err);
    if (!state_->converter) {
      error_ = std::string("sample-rate converter: ") + src_strerror(err);
      state_.reset();
      return false;
    }
    state_->ratio = static_cast<double>(state_->outputRate) / state_->info.samplerate;
  }
  state_->frames.resize(static_cast<size_t>(kBlockFrames) *
                        static_cast<size_t>(state_->info.channels));
  return true;
}

std::span<const int16_t> WavReader::Read() {
  if (!state_) return {};
  State& s = *state_;
  s.out.clear();
  while (s.out.empty()) {
    if (s.inputEnded && s.mono.size() == s.monoUsed && !s.converter) return {};
    // Top up the first-channel buffer from the file.
    if (!s.inputEnded && s.mono.size() - s.monoUsed < static_cast<size_t>(kBlockFrames)) {
      const sf_count_t got = sf_readf_float(s.file, s.frames.data(), kBlockFrames);
      if (got <= 0) {
        s.inputEnded = true;
        if (sf_error(s.file) != SF_ERR_NO_ERROR) error_ = sf_strerror(s.file);
      }
      s.mono.erase(s.mono.begin(), s.mono.begin() + static_cast<std::ptrdiff_t>(s.monoUsed));
      s.monoUsed = 0;
      for (sf_count_t i = 0; i < got; ++i) {
        float v = s.frames[static_cast<size_t>(i) * static_cast<size_t>(s.info.channels)];
        if (!std::isfinite(v)) v = 0.0f;  // NaN and infinities carry no signal
        s.mono.push_back(std::clamp(v, -1.0f, 1.0f));
      }
    }
    if (!s.converter) {
      for (size_t i = s.monoUsed; i < s.mono.size(); ++i) s.out.push_back(ToInt16(s.mono[i]));
      s.monoUsed = s.mono.size();
      if (s.out.empty() && s.inputEnded) return {};
      continue;
    }
    s.converted.resize(static_cast<size_t>(std::ceil(kBlockFrames * s.ratio)) + 16);
    SRC_DATA data{};
    data.data_in = s.mono.data() + s.monoUsed;
    data.input_frames = static_cast<long>(s.mono.size() - s.monoUsed);
    data.data_out = s.converted.data();
    data.output_frames = static_cast<long>(s.converted.size());
    data.end_of_input = s.inputEnded ? 1 : 0;
    data.src_ratio = s.ratio;
    const int err = src_process(s.converter, &data);
    if (err) {
      error_ = std::string("sample-rate converter: ") + src_strerror(err);
      return {};
    }
    s.monoUsed += static_cast<size_t>(data.input_frames_used);
    for (long i = 0; i < data.output_frames_gen; ++i)
      s.out.push_back(ToInt16(s.converted[static_cast<size_t>(i)]));
    if (s.out.empty() && s.inputEnded && data.input_frames_used == 0) {
      src_delete(s.converter);
      s.converter = nullptr;  // fully drained
      s.mono.clear();
      s.monoUsed = 0;
      return {};
    }
  }
  return s.out;
}

int WavReader::fileRate() const {
  return state_ ? state_->info.samplerate : 0;
}
int WavReader::channels() const {
  return state_ ? state_->info.channels : 0;
}
int WavReader::outputRate() const {
  return state_ ? state_->outputRate : 0;
}
int64_t WavReader::fileFrames() const {
  return state_ ? state_->info.frames : 0;
}

bool WavReader::ReadAll(const std::string& path, int outputRate, std::vector<int16_t>& samples,
                        std::string& error) {
  WavReader reader;
  samples.clear();
  if (!reader.Open(path, outputRate)) {
    error = reader.error();
    return false;
  }
  for (auto block = reader.Read(); !block.empty(); block = reader.Read()) {
    samples.insert(samples.end(), block.begin(), block.end());
  }
  error = reader.error();
  return error.empty();
}

namespace {

// The canonical 44-byte header of 16-bit PCM, as every WAV reader takes it.
std::array<char, WavWriter::kHeaderBytes> WavHeader(int rate, int channels, uint64_t dataBytes) {
  std::array<char, WavWriter::kHeaderBytes> header{};
  size_t at = 0;
  const auto text = [&](const char* four) {
    std::memcpy(header.data() + at, four, 4);
    at += 4;
  };
  const auto number = [&](uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) header[at++] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const auto blockAlign = static_cast<uint64_t>(channels) * 2;
  text("RIFF");
  number(dataBytes + WavWriter::kHeaderBytes - 8, 4);
  text("WAVE");
  text("fmt ");
  number(16, 4);
  number(1, 2);  // PCM
  number(static_cast<uint64_t>(channels), 2);
  number(static_cast<uint64_t>(rate), 4);
  number(static_cast<uint64_t>(rate) * blockAlign, 4);
  number(blockAlign, 2);
  number(16, 2);
  text("data");
  number(dataBytes, 4);
  return header;
}

}  // namespace

struct WavWriter::State {
  SafeFile file;
  std::string path;
  int rate = 0;
  int channels = 0;
  uint64_t frames = 0;
  // A pipe or FIFO cannot go back to the header: the start of the file waits here, so a
  // short recording goes out whole with its true length; a long one streams on with the
  // length unknown.
  std::vector<char> held;
  bool streaming = false;

  bool Send(const char* data, size_t size) {
    if (file.seekable() || streaming) return file.Write(data, size);
    held.insert(held.end(), data, data + size);
    if (held.size() < kHoldBytes) return true;
    streaming = true;
    const auto header = WavHeader(rate, channels, kMaxDataBytes);
    const bool ok =
        file.Write(header.data(), header.size()) && file.Write(held.data(), held.size());
    held = {};
    return ok;
  }
};

bool WavWriter::Fits(uint64_t frames, int channels) {
  return channels > 0 && frames <= kMaxDataBytes / (static_cast<uint64_t>(channels) * 2);
}

WavWriter::WavWriter() = default;
WavWriter::~WavWriter() = default;

bool WavWriter::Open(const std::string& path, int sampleRate, int channels) {
  state_ = std::make_unique<State>();
  error_.clear();
  State& s = *state_;
  s.path = path;
  s.rate = sampleRate;
  s.channels = channels;
  if (!s.file.Open(path)) return Fail(s.file.error());
  if (!s.file.seekable()) return true;
  // The lengths are filled in once known.
  const auto header = WavHeader(sampleRate, channels, 0);
  return s.file.Write(header.data(), header.size()) || Fail(s.file.error());
}

bool WavWriter::Write(std::span<const int16_t> interleaved) {
  if (!state_) return false;
  State& s = *state_;
  s.frames += interleaved.size() / static_cast<size_t>(s.channels);
  if (!Fits(s.frames, s.channels)) {
    return Fail("the recording would pass the 4 GiB a WAV file can hold");
  }
  std::vector<char> bytes(interleaved.size() * 2);
  for (size_t i = 0; i < interleaved.size(); ++i) {
    const auto v = static_cast<uint16_t>(interleaved[i]);
    bytes[2 * i] = static_cast<char>(v & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(v >> 8);
  }
  return s.Send(bytes.data(), bytes.size()) || Fail(s.file.error());
}

bool WavWriter::Commit() {
  if (!state_) return false;
  State& s = *state_;
  const uint64_t dataBytes = s.frames * static_cast<uint64_t>(s.channels) * 2;
  const auto header = WavHeader(s.rate, s.channels, dataBytes);
  bool ok = true;
  if (s.file.seekable()) {
    ok = s.file.WriteAt(header.data(), header.size(), 0);
  } else if (!s.streaming) {
    ok = s.file.Write(header.data(), header.size()) && s.file.Write(s.held.data(), s.held.size());
  }
  if (!ok || !s.file.Commit()) return Fail(s.file.error());
  state_.reset();
  return true;
}

void WavWriter::Discard() {
  state_.reset();
}

bool WavWriter::Fail(const std::string& reason) {
  error_ = (state_ ? state_->path : std::string()) + ": " + reason;
  state_.reset();  // the new file is removed; an old one stays
  return false;
}

}  // namespace vela
