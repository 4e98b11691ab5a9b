// The road and ground mesh: the exact triangles of a small track, the ground shades, the ear
// clipping, and what every track's mesh must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "geometry/random.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

int8_t loadWaypoints(const std::string& lines, TTrack* track) {
  static int fileNumber = 0;
  return track->load(writeTrackFile("mesh" + std::to_string(fileNumber++) + ".tck", trackText(lines)).c_str());
}

double planArea(const TTriangle& t) {
  Vec2 ab = planDelta(t.vertexA, t.vertexB), ac = planDelta(t.vertexA, t.vertexC);
  return std::fabs(double(ab.x) * ac.z - double(ac.x) * ab.z) / 2;
}

// Road triangles come first: two per waypoint and a wedge at each turn.
int roadTriangleCount(const TTrack& track) {
  int count = 0;
  for (int i = 0, prev = track.waypointCount - 1; i < track.waypointCount; prev = i++)
    count += turnSign(track.waypoints[prev], track.waypoints[i], track.waypoints[i], track.waypoints[i + 1]) ? 3 : 2;
  return count;
}

// What holds for the mesh of a track whose loop never comes within a road's width of itself:
// road and ground tile the border rectangle, each ground polygon of m points gives m - 2
// triangles, the centre line lies on road, and each triangle's plane passes through its corners.
// droppedPoints: edge points left out of the ground polygons for repeating the one before.
void expectSoundMesh(const TTrack& track, int droppedPoints = 0) {
  int road = roadTriangleCount(track);
  // Infield n + left turns points, outer ground 6 + n + right turns, less two triangles each.
  EXPECT_EQ(track.triangleCount, 2 * road + 2 - droppedPoints);
  double area = 0;
  for (int i = 0; i < track.triangleCount; i++) {
    const TTriangle& t = *track.triangles[i];
    area += planArea(t);
    EXPECT_EQ(t.heightAt(t.vertexC.x, 0, t.vertexC.z), t.vertexC.y);
    // Rounding lets the clipping cut a corner where the ground runs straight on: such a sliver,
    // on one line in plan, has no plane, and near that B cannot be placed well.
    if (sideOf(t.edgeAB, t.edgeAC) == 0) continue;
    EXPECT_EQ(t.heightAt(t.vertexA.x, 0, t.vertexA.z), t.vertexA.y);
    double longest =
        std::max({distance(t.vertexA, t.vertexB), distance(t.vertexB, t.vertexC), distance(t.vertexC, t.vertexA)});
    if (planArea(t) > 1e-3 * longest * longest) {
      EXPECT_NEAR(t.heightAt(t.vertexB.x, 0, t.vertexB.z), t.vertexB.y, 1e-3);
    }
  }
  double m = track.margin;
  double border =
      (double(track.maxCorner.x) - track.minCorner.x + 2 * m) * (double(track.maxCorner.z) - track.minCorner.z + 2 * m);
  EXPECT_NEAR(area, border, border * 1e-6);
  for (int i = 0; i < track.waypointCount; i++)
    for (float f : {0.0f, 0.3f, 0.5f, 0.9f}) {
      Vec3 p = track.waypoints[i], q = track.waypoints[i + 1];
      const TTriangle* found = track.findTriangle(p.x + f * (q.x - p.x), 0, p.z + f * (q.z - p.z));
      EXPECT_LT(std::find(track.triangles, track.triangles + track.triangleCount, found) - track.triangles, road);
    }
}

void expectCorners(const TTriangle& t, Vec3 a, Vec3 b, Vec3 c) {
  EXPECT_TRUE(t.vertexA.x == a.x && t.vertexA.y == a.y && t.vertexA.z == a.z && t.vertexB.x == b.x &&
              t.vertexB.y == b.y && t.vertexB.z == b.z && t.vertexC.x == c.x && t.vertexC.y == c.y &&
              t.vertexC.z == c.z);
}

