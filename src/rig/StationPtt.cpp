#include "rig/StationPtt.h"

#include "rig/PttGuard.h"
#include "rig/RigControl.h"
#include "rig/SerialPtt.h"

namespace vela {

StationPtt::StationPtt() : serial_(std::make_unique<SerialPtt>()) {}
StationPtt::~StationPtt() = default;

std::optional<OperatorMessage> StationPtt::Open(const RigSettings& settings) {
  Close();
  method_ = settings.method;
  switch (settings.method) {
    case PttMethod::SerialDtrRts: {
      if (settings.pttSerialDevice.empty()) {
        auto message = OpenPttPort(*serial_, settings.comPort);
        opened_ = serial_->isOpen();
        return message;
      }
      opened_ = serial_->OpenDevice(settings.pttSerialDevice);
      if (opened_) return std::nullopt;
      return PttOpenMessage(1, false, serial_->error());
    }
    case PttMethod::Vox:
      opened_ = true;
      return std::nullopt;
    case PttMethod::Cat:
    case PttMethod::Rigctld:
    case PttMethod::Cm108:
      break;
  }
  // The rig keeps its settings: each SEND tries it again, so a rig switched on later, or
  // a rigctld started after the terminal, is found without the operator doing more.
  auto rig = std::make_unique<RigControl>();
  rig_ = rig.get();
  opened_ = rig_->Open(settings);
  guarded_ = std::make_unique<GuardedPtt>(std::move(rig), settings);
  std::string text;
  if (!opened_) {
    text = "The rig that keys the transmitter cannot be reached: " + rig_->error() +
           "\nSEND keys nothing until it answers; TX options > PTT sets it up.";
  }
  if (const std::string& noGuard = guarded_->guard().error(); !noGuard.empty()) {
    text += (text.empty() ? "" : "\n") + noGuard +
            ": PTT is released when the terminal ends, but not should it crash.";
  }
  if (text.empty()) return std::nullopt;
  return OperatorMessage{text, kRigCaption};
}

void StationPtt::Close() {
  opened_ = false;
  serial_->Close();
  rig_ = nullptr;
  guarded_.reset();
}

bool StationPtt::Key(bool on) {
  switch (method_) {
    case PttMethod::SerialDtrRts:
      return serial_->Key(on);
    case PttMethod::Vox:
      return true;
    default:
      return guarded_ != nullptr && guarded_->Key(on);
  }
}

std::string StationPtt::guardError() const {
  return guarded_ ? guarded_->guard().error() : std::string();
}

std::string StationPtt::error() const {
  if (rig_) return rig_->error();
  return serial_->error();
}

}  // namespace vela
