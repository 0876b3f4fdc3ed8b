#include "station/StationDetails.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "coding/Modes.h"
#include "station/SafeFile.h"
#include "station/SettingLines.h"

namespace vela {

namespace {

bool Within(char c, char from, char to) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c >= from && c <= to;
}

std::optional<int64_t> Whole(const std::string& value, int64_t min, int64_t max) {
  int64_t n = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, n);
  if (value.empty() || ec != std::errc() || ptr != end || n < min || n > max) return std::nullopt;
  return n;
}

// "X,Y,WIDTH,HEIGHT", each within what any desktop holds; else none.
std::optional<WindowPlace> ReadPlace(const std::string& value) {
  constexpr int64_t kFar = 1000000;
  int64_t n[4] = {};
  size_t from = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = i < 3 ? value.find(',', from) : value.size();
    if (comma == std::string::npos) return std::nullopt;
    const auto whole = Whole(value.substr(from, comma - from), -kFar, kFar);
    if (!whole) return std::nullopt;
    n[i] = *whole;
    from = comma + 1;
  }
  if (n[2] <= 0 || n[3] <= 0) return std::nullopt;
  return WindowPlace{static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[2]),
                     static_cast<int>(n[3])};
}

// Why a line cannot be read, or nothing.
std::string ReadLine(const std::string& line, StationDetails& d) {
  const auto eq = line.find('=');
  if (eq == std::string::npos) return "\"" + line + "\" is not key=value";
  const std::string key = line.substr(0, eq);
  const std::string value = line.substr(eq + 1);
  constexpr int64_t kBig = std::numeric_limits<int64_t>::max() / 2;
  if (key == "locator") {
    if (!value.empty() && !IsLocator(value)) return "locator \"" + value + "\" is not a locator";
    d.locator = value;
  } else if (key == "antenna") {
    d.antenna = value;
  } else if (key == "dial" || key == "offset" || key == "reportid") {
    const auto n = key == "dial"     ? Whole(value, 0, kBig)
                   : key == "offset" ? Whole(value, -kBig, kBig)
                                     : Whole(value, 0, std::numeric_limits<uint32_t>::max());
    if (!n) return key + " \"" + value + "\" is not a whole number it takes";
    if (key == "dial") d.fixedDialHz = *n;
    if (key == "offset") d.converterOffsetHz = *n;
    if (key == "reportid") d.reportId = static_cast<uint32_t>(*n);
  } else if (key == "sideband") {
    if (value != "usb" && value != "lsb") return "sideband \"" + value + "\" is not usb or lsb";
    d.lowerSideband = value == "lsb";
  } else if (key == "spots" || key == "udp") {
    if (value != "on" && value != "off") return key + " \"" + value + "\" is not on or off";
    (key == "spots" ? d.reporting : d.loggerLink) = value == "on";
  } else if (key == "udpserver") {
    if (value.empty() || value.size() > 255) return "udpserver \"" + value + "\" is not HOST:PORT";
    d.loggerServer = value;
  } else if (key == "mode") {
    if (!value.empty() && !ParseMode(value)) return "mode \"" + value + "\" is not a mode";
    d.mode = value;
  } else if (key == "receiver") {
    if (value != "enhanced" && value != "standard")
      return "receiver \"" + value + "\" is not enhanced or standard";
    d.enhancedReceiver = value == "enhanced";
  } else if (key == "wfzoom" || key == "wfline" || key == "wfgain" || key == "wfrange") {
    WaterfallSettings w = d.waterfall;
    const auto n = Whole(value, -1000, 100000);
    int& field = key == "wfzoom"   ? w.zoom
                 : key == "wfline" ? w.lineSamples
                 : key == "wfgain" ? w.gainDb
                                   : w.rangeDb;
    if (n) field = static_cast<int>(*n);
    if (!n || !IsWaterfallSettings(w))
      return key + " \"" + value + "\" is not one of the waterfall's choices";
    d.waterfall = w;
  } else if (key == "txfollows") {
    if (value != "on" && value != "off") return "txfollows \"" + value + "\" is not on or off";
    d.transmitFollows = value == "on";
  } else if (key == "browser") {
    // Only where a window opens: one the file does not hold opens in its usual place, and
    // the station's details stand.
    d.browserPlace = ReadPlace(value);
  }
  return {};
}

}  // namespace

bool IsLocator(std::string_view t) {
  if (t.size() != 4 && t.size() != 6) return false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return Within(t[0], 'A', 'R') && Within(t[1], 'A', 'R') && digit(t[2]) && digit(t[3]) &&
         (t.size() == 4 || (Within(t[4], 'A', 'X') && Within(t[5], 'A', 'X')));
}

std::string FormatStationDetails(const StationDetails& d) {
  std::ostringstream out;
  out << "; VELA Terminal: station details (VELApreferences.INI holds the callsign)\n"
      << "locator=" << d.locator << "\nantenna=" << d.antenna << "\ndial=" << d.fixedDialHz
      << "\nsideband=" << (d.lowerSideband ? "lsb" : "usb") << "\noffset=" << d.converterOffsetHz
      << "\nreportid=" << d.reportId << "\nspots=" << (d.reporting ? "on" : "off")
      << "\nudp=" << (d.loggerLink ? "on" : "off") << "\nudpserver=" << d.loggerServer
      << "\nmode=" << d.mode << "\nreceiver=" << (d.enhancedReceiver ? "enhanced" : "standard")
      << "\ntxfollows=" << (d.transmitFollows ? "on" : "off") << "\nwfzoom=" << d.waterfall.zoom
      << "\nwfline=" << d.waterfall.lineSamples << "\nwfgain=" << d.waterfall.gainDb
      << "\nwfrange=" << d.waterfall.rangeDb << "\n";
  if (const auto& p = d.browserPlace) {
    const std::string place = std::to_string(p->x) + ',' + std::to_string(p->y) + ',' +
                              std::to_string(p->width) + ',' + std::to_string(p->height);
    if (ReadPlace(place) == p) out << "browser=" << place << "\n";
  }
  return out.str();
}

StationDetailsLoad ParseStationDetails(const std::string& text) {
  StationDetails d;
  const std::string why =
      ReadSettingLines(text, [&](const std::string& line) { return ReadLine(line, d); });
  if (!why.empty()) {
    StationDetailsLoad load;
    load.status = StationDetailsLoad::Status::Garbled;
    load.message = std::string(kStationFileName) + " is garbled (" + why +
                   "): the station details are back to none";
    return load;
  }
  return {d, StationDetailsLoad::Status::Read, {}};
}

StationDetailsLoad LoadStationDetails(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in.good() && !in.eof()) {
    StationDetailsLoad load;
    load.status = StationDetailsLoad::Status::Garbled;
    load.message =
        std::string(kStationFileName) + " cannot be read: the station details are back to none";
    return load;
  }
  return ParseStationDetails(bytes.str());
}

bool SaveStationDetails(const std::string& path, const StationDetails& details,
                        std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error != nullptr) {
      *error = "Could not save the station details to " + std::filesystem::absolute(path).string() +
               ": " + reason + ". The previous file is unchanged.";
    }
    return false;
  };
  const std::string text = FormatStationDetails(details);
  // A window's place the file cannot hold is left out; it opens in its usual place then.
  StationDetails read = ParseStationDetails(text).details;
  read.browserPlace = details.browserPlace;
  if (read != details)
    return fail(
        "the locator is not a locator, or the antenna or UDP server text holds a line break");
  std::string reason;
  return WriteFileSafely(path, text, &reason) || fail(reason);
}

}  // namespace vela