TEST(SquareMesh, TwentySixTrianglesInBuildOrder) {
  TTrack track;
  ASSERT_EQ(loadWaypoints("0 0 0\n0 100 0\n100 100 0\n100 0 0\n", &track), loadOk);
  ASSERT_EQ(track.triangleCount, 26);
  // Per waypoint the wedge on the outer (left) side, then the segment's two halves, meeting the
  // inner corners (4, -4), (4, -96), (96, -96), (96, -4); then the infield square; then the outer
  // ground from the border (-50, -150) to (150, 50), cut in to waypoint 1's outer edge at (0, -104).
  const Vec3 want[26][3] = {{{0, 0, 4}, {4, 0, -4}, {-4, 0, 0}},
                            {{4, 0, -4}, {-4, 0, 0}, {-4, 0, -100}},
                            {{4, 0, -4}, {4, 0, -96}, {-4, 0, -100}},
                            {{-4, 0, -100}, {4, 0, -96}, {0, 0, -104}},
                            {{4, 0, -96}, {0, 0, -104}, {100, 0, -104}},
                            {{4, 0, -96}, {96, 0, -96}, {100, 0, -104}},
                            {{100, 0, -104}, {96, 0, -96}, {104, 0, -100}},
                            {{96, 0, -96}, {104, 0, -100}, {104, 0, 0}},
                            {{96, 0, -96}, {96, 0, -4}, {104, 0, 0}},
                            {{104, 0, 0}, {96, 0, -4}, {100, 0, 4}},
                            {{96, 0, -4}, {100, 0, 4}, {0, 0, 4}},
                            {{96, 0, -4}, {4, 0, -4}, {0, 0, 4}},
                            {{4, 0, -4}, {4, 0, -96}, {96, 0, -96}},
                            {{4, 0, -4}, {96, 0, -96}, {96, 0, -4}},
                            {{-50, 0, -150}, {0, 0, -104}, {-4, 0, -100}},
                            {{100, 0, -104}, {0, 0, -104}, {-50, 0, -150}},
                            {{-50, 0, 50}, {-50, 0, -150}, {-4, 0, -100}},
                            {{100, 0, -104}, {-50, 0, -150}, {150, 0, -150}},
                            {{-50, 0, 50}, {-4, 0, -100}, {-4, 0, 0}},
                            {{104, 0, -100}, {100, 0, -104}, {150, 0, -150}},
                            {{-50, 0, 50}, {-4, 0, 0}, {0, 0, 4}},
                            {{104, 0, 0}, {104, 0, -100}, {150, 0, -150}},
                            {{150, 0, 50}, {-50, 0, 50}, {0, 0, 4}},
                            {{104, 0, 0}, {150, 0, -150}, {150, 0, 50}},
                            {{150, 0, 50}, {0, 0, 4}, {100, 0, 4}},
                            {{150, 0, 50}, {100, 0, 4}, {104, 0, 0}}};
  for (int i = 0; i < 26; i++) {
    SCOPED_TRACE(i);
    const TTriangle& t = *track.triangles[i];
    expectCorners(t, want[i][0], want[i][1], want[i][2]);
    EXPECT_NEAR(t.slopeAngle, 0.0f, 1e-7);
    EXPECT_TRUE(i < 12 ? t.colour[0] == roadGrey && t.colour[1] == roadGrey && t.colour[2] == roadGrey
                       : t.colour[1] >= 0.75f && t.colour[1] <= 1.0f);
  }
  expectSoundMesh(track);
}

