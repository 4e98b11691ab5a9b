// The distance and crossing rules, the ear clipping and the triangle search go through grids;
// each must answer exactly as the plain scan over every pair or point does, down to the fault
// reported and every bit of every triangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geometry/random.h"
#include "tests/reference/generated_track.h"
#include "tests/reference/plain_track.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"
#include "track/triangle_grid.h"

namespace {

std::string writeTrack(const std::string& text) {
  static int fileNumber = 0;
  return writeTrackFile("grids" + std::to_string(fileNumber++) + ".tck", text);
}

std::vector<std::string> shippedTracks() {
  std::vector<std::string> paths;
  for (const char* name : {"Default.tck", "Flat.tck", "Hills.tck"}) {
    std::string path = std::string(ZARVANTO_TRACKS_DIR) + "/" + name;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
      std::fclose(file);
      paths.push_back(path);
    }
  }
  return paths;
}

// Puts waypoints (and the closing copy) into a track without reading a file, so the rules can
// be asked about loops the loader would refuse earlier.
void setWaypoints(TTrack* track, const std::vector<Vec3>& points) {
  std::free(track->waypoints);
  track->waypoints = static_cast<Vec3*>(std::malloc(sizeof(Vec3) * (points.size() + 1)));
  std::memcpy(track->waypoints, points.data(), sizeof(Vec3) * points.size());
  track->waypoints[points.size()] = points[0];
  track->waypointCount = int32_t(points.size());
}

std::vector<Vec3> asPoints(const std::vector<TFileWaypoint>& loop) {
  std::vector<Vec3> points;
  for (const TFileWaypoint& w : loop) points.push_back({float(w.east), float(w.height), -float(w.north)});
  return points;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameBits(Vec3 a, Vec3 b) { return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z); }

bool sameTriangle(const TTriangle& a, const TTriangle& b) { return std::memcmp(&a, &b, sizeof(TTriangle)) == 0; }

void expectSameTriangles(const TTrack& fast, const TTrack& plain) {
  ASSERT_EQ(fast.triangleCount, plain.triangleCount);
  for (int32_t i = 0; i < fast.triangleCount; i++)
    ASSERT_TRUE(sameTriangle(*fast.triangles[i], *plain.triangles[i])) << "triangle " << i;
}

// Loads a file both ways from the same generator state and compares everything the load leaves.
void expectSameLoad(const std::string& path) {
  SCOPED_TRACE(path);
  TTrack fast, plain;
  TLoadDetail fastDetail, plainDetail;
  setGameRandState(7);
  int8_t result = fast.load(path.c_str(), &fastDetail);
  int drawAfterFast = gameRand();  // the ground's shades drew as often, in the same order
  setGameRandState(7);
  ASSERT_EQ(result, plain.load(path.c_str(), &plainDetail, plainLoadSteps));
  EXPECT_EQ(drawAfterFast, gameRand());
  EXPECT_EQ(fastDetail.fault, plainDetail.fault);
  EXPECT_EQ(fastDetail.waypoint, plainDetail.waypoint);
  EXPECT_EQ(fastDetail.crossing.segment, plainDetail.crossing.segment);
  EXPECT_EQ(fastDetail.crossing.otherSegment, plainDetail.crossing.otherSegment);
  EXPECT_TRUE(sameBits(fastDetail.crossing.along, plainDetail.crossing.along));
  ASSERT_EQ(fast.waypointCount, plain.waypointCount);
  expectSameTriangles(fast, plain);
}

