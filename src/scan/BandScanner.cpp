#include "scan/BandScanner.h"

#include <algorithm>
#include <cmath>

#include "scan/Channelizer.h"

namespace vela {

namespace {

constexpr size_t kChunk = 1024;  // samples handled at a time: one capture buffer
// Symbols of the recent past a new trial hears first: the search window, the step between
// searches and the preamble, with room for a search or two that missed a weak signal.
constexpr int kReplaySymbols = 320;
// A trial is listed on its first frame with at least this sync confidence. Noise alone
// keeps the enhanced receiver's confidence near 0; a signal 3 dB over the receiver's
// threshold shows 40 and more from its second frame on.
constexpr int kListConfidence = 20;
constexpr int64_t kTrialFrames = 4;   // frames a trial has to show sync, past what it replays
constexpr int64_t kFadeFrames = 4;    // frames without sync before a listed signal is dropped
constexpr int64_t kRejectFrames = 8;  // frame periods a failed trial's place is left alone
constexpr size_t kMaxTrials = 8;
constexpr size_t kMaxListed = 32;
// Live: queued audio past which the search pauses, at which it resumes, and past which the
// oldest audio is thrown away (the receivers could not keep up either).
constexpr double kLagStopSeconds = 2.0;
constexpr double kLagResumeSeconds = 0.5;
constexpr double kLagDropSeconds = 60.0;

double SymbolRate(Mode mode) {
  return ModeTable(mode).symbolRate;
}

// The S/N in 2500 Hz below which no receiver copies a mode: a symbol energy 6 dB under the
// noise density, which leaves a rate-1/2 code under the Shannon limit. A trial that copies
// what measures weaker still is hearing a strong signal elsewhere through its receiver's
// alias bands.
double Unreadable(Mode mode) {
  return -6.0 + 10.0 * std::log10(SymbolRate(mode) / 2500.0);
}

int64_t SamplesPerSymbol(Mode mode) {
  return std::lround(kScanSampleRate / SymbolRate(mode));
}

// Two signals closer than the sum of their main lobes' half widths (three quarters of each
// symbol rate) cannot be told apart.
bool Overlap(Mode a, double fa, Mode b, double fb) {
  return std::abs(fa - fb) < 0.75 * (SymbolRate(a) + SymbolRate(b));
}

// A later sighting of the same signal: same mode, within a quarter symbol rate.
bool Same(Mode a, double fa, Mode b, double fb) {
  return a == b && std::abs(fa - fb) < 0.25 * SymbolRate(a);
}

}  // namespace

BandScanner::BandScanner(const ScanConfig& config, ScanEvents* events)
    : config_(config), events_(events) {
  int64_t replay = 0;
  for (Mode mode : config_.modes) {
    if (std::any_of(searches_.begin(), searches_.end(),
                    [&](const LineSearch& s) { return s.mode() == mode; }))
      continue;
    searches_.emplace_back(mode, config_.fromHz, config_.toHz);
    replay = std::max(replay, kReplaySymbols * SamplesPerSymbol(mode));
  }
  history_.assign(static_cast<size_t>(std::max<int64_t>(replay, 1)), 0);
}

BandScanner::~BandScanner() = default;

void BandScanner::Process(std::span<const int16_t> samples) {
  for (size_t at = 0; at < samples.size(); at += kChunk)
    Chunk(samples.subspan(at, std::min(kChunk, samples.size() - at)), true);
}

void BandScanner::Flush() {
  for (auto& copy : trials_) copy->Flush(position_);
  for (auto& copy : listed_) copy->Flush(position_);
  Review();
  Publish();
}

void BandScanner::Push(std::span<const int16_t> samples) {
  queue_.insert(queue_.end(), samples.begin(), samples.end());
}

double BandScanner::lagSeconds() const {
  return static_cast<double>(queue_.size() - queueStart_) / kScanSampleRate;
}

double BandScanner::unsearchedSeconds() const {
  return static_cast<double>(unsearched_) / kScanSampleRate;
}

double BandScanner::droppedSeconds() const {
  return static_cast<double>(droppedSamples_) / kScanSampleRate;
}

double BandScanner::seconds() const {
  return static_cast<double>(position_) / kScanSampleRate;
}

void BandScanner::Run(std::chrono::microseconds budget) {
  const auto deadline = std::chrono::steady_clock::now() + budget;
  do {
    const double lag = lagSeconds();
    if (lag > kLagDropSeconds) {
      const auto drop = static_cast<size_t>((lag - kLagDropSeconds) * kScanSampleRate);
      queueStart_ += drop;
      droppedSamples_ += static_cast<int64_t>(drop);
    }
    if (scanning_ && lag > kLagStopSeconds) {
      scanning_ = false;
      for (LineSearch& s : searches_) s.Reset();
    } else if (!scanning_ && lag < kLagResumeSeconds) {
      scanning_ = true;
    }
    const size_t n = std::min(kChunk, queue_.size() - queueStart_);
    if (n == 0) break;
    Chunk(std::span<const int16_t>(queue_).subspan(queueStart_, n), scanning_);
    queueStart_ += n;
  } while (std::chrono::steady_clock::now() < deadline);
  if (queueStart_ > queue_.size() / 2) {
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueStart_));
    queueStart_ = 0;
  }
}

void BandScanner::Chunk(std::span<const int16_t> samples, bool search) {
  for (size_t i = 0; i < samples.size(); ++i) {
    history_[static_cast<size_t>(position_ + static_cast<int64_t>(i)) % history_.size()] =
        samples[i];
  }
  for (auto& copy : trials_) copy->Process(samples, position_);
  for (auto& copy : listed_) copy->Process(samples, position_);
  if (search) {
    for (LineSearch& s : searches_) s.Process(samples, found_);
  } else {
    unsearched_ += static_cast<int64_t>(samples.size());
  }
  position_ += static_cast<int64_t>(samples.size());
  for (const LineCandidate& c : found_) Consider(c);
  found_.clear();
  Review();
  Publish();
}

