#include "app/window/StationWiring.h"

#include <QPlainTextEdit>

#include "app/window/MainWindow.h"
#include "app/window/Station.h"

namespace vela::app {

void ConnectStation(MainWindow& window, Station& station) {
  MainWindow* w = &window;
  Station* s = &station;
  QObject::connect(w, &MainWindow::settingsChanged, s, &Station::ApplySettings);
  QObject::connect(w, &MainWindow::clearTxRequested, s, &Station::ClearTransmitText);
  QObject::connect(w, &MainWindow::pttChosen, s, &Station::OpenChosenPtt);
  QObject::connect(w, &MainWindow::soundcardSelectionStarting, s, &Station::PrepareCardChoice);
  QObject::connect(w, &MainWindow::captureDeviceChosen, s, &Station::ChooseCaptureDevice);
  QObject::connect(w, &MainWindow::recordingChosen, s,
                   [s](const QString& path) { s->DecodeRecording(path); });
  QObject::connect(w, &MainWindow::receiveRecordingRequested, s, &Station::RecordReceiveAudio);
  // The transmitter reads the pane afresh for every bit: keep its copy current.
  QObject::connect(w->transmitPane(), &QPlainTextEdit::textChanged, s,
                   [w, s] { s->SetTransmitText(w->transmitPane()->toPlainText()); });
  window.AttachStation(&station);
  QObject::connect(s, &QObject::destroyed, w, [w] { w->AttachStation(nullptr); });
}

}  // namespace vela::app