// Every way a car can stand on a triangle's edge or corner, on a grid line, or off the mesh.
void expectSameFoundTriangles(const TTrack& track, std::mt19937& random) {
  auto expectSame = [&](float x, float z) {
    ASSERT_EQ(track.findTriangle(x, 0, z), plainFindTriangle(track, x, 0, z)) << x << " " << z;
  };
  for (int32_t i = 0; i < track.triangleCount && !testing::Test::HasFatalFailure(); i++) {
    const TTriangle& t = *track.triangles[i];
    Vec3 corners[3] = {t.vertexA, t.vertexB, t.vertexC};
    for (int k = 0; k < 3; k++) {
      Vec3 p = corners[k], q = corners[(k + 1) % 3];
      expectSame(p.x, p.z);
      expectSame(std::nextafter(p.x, -INFINITY), std::nextafter(p.z, INFINITY));
      expectSame((p.x + q.x) / 2, (p.z + q.z) / 2);
      float f = float(random() % 1000) / 1000;
      expectSame(p.x + f * (q.x - p.x), p.z + f * (q.z - p.z));
    }
  }
  for (const TCellLevel* grid : {&track.triangleGrid.small, &track.triangleGrid.large})
    for (int k = 0; k < 1000 && !testing::Test::HasFatalFailure(); k++) {
      double u = double(random()) / 4294967296.0 * 1.2 - 0.1, v = double(random()) / 4294967296.0 * 1.2 - 0.1;
      float x = float(grid->originX + u * grid->columns * grid->cellSize),
            z = float(grid->originZ + v * grid->rows * grid->cellSize);
      expectSame(x, z);
      expectSame(float(grid->originX + std::floor(u * grid->columns) * grid->cellSize), z);  // on a column border
      expectSame(x, float(grid->originZ + std::floor(v * grid->rows) * grid->cellSize));     // on a row border
    }
  // A NaN passes every box test: along x the plain scan then goes by where x lies between A and C.
  const TCellLevel& grid = track.triangleGrid.small;
  for (float x : {0.0f, 50.0f, float(grid.originX + grid.columns * grid.cellSize / 3)}) expectSame(x, NAN);
  expectSame(NAN, 0);
  expectSame(INFINITY, -INFINITY);
}

TEST(TrackGrids, ShippedTracksLoadAndFindAsThePlainScans) {
  std::vector<std::string> tracks = shippedTracks();
  if (tracks.empty()) GTEST_SKIP() << "no tracks in " << ZARVANTO_TRACKS_DIR;
  std::mt19937 random(1);
  for (const std::string& path : tracks) {
    expectSameLoad(path);
    TTrack track;
    ASSERT_EQ(track.load(path.c_str()), loadOk);
    expectSameFoundTriangles(track, random);
  }
}

TEST(TrackGrids, GeneratedTracksLoadAndFindAsThePlainScans) {
  std::mt19937 random(2);
  for (uint32_t seed = 0; seed < 200 && !HasFatalFailure(); seed++) {
    int32_t count = 8 + int32_t(seed * 7 % 300);
    bool straights = seed % 3 == 0;
    std::vector<TFileWaypoint> loop = generatedWaypoints(count, seed, straights);
    std::string path = writeTrack(trackFileText(loop, seed % 2 ? 2 : 5));
    expectSameLoad(path);
    if (seed % 10 == 0) {
      TTrack track;
      ASSERT_EQ(track.load(path.c_str()), loadOk) << seed;
      expectSameFoundTriangles(track, random);
    }
  }
}

// A large outer ground is cut on a second thread while the infield is cut, and its triangles must
// still come after the infield's and draw their shades from the generator in the same order.
TEST(TrackGrids, LargeTrackCutOnTwoThreadsLoadsAsThePlainScans) {
  std::string path = writeTrack(trackFileText(generatedWaypoints(1200, 5)));
  expectSameLoad(path);
  TTrack track;
  ASSERT_EQ(track.load(path.c_str()), loadOk);
  EXPECT_GT(track.triangleCount - track.outerStart, 1000);  // large enough for the second thread
  std::mt19937 random(9);
  expectSameFoundTriangles(track, random);
}

// Refused tracks: a waypoint moved near another, two swapped (which crosses the loop), the
// whole loop reversed, a lap run twice over itself.
TEST(TrackGrids, RefusedTracksGiveThePlainScansFault) {
  std::mt19937 random(3);
  int refused[7] = {};
  for (uint32_t seed = 0; seed < 150 && !HasFatalFailure(); seed++) {
    std::vector<TFileWaypoint> loop = generatedWaypoints(10 + int32_t(seed % 120), seed + 1000);
    size_t n = loop.size(), i = random() % n, j = random() % n;
    switch (seed % 4) {
      case 0: loop[j] = {loop[i].east + 3 + (random() % 8), loop[i].north, loop[i].height}; break;
      case 1: std::swap(loop[i], loop[j]); break;
      case 2: std::reverse(loop.begin(), loop.end()); break;
      default:
        for (size_t k = 0; k < n; k++) loop.push_back({loop[k].east * 1.3, loop[k].north * 1.3, loop[k].height + 10});
    }
    std::string path = writeTrack(trackFileText(loop));
    TTrack track;
    refused[track.load(path.c_str())]++;
    expectSameLoad(path);
  }
  EXPECT_GT(refused[loadTooClose], 10);
  EXPECT_GT(refused[loadCrossing], 10);
  EXPECT_GT(refused[loadNotClockwise], 10);
}

