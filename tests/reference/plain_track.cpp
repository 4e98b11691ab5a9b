// The plain scans, kept as they were before the game's rules and queries went through grids.
#include "tests/reference/plain_track.h"

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

namespace {

std::vector<std::vector<Vec3>> capturedPolygons;

}  // namespace

bool plainIsEar(int32_t n, const Vec3* points, int32_t i) {
  Vec3 a = points[i], b = points[i + 1], c = points[i + 2];
  if (turnSign(a, b, b, c) != -1) return false;
  Vec2 ab = planDelta(a, b), ac = planDelta(a, c), ca = planDelta(c, a), cb = planDelta(c, b);
  for (int32_t k = 0; k < n; k++) {
    if (k == i || k == i + 1) continue;
    if (blocksEar(points[k], a, c, ab, ac, ca, cb) || blocksEar(points[k + 1], a, c, ab, ac, ca, cb)) return false;
  }
  return true;
}

void plainTriangulatePolygon(TTrack* track, int32_t n, Vec3* points) {
  auto addTriangle = [track](Vec3 a, Vec3 b, Vec3 c) {
    track->triangles =
        static_cast<TTriangle**>(std::realloc(track->triangles, sizeof(TTriangle*) * size_t(track->triangleCount + 1)));
    track->triangles[track->triangleCount++] = new TTriangle(a, b, c, false);
  };
  points[n] = points[0];
  points[n + 1] = points[1];
  int32_t i = 0;
  int32_t missed = 0;
  while (n > 3 && missed < n) {
    if (!plainIsEar(n, points, i)) {
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
  std::free(points);
}

const TTriangle* plainFindTriangle(const TTrack& track, float x, float y, float z) {
  for (int32_t i = 0; i < track.triangleCount; i++)
    if (track.triangles[i]->contains(x, y, z)) return track.triangles[i];
  return track.triangles[0];
}

const TLoadSteps plainLoadSteps = {plainIsFarFromWaypoints, plainPassesCrossingRule, plainTriangulatePolygon};

std::vector<std::vector<Vec3>> groundPolygons(const char* fileName) {
  capturedPolygons.clear();
  TLoadSteps capture = trackLoadSteps;
  capture.triangulatePolygon = [](TTrack* track, int32_t n, Vec3* points) {
    capturedPolygons.emplace_back(points, points + n);
    track->triangulatePolygon(n, points);
  };
  TTrack track;
  if (track.load(fileName, nullptr, capture) != loadOk) capturedPolygons.clear();
  return capturedPolygons;
}

Vec3* polygonCopy(const std::vector<Vec3>& polygon) {
  Vec3* points = static_cast<Vec3*>(std::malloc(sizeof(Vec3) * (polygon.size() + 2)));
  std::memcpy(points, polygon.data(), sizeof(Vec3) * polygon.size());
  return points;
}
