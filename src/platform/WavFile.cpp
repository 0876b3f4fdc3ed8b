#include "platform/WavFile.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

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

struct WavWriter::State {
  SNDFILE* file = nullptr;
  std::string path;
  std::string tempPath;
  bool committed = false;

  ~State() {
    if (file) sf_close(file);
    if (!committed && !tempPath.empty()) std::remove(tempPath.c_str());
  }
};

WavWriter::WavWriter() = default;
WavWriter::~WavWriter() = default;

bool WavWriter::Open(const std::string& path, int sampleRate, int channels) {
  state_ = std::make_unique<State>();
  error_.clear();
  state_->path = path;
  state_->tempPath = path + ".partial";
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  state_->file = sf_open(state_->tempPath.c_str(), SFM_WRITE, &info);
  if (!state_->file) {
    error_ = path + ": " + sf_strerror(nullptr);
    state_->tempPath.clear();  // nothing was created
    state_.reset();
    return false;
  }
  return true;
}

bool WavWriter::Write(std::span<const int16_t> interleaved) {
  if (!state_ || !state_->file) return false;
  const sf_count_t n = static_cast<sf_count_t>(interleaved.size());
  if (sf_write_short(state_->file, interleaved.data(), n) != n) {
    error_ = state_->path + ": " + sf_strerror(state_->file);
    return false;
  }
  return true;
}

bool WavWriter::Commit() {
  if (!state_ || !state_->file) return false;
  sf_write_sync(state_->file);
  const int err = sf_close(state_->file);
  state_->file = nullptr;
  if (err != 0) {
    error_ = state_->path + ": " + sf_error_number(err);
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(state_->tempPath, state_->path, ec);
  if (ec) {
    error_ = state_->path + ": " + ec.message();
    return false;
  }
  state_->committed = true;
  return true;
}

void WavWriter::Discard() {
  state_.reset();
}

}  // namespace vela
