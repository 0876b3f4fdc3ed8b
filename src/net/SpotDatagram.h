// Spots as the reception-report service takes them: IPFIX messages (RFC 7011) over UDP, with
// the service's information elements (enterprise 30351). Every message holds one receiver
// record (who heard: our call, locator, software, antenna) and as many sender records
// (who was heard: call, RF frequency, S/N, mode, when) as fit in one datagram. The two
// templates that describe those records go with the first messages and again now and then
// (the collector forgets them, and UDP loses some).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vela::net {

// Larger datagrams risk being cut up on the way.
inline constexpr size_t kMaxDatagramBytes = 1400;

struct ReceiverRecord {
  std::string callsign;
  std::string locator;
  std::string software;  // "VELA Terminal 0.1"
  std::string antenna;
};

struct SenderRecord {
  std::string callsign;
  uint32_t frequencyHz = 0;  // RF
  int snrDb = 0;             // in 2500 Hz, whole dB (-128..127 kept)
  std::string mode;          // "VELA31"
  uint32_t heard = 0;        // UNIX seconds
};

// "VELA Terminal" and its version, as the receiver record names the decoding software.
std::string DecoderSoftware();

class SpotEncoder {
 public:
  explicit SpotEncoder(uint32_t observationDomain) : domain_(observationDomain) {}

  // One message: the receiver record and the first of `senders` that fit, templates first
  // when asked. `taken` says how many senders went in (at least one when any are given).
  std::vector<uint8_t> Message(const ReceiverRecord& receiver,
                               std::span<const SenderRecord> senders, bool templates,
                               uint32_t exportTime, size_t* taken);

  uint32_t sequence() const { return sequence_; }  // data records sent so far

 private:
  uint32_t domain_;
  uint32_t sequence_ = 0;
};

}  // namespace vela::net
