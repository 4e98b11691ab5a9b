// What the cars and the camera ask of the track: containment, height, length and the triangle
// under a point.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

TEST(TriangleContains, EdgesAndCornersBelongToTheTriangleInEitherWinding) {
  Vec3 a = {2, 0, 2}, b = {10, 0, 4}, c = {4, 0, 12};
  for (const TTriangle& t : {TTriangle(a, b, c, false), TTriangle(a, c, b, false)}) {
    for (Vec3 p : {a, b, c}) EXPECT_TRUE(t.contains(p.x, 99, p.z));
    EXPECT_TRUE(t.contains(6, 0, 3));  // edge midpoints, exact in floating point
    EXPECT_TRUE(t.contains(7, 0, 8));
    EXPECT_TRUE(t.contains(3, 0, 7));
    EXPECT_TRUE(t.contains(5.3f, 0, 6));
    EXPECT_FALSE(t.contains(9, 0, 10));  // inside the box, outside the triangle
    EXPECT_FALSE(t.contains(1.999f, 0, 2));
    EXPECT_FALSE(t.contains(6, 0, 12.001f));
  }
  TTriangle slanted({0, 0, 0}, {10, 0, 8}, {4, 0, 4}, false);
  EXPECT_TRUE(slanted.contains(2, 0, 2));
  EXPECT_FALSE(slanted.contains(6, 0, 6));  // on the line through A and C, beyond C
}

TEST(TriangleHeight, ExtendsThePlaneThroughTheCorners) {
  // y = 1 + 0.2 x + 0.4 z
  TTriangle t({0, 1, 0}, {10, 3, 0}, {0, 5, 10}, false);
  EXPECT_EQ(t.heightAt(0, 0, 0), 1);
  EXPECT_EQ(t.heightAt(0, 0, 10), 5);
  EXPECT_NEAR(t.heightAt(10, 0, 0), 3, 1e-6);
  EXPECT_NEAR(t.heightAt(10.0f / 3, 0, 10.0f / 3), 3, 1e-5);
  EXPECT_NEAR(t.heightAt(100, 0, 200), 101, 1e-3);
  EXPECT_EQ(t.heightAt(5, 0, 10), 6);  // on the line through C parallel to A-B
  TTriangle level({0, 7, 0}, {10, 7, 0}, {0, 7, 10}, false);
  EXPECT_FLOAT_EQ(level.heightAt(1e4f, 0, -1e4f), 7);
}

TEST(TriangleHeight, StaysFiniteWhereNoPlaneIsDefined) {
  TTriangle line({0, 1, 0}, {5, 2, 5}, {10, 6, 10}, false);  // one line in plan
  EXPECT_EQ(line.heightAt(0, 0, 0), 3);
  EXPECT_EQ(line.heightAt(3, 0, -7), 3);
  EXPECT_EQ(line.heightAt(10, 0, 10), 6);
  TTriangle point({1, 1, 1}, {1, 2, 1}, {1, 6, 1}, false);
  EXPECT_EQ(point.heightAt(4, 0, 4), 3);
  TTriangle steep({0, 0, 0}, {1e-3f, 1e6f, 0}, {0, 0, 1e-3f}, false);
  for (float far : {3e38f, -3e38f, 1e20f}) EXPECT_TRUE(std::isfinite(steep.heightAt(far, 0, -far))) << far;
}

TEST(TrackLength, SumsTheClosedLoopInThreeDimensions) {
  TTrack empty;
  EXPECT_EQ(empty.length(), 0);
  TTrack square, ramp;
  ASSERT_EQ(square.load(writeTrackFile("length-square.tck", trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n")).c_str()),
            loadOk);
  EXPECT_EQ(square.length(), 400);
  ASSERT_EQ(ramp.load(writeTrackFile("length-ramp.tck", trackText("0 0 0\n0 30 40\n40 30 40\n40 0 0\n")).c_str()),
            loadOk);
  EXPECT_EQ(ramp.length(), 180);  // 50 up, 40 across, 50 down, 40 back
}

TEST(FindTriangle, FirstContainingTriangleElseTheFirstOfAll) {
  TTrack track;
  ASSERT_EQ(track.load(writeTrackFile("find.tck", trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n")).c_str()), loadOk);
  EXPECT_EQ(track.findTriangle(-500, 0, 500), track.triangles[0]);
  EXPECT_EQ(track.findTriangle(-500, 0, 500)->heightAt(-500, 0, 500), 0);
  EXPECT_EQ(track.findTriangle(0, 0, -52), track.triangles[1]);    // on the edge the two halves share
  EXPECT_EQ(track.findTriangle(50, 0, -50), track.triangles[12]);  // on the infield's diagonal
  EXPECT_EQ(track.findTriangle(-2, 0, -10), track.triangles[1]);
  EXPECT_EQ(track.findTriangle(120, 0, 20), track.triangles[25]);
}

}  // namespace
