#include "audio/PortAudioInput.h"

#include <portaudio.h>
#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace vela {

namespace {

struct Format {
  int channels;
  double rate;
};

bool Supported(PaDeviceIndex device, int channels, double rate, PaTime latency) {
  PaStreamParameters p{};
  p.device = device;
  p.channelCount = channels;
  p.sampleFormat = paInt16;
  p.suggestedLatency = latency;
  return Pa_IsFormatSupported(&p, nullptr, rate) == paFormatIsSupported;
}

int16_t ToSample(float x) {
  return static_cast<int16_t>(std::clamp(std::lrint(x * 32768.0f), -32768L, 32767L));
}

}  // namespace

PortAudioInput::PortAudioInput(PortAudioSystem& system) : system_(system) {}

PortAudioInput::~PortAudioInput() {
  Close();
}

bool PortAudioInput::Rediscover() {
  return stream_ == nullptr && system_.Rescan();
}

std::vector<std::string> PortAudioInput::ListDevices() {
  std::vector<std::string> names;
  for (const auto& d : system_.CaptureDevices()) names.push_back(d.name);
  return names;
}

bool PortAudioInput::Open(int device, int sampleRate, AudioInputEvents& events) {
  Close();
  if (!system_.ok()) {
    error_ = system_.error();
    return false;
  }
  const auto devices = system_.CaptureDevices();
  if (device < 0 || device >= static_cast<int>(devices.size()) || sampleRate <= 0) {
    error_ = "No capture device " + std::to_string(device);
    return false;
  }
  const SoundDevice& d = devices[static_cast<size_t>(device)];
  // At least a quarter second of device buffering: the receiver takes 1024-sample buffers
  // anyway, and a sound server asked for its short default latency shrinks its whole
  // graph's latency to match, so that another program playing into it (our own transmitter,
  // through the desktop's sound server) underruns and loses audio.
  const PaTime latency = std::max(Pa_GetDeviceInfo(d.paIndex)->defaultHighInputLatency, 0.25);
  // Mono at the modem's rate if the card will; otherwise what it offers, converted here.
  std::vector<Format> tries{{1, double(sampleRate)},
                            {2, double(sampleRate)},
                            {1, d.defaultRate},
                            {2, d.defaultRate},
                            {1, 48000},
                            {2, 48000},
                            {1, 44100},
                            {2, 44100}};
  const Format* chosen = nullptr;
  for (const auto& f : tries) {
    if (f.channels <= d.maxInputChannels && f.rate > 0 &&
        Supported(d.paIndex, f.channels, f.rate, latency)) {
      chosen = &f;
      break;
    }
  }
  if (chosen == nullptr) {
    error_ = "The sound card " + d.name + " offers no 16-bit recording format";
    return false;
  }
  rate_ = sampleRate;
  deviceRate_ = static_cast<int>(chosen->rate);
  deviceChannels_ = chosen->channels;
  if (deviceRate_ != rate_ || deviceChannels_ != 1) {
    int err = 0;
    converter_ = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &err);
    if (converter_ == nullptr) {
      error_ = src_strerror(err);
      return false;
    }
    const double ratio = double(rate_) / deviceRate_;
    monoScratch_.assign(kFramesPerCallback, 0.0f);
    convertedScratch_.assign(static_cast<size_t>(std::ceil(kFramesPerCallback * ratio)) + 64, 0);
    deliverScratch_.assign(convertedScratch_.size(), 0);
  }

  PaStreamParameters in{};
  in.device = d.paIndex;
  in.channelCount = deviceChannels_;
  in.sampleFormat = paInt16;
  in.suggestedLatency = latency;
  PaError err = Pa_OpenStream(&stream_, &in, nullptr, chosen->rate, kFramesPerCallback, paNoFlag,
                              &PortAudioInput::Callback, this);
  if (err != paNoError) {
    stream_ = nullptr;
    error_ = PortAudioSystem::ErrorText(err);
    Close();
    return false;
  }
  Pa_SetStreamFinishedCallback(stream_, &PortAudioInput::Finished);
  system_.StreamOpened();
  events_ = &events;
  poster_.NewSession();
  overruns_ = 0;
  return true;
}

bool PortAudioInput::AddBuffer(int index, std::span<int16_t> buffer) {
  if (stream_ == nullptr) {
    error_ = "The capture device is not open";
    return false;
  }
  std::lock_guard lock(mutex_);
  if (count_ == kMaxLent) {
    error_ = "Too many capture buffers queued";
    return false;
  }
  ring_[(head_ + count_) % kMaxLent] = Lent{index, buffer, 0};
  ++count_;
  return true;
}