TEST(SquareMesh, StraightOnAndLeftTurnWaypoints) {
  TTrack straight;  // (0, 50) in the middle of a side: no wedge, edge points where the offsets put them
  ASSERT_EQ(loadWaypoints("0 0 0\n0 50 0\n0 100 0\n100 100 0\n100 0 0\n", &straight), loadOk);
  ASSERT_EQ(roadTriangleCount(straight), 14);
  expectCorners(*straight.triangles[3], {4, 0, -50}, {-4, 0, -50}, {-4, 0, -100});
  expectSoundMesh(straight);

  TTrack notch;  // a left turn at (50, 80): the wedge on the right, whose two ends bound the infield
  ASSERT_EQ(loadWaypoints("0 0 0\n0 100 0\n40 100 0\n50 80 0\n60 100 0\n100 100 0\n100 0 0\n", &notch), loadOk);
  Vec3 rightEnd = notch.triangles[9]->vertexB, rightStart = notch.triangles[9]->vertexC;
  EXPECT_NEAR(distance(rightEnd, notch.waypoints[3]), 4, 1e-5);
  EXPECT_NEAR(distance(rightStart, notch.waypoints[3]), 4, 1e-5);
  int ends = 0, starts = 0;
  for (int i = roadTriangleCount(notch); i < notch.triangleCount - 17;
       i++)  // the outer ground's 19 points give the last 17
    for (Vec3 v : {notch.triangles[i]->vertexA, notch.triangles[i]->vertexB, notch.triangles[i]->vertexC}) {
      ends += v.x == rightEnd.x && v.z == rightEnd.z;
      starts += v.x == rightStart.x && v.z == rightStart.z;
    }
  EXPECT_GT(ends, 0);
  EXPECT_GT(starts, 0);
  expectSoundMesh(notch);
}

TEST(MeshColours, GroundShadesReplayTheGeneratorAndRoadDrawsNone) {
  setGameRandState(4242);
  TTrack hills;
  ASSERT_EQ(loadWaypoints("0 0 0\n0 100 40\n60 140 10\n100 100 -20\n100 0 5\n", &hills), loadOk);
  int nextAfterLoad = gameRand();
  setGameRandState(4242);
  for (int i = roadTriangleCount(hills); i < hills.triangleCount; i++) {
    const TTriangle& t = *hills.triangles[i];
    float g = float(1.0 - (2.0 / pi) * t.slopeAngle * 0.8);
    float s = float(gameRand()) / 32767.0f * g * 0.5f;
    float r2 = float(gameRand()) / 32767.0f;
    EXPECT_TRUE(t.colour[0] == s - r2 * s / 3.0f && t.colour[1] == g - s * 0.5f && t.colour[2] == r2 * s) << i;
  }
  EXPECT_EQ(gameRand(), nextAfterLoad);  // two draws per ground triangle, none for the road
}

TEST(TriangleSlope, DirectionIsWhereTheSurfaceFalls) {
  Vec3 a = {0, 0, 0}, b = {0, 0, -10}, c = {10, 5, -10};  // rising towards +x
  for (const TTriangle& t : {TTriangle(a, b, c, false), TTriangle(a, c, b, false)}) {
    EXPECT_NEAR(t.slopeDirection, -pi / 2, 1e-6);
    EXPECT_NEAR(t.slopeAngle, std::atan(0.5), 1e-6);
  }
  TTriangle wall({0, 0, 0}, {0, 10, 0}, {10, 0, 0}, false);  // vertical: as dark as ground gets
  EXPECT_NEAR(wall.slopeAngle, pi / 2, 1e-6);
  EXPECT_LE(wall.colour[1], 0.2f + 1e-6f);
  TTriangle line({0, 0, 0}, {5, 1, 5}, {10, 2, 10}, true);  // no normal at all
  EXPECT_NEAR(line.slopeAngle, 0, 1e-7);
  EXPECT_NEAR(line.slopeDirection, pi / 2, 1e-6);
}

// Cuts a polygon given on the map (east, north), each point's height its index; returns the
// triangles' corners as those indices.
std::vector<int> clip(const std::vector<Vec2>& polygon) {
  TTrack track;
  std::vector<Vec3> points;
  for (size_t i = 0; i < polygon.size(); i++) points.push_back({polygon[i].x, float(i), -polygon[i].z});
  track.triangulatePolygon(points);
  std::vector<int> corners;
  for (int i = 0; i < track.triangleCount; i++)
    for (Vec3 v : {track.triangles[i]->vertexA, track.triangles[i]->vertexB, track.triangles[i]->vertexC})
      corners.push_back(int(v.y));
  return corners;
}

