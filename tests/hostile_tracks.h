// Track files made to hurt, shared by the loader's tests and the end-to-end tests that play them.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "track/track.h"

namespace hostile {

struct Hostile {
  const char* name;
  std::string text;                  // the whole file
  int8_t result;                     // what load returns
  std::optional<std::string> title;  // the title a loaded track keeps, where it matters
};

inline void PrintTo(const Hostile& c, std::ostream* out) { *out << c.name; }

inline std::string track(const std::string& waypoints, const std::string& title = "Hostile") {
  return "#Track\n" + title + "\n" + waypoints;
}

inline const std::string square = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";

inline const Hostile hostileTracks[] = {
    // The notch's tip comes within 3 units of the closing leg: the two roads overlap.
    {"LoopPassingWithinThreeUnits",
     track("0 0 0\n0 100 0\n45 100 0\n50 3 0\n55 100 0\n100 100 0\n100 0 0\n"),
     loadOk,
     {}},
    {"LoopPassingWithinFiveUnits",
     track("0 0 0\n0 100 0\n45 100 0\n50 5 0\n55 100 0\n100 100 0\n100 0 0\n"),
     loadOk,
     {}},
    // Down the spike and back up the very same line.
    {"SpikeDoublingBackOnOneLine",
     track("0 0 0\n0 100 0\n50 100 0\n50 20 0\n50 90 0\n100 100 0\n100 0 0\n"),
     loadOk,
     {}},
    {"SpikeDoublingBackBesideItself",
     track("0 0 0\n0 100 0\n50 100 0\n50 20 0\n51 90 0\n100 100 0\n100 0 0\n"),
     loadOk,
     {}},
    {"StraightBackOverItself", track("0 0 0\n0 100 0\n0 200 0\n0 150 20\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"OnePlanPositionTwice", track("0 0 0\n0 100 0\n50 50 20\n100 100 0\n100 0 0\n60 -20 0\n50 50 0\n"), loadOk, {}},
    // Turns of about 176 degrees: up a long leg and straight back down beside it.
    {"HairpinsSharperThan170Degrees",
     track("0 0 0\n0 200 0\n12 0 0\n24 200 0\n36 0 0\n36 -50 0\n0 -50 0\n"),
     loadOk,
     {}},
    {"EveryLegExactlyTenLong", track("0 0 0\n0 10 0\n10 10 0\n10 0 0\n"), loadOk, {}},
    {"EveryLegExactlyTenLongInThreeDimensions", track("0 0 0\n0 8 6\n8 8 0\n8 0 6\n"), loadOk, {}},
    {"CoordinatesAtPlusAndMinusAMillion",
     track("-1000000 -1000000 -1000000\n-1000000 1000000 0\n1000000 1000000 1000000\n1000000 -1000000 0\n"),
     loadOk,
     {}},
    // Legs of 10 where a float holds positions only to a sixteenth of a unit.
    {"SmallTrackAtAMillion",
     track("999990 999990 0\n999990 1000000 0\n1000000 1000000 0\n1000000 999990 0\n"),
     loadOk,
     {}},
    // A sliver 20 times longer than it is wide: the mesh has edges so nearly level that their
    // lines reach far beyond the grid's cells.
    {"LongThinTriangle", track("1 0 2\n0 5951 0\n292 0 0\n"), loadOk, {}},
    {"HeightsOf500BetweenNeighbours", track("0 0 0\n0 100 500\n100 100 0\n100 0 500\n"), loadOk, {}},
    {"CliffOf500OnAShortLeg", track("0 0 0\n0 10 500\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"TitleOf254Characters", track(square, std::string(254, 'T')), loadOk, std::string(254, 'T')},
    {"TitleOf255Characters", track(square, std::string(255, 'T')), loadNotTrackFile, {}},
    {"CrOnlyLineEnds", "#Track\rOld line ends\r0 0 0\r0 100 0\r100 100 0\r100 0 0\r", loadNotTrackFile, {}},
    {"NulByteInTitle", track(square, std::string("Before\0after", 12)), loadOk, "Before"},
};

}  // namespace hostile
