#include "tx/BitSource.h"

#include <algorithm>
#include <cctype>

#include "coding/Varicode.h"

namespace vela {
namespace {

// Bits already handed out are dropped in chunks of this size, so that a beacon left
// running for weeks does not grow its buffer without bound.
constexpr size_t kTrimChunk = 4096;

}  // namespace

size_t BitSource::pendingBits() const {
  const size_t total = trimmed_ + bits_.size();
  return bitIndex_ < total ? total - bitIndex_ : 0;
}

void BitSource::AppendNextSecondary() {
  int c = -1;  // an empty text keeps sending character 223
  if (!secondary_.empty()) {
    ++secondaryIndex_;
    if (secondaryIndex_ > secondary_.size()) secondaryIndex_ = 1;
    c = std::toupper(static_cast<unsigned char>(secondary_[secondaryIndex_ - 1]));
  }
  bits_ += SecondaryCharacterBits(c);
}

size_t BitSource::CutOver(size_t throughBits) {
  const auto through = std::upper_bound(charEnds_.begin(), charEnds_.end(), throughBits);
  const auto count = static_cast<size_t>(through - charEnds_.begin());
  if (bitIndex_ < trimmed_ + bits_.size()) bits_.resize(bitIndex_ - trimmed_);
  ResetSentCount();
  return count;
}

int BitSource::NextDataBit() {
  if (clearRequest_) {
    bits_.clear();
    trimmed_ = 0;
    bitIndex_ = 0;
    sentCount_ = 0;
    charEnds_.clear();
    clearRequest_ = false;
  }
  if (pane_.size() > sentCount_) {
    ++sentCount_;
    bits_ += PrimaryCharacterBits(static_cast<uint8_t>(pane_[sentCount_ - 1]));
    charEnds_.push_back(trimmed_ + bits_.size());
  } else if (pane_.size() < sentCount_) {
    for (size_t i = pane_.size(); i < sentCount_; ++i) bits_ += kBackspaceBits;
    sentCount_ = pane_.size();
    charEnds_.resize(std::min(charEnds_.size(), sentCount_));
  }

  ++bitIndex_;
  const bool beyondEnd = bitIndex_ > trimmed_ + bits_.size();
  const int bit = beyondEnd ? 0 : (bits_[bitIndex_ - 1 - trimmed_] == '1' ? 1 : 0);
  if (beyondEnd) {
    if (beacon_) ResetSentCount();  // the beacon sends the whole pane again
    AppendNextSecondary();
  }

  if (bitIndex_ - trimmed_ > kTrimChunk) {
    const size_t drop = bitIndex_ - trimmed_;
    const size_t available = bits_.size() < drop ? bits_.size() : drop;
    bits_.erase(0, available);
    trimmed_ += available;
  }
  return bit;
}

}  // namespace vela