SignalCopy* BandScanner::Near(std::vector<std::unique_ptr<SignalCopy>>& copies, Mode mode,
                              double centreHz, bool sameSignal) {
  for (auto& copy : copies) {
    const bool hit = sameSignal ? Same(copy->mode(), copy->centreHz(), mode, centreHz)
                                : Overlap(copy->mode(), copy->centreHz(), mode, centreHz);
    if (hit) return copy.get();
  }
  return nullptr;
}

void BandScanner::Consider(const LineCandidate& found) {
  if (SignalCopy* copy = Near(listed_, found.mode, found.centreHz, true)) {
    copy->Sighted(found);
    return;
  }
  if (Near(listed_, found.mode, found.centreHz, false) || found.snrDb < Unreadable(found.mode))
    return;
  if (SignalCopy* copy = Near(trials_, found.mode, found.centreHz, true)) {
    copy->Sighted(found);
    return;
  }
  for (const Rejected& r : rejected_) {
    if (r.until > position_ && Same(r.mode, r.centreHz, found.mode, found.centreHz)) return;
  }
  if (trials_.size() < kMaxTrials && listed_.size() < kMaxListed) StartTrial(found);
}

void BandScanner::StartTrial(const LineCandidate& found) {
  auto copy =
      std::make_unique<SignalCopy>(found, config_.sampleRate, config_.squelch, config_.textLimit);
  // The recent past first, so the trial copies the transmission from its start.
  const int64_t span = std::min<int64_t>({position_, kReplaySymbols * SamplesPerSymbol(found.mode),
                                          static_cast<int64_t>(history_.size())});
  std::vector<int16_t> block;
  for (int64_t at = position_ - span; at < position_; at += static_cast<int64_t>(kChunk)) {
    const int64_t end = std::min(position_, at + static_cast<int64_t>(kChunk));
    block.clear();
    for (int64_t i = at; i < end; ++i)
      block.push_back(history_[static_cast<size_t>(i) % history_.size()]);
    copy->Process(block, at);
  }
  copy->Mark();  // the frames heard again are free: the signal may have begun since
  trials_.push_back(std::move(copy));
  ++trialsStarted_;
}

int64_t BandScanner::FramePeriodSamples(Mode mode) const {
  return ModeTable(mode).frameLength * SamplesPerSymbol(mode);
}

void BandScanner::Review() {
  // The surest trials first: of two that show the same signal, the better one is listed.
  std::stable_sort(trials_.begin(), trials_.end(), [](const auto& a, const auto& b) {
    return a->bestConfidence() > b->bestConfidence();
  });
  for (size_t i = 0; i < trials_.size();) {
    SignalCopy& trial = *trials_[i];
    const bool taken = Near(listed_, trial.mode(), trial.centreHz(), false) != nullptr ||
                       trial.signal().snrDb < Unreadable(trial.mode());
    if (!taken && trial.bestConfidence() >= kListConfidence) {
      trial.SetId(nextId_++);
      listed_.push_back(std::move(trials_[i]));
      trials_.erase(trials_.begin() + static_cast<std::ptrdiff_t>(i));
      membershipChanged_ = true;
      if (events_) events_->SignalListed(listed_.back()->signal());
      continue;
    }
    if (taken || trial.framesSinceMark() >= kTrialFrames) {
      rejected_.push_back({trial.mode(), trial.centreHz(),
                           position_ + kRejectFrames * FramePeriodSamples(trial.mode())});
      trials_.erase(trials_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    ++i;
  }
  for (size_t i = 0; i < listed_.size();) {
    if (listed_[i]->framesWithoutSync() < kFadeFrames) {
      ++i;
      continue;
    }
    dropped_.push_back(listed_[i]->signal());
    listed_.erase(listed_.begin() + static_cast<std::ptrdiff_t>(i));
    membershipChanged_ = true;
    if (events_) events_->SignalDropped(dropped_.back());
  }
  std::erase_if(rejected_, [&](const Rejected& r) { return r.until <= position_; });
}

void BandScanner::Publish() {
  bool changed = membershipChanged_;
  membershipChanged_ = false;
  for (auto& copy : listed_) {
    if (!copy->TakeChanged()) continue;
    changed = true;
    if (events_) events_->SignalChanged(copy->signal());
  }
  if (!changed) return;
  signals_.clear();
  for (const auto& copy : listed_) signals_.push_back(copy->signal());
  std::sort(signals_.begin(), signals_.end(),
            [](const ScanSignal& a, const ScanSignal& b) { return a.centreHz < b.centreHz; });
  ++revision_;
}

std::vector<ScanMark> BandScanner::Marks() const {
  std::vector<ScanMark> marks;
  for (const ScanSignal& s : signals_) {
    const double tone = ModeTable(s.mode).toneOffset;
    marks.push_back({s.id, s.mode, s.centreHz, s.centreHz - tone, s.centreHz + tone});
  }
  return marks;
}

std::vector<ScanSignal> BandScanner::Heard() const {
  std::vector<ScanSignal> all = dropped_;
  all.insert(all.end(), signals_.begin(), signals_.end());
  std::sort(all.begin(), all.end(),
            [](const ScanSignal& a, const ScanSignal& b) { return a.centreHz < b.centreHz; });
  return all;
}

}  // namespace vela
