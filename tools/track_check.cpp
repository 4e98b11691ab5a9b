// Checking a track file for its author: the game's loader gives the verdict and the detail of
// where it failed; this only turns that into waypoints, lines and places, and measures the mesh
// of an accepted track.
#include "tools/track_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "geometry/random.h"
#include "track/load_message.h"
#include "track/triangle.h"

namespace {

constexpr double degreesPerRadian = 180.0 / pi;
constexpr int32_t segmentsPerLeaf = 8;     // consecutive centre-line segments under one box of the tree
constexpr double distanceRounding = 1e-9;  // relative to the coordinates, far above the double rounding of
                                           // a distance to a segment or to a box

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

// Naming the stretch of road a triangle is by: the centre line's segments under a binary tree of
// plan boxes over runs of consecutive ones, so the nearest is found among the few runs near a
// triangle instead of along the whole line; and the road triangles by their plan corners, so a
// ground triangle's side along the road's edge is found without trying every road triangle.
// Both give exactly what trying every one would.
class TSlopeFinder {
 public:
  explicit TSlopeFinder(const TTrack& track) : track(track) {
    int32_t n = track.waypointCount, leaves = (n + segmentsPerLeaf - 1) / segmentsPerLeaf;
    for (firstLeaf = 1; firstLeaf < leaves; firstLeaf *= 2) {
    }
    boxes.assign(2 * size_t(firstLeaf), {INFINITY, INFINITY, -INFINITY, -INFINITY});
    double largest = 0.0;
    for (int32_t i = 0; i < n; i++)
      for (Vec3 p : {track.waypoints[i], track.waypoints[i + 1]}) {
        TBox& box = boxes[size_t(firstLeaf + i / segmentsPerLeaf)];
        box = {std::min<double>(box.minX, p.x), std::min<double>(box.minZ, p.z), std::max<double>(box.maxX, p.x),
               std::max<double>(box.maxZ, p.z)};
        largest = std::max({largest, std::fabs(double(p.x)), std::fabs(double(p.z))});
      }
    for (int32_t node = firstLeaf - 1; node >= 1; node--) {
      const TBox &l = boxes[2 * size_t(node)], &r = boxes[2 * size_t(node) + 1];
      boxes[size_t(node)] = {std::min(l.minX, r.minX), std::min(l.minZ, r.minZ), std::max(l.maxX, r.maxX),
                             std::max(l.maxZ, r.maxZ)};
    }
    roundingMargin = distanceRounding * (1.0 + 4 * largest);
    for (int32_t i = 0; i < track.infieldStart; i++) {
      const TTriangle& t = *track.triangles[i];
      for (Vec3 corner : {t.vertexA, t.vertexB, t.vertexC})
        if (corner.x == corner.x && corner.z == corner.z) roadCorners.push_back({planKey(corner), i});
    }
    std::sort(roadCorners.begin(), roadCorners.end());
    roadCorners.erase(std::unique(roadCorners.begin(), roadCorners.end()), roadCorners.end());
  }

  // The first segment nearest (x, z), as the plain scan in index order finds it.
  int32_t nearestSegment(double x, double z) const {
    int32_t nearest = 0;
    double nearestDistance = INFINITY;
    // A run is passed over only when even the rounding of both distances cannot bring one of its
    // segments down to the nearest found.
    double margin = roundingMargin + distanceRounding * (std::fabs(x) + std::fabs(z));
    size_t stack[64];
    int depth = 0;
    stack[depth++] = 1;
    while (depth > 0) {
      size_t node = stack[--depth];
      if (distanceToBox(node, x, z) > nearestDistance + margin) continue;
      if (node < size_t(firstLeaf)) {
        size_t nearer = 2 * node, farther = 2 * node + 1;
        if (distanceToBox(farther, x, z) < distanceToBox(nearer, x, z)) std::swap(nearer, farther);
        stack[depth++] = farther;
        stack[depth++] = nearer;
        continue;
      }
      int32_t from = int32_t(node - size_t(firstLeaf)) * segmentsPerLeaf;
      for (int32_t i = from; i < std::min(from + segmentsPerLeaf, track.waypointCount); i++) {
        double d = planDistanceToSegment(x, z, track.waypoints[i], track.waypoints[i + 1]);
        if (d < nearestDistance || (d == nearestDistance && i < nearest)) {
          nearestDistance = d;
          nearest = i;
        }
      }
    }
    return nearest;
  }