// The distance rule as the loader asks it, waypoint by waypoint, with points on cell borders,
// at exactly 10 apart and just inside, and above one another.
TEST(DistanceRuleHash, SameVerdictAndNearestWaypointAsThePlainScan) {
  std::mt19937 random(4);
  for (uint32_t seed = 0; seed < 30; seed++) {
    std::vector<Vec3> points = asPoints(generatedWaypoints(20 + int32_t(seed * 13), seed));
    for (Vec3& p : points)  // some on the borders of the 10-unit cells
      if (random() % 4 == 0) p = {std::round(p.x / 10) * 10, std::round(p.y / 10) * 10, p.z};
    TTrack track;
    setWaypoints(&track, points);
    int32_t stored = int32_t(points.size());
    for (int k = 0; k < 400; k++) {
      track.waypointCount = int32_t(random() % (stored + 1));  // as the loader grows, and starts again
      Vec3 w = points[random() % stored];
      float offsets[] = {0, 9.999f, 10, 10.001f, 5, -7.5f, float(random() % 2000) / 100 - 10};
      Vec3 p = {w.x + offsets[random() % 7], w.y + offsets[random() % 7], w.z + offsets[random() % 7]};
      if (k % 5 == 0) p = {w.x, w.y + 10, w.z};
      int32_t fastNear = -1, plainNear = -1;
      ASSERT_EQ(track.isFarFromWaypoints(p, &fastNear), plainIsFarFromWaypoints(track, p, &plainNear)) << k;
      EXPECT_EQ(fastNear, plainNear);
    }
  }
}

// Loops the loader would refuse before the crossing rule, and near misses: a waypoint exactly
// on another segment, segments crossing near their ends, and long straights whose waypoints are
// on one line only as far as rounding lets them.
TEST(CrossingRulePairs, SameVerdictAndCrossingAsThePlainScan) {
  std::mt19937 random(5);
  int crossed = 0;
  for (uint32_t seed = 0; seed < 300 && !HasFatalFailure(); seed++) {
    std::vector<Vec3> points = asPoints(generatedWaypoints(6 + int32_t(seed % 150), seed, seed % 2 == 0));
    size_t n = points.size();
    for (int m = 0; m < int(seed % 4); m++) {
      size_t i = random() % n, j = random() % n;
      Vec3 a = points[j], b = points[(j + 1) % n];
      float f = float(random() % 5) / 4;  // ends and middle of the other segment
      switch (random() % 3) {
        case 0: points[i] = {a.x + f * (b.x - a.x), points[i].y, a.z + f * (b.z - a.z)}; break;
        case 1: std::swap(points[i], points[j]); break;
        default:  // far out along the line through a segment
          points[i] = {a.x + 7 * (b.x - a.x) / 3, points[i].y, a.z + 7 * (b.z - a.z) / 3};
      }
    }
    TTrack track;
    setWaypoints(&track, points);
    TCrossing fast = {-1, -1, 0}, plain = {-1, -1, 0};
    bool passes = track.passesCrossingRule(&fast);
    ASSERT_EQ(passes, plainPassesCrossingRule(track, &plain)) << seed;
    EXPECT_EQ(fast.segment, plain.segment);
    EXPECT_EQ(fast.otherSegment, plain.otherSegment);
    EXPECT_TRUE(sameBits(fast.along, plain.along));
    crossed += !passes;
  }
  EXPECT_GT(crossed, 100);
}

