// The window and its station, wired together: the operator's choices in the window reach
// the station as commands, and the window passes its transmit presses on through the
// station until the station goes.
#pragma once

namespace vela::app {

class MainWindow;
class Station;

void ConnectStation(MainWindow& window, Station& station);

}  // namespace vela::app
