// Ear clipping of the ground's polygons, apart from the track so it may run on any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vector.h"

// The corners of one ground triangle as the ear clipping cuts it.
struct TCorners {
  Vec3 a, b, c;
};

// Cuts a clockwise polygon as TTrack::triangulatePolygon does and returns the triangles' corners
// in its order, without making them: the triangles draw their shades from the game's generator,
// which only the thread that made the race may do, while the cutting touches nothing shared and
// may run on any thread. Adds its work to *pointTests: the points its searches looked at, and again
// those they tested against a corner.
std::vector<TCorners> cutGroundPolygon(const std::vector<Vec3>& polygon, int64_t* pointTests);
// The triangles a ground polygon of that many points is cut into: m - 2, and at least one.
inline int32_t groundTriangleCount(size_t points) { return points > 3 ? int32_t(points) - 2 : 1; }