// Four waypoints on one straight line as far as floats allow it, the middle segment 11 units
// long: rounding makes the test find the first and third segments crossing, so the plain scan
// refuses this straight. The grid must propose that pair although the two lie apart.
TEST(CrossingRulePairs, StraightThatRoundingCrossesIsRefusedAsByThePlainScan) {
  TTrack track;
  setWaypoints(&track, {{131.666672f, 0, 94.5565262f},
                        {167, 0, 119.90435f},
                        {178, 0, 127.795654f},
                        {213.333344f, 0, 153.143494f},
                        {213.333344f, 0, 253.143494f},
                        {131.666672f, 0, 194.5565262f}});
  TCrossing fast = {-1, -1, 0}, plain = {-1, -1, 0};
  ASSERT_FALSE(plainPassesCrossingRule(track, &plain));
  EXPECT_EQ(plain.segment, 2);
  EXPECT_EQ(plain.otherSegment, 0);
  ASSERT_FALSE(track.passesCrossingRule(&fast));
  EXPECT_EQ(fast.segment, plain.segment);
  EXPECT_EQ(fast.otherSegment, plain.otherSegment);
  EXPECT_TRUE(sameBits(fast.along, plain.along));
}

// A triangle whose diagonal A-C runs on inside its box beyond A: rounding makes contains() take
// points on that line far beyond A, and the grid must file the triangle there too.
TEST(TriangleGridCells, HoldEveryTriangleThatContainsAPointOfTheCell) {
  std::vector<TTriangle> made = {
      TTriangle({405.22113f, 0, 312.099335f}, {0, 0, 0}, {865.857117f, 0, 859.777771f}, true),
      TTriangle({64.9981461f, 0, 17.3273335f}, {0, 0, 0}, {161.285721f, 0, 73.1111145f}, true),
      TTriangle({900, 0, 900}, {1000, 0, 910}, {905, 0, 1000}, true)};
  ASSERT_TRUE(made[0].contains(347.733765f, 0, 243.749054f));  // some 90 units off the triangle
  for (int i = 0; i < 2000; i++) {                             // small ones all over, so the cells are small
    float x = float(i % 50) * 20, z = float(i / 50) * 25;
    made.push_back(TTriangle({x, 0, z}, {x + 10, 0, z}, {x, 0, z + 10}, false));
  }
  std::vector<const TTriangle*> list;
  for (const TTriangle& t : made) list.push_back(&t);
  TTriangleGrid grid;
  grid.build(list.data(), int32_t(list.size()));
  std::mt19937 random(8);
  int contained = 0;
  ASSERT_LT(grid.small.cellSize, 50);
  for (int32_t i = 0; i < 3; i++) {
    const TTriangle& t = made[size_t(i)];
    for (int k = 0; k < 20000; k++) {
      float f = float(random() % 30001) / 10000 - 1;  // along A-C, beyond both ends too
      float x = t.vertexA.x + f * (t.vertexC.x - t.vertexA.x), z = t.vertexA.z + f * (t.vertexC.z - t.vertexA.z);
      if (k % 2) {  // anywhere in the box
        x = t.minX + float(random() % 10001) / 10000 * (t.maxX - t.minX);
        z = t.minZ + float(random() % 10001) / 10000 * (t.maxZ - t.minZ);
      }
      if (!t.contains(x, 0, z)) continue;
      contained++;
      const TCellLevel& level = grid.isSmall(t) ? grid.small : grid.large;
      int32_t cell = level.cellAt(x, z);
      ASSERT_GE(cell, 0);
      const int32_t* begin = level.cellTriangles.data() + level.cellStart[size_t(cell)];
      const int32_t* end = level.cellTriangles.data() + level.cellStart[size_t(cell) + 1];
      ASSERT_NE(std::find(begin, end, i), end) << "triangle " << i << " at " << x << " " << z;
    }
  }
  EXPECT_GT(contained, 1000);
}

// Cuts a polygon both ways and compares the triangles bit for bit.
void expectSameClipping(const std::vector<Vec3>& polygon) {
  TTrack fast, plain;
  fast.triangulatePolygon(int32_t(polygon.size()), polygonCopy(polygon));
  plainTriangulatePolygon(&plain, int32_t(polygon.size()), polygonCopy(polygon));
  ASSERT_EQ(fast.triangleCount, plain.triangleCount);
  for (int32_t i = 0; i < fast.triangleCount; i++) {
    const TTriangle &f = *fast.triangles[i], &p = *plain.triangles[i];
    ASSERT_TRUE(sameBits(f.vertexA, p.vertexA) && sameBits(f.vertexB, p.vertexB) && sameBits(f.vertexC, p.vertexC))
        << "triangle " << i;
  }
}

