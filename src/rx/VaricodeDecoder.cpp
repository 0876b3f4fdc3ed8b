#include "rx/VaricodeDecoder.h"

#include <array>

#include "coding/Varicode.h"
#include "rx/ReceivePane.h"

namespace vela {
namespace {

// Every code is at most 12 bits long, so a 4096-entry map finds it by value.
const std::array<int16_t, 4096>& EntryByValue() {
  static const std::array<int16_t, 4096> map = [] {
    std::array<int16_t, 4096> m{};
    m.fill(-1);
    const auto& values = VaricodeValues();
    // Ascending order, keeping the first entry with a value (values are unique anyway).
    for (int i = kVaricodeEntries - 1; i >= 0; --i)
      m[values[static_cast<size_t>(i)]] = static_cast<int16_t>(i);
    return m;
  }();
  return map;
}

// The echo text is searched for the marker after every character; only its most recent
// part is kept, which gives the same answer for any marker shorter than this.
constexpr size_t kEchoTextKept = 4096;

}  // namespace

int VaricodeEntryForValue(uint32_t value) {
  return value < 4096 ? EntryByValue()[value] : -1;
}

void VaricodeRxDecoder::Bit(int bit, bool squelchOpen, bool paused, TextEvents& events) {
  accumulator_ = accumulator_ * 2 + (bit > 0 ? 1U : 0U);
  if ((accumulator_ & 3U) != 0) return;
  const int entry = VaricodeEntryForValue(accumulator_ >> 2);
  accumulator_ = 0;
  if (entry < 0) return;
  if (entry < kFirstSecondaryEntry) {
    if (squelchOpen && !paused) events.RxChar(static_cast<uint8_t>(entry));
  } else if (squelchOpen) {
    events.SecondaryChar(static_cast<uint8_t>(entry - kSecondaryBase));
  }
}

void VaricodeEchoDecoder::Bit(int bit, TextEvents& events) {
  if (skip_ > 0) {
    --skip_;
    return;
  }
  accumulator_ = accumulator_ * 2 + (bit > 0 ? 1U : 0U);
  if ((accumulator_ & 3U) != 0) return;
  const int entry = VaricodeEntryForValue(accumulator_ >> 2);
  accumulator_ = 0;
  if (entry >= 0 && entry < kFirstSecondaryEntry) Echo(static_cast<uint8_t>(entry), events);
}

void VaricodeEchoDecoder::Echo(uint8_t c, TextEvents& events) {
  events.EchoChar(c);
  echoText_ += static_cast<char>(PaneCharacter(c));
  if (!marker_.empty() && echoText_.find(marker_) != std::string::npos) {
    echoText_.clear();
    events.EndMarkerEchoed();
    return;
  }
  if (echoText_.size() > 2 * kEchoTextKept) echoText_.erase(0, echoText_.size() - kEchoTextKept);
}

void VaricodeEchoDecoder::SetEndMarker(std::string marker) {
  marker_ = std::move(marker);
}

}  // namespace vela
