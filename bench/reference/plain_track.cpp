// The plain scans, kept as they were before the game's rules and queries went through grids.
#include "bench/reference/plain_track.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool plainIsFarFromWaypoints(const TTrack& track, Vec3 point, int32_t* nearWaypoint) {
  for (int32_t i = 0; i < track.waypointCount; i++)
    if (!(distance(point, track.waypoints[i]) >= minWaypointDistance)) {
      if (nearWaypoint != nullptr) *nearWaypoint = i;
      return false;
    }
  return true;
}

bool plainPassesCrossingRule(const TTrack& track, TCrossing* crossing) {
  const Vec3* w = track.waypoints;
  for (int32_t i = 1; i < track.waypointCount; i++) {
    Vec2 a = planDelta(w[i], w[i + 1]);
    for (int32_t j = 0; j < i; j++) {
      Vec2 c = planDelta(w[i], w[j]);
      Vec2 b = planDelta(w[j], w[j + 1]);
      float u, v;
      if (intersectLines(c, a, b, &u, &v) && inUnitRange(u, false) && inUnitRange(v, false)) {
        if (crossing != nullptr) *crossing = {i, j, u};
        return false;
      }
    }
  }
  return true;
}

void plainTriangulatePolygon(TTrack* track, const std::vector<Vec3>& polygon) {
  int32_t n = int32_t(polygon.size());
  std::vector<Vec3> array(polygon.size() + 2);
  std::copy(polygon.begin(), polygon.end(), array.begin());
  Vec3* points = array.data();
  auto addTriangle = [track](Vec3 a, Vec3 b, Vec3 c) { track->addTriangle(a, b, c, false); };
  points[n] = points[0];
  points[n + 1] = points[1];
  int32_t i = 0;
  int32_t missed = 0;
  while (n > 3 && missed < n) {
    if (!track->isEar(n, points, i)) {
      i = (i + 1) % n;
      missed++;
      continue;
    }
    addTriangle(points[i], points[i + 1], points[i + 2]);
    int32_t j = (i + 1) % n;
    std::memmove(points + j, points + j + 1, sizeof(Vec3) * size_t(n + 1 - j));
    if (j <= 1) {
      points[n - 1] = points[0];
      points[n] = points[1];
    }
    n--;
    i = j % n;
    missed = 0;
  }
  addTriangle(points[0], points[1], points[2]);
  for (int32_t k = 2; k + 1 < n; k++) addTriangle(points[0], points[k], points[k + 1]);
}

const TTriangle* plainFindTriangle(const TTrack& track, float x, float y, float z) {
  for (int32_t i = 0; i < track.triangleCount; i++)
    if (track.triangles[i]->contains(x, y, z)) return track.triangles[i];
  return track.triangles[0];
}

std::vector<std::vector<Vec3>> groundPolygons(const char* fileName) {
  TTrack track;
  if (track.load(fileName) != loadOk) return {};
  TRoadOutline outline = track.roadOutline();
  return {outline.infield, outline.outer};
}
