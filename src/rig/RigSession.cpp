#include "rig/RigSession.h"

#include <fcntl.h>
#include <hamlib/rig.h>
#include <linux/hidraw.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>

#include "rig/DevicePermission.h"
#include "rig/RigModels.h"

namespace vela {

namespace {

// Short port timeouts: a rig that has stopped answering must not hold the operator up. CAT
// gets one retry for a garbled answer on a noisy cable; TCP to rigctld needs none.
constexpr char kPortTimeoutMs[] = "400";
constexpr char kCatRetries[] = "1";
constexpr char kRigctldRetries[] = "0";

std::string MissingDevice(const std::string& path, const char* what) {
  return path + ": no such device (is the " + what + " plugged in?)";
}

// Why the CAT port cannot be used, or nothing. Checked before Hamlib, which spends two
// seconds retrying a port that is not there and then says only "I/O error". The port is
// not opened here: opening a serial port raises DTR and RTS, which key some rigs.
std::string SerialDeviceProblem(const std::string& path) {
  if (path.empty()) return "no CAT serial device is set";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return MissingDevice(path, "rig's CAT cable");
  if (access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
    return PermissionDeniedMessage(path);
  }
  if (!S_ISCHR(st.st_mode)) return path + " is not a serial device";
  return {};
}

// Why a CM108 interface cannot be keyed on `path`, or nothing.
std::string HidrawDeviceProblem(const std::string& path) {
  if (path.empty()) return "no CM108 hidraw device is set";
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return MissingDevice(path, "CM108 sound interface");
    if (errno == EACCES) return PermissionDeniedMessage(path);
    return path + ": " + std::strerror(errno);
  }
  hidraw_devinfo info{};
  const bool hid = ioctl(fd, HIDIOCGRAWINFO, &info) == 0;
  close(fd);
  if (!hid) return path + " is not a hidraw device (CM108 PTT needs a /dev/hidrawN)";
  return {};
}

// Hamlib's own error text carries its debug trail, so the reasons are worded here.
std::string Reason(int code) {
  switch (-code) {
    case RIG_ETIMEOUT:
      return "no answer";
    case RIG_EIO:
      return "input/output error";
    case RIG_EPROTO:
      return "garbled answer";
    case RIG_ERJCTED:
      return "the rig refused the command";
    case RIG_EINVAL:
    case RIG_EDOM:
      return "a value the rig does not take";
    case RIG_ENIMPL:
    case RIG_ENAVAIL:
      return "the rig cannot do that";
    case RIG_ECONF:
      return "the port refused its settings";
    case RIG_EPOWER:
      return "the rig is switched off";
    default:
      return "Hamlib error " + std::to_string(-code);
  }
}

bool LosesConnection(int code) {
  return code == -RIG_ETIMEOUT || code == -RIG_EIO || code == -RIG_EPROTO || code == -RIG_BUSERROR;
}

bool SetConf(RIG* rig, const char* name, const std::string& value) {
  return rig_set_conf(rig, rig_token_lookup(rig, name), value.c_str()) == RIG_OK;
}

int ModelFor(const RigSettings& s) {
  if (s.method == PttMethod::Rigctld) return kHamlibRigctldModel;
  if (s.method == PttMethod::Cm108 && s.rigModel <= kHamlibDummyModel) return kHamlibDummyModel;
  return s.rigModel;
}

std::string HostPort(const RigSettings& s) {
  const bool v6 = s.host.find(':') != std::string::npos;
  return (v6 ? "[" + s.host + "]" : s.host) + ":" + std::to_string(s.port);
}

// Whether any program takes a TCP connection at the rigctld address within a second: tells
// a rigctld that is not running from another program on its port.
bool SomethingListens(const RigSettings& s) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(s.host.c_str(), std::to_string(s.port).c_str(), &hints, &found) != 0) {
    return false;
  }
  bool listens = false;
  for (const addrinfo* a = found; a != nullptr && !listens; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      listens = true;
    } else if (errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof error;
      listens = poll(&p, 1, 1000) == 1 &&
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    close(fd);
  }
  freeaddrinfo(found);
  return listens;
}

}  // namespace

RigSession::~RigSession() {
  Close();
}

bool RigSession::Open(const RigSettings& settings) {
  Close();
  if (!UsesHamlib(settings)) {
    error_ = std::string("PTT method ") + PttMethodName(settings.method) + " needs no rig";
    return false;
  }
  settings_ = settings;
  rigName_.clear();
  configured_ = true;
  mayBeKeyed_ = false;
  return Reopen();
}

