#include "scan/SignalCopy.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "coding/Callsign.h"
#include "rx/FrameReceiver.h"
#include "rx/ReceivePane.h"
#include "rx/SyncConfidence.h"
#include "scan/Channelizer.h"

namespace vela {

namespace {

void Keep(std::string& text, size_t limit) {
  if (limit > 0 && text.size() > 2 * limit) text.erase(0, text.size() - limit);
}

constexpr size_t kCallSpan = 128;  // secondary characters the callsign is read from
constexpr size_t kDeSpan = 40;     // text a "de CALL" is looked for in, back from a break
// A frame counts as heard when its sync confidence is above the squelch and its code
// symbols' soft values average at least this much (a log-likelihood ratio: the symbols are
// mostly sure). Once a transmission has ended, the sync search's carried-over correlation
// holds the confidence up for a few frames while the soft values collapse to guesswork:
// on noise they average up to about 1.5 (the known symbols' tied rails lift them), on a
// signal 3 dB over the 1% threshold 8 and more.
constexpr double kHeardSoftValue = 3.0;

}  // namespace

SignalCopy::SignalCopy(const LineCandidate& found, long double sampleRate, int squelch,
                       size_t textLimit)
    : receiver_(std::make_unique<EnhancedReceiver>()), squelch_(squelch), textLimit_(textLimit) {
  signal_.mode = found.mode;
  Sighted(found);
  receiver_->Configure({found.mode, sampleRate, static_cast<long double>(signal_.centreHz)});
}

void SignalCopy::Process(std::span<const int16_t> samples, int64_t start) {
  position_ = start + static_cast<int64_t>(samples.size());
  receiver_->Process(samples, *this);
}

void SignalCopy::Flush(int64_t end) {
  position_ = end;
  receiver_->Flush(*this);
}

void SignalCopy::Sighted(const LineCandidate& found) {
  // Later sightings weigh by their strength: the estimate settles on the clearest windows.
  const double w = std::max(found.strength, 1.0);
  weight_ += w;
  centreSum_ += w * found.centreHz;
  snrPowerSum_ += w * std::pow(10.0, found.snrDb / 10.0);
  const double centre = centreSum_ / weight_;
  const double snr = 10.0 * std::log10(snrPowerSum_ / weight_);
  if (centre != signal_.centreHz || snr != signal_.snrDb) changed_ = true;
  signal_.centreHz = centre;
  signal_.snrDb = snr;
}

bool SignalCopy::TakeChanged() {
  const bool was = changed_;
  changed_ = false;
  return was;
}

double SignalCopy::AirSeconds() const {
  const double symbols = receiver_->Latency();
  const double held = symbols * kScanSampleRate / ModeTable(signal_.mode).symbolRate;
  return std::max(0.0, (static_cast<double>(position_) - held) / kScanSampleRate);
}

void SignalCopy::Frame(const FrameResult& frame) {
  const int confidence = SyncConfidence(frame.syncPeak);
  double soft = 0.0;
  for (float v : frame.coded) soft += std::abs(v);
  soft /= static_cast<double>(std::max<size_t>(1, frame.coded.size()));
  squelchOpen_ = SquelchOpen(confidence, squelch_) && soft >= kHeardSoftValue;
  ++signal_.frames;
  if (squelchOpen_) {
    bestConfidence_ = std::max(bestConfidence_, confidence);
    const double now = AirSeconds();
    if (signal_.syncFrames == 0) signal_.firstHeard = now;
    signal_.lastHeard = now;
    ++signal_.syncFrames;
    confidenceSum_ += confidence;
    signal_.confidence = static_cast<int>(confidenceSum_ / signal_.syncFrames);
    framesWithoutSync_ = 0;
  } else {
    ++framesWithoutSync_;
  }
  changed_ = true;
}

void SignalCopy::DecodedBit(int bit) {
  decoder_.Bit(bit, squelchOpen_, false, *this);
}

void SignalCopy::RxChar(uint8_t c) {
  ApplyToPane(signal_.text, c);
  Keep(signal_.text, textLimit_);
  // A break may complete a "de CALL": the call sent in the text, for a station whose
  // secondary text is no call.
  if (!std::isalnum(c) && c != '/') {
    const std::string_view all = signal_.text;
    std::string call = CallAfterDe(all.substr(all.size() - std::min(all.size(), kDeSpan)));
    if (!call.empty()) textCall_ = std::move(call);
    UpdateCall();
  }
  changed_ = true;
}

void SignalCopy::UpdateCall() {
  signal_.call = secondaryCall_.empty() ? textCall_ : secondaryCall_;
}

void SignalCopy::SecondaryChar(uint8_t c) {
  signal_.secondary.push_back(static_cast<char>(c));
  Keep(signal_.secondary, textLimit_);
  // The latest part alone: a new station taking over the frequency shows its own call.
  const std::string_view all = signal_.secondary;
  secondaryCall_ = CallFromSecondary(all.substr(all.size() - std::min(all.size(), kCallSpan)));
  UpdateCall();
  changed_ = true;
}

}  // namespace vela
