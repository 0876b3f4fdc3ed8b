// vela-modem log: one QSO into the station's ADIF log (and to a logger over UDP), by the same
// code the window logs with.
#include <QCoreApplication>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/UdpOption.h"
#include "station/Logbook.h"
#include "station/SettingsFolder.h"

namespace vela::cli {

namespace {

using std::chrono::system_clock;

// "2026-12-09T14:05", "2026-12-09 14:05:30" or with a trailing Z: always UTC.
std::optional<system_clock::time_point> ParseUtc(const std::string& text) {
  std::tm tm{};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  char sep = 0;
  int used = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &year, &month, &day, &sep,
                            &hour, &minute, &used);
  if (n != 6 || (sep != 'T' && sep != ' ')) return std::nullopt;
  std::string rest = text.substr(static_cast<size_t>(used));
  if (rest.size() >= 3 && rest[0] == ':') {
    int more = 0;
    if (std::sscanf(rest.c_str(), ":%2d%n", &second, &more) != 1) return std::nullopt;
    rest = rest.substr(static_cast<size_t>(more));
  }
  if (!rest.empty() && rest != "Z") return std::nullopt;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
      year < 1900) {
    return std::nullopt;
  }
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  const std::time_t t = timegm(&tm);
  if (tm.tm_mday != day) return std::nullopt;  // 31 April and the like
  return system_clock::from_time_t(t);
}

}  // namespace

int RunLog(int argc, char** argv) {
  const Options opt(argc, argv, 2,
                    {"my-call", "my-grid", "call", "freq", "mode", "rst-sent", "rst-rcvd", "name",
                     "qth", "grid", "comment", "time-on", "adif", "udp"},
                    {});
  if (!opt.positional().empty())
    throw UsageError("unexpected argument \"" + opt.positional()[0] + "\"");
  if (!opt.Has("call")) throw UsageError("log needs --call, the station worked");
  if (!opt.Has("my-call")) throw UsageError("log needs --my-call, your own call");
  const auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  QsoRecord record;
  record.call = upper(*opt.Get("call"));
  record.stationCallsign = upper(*opt.Get("my-call"));
  record.myGrid = opt.Get("my-grid").value_or("");
  record.frequencyHz = opt.Number("freq", 0.0, 1.0, 1e12);
  record.submode = std::string(ModeTable(opt.ModeOption()).name);
  record.rstSent = opt.Get("rst-sent").value_or("");
  record.rstReceived = opt.Get("rst-rcvd").value_or("");
  record.name = opt.Get("name").value_or("");
  record.qth = opt.Get("qth").value_or("");
  record.grid = opt.Get("grid").value_or("");
  record.comment = opt.Get("comment").value_or("");
  record.timeOff = system_clock::now();
  record.timeOn = record.timeOff;
  if (const auto on = opt.Get("time-on")) {
    const auto parsed = ParseUtc(*on);
    if (!parsed) {
      throw UsageError("--time-on takes a UTC time as 2026-12-09T14:05[:SS][Z], not \"" + *on +
                       "\"");
    }
    record.timeOn = *parsed;
  }
  if (const auto problem = CheckRecord(record)) throw UsageError("log: " + *problem);

  std::optional<QCoreApplication> app;
  int qtArgc = 1;
  if (opt.Has("udp") && !QCoreApplication::instance()) app.emplace(qtArgc, argv);
  const std::unique_ptr<UdpMessages> udp = OpenUdpOption(opt);

  const std::string path =
      opt.Get("adif").value_or(SettingsFolder(".", ConfigHome()) + "/" + kQsoLogFileName);
  Logbook logbook(path);
  const Logbook::OpenResult open = logbook.Open();
  if (!open.ok) throw IoError(open.message);
  if (!open.message.empty()) std::fprintf(stderr, "vela-modem: %s\n", open.message.c_str());
  std::string error;
  if (!logbook.Append(record, &error)) throw IoError("QSO not logged: " + error);
  std::printf("logged %s in %s\n", record.call.c_str(), path.c_str());

  if (udp) {
    udp->SendLogged(record);
    try {
      FinishUdp(*udp);
    } catch (const IoError& e) {
      throw IoError(std::string("QSO logged in ") + path + ", but not told over UDP: " + e.what());
    }
  }
  return 0;
}

}  // namespace vela::cli
