// Checking a track file for its author: the game's loader gives the verdict and the detail of
// where it failed; this only turns that into waypoints, lines and places, and measures the mesh
// of an accepted track.
#include "tools/track_check.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "track/load_message.h"
#include "geometry/random.h"
#include "track/triangle.h"

namespace {

constexpr double degreesPerRadian = 180.0 / pi;

TWaypointRef waypointRef(const TTrackCheck& check, int index) {
  int line = index < int(check.detail.waypointLines.size()) ? check.detail.waypointLines[size_t(index)] : 0;
  return {index + 1, line, placeOf(check.track->waypoints[index])};
}

double planDistanceToSegment(double x, double z, Vec3 a, Vec3 b) {
  double dx = double(b.x) - a.x, dz = double(b.z) - a.z;
  double lengthSquared = dx * dx + dz * dz;
  double t = lengthSquared > 0.0 ? ((x - a.x) * dx + (z - a.z) * dz) / lengthSquared : 0.0;
  t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
  return std::hypot(x - (a.x + t * dx), z - (a.z + t * dz));
}

bool samePlanPoint(Vec3 a, Vec3 b) { return a.x == b.x && a.z == b.z; }

// Whether t has a side whose ends are two corners of road: the ground and the road are cut from
// the same edge points, so a side they share has the very same ends.
bool sharesSide(const TTriangle& t, const TTriangle& road) {
  int shared = 0;
  for (Vec3 corner : {t.vertexA, t.vertexB, t.vertexC})
    for (Vec3 roadCorner : {road.vertexA, road.vertexB, road.vertexC})
      if (samePlanPoint(corner, roadCorner)) {
        shared++;
        break;
      }
  return shared >= 2;
}

// The ground is cut from the road's edge points, so nearly every ground triangle has a corner on
// the road's edge; only one with a whole side there lies where a car that runs off the road lands.
bool isAtRoadEdge(const TTrack& track, int index) {
  if (index < track.infieldStart) return true;
  for (int i = 0; i < track.infieldStart; i++)
    if (sharesSide(*track.triangles[index], *track.triangles[i])) return true;
  return false;
}

TSlope slopeOf(const TTrack& track, int index) {
  const TTriangle& t = *track.triangles[index];
  Vec3 centroid = {(t.vertexA.x + t.vertexB.x + t.vertexC.x) / 3.0f, (t.vertexA.y + t.vertexB.y + t.vertexC.y) / 3.0f,
                   (t.vertexA.z + t.vertexB.z + t.vertexC.z) / 3.0f};
  int nearest = 0;
  double nearestDistance = INFINITY;
  for (int i = 0; i < track.waypointCount; i++) {
    double d = planDistanceToSegment(centroid.x, centroid.z, track.waypoints[i], track.waypoints[i + 1]);
    if (d < nearestDistance) {
      nearestDistance = d;
      nearest = i;
    }
  }
  const char* ground = index < track.infieldStart ? "road" : (index < track.outerStart ? "infield" : "outer ground");
  return {index, ground, t.slopeAngle * degreesPerRadian, placeOf(centroid), nearest + 1, isAtRoadEdge(track, index)};
}

// Compared as the game compares the player's pitch.
bool isCrashSlope(const TTriangle& t) { return double(t.slopeAngle) >= crashPitch; }

void measureMesh(TTrackCheck* check) {
  const TTrack& track = *check->track;
  check->length = track.length();
  check->low = placeOf(track.minCorner);
  check->high = placeOf(track.maxCorner);
  std::swap(check->low.north, check->high.north);  // north runs against z
  check->roadTriangles = track.infieldStart;
  check->infieldTriangles = track.outerStart - track.infieldStart;
  check->outerTriangles = track.triangleCount - track.outerStart;
  int steepestRoad = 0, steepestGround = track.infieldStart;
  for (int i = 0; i < track.triangleCount; i++) {
    const TTriangle& t = *track.triangles[i];
    int& steepest = i < track.infieldStart ? steepestRoad : steepestGround;
    if (t.slopeAngle > track.triangles[steepest]->slopeAngle) steepest = i;
    if (isCrashSlope(t)) check->crashSlopes.push_back(slopeOf(track, i));
  }
  check->steepestRoad = slopeOf(track, steepestRoad);
  if (steepestGround < track.triangleCount) check->steepestGround = slopeOf(track, steepestGround);
}

// The game's verdict on the reversed waypoints, found by loading them as the text of a track
// file, so every rule runs exactly as it would for the author's reversed file.
int loadReversed(const TTrack& track) {
  std::string text = std::string("#Track\n") + track.title + "\n";
  char number[64];
  for (Vec3 p : reversedWaypoints(track)) {
    std::snprintf(number, sizeof number, "%.9g %.9g %.9g\n", p.x, -p.z, p.y);
    text += number;
  }
  TTrack reversed;
  return reversed.loadText(text.data(), text.size());
}

void describeFault(TTrackCheck* check) {
  const TLoadDetail& detail = check->detail;
  const TTrack& track = *check->track;
  int n = track.waypointCount;
  switch (detail.fault) {
    case faultTooClose: {
      TWaypointRef refused = {n + 1, detail.line, placeOf(detail.refused)};
      check->atFault = {refused, waypointRef(*check, detail.waypoint)};
      check->apart = distance(detail.refused, track.waypoints[detail.waypoint]);
      break;
    }
    case faultOutOfRange: check->atFault = {{n + 1, detail.line, placeOf(detail.refused)}}; break;
    case faultSamePlanPosition:
      check->atFault = {waypointRef(*check, detail.waypoint), waypointRef(*check, (detail.waypoint + 1) % n)};
      break;
    case faultCrossing: {
      int i = detail.crossing.segment, j = detail.crossing.otherSegment;
      check->atFault = {waypointRef(*check, i), waypointRef(*check, (i + 1) % n), waypointRef(*check, j),
                        waypointRef(*check, (j + 1) % n)};
      Vec3 a = track.waypoints[i], b = track.waypoints[i + 1];
      float along = detail.crossing.along;
      check->crossingAt = placeOf({a.x + along * (b.x - a.x), 0.0f, a.z + along * (b.z - a.z)});
      break;
    }
    case faultNotClockwise:
      check->turnSumDegrees = detail.turnSum * degreesPerRadian;
      check->reversedResult = loadReversed(track);
      break;
    default: break;
  }
}

}  // namespace

