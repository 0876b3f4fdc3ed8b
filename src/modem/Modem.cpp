#include "modem/Modem.h"

#include <cmath>

#include "rx/Demodulator.h"
#include "rx/EnhancedDemodulator.h"
#include "rx/FrameDecoder.h"
#include "rx/FrameHandler.h"
#include "rx/SoftFrameHandler.h"
#include "rx/VaricodeDecoder.h"
#include "rx/Viterbi.h"
#include "tx/BitSource.h"
#include "tx/FrameBuilder.h"
#include "tx/MskSynthesiser.h"

namespace vela {

struct Modem::Impl : DemodulatorOutput {
  explicit Impl(ModemEvents& e) : events(e) {}

  ModemEvents& events;
  Mode mode = kDefaultMode;

  // Transmit side.
  BitSource bitSource;
  FrameBuilder shortBuilder{InterleaveLength::Short};
  FrameBuilder longBuilder{InterleaveLength::Long};
  MskSynthesiser synth;
  long double txCentre = 1000.0L;
  OutputStyle style = OutputStyle::Mono;
  VaricodeEchoDecoder echo;
  FrameBuilder::EchoSink echoSink = [this](std::span<const int> coded) {
    for (size_t i = 0; i + 1 < coded.size(); i += 2)
      echo.Bit(viterbi.Decode(coded[i], coded[i + 1]), events);
  };

  // Receive side.
  Demodulator demod;
  FrameHandler shortHandler{InterleaveLength::Short};
  FrameHandler longHandler{InterleaveLength::Long};
  double syncPeak = 0.0;
  int syncLocation = 0;
  int64_t framesProcessed = 0;
  int squelch = 5;
  bool paused = false;
  VaricodeRxDecoder rx;
  std::vector<double> codedScratch;

  // Shared by the receiver and the transmit echo.
  ViterbiDecoder viterbi;

  bool shortInterleave() const { return ModeTable(mode).interleave == InterleaveLength::Short; }
  FrameBuilder& builder() { return shortInterleave() ? shortBuilder : longBuilder; }
  FrameHandler& handler() { return shortInterleave() ? shortHandler : longHandler; }
  int confidence() const { return static_cast<int>(std::floor(syncPeak / 9.6)); }

  void Decision(long double phaseStep) override {
    FrameHandler& h = handler();
    if (!h.AddDecision(phaseStep)) return;
    syncPeak = h.syncPeak();
    syncLocation = h.syncLocation();
    events.CorrelationRow(h.row(), h.greyLevels());
    events.CorrelationCaption(CorrelationCaption(syncPeak, syncLocation));
    events.ConfidenceBar(confidence());
    events.FrameProcessed({framesProcessed++, syncLocation, syncPeak, confidence()});
    const bool open = confidence() > squelch;
    DecodeFrame(h.interleave(), h.window(), syncLocation, viterbi, codedScratch,
                [this, open](int bit) { rx.Bit(bit, open, paused, events); });
  }
  void EyeStep(int subSymbol, long double phaseStep) override {
    events.EyeStep(subSymbol, phaseStep);
  }
  void Refresh(int signalLevel) override {
    events.LevelBar(signalLevel);
    events.ConfidenceBar(confidence());
  }

  // The enhanced receiver: soft values into its own sync search and soft decoder, then the
  // same text decoder, squelch and displays as the standard one.
  struct EnhancedPath : DemodulatorOutput {
    explicit EnhancedPath(Impl& m) : modem(m) {}
    Impl& modem;
    EnhancedDemodulator demod;
    SoftFrameHandler shortHandler{InterleaveLength::Short};
    SoftFrameHandler longHandler{InterleaveLength::Long};
    ViterbiDecoder viterbi;
    std::vector<float> codedScratch;

