// listen --scan: the band scan on the sound card's input, live.
#pragma once

namespace vela::cli {

class Options;

// Scans until interrupted: a line as each signal is listed, its text as the lines come, a
// line as it fades; at the end every signal heard with its text, as scan prints them.
int ListenScan(const Options& opt, char** argv);

}  // namespace vela::cli
