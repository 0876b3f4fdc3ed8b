// vela-modem: the command-line modem.
#include <cstdio>
#include <string>
#include <string_view>

#include "coding/Frame.h"
#include "coding/Interleave.h"
#include "coding/Modes.h"
#include "coding/Varicode.h"

namespace {

int PrintTables() {
  using namespace vela;
  std::printf("%-8s %9s %8s %10s %9s %6s %5s %6s\n", "mode", "baud", "samples", "tone Hz",
              "interlv", "frame", "bits", "rate");
  for (Mode m : {Mode::Vela8, Mode::Vela31, Mode::Vela63, Mode::Vela125}) {
    const ModeParams& p = ModeTable(m);
    std::printf("%-8s %9.4f %8d %+10.6f %9s %6d %5d %6d\n", std::string(p.name).c_str(),
                p.symbolRate, p.samplesPerSymbol, p.toneOffset,
                p.interleave == InterleaveLength::Short ? "short" : "long", p.frameLength,
                p.dataBitsPerFrame, p.modeRate);
  }
  std::printf("\nvaricode of \"CQ\": %s%s\n", PrimaryCharacterBits('C').c_str(),
              PrimaryCharacterBits('Q').c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  if (command == "tables") return PrintTables();
  std::fprintf(stderr, "usage: vela-modem tables\n");
  return 2;
}
