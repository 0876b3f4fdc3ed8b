// Spots from the command line: the options that turn them on and say who and where we are,
// shared by scan and listen.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "net/SpotReporter.h"
#include "net/UdpSpotSink.h"
#include "scan/BandScanner.h"
#include "station/StationCore.h"

namespace vela::cli {

class Options;

// The options spots take, for the option lists.
inline constexpr const char* kSpotOptions[] = {"spot-to",  "call",   "locator", "dial",
                                               "sideband", "offset", "antenna"};

struct SpotSettings {
  net::HostPort to;
  net::ReceiverRecord receiver;
  net::Dial dial;
};

// --spot-to HOST:PORT --call CALL --locator LOC [--dial HZ] [--sideband usb|lsb] [--offset HZ]
// [--antenna TEXT]. Spots are on when `on` (listen --spot) or --spot-to is given; then --call
// and --locator must be, and --dial too when `needDial` (a recording). None when off;
// UsageError for anything wrong, spot options without spots included.
std::optional<SpotSettings> SpotOptions(const Options& opt, bool on, bool needDial);

// A reporter sending to the settings' server, its one-line notices on standard error. As a
// station core's subscriber it reports every station its scanners list, hear more of or drop
// (the reporter keeps each to once a band in a while).
class CliSpots : public StationSubscriber {
 public:
  explicit CliSpots(const SpotSettings& settings, net::ReporterConfig config = {});
  net::SpotReporter& reporter() { return *reporter_; }
  net::UdpSpotSink& sink() { return sink_; }
  // A station the scanner lists, heard `agoSeconds` before now.
  void Heard(const ScanSignal& signal, double agoSeconds);
  // A station a scanner lists, heard when the scanner had it (its input ending now).
  void Heard(const ScanSignal& signal, const BandScanner& scanner) {
    Heard(signal, scanner.seconds() - signal.lastHeard);
  }
  void SignalListed(const BandScanner& scanner, const ScanSignal& s) override { Heard(s, scanner); }
  void SignalChanged(const BandScanner& scanner, const ScanSignal& s) override {
    Heard(s, scanner);
  }
  void SignalDropped(const BandScanner& scanner, const ScanSignal& s) override {
    Heard(s, scanner);
  }
  // Notices and failures so far, on standard error.
  void Say();
  // The end of a live run: what is queued goes now, and a line says what was reported.
  void Finish();
  std::string Where() const;

 private:
  SpotSettings settings_;
  net::UdpSpotSink sink_;
  std::unique_ptr<net::SpotReporter> reporter_;
};

}  // namespace vela::cli
