#include "audio/ReceiveRecorder.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "audio/WavFile.h"
#include "coding/Modes.h"

namespace vela {

struct ReceiveRecorder::SndFile {
  SNDFILE* handle = nullptr;
};

void ReceiveRecorder::Closer::operator()(SndFile* file) const {
  sf_close(file->handle);
  delete file;
}

namespace {

constexpr int64_t kMaxFrames = static_cast<int64_t>(WavWriter::kMaxDataBytes / 2);

}  // namespace

ReceiveRecorder::~ReceiveRecorder() {
  Stop();
}

bool ReceiveRecorder::Start(const std::string& path) {
  Stop();
  error_.reset();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error_ = path + " is a folder, not a recording";
    return false;
  }
  SF_INFO info{};
  info.samplerate = static_cast<int>(kNominalRxRate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* handle = sf_open(path.c_str(), SFM_WRITE, &info);
  if (handle == nullptr) {
    error_ = path + ": " + (errno != 0 ? std::strerror(errno) : sf_strerror(nullptr));
    return false;
  }
  // The header follows every write: the file is whole at any moment.
  sf_command(handle, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  file_.reset(new SndFile{handle});
  path_ = path;
  frames_ = 0;
  return true;
}

void ReceiveRecorder::Stop() {
  file_.reset();
}

std::optional<std::string> ReceiveRecorder::TakeError() {
  return std::exchange(error_, std::nullopt);
}

void ReceiveRecorder::Captured(std::span<const int16_t> samples) {
  if (file_ == nullptr || samples.empty()) return;
  const auto room = static_cast<size_t>(kMaxFrames - frames_);
  const std::span<const int16_t> take = samples.first(std::min(samples.size(), room));
  errno = 0;
  const sf_count_t wrote =
      sf_write_short(file_->handle, take.data(), static_cast<sf_count_t>(take.size()));
  frames_ += wrote;
  if (wrote != static_cast<sf_count_t>(take.size())) {
    const int err = errno;
    Fail(path_ + ": " + (err != 0 ? std::strerror(err) : sf_strerror(file_->handle)) +
         "; the recording stopped, what was written is kept");
  } else if (take.size() < samples.size()) {
    Fail(path_ + ": full at the 4 GiB a WAV file holds; the recording stopped");
  }
}

void ReceiveRecorder::Fail(const std::string& reason) {
  error_ = reason;
  Stop();
}

}  // namespace vela
