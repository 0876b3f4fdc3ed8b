#include "audio/PortAudioSystem.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

#ifdef __linux__
#include <alsa/asoundlib.h>
#endif
#include <portaudio.h>

#include <cstdlib>

namespace vela {

QuietStderr::QuietStderr() {
  std::fflush(stderr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (saved_ >= 0) dup2(null, 2);
  close(null);
}

PortAudioNoiseFilter::PortAudioNoiseFilter() {
  int ends[2];
  std::fflush(stderr);
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  saved_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
  if (saved_ < 0 || dup2(ends[1], 2) < 0) {
    close(ends[0]);
    close(ends[1]);
    if (saved_ >= 0) close(saved_);
    saved_ = -1;
    return;
  }
  close(ends[1]);
  thread_ = std::thread([in = ends[0], out = saved_] {
    std::string pending;
    char buffer[4096];
    const auto pass = [out](std::string_view line) {
      if (line.rfind("Expression '", 0) == 0 && line.find("pa_linux_alsa.c") != line.npos) return;
      while (!line.empty()) {
        const ssize_t n = write(out, line.data(), line.size());
        if (n <= 0 && errno != EINTR) return;
        if (n > 0) line.remove_prefix(static_cast<size_t>(n));
      }
    };
    for (;;) {
      const ssize_t n = read(in, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        pass(std::string_view(pending).substr(0, end + 1));
        pending.erase(0, end + 1);
      }
    }
    pass(pending);
    close(in);
  });
}

void PortAudioNoiseFilter::Stop() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, 2);  // the pipe's last writer closes: the filter passes the rest and ends
  thread_.join();
  close(saved_);
  saved_ = -1;
}

QuietStderr::~QuietStderr() {
  if (saved_ < 0) return;
  std::fflush(stderr);
  dup2(saved_, 2);
  close(saved_);
}

namespace {

// ALSA reports every recovered underrun and every missing card on stderr, hundreds of lines
// an hour on a busy desktop; PortAudio hands the errors that matter back as codes.
#ifdef __linux__
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif

SoundDevice Describe(PaDeviceIndex index) {
  SoundDevice d;
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  if (info == nullptr) return d;
  d.paIndex = index;
  d.name = info->name != nullptr ? info->name : "";
  const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
  d.hostApi = api != nullptr && api->name != nullptr ? api->name : "";
  d.maxInputChannels = info->maxInputChannels;
  d.maxOutputChannels = info->maxOutputChannels;
  d.defaultRate = info->defaultSampleRate;
  return d;
}

std::vector<SoundDevice> Devices(bool input) {
  std::vector<SoundDevice> list;
  const PaDeviceIndex count = Pa_GetDeviceCount();
  const PaDeviceIndex preferred = input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
  auto usable = [input](const SoundDevice& d) {
    return d.paIndex >= 0 && (input ? d.maxInputChannels : d.maxOutputChannels) > 0;
  };
  if (preferred != paNoDevice) {
    SoundDevice d = Describe(preferred);
    if (usable(d)) list.push_back(d);
  }
  for (PaDeviceIndex i = 0; i < count; ++i) {
    if (i == preferred) continue;
    SoundDevice d = Describe(i);
    if (usable(d)) list.push_back(d);
  }
  return list;
}

}  // namespace

PortAudioSystem::PortAudioSystem() {
  // Listing devices must not start a JACK server behind the operator's back.
  setenv("JACK_NO_START_SERVER", "1", 0);
#ifdef __linux__
  snd_lib_error_set_handler(QuietAlsa);
#endif
  Initialise();
}

void PortAudioSystem::CloseStream(void*& stream) {
  if (stream == nullptr) return;
  const QuietStderr quiet;
  Pa_CloseStream(stream);
  --openStreams_;
  stream = nullptr;
}

bool PortAudioSystem::Rescan() {
  if (openStreams_ > 0) return false;
  if (ok_) Pa_Terminate();
  Initialise();
  return ok_;
}

void PortAudioSystem::Initialise() {
  // Probing every ALSA and JACK device prints pages of driver chatter about cards that are
  // not there; the operator only needs the devices that are. Errors still come back as codes.
  const int savedStderr = dup(STDERR_FILENO);
  const int devNull = open("/dev/null", O_WRONLY);
  if (savedStderr >= 0 && devNull >= 0) dup2(devNull, STDERR_FILENO);
  const PaError err = Pa_Initialize();
  if (savedStderr >= 0 && devNull >= 0) dup2(savedStderr, STDERR_FILENO);
  if (devNull >= 0) close(devNull);
  if (savedStderr >= 0) close(savedStderr);
  ok_ = err == paNoError;
  error_ = ok_ ? std::string() : ErrorText(err);
}

PortAudioSystem::~PortAudioSystem() {
  if (ok_) Pa_Terminate();
}

std::vector<SoundDevice> PortAudioSystem::CaptureDevices() const {
  return ok_ ? Devices(true) : std::vector<SoundDevice>{};
}

std::vector<SoundDevice> PortAudioSystem::OutputDevices() const {
  return ok_ ? Devices(false) : std::vector<SoundDevice>{};
}

int PortAudioSystem::OutputFor(int captureDevice) const {
  if (!ok_) return -1;
  const auto inputs = CaptureDevices();
  const auto outputs = OutputDevices();
  if (outputs.empty()) return -1;
  if (captureDevice >= 0 && captureDevice < static_cast<int>(inputs.size())) {
    const SoundDevice& in = inputs[static_cast<size_t>(captureDevice)];
    if (in.maxOutputChannels > 0) return in.paIndex;
    for (const auto& out : outputs) {
      if (out.name == in.name && out.hostApi == in.hostApi) return out.paIndex;
    }
  }
  return outputs.front().paIndex;
}

std::string PortAudioSystem::ErrorText(int paError) {
  std::string text = Pa_GetErrorText(paError);
  if (paError == paUnanticipatedHostError) {
    const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
    if (host != nullptr && host->errorText != nullptr && host->errorText[0] != '\0') {
      text += ": ";
      text += host->errorText;
    }
  }
  return text;
}

}  // namespace vela