bool RigSession::Reopen() {
  Disconnect();
  error_.clear();
  if (!configured_) {
    error_ = "no rig is open";
    return false;
  }
  const int model = ModelFor(settings_);
  {
    const std::lock_guard lock(HamlibLock());
    rig_ = rig_init(model);
  }
  if (rig_ == nullptr) {
    error_ = "Hamlib knows no rig model " + std::to_string(model);
    return false;
  }
  rigName_ = std::string(rig_->caps->mfg_name) + " " + rig_->caps->model_name;
  if (rig_->caps->port_type == RIG_PORT_SERIAL) rigName_ += " on " + settings_.catDevice;
  if (!CheckDevices() || !Configure()) {
    Disconnect();
    return false;
  }
  // Hamlib's rig_open switches LC_NUMERIC to "C" and back, keeping the old locale's name
  // through the switch, which frees it. Numbers are read the C way here anyway (files,
  // options), so the process is put in "C" for numbers first and the switch changes nothing.
  {
    const std::lock_guard lock(HamlibLock());
    std::setlocale(LC_NUMERIC, "C");
  }
  errno = 0;
  if (const int code = rig_open(rig_); code != RIG_OK) {
    error_ = OpenFailure(code);
    Disconnect();
    return false;
  }
  // Every reading is the rig's own, not one Hamlib remembered from before.
  rig_set_cache_timeout_ms(rig_, HAMLIB_CACHE_ALL, 0);
  return true;
}

bool RigSession::CheckDevices() {
  std::string problem;
  if (settings_.method == PttMethod::Cm108) problem = HidrawDeviceProblem(settings_.hidrawDevice);
  if (problem.empty() && settings_.method != PttMethod::Rigctld &&
      rig_->caps->port_type == RIG_PORT_SERIAL) {
    problem = SerialDeviceProblem(settings_.catDevice);
  }
  error_ = problem;
  return problem.empty();
}

bool RigSession::Configure() {
  const bool network = settings_.method == PttMethod::Rigctld;
  bool ok = SetConf(rig_, "timeout", kPortTimeoutMs) &&
            SetConf(rig_, "retry", network ? kRigctldRetries : kCatRetries);
  if (network) {
    ok = ok && SetConf(rig_, "rig_pathname", HostPort(settings_));
  } else if (rig_->caps->port_type == RIG_PORT_SERIAL) {
    ok = ok && SetConf(rig_, "rig_pathname", settings_.catDevice);
    if (settings_.baudRate > 0) {
      if (!SetConf(rig_, "serial_speed", std::to_string(settings_.baudRate))) {
        error_ = description() + " does not take " + std::to_string(settings_.baudRate) + " baud";
        return false;
      }
    }
  }
  if (settings_.method == PttMethod::Cm108) {
    ok = ok && SetConf(rig_, "ptt_type", "CM108") &&
         SetConf(rig_, "ptt_pathname", settings_.hidrawDevice);
  } else if (settings_.method == PttMethod::Cat && rig_->caps->ptt_type != RIG_PTT_RIG &&
             rig_->caps->ptt_type != RIG_PTT_RIG_MICDATA) {
    // The operator chose CAT PTT: key by command even where Hamlib would not by default.
    ok = ok && SetConf(rig_, "ptt_type", "RIG");
  }
  if (!ok) error_ = "Hamlib would not set up " + description();
  return ok;
}

std::string RigSession::OpenFailure(int code) const {
  if (settings_.method == PttMethod::Rigctld) {
    if (!SomethingListens(settings_)) {
      return "rigctld is not running at " + HostPort(settings_) +
             " (nothing answered there; start rigctld or check host and port)";
    }
    if (code == -RIG_ETIMEOUT) {
      return "the program at " + HostPort(settings_) +
             " took the connection but did not answer as rigctld does (is rigctld on that port?)";
    }
    return "the program at " + HostPort(settings_) +
           " answered something that is not rigctld's protocol (is rigctld on that port?)";
  }
  const int serialErrno = errno;
  switch (-code) {
    case RIG_ETIMEOUT:
      return description() + " did not answer: check that the rig is on and its CAT baud rate";
    case RIG_EPROTO:
      return description() + " answered garbled: check the rig model and baud rate";
    case RIG_EIO:
      if (serialErrno == EBUSY) return settings_.catDevice + " is in use by another program";
      return description() + ": the port would not open (in use by another program?)";
    default:
      return description() + ": " + Reason(code);
  }
}

