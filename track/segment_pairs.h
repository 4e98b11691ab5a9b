// The pairs of centre-line segments that the crossing test could find crossing, so the crossing
// rule tests those instead of every pair.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/vector.h"

// Pairs (i, j) with i > j of the n segments of the closed loop (segment k from waypoints[k] to
// waypoints[k + 1]; waypoints[n] is the closing copy), in the order the plain scan meets them:
// i ascending, then j. Every pair the crossing test (intersectLines and inUnitRange on plan
// deltas) would report is among them; segments that share a waypoint are left out, as that test
// never finds them crossing. The waypoints must be finite. Adds to *steps, when given, the work
// the search took: a step for each grid cell a segment is filed under and for each pair compared.
std::vector<std::pair<int32_t, int32_t>> segmentPairsThatMayCross(const Vec3* waypoints, int32_t n,
                                                                  int64_t* steps = nullptr);