TEST(EarClipping, CutsConvexUnblockedCornersInOrder) {
  EXPECT_EQ(clip({{4, 4}, {4, 96}, {96, 96}, {96, 4}}), (std::vector<int>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(clip({{0, 0}, {0, 10}, {10, 10}}), (std::vector<int>{0, 1, 2}));
  // (5, 5), on the diagonal from (0, 0) to (10, 10), blocks the first ear; the reflex corner 3
  // is cut only as the last triangle.
  EXPECT_EQ(clip({{0, 0}, {0, 10}, {10, 10}, {5, 5}, {10, 0}}), (std::vector<int>{1, 2, 3, 3, 4, 0, 0, 1, 3}));
  // Straight on at (0, 50): never cut, a corner of the triangles on both its sides.
  std::vector<int> sided = clip({{0, 0}, {0, 50}, {0, 100}, {100, 100}, {100, 0}});
  EXPECT_EQ(sided.size(), 9u);
  EXPECT_EQ(std::count(sided.begin(), sided.end(), 1), 2);
}

TEST(EarClipping, PolygonsWithoutAnEarEndAsAFan) {
  EXPECT_EQ(clip({{0, 0}, {10, 0}, {10, 10}, {5, 12}, {0, 10}}),
            (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 4}));                   // anticlockwise
  EXPECT_EQ(clip({{0, 0}, {10, 10}, {10, 0}, {0, 10}, {-3, 5}}).size(), 9u);  // crossing itself
}

struct Waypoint {
  double east, north, height;  // as in the file
};

// A clockwise loop round the origin in even whole units, so that midpoints are exact: convex or
// with inward bends (left turns), with straight-on waypoints and with hills.
std::vector<Waypoint> generateLoop(std::mt19937& random) {
  int n = 3 + int(random() % 20);
  double radius = 60 + random() % 400, squash = 0.5 + (random() % 50) / 100.0;
  bool bends = random() % 2, hills = random() % 2, straights = random() % 3 == 0;
  std::vector<Waypoint> loop;
  for (int i = 0; i < n; i++) {
    double angle = -2 * pi * (i + 0.6 * (random() % 1000) / 1000.0) / n;
    double r = radius * (bends ? 0.6 + (random() % 400) / 1000.0 : 1.0);
    double height = hills ? 2 * double(random() % 30) - 20 : 0;
    loop.push_back({2 * std::round(r * std::cos(angle) / 2), 2 * std::round(squash * r * std::sin(angle) / 2), height});
  }
  for (int i = n - 1; straights && i >= 0; i -= 2) {
    const Waypoint &p = loop[i], &q = loop[(i + 1) % n];
    loop.insert(loop.begin() + i + 1, {(p.east + q.east) / 2, (p.north + q.north) / 2, (p.height + q.height) / 2});
  }
  return loop;
}

// Whether the road can be laid without touching itself: other parts of the loop 20 units away,
// no turn sharper than 120 degrees, and the inner joins at a segment's ends well within it.
bool roadFits(const std::vector<Waypoint>& loop) {
  int n = int(loop.size());
  auto at = [&](int i) { return loop[(i + n) % n]; };
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      if (j == i || (j + 1) % n == i || (i + 1) % n == j) continue;
      Waypoint p = at(i), a = at(j), b = at(j + 1);
      double dx = b.east - a.east, dy = b.north - a.north;
      double f = std::clamp(((p.east - a.east) * dx + (p.north - a.north) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      if (std::hypot(a.east + f * dx - p.east, a.north + f * dy - p.north) < 20) return false;
    }
    double ax = at(i - 1).east - at(i).east, ay = at(i - 1).north - at(i).north;
    double bx = at(i + 1).east - at(i).east, by = at(i + 1).north - at(i).north;
    double angle = std::acos(std::clamp((ax * bx + ay * by) / std::hypot(ax, ay) / std::hypot(bx, by), -1.0, 1.0));
    if (angle < pi / 3 || 4 / std::tan(angle / 2) > 0.4 * std::min(std::hypot(ax, ay), std::hypot(bx, by)))
      return false;
  }
  return true;
}

TEST(MeshProperties, GeneratedClockwiseTracks) {
  std::mt19937 random(2026);
  int tested = 0;
  for (int attempt = 0; attempt < 3000 && tested < 150 && !HasFailure(); attempt++) {
    std::vector<Waypoint> loop = generateLoop(random);
    if (!roadFits(loop)) continue;
    std::string lines;
    for (const Waypoint& w : loop)
      lines += std::to_string(w.east) + " " + std::to_string(w.north) + " " + std::to_string(w.height) + "\n";
    TTrack track;
    if (loadWaypoints(lines, &track) != loadOk) continue;  // too close in height, or not clockwise enough
    SCOPED_TRACE(lines);
    expectSoundMesh(track);
    tested++;
  }
  EXPECT_GE(tested, 100);
}

TEST(MeshProperties, ShippedTracks) {
  int found = 0;
  for (const char* name : {"Default.tck", "Flat.tck", "Hills.tck"}) {
    std::string path = std::string(ZARVANTO_TRACKS_DIR) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) continue;
    std::fclose(file);
    found++;
    SCOPED_TRACE(name);
    TTrack track;
    ASSERT_EQ(track.load(path.c_str()), loadOk);
    expectSoundMesh(track);
  }
  if (found == 0) GTEST_SKIP() << "no tracks in " << ZARVANTO_TRACKS_DIR;
}

