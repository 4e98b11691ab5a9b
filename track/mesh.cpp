// The road and ground mesh: an 8-unit road along the centre line with a wedge on the outer side
// of every turn, the infield inside the loop and the ground out to a border around the track.
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#include "track/track.h"
#include "track/triangle.h"

// Edge points whose distance is below this fraction of their coordinates' size (plus the road's
// half width) already meet: the turn between them is lost in rounding.
constexpr float slightTurnGap = 1e-5f;
constexpr uint8_t leftEdgeOpen = 1;                 // a right turn: the wedge fills the left (outer) side
constexpr uint8_t rightEdgeOpen = 2;                // a left turn: the wedge fills the right side
constexpr int32_t groundPointsWorthAThread = 1000;  // below it, starting a thread costs about what
                                                    // cutting the outer ground beside the rest saves

namespace {

// Moves end and start, the points where the edge arriving at a waypoint ends and the edge leaving
// it starts, in plan to the crossing of the two edge lines, so the inner side of a turn meets
// without a gap or an overlap. Parallel lines leave them where they are, and so does a turn so
// slight that the points already meet: there rounding places the crossing of the nearly parallel
// lines anywhere along the road, and moving the points there would tear the road apart.
void joinEdges(Vec3* end, Vec3* start, Vec3 arrivingStart, Vec3 leavingEnd) {
  float size = roadHalfWidth + std::fabs(end->x) + std::fabs(end->z);
  if (std::hypot(start->x - end->x, start->z - end->z) <= slightTurnGap * size) return;
  Vec2 a = planDelta(*end, arrivingStart);
  Vec2 b = planDelta(*start, leavingEnd);
  float u, v;
  if (!intersectLines(planDelta(*end, *start), a, b, &u, &v)) return;
  end->x += u * a.x;
  end->z += u * a.z;
  start->x += v * b.x;
  start->z += v * b.z;
}

// Appends p to a ground polygon unless it lies at the plan position of the point before it:
// a corner at a zero-length edge can never be cut off, and the clipping would stall.
void addGroundPoint(std::vector<Vec3>* points, Vec3 p) {
  if (!points->empty() && points->back().x == p.x && points->back().z == p.z) return;
  points->push_back(p);
}

// Also leaves out a last point that repeats the first, the same stall across the wrap.
void closeGroundPolygon(std::vector<Vec3>* points) {
  while (points->size() > 3 && points->back().x == points->front().x && points->back().z == points->front().z)
    points->pop_back();
}

// Starts cutting a large ground polygon into cut on a thread of its own. Not joinable for a
// small polygon, or where no thread could be started: then the caller cuts it itself.
std::thread cutAside(const std::vector<Vec3>& points, std::vector<TCorners>* cut, int64_t* pointTests) {
  if (points.size() < size_t(groundPointsWorthAThread)) return {};
  try {
    return std::thread([&points, cut, pointTests] { *cut = cutGroundPolygon(points, pointTests); });
  } catch (const std::system_error&) {
    return {};
  }
}

}  // namespace

