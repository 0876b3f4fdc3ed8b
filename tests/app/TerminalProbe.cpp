// The real terminal, started in a folder of the test's, doing one thing an operator would
// once it is up: opening a dialog by its command (or right-click) id, defining a macro,
// going on air first, or closing the window. It prints what it does, and what modal box is
// open (with a message box's text), so the test knows when to send its signal.
//
//   terminal-probe SETTINGS [--send] [--command ID | --context ID | --macro LABEL TEXT |
//                  --close]
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/window/MainWindow.h"
#include "app/window/Terminal.h"
#include "rig/PttGuard.h"

namespace {

void Say(const char* what, const char* detail = "") {
  std::printf("%s %s\n", what, detail);
  std::fflush(stdout);
}

void SayModal(QWidget* modal) {
  QString what = modal ? QString::fromLatin1(modal->metaObject()->className()) : "none";
  if (auto* box = qobject_cast<QMessageBox*>(modal)) what += u' ' + box->text();
  Say("modal", what.replace(u'\n', u' ').toUtf8().constData());
}

// Once the modal loop of whatever box opens next is running, says which one it is; or, if
// none has opened within `patienceMs`, says so.
void ReportModal(int patienceMs = 5000) {
  QTimer::singleShot(100, [patienceMs] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr || patienceMs <= 0) {
      SayModal(modal);
      return;
    }
    ReportModal(patienceMs - 100);
  });
}

// Says each box that opens within `patienceMs`, one over another.
void WatchModals(int patienceMs, QWidget* last = nullptr) {
  QTimer::singleShot(100, [patienceMs, last] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != last) SayModal(modal);
    if (patienceMs > 0) WatchModals(patienceMs - 100, modal != nullptr ? modal : last);
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto guardStatus = vela::RunPttGuardIfAsked(argc, argv)) return *guardStatus;
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  vela::app::Terminal terminal(QString::fromLocal8Bit(argv[1]), QString());
  vela::app::MainWindow& window = terminal.window();
  bool send = false;
  int command = 0;
  int context = 0;
  bool close = false;
  const char* label = nullptr;
  const char* text = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--send")) send = true;
    if (!std::strcmp(argv[i], "--close")) close = true;
    if (!std::strcmp(argv[i], "--command") && i + 1 < argc) command = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--context") && i + 1 < argc) context = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--macro") && i + 2 < argc) {
      label = argv[++i];
      text = argv[++i];
    }
  }
  QTimer::singleShot(500, [&] {
    if (send) window.Command(110);
    QTimer::singleShot(send ? 1500 : 0, [&] {
      Say(window.txActive() ? "on-air" : "receiving");
      if (label != nullptr) {
        // The operator types into the macro dialog and presses OK.
        QTimer::singleShot(200, [&] {
          QWidget* dialog = QApplication::activeModalWidget();
          if (dialog == nullptr) return;
          dialog->findChild<QLineEdit*>(QStringLiteral("c10002"))->setText(label);
          dialog->findChild<QPlainTextEdit*>(QStringLiteral("c10003"))->setPlainText(text);
          dialog->findChild<QPushButton*>(QStringLiteral("c10004"))->click();
        });
        window.ContextHelp(9310, QPoint());
        Say("defined");
        WatchModals(5000);  // a box telling the macro could not be saved
        return;
      }
      Say("opening");
      ReportModal();
      if (close) window.close();
      if (context != 0) window.ContextHelp(context, QPoint());
      if (command != 0) window.Command(command);
    });
  });
  Say("starting");
  ReportModal(300);  // the start-up warning, if any
  return terminal.Run();
}
