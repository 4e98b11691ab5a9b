// Clockwise tracks of any length made from a seed, for comparing the game's rules, ear clipping
// and triangle search with the plain scans, and for timing both.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TFileWaypoint {
  double east, north, height;  // as the track file gives them
};

// Waypoints about 20 to 30 apart round a wavering circle, some pulled a few units inwards so
// the road turns left there (reflex corners of the infield), on rolling hills. With straights,
// some stretches get a waypoint halfway along, on the line between its neighbours as far as the
// file's decimals allow.
std::vector<TFileWaypoint> generatedWaypoints(int32_t count, uint32_t seed, bool straights = false);
// The waypoints as a track file, with the given decimals.
std::string trackFileText(const std::vector<TFileWaypoint>& waypoints, int decimals = 2);
