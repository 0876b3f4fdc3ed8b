// What a test sees of the transmit controller: whether its output has closed again, and the
// failures it reported.
#pragma once

#include <string>
#include <vector>

#include "station/TransmitController.h"

namespace vela::test {

class TransmitWatch : public TransmitEvents {
 public:
  void TransmitStateChanged(const TransmitState& now, const TransmitState& before) override {
    if (before.outputOpen() && !now.outputOpen()) closed = true;
  }
  void TransmitPaneSent() override {}
  void TransmitFailed(TransmitProblem, const std::string& detail) override {
    failures.push_back(detail);
  }
  void SetMorseClock(int) override {}
  void ReadyToExit() override {}
  bool closed = false;
  std::vector<std::string> failures;
};

}  // namespace vela::test
