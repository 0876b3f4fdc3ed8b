// The rig commands of vela-modem, through Hamlib: the dial of the rig --ptt names, and the
// list of rigs Hamlib can control.
#pragma once

namespace vela::cli {

// vela-modem rig [--ptt ...]: prints "dial 136000 Hz mode USB", or the reason it cannot.
int RunRig(int argc, char** argv);
// vela-modem devices --rigs: one line a rig model: number, manufacturer, model (tabs).
int RunRigModels();

}  // namespace vela::cli
