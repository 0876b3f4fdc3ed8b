#include "cli/Spots.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "cli/Options.h"
#include "coding/Callsign.h"
#include "station/StationDetails.h"

namespace vela::cli {

std::optional<SpotSettings> SpotOptions(const Options& opt, bool on, bool needDial) {
  on = on || opt.Has("spot-to");
  if (!on) {
    for (const char* name : kSpotOptions) {
      if (opt.Has(name))
        throw UsageError(std::string("--") + name + " goes with --spot-to" +
                         (needDial ? "" : " or --spot"));
    }
    return std::nullopt;
  }
  SpotSettings s;
  const std::string to = opt.Get("spot-to").value_or(std::string(net::kReportHost) + ":" +
                                                     std::to_string(net::kReportPort));
  const auto hostPort = net::ParseHostPort(to);
  if (!hostPort) throw UsageError("--spot-to takes HOST:PORT, not \"" + to + "\"");
  s.to = *hostPort;
  const auto call = opt.Get("call");
  if (!call || !IsCallsign(*call)) throw UsageError("spots need --call with our callsign");
  const auto locator = opt.Get("locator");
  if (!locator || !IsLocator(*locator))
    throw UsageError("spots need --locator with a 4- or 6-character Maidenhead locator");
  std::string upper = *call;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  s.receiver = {upper, *locator, net::DecoderSoftware(), opt.Get("antenna").value_or("")};
  if (opt.Has("dial")) {
    s.dial.hz = static_cast<int64_t>(std::llround(opt.Number("dial", 0.0, 1.0, 4.0e9)));
  } else if (needDial) {
    throw UsageError("spots of a recording need --dial with the dial frequency in Hz");
  }
  const std::string sideband = opt.Get("sideband").value_or("usb");
  if (sideband != "usb" && sideband != "lsb")
    throw UsageError("--sideband takes usb or lsb, not \"" + sideband + "\"");
  s.dial.sideband = sideband == "usb" ? net::Sideband::Usb : net::Sideband::Lsb;
  s.dial.offsetHz = static_cast<int64_t>(std::llround(opt.Number("offset", 0.0, -4.0e9, 4.0e9)));
  return s;
}

CliSpots::CliSpots(const SpotSettings& settings, net::ReporterConfig config)
    : settings_(settings), sink_(settings.to.host, settings.to.port) {
  reporter_ = std::make_unique<net::SpotReporter>(settings.receiver, net::NewObservationDomain(),
                                                  sink_, net::UnixSeconds, config);
  reporter_->SetDial(settings.dial);
}

void CliSpots::Heard(const ScanSignal& s, double agoSeconds) {
  if (s.call.empty()) return;
  reporter_->Heard({s.call, s.mode, s.centreHz, s.snrDb,
                    net::UnixSeconds() - static_cast<int64_t>(std::lround(agoSeconds))});
}

void CliSpots::Finish() {
  reporter_->Flush();
  Say();
  std::fprintf(stderr, "vela-modem: %lld stations reported to %s",
               static_cast<long long>(reporter_->reported()), Where().c_str());
  if (reporter_->queued() > 0 || reporter_->dropped() > 0) {
    std::fprintf(stderr, "; %lld not sent (%s)",
                 static_cast<long long>(reporter_->queued()) + reporter_->dropped(),
                 sink_.error().c_str());
  }
  std::fprintf(stderr, "\n");
}

std::string CliSpots::Where() const {
  return settings_.to.host + ":" + std::to_string(settings_.to.port);
}

void CliSpots::Say() {
  for (const std::string& line : reporter_->TakeNotices()) {
    std::fprintf(stderr, "vela-modem: %s%s\n", line.c_str(),
                 sink_.error().empty() ? "" : (" (" + sink_.error() + ")").c_str());
  }
}

}  // namespace vela::cli