bool PortAudioInput::Start() {
  if (stream_ == nullptr) {
    error_ = "The capture device is not open";
    return false;
  }
  if (Pa_IsStreamActive(stream_) == 1) return true;
  expectRunning_ = true;
  const PaError err = Pa_StartStream(stream_);
  if (err != paNoError) {
    expectRunning_ = false;
    error_ = PortAudioSystem::ErrorText(err);
    return false;
  }
  return true;
}

void PortAudioInput::HaltStream() {
  expectRunning_ = false;
  if (stream_ == nullptr) return;
  const QuietStderr quiet;
  if (Pa_IsStreamStopped(stream_) == 0) Pa_AbortStream(stream_);
}

void PortAudioInput::Stop() {
  HaltStream();
  std::lock_guard lock(mutex_);
  if (count_ > 0 && ring_[head_].filled > 0) ReturnHead();
}

void PortAudioInput::Reset() {
  HaltStream();
  std::lock_guard lock(mutex_);
  while (count_ > 0) ReturnHead();
}

void PortAudioInput::Close() {
  HaltStream();
  system_.CloseStream(stream_);
  {
    std::lock_guard lock(mutex_);
    head_ = count_ = 0;
  }
  poster_.NewSession();  // nothing posted before the close reaches the receiver
  events_ = nullptr;
  if (converter_ != nullptr) {
    src_delete(converter_);
    converter_ = nullptr;
  }
}

void PortAudioInput::ReturnHead() {
  const Lent lent = ring_[head_];
  head_ = (head_ + 1) % kMaxLent;
  --count_;
  const int bytes = static_cast<int>(lent.filled * sizeof(int16_t));
  poster_.Post([this, index = lent.index, bytes] { events_->InputBufferFilled(index, bytes); });
}

int PortAudioInput::Callback(const void* input, void* /*output*/, unsigned long frames,
                             const PaStreamCallbackTimeInfo* /*time*/, unsigned long flags,
                             void* self) {
  auto* me = static_cast<PortAudioInput*>(self);
  if ((flags & paInputOverflow) != 0) ++me->overruns_;
  if (input != nullptr) me->OnAudio(static_cast<const int16_t*>(input), frames);
  return paContinue;
}

void PortAudioInput::Finished(void* self) {
  auto* me = static_cast<PortAudioInput*>(self);
  // A stream that ends without being asked to has lost its card.
  if (me->expectRunning_.exchange(false)) {
    me->poster_.Post([me] {
      if (me->events_ != nullptr) me->events_->InputFailed("The sound card stopped recording");
    });
  }
}

void PortAudioInput::OnAudio(const int16_t* input, unsigned long frames) {
  if (converter_ == nullptr) {
    Deliver(input, frames);
    return;
  }
  while (frames > 0) {
    const unsigned long n = std::min(frames, kFramesPerCallback);
    for (unsigned long i = 0; i < n; ++i) {
      float sum = 0;
      for (int c = 0; c < deviceChannels_; ++c) sum += input[i * deviceChannels_ + c];
      monoScratch_[i] = sum / (32768.0f * deviceChannels_);
    }
    SRC_DATA data{};
    data.data_in = monoScratch_.data();
    data.input_frames = static_cast<long>(n);
    data.data_out = convertedScratch_.data();
    data.output_frames = static_cast<long>(convertedScratch_.size());
    data.src_ratio = double(rate_) / deviceRate_;
    if (src_process(converter_, &data) == 0) {
      for (long i = 0; i < data.output_frames_gen; ++i) {
        deliverScratch_[static_cast<size_t>(i)] =
            ToSample(convertedScratch_[static_cast<size_t>(i)]);
      }
      Deliver(deliverScratch_.data(), static_cast<size_t>(data.output_frames_gen));
    }
    input += n * deviceChannels_;
    frames -= n;
  }
}

void PortAudioInput::Deliver(const int16_t* samples, size_t count) {
  std::lock_guard lock(mutex_);
  while (count > 0) {
    if (count_ == 0) {
      ++overruns_;  // the receiver is behind: these samples are lost
      return;
    }
    Lent& head = ring_[head_];
    const size_t n = std::min(count, head.buffer.size() - head.filled);
    std::copy_n(samples, n, head.buffer.begin() + static_cast<ptrdiff_t>(head.filled));
    head.filled += n;
    samples += n;
    count -= n;
    if (head.filled == head.buffer.size()) ReturnHead();
  }
}

}  // namespace vela