TEST(NearlyStraightWaypoints, KeepTheRoadWhole) {
  // Rounding leaves the edges at (8, 32) not quite parallel; joining them would throw the edge
  // points 24 units along the road.
  TTrack straight;
  ASSERT_EQ(loadWaypoints("0 0 0\n8 32 0\n20 80 0\n170 -20 0\n150 -200 0\n", &straight), loadOk);
  const Vec3* w = straight.waypoints;
  ASSERT_EQ(turnSign(w[0], w[1], w[1], w[2]), 0);
  Vec3 leftStart, leftEnd, rightStart, rightEnd;
  edgeOffsets(w[1], w[2], &leftStart, &leftEnd, &rightStart, &rightEnd);
  expectCorners(*straight.triangles[3], rightStart, leftStart, leftEnd);
  expectSoundMesh(straight);

  // A right turn of some 1e-7 radians at waypoint 1: its inner edge points stay at the road's edge.
  TTrack slight;
  ASSERT_EQ(loadWaypoints("0 0 0\n128.385399 141.455423 0\n255.513688 281.525722 0\n537.03941 26.0120343 0\n"
                          "281.525722 -255.513688 0\n",
                          &slight),
            loadOk);
  w = slight.waypoints;
  ASSERT_EQ(turnSign(w[0], w[1], w[1], w[2]), -1);
  EXPECT_NEAR(distance(slight.triangles[2]->vertexB, w[1]), 4, 1e-3);
  expectSoundMesh(slight, 1);  // the wedge's two outer points coincide

  // Two such turns whose edge points coincide: kept, they would stall the clipping and the
  // ground would overlap itself by more than a third.
  TTrack repeated;
  ASSERT_EQ(loadWaypoints("1309.44902 -1195.27223 0\n-806.662727 -978.212235 0\n-1266.10311 -374.997088 14.471\n"
                          "-1727.3849 230.635783 29\n-963.235828 550.525058 27.7\n623.843089 1214.91031 25\n",
                          &repeated),
            loadOk);
  expectSoundMesh(repeated, 2);
}

TEST(MeshHeights, BorderLiesAtHeightZeroUnderAHighTrack) {
  TTrack high;
  ASSERT_EQ(loadWaypoints("0 0 50\n0 100 50\n100 100 50\n100 0 50\n", &high), loadOk);
  for (int i = 0; i < high.triangleCount; i++)
    for (Vec3 v : {high.triangles[i]->vertexA, high.triangles[i]->vertexB, high.triangles[i]->vertexC})
      EXPECT_EQ(v.y, i < 14 || (v.x > -50 && v.x < 150 && v.z > -150 && v.z < 50) ? 50 : 0) << i;
}

}  // namespace