    void Decision(long double value) override {
      SoftFrameHandler& h = modem.shortInterleave() ? shortHandler : longHandler;
      if (!h.AddValue(static_cast<float>(value))) return;
      modem.syncPeak = h.syncPeak();
      modem.syncLocation = h.syncLocation();
      ModemEvents& events = modem.events;
      events.CorrelationRow(h.row(), h.greyLevels());
      events.CorrelationCaption(CorrelationCaption(modem.syncPeak, modem.syncLocation));
      events.ConfidenceBar(modem.confidence());
      events.FrameProcessed(
          {modem.framesProcessed++, modem.syncLocation, modem.syncPeak, modem.confidence()});
      const bool open = modem.confidence() > modem.squelch;
      DecodeSoftFrame(
          h.interleave(), h.window(), modem.syncLocation, viterbi, codedScratch,
          [this, open](int bit) { modem.rx.Bit(bit, open, modem.paused, modem.events); });
    }
    void EyeStep(int subSymbol, long double phaseStep) override {
      modem.events.EyeStep(subSymbol, phaseStep);
    }
    void Refresh(int signalLevel) override { modem.Refresh(signalLevel); }
  };
  ReceiverKind receiverKind = ReceiverKind::Standard;
  EnhancedPath enhanced{*this};
};

Modem::Modem(ModemEvents& events) : impl_(std::make_unique<Impl>(events)) {
  SetMode(kDefaultMode);
}
Modem::~Modem() = default;

void Modem::SetMode(Mode mode) {
  mode_ = mode;
  impl_->mode = mode;
  impl_->demod.SetMode(mode);
  impl_->enhanced.demod.SetMode(mode);
}

void Modem::SetRxSampleRate(long double fs) {
  impl_->demod.SetSampleRate(fs);
  impl_->enhanced.demod.SetSampleRate(fs);
}
long double Modem::rxSampleRate() const {
  return impl_->demod.sampleRate();
}
void Modem::SetRxCentreFrequency(long double fc) {
  impl_->demod.SetCentreFrequency(fc);
  impl_->enhanced.demod.SetCentreFrequency(fc);
}
long double Modem::rxCentreFrequency() const {
  return impl_->demod.centreFrequency();
}
void Modem::SetSquelch(int threshold) {
  impl_->squelch = threshold;
}
int Modem::squelch() const {
  return impl_->squelch;
}
void Modem::SetPause(bool on) {
  impl_->paused = on;
}
bool Modem::paused() const {
  return impl_->paused;
}
void Modem::SetReceiver(ReceiverKind kind) {
  if (kind == impl_->receiverKind) return;
  impl_->receiverKind = kind;
  impl_->enhanced.demod.SetMode(mode_);
}
ReceiverKind Modem::receiver() const {
  return impl_->receiverKind;
}

void Modem::DemodSample(int16_t x) {
  if (impl_->receiverKind == ReceiverKind::Enhanced) {
    impl_->enhanced.demod.DemodSample(x, impl_->enhanced);
    return;
  }
  impl_->demod.DemodSample(x, *impl_);
}
void Modem::ProcessSamples(std::span<const int16_t> samples) {
  if (impl_->receiverKind == ReceiverKind::Enhanced) {
    for (int16_t x : samples) impl_->enhanced.demod.DemodSample(x, impl_->enhanced);
    return;
  }
  for (int16_t x : samples) impl_->demod.DemodSample(x, *impl_);
}

double Modem::syncPeak() const {
  return impl_->syncPeak;
}
int Modem::syncLocation() const {
  return impl_->syncLocation;
}
int Modem::confidence() const {
  return impl_->confidence();
}
int Modem::signalLevel() const {
  if (impl_->receiverKind == ReceiverKind::Enhanced) return impl_->enhanced.demod.signalLevel();
  return impl_->demod.signalLevel();
}

BitSource& Modem::bitSource() {
  return impl_->bitSource;
}
void Modem::SetTxCentreFrequency(long double fc) {
  impl_->txCentre = fc;
}
long double Modem::txCentreFrequency() const {
  return impl_->txCentre;
}
void Modem::SetOutputStyle(OutputStyle style) {
  impl_->style = style;
}
OutputStyle Modem::outputStyle() const {
  return impl_->style;
}
void Modem::SetEndMarker(const std::string& marker) {
  impl_->echo.SetEndMarker(marker);
}
const std::string& Modem::endMarker() const {
  return impl_->echo.endMarker();
}

int Modem::NextSymbol() {
  return impl_->builder().NextSymbol(impl_->bitSource, impl_->echoSink);
}
int Modem::frameCounter() const {
  return ModeTable(mode_).interleave == InterleaveLength::Short ? impl_->shortBuilder.frameCounter()
                                                                : impl_->longBuilder.frameCounter();
}

void Modem::SynthesiseSymbol(std::span<int16_t> buffer, int symbol, CarrierMode carrier) {
  impl_->synth.SynthesiseSymbol(buffer, symbol, impl_->txCentre, impl_->style, carrier);
}

void Modem::TransmissionStopped() {
  impl_->bitSource.ResetSentCount();
}

}  // namespace vela
