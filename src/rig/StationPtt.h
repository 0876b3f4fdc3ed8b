// The station's push-to-talk, whichever way it is wired, opened from the rig settings for
// the window and the command line alike: DTR and RTS of a serial port
// (COM1 to COM9, or a device named outright), the rig's CAT command or a CM108 GPIO through
// Hamlib (directly or by a shared rigctld), or nothing at all for a rig on VOX. Opened for
// the whole run and again whenever the operator chooses another way.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "rig/RigSettings.h"
#include "station/PttControl.h"

namespace vela {

class GuardedPtt;
class RigControl;
class SerialPtt;

class PttPort : public PttControl {
 public:
  // Lets go of what keyed the transmitter so far, opens what `settings` name, unkeyed, and
  // returns what the operator is to be told, if anything.
  virtual std::optional<OperatorMessage> Open(const RigSettings& settings) = 0;
  virtual void Close() = 0;
  // The rig behind the PTT, when it is one that reports its dial.
  virtual RigControl* rig() { return nullptr; }
};

inline constexpr char kRigCaption[] = "PTT";

class StationPtt : public PttPort {
 public:
  StationPtt();
  ~StationPtt() override;
  std::optional<OperatorMessage> Open(const RigSettings& settings) override;
  void Close() override;
  bool Key(bool on) override;
  std::string error() const override;
  RigControl* rig() override { return rig_; }
  // Whether the last Open reached what it names (VOX always does). A rig that did not is
  // kept and tried again on each key.
  bool opened() const { return opened_; }
  // Why the rig's guard could not start, if it could not: PTT is then released when the
  // program ends, but not should it crash.
  std::string guardError() const;

 private:
  PttMethod method_ = PttMethod::SerialDtrRts;
  bool opened_ = false;
  std::unique_ptr<SerialPtt> serial_;
  // A rig's PTT, watched by its guard (rig/PttGuard.h).
  std::unique_ptr<GuardedPtt> guarded_;
  RigControl* rig_ = nullptr;  // the PTT guarded_ holds
};

}  // namespace vela
