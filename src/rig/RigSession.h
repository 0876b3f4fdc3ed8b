// One Hamlib rig connection, called from one thread only (Hamlib is not safe for calls on
// one rig from two threads): RigControl runs it on its worker thread. Every call is
// synchronous and may take as long as Hamlib's port timeout, which is kept short.
#pragma once

#include <string>

#include "rig/RigSettings.h"

struct s_rig;

namespace vela {

class RigSession {
 public:
  RigSession() = default;
  ~RigSession();
  RigSession(const RigSession&) = delete;
  RigSession& operator=(const RigSession&) = delete;

  // Connects to the rig `settings` name (CAT, rigctld or CM108). False with error() saying
  // what failed: the model, the device, permission, or no rigctld at host:port.
  bool Open(const RigSettings& settings);
  // Connects again to the rig last opened, remembering whether it may still be keyed.
  bool Reopen();
  // Releases PTT if it may be keyed (reconnecting once for that), then disconnects.
  void Close();
  bool isOpen() const { return rig_ != nullptr; }
  // True once the settings of a rig have been given, until Close().
  bool configured() const { return configured_; }
  // Set when PTT was asked on and not yet released successfully.
  bool mayBeKeyed() const { return mayBeKeyed_; }

  // A call that loses the connection (no answer, I/O error) disconnects; Reopen() tries again.
  bool SetPtt(bool on);
  bool ReadPtt(bool* on);
  bool ReadDial(double* hz, std::string* mode);
  bool SetDial(double hz, const std::string& mode);

  const std::string& error() const { return error_; }
  // The rig in messages: "rigctld at host:port", "Yaesu FT-817 on /dev/ttyUSB0", ...
  std::string description() const;

 private:
  bool CheckDevices();
  bool Configure();
  bool Check(int code, const char* action);
  void Disconnect();
  std::string OpenFailure(int code) const;

  s_rig* rig_ = nullptr;
  RigSettings settings_;
  std::string rigName_;  // "Yaesu FT-817 on /dev/ttyUSB0"
  bool configured_ = false;
  bool mayBeKeyed_ = false;
  std::string error_;
};

}  // namespace vela
