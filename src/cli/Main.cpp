// vela-modem: the command-line modem.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cli/Commands.h"
#include "cli/LiveCommands.h"
#include "cli/Options.h"
#include "cli/RigCommands.h"
#include "rig/PttGuard.h"

namespace {

constexpr const char* kUsage =
    "usage: vela-modem COMMAND [options]\n"
    "  encode  [--mode M] [--freq HZ] [--secondary TEXT] [--iq] [--tail-frames N]\n"
    "          (--text TEXT | --text-file FILE) -o OUT.wav\n"
    "  decode  [--mode M] [--freq HZ] [--rate HZ] [--squelch N] [--receiver R]\n"
    "          [--secondary-out FILE] [--frames] [--udp HOST:PORT] IN.wav\n"
    "  channel [--snr DB] [--offset HZ] [--ppm PPM] [--seed N]\n"
    "          [--impulses RATE[:DB]] [--fading HZ] IN.wav OUT.wav\n"
    "  sweep   [--mode M] --snr FROM:TO:STEP [--chars N] [--seeds K]\n"
    "          [--receiver R|genie] [--no-blanker] [--iterations N] [--genie-estimate E]\n"
    "          [--offset HZ] [--ppm PPM] [--impulses RATE[:DB]] [--fading HZ]\n"
    "  scan    [--mode M|all] [--from HZ] [--to HZ] [SPOTS --dial HZ] IN.wav\n"
    "  devices [--rigs]\n"
    "  listen  [--device N] [--mode M] [--freq HZ] [--rate HZ] [--squelch N] [--receiver R]\n"
    "          [--secondary-out FILE] [--log FILE] [--spot [SPOTS]] [--udp HOST:PORT]\n"
    "  listen  --scan [--device N] [--mode M|all] [--from HZ] [--to HZ] [--rate HZ]\n"
    "          [--squelch N] [--spot [SPOTS]]\n"
    "  send    [--device N] [--ptt P] [--mode M] [--freq HZ] [--secondary TEXT]\n"
    "          [--iq] [--tail-frames N] [--tx-limit MIN] [--udp HOST:PORT]\n"
    "          (--text TEXT | --text-file FILE)\n"
    "  rig     [--ptt P]\n"
    "  log     --my-call CALL --call CALL [--freq HZ] [--mode M] [--rst-sent R]\n"
    "          [--rst-rcvd R] [--name N] [--qth Q] [--grid G] [--my-grid G]\n"
    "          [--comment T] [--time-on UTC] [--adif FILE] [--udp HOST:PORT]\n"
    "M is vela8, vela31, vela63 (default) or vela125.\n"
    "SPOTS reports the stations heard with a call to PSK Reporter:\n"
    "    [--spot-to HOST:PORT] --call CALL --locator LOC [--dial HZ] [--sideband usb|lsb]\n"
    "    [--offset HZ] [--antenna TEXT]; live to report.pskreporter.info:4739 by default.\n"
    "R is enhanced (decode's and listen's default: the coherent receiver, some dB more\n"
    "    sensitive and quiet on noise) or standard (sweep's default);\n"
    "    sweep's genie is told the true timing, carrier and frames: the bound.\n"
    "E is plain, phase, scale or frames: what the genie estimates itself.\n"
    "P is COM1 to COM9 or a serial device (DTR/RTS), none (VOX; send's default),\n"
    "    cat:MODEL:DEVICE[:BAUD], rigctld[:HOST[:PORT]] (rig's default: localhost:4532)\n"
    "    or cm108:HIDRAW_DEVICE; devices --rigs lists the Hamlib rig models.\n"
    "log appends a QSO to VELAlog.adi in the settings folder (or --adif FILE); its --freq\n"
    "    is the RF frequency in Hz, --time-on 2026-12-09T14:05[:SS] in UTC (default now).\n"
    "--udp sends what a logger listens for (heartbeat, status, decodes, logged QSOs)\n"
    "    to HOST:PORT, 127.0.0.1:2237 by convention; a multicast group is allowed; a halt\n"
    "    from it stops send's transmission at once.\n";

// Standard output flushed and closed, and checked: copy that never reached it (a full disk,
// /dev/full) fails a command that had otherwise succeeded, with a one-line reason.
int FinishStandardOutput(int status) {
  errno = 0;
  int error = std::fflush(stdout) == 0 ? 0 : errno;
  bool failed = error != 0 || std::ferror(stdout) != 0;
  if (std::fclose(stdout) != 0) {
    failed = true;
    if (error == 0) error = errno;
  }
  if (!failed || status != 0) return status;
  std::fprintf(stderr, "vela-modem: standard output: %s\n",
               error != 0 ? std::strerror(error) : "write error");
  return 1;
}

}  // namespace

static int RunCommand(int argc, char** argv) {
  using namespace vela::cli;
  const std::string_view command = argc > 1 ? argv[1] : "";
  try {
    if (command == "encode") return RunEncode(argc, argv);
    if (command == "decode") return RunDecode(argc, argv);
    if (command == "channel") return RunChannel(argc, argv);
    if (command == "sweep") return RunSweep(argc, argv);
    if (command == "scan") return RunScan(argc, argv);
    if (command == "devices") return RunDevices(argc, argv);
    if (command == "listen") return RunListen(argc, argv);
    if (command == "send") return RunSend(argc, argv);
    if (command == "rig") return RunRig(argc, argv);
    if (command == "log") return RunLog(argc, argv);
    if (command == "help" || command == "--help" || command == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (command.empty()) {
      std::fprintf(stderr, "vela-modem: no command given\n%s", kUsage);
    } else {
      std::fprintf(stderr, "vela-modem: unknown command \"%.*s\" (vela-modem help lists them)\n",
                   static_cast<int>(command.size()), command.data());
    }
    return 2;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vela-modem: %s\n", e.what());
    return 2;
  } catch (const IoError& e) {
    std::fprintf(stderr, "vela-modem: %s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vela-modem: %s\n", e.what());
    return 1;
  }
}

int main(int argc, char** argv) {
  // The guard that releases a rig's PTT should this process die keyed is this program again.
  if (const auto guardStatus = vela::RunPttGuardIfAsked(argc, argv)) return *guardStatus;
  return FinishStandardOutput(RunCommand(argc, argv));
}
