#pragma once
// A position text of the GPS link in degrees, for files that carry the
// position on (the export reads a real-time collection's ".gps" file).
#include <optional>
#include <string_view>

namespace tmv {

struct GeoPosition {
  double latitude = 0.0, longitude = 0.0;  // decimal degrees, north and east positive
};

// A position text as ParseNmeaSentence writes it (" 4807.0380,N,01131.0000,E",
// NMEA ddmm.mmmm); nothing for any other text.
std::optional<GeoPosition> PositionFromText(std::string_view text);

}  // namespace tmv
