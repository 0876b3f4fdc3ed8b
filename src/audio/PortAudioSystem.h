// PortAudio for the whole program: initialised while any user exists, and the list of sound
// devices as the operator sees them.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace vela {

struct SoundDevice {
  int paIndex = -1;  // PortAudio's device number
  std::string name;
  std::string hostApi;
  int maxInputChannels = 0;
  int maxOutputChannels = 0;
  double defaultRate = 0;
};

// Standard error shut for the life of this object. ALSA's PortAudio backend prints its
// internal assertion lines there when it stops or closes a stream whose device has gone;
// the operator is told the reason in our own words instead.
class QuietStderr {
 public:
  QuietStderr();
  ~QuietStderr();
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

// Standard error through a filter that drops those assertion lines ("Expression '...' failed
// in '.../pa_linux_alsa.c', line: N"), which PortAudio also prints from its own thread when
// a device goes away, while everything else passes. Stop() (or the destructor) puts
// standard error back after passing on what came before.
class PortAudioNoiseFilter {
 public:
  PortAudioNoiseFilter();
  ~PortAudioNoiseFilter() { Stop(); }
  PortAudioNoiseFilter(const PortAudioNoiseFilter&) = delete;
  PortAudioNoiseFilter& operator=(const PortAudioNoiseFilter&) = delete;
  void Stop();

 private:
  int saved_ = -1;
  std::thread thread_;
};

class PortAudioSystem {
 public:
  PortAudioSystem();
  ~PortAudioSystem();
  PortAudioSystem(const PortAudioSystem&) = delete;
  PortAudioSystem& operator=(const PortAudioSystem&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

  // Devices that can record, the host's default input first, so device 0 follows the
  // desktop's sound settings; the capture device number indexes this list.
  std::vector<SoundDevice> CaptureDevices() const;
  // Devices that can play, the host's default output first.
  std::vector<SoundDevice> OutputDevices() const;
  // Where the transmitter plays for capture device `captureDevice`: the same card when it
  // can play, else a playing device of the same name, else the default output.
  // -1 when nothing can play.
  int OutputFor(int captureDevice) const;

  // PortAudio's words for an error, with the host's own text where it gave one.
  static std::string ErrorText(int paError);

  // PortAudio lists the cards present when it starts: to find one plugged in (or a sound
  // server started) since, it starts again. Only while no stream is open; false otherwise
  // or when it will not start.
  bool Rescan();
  // The input and output keep count of their open streams, and close them here (quietly:
  // the host's plugins chatter on standard error); a null stream is left alone.
  void StreamOpened() { ++openStreams_; }
  void CloseStream(void*& stream);

 private:
  void Initialise();

  bool ok_ = false;
  std::string error_;
  int openStreams_ = 0;
};

}  // namespace vela
