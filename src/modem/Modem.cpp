#include "modem/Modem.h"

#include <algorithm>
#include <deque>

#include "coding/Frame.h"
#include "display/CorrelationDisplay.h"
#include "rx/Receiver.h"
#include "rx/SyncConfidence.h"
#include "rx/VaricodeDecoder.h"
#include "rx/Viterbi.h"
#include "tx/BitSource.h"
#include "tx/FrameBuilder.h"
#include "tx/MskSynthesiser.h"

namespace vela {

struct Modem::Impl : ReceiverEvents {
  explicit Impl(ModemEvents& e) : events(e) {}

  ModemEvents& events;
  Mode mode = kDefaultMode;

  // Transmit side.
  BitSource bitSource;
  FrameBuilder shortBuilder{InterleaveLength::Short};
  FrameBuilder longBuilder{InterleaveLength::Long};
  MskSynthesiser synth;
  long double txCentre = kDefaultCentreHz;
  OutputStyle style = OutputStyle::Mono;
  VaricodeEchoDecoder echo;
  // Symbols made since the start of the run, and where the last few frames began with
  // how many bits had gone into the frames built up to them.
  int64_t symbolsMade = 0;
  struct FrameStart {
    int64_t symbol;
    size_t bits;
  };
  std::deque<FrameStart> frameStarts;
  FrameBuilder::EchoSink echoSink = [this](std::span<const int> coded) {
    for (size_t i = 0; i + 1 < coded.size(); i += 2)
      echo.Bit(viterbi.Decode(coded[i], coded[i + 1]), events);
  };

  // Shared by the transmit echo and the standard receiver.
  ViterbiDecoder viterbi;

  // Receive side.
  ReceiverKind receiverKind = ReceiverKind::Standard;
  std::unique_ptr<Receiver> receiver = MakeReceiver(receiverKind, viterbi);
  double syncPeak = 0.0;
  int syncLocation = 0;
  int64_t framesProcessed = 0;
  int squelch = kDefaultSquelch;
  bool squelchOpen = false;
  bool heard = true;  // the frame the decoded bits come from
  bool paused = false;
  VaricodeRxDecoder rx;
  long double copyFrequency = kDefaultCentreHz;

  bool shortInterleave() const { return ModeTable(mode).interleave == InterleaveLength::Short; }
  FrameBuilder& builder() { return shortInterleave() ? shortBuilder : longBuilder; }
  int confidence() const { return SyncConfidence(syncPeak); }
  const ReceiverConfig& config() const { return receiver->config(); }
  // The receiver's configuration with one field changed.
  template <typename T>
  void Reconfigure(T ReceiverConfig::*field, T value) {
    ReceiverConfig changed = config();
    changed.*field = value;
    receiver->Configure(changed);
  }

  void Frame(const FrameResult& frame) override {
    syncPeak = frame.syncPeak;
    syncLocation = frame.syncLocation;
    events.CorrelationRow(CorrelationDisplayRow(frame.search), frame.correlations);
    events.ConfidenceBar(confidence());
    events.FrameProcessed({framesProcessed++, syncLocation, syncPeak, confidence()});
    squelchOpen = SquelchOpen(confidence(), squelch);
  }
  void Heard(bool h) override { heard = h; }
  void DecodedBit(int bit) override { rx.Bit(bit, squelchOpen && heard, paused, events); }
  void HeardOn(long double centreFrequency) override { copyFrequency = centreFrequency; }
  void EyeStep(int subSymbol, long double phaseStep) override {
    events.EyeStep(subSymbol, phaseStep);
  }
  void Refresh(int signalLevel) override {
    events.LevelBar(signalLevel);
    events.ConfidenceBar(confidence());
  }
};

Modem::Modem(ModemEvents& events) : impl_(std::make_unique<Impl>(events)) {
  SetMode(kDefaultMode);
}
Modem::~Modem() = default;

void Modem::SetMode(Mode mode) {
  mode_ = mode;
  impl_->mode = mode;
  impl_->Reconfigure(&ReceiverConfig::mode, mode);
}

void Modem::SetRxSampleRate(long double fs) {
  impl_->Reconfigure(&ReceiverConfig::sampleRate, fs);
}
long double Modem::rxSampleRate() const {
  return impl_->config().sampleRate;
}
void Modem::SetRxCentreFrequency(long double fc) {
  impl_->Reconfigure(&ReceiverConfig::centreFrequency, fc);
}
long double Modem::rxCentreFrequency() const {
  return impl_->config().centreFrequency;
}
long double Modem::copyFrequency() const {
  return impl_->copyFrequency;
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
  const ReceiverConfig config = impl_->config();
  impl_->receiverKind = kind;
  impl_->viterbi.Reset();
  impl_->receiver = MakeReceiver(kind, impl_->viterbi);
  impl_->receiver->Configure(config);
  impl_->syncPeak = 0.0;
  impl_->syncLocation = 0;
  impl_->heard = true;
}
void Modem::SetNoiseBlanker(bool on) {
  impl_->Reconfigure(&ReceiverConfig::noiseBlanker, on);
}
void Modem::SetIterations(int iterations) {
  impl_->Reconfigure(&ReceiverConfig::iterations, iterations);
}
ReceiverKind Modem::receiver() const {
  return impl_->receiverKind;
}

void Modem::ProcessSamples(std::span<const int16_t> samples) {
  impl_->receiver->Process(samples, *impl_);
}
void Modem::Flush() {
  impl_->receiver->Flush(*impl_);
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
  return impl_->receiver->signalLevel();
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
void Modem::SetEndMarker(const std::string& marker) {
  impl_->echo.SetEndMarker(marker);
}
const std::string& Modem::endMarker() const {
  return impl_->echo.endMarker();
}

int Modem::NextSymbol() {
  FrameBuilder& builder = impl_->builder();
  if (builder.frameCounter() == 0) {
    auto& starts = impl_->frameStarts;
    starts.push_back({impl_->symbolsMade, impl_->bitSource.bitsHandedOut()});
    if (starts.size() > 4) starts.pop_front();
  }
  ++impl_->symbolsMade;
  return builder.NextSymbol(impl_->bitSource, impl_->echoSink);
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

size_t Modem::CutOver(int64_t unplayedSymbols) {
  Impl& m = *impl_;
  const int64_t played = m.symbolsMade - std::max<int64_t>(unplayedSymbols, 0);
  const int64_t frame = params().frameLength;
  size_t through = 0;
  for (const auto& start : m.frameStarts) {
    if (start.symbol + 2 * frame <= played) through = std::max(through, start.bits);
  }
  m.frameStarts.clear();
  m.shortBuilder.Restart();
  m.longBuilder.Restart();
  // The echo's decoder still holds the cut frames' last bits, and the next over starts
  // with a frame of idle: neither is shown.
  m.echo.Restart(kViterbiDelay + Geometry(ModeTable(mode_).interleave).codedSymbols / 2);
  return m.bitSource.CutOver(through);
}

}  // namespace vela
