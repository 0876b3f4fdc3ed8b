#include "rig/RigSettings.h"

#include <array>
#include <charconv>
#include <utility>

namespace vela {

namespace {

constexpr std::array<std::pair<PttMethod, const char*>, 5> kMethodNames{{
    {PttMethod::SerialDtrRts, "serial"},
    {PttMethod::Cat, "cat"},
    {PttMethod::Rigctld, "rigctld"},
    {PttMethod::Cm108, "cm108"},
    {PttMethod::Vox, "vox"},
}};

// A whole decimal number within [min, max], or nothing.
std::optional<long> WholeNumber(const std::string& text, long min, long max) {
  long value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) return {};
  return value;
}

std::optional<RigSettings> Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return std::nullopt;
}

// cat:MODEL:DEVICE[:BAUD]. A device name may hold colons (/dev/serial/by-path names do), so
// only a last part made of digits alone is taken for the baud rate.
std::optional<RigSettings> ParseCat(const std::string& rest, std::string* reason) {
  const auto colon = rest.find(':');
  if (colon == std::string::npos) {
    return Fail(reason, "--ptt cat: takes cat:MODEL:DEVICE[:BAUD], e.g. cat:3073:/dev/ttyUSB0");
  }
  RigSettings s;
  s.method = PttMethod::Cat;
  const auto model = WholeNumber(rest.substr(0, colon), 1, 999999);
  if (!model)
    return Fail(reason, "--ptt cat: the rig model is a Hamlib model number, not \"" +
                            rest.substr(0, colon) + "\"");
  s.rigModel = static_cast<int>(*model);
  s.catDevice = rest.substr(colon + 1);
  if (const auto last = s.catDevice.rfind(':'); last != std::string::npos) {
    const std::string tail = s.catDevice.substr(last + 1);
    if (!tail.empty() && tail.find_first_not_of("0123456789") == std::string::npos) {
      const auto baud = WholeNumber(tail, 50, 4000000);
      if (!baud) return Fail(reason, "--ptt cat: baud rate " + tail + " is out of range");
      s.baudRate = static_cast<int>(*baud);
      s.catDevice.erase(last);
    }
  }
  if (s.catDevice.empty()) return Fail(reason, "--ptt cat: names no serial device");
  return s;
}

// rigctld[:HOST[:PORT]], an IPv6 host in brackets: rigctld:[::1]:4532.
std::optional<RigSettings> ParseRigctld(const std::string& rest, std::string* reason) {
  RigSettings s;
  s.method = PttMethod::Rigctld;
  std::string portText;
  bool hasPort = false;
  if (!rest.empty() && rest[0] == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos || (close + 1 < rest.size() && rest[close + 1] != ':')) {
      return Fail(reason, "--ptt rigctld: an IPv6 host goes in brackets: rigctld:[::1]:4532");
    }
    s.host = rest.substr(1, close - 1);
    hasPort = close + 1 < rest.size();
    if (hasPort) portText = rest.substr(close + 2);
  } else {
    const auto colon = rest.find(':');
    s.host = rest.substr(0, colon);
    hasPort = colon != std::string::npos;
    if (hasPort) portText = rest.substr(colon + 1);
  }
  if (s.host.empty()) return Fail(reason, "--ptt rigctld: the host name is empty");
  if (hasPort) {
    const auto port = WholeNumber(portText, 1, 65535);
    if (!port) return Fail(reason, "--ptt rigctld: port \"" + portText + "\" is not 1 to 65535");
    s.port = static_cast<int>(*port);
  }
  return s;
}

}  // namespace

bool UsesHamlib(const RigSettings& settings) {
  return settings.method == PttMethod::Cat || settings.method == PttMethod::Rigctld ||
         settings.method == PttMethod::Cm108;
}

bool HasDial(const RigSettings& settings) {
  return settings.method == PttMethod::Cat || settings.method == PttMethod::Rigctld ||
         (settings.method == PttMethod::Cm108 && settings.rigModel > kHamlibDummyModel);
}

const char* PttMethodName(PttMethod method) {
  for (const auto& [m, name] : kMethodNames) {
    if (m == method) return name;
  }
  return "serial";
}

std::optional<PttMethod> PttMethodFromName(const std::string& name) {
  for (const auto& [m, n] : kMethodNames) {
    if (name == n) return m;
  }
  return std::nullopt;
}

std::optional<RigSettings> ParsePttOption(const std::string& text, std::string* reason) {
  RigSettings s;
  if (text == "none") {
    s.method = PttMethod::Vox;
    return s;
  }
  if (text.size() == 4 && text.rfind("COM", 0) == 0 && text[3] >= '1' && text[3] <= '9') {
    s.comPort = text[3] - '0';
    return s;
  }
  if (!text.empty() && text[0] == '/') {
    s.pttSerialDevice = text;
    return s;
  }
  if (text.rfind("cat:", 0) == 0) return ParseCat(text.substr(4), reason);
  if (text == "rigctld") {
    s.method = PttMethod::Rigctld;
    return s;
  }
  if (text.rfind("rigctld:", 0) == 0) return ParseRigctld(text.substr(8), reason);
  if (text.rfind("cm108:", 0) == 0) {
    s.method = PttMethod::Cm108;
    s.hidrawDevice = text.substr(6);
    if (s.hidrawDevice.empty()) return Fail(reason, "--ptt cm108: names no hidraw device");
    return s;
  }
  return Fail(reason,
              "--ptt takes COM1 to COM9, a device path, none, cat:MODEL:DEVICE[:BAUD], "
              "rigctld[:HOST[:PORT]] or cm108:HIDRAW_DEVICE, not \"" +
                  text + "\"");
}

std::string FormatPttOption(const RigSettings& s) {
  switch (s.method) {
    case PttMethod::SerialDtrRts:
      if (!s.pttSerialDevice.empty()) return s.pttSerialDevice;
      if (s.comPort >= 1 && s.comPort <= 9) return "COM" + std::to_string(s.comPort);
      return "none";
    // Built by appending: GCC 12 sees overlapping copies that are not there in
    // literal + string chains (a -Wrestrict false positive at -O2 and above).
    case PttMethod::Cat: {
      std::string text = "cat:";
      text.append(std::to_string(s.rigModel)).append(":").append(s.catDevice);
      if (s.baudRate > 0) text.append(":").append(std::to_string(s.baudRate));
      return text;
    }
    case PttMethod::Rigctld: {
      if (s.host == kDefaultRigctldHost && s.port == kDefaultRigctldPort) return "rigctld";
      std::string text = "rigctld:";
      const bool bracketed = s.host.find(':') != std::string::npos;
      text.append(bracketed ? "[" : "").append(s.host).append(bracketed ? "]" : "");
      if (s.port != kDefaultRigctldPort) text.append(":").append(std::to_string(s.port));
      return text;
    }
    case PttMethod::Cm108:
      return std::string("cm108:").append(s.hidrawDevice);
    case PttMethod::Vox:
      break;
  }
  return "none";
}

}  // namespace vela
