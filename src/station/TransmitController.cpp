#include "station/TransmitController.h"

#include <algorithm>
#include <utility>

#include "coding/Frame.h"

namespace vela {

namespace {
// The longest one-symbol buffer: VELA8, 8192 values.
constexpr int kMaxBufferValues = 8192;
// The identifier's callsign is followed by eight key-up ticks before it stops.
constexpr int kMorseTailTicks = 8;

bool CarriesPaneText(TransmitRequest request) {
  // Tune runs the data pipeline under its carrier, so it takes the pane's text as well.
  return request == TransmitRequest::Data || request == TransmitRequest::Tune;
}
}  // namespace

TransmitController::TransmitController(AudioOutputDevice& output, TransmitSource& source,
                                       TransmitEvents& events)
    : output_(output),
      source_(source),
      events_(events),
      buffers_(kOutputBufferCount),
      queued_(kOutputBufferCount, false) {
  for (auto& b : buffers_) b.reserve(kMaxBufferValues);
}

TransmitController::~TransmitController() {
  // Whatever else happens at the end of the program, the rig is not left keyed.
  if (state_.keyed && ptt_ != nullptr) ptt_->Key(false);
}

void TransmitController::SetMorseIdentifier(std::string pattern, int periodMs) {
  nextPattern_ = std::move(pattern);
  nextPeriodMs_ = std::max(1, periodMs);
}

// ---- Operator commands ----

void TransmitController::Send() {
  Toggle(TransmitRequest::Data);
}

void TransmitController::ToggleCwId() {
  Toggle(TransmitRequest::MorseId);
}

void TransmitController::ToggleTune() {
  Toggle(TransmitRequest::Tune);
}

void TransmitController::ToggleBeacon() {
  state_.beacon = !state_.beacon;
  source_.SetBeacon(state_.beacon);
  Publish();
}

void TransmitController::Toggle(TransmitRequest request) {
  if (exitRequested_) return;
  // SEND, CWID and tune exclude one another.
  if (state_.request != TransmitRequest::None && state_.request != request) return;
  if (state_.request == request) {
    state_.request = TransmitRequest::None;
    SwitchOff(request);
  } else {
    state_.request = request;
    SwitchOn(request);
  }
  Publish();
}

void TransmitController::SwitchOff(TransmitRequest request) {
  switch (state_.phase) {
    case OutputPhase::Opening:
    case OutputPhase::OnAir:
      cut_ = request == TransmitRequest::Data && carrying_ == TransmitRequest::Data;
      if (request == TransmitRequest::MorseId) {
        StopIdentifier();
        // Elements already queued still go out; nothing has been queued before the open.
        if (state_.phase == OutputPhase::OnAir) {
          BeginDrain(Drain::Identifier, kOutputBufferCount);
          break;
        }
      }
      Stop();
      break;
    case OutputPhase::Draining:
      // F9 during the end marker's tail stops at once; during the identifier's tail it
      // only takes back what was pressed meanwhile.
      if (drain_ == Drain::Marker) Stop();
      break;
    case OutputPhase::Idle:
    case OutputPhase::Stopping:
    case OutputPhase::Closing:
      break;  // a request still waiting for the output is taken back
  }
}

void TransmitController::SwitchOn(TransmitRequest request) {
  switch (state_.phase) {
    case OutputPhase::Idle:
      Start(request);
      break;
    case OutputPhase::Draining:
      if (drain_ == Drain::Identifier && request == TransmitRequest::MorseId) {
        // CWID again while its tail plays: the same transmission carries a new identifier.
        drain_ = Drain::None;
        state_.phase = OutputPhase::OnAir;
        StartIdentifier();
      }
      break;  // anything else starts once the output has closed
    default:
      break;
  }
}

bool TransmitController::RequestExit() {
  exitRequested_ = true;
  state_.request = TransmitRequest::None;
  StopIdentifier();
  if (state_.phase == OutputPhase::Idle) {
    Publish();
    return true;
  }
  if (state_.onAir()) Stop();
  Publish();
  return false;
}

// ---- Events ----

void TransmitController::EndMarkerEchoed() {
  if (carrying_ != TransmitRequest::Data || state_.phase != OutputPhase::OnAir ||
      state_.request != TransmitRequest::Data) {
    return;
  }
  BeginDrain(Drain::Marker, kOutputBufferCount + 2 * source_.frameLength());
  Publish();
}

void TransmitController::MorseTick() {
  if (!morseClock_) return;
  const auto length = static_cast<int>(pattern_.size());
  morseElement_ = morsePosition_ >= 1 && morsePosition_ <= length
                      ? pattern_[static_cast<size_t>(morsePosition_ - 1)]
                      : '\0';
  ++morsePosition_;
  if (morsePosition_ == 1 + length + kMorseTailTicks) {
    // The identifier ends by itself, as if the operator had switched it off.
    state_.request = TransmitRequest::None;
    SwitchOff(TransmitRequest::MorseId);
  }
  Publish();
}

// ---- The output ----

void TransmitController::Start(TransmitRequest request) {
  carrying_ = request;
  drain_ = Drain::None;
  cut_ = false;
  dataSymbols_ = 0;
  length_ = request == TransmitRequest::MorseId ? kMorseBufferValues : source_.bufferLength();
  const bool lengthOk =
      length_ > 0 && length_ <= kMaxBufferValues && length_ % kOutputChannels == 0;
  state_.phase = OutputPhase::Opening;
  Publish();  // capture holds and the mode buttons lock before the output opens
  if (!lengthOk || !output_.Open(deviceIndex_, *this)) {
    // Nothing went on air and PTT was never keyed: back to receive as it was.
    state_.phase = OutputPhase::Idle;
    state_.request = TransmitRequest::None;
    carrying_ = TransmitRequest::None;
    events_.TransmitFailed(TransmitProblem::OutputOpenFailed, output_.error());
    Publish();
    return;
  }
  inFlight_ = 0;
  std::fill(queued_.begin(), queued_.end(), false);
  for (auto& b : buffers_) b.assign(static_cast<size_t>(length_), 0);
  playedValues_ = 0;
  limitValues_ = static_cast<int64_t>(limit_.count()) * kOutputSampleRate * kOutputChannels;
  if (!KeyPtt(true)) {
    // A rig that would not key gets no audio: unkeyed audio would go nowhere unnoticed.
    Abort(TransmitProblem::PttFailed, ptt_ != nullptr ? ptt_->error() : std::string());
    return;
  }
  if (request == TransmitRequest::MorseId) StartIdentifier();
}

void TransmitController::OutputOpened() {
  if (state_.phase != OutputPhase::Opening) return;
  state_.phase = OutputPhase::OnAir;
  // The preamble, +1 throughout, is the ring's first filling.
  static_assert(kPreambleSymbols == kOutputBufferCount);
  symbol_ = 1;
  for (int i = 0; i < kPreambleSymbols; ++i) {
    if (!Write(i, 1)) break;
  }
  Publish();
}

void TransmitController::OutputBufferDone(int index) {
  if (index < 0 || index >= kOutputBufferCount || !queued_[static_cast<size_t>(index)]) return;
  queued_[static_cast<size_t>(index)] = false;
  --inFlight_;
  if (state_.phase == OutputPhase::OnAir || state_.phase == OutputPhase::Draining) {
    // Buffers only come back in these phases once played: Reset goes with leaving them.
    playedValues_ += length_;
    if (limitValues_ > 0 && playedValues_ >= limitValues_) {
      Abort(TransmitProblem::TimeLimit, {});
    } else {
      Refill(index);
    }
  } else if (state_.phase == OutputPhase::Stopping) {
    EndOver();  // the first buffer back after the reset closes the output
  }
  Publish();
}

void TransmitController::OutputClosed() {
  if (state_.phase == OutputPhase::Idle) return;
  if (state_.phase != OutputPhase::Closing) {
    // The output went away by itself.
    const bool stopping = state_.phase == OutputPhase::Stopping;
    if (state_.keyed) KeyPtt(false);
    if (!stopping) {
      state_.request = TransmitRequest::None;
      StopIdentifier();
      events_.TransmitFailed(TransmitProblem::OutputFailed, output_.error());
    }
  }
  state_.phase = OutputPhase::Idle;
  carrying_ = TransmitRequest::None;
  drain_ = Drain::None;
  inFlight_ = 0;
  std::fill(queued_.begin(), queued_.end(), false);
  if (exitRequested_) {
    Publish();
    events_.ReadyToExit();
    return;
  }
  // What was pressed while the last transmission was leaving the air goes out now.
  if (state_.request != TransmitRequest::None) Start(state_.request);
  Publish();
}

void TransmitController::OutputFailed(const std::string& reason) {
  if (state_.phase == OutputPhase::Idle || state_.phase == OutputPhase::Closing) return;
  Abort(TransmitProblem::OutputFailed, reason);
  Publish();
}

void TransmitController::Refill(int index) {
  // The identifier holds the symbol; data and tune advance the pipeline (which may see
  // the end marker in its echo and start the marker's tail).
  if (carrying_ != TransmitRequest::MorseId) {
    const SourceSymbol next = source_.NextSymbol();
    symbol_ = next.symbol;
    if (next.endMarker) EndMarkerEchoed();
    ++dataSymbols_;
  }
  if (!Write(index, symbol_)) return;
  if (state_.phase == OutputPhase::Draining && --drainLeft_ <= 0) {
    if (drain_ == Drain::Marker) state_.request = TransmitRequest::None;
    Stop();
  }
}

bool TransmitController::Write(int index, int symbol) {
  auto& buffer = buffers_[static_cast<size_t>(index)];
  source_.SynthesiseSymbol(buffer, symbol, Carrier());
  if (!output_.Write(index, buffer)) {
    Abort(TransmitProblem::OutputFailed, output_.error());
    return false;
  }
  queued_[static_cast<size_t>(index)] = true;
  ++inFlight_;
  return true;
}

void TransmitController::Stop() {
  // The newest buffers are the ones still queued: what of the data they hold never plays.
  if (cut_) cutUnplayed_ = std::min<int64_t>(inFlight_, dataSymbols_);
  state_.phase = OutputPhase::Stopping;
  drain_ = Drain::None;
  output_.Reset();
  KeyPtt(false);
  // Stopped before the output said it was open: no buffer will come back to close it.
  if (inFlight_ == 0) EndOver();
}

void TransmitController::EndOver() {
  const TransmitRequest carried = carrying_;
  CloseOutput();
  if (CarriesPaneText(carried)) {
    if (std::exchange(cut_, false)) source_.OverCut(cutUnplayed_);
    source_.TransmissionStopped();
    events_.TransmitPaneSent();
  }
}

void TransmitController::CloseOutput() {
  state_.phase = OutputPhase::Closing;
  output_.Close();
}

// Ends a transmission that cannot go on: PTT drops, the output closes, the operator is told
// and the state is back to receive. The text not yet sent stays in the pane.
void TransmitController::Abort(TransmitProblem problem, const std::string& detail) {
  const bool wasStopping = state_.phase == OutputPhase::Stopping;
  const TransmitRequest carried = carrying_;
  state_.request = TransmitRequest::None;
  StopIdentifier();
  drain_ = Drain::None;
  output_.Reset();
  KeyPtt(false);
  CloseOutput();
  if (CarriesPaneText(carried)) {
    if (std::exchange(cut_, false)) source_.OverCut(cutUnplayed_);
    source_.TransmissionStopped();
    if (wasStopping) events_.TransmitPaneSent();  // the operator had already ended it
  }
  events_.TransmitFailed(problem, detail);
}

bool TransmitController::KeyPtt(bool on) {
  if (!on && !state_.keyed) return true;
  bool ok = ptt_ == nullptr || ptt_->Key(on);
  // A rig that missed the release is asked once more before the operator is told.
  if (!on && !ok) ok = ptt_->Key(false);
  state_.keyed = on && ok;
  if (!on && !ok) events_.TransmitFailed(TransmitProblem::PttReleaseFailed, ptt_->error());
  return ok;
}

void TransmitController::StartIdentifier() {
  pattern_ = nextPattern_;
  periodMs_ = nextPeriodMs_;
  morsePosition_ = 1;
  morseClock_ = true;
  events_.SetMorseClock(periodMs_);
}

void TransmitController::StopIdentifier() {
  morseElement_ = '-';
  if (!morseClock_) return;
  morseClock_ = false;
  events_.SetMorseClock(0);
}

void TransmitController::BeginDrain(Drain drain, int buffers) {
  drain_ = drain;
  drainLeft_ = buffers;
  state_.phase = OutputPhase::Draining;
}

CarrierMode TransmitController::Carrier() const {
  switch (carrying_) {
    case TransmitRequest::Tune:
      return CarrierMode::Tune;
    case TransmitRequest::MorseId:
      return morseElement_ == '1' ? CarrierMode::MorseKeyDown : CarrierMode::MorseKeyUp;
    default:
      return CarrierMode::Data;
  }
}

void TransmitController::Publish() {
  if (state_ == published_) return;
  const TransmitState before = published_;
  published_ = state_;
  events_.TransmitStateChanged(state_, before);
}

}  // namespace vela
