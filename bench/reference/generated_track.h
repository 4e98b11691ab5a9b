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
// Shapes made of long straight runs, and the circle they are measured against.
enum TTrackShape { shapeCircle, shapeSquare, shapeThinRectangle, shapeComb };
// About count waypoints 20 apart round the shape, clockwise and level: a circle; a square; a
// rectangle 100 times as long as it is wide; eight fingers 40 apart reaching north from a base.
// The straights of all but the circle run along the axes unless turned by angle (radians)
// round their start.
std::vector<TFileWaypoint> shapedWaypoints(TTrackShape shape, int32_t count, double angle = 0.0);
// The waypoints as a track file, with the given decimals.
std::string trackFileText(const std::vector<TFileWaypoint>& waypoints, int decimals = 2);