  // The ground is cut from the road's edge points, so nearly every ground triangle has a corner on
  // the road's edge; only one with a whole side there lies where a car that runs off the road
  // lands: one with two corners (or one counted twice) at corners of a single road triangle, as
  // the ground and the road are cut from the same edge points.
  bool isAtRoadEdge(int32_t index) const {
    if (index < track.infieldStart) return true;
    const TTriangle& t = *track.triangles[index];
    std::pair<const TRoadCorner*, const TRoadCorner*> at[3];
    int k = 0;
    for (Vec3 corner : {t.vertexA, t.vertexB, t.vertexC})
      at[k++] = std::equal_range(roadCorners.data(), roadCorners.data() + roadCorners.size(),
                                 TRoadCorner{planKey(corner), 0}, samePlace);
    for (int first = 0; first < 3; first++)
      for (const TRoadCorner* r = at[first].first; r != at[first].second; r++)
        for (int other = first + 1; other < 3; other++)
          for (const TRoadCorner* s = at[other].first; s != at[other].second; s++)
            if (s->second == r->second) return true;
    return false;
  }

 private:
  struct TBox {
    double minX, minZ, maxX, maxZ;
  };
  using TRoadCorner = std::pair<uint64_t, int32_t>;  // a corner's plan position as a key, and its triangle

  // Equal keys for plan positions equal as floats compare them; NaN is never stored.
  static uint64_t planKey(Vec3 p) {
    float x = p.x + 0.0f, z = p.z + 0.0f;  // -0 as 0
    uint32_t xBits, zBits;
    std::memcpy(&xBits, &x, sizeof xBits);
    std::memcpy(&zBits, &z, sizeof zBits);
    return uint64_t(xBits) << 32 | zBits;
  }
  static bool samePlace(const TRoadCorner& a, const TRoadCorner& b) { return a.first < b.first; }

  double distanceToBox(size_t node, double x, double z) const {
    const TBox& box = boxes[node];
    if (!(box.minX <= box.maxX)) return INFINITY;
    return std::hypot(std::max({0.0, box.minX - x, x - box.maxX}), std::max({0.0, box.minZ - z, z - box.maxZ}));
  }

  const TTrack& track;
  int32_t firstLeaf;                     // node index of the first leaf; node k has children 2k and 2k + 1
  std::vector<TBox> boxes;               // per node, the plan box of its segments' ends; empty ones inverted
  double roundingMargin;                 // units: how far rounding may move a distance, for this track's size
  std::vector<TRoadCorner> roadCorners;  // sorted; each road triangle once per plan position
};

TSlope slopeOf(const TTrack& track, const TSlopeFinder& finder, int index) {
  const TTriangle& t = *track.triangles[index];
  Vec3 centroid = {(t.vertexA.x + t.vertexB.x + t.vertexC.x) / 3.0f, (t.vertexA.y + t.vertexB.y + t.vertexC.y) / 3.0f,
                   (t.vertexA.z + t.vertexB.z + t.vertexC.z) / 3.0f};
  int nearest = finder.nearestSegment(centroid.x, centroid.z);
  const char* ground = index < track.infieldStart ? "road" : (index < track.outerStart ? "infield" : "outer ground");
  return {index, ground, t.slopeAngle * degreesPerRadian, placeOf(centroid), nearest + 1, finder.isAtRoadEdge(index)};
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
  TSlopeFinder finder(track);
  int steepestRoad = 0, steepestGround = track.infieldStart;
  for (int i = 0; i < track.triangleCount; i++) {
    const TTriangle& t = *track.triangles[i];
    int& steepest = i < track.infieldStart ? steepestRoad : steepestGround;
    if (t.slopeAngle > track.triangles[steepest]->slopeAngle) steepest = i;
    if (isCrashSlope(t)) check->crashSlopes.push_back(slopeOf(track, finder, i));
  }
  check->steepestRoad = slopeOf(track, finder, steepestRoad);
  if (steepestGround < track.triangleCount) check->steepestGround = slopeOf(track, finder, steepestGround);
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
