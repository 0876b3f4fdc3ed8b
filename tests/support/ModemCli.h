// vela-modem run as a script runs it: its exit status, standard output and standard error.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace vela::test {

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

// Runs the vela-modem under test with `args`, its standard error going through `dir`.
inline CliResult Modem(const std::string& args, const std::string& dir) {
  const std::string errFile = dir + "/stderr.txt";
  const std::string cmd = std::string(VELA_MODEM_BIN) + " " + args + " 2>" + errFile;
  CliResult r{};
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int raw = pclose(p);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream e(errFile);
  std::getline(e, r.err, '\0');
  return r;
}

}  // namespace vela::test
