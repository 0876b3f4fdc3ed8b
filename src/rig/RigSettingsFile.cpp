#include "rig/RigSettingsFile.h"

#include <QFile>
#include <array>
#include <charconv>
#include <filesystem>
#include <limits>
#include <sstream>
#include <variant>

#include "station/SafeFile.h"
#include "station/SettingLines.h"

namespace vela {

namespace {

struct Field {
  const char* key;
  std::variant<int RigSettings::*, int64_t RigSettings::*, std::string RigSettings::*> member;
  int64_t min = 0;
  int64_t max = 0;
};

constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();

const std::array<Field, 10>& Fields() {
  static const std::array<Field, 10> fields{{
      {"comport", &RigSettings::comPort, 0, 255},
      {"pttdevice", &RigSettings::pttSerialDevice},
      {"model", &RigSettings::rigModel, 0, 999999},
      {"catdevice", &RigSettings::catDevice},
      {"baud", &RigSettings::baudRate, 0, 4000000},
      {"host", &RigSettings::host},
      {"port", &RigSettings::port, 1, 65535},
      {"hidraw", &RigSettings::hidrawDevice},
      {"offset", &RigSettings::converterOffsetHz, kInt64Min, kInt64Max},
      // Later than the rest: a file without it (an older version's) has no limit.
      {"txlimit", &RigSettings::txLimitMinutes, 0, kMaxTxLimitMinutes},
  }};
  return fields;
}

// Stores `value` in the field; a reason when it is not a number the field takes.
std::string Assign(const Field& field, const std::string& value, RigSettings& s) {
  if (const auto* text = std::get_if<std::string RigSettings::*>(&field.member)) {
    s.*(*text) = value;
    return {};
  }
  int64_t number = 0;
  const char* end = value.data() + value.size();
  const auto [ptr, ec] = std::from_chars(value.data(), end, number);
  if (value.empty() || ec != std::errc() || ptr != end || number < field.min ||
      number > field.max) {
    std::ostringstream reason;
    reason << field.key << " \"" << value << "\" is not a whole number from " << field.min << " to "
           << field.max;
    return reason.str();
  }
  if (const auto* small = std::get_if<int RigSettings::*>(&field.member)) {
    s.*(*small) = static_cast<int>(number);
  } else {
    s.*std::get<int64_t RigSettings::*>(field.member) = number;
  }
  return {};
}

std::string FieldText(const Field& field, const RigSettings& s) {
  return std::visit(
      [&](auto member) {
        if constexpr (std::is_same_v<decltype(member), std::string RigSettings::*>) {
          return s.*member;
        } else {
          return std::to_string(s.*member);
        }
      },
      field.member);
}

// Why line `text` cannot be read, or nothing; `method` is set when the line names it.
std::string ReadLine(const std::string& text, RigSettings& s, bool& method) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) return "\"" + text + "\" is not key=value";
  const std::string key = text.substr(0, eq);
  const std::string value = text.substr(eq + 1);
  if (key == "method") {
    const auto m = PttMethodFromName(value);
    if (!m) return "no PTT method is called \"" + value + "\"";
    s.method = *m;
    method = true;
    return {};
  }
  for (const Field& field : Fields()) {
    if (key == field.key) return Assign(field, value, s);
  }
  return {};
}

RigSettingsLoad Garbled(const std::string& what) {
  RigSettingsLoad load;
  load.status = RigSettingsLoad::Status::Garbled;
  load.message = std::string(kRigSettingsFileName) + " is garbled (" + what +
                 "): PTT is back to serial DTR/RTS";
  return load;
}

}  // namespace

std::string FormatRigSettingsFile(const RigSettings& s) {
  std::string out = "; VELA Terminal: PTT method and rig (VELApreferences.INI holds the rest)\n";
  out += std::string("method=") + PttMethodName(s.method) + "\n";
  for (const Field& field : Fields())
    out += std::string(field.key) + "=" + FieldText(field, s) + "\n";
  return out;
}

RigSettingsLoad ParseRigSettingsFile(const std::string& text) {
  RigSettings s;
  bool method = false;
  const std::string why =
      ReadSettingLines(text, [&](const std::string& line) { return ReadLine(line, s, method); });
  if (!why.empty()) return Garbled(why);
  if (!method) return Garbled("it names no PTT method");
  return {s, RigSettingsLoad::Status::Read, {}};
}

RigSettingsLoad LoadRigSettings(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly))
    return Garbled("unreadable: " + file.errorString().toStdString());
  const QByteArray bytes = file.readAll();
  return ParseRigSettingsFile(bytes.toStdString());
}

bool SaveRigSettings(const std::string& path, const RigSettings& settings, std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error != nullptr) {
      *error = "Could not save the rig settings to " + std::filesystem::absolute(path).string() +
               ": " + reason + ". The previous file is unchanged.";
    }
    return false;
  };
  const std::string text = FormatRigSettingsFile(settings);
  if (ParseRigSettingsFile(text).settings != settings) {
    return fail("a device or host name holds a line break");
  }
  std::string reason;
  return WriteFileSafely(path, text, &reason) || fail(reason);
}

}  // namespace vela
