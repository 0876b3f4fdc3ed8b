// The live commands of vela-modem: they use the sound card, the PTT serial port and the rig.
#pragma once

namespace vela {
class PortAudioSystem;
}

namespace vela::cli {

class Options;

// --device N: a number `vela-modem devices` lists (0, the system default, when absent);
// IoError naming the number when there is no such device, so nothing goes to the wrong rig.
int DeviceOption(const Options& opt, const PortAudioSystem& system);

// Lists capture devices with the numbers --device takes, playback devices, and the serial
// devices behind COM1 to COM9; with --rigs, the rig models Hamlib can control instead.
int RunDevices(int argc, char** argv);
// Decodes the sound card's input until interrupted, printing text as it arrives.
int RunListen(int argc, char** argv);
// Sends one text through the sound card, keying PTT, and returns when it has gone out.
int RunSend(int argc, char** argv);

}  // namespace vela::cli
