// Push-to-talk through a serial port's DTR and RTS lines (QSerialPort). The operator picks
// COM1 to COM9; on Linux those names stand for the machine's real serial devices, found by
// ComPortDevices() below.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "station/PttControl.h"

class QSerialPort;

namespace vela {

// The serial devices COM1, COM2, ... stand for, in that order. On Linux:
//  1. built-in ports first (/dev/ttyS<n> that have real hardware behind them, by number),
//     so plugging in an adapter never renames the port on the back of the computer;
//  2. then USB and other adapters by their /dev/serial/by-id name, sorted: that name carries
//     the adapter's make and serial number, so the same adapter keeps the same COM number
//     whichever socket or order it was plugged in;
//  3. then adapters udev gave no by-id name (/dev/ttyUSB<n>, /dev/ttyACM<n>), by name.
// `root` prefixes the /sys and /dev paths searched (empty for the real machine).
std::vector<std::string> ComPortDevices(const std::string& root = "");
// The device behind COM`n` (1-based), or empty when there is none. An argument that already
// names a device (starts with '/') is taken as it is.
std::string ComPortDevice(int n, const std::string& root = "");

class SerialPtt : public PttControl {
 public:
  SerialPtt();
  ~SerialPtt() override;
  SerialPtt(const SerialPtt&) = delete;
  SerialPtt& operator=(const SerialPtt&) = delete;

  // Opens COM`n`; 0 means no PTT port and opens nothing (returns false, error() empty).
  bool Open(int n);
  // Opens a serial device by its path. Both lines are dropped at once, since opening a port
  // on Linux raises them and would key the transmitter.
  bool OpenDevice(const std::string& path);
  void Close();
  bool isOpen() const;
  const std::string& devicePath() const { return path_; }
  std::string error() const override { return error_; }

  // DTR first, then RTS, in both directions; rigs differ in which line they watch.
  bool Key(bool on) override;
  void SetDtr(bool on);
  void SetRts(bool on);

 private:
  std::unique_ptr<QSerialPort> port_;
  std::string path_;
  std::string error_;
};

// Start-up and PTT-command opening of port COM`n`: opens it, leaves both lines off, and
// returns what the operator is to be told, if anything, with the reason a port failed.
std::optional<OperatorMessage> OpenPttPort(SerialPtt& ptt, int n);

}  // namespace vela
