// vela-terminal: the operator's window. Settings come from VELApreferences.INI in the
// current directory and go back there when the window closes.
#include <QApplication>
#include <QMessageBox>

#include "app/MainWindow.h"
#include "app/Preferences.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELA Terminal"));

  QString warning;
  const vela::app::Preferences preferences = vela::app::Preferences::Load(
      QString::fromLatin1(vela::app::Preferences::kFileName), &warning);
  int result = 0;
  vela::app::Preferences final;
  {
    vela::app::MainWindow window(preferences);
    if (!warning.isEmpty()) QMessageBox::warning(&window, window.windowTitle(), warning);
    window.show();
    result = app.exec();
    final = window.CurrentPreferences();
  }
  QString error;
  if (!final.Save(QString::fromLatin1(vela::app::Preferences::kFileName), &error)) {
    QMessageBox::warning(nullptr, QStringLiteral("VELA Terminal"), error);
  }
  return result;
}
