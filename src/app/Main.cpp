// vela-terminal: the operator's window. Settings come from VELApreferences.INI in the
// current directory, are kept there as they change, and are written there at the end.
//
//   vela-terminal [RECORDING.wav]
//
// A recording named on the command line is played into the receiver once the window is
// up, as File > Decode recording... would.
#include <QApplication>
#include <QStringList>

#include "app/Preferences.h"
#include "app/Terminal.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELA Terminal"));
  const QStringList args = QApplication::arguments();
  vela::app::Terminal terminal(QString::fromLatin1(vela::app::Preferences::kFileName),
                               args.size() > 1 ? args.at(1) : QString());
  return terminal.Run();
}
