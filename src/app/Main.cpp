// vela-terminal: the operator's window. Settings come from VELApreferences.INI in the
// current directory and go back there when the window closes.
//
//   vela-terminal [RECORDING.wav]
//
// A recording named on the command line is played into the receiver once the window is
// up, as File > Decode recording... would.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStringList>
#include <csignal>

#include "app/MainWindow.h"
#include "app/Preferences.h"
#include "app/Station.h"
#include "app/StatusBar.h"
#include "platform/PortAudioInput.h"
#include "platform/PortAudioOutput.h"
#include "platform/PortAudioSystem.h"
#include "platform/WavFileDevices.h"

namespace {

int signalPipe[2] = {-1, -1};

// A desktop logout or Ctrl+C in the starting terminal ends the program: close the window
// the normal way so the transmitter is dropped and the settings are written.
void OnTerminate(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[0], &byte, 1);
}

void CloseOnTerminate(QWidget* window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[1], &byte, 1);
    window->close();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELA Terminal"));
  const QString fileName = QString::fromLatin1(vela::app::Preferences::kFileName);

  QString warning;
  const vela::app::Preferences preferences = vela::app::Preferences::Load(fileName, &warning);
  const QStringList args = QApplication::arguments();
  const QString recording = args.size() > 1 ? args.at(1) : QString();

  // The sound system is there for the whole run; a machine without one still gets the
  // window (the devices then fail to open, and the operator is told).
  vela::PortAudioSystem sound;
  vela::PortAudioInput input(sound);
  vela::PortAudioOutput output(sound);
  vela::app::SerialPttPort ptt;

  int result = 0;
  {
    vela::app::MainWindow window(preferences);
    CloseOnTerminate(&window);
    vela::app::Station station(window, {&input, &output, &ptt});
    if (!warning.isEmpty()) QMessageBox::warning(&window, window.windowTitle(), warning);
    window.show();
    station.Start(recording);
    if (!sound.ok()) {
      window.statusBarWidget()->ShowNote(
          QStringLiteral("No sound system: ") + QString::fromStdString(sound.error()), 10000);
    }
    result = app.exec();

    // Shut-down: the PTT port first, then the settings, then capture.
    station.ClosePtt();
    QString error;
    if (!window.CurrentPreferences().Save(fileName, &error)) {
      QMessageBox::warning(nullptr, QStringLiteral("VELA Terminal"), error);
    }
    station.StopCapture();
  }
  return result;
}
