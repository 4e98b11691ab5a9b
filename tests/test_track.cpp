// The track: reading its file, the three rules, the road and ground mesh and what the cars ask
// of it. Every grid must answer as the plain scan over all pairs and points does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <tuple>
#include <utility>

#include "bench/reference/generated_track.h"
#include "bench/reference/plain_track.h"
#include "geometry/random.h"
#include "tests/test_support.h"
#include "track/segment_pairs.h"
#include "track/triangle.h"
#include "track/triangle_grid.h"

namespace {

const std::string square = flatSquare;

int8_t loadFrom(const std::string& text, TTrack* track = nullptr, TLoadDetail* detail = nullptr) {
  TTrack local;
  return (track != nullptr ? track : &local)->loadText(text.data(), text.size(), detail);
}

// Every other fault, the layouts a file may take and the square's exact mesh are in the track
// tool's reviewed reports and maps.
TEST(TrackLoad, MissingFilesDirectoriesAndTokensThatAreNoNumbers) {
  TTrack track;
  EXPECT_EQ(track.load("/nonexistent/track.tck"), loadCantOpen);
  EXPECT_EQ(track.load("/"), loadCantOpen);  // a folder
  for (const char* bad : {"x", "nan", "inf", "-infinity", "-", "in", "1e", "0x", "1.5abc", "--1", "0x1p"})
    EXPECT_EQ(loadFrom(trackText(square + bad + " 0 0\n")), loadTooClose) << bad;
  ASSERT_EQ(loadFrom(trackText("10 20 1\n10 220 5\n110 220 3\n15 20 1\n"), &track), loadTooClose);
  expectNear(track.waypoints[3], {10, 1, -20}, 0);  // refused part-way, the loop still closes
  ASSERT_EQ(loadFrom(trackText("10 20 1\n10 220 5\n110 220 3\n110 20 2\n"), &track), loadOk);
  expectNear(track.centre, {60, 3, -120}, 0);
  EXPECT_EQ(track.margin, 100);
}

TEST(TrackQueries, ContainmentHeightAndSlopeOfATriangle) {
  // Edges and corners belong, in either winding; then points just outside, or inside the box only.
  const float inside[][2] = {{2, 2}, {10, 4}, {4, 12}, {6, 3}, {7, 8}, {3, 7}, {5.3f, 6}},
              outside[][2] = {{9, 10}, {1.999f, 2}, {6, 12.001f}};
  Vec3 a = {2, 0, 2}, b = {10, 0, 4}, c = {4, 0, 12};
  for (const TTriangle& t : {TTriangle(a, b, c, false), TTriangle(a, c, b, false)}) {
    for (const float* p : inside) EXPECT_TRUE(t.contains(p[0], 99, p[1])) << p[0] << " " << p[1];
    for (const float* p : outside) EXPECT_FALSE(t.contains(p[0], 99, p[1])) << p[0] << " " << p[1];
  }
  TTriangle slanted({0, 0, 0}, {10, 0, 8}, {4, 0, 4}, false);
  // Within it, and on the line through A and C but beyond C.
  EXPECT_EQ(std::make_pair(slanted.contains(2, 0, 2), slanted.contains(6, 0, 6)), std::make_pair(true, false));

  TTriangle plane({0, 1, 0}, {10, 3, 0}, {0, 5, 10}, false);  // y = 1 + 0.2 x + 0.4 z, out beyond it too
  for (auto [x, z] :
       {std::pair{0.0f, 0.0f}, {0.0f, 10.0f}, {10.0f, 0.0f}, {10.0f / 3, 10.0f / 3}, {100.0f, 200.0f}, {5.0f, 10.0f}})
    EXPECT_NEAR(plane.heightAt(x, 0, z), 1 + 0.2 * x + 0.4 * z, 1e-4) << x << " " << z;
  EXPECT_EQ(TTriangle({0, 7, 0}, {10, 7, 0}, {0, 7, 10}, false).heightAt(1e4f, 0, -1e4f), 7);
  TTriangle line({0, 1, 0}, {5, 2, 5}, {10, 6, 10}, true);  // one line in plan: the mean height
  EXPECT_EQ(std::make_pair(line.heightAt(3, 0, -7), line.heightAt(10, 0, 10)), std::make_pair(3.0f, 6.0f));
  EXPECT_NEAR(TTriangle({0, 0, 0}, {5, 1, 5}, {10, 2, 10}, true).slopeAngle, 0, 1e-7);  // no normal at all
  EXPECT_TRUE(std::isfinite(TTriangle({0, 0, 0}, {1e-3f, 1e6f, 0}, {0, 0, 1e-3f}, false).heightAt(3e38f, 0, -3e38f)));
  for (const TTriangle& t : {TTriangle({0, 0, 0}, {0, 0, -10}, {10, 5, -10}, false),
                             TTriangle({0, 0, 0}, {10, 5, -10}, {0, 0, -10}, false)}) {
    EXPECT_NEAR(t.slopeDirection, -pi / 2, 1e-6);  // rising towards +x, falling towards -x
    EXPECT_NEAR(t.slopeAngle, std::atan(0.5), 1e-6);
  }
  // A grid over a mesh of no extent, far out east or south, still has cells, and files its triangle there.
  for (Vec3 at : {Vec3{600, 0, 5}, Vec3{5, 0, 600}}) {
    TTriangle dot(at, at, at, false);
    const TTriangle* dots[] = {&dot};
    TTriangleGrid grid;
    grid.build(dots, 1);
    EXPECT_EQ(std::make_pair(grid.small.cellAt(at.x, at.z), grid.small.cellTriangles),
              std::make_pair(0, std::vector{0}));
  }
}

double planArea(const TTriangle& t) {
  return std::fabs(double(t.edgeAB.x) * t.edgeAC.z - double(t.edgeAC.x) * t.edgeAB.z) / 2;
}

// The mesh of a track whose road never comes near itself: road and ground tile the border
// rectangle, each ground polygon of m corners gives m - 2 triangles, and the centre line lies on road.
void expectSoundMesh(const TTrack& track) {
  TRoadOutline outline = track.roadOutline();
  int road = 0;
  for (uint8_t flags : outline.cornerFlags) road += flags != 0 ? 3 : 2;
  EXPECT_EQ(track.infieldStart, road);
  EXPECT_EQ(track.outerStart - track.infieldStart, int(outline.infield.size()) - 2);
  EXPECT_EQ(track.triangleCount - track.outerStart, int(outline.outer.size()) - 2);
  double area = 0, m = track.margin;
  for (int32_t i = 0; i < track.triangleCount; i++) area += planArea(*track.triangles[i]);
  double border =
      (double(track.maxCorner.x) - track.minCorner.x + 2 * m) * (double(track.maxCorner.z) - track.minCorner.z + 2 * m);
  EXPECT_NEAR(area, border, border * 1e-6);
  for (int32_t i = 0; i < track.waypointCount; i++)
    for (float f : {0.0f, 0.5f, 0.9f}) {
      Vec3 p = track.waypoints[i], q = track.waypoints[i + 1];
      const TTriangle* found = track.findTriangle(p.x + f * (q.x - p.x), 0, p.z + f * (q.z - p.z));
      EXPECT_LT(std::find(track.triangles, track.triangles + track.triangleCount, found) - track.triangles, road);
    }
}

// A polygon handed over as an array, as the mesh's own caller would: cut in order, the array
// released, a reflex corner or a spike round a point never an ear; and the triangle under a
// point found in a list of triangles the mesh did not make, which has no grid.
TEST(TrackMesh, HandedOverPolygonsAreCutInOrderAndSearchedWithoutAGrid) {
  TTrack track;
  track.triangulatePolygon(4, new Vec3[6]{{4, 0, -4}, {4, 0, -96}, {96, 0, -96}, {96, 0, -4}});
  ASSERT_EQ(track.triangleCount, 2);
  const Vec3 cut[2][3] = {{{4, 0, -4}, {4, 0, -96}, {96, 0, -96}}, {{4, 0, -4}, {96, 0, -96}, {96, 0, -4}}};
  for (int t = 0; t < 2; t++) {
    expectNear(track.triangles[t]->vertexA, cut[t][0], 0);
    expectNear(track.triangles[t]->vertexB, cut[t][1], 0);
    expectNear(track.triangles[t]->vertexC, cut[t][2], 0);
  }
  EXPECT_EQ(track.findTriangle(90, 0, -10), track.triangles[1]);
  EXPECT_EQ(track.findTriangle(500, 0, 0), track.triangles[0]) << "off the list: the first";

  const Vec3 notch = {50, 0, -50};  // an L, clockwise, turning left at its notch
  Vec3 l[8] = {{0, 0, 0}, {0, 0, -100}, {50, 0, -100}, notch, {100, 0, -50}, {100, 0, 0}, {0, 0, 0}, {0, 0, -100}};
  EXPECT_EQ(std::make_pair(track.isEar(6, l, 2), track.isEar(6, l, 0)), std::make_pair(false, true)) << "the notch";
  for (Vec3 blocking : {Vec3{10, 0, -80}, Vec3{25, 0, -50}}) {  // inside that ear; on its diagonal
    l[4] = blocking;
    EXPECT_FALSE(track.isEar(6, l, 0)) << blocking.x;
  }
  l[4] = {-25, 0, 50};  // on the diagonal's line but beyond its end
  EXPECT_TRUE(track.isEar(6, l, 0));
  TTrack shape;
  shape.triangulatePolygon(6, new Vec3[8]{l[0], l[1], l[2], notch, {100, 0, -50}, {100, 0, 0}});
  EXPECT_EQ(shape.triangleCount, 4);
  shape.triangulatePolygon(0, new Vec3[2]);
  EXPECT_EQ(shape.triangleCount, 4) << "no point, no triangle";

  // A spike whose sides are parallel within rounding, with a point of the polygon inside it, is
  // no ear: cut as the plain clipping cuts it.
  std::vector<Vec3> spike = {{0, 0, 0}, {1000, 0, 0}, {0, 0, 4e-4f}, {500, 0, 1e-4f}, {-50, 0, 300}, {-100, 0, -300}};
  TTrack fast, plain;
  fast.triangulatePolygon(spike);
  plainTriangulatePolygon(&plain, spike);
  for (int32_t i = 0; i < 4; i++) expectNear(fast.triangles[i]->vertexB, plain.triangles[i]->vertexB, 0);
}

// Loads the text and checks every answer of the track's grids against the plain scan's: the
// distance rule as the loader asks it, the crossing rule on the loop and with waypoints moved
// onto other segments or swapped, the ground cut bit for bit with its shades drawn in the same
// order, and the triangle under points on corners, edges, cell borders and off the mesh.
void expectAsPlainScans(const std::string& text, std::mt19937& random) {
  TTrack track;
  setGameRandState(7);
  ASSERT_EQ(loadFrom(text, &track), loadOk);
  int drawAfterLoad = gameRand();
  int32_t n = track.waypointCount;
  for (int k = 0; k < 300; k++) {
    track.waypointCount = int32_t(random() % uint32_t(n + 1));
    Vec3 w = track.waypoints[random() % uint32_t(n)];
    const float offsets[] = {0, 9.999f, 10, 10.001f, 5, -7.5f};
    Vec3 p = {w.x + offsets[random() % 6], w.y + offsets[random() % 6], w.z + offsets[random() % 6]};
    if (k % 3 == 0) p.x = std::round(p.x / 10) * 10;  // on a cell border
    int32_t near = -1, plainNear = -1;
    ASSERT_EQ(track.isFarFromWaypoints(p, &near), plainIsFarFromWaypoints(track, p, &plainNear)) << k;
    EXPECT_EQ(near, plainNear);
  }
  track.waypointCount = n;
  std::vector<Vec3> kept(track.waypoints, track.waypoints + n + 1);
  for (int k = 0; k < 24; k++) {
    TCrossing fast = {-1, -1, 0}, plain = {-1, -1, 0};
    ASSERT_EQ(track.passesCrossingRule(&fast), plainPassesCrossingRule(track, &plain)) << k;
    EXPECT_EQ(std::tie(fast.segment, fast.otherSegment, fast.along),
              std::tie(plain.segment, plain.otherSegment, plain.along));
    std::copy(kept.begin(), kept.end(), track.waypoints);
    size_t i = random() % uint32_t(n), j = random() % uint32_t(n);
    Vec3 a = kept[j], b = kept[j + 1];
    float f = float(random() % 5) / 4 * (k % 3 == 2 ? 3 : 1);  // ends, middle and far along the line
    track.waypoints[i] = k % 3 == 0 ? kept[j] : Vec3{a.x + f * (b.x - a.x), a.y, a.z + f * (b.z - a.z)};
    track.waypoints[j] = k % 3 == 0 ? kept[i] : track.waypoints[j];
    track.waypoints[n] = track.waypoints[0];
  }
  std::copy(kept.begin(), kept.end(), track.waypoints);

  TRoadOutline outline = track.roadOutline();
  TTrack plain;
  setGameRandState(7);
  plainTriangulatePolygon(&plain, outline.infield);
  plainTriangulatePolygon(&plain, outline.outer);
  EXPECT_EQ(gameRand(), drawAfterLoad);
  ASSERT_EQ(plain.triangleCount, track.triangleCount - track.infieldStart);
  for (int32_t i = 0; i < plain.triangleCount; i++)
    ASSERT_EQ(std::memcmp(plain.triangles[i], track.triangles[track.infieldStart + i], sizeof(TTriangle)), 0) << i;

  auto expectSame = [&](float x, float z) {
    ASSERT_EQ(track.findTriangle(x, 0, z), plainFindTriangle(track, x, 0, z)) << x << " " << z;
  };
  for (int32_t i = 0; i < track.triangleCount; i += 1 + track.triangleCount / 400) {
    const TTriangle& t = *track.triangles[i];
    Vec3 corners[3] = {t.vertexA, t.vertexB, t.vertexC};
    for (int k = 0; k < 3; k++) {
      Vec3 p = corners[k], q = corners[(k + 1) % 3];
      float f = float(random() % 3001) / 1000 - 1;  // along the edge's line, beyond both ends too
      expectSame(p.x, p.z);
      ASSERT_TRUE(std::isfinite(track.findTriangle(p.x, 0, p.z)->heightAt(p.x, 0, p.z)));
      expectSame(std::nextafter(p.x, -INFINITY), std::nextafter(p.z, INFINITY));
      expectSame((p.x + q.x) / 2, (p.z + q.z) / 2);
      expectSame(p.x + f * (q.x - p.x), p.z + f * (q.z - p.z));
    }
  }
  for (const TCellLevel* level : {&track.triangleGrid.small, &track.triangleGrid.large})
    for (int k = 0; k < 300; k++) {
      double u = double(random()) / 4294967296.0 * 1.2 - 0.1, v = double(random()) / 4294967296.0 * 1.2 - 0.1;
      float x = float(level->originX + u * level->columns * level->cellSize);
      float z = float(level->originZ + v * level->rows * level->cellSize);
      expectSame(x, z);
      expectSame(float(level->originX + std::floor(u * level->columns) * level->cellSize), z);
      expectSame(x, float(level->originZ + std::floor(v * level->rows) * level->cellSize));
    }
  for (auto [x, z] : {std::pair{0.0f, NAN}, {50.0f, NAN}, {NAN, 0.0f}, {INFINITY, -INFINITY}}) expectSame(x, z);
}

// Generated tracks of every size, some with straights and more decimals, shapes of long straights
// along the axes and turned, and the shipped ones, whose roads never come near themselves; then
// every test track that loads: slight turns, overlapping roads, hairpins, far out at a million,
// slivers.
TEST(TrackMesh, TracksTileTheMapAndAnswerAsThePlainScans) {
  std::vector<std::string> texts;
  for (uint32_t seed = 0; seed < 200; seed++)
    texts.push_back(
        trackFileText(generatedWaypoints(8 + int32_t(seed * 37 % 300), seed, seed % 3 == 0), 2 + 3 * (seed % 2)));
  for (TTrackShape shape : {shapeSquare, shapeThinRectangle, shapeComb})
    for (double angle : {0.0, 0.5}) texts.push_back(trackFileText(shapedWaypoints(shape, 250, angle)));
  for (const std::string& path : tracksIn(ZARVANTO_TRACKS_DIR)) texts.push_back(fileText(path));
  size_t sound = texts.size();
  for (const std::string& path : tracksIn(ZARVANTO_TEST_TRACKS)) texts.push_back(fileText(path));
  std::mt19937 random(1);
  for (size_t i = 0; i < texts.size() && !HasFatalFailure(); i++) {
    SCOPED_TRACE(texts[i].substr(0, 100));
    TTrack track;
    if (loadFrom(texts[i], &track) != loadOk && i >= sound) continue;
    ASSERT_GT(track.triangleCount, 0);
    if (i < sound) expectSoundMesh(track);
    expectAsPlainScans(texts[i], random);
  }
}

// The work of the crossing rule (the cells and pairs its search looks at) and of the ear clipping
// (the points its searches look at, and again those tested against a corner) grows with the
// waypoints as on a circle on long straights too: per waypoint, at most half (crossing) or a
// quarter (ear clipping) more at 8,000 than at 1,000, or one more; at 1,000 the comb's teeth are
// too short for its spans to meet all they may. A search along a whole straight, or a band
// widened, grows with their square. The counts themselves are reviewed, so that any change to how
// far the searches reach shows; so are the places the triangle grid files each triangle under.
TEST(TrackLoad, WorkGrowsInProportionOnStraightsAsOnACircle) {
  std::string work;  // the counts, a track a line
  auto perWaypoint = [&work](const std::string& text) {
    TTrack track;
    EXPECT_EQ(loadFrom(text, &track), loadOk);
    int64_t steps = 0;
    size_t pairs = segmentPairsThatMayCross(track.waypoints, track.waypointCount, &steps).size();
    const TCellLevel &small = track.triangleGrid.small, &large = track.triangleGrid.large;
    work += std::to_string(pairs) + " pairs in " + std::to_string(steps) + " steps, " +
            std::to_string(track.groundPointTests) + " ground steps, filed " +
            std::to_string(small.cellTriangles.size()) + " + " + std::to_string(large.cellTriangles.size()) + "\n";
    return std::make_pair(double(steps) / track.waypointCount, double(track.groundPointTests) / track.waypointCount);
  };
  for (TTrackShape shape : {shapeCircle, shapeSquare, shapeThinRectangle, shapeComb}) {
    auto [steps, groundTests] = perWaypoint(trackFileText(shapedWaypoints(shape, 1000)));
    auto [moreSteps, moreGroundTests] = perWaypoint(trackFileText(shapedWaypoints(shape, 8000)));
    EXPECT_TRUE(moreSteps <= 1.5 * steps + 1 && moreGroundTests <= 1.25 * groundTests + 1) << shape;
  }
  // A straight at an angle is straight only to its two decimals, so its points near a long
  // diagonal's line must be tested: more a waypoint as it grows, but only those within the side
  // test's rounding. A band a third wider already takes 433 steps a waypoint here.
  EXPECT_LE(perWaypoint(trackFileText(shapedWaypoints(shapeSquare, 8000, 0.5))).second, 410.0);
  perWaypoint(trackFileText(generatedWaypoints(10000, 2024)));
  EXPECT_EQ(work, reference(std::string(ZARVANTO_TEST_TRACKS) + "/work.txt", work));
}

// A large outer ground is cut on a second thread and a large grid filed on two; the triangles
// must still come in order and draw their shades from the generator as when made on one.
TEST(TrackMesh, LargeTrackBuiltOnTwoThreadsAnswersAsThePlainScans) {
  std::string text = trackFileText(generatedWaypoints(1200, 5));
  TTrack track;
  ASSERT_EQ(loadFrom(text, &track), loadOk);
  EXPECT_TRUE(track.roadOutline().outer.size() >= 1000u && track.triangleCount >= 4000);
  std::mt19937 random(3);
  expectAsPlainScans(text, random);
}

}  // namespace

