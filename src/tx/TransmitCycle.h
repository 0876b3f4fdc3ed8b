// The transmit cycle: open the output, send the 40-symbol preamble, refill each buffer the
// device hands back with the next symbol, and on stop drop what is queued, unkey and close.
// Everything runs on the thread that drives the modem; the device's events come back to it
// through AudioOutputEvents.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tx/AudioOutputDevice.h"
#include "tx/PttControl.h"

namespace vela {

// The modem as the transmit cycle sees it.
class TransmitSource {
 public:
  virtual ~TransmitSource() = default;
  // 16-bit values in one one-symbol stereo buffer (twice the symbol's frames).
  virtual int bufferLength() const = 0;
  // While the Morse identifier keys the carrier the symbol is held, not advanced.
  virtual bool morseIdentifierOn() const = 0;
  // The next channel symbol, +1, -1 or 0.
  virtual int NextSymbol() = 0;
  virtual void SynthesiseSymbol(std::span<int16_t> buffer, int symbol) = 0;
  // The transmission is over: the pipeline's sent count goes back to 0.
  virtual void TransmissionStopped() = 0;
};

// The shell around the cycle: buttons, capture, panes, messages.
class TransmitHost {
 public:
  virtual ~TransmitHost() = default;
  // The PTT-port and mode buttons: off while the transmitter runs.
  virtual void SetTransmitControlsEnabled(bool /*enabled*/) {}
  virtual void PauseCapture() {}
  virtual void ResumeCapture() {}
  virtual void ClearTransmitPane() {}
  virtual void ShowTransmitMessage(const OperatorMessage& /*message*/) {}
  // The cycle ended a transmission on its own (no device, or the device failed on air):
  // the SEND, CWID or tune state goes back to receive.
  virtual void TransmissionAborted() {}
  // The output device has closed and the cycle is idle again.
  virtual void TransmitterClosed(bool /*exitRequested*/) {}
};

inline constexpr char kOutputOpenError[] = "Error opening waveform audio device!";
inline constexpr char kTransmitCaption[] = "VELA63 for LF/MF";

class TransmitCycle : private AudioOutputEvents {
 public:
  enum class State { Idle, Opening, Running, Stopping, Closing };

  TransmitCycle(AudioOutputDevice& device, TransmitSource& source, TransmitHost& host);
  TransmitCycle(const TransmitCycle&) = delete;
  TransmitCycle& operator=(const TransmitCycle&) = delete;

  void SetPtt(PttControl* ptt) { ptt_ = ptt; }
  // The output device number: the one capture uses.
  void SetDevice(int device) { deviceIndex_ = device; }

  // Starts a transmission when idle, stops the running one otherwise. While a stop drains
  // nothing new starts.
  void ToggleTransmit();
  // The window is closing: stop what is on air and report exitRequested once the device
  // has closed. Returns false when idle, so the caller can end at once.
  bool RequestExit();

  State state() const { return state_; }
  // A device is open (or closing): a transmission is running for the whole program.
  bool active() const { return state_ != State::Idle; }
  // Buffers written and not yet back.
  int buffersInFlight() const { return inFlight_; }

 private:
  void OutputOpened() override;
  void OutputBufferDone(int index) override;
  void OutputClosed() override;
  void OutputFailed(const std::string& reason) override;

  void Start();
  void Stop();
  void CloseDevice();
  bool WriteBuffer(int index, int symbol);
  void Abort(const std::string& text);

  AudioOutputDevice& device_;
  TransmitSource& source_;
  TransmitHost& host_;
  PttControl* ptt_ = nullptr;
  int deviceIndex_ = 0;
  State state_ = State::Idle;
  bool exitFlag_ = false;
  int inFlight_ = 0;
  int length_ = 0;
  int symbol_ = 1;
  std::vector<std::vector<int16_t>> buffers_;
  std::vector<bool> queued_;
};

}  // namespace vela
