// How the station keys its transmitter and which rig, if any, reports the dial: the PTT
// method and its parameters, shared by the window and the command line. Plain C++ (no Qt,
// no Hamlib), so both front ends and the settings file can use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vela {

enum class PttMethod {
  SerialDtrRts,  // DTR and RTS of a serial port (COM1 to COM9), the long-standing default
  Cat,           // the rig's own PTT command, through Hamlib on its CAT port
  Rigctld,       // a shared rig behind rigctld on the network
  Cm108,         // the GPIO of a CM108 sound chip (Hamlib on a hidraw device)
  Vox,           // nothing keyed: the rig keys on the audio itself
};

inline constexpr int kDefaultRigctldPort = 4532;
inline constexpr char kDefaultRigctldHost[] = "localhost";
// Hamlib's dummy rig: the rig of a CM108 station that has no CAT connection.
inline constexpr int kHamlibDummyModel = 1;
// Hamlib's network client of rigctld.
inline constexpr int kHamlibRigctldModel = 2;
// The transmit time limit's range, in minutes (0: none).
inline constexpr int kMaxTxLimitMinutes = 999;

struct RigSettings {
  PttMethod method = PttMethod::SerialDtrRts;
  // Serial DTR/RTS: COM1 to COM9 (0: none), or a device path given in its place.
  int comPort = 0;
  std::string pttSerialDevice;
  // CAT, and the rig of a CM108 station (0 or the dummy model: no CAT rig).
  int rigModel = 0;
  std::string catDevice;
  int baudRate = 0;  // 0: the rig's own default
  // rigctld.
  std::string host = kDefaultRigctldHost;
  int port = kDefaultRigctldPort;
  // CM108 GPIO.
  std::string hidrawDevice;
  // Transverter or converter: added to what the dial shows to give the frequency on air
  // (a 136 kHz upconverter with a 10 MHz oscillator is -10000000).
  int64_t converterOffsetHz = 0;
  // The longest a transmission may stay on air, in whole minutes; 0: no limit. A keyed rig
  // left unattended (a beacon, a tune carrier forgotten) is stopped by it.
  int txLimitMinutes = 0;

  bool operator==(const RigSettings&) const = default;
};

// Methods that go through Hamlib (the rest need no rig connection at all).
bool UsesHamlib(const RigSettings& settings);
// Whether the rig reports a dial frequency: CAT, rigctld, and CM108 keying a CAT rig.
bool HasDial(const RigSettings& settings);

// The names the settings file and the window use: "serial", "cat", "rigctld", "cm108", "vox".
const char* PttMethodName(PttMethod method);
std::optional<PttMethod> PttMethodFromName(const std::string& name);

// The command line's --ptt forms: COMn, a device path (serial DTR/RTS), none (VOX),
// cat:MODEL:DEVICE[:BAUD], rigctld[:HOST[:PORT]] (an IPv6 host in brackets) and
// cm108:HIDRAW_DEVICE. `reason` gets a one-line explanation of a form that is wrong.
std::optional<RigSettings> ParsePttOption(const std::string& text, std::string* reason);
// The --ptt form of `settings`; parses back to the same settings for every form above.
// (A CM108 station's CAT rig and the converter offset have no place in it.)
std::string FormatPttOption(const RigSettings& settings);

}  // namespace vela
