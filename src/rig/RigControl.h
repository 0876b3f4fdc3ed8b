// The rig through Hamlib, for PTT by CAT, rigctld or a CM108 interface and for the dial
// frequency. Hamlib blocks for as long as a rig takes to answer, and a rig that stops
// answering takes its full timeout: so every Hamlib call runs on one worker thread owned
// by this object, and the caller waits at most about two seconds for any answer. Dial
// readings reach the owner's thread through its event loop, never blocking it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "rig/RigSettings.h"
#include "station/PttControl.h"

namespace vela {

class MainThreadPoster;
class RigSession;

// What the rig said when asked for its dial, or why it said nothing.
struct RigReading {
  bool ok = false;
  double dialHz = 0;  // as the rig shows it, before any converter offset
  std::string mode;   // Hamlib's name: USB, LSB, CW, PKTUSB, ...
  std::string error;  // when not ok: one line naming what failed
};

class RigControl : public PttControl {
 public:
  using ReadingHandler = std::function<void(const RigReading&)>;
  // The longest any call waits for the rig (opening waits a little longer, for Hamlib's
  // own retries on a port that will not open).
  static constexpr std::chrono::milliseconds kAnswerWait{2000};
  static constexpr std::chrono::milliseconds kOpenWait{2500};

  RigControl();
  // Releases PTT if keyed and disconnects, waiting at most kAnswerWait for a dead rig.
  ~RigControl() override;
  RigControl(const RigControl&) = delete;
  RigControl& operator=(const RigControl&) = delete;

  // Connects to the rig `settings` name (a method that UsesHamlib()). False, with the reason
  // in error(), when it cannot. The settings are kept: Key() and the poll try to connect
  // again each time, so a rig switched on later, or a restarted rigctld, is found.
  bool Open(const RigSettings& settings);
  // Releases PTT if keyed and disconnects; nothing more is tried until the next Open().
  void Close();

  // Keys or releases the transmitter. False with error() when the rig could not be told or
  // did not answer in time; a key that timed out is released as soon as the rig answers.
  bool Key(bool on) override;
  std::string error() const override;

  // One reading of the dial, now (the command line's `rig`).
  RigReading ReadDial();
  // The rig's PTT as the rig reports it; false with error() when it cannot be read.
  bool ReadPtt(bool* keyed);
  // Tunes the rig: dial frequency and Hamlib mode name.
  bool SetDial(double hz, const std::string& mode);

  // Reads the dial every `interval` while the transmitter is not keyed (never while it is)
  // and hands each reading to `handler` on the thread that called StartPolling, which must
  // run a Qt event loop. A failure is handed over once; the poll then goes on trying quietly
  // and hands over the next good reading.
  void StartPolling(ReadingHandler handler,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(1000));
  void StopPolling();

 private:
  struct Shared;
  static void Run(std::shared_ptr<Shared> shared);
  // Hands `work` to the worker and waits for it at most `wait`; false if it did not finish.
  static bool Submit(Shared& shared, std::function<void(RigSession&)> work,
                     std::chrono::milliseconds wait);
  // Runs `work` on the worker; true when it answered true, with the session's reason in
  // error() when it answered false.
  bool Attempt(std::function<bool(RigSession&)> work, std::chrono::milliseconds wait);

  std::shared_ptr<Shared> shared_;
  std::unique_ptr<MainThreadPoster> poster_;
  std::thread worker_;
};

}  // namespace vela
