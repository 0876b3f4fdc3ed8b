#include "station/StationCore.h"

#include <algorithm>
#include <utility>

#include "tx/BitSource.h"

namespace vela {

StationCore::StationCore(AudioOutputDevice& output, StationHost& host)
    : host_(host), modem_(*this), transmit_(output, *this, *this) {}

StationCore::StationCore() : host_(noHost_), modem_(*this), transmit_(noOutput_, *this, *this) {}

void StationCore::Subscribe(StationSubscriber& subscriber) {
  if (std::find(subscribers_.begin(), subscribers_.end(), &subscriber) == subscribers_.end()) {
    subscribers_.push_back(&subscriber);
  }
}

void StationCore::Unsubscribe(StationSubscriber& subscriber) {
  std::erase(subscribers_, &subscriber);
}

void StationCore::SendText(std::string text, int tailFrames) {
  // The controller sends the preamble itself, so the text starts with its first frame.
  text_ = std::make_unique<TextTransmission>(modem_, std::move(text), tailFrames, 0);
  textDone_ = false;
}

void StationCore::DialRead(const std::optional<DialReading>& dial) {
  if (dial == dial_) return;
  dial_ = dial;
  Publish([&](StationSubscriber& s) { s.DialChanged(dial_); });
}

// ---- Band scanners ----

BandScanner& StationCore::AddScanner(const ScanConfig& config, std::chrono::microseconds budget) {
  scanners_.push_back(std::make_unique<Scanner>(*this, config, budget));
  return scanners_.back()->scanner;
}

void StationCore::RemoveScanner(const BandScanner& scanner) {
  std::erase_if(scanners_, [&](const auto& s) { return &s->scanner == &scanner; });
}

void StationCore::RunScanners() {
  for (const auto& entry : scanners_) {
    BandScanner& scanner = entry->scanner;
    scanner.Run(entry->budget);
    Publish([&](StationSubscriber& s) { s.ScannerRan(scanner); });
  }
}

// ---- What the receiver hears ----

void StationCore::CaptureSamples(std::span<const int16_t> samples) {
  if (!transmit_.state().onAir()) {
    for (const auto& s : scanners_) s->scanner.Push(samples);
  }
  if (!mainReceiver_) {
    Publish([&](StationSubscriber& s) { s.Captured(samples); });
    return;
  }
  modem_.ProcessSamples(samples);
  stats_.syncPeak = modem_.syncPeak();
  stats_.syncLocation = modem_.syncLocation();
  Publish([&](StationSubscriber& s) { s.Captured(samples); });
  Publish([this](StationSubscriber& s) { s.BufferHeard(stats_); });
  stats_.level.reset();
  stats_.confidence.reset();
  stats_.eye.clear();
}

void StationCore::SpectrumStep(std::span<const int16_t> samples) {
  Publish([&](StationSubscriber& s) { s.SpectrumStep(samples); });
}

void StationCore::CaptureError(const std::string& text) {
  Publish([&](StationSubscriber& s) { s.CaptureError(text); });
}

void StationCore::RxChar(uint8_t c) {
  Publish([c](StationSubscriber& s) { s.RxChar(c); });
}

void StationCore::SecondaryChar(uint8_t c) {
  Publish([c](StationSubscriber& s) { s.SecondaryChar(c); });
}

void StationCore::EchoChar(uint8_t c) {
  if (text_) text_->EchoChar(c);
  Publish([c](StationSubscriber& s) { s.EchoChar(c); });
}

void StationCore::EyeStep(int subSymbol, long double phaseStep) {
  stats_.eye.push_back({subSymbol, phaseStep});
}

void StationCore::LevelBar(int signalLevel) {
  stats_.level = signalLevel;
}

void StationCore::ConfidenceBar(int value) {
  stats_.confidence = value;
}

void StationCore::CorrelationRow(int row, std::span<const float> correlationPerOffset) {
  Publish([&](StationSubscriber& s) { s.CorrelationRow(row, correlationPerOffset); });
}

void StationCore::FrameProcessed(const FrameReport& report) {
  Publish([&](StationSubscriber& s) { s.FrameProcessed(report); });
}

// ---- What the transmitter sends ----

SourceSymbol StationCore::NextSymbol() {
  markerEchoed_ = false;
  if (!text_) {
    const int symbol = modem_.NextSymbol();
    return {symbol, std::exchange(markerEchoed_, false)};
  }
  if (const auto symbol = text_->NextSymbol()) return {*symbol, false};
  if (!textDone_) {
    textDone_ = true;
    Publish([](StationSubscriber& s) { s.TextSent(); });
  }
  return {1, false};  // key-up carrier until the over is ended
}

void StationCore::OverCut(int64_t unplayedSymbols) {
  // A whole text ends when it is out; only the pane's over is cut short.
  if (text_) return;
  const auto sent = static_cast<int>(modem_.CutOver(unplayedSymbols));
  Publish([sent](StationSubscriber& s) { s.OverCut(sent); });
}

void StationCore::SetBeacon(bool on) {
  modem_.bitSource().SetBeacon(on);
}

void StationCore::TransmitStateChanged(const TransmitState& now, const TransmitState& before) {
  Publish([&](StationSubscriber& s) { s.TransmitStateChanged(now, before); });
}

void StationCore::TransmitPaneSent() {
  Publish([](StationSubscriber& s) { s.TransmitPaneSent(); });
}

void StationCore::TransmitFailed(TransmitProblem problem, const std::string& detail) {
  Publish([&](StationSubscriber& s) { s.TransmitFailed(problem, detail); });
}

}  // namespace vela
