// Ends the terminal on SIGTERM, SIGINT, SIGHUP or SIGQUIT whatever box or dialog is open, the
// way a session manager logging out, a closed terminal or a script stopping the station
// expects: the transmitter stops and PTT is released first, the settings are written if they
// can be, then the process ends with the signal's status, within two seconds. The signal is taken
// in any event loop, the modal ones included; should no event loop run at all, an alarm ends the
// process after three seconds all the same.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QSocketNotifier;

namespace vela::app {

class SignalShutdown : public QObject {
 public:
  struct Steps {
    // Asks the transmitter to stop; true once nothing of ours is on the air any more.
    std::function<bool()> stopTransmitter;
    // Writes what the operator set, quietly: no box is answered on the way out.
    std::function<void()> save;
  };
  // How long the transmitter gets to let go of the sound output.
  static constexpr int kGraceMs = 1500;

  explicit SignalShutdown(Steps steps, QObject* parent = nullptr);
  ~SignalShutdown() override;
  SignalShutdown(const SignalShutdown&) = delete;
  SignalShutdown& operator=(const SignalShutdown&) = delete;

  // Ends the process as the signal taken would have, if one was: for the program's own
  // shut-down, should the window have closed first (the transmitter let go at once).
  void EndIfSignalled();

 private:
  void Begin();
  void Poll();
  void Finish();

  Steps steps_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer poll_;
  int elapsedMs_ = 0;
  int signal_ = 0;
};

}  // namespace vela::app
