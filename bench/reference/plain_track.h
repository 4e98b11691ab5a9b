// The track's distance and crossing rules, ear clipping and triangle search as plain scans over
// every pair and every point, as the game first had them: the answers its indexed versions must
// give, and the times those are measured against.
#pragma once

#include <cstdint>
#include <vector>

#include "track/track.h"
#include "track/triangle.h"

bool plainIsFarFromWaypoints(const TTrack& track, Vec3 point, int32_t* nearWaypoint);
bool plainPassesCrossingRule(const TTrack& track, TCrossing* crossing);
// Shifts an array of the remaining points down after every cut, testing each corner against
// every remaining point with TTrack::isEar.
void plainTriangulatePolygon(TTrack* track, const std::vector<Vec3>& polygon);
const TTriangle* plainFindTriangle(const TTrack& track, float x, float y, float z);

// The ground polygons a track file's mesh cuts, infield first; empty when the file does not load.
std::vector<std::vector<Vec3>> groundPolygons(const char* fileName);
