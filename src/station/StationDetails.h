// The station's own details, for spots and for the operator's first start: where it is,
// what it listens with, and, for a station without CAT, where its dial stays. Kept in a
// small file of their own beside VELApreferences.INI (whose layout older versions still
// read), one "key=value" a line. The callsign itself stays in VELApreferences.INI.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "display/WaterfallZoom.h"

namespace vela {

inline constexpr char kStationFileName[] = "VELAstation.INI";

// Where a window of the terminal's was last left: its inside, in desktop pixels.
struct WindowPlace {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowPlace&) const = default;
};

struct StationDetails {
  std::string locator;  // Maidenhead, 4 or 6 characters ("IO91" or "IO91wm"); empty unknown
  std::string antenna;  // free text, one line
  // A dial that does not move, for a station without CAT: 0 when none is set.
  int64_t fixedDialHz = 0;
  bool lowerSideband = false;
  int64_t converterOffsetHz = 0;  // added to the dial (a converter or transverter)
  // The number spots are sent under (kept, so the service sees one station); 0 none yet.
  uint32_t reportId = 0;
  bool reporting = false;  // spots on
  // The UDP messages to a logger or station tool: on or off, and where ("HOST:PORT").
  bool loggerLink = false;
  std::string loggerServer = "127.0.0.1:2237";
  // How the station last listened: the mode's name ("VELA63"; empty for the default) and
  // the receiver, the enhanced one unless the operator chose the standard one.
  std::string mode;
  bool enhancedReceiver = true;
  bool transmitFollows = true;              // the transmit frequency moves with the receiver's
  std::optional<WindowPlace> browserPlace;  // the signal browser's; none until it has been open
  // The waterfall's span (zoom), lines (audio samples a line), gain and range.
  WaterfallSettings waterfall;
  bool operator==(const StationDetails&) const = default;
};

// A Maidenhead locator of 4 or 6 characters (field letters A-R, square digits, subsquare
// letters A-X; case ignored).
bool IsLocator(std::string_view text);

struct StationDetailsLoad {
  enum class Status { Read, Missing, Garbled };
  StationDetails details;  // the defaults unless Read
  Status status = Status::Missing;
  std::string message;  // Garbled: one line saying what was wrong and that defaults are used
};

std::string FormatStationDetails(const StationDetails& details);
// Read or Garbled. Unknown keys are passed over (a later version may add some).
StationDetailsLoad ParseStationDetails(const std::string& text);
// A missing file is the defaults without a word; a garbled one the defaults with a message.
StationDetailsLoad LoadStationDetails(const std::string& path);
// Written safely: the old file stays whole on any failure. False with a one-line `error`.
bool SaveStationDetails(const std::string& path, const StationDetails& details, std::string* error);

}  // namespace vela
