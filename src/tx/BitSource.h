// Where the transmitted bits come from: the transmit pane's text through the varicode,
// with deletions sent as backspaces, and the secondary text filling every idle moment.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vela {

class BitSource {
 public:
  // The transmit pane's whole text, as bytes. The owner keeps it current; it is read
  // afresh for every data bit.
  void SetPaneText(std::string text) { pane_ = std::move(text); }
  const std::string& paneText() const { return pane_; }

  // The pane was cleared: drop every bit not yet handed out.
  void RequestClear() { clearRequest_ = true; }

  void SetBeacon(bool on) { beacon_ = on; }
  bool beacon() const { return beacon_; }

  void SetSecondaryText(std::string text) { secondary_ = std::move(text); }
  const std::string& secondaryText() const { return secondary_; }

  // A transmission has ended; the pane is about to be emptied without backspaces.
  void ResetSentCount() {
    sentCount_ = 0;
    charEnds_.clear();
  }
  size_t sentCount() const { return sentCount_; }

  // The next varicode bit, 0 or 1.
  int NextDataBit();
  // Bits handed out since the start of the run.
  size_t bitsHandedOut() const { return bitIndex_; }

  // The operator cut an over short, when the first `throughBits` bits handed out had
  // reached the far station whole. Every bit not handed out is dropped and the sent count
  // starts again; returns how many of the pane's characters converted since the over
  // began were wholly among those bits (the rest of the pane is still to be sent).
  size_t CutOver(size_t throughBits);

  // Bits produced but not yet handed out (for tests and the memory bound).
  size_t pendingBits() const;
  size_t storedBits() const { return bits_.size(); }

 private:
  void AppendNextSecondary();

  std::string pane_;
  size_t sentCount_ = 0;
  // Where each pane character converted since the sent count last started ends, in bits
  // handed out since the start of the run.
  std::vector<size_t> charEnds_;
  std::string bits_;     // the bit buffer, less what has been trimmed off its front
  size_t trimmed_ = 0;   // bits already handed out and dropped from bits_
  size_t bitIndex_ = 0;  // 1-based position of the last bit handed out
  bool clearRequest_ = false;
  bool beacon_ = false;
  std::string secondary_;
  size_t secondaryIndex_ = 0;  // 1-based position of the last secondary character used
};

}  // namespace vela
