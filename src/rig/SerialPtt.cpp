#include "rig/SerialPtt.h"

#include <termios.h>

#include <QSerialPort>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include "rig/DevicePermission.h"

namespace vela {

namespace fs = std::filesystem;

namespace {

// A built-in port the kernel only reserved has port type 0 (unknown): nothing is there.
bool BuiltInPortPresent(const fs::path& sysTty) {
  std::error_code ec;
  if (!fs::exists(sysTty / "device", ec)) return false;
  std::ifstream type(sysTty / "type");
  int value = 0;
  if (type >> value) return value != 0;
  return true;
}

int TrailingNumber(const std::string& name) {
  size_t i = name.size();
  while (i > 0 && std::isdigit(static_cast<unsigned char>(name[i - 1]))) --i;
  return i < name.size() ? std::stoi(name.substr(i)) : -1;
}

// Should the program end without closing the port (killed, crashed), the kernel drops DTR
// and RTS as the last descriptor of the port closes, but only with HUPCL set, which another
// program (or stty -hupcl) may have cleared. That is the whole of PTT's safety on this path:
// nothing may open the port again to release it, as opening a tty raises DTR and would key
// the rig for a moment.
void KeepHangUpOnClose(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0 || (settings.c_cflag & HUPCL) != 0) return;
  settings.c_cflag |= HUPCL;
  tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

std::vector<std::string> ComPortDevices(const std::string& root) {
  std::error_code ec;
  const fs::path sysClass = fs::path(root + "/sys/class/tty");
  const fs::path byId = fs::path(root + "/dev/serial/by-id");
  const fs::path dev = fs::path(root + "/dev");

  std::vector<std::pair<int, std::string>> builtIn;
  std::vector<std::string> adapters;
  for (const auto& entry : fs::directory_iterator(sysClass, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyS", 0) == 0 && BuiltInPortPresent(entry.path())) {
      builtIn.emplace_back(TrailingNumber(name), name);
    } else if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) {
      adapters.push_back(name);
    }
  }
  std::sort(builtIn.begin(), builtIn.end());

  std::vector<std::string> stable;
  std::set<std::string> named;
  for (const auto& entry : fs::directory_iterator(byId, ec)) {
    stable.push_back(entry.path().string());
    const fs::path target = fs::read_symlink(entry.path(), ec);
    if (!ec) named.insert(target.filename().string());
    ec.clear();
  }
  std::sort(stable.begin(), stable.end());
  std::sort(adapters.begin(), adapters.end());

  std::vector<std::string> ports;
  for (const auto& [number, name] : builtIn) ports.push_back((dev / name).string());
  ports.insert(ports.end(), stable.begin(), stable.end());
  for (const auto& name : adapters) {
    if (!named.count(name)) ports.push_back((dev / name).string());
  }
  return ports;
}

std::string ComPortDevice(int n, const std::string& root) {
  const auto ports = ComPortDevices(root);
  if (n < 1 || n > static_cast<int>(ports.size())) return {};
  return ports[static_cast<size_t>(n - 1)];
}

SerialPtt::SerialPtt() = default;
SerialPtt::~SerialPtt() {
  Close();
}

bool SerialPtt::Open(int n) {
  Close();
  error_.clear();
  if (n == 0) return false;
  const std::string path = ComPortDevice(n);
  if (path.empty()) {
    error_ = "COM" + std::to_string(n) + " stands for no serial device on this computer";
    return false;
  }
  return OpenDevice(path);
}

bool SerialPtt::OpenDevice(const std::string& path) {
  Close();
  error_.clear();
  auto port = std::make_unique<QSerialPort>();
  port->setPortName(QString::fromStdString(path));
  if (!port->open(QIODevice::ReadWrite)) {
    if (port->error() == QSerialPort::PermissionError) {
      error_ = PermissionDeniedMessage(path);
    } else {
      error_ = path + ": " + port->errorString().toStdString();
    }
    return false;
  }
  port_ = std::move(port);
  path_ = path;
  // The open raised DTR and RTS: drop them before the transmitter notices.
  SetDtr(false);
  SetRts(false);
  KeepHangUpOnClose(static_cast<int>(port_->handle()));
  return true;
}

void SerialPtt::Close() {
  if (port_) {
    SetDtr(false);
    SetRts(false);
    port_->close();
    port_.reset();
  }
  path_.clear();
}

bool SerialPtt::isOpen() const {
  return port_ && port_->isOpen();
}

void SerialPtt::SetDtr(bool on) {
  if (isOpen()) port_->setDataTerminalReady(on);
}

void SerialPtt::SetRts(bool on) {
  if (isOpen()) port_->setRequestToSend(on);
}

bool SerialPtt::Key(bool on) {
  SetDtr(on);
  SetRts(on);
  return true;
}

std::optional<OperatorMessage> OpenPttPort(SerialPtt& ptt, int n) {
  const bool opened = ptt.Open(n);
  ptt.Key(false);
  return PttOpenMessage(n, opened, ptt.error());
}

}  // namespace vela
