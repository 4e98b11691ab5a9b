// Cutting the ground into triangles, and the slope of a triangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "track/track.h"
#include "track/triangle.h"

namespace {

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
  Vec3* points = static_cast<Vec3*>(std::malloc(sizeof(Vec3) * (polygon.size() + 2)));
  for (size_t i = 0; i < polygon.size(); i++) points[i] = {polygon[i].x, float(i), -polygon[i].z};
  track.triangulatePolygon(int32_t(polygon.size()), points);
  std::vector<int> corners;
  for (int i = 0; i < track.triangleCount; i++)
    for (Vec3 v : {track.triangles[i]->vertexA, track.triangles[i]->vertexB, track.triangles[i]->vertexC}) corners.push_back(int(v.y));
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
  EXPECT_EQ(clip({{0, 0}, {10, 0}, {10, 10}, {5, 12}, {0, 10}}), (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 3, 4}));  // anticlockwise
  EXPECT_EQ(clip({{0, 0}, {10, 10}, {10, 0}, {0, 10}, {-3, 5}}).size(), 9u);  // crossing itself
}

}  // namespace