TEST(EarClippingTree, GroundPolygonsCutAsByThePlainScan) {
  int polygons = 0;
  for (uint32_t seed = 0; seed < 60 && !HasFatalFailure(); seed++) {
    std::string path =
        writeTrack(trackFileText(generatedWaypoints(10 + int32_t(seed * 5), seed + 77, seed % 2 == 1), 3 + seed % 4));
    for (const std::vector<Vec3>& polygon : groundPolygons(path.c_str())) {
      expectSameClipping(polygon);
      polygons++;
    }
  }
  EXPECT_GE(polygons, 100);
}

// A corner so nearly straight that its own point lies on its diagonal, as rounding has it. The
// plain test skips the corner's own entry, but when the walk has come round to the wrap copy of
// entry 0 it meets the corner's point at entry 0 and finds the corner blocked by itself. Here the
// other three corners turn left, so that is where the walk ends, and the polygon is cut as a fan.
TEST(EarClippingTree, CornerAtTheWrapIsBlockedByItsOwnPoint) {
  Vec3 a = {44.5999985f, 0, 99.9000015f}, b = {70.8285675f, 0, 115.811111f}, c = {110.171425f, 0, 139.67778f};
  ASSERT_EQ(turnSign(a, b, b, c), -1);
  Vec3 x = {(a.x + c.x) / 2 - (c.z - a.z), 0, (a.z + c.z) / 2 + (c.x - a.x)};
  if (turnSign(b, c, c, x) != 1) x = {(a.x + c.x) / 2 + (c.z - a.z), 0, (a.z + c.z) / 2 - (c.x - a.x)};
  ASSERT_EQ(turnSign(b, c, c, x), 1);
  ASSERT_EQ(turnSign(c, x, x, a), 1);
  ASSERT_EQ(turnSign(x, a, a, b), 1);
  TTrack plain;
  plainTriangulatePolygon(&plain, 4, polygonCopy({b, c, x, a}));
  ASSERT_EQ(plain.triangleCount, 2);
  EXPECT_TRUE(sameBits(plain.triangles[0]->vertexA, b) && sameBits(plain.triangles[1]->vertexC, a));  // the fan from b
  expectSameClipping({b, c, x, a});
}

// Polygons made to trip a box test: points on the diagonal, on the box's edges, on the
// diagonal's line far beyond its ends, repeated points, spikes, nearly straight runs of
// corners, and loops that overlap themselves and end as a fan.
TEST(EarClippingTree, AwkwardPolygonsCutAsByThePlainScan) {
  std::mt19937 random(6);
  for (int k = 0; k < 300 && !HasFatalFailure(); k++) {
    int n = 4 + int(random() % 40);
    std::vector<Vec3> polygon;
    for (int i = 0; i < n; i++) {
      double angle = -6.283185307179586 * (i + 0.3 * (random() % 100) / 100.0) / n;
      double r = 50 + random() % 50;
      polygon.push_back({float(r * std::cos(angle)), float(i), float(-r * std::sin(angle))});
    }
    for (int m = 0; m < 1 + int(random() % 6); m++) {
      size_t i = random() % n, j = random() % n;
      Vec3 a = polygon[j], c = polygon[(j + 2) % n];
      float f = float(random() % 9) / 8;
      switch (random() % 6) {
        case 0:  // on the diagonal, or on its line beyond
          polygon[i] = {a.x + f * 3 * (c.x - a.x) - (c.x - a.x), polygon[i].y, a.z + f * 3 * (c.z - a.z) - (c.z - a.z)};
          break;
        case 1:  // a corner of the diagonal's box
          polygon[i] = {a.x, polygon[i].y, c.z};
          break;
        case 2:  // a repeated point
          polygon[i] = {polygon[j].x, polygon[i].y, polygon[j].z};
          break;
        case 3:  // a straight run: the next point halfway on
          polygon[(j + 1) % n] = {(a.x + c.x) / 2, polygon[(j + 1) % n].y, (a.z + c.z) / 2};
          break;
        case 4:  // thirds, which no float holds exactly
          polygon[(j + 1) % n] = {a.x + (c.x - a.x) / 3, polygon[(j + 1) % n].y, a.z + (c.z - a.z) / 3};
          break;
        default:  // a spike out and back
          polygon[i] = {polygon[i].x * 3, polygon[i].y, polygon[i].z * 3};
      }
    }
    SCOPED_TRACE(k);
    expectSameClipping(polygon);
  }
}

}  // namespace
