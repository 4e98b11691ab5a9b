// A top view of a checked track as SVG, north up and east right as on the track overview.
#pragma once

#include <string>

#include "tools/track_check.h"

constexpr double mapSizePixels = 800.0;  // the map's longer side, without the caption

// An accepted track shows its mesh: ground in its own shades, the grey road, the border, the
// numbered waypoints with the start and the driving direction, and crash slopes in orange. A
// refused track shows its centre line and waypoints with the fault marked in red.
std::string trackMapSvg(const TTrackCheck& check);
