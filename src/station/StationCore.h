// The station core: one Modem, its transmit controller and the capture path's end, shared by
// the window and the command line. It is driven by plain calls (the controller's commands,
// the settings, a text to send) and by device events (captured buffers, output buffers
// played), and publishes what the station hears and does to any number of subscribers: the
// window, the receive log, the command line's printer, a band scanner's feeder. The Modem
// is the transmit source and the capture sink through this class alone. Everything runs on
// the thread that drives the modem.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "modem/Modem.h"
#include "modem/ModemEvents.h"
#include "modem/TextTransmission.h"
#include "station/CaptureCycle.h"
#include "station/ReceiveStats.h"
#include "station/StationSettings.h"
#include "station/TransmitController.h"

namespace vela {

// What the station publishes. Every call has an empty default: a subscriber takes what it
// shows. Characters, echo and frames are told as they happen; the displays' figures once a
// buffer, as one snapshot.
class StationSubscriber : public TextEvents {
 public:
  // Sync search, once per received frame: the PN correlation at every searched offset for
  // Correlation window row `row` (0..59), then the frame's figures.
  virtual void CorrelationRow(int /*row*/, std::span<const float> /*correlationPerOffset*/) {}
  virtual void FrameProcessed(const FrameReport& /*report*/) {}
  // The receiver has had a captured buffer: what the displays show of it.
  virtual void BufferHeard(const ReceiveStats& /*stats*/) {}
  // Every captured buffer, after the receiver has had it (a waterfall, a band scanner).
  virtual void Captured(std::span<const int16_t> /*samples*/) {}
  // Each new half-overlapped block of 2048 samples for the spectrum.
  virtual void SpectrumStep(std::span<const int16_t> /*samples*/) {}
  virtual void CaptureError(const std::string& /*text*/) {}

  virtual void TransmitStateChanged(const TransmitState& /*now*/, const TransmitState& /*before*/) {
  }
  // A data or tune transmission has ended: the transmit pane is to be emptied.
  virtual void TransmitPaneSent() {}
  // The operator stopped a data over before its end: of the characters the pane gave it,
  // `sentCharacters` reached the air whole; the rest is the pane's again. Comes before
  // TransmitPaneSent().
  virtual void OverCut(int /*sentCharacters*/) {}
  virtual void TransmitFailed(TransmitProblem /*problem*/, const std::string& /*detail*/) {}
  // The text given to SendText() has gone out whole, tail frames included (or the echo
  // never showed it: see StationCore::textFailed()).
  virtual void TextSent() {}
};

// What only the program around the station can do: run the identifier's element clock and
// end the program.
class StationHost {
 public:
  virtual ~StationHost() = default;
  // Starts (periodMs > 0) or stops (0) a clock that calls StationCore::MorseTick().
  virtual void SetMorseClock(int /*periodMs*/) {}
  // Asked to end, the program may now: the output has closed and PTT is released.
  virtual void ReadyToExit() {}
};

class StationCore : public CaptureSink,
                    private ModemEvents,
                    private TransmitSource,
                    private TransmitEvents {
 public:
  StationCore(AudioOutputDevice& output, StationHost& host);
  // A station that only listens: its transmitter has no output to open.
  StationCore();
  StationCore(const StationCore&) = delete;
  StationCore& operator=(const StationCore&) = delete;

  // Subscribers are told in the order they subscribed; one must unsubscribe before it goes.
  void Subscribe(StationSubscriber& subscriber);
  void Unsubscribe(StationSubscriber& subscriber);

  Modem& modem() { return modem_; }
  const Modem& modem() const { return modem_; }
  TransmitController& transmitter() { return transmit_; }
  const TransmitController& transmitter() const { return transmit_; }
  void Apply(const StationSettings& settings) { ApplyStationSettings(modem_, settings); }

  // One whole text instead of the transmit pane, as the command line sends it: the frames
  // until the echo shows the text, then `tailFrames` more. Press SEND to start it; when its
  // last symbol is out, subscribers hear TextSent() and the rest is key-up carrier.
  void SendText(std::string text, int tailFrames);
  bool textFailed() const { return text_ && text_->failed(); }

  void MorseTick() { transmit_.MorseTick(); }

  // CaptureSink: the capture cycles hand their buffers here.
  void CaptureSamples(std::span<const int16_t> samples) override;
  void SpectrumStep(std::span<const int16_t> samples) override;
  void CaptureError(const std::string& text) override;

 private:
  template <typename Call>
  void Publish(Call call) {
    for (StationSubscriber* s : subscribers_) call(*s);
  }

  // ModemEvents
  void RxChar(uint8_t c) override;
  void SecondaryChar(uint8_t c) override;
  void EchoChar(uint8_t c) override;
  void EndMarkerEchoed() override { markerEchoed_ = true; }
  void EyeStep(int subSymbol, long double phaseStep) override;
  void LevelBar(int signalLevel) override;
  void ConfidenceBar(int value) override;
  void CorrelationRow(int row, std::span<const float> correlationPerOffset) override;
  void FrameProcessed(const FrameReport& report) override;

  // TransmitSource
  int bufferLength() const override { return modem_.bufferLength(); }
  int frameLength() const override { return modem_.params().frameLength; }
  SourceSymbol NextSymbol() override;
  void SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode carrier) override {
    modem_.SynthesiseSymbol(buffer, symbol, carrier);
  }
  void TransmissionStopped() override { modem_.TransmissionStopped(); }
  void OverCut(int64_t unplayedSymbols) override;
  void SetBeacon(bool on) override;

  // TransmitEvents
  void TransmitStateChanged(const TransmitState& now, const TransmitState& before) override;
  void TransmitPaneSent() override;
  void TransmitFailed(TransmitProblem problem, const std::string& detail) override;
  void SetMorseClock(int periodMs) override { host_.SetMorseClock(periodMs); }
  void ReadyToExit() override { host_.ReadyToExit(); }

  // What a listening station has in place of an output and a host.
  class NoOutput : public AudioOutputDevice {
   public:
    bool Open(int, AudioOutputEvents&) override { return false; }
    bool Write(int, std::span<const int16_t>) override { return false; }
    void Reset() override {}
    void Close() override {}
    std::string error() const override { return "this station only listens"; }
  };
  NoOutput noOutput_;
  StationHost noHost_;

  StationHost& host_;
  Modem modem_;
  TransmitController transmit_;
  std::vector<StationSubscriber*> subscribers_;
  ReceiveStats stats_;
  std::unique_ptr<TextTransmission> text_;
  bool textDone_ = false;
  bool markerEchoed_ = false;
};

}  // namespace vela