// Rounding can find nearly parallel stretches of one line crossing while their starts lie within
// 17 of their taxicab lengths of each other, so those are tested, across the wrap of headings at
// the x axis too; stretches further along, on lines apart or turned apart are not.
TEST(TrackLoad, NearlyParallelStretchesAreTestedWithinTheirReach) {
  const std::tuple<double, double, double, double, bool> cases[] = {
      {0.3, 0, 10, 0, true},      {0.3, 1e-6, 40, 0, true}, {1e-6, 1e-7, 30, 0, true}, {1e-6, 1e-7, 40, 0, false},
      {1e-6, -2e-6, 30, 0, true}, {0.3, 0, 10, 0.1, false}, {0.3, 1e-4, 10, 0, false}};
  for (auto [heading, turn, gap, offset, tested] : cases) {
    double dx = std::cos(heading), dz = std::sin(heading), along = 10 * gap;
    auto at = [&](double t, double side) { return Vec3{float(t * dx - side * dz), 0, float(t * dz + side * dx)}; };
    Vec3 w[7] = {at(0, 0), at(10, 0), at(along / 2, 200), at(along, offset), {}, {}, at(0, 0)};
    w[4] = {w[3].x + float(10 * std::cos(heading + turn)), 0, w[3].z + float(10 * std::sin(heading + turn))};
    w[5] = {w[4].x + 40, 0, w[4].z};  // heading 0 exactly: every line near 0 wraps, not only the lowest
    auto pairs = segmentPairsThatMayCross(w, 6);
    EXPECT_EQ(std::count(pairs.begin(), pairs.end(), std::pair<int32_t, int32_t>{3, 0}), tested)
        << heading << " " << gap;
  }
}
