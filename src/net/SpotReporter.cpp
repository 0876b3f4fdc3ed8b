#include "net/SpotReporter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vela::net {

namespace {

constexpr size_t kRememberedCalls = 4096;

// The bands a call is counted once in; elsewhere each megahertz counts as one.
int Band(uint32_t hz) {
  static constexpr std::pair<uint32_t, uint32_t> kBands[] = {
      {135700, 137800},     {472000, 479000},      {1800000, 2000000},   {3500000, 4000000},
      {5250000, 5450000},   {7000000, 7300000},    {10100000, 10150000}, {14000000, 14350000},
      {18068000, 18168000}, {21000000, 21450000},  {24890000, 24990000}, {28000000, 29700000},
      {50000000, 54000000}, {144000000, 148000000}};
  for (size_t i = 0; i < std::size(kBands); ++i) {
    if (hz >= kBands[i].first && hz <= kBands[i].second) return static_cast<int>(i);
  }
  return 1000 + static_cast<int>(hz / 1000000);
}

}  // namespace

std::optional<uint32_t> RfFrequency(const Dial& dial, double audioHz) {
  if (!dial.hz || !std::isfinite(audioHz)) return std::nullopt;
  const double audio = dial.sideband == Sideband::Usb ? audioHz : -audioHz;
  const double rf = static_cast<double>(*dial.hz) + static_cast<double>(dial.offsetHz) + audio;
  if (rf < 1.0 || rf > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return static_cast<uint32_t>(std::lround(rf));
}

SpotReporter::SpotReporter(ReceiverRecord receiver, uint32_t observationDomain, DatagramSink& sink,
                           Clock clock, ReporterConfig config)
    : receiver_(std::move(receiver)),
      encoder_(observationDomain),
      sink_(sink),
      clock_(std::move(clock)),
      config_(config) {}

void SpotReporter::SetDial(const Dial& dial) {
  dial_ = dial;
  if (dial_.hz) dialUnknownSaid_ = false;
}

void SpotReporter::SetTransmitting(bool on) {
  transmitting_ = on;
}

void SpotReporter::Notice(bool& said, bool now, const std::string& text) {
  if (now && !said) notices_.push_back(text);
  said = now;
}

void SpotReporter::Heard(const HeardStation& s) {
  if (transmitting_ || s.call.empty()) return;
  const std::optional<uint32_t> rf = RfFrequency(dial_, s.audioHz);
  if (!rf) {
    Notice(dialUnknownSaid_, true,
           "spots: the dial frequency is unknown, so no station is reported until it is known");
    return;
  }
  const auto key = std::make_pair(s.call, Band(*rf));
  const auto last = lastQueued_.find(key);
  if (last != lastQueued_.end() && std::abs(s.when - last->second) < config_.repeatAfter.count())
    return;
  // A station left on for weeks hears many calls: those long gone are forgotten.
  if (lastQueued_.size() >= kRememberedCalls) {
    std::erase_if(lastQueued_, [&](const auto& entry) {
      return std::abs(s.when - entry.second) >= config_.repeatAfter.count();
    });
  }
  lastQueued_[key] = s.when;
  if (queue_.size() >= config_.queueLimit) {
    queue_.pop_front();
    ++dropped_;
  }
  SenderRecord record;
  record.callsign = s.call;
  record.frequencyHz = *rf;
  record.snrDb = static_cast<int>(std::lround(std::clamp(s.snrDb, -128.0, 127.0)));
  record.mode = std::string(ModeTable(s.mode).name);
  record.heard = static_cast<uint32_t>(s.when);
  queue_.push_back(std::move(record));
}

void SpotReporter::Poll() {
  const int64_t now = clock_();
  if (queue_.empty() || transmitting_) return;
  if (lastAttempt_ && now - *lastAttempt_ < config_.interval.count()) return;
  Send(now);
}

void SpotReporter::Flush() {
  if (!queue_.empty() && !transmitting_) Send(clock_());
}

void SpotReporter::Send(int64_t now) {
  lastAttempt_ = now;
  const std::vector<SenderRecord> batch(queue_.begin(), queue_.end());
  size_t done = 0;
  while (done < batch.size()) {
    const bool templates = templatesSent_ < config_.templateDatagrams || !lastTemplates_ ||
                           now - *lastTemplates_ >= config_.templateInterval.count();
    SpotEncoder trial = encoder_;
    size_t taken = 0;
    const std::vector<uint8_t> message = trial.Message(
        receiver_, std::span(batch).subspan(done), templates, static_cast<uint32_t>(now), &taken);
    if (!sink_.Send(message)) {
      Notice(downSaid_, true,
             "spots: the report could not be sent; stations heard are kept until it can");
      break;
    }
    Notice(downSaid_, false, {});
    encoder_ = trial;
    if (templates) {
      ++templatesSent_;
      lastTemplates_ = now;
    }
    for (size_t i = done; i < done + taken; ++i) sentCalls_.insert(batch[i].callsign);
    done += taken;
    reported_ += static_cast<int64_t>(taken);
    ++datagrams_;
    lastSent_ = now;
  }
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(done));
}

}  // namespace vela::net
