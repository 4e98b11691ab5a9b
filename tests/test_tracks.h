// Track files for the car and camera tests: written into a temporary folder and loaded as the
// game's one track.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/game.h"
#include "track/track.h"

// Waypoint lines as the track file holds them: "east north height" per line.
// A square of side 100, clockwise: north from the start, then east, south and west.
inline const char* const flatSquare = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";
// The same square with a ramp in the middle of each side leg: from the start, 30 north of the
// south-west corner, the road climbs 20 over the next 40 units north and is level at 20 along
// the north side; the east side comes down again between 70 and 30 north. The ramps lie
// between waypoints on straight runs, where the road's edges are not moved by corner joins, so
// the road there is one plane.
inline const char* const rampSquare =
    "0 30 0\n0 70 20\n0 100 20\n100 100 20\n100 70 20\n100 30 0\n100 0 0\n0 0 0\n";

// Writes a track file and returns its path.
inline std::string writeTrackFile(const std::string& name, const std::string& waypointLines) {
  std::string path = ::testing::TempDir() + name + ".tck";
  std::ofstream(path) << "#Track\n" << name << "\n" << waypointLines;
  return path;
}

// Loads the lines as the game's track, replacing any earlier one.
inline void loadGameTrack(const std::string& waypointLines) {
  delete track;
  track = new TTrack();
  int8_t result = track->load(writeTrackFile("test", waypointLines).c_str());
  ASSERT_EQ(result, loadOk);
}

inline void releaseGameTrack() {
  delete track;
  track = nullptr;
}
