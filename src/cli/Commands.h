// The file commands of vela-modem. Each returns the process exit status and throws
// UsageError / IoError (see Options.h) for the one-line reasons.
#pragma once

namespace vela::cli {

int RunEncode(int argc, char** argv);
int RunDecode(int argc, char** argv);
int RunChannel(int argc, char** argv);
int RunSweep(int argc, char** argv);
int RunScan(int argc, char** argv);
int RunLog(int argc, char** argv);

}  // namespace vela::cli
