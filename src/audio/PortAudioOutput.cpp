#include "audio/PortAudioOutput.h"

#include <portaudio.h>
#include <samplerate.h>

#include <algorithm>
#include <cstring>

namespace vela {

PortAudioOutput::PortAudioOutput(PortAudioSystem& system) : system_(system) {
  for (auto& slot : slots_) slot.reserve(kMaxBufferValues);
}

PortAudioOutput::~PortAudioOutput() {
  HaltStream();
  system_.CloseStream(stream_);
  if (converter_ != nullptr) src_delete(converter_);
}

bool PortAudioOutput::Open(int device, AudioOutputEvents& events) {
  if (stream_ != nullptr) {
    error_ = "The output device is already open";
    return false;
  }
  if (!system_.ok()) {
    error_ = system_.error();
    return false;
  }
  const int paIndex = system_.OutputFor(device);
  if (paIndex < 0) {
    error_ = "No sound card can play";
    return false;
  }
  const PaDeviceInfo* info = Pa_GetDeviceInfo(paIndex);
  deviceName_ = info->name;
  PaStreamParameters out{};
  out.device = paIndex;
  out.suggestedLatency = info->defaultHighOutputLatency;
  out.channelCount = std::min(kOutputChannels, info->maxOutputChannels);
  out.sampleFormat = paInt16;
  double rate = kOutputSampleRate;
  if (Pa_IsFormatSupported(nullptr, &out, rate) != paFormatIsSupported) {
    // Play what the card offers and convert: float samples out of the converter.
    out.sampleFormat = paFloat32;
    bool found = false;
    for (double r : {info->defaultSampleRate, 48000.0, 44100.0}) {
      if (r > 0 && Pa_IsFormatSupported(nullptr, &out, r) == paFormatIsSupported) {
        rate = r;
        found = true;
        break;
      }
    }
    if (!found) {
      error_ = "The sound card " + deviceName_ + " offers no playback format";
      return false;
    }
    int err = 0;
    converter_ = src_callback_new(&PortAudioOutput::ConverterInput, SRC_SINC_MEDIUM_QUALITY,
                                  kOutputChannels, &err, this);
    if (converter_ == nullptr) {
      error_ = src_strerror(err);
      return false;
    }
    floatScratch_.assign(kFramesPerCallback * kOutputChannels, 0.0f);
    converterInput_.assign(kFramesPerCallback * kOutputChannels, 0.0f);
  }
  deviceRate_ = static_cast<int>(rate);
  deviceChannels_ = out.channelCount;
  pullScratch_.assign(kFramesPerCallback * kOutputChannels, 0);
  {
    std::lock_guard lock(mutex_);
    head_ = count_ = position_ = 0;
    queued_.fill(false);
    expecting_ = false;
  }
  underruns_ = 0;

  PaError err = Pa_OpenStream(&stream_, nullptr, &out, rate, kFramesPerCallback, paClipOff,
                              &PortAudioOutput::Callback, this);
  if (err == paNoError) {
    Pa_SetStreamFinishedCallback(stream_, &PortAudioOutput::Finished);
    expectRunning_ = true;
    err = Pa_StartStream(stream_);
  }
  if (err != paNoError) {
    error_ = PortAudioSystem::ErrorText(err);
    HaltStream();
    if (stream_ != nullptr) Pa_CloseStream(stream_);
    stream_ = nullptr;
    if (converter_ != nullptr) src_delete(converter_);
    converter_ = nullptr;
    return false;
  }
  system_.StreamOpened();
  events_ = &events;
  poster_.NewSession();
  poster_.Post([this] { events_->OutputOpened(); });
  return true;
}

bool PortAudioOutput::Write(int index, std::span<const int16_t> samples) {
  if (stream_ == nullptr) {
    error_ = "The output device is not open";
    return false;
  }
  if (index < 0 || index >= kOutputBufferCount || samples.size() > kMaxBufferValues ||
      samples.size() % kOutputChannels != 0) {
    error_ = "Output buffer " + std::to_string(index) + " does not fit the ring";
    return false;
  }
  std::lock_guard lock(mutex_);
  const auto i = static_cast<size_t>(index);
  if (queued_[i]) {
    error_ = "Output buffer " + std::to_string(index) + " is already queued";
    return false;
  }
  slots_[i].assign(samples.begin(), samples.end());
  queued_[i] = true;
  ring_[(head_ + count_) % kOutputBufferCount] = index;
  ++count_;
  expecting_ = true;
  return true;
}

void PortAudioOutput::Reset() {
  std::vector<int> returned;
  {
    std::lock_guard lock(mutex_);
    while (count_ > 0) {
      returned.push_back(ring_[head_]);
      queued_[static_cast<size_t>(ring_[head_])] = false;
      head_ = (head_ + 1) % kOutputBufferCount;
      --count_;
    }
    position_ = 0;
    expecting_ = false;
  }
  for (int index : returned) poster_.Post([this, index] { events_->OutputBufferDone(index); });
}

void PortAudioOutput::Close() {
  HaltStream();
  system_.CloseStream(stream_);
  if (converter_ != nullptr) {
    src_delete(converter_);
    converter_ = nullptr;
  }
  {
    std::lock_guard lock(mutex_);
    head_ = count_ = position_ = 0;
    queued_.fill(false);
  }
  if (events_ == nullptr) return;
  poster_.NewSession();  // buffers still on their way back are dropped
  poster_.Post([this] {
    AudioOutputEvents* events = events_;
    events_ = nullptr;
    events->OutputClosed();
  });
}

void PortAudioOutput::HaltStream() {
  expectRunning_ = false;
  if (stream_ == nullptr) return;
  const QuietStderr quiet;
  if (Pa_IsStreamStopped(stream_) == 0) Pa_AbortStream(stream_);
}

int PortAudioOutput::Callback(const void* /*input*/, void* output, unsigned long frames,
                              const PaStreamCallbackTimeInfo* /*time*/, unsigned long /*flags*/,
                              void* self) {
  auto* me = static_cast<PortAudioOutput*>(self);
  if (me->converter_ != nullptr) {
    auto* out = static_cast<float*>(output);
    const double ratio = double(me->deviceRate_) / kOutputSampleRate;
    long done = 0;
    while (done < static_cast<long>(frames)) {
      const long want = std::min<long>(static_cast<long>(frames) - done, kFramesPerCallback);
      const long got = src_callback_read(me->converter_, ratio, want, me->floatScratch_.data());
      if (got <= 0) break;
      for (long i = 0; i < got; ++i) {
        const float* frame = &me->floatScratch_[static_cast<size_t>(i * kOutputChannels)];
        float* dst = out + (done + i) * me->deviceChannels_;
        dst[0] = frame[0];
        if (me->deviceChannels_ > 1) dst[1] = frame[1];
      }
      done += got;
    }
    std::fill(out + done * me->deviceChannels_, out + frames * me->deviceChannels_, 0.0f);
    return paContinue;
  }
  auto* out = static_cast<int16_t*>(output);
  unsigned long done = 0;
  while (done < frames) {
    const size_t n = std::min<size_t>(frames - done, kFramesPerCallback);
    if (me->deviceChannels_ == kOutputChannels) {
      me->Pull(out + done * kOutputChannels, n);
    } else {
      me->Pull(me->pullScratch_.data(), n);  // a mono card carries the left channel
      for (size_t i = 0; i < n; ++i) out[done + i] = me->pullScratch_[i * kOutputChannels];
    }
    done += n;
  }
  return paContinue;
}

long PortAudioOutput::ConverterInput(void* self, float** data) {
  auto* me = static_cast<PortAudioOutput*>(self);
  me->Pull(me->pullScratch_.data(), kFramesPerCallback);
  src_short_to_float_array(me->pullScratch_.data(), me->converterInput_.data(),
                           static_cast<int>(kFramesPerCallback * kOutputChannels));
  *data = me->converterInput_.data();
  return kFramesPerCallback;
}

void PortAudioOutput::Pull(int16_t* stereo, size_t frames) {
  std::lock_guard lock(mutex_);
  size_t values = frames * kOutputChannels;
  while (values > 0 && count_ > 0) {
    const int index = ring_[head_];
    const auto& slot = slots_[static_cast<size_t>(index)];
    const size_t n = std::min(values, slot.size() - position_);
    std::memcpy(stereo, slot.data() + position_, n * sizeof(int16_t));
    stereo += n;
    values -= n;
    position_ += n;
    if (position_ == slot.size()) {
      queued_[static_cast<size_t>(index)] = false;
      head_ = (head_ + 1) % kOutputBufferCount;
      --count_;
      position_ = 0;
      poster_.Post([this, index] { events_->OutputBufferDone(index); });
    }
  }
  if (values > 0) {
    if (expecting_) ++underruns_;  // the transmit cycle fell behind: silence goes on air
    std::memset(stereo, 0, values * sizeof(int16_t));
  }
}

void PortAudioOutput::Finished(void* self) {
  auto* me = static_cast<PortAudioOutput*>(self);
  if (me->expectRunning_.exchange(false)) {
    me->poster_.Post([me] {
      if (me->events_ != nullptr) me->events_->OutputFailed("The sound card stopped playing");
    });
  }
}

}  // namespace vela