void RigSession::Close() {
  if (mayBeKeyed_ && rig_ == nullptr && configured_) Reopen();
  if (rig_ != nullptr && mayBeKeyed_) SetPtt(false);
  Disconnect();
  configured_ = false;
  mayBeKeyed_ = false;
}

void RigSession::Disconnect() {
  if (rig_ == nullptr) return;
  rig_close(rig_);
  const std::lock_guard lock(HamlibLock());
  rig_cleanup(rig_);
  rig_ = nullptr;
}

bool RigSession::Check(int code, const char* action) {
  if (code == RIG_OK) return true;
  std::string reason = Reason(code);
  if (settings_.method == PttMethod::Rigctld && code == -RIG_EIO) reason = "connection lost";
  error_ = description() + ": " + action + " failed: " + reason;
  if (LosesConnection(code)) Disconnect();
  return false;
}

bool RigSession::SetPtt(bool on) {
  if (!on && !mayBeKeyed_ && rig_ == nullptr) return true;  // nothing of ours is keyed
  if (rig_ == nullptr && !Reopen()) return false;
  if (on) mayBeKeyed_ = true;
  // Rigs that tell microphone from data PTT key their data input, the sound card's audio.
  const bool data =
      settings_.method == PttMethod::Cat && rig_->state.pttport.type.ptt == RIG_PTT_RIG_MICDATA;
  const ptt_t value = !on ? RIG_PTT_OFF : data ? RIG_PTT_ON_DATA : RIG_PTT_ON;
  const int code = rig_set_ptt(rig_, RIG_VFO_CURR, value);
  if (code == -RIG_EINVAL && settings_.method == PttMethod::Rigctld) {
    if (on) {
      // A rigctld started without a PTT type refuses every key.
      error_ = "rigctld at " + HostPort(settings_) +
               " refused PTT: start it with the rig's PTT type (e.g. -P RIG)";
      mayBeKeyed_ = false;
    } else {
      error_ = "rigctld at " + HostPort(settings_) + " refused to release PTT";
    }
    return false;
  }
  if (!Check(code, on ? "keying PTT" : "releasing PTT")) {
    // A rig that answered with a refusal is as it was; only a lost one may be keyed.
    if (!LosesConnection(code)) mayBeKeyed_ = false;
    return false;
  }
  if (!on) mayBeKeyed_ = false;
  return true;
}

bool RigSession::ReadPtt(bool* on) {
  if (rig_ == nullptr && !Reopen()) return false;
  ptt_t value = RIG_PTT_OFF;
  if (!Check(rig_get_ptt(rig_, RIG_VFO_CURR, &value), "reading PTT")) return false;
  *on = value != RIG_PTT_OFF;
  return true;
}

bool RigSession::ReadDial(double* hz, std::string* mode) {
  if (rig_ == nullptr && !Reopen()) return false;
  freq_t freq = 0;
  if (!Check(rig_get_freq(rig_, RIG_VFO_CURR, &freq), "reading the dial")) return false;
  rmode_t rmode = RIG_MODE_NONE;
  pbwidth_t width = 0;
  if (!Check(rig_get_mode(rig_, RIG_VFO_CURR, &rmode, &width), "reading the mode")) return false;
  *hz = freq;
  *mode = rig_strrmode(rmode);
  return true;
}

bool RigSession::SetDial(double hz, const std::string& mode) {
  if (rig_ == nullptr && !Reopen()) return false;
  if (!Check(rig_set_freq(rig_, RIG_VFO_CURR, hz), "setting the dial")) return false;
  const rmode_t rmode = rig_parse_mode(mode.c_str());
  if (rmode == RIG_MODE_NONE) {
    error_ = "Hamlib knows no mode \"" + mode + "\"";
    return false;
  }
  return Check(rig_set_mode(rig_, RIG_VFO_CURR, rmode, RIG_PASSBAND_NOCHANGE), "setting the mode");
}

std::string RigSession::description() const {
  if (settings_.method == PttMethod::Rigctld) return "rigctld at " + HostPort(settings_);
  if (settings_.method != PttMethod::Cm108) return rigName_;
  return "CM108 PTT on " + settings_.hidrawDevice +
         (settings_.rigModel > kHamlibDummyModel ? " with the " + rigName_ : "");
}

}  // namespace vela
