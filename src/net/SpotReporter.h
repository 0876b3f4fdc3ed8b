// Reporting the stations heard to the reception-report service, politely: a datagram at
// most every few minutes holding everything heard since, each call at most once per band
// in a few minutes, nothing while we transmit (what the receiver hears then is our own
// signal), and nothing while the dial is unknown (the RF frequency would be wrong). While
// the network is down the reports wait in a bounded queue, the oldest giving way. Nothing
// here waits: the sink takes a datagram or says it could not.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "coding/Modes.h"
#include "net/SpotDatagram.h"

namespace vela::net {

enum class Sideband { Usb, Lsb };

// How an audio frequency maps onto the air.
struct Dial {
  std::optional<int64_t> hz;  // unknown without CAT or a fixed dial setting
  Sideband sideband = Sideband::Usb;
  int64_t offsetHz = 0;  // a converter's or transverter's, added to the dial
};

// Dial plus audio on upper sideband, minus on lower, plus the offset; none while the dial
// is unknown or the result would not be a frequency.
std::optional<uint32_t> RfFrequency(const Dial& dial, double audioHz);

struct HeardStation {
  std::string call;
  Mode mode = kDefaultMode;
  double audioHz = 0.0;
  double snrDb = 0.0;  // in 2500 Hz
  int64_t when = 0;    // UNIX seconds
};

class DatagramSink {
 public:
  virtual ~DatagramSink() = default;
  // False when the datagram could not go (no network, no address yet).
  virtual bool Send(std::span<const uint8_t> datagram) = 0;
};

struct ReporterConfig {
  std::chrono::seconds interval{300};     // between datagrams; shorter only in tests
  std::chrono::seconds repeatAfter{300};  // before the same call on the same band again
  std::chrono::seconds templateInterval{3600};
  int templateDatagrams = 3;  // the first ones all carry the templates
  size_t queueLimit = 2000;   // spots held while the network is down
};

class SpotReporter {
 public:
  using Clock = std::function<int64_t()>;  // UNIX seconds

  SpotReporter(ReceiverRecord receiver, uint32_t observationDomain, DatagramSink& sink, Clock clock,
               ReporterConfig config = {});

  void SetDial(const Dial& dial);
  void SetTransmitting(bool on);
  // A station heard with its call: queued unless reported lately, transmitting or the dial
  // unknown.
  void Heard(const HeardStation& station);
  // Sends what is due; call it often (a timer).
  void Poll();
  // Sends all that is queued now, interval or not (the end of a recording or of the run).
  void Flush();

  int64_t reported() const { return reported_; }    // sender records sent
  int64_t datagrams() const { return datagrams_; }  // datagrams sent
  int64_t dropped() const { return dropped_; }      // spots lost to a full queue
  size_t queued() const { return queue_.size(); }
  std::optional<int64_t> lastDatagram() const { return lastSent_; }  // UNIX seconds
  // True once a spot of `call` has gone out (the signal list marks those).
  bool WasReported(const std::string& call) const { return sentCalls_.count(call) > 0; }
  // One line for the operator each time the dial becomes unknown or the network fails.
  std::vector<std::string> TakeNotices() { return std::exchange(notices_, {}); }

 private:
  void Send(int64_t now);
  void Notice(bool& said, bool now, const std::string& text);

  ReceiverRecord receiver_;
  SpotEncoder encoder_;
  DatagramSink& sink_;
  Clock clock_;
  ReporterConfig config_;
  Dial dial_;
  bool transmitting_ = false;
  std::deque<SenderRecord> queue_;
  std::map<std::pair<std::string, int>, int64_t> lastQueued_;  // call and band: when heard
  std::set<std::string> sentCalls_;
  std::optional<int64_t> lastSent_;     // the last datagram that went
  std::optional<int64_t> lastAttempt_;  // the last time one was tried
  std::optional<int64_t> lastTemplates_;
  int templatesSent_ = 0;
  int64_t reported_ = 0, datagrams_ = 0, dropped_ = 0;
  bool dialUnknownSaid_ = false, downSaid_ = false;
  std::vector<std::string> notices_;
};

}  // namespace vela::net