TPlace placeOf(Vec3 p) { return {p.x, -double(p.z), p.y}; }

std::vector<Vec3> reversedWaypoints(const TTrack& track) {
  std::vector<Vec3> reversed;
  if (track.waypointCount == 0) return reversed;
  reversed.push_back(track.waypoints[0]);
  for (int i = track.waypointCount - 1; i >= 1; i--) reversed.push_back(track.waypoints[i]);
  return reversed;
}

namespace {

// Runs load, the game's loader on check's track, and gathers what the author needs of its verdict.
// The game loads its track before anything else draws from the generator, so starting it afresh
// gives the ground the very shades the game shows.
template <typename Load>
TTrackCheck checkTrack(const std::string& name, Load load) {
  TTrackCheck check;
  check.file = name;
  check.track.reset(new TTrack());
  setGameRandState(1);
  check.result = load(check.track.get(), &check.detail);
  if (check.result != loadOk) {
    check.message = loadFailureMessage(int8_t(check.result), false);
    check.message.pop_back();
  }
  for (int i = 0; i < check.track->waypointCount; i++) check.waypoints.push_back(waypointRef(check, i));
  if (check.accepted())
    measureMesh(&check);
  else
    describeFault(&check);
  return check;
}

}  // namespace

TTrackCheck checkTrackFile(const std::string& file) {
  return checkTrack(file, [&file](TTrack* track, TLoadDetail* detail) { return track->load(file.c_str(), detail); });
}

TTrackCheck checkTrackText(const std::string& name, const std::string& text) {
  return checkTrack(
      name, [&text](TTrack* track, TLoadDetail* detail) { return track->loadText(text.data(), text.size(), detail); });
}
