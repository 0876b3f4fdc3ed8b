// The station core: one Modem, its transmit controller, the capture path's end and, when
// asked, band scanners, shared by the window and the command line. It is driven by plain
// calls (the controller's commands, the settings, a text to send, the rig's dial as read) and
// by device events (captured buffers, output buffers played), and publishes what the station
// hears and does to any number of subscribers: the window, the receive log, spots, the
// command line's printer. The Modem is the transmit source and the capture sink through this
// class alone. Everything runs on the thread that drives the modem.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "modem/Modem.h"
#include "modem/ModemEvents.h"
#include "modem/TextTransmission.h"
#include "scan/BandScanner.h"
#include "station/CaptureCycle.h"
#include "station/ReceiveStats.h"
#include "station/StationSettings.h"
#include "station/TransmitController.h"

namespace vela {

// The rig's dial as read: the frequency on air the receiver's audio is heard against, and
// the rig's mode ("USB", "LSB" ...).
struct DialReading {
  double hz = 0;
  std::string mode;
  bool operator==(const DialReading&) const = default;
};

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

  // A band scanner of the core's has listed a signal, heard more of one, or dropped one.
  virtual void SignalListed(const BandScanner& /*scanner*/, const ScanSignal& /*signal*/) {}
  virtual void SignalChanged(const BandScanner& /*scanner*/, const ScanSignal& /*signal*/) {}
  virtual void SignalDropped(const BandScanner& /*scanner*/, const ScanSignal& /*signal*/) {}
  // A scanner has had its turn: its list may have changed.
  virtual void ScannerRan(const BandScanner& /*scanner*/) {}
  // The rig's dial as read, or none once it cannot be (frequencies are audio only then).
  virtual void DialChanged(const std::optional<DialReading>& /*dial*/) {}
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

  // The rig's dial, as its poll reads it: subscribers hear of each change.
  void DialRead(const std::optional<DialReading>& dial);
  const std::optional<DialReading>& dial() const { return dial_; }

  // A band scanner over the captured audio, owned here until RemoveScanner(). It hears every
  // buffer after the main receiver, except while we are on the air (our own signal would
  // swamp the band), and works through them in RunScanners() turns of `budget` each; what it
  // finds goes to the subscribers. Its owner may also Run() or Flush() it directly.
  BandScanner& AddScanner(const ScanConfig& config, std::chrono::microseconds budget);
  // Not from inside that scanner's own events.
  void RemoveScanner(const BandScanner& scanner);
  // One turn for each scanner.
  void RunScanners();
  bool scanning() const { return !scanners_.empty(); }
  // Off, only the scanners hear the captured audio: a band scan with no main receiver.
  void SetMainReceiver(bool on) { mainReceiver_ = on; }

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

  // A scanner and what passes its findings on.
  struct Scanner : ScanEvents {
    Scanner(StationCore& core, const ScanConfig& config, std::chrono::microseconds budget)
        : core(core), scanner(config, this), budget(budget) {}
    void SignalListed(const ScanSignal& s) override {
      core.Publish([&](StationSubscriber& sub) { sub.SignalListed(scanner, s); });
    }
    void SignalChanged(const ScanSignal& s) override {
      core.Publish([&](StationSubscriber& sub) { sub.SignalChanged(scanner, s); });
    }
    void SignalDropped(const ScanSignal& s) override {
      core.Publish([&](StationSubscriber& sub) { sub.SignalDropped(scanner, s); });
    }
    StationCore& core;
    BandScanner scanner;
    std::chrono::microseconds budget;
  };
  std::vector<std::unique_ptr<Scanner>> scanners_;
  std::optional<DialReading> dial_;
  bool mainReceiver_ = true;

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