TRoadOutline TTrack::roadOutline() const {
  int32_t n = waypointCount;
  TRoadOutline o;
  o.leftEnd.resize(size_t(n) + 1);
  o.leftStart.resize(size_t(n) + 1);
  o.rightEnd.resize(size_t(n) + 1);
  o.rightStart.resize(size_t(n) + 1);
  o.cornerFlags.assign(size_t(n), 0);

  for (int32_t i = 0; i < n; i++)
    edgeOffsets(waypoints[i], waypoints[i + 1], &o.leftStart[i], &o.leftEnd[i + 1], &o.rightStart[i],
                &o.rightEnd[i + 1]);
  o.leftEnd[0] = o.leftEnd[n];
  o.rightEnd[0] = o.rightEnd[n];

  // Only the inner side of a turn is joined; the outer side keeps a gap for the wedge. Where the
  // road runs straight on, both sides already meet, and joining lines that rounding has left not
  // quite parallel would throw the edge points far along the road.
  for (int32_t i = 0; i < n; i++) {
    int32_t prev = i == 0 ? n - 1 : i - 1;
    int8_t turn = turnSign(waypoints[prev], waypoints[i], waypoints[i], waypoints[i + 1]);
    if (turn > 0) {
      o.cornerFlags[i] = rightEdgeOpen;
      joinEdges(&o.leftEnd[i], &o.leftStart[i], o.leftStart[prev], o.leftEnd[i + 1]);
    } else if (turn < 0) {
      o.cornerFlags[i] = leftEdgeOpen;
      joinEdges(&o.rightEnd[i], &o.rightStart[i], o.rightStart[prev], o.rightEnd[i + 1]);
    }
  }
  o.leftEnd[n] = o.leftEnd[0];
  o.rightEnd[n] = o.rightEnd[0];

  // The infield: the road's inner (right) edge, clockwise, with both edge ends at a left turn.
  for (int32_t i = 0; i < n; i++) {
    addGroundPoint(&o.infield, o.rightEnd[i]);
    if (o.cornerFlags[i] & rightEdgeOpen) addGroundPoint(&o.infield, o.rightStart[i]);
  }
  closeGroundPolygon(&o.infield);

  // The anchor is the westernmost waypoint (the northernmost among those, then the first), where
  // the cut from the border's north-west corner reaches the road's outer edge.
  int32_t anchor = 0;
  for (int32_t i = 1; i < n; i++)
    if (waypoints[i].x == minCorner.x && (waypoints[anchor].x != minCorner.x || waypoints[i].z < waypoints[anchor].z))
      anchor = i;

  // The outer ground: the border clockwise at height 0, the cut in to the anchor, the road's
  // outer (left) edge walked backwards round the loop, and the cut back out.
  float m = float(margin);
  Vec3 border[] = {{minCorner.x - m, 0.0f, minCorner.z - m},
                   {maxCorner.x + m, 0.0f, minCorner.z - m},
                   {maxCorner.x + m, 0.0f, maxCorner.z + m},
                   {minCorner.x - m, 0.0f, maxCorner.z + m}};
  for (Vec3 corner : border) addGroundPoint(&o.outer, corner);
  addGroundPoint(&o.outer, border[0]);
  for (int32_t step = 0; step < n; step++) {
    int32_t i = anchor - step < 0 ? anchor - step + n : anchor - step;
    addGroundPoint(&o.outer, o.leftStart[i]);
    if (o.cornerFlags[i] & leftEdgeOpen) addGroundPoint(&o.outer, o.leftEnd[i]);
  }
  addGroundPoint(&o.outer, o.leftStart[anchor]);
  closeGroundPolygon(&o.outer);
  return o;
}

void TTrack::buildMesh() {
  if (triangles != nullptr) clearTriangles();
  int32_t n = waypointCount;
  TRoadOutline o = roadOutline();

  // A large outer ground is cut on a second core while this one makes the road and cuts the
  // infield. Its triangles are made here afterwards, so the ground draws its shades from the
  // generator in the same order as when cut one polygon after the other.
  std::vector<TCorners> outerCut;
  int64_t outerTests = 0;
  std::thread outerCutter = cutAside(o.outer, &outerCut, &outerTests);

  // Room for the whole mesh at once.
  int32_t roadCount = 0;
  for (int32_t i = 0; i < n; i++) roadCount += o.cornerFlags[i] != 0 ? 3 : 2;
  reserveTriangles(roadCount + groundTriangleCount(o.infield.size()) + groundTriangleCount(o.outer.size()));

  // The road: two triangles per leg, and a wedge on the outer side of each turn.
  for (int32_t i = 0; i < n; i++) {
    if (o.cornerFlags[i] & leftEdgeOpen)
      addTriangle(o.leftEnd[i], o.rightEnd[i], o.leftStart[i], true);
    else if (o.cornerFlags[i] & rightEdgeOpen)
      addTriangle(o.leftEnd[i], o.rightEnd[i], o.rightStart[i], true);
    addTriangle(o.rightStart[i], o.leftStart[i], o.leftEnd[i + 1], true);
    addTriangle(o.rightStart[i], o.rightEnd[i + 1], o.leftEnd[i + 1], true);
  }

  infieldStart = triangleCount;
  triangulatePolygon(o.infield);
  outerStart = triangleCount;
  if (outerCutter.joinable()) {
    outerCutter.join();
    addGroundTriangles(outerCut);
    groundPointTests += outerTests;
  } else {
    triangulatePolygon(o.outer);
  }
  triangleGrid.build(triangles, triangleCount);
}
