// Geometry: the sign conventions and special cases every other module leans on.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/random.h"
#include "geometry/vector.h"

namespace {

const float halfPi = float(pi / 2);

TEST(DirectionAngles, YawIsZeroTowardsPlusZAndPiOverTwoTowardsPlusX) {
  Vec3 origin = {0, 0, 0};
  float yaw, pitch;
  directionAngles(origin, {0, 0, 1}, &yaw, &pitch);
  EXPECT_FLOAT_EQ(yaw, 0.0f);
  directionAngles(origin, {1, 0, 0}, &yaw, &pitch);
  EXPECT_FLOAT_EQ(yaw, halfPi);
  EXPECT_FLOAT_EQ(pitch, 0.0f);
  directionAngles(origin, {0, 0, -1}, &yaw, &pitch);
  EXPECT_FLOAT_EQ(yaw, float(pi));
  directionAngles(origin, {-1, 0, 0}, &yaw, &pitch);
  EXPECT_EQ(yaw, -halfPiFloat);  // not 3pi/2
  directionAngles(origin, {-1, 0, -1}, &yaw, &pitch);
  EXPECT_FLOAT_EQ(yaw, float(pi * 1.25));
}

TEST(DirectionAngles, VerticalAndEmptyDirections) {
  float yaw, pitch;
  directionAngles({0, 0, 0}, {0, 5, 0}, &yaw, &pitch);
  EXPECT_EQ(yaw, -halfPiFloat);
  EXPECT_EQ(pitch, halfPiFloat);
  directionAngles({0, 0, 0}, {0, 0, 0}, &yaw, &pitch);
  EXPECT_EQ(yaw, -halfPiFloat);
  EXPECT_EQ(pitch, -halfPiFloat);
  directionAngles({1, 2, 3}, {1 + 3, 2 + 4, 3}, &yaw, &pitch);
  EXPECT_FLOAT_EQ(pitch, std::atan(4.0f / 3.0f));
}

TEST(Turns, RightTurnIsMinusOneAndPositiveAngle) {
  Vec3 p0 = {0, 0, 0}, p1 = {0, 0, -100}, q1 = {100, 0, -100};  // north, then east
  EXPECT_EQ(turnSign(p0, p1, p1, q1), -1);
  EXPECT_FLOAT_EQ(turnAngle(p0, p1, p1, q1), halfPi);
  Vec3 west = {-100, 0, -100};
  EXPECT_EQ(turnSign(p0, p1, p1, west), 1);
  EXPECT_FLOAT_EQ(turnAngle(p0, p1, p1, west), -halfPi);
  Vec3 ahead = {0, 0, -200}, back = {0, 0, 50};
  EXPECT_EQ(turnSign(p0, p1, p1, ahead), 0);
  EXPECT_EQ(turnSign(p0, p1, p1, back), 0);
}

TEST(Turns, SharpTurnCountsAsArcsineOfItsSine) {
  // 135 degrees to the right counts as 45.
  Vec3 p0 = {0, 0, 0}, p1 = {0, 0, -100}, q1 = {100, 0, 0};
  EXPECT_NEAR(turnAngle(p0, p1, p1, q1), float(pi / 4), 1e-6);
}

TEST(Turns, RightAngleNeverGivesNaN) {
  // The diamond's corners are right angles whose sine rounds just past 1 without the clamp.
  Vec3 w[] = {{0, 0, 0}, {12, 0, -12}, {24, 0, 0}, {12, 0, 12}};
  for (int i = 0; i < 4; i++) {
    float a = turnAngle(w[i], w[(i + 1) % 4], w[(i + 1) % 4], w[(i + 2) % 4]);
    EXPECT_FALSE(std::isnan(a));
    EXPECT_NEAR(a, halfPi, 1e-6);
  }
}

TEST(UnitRange, EndsCountOnlyWhenAsked) {
  EXPECT_FALSE(inUnitRange(0.0f, false));
  EXPECT_FALSE(inUnitRange(1.0f, false));
  EXPECT_TRUE(inUnitRange(0.5f, false));
  EXPECT_TRUE(inUnitRange(1.0f, true));
  EXPECT_TRUE(inUnitRange(0.0f, true));
  EXPECT_FALSE(inUnitRange(-0.1f, true));
  EXPECT_FALSE(inUnitRange(std::nanf(""), true));
}

TEST(Lines, IntersectSolvesAndLeavesParallelUntouched) {
  float u = 7, v = 8;
  EXPECT_TRUE(intersectLines({2, 3}, {1, 0}, {0, 1}, &u, &v));
  EXPECT_FLOAT_EQ(u, 2.0f);
  EXPECT_FLOAT_EQ(v, -3.0f);
  u = 7, v = 8;
  EXPECT_FALSE(intersectLines({2, 3}, {1, 1}, {-2, -2}, &u, &v));
  EXPECT_EQ(u, 7.0f);
  EXPECT_EQ(v, 8.0f);
  EXPECT_FLOAT_EQ(paramAlong({3, 6}, 0, 2), 3.0f);
  EXPECT_FLOAT_EQ(paramAlong({3, 6}, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(paramAlong({3, 6}, 2, 5), 1.5f);
}

TEST(Angles, WrapKeepsResultInBaseRange) {
  EXPECT_FLOAT_EQ(wrapAngle(7.0f, -halfPiFloat), float(7.0 - twoPi));
  EXPECT_FLOAT_EQ(wrapAngle(-3.0f, -halfPiFloat), float(-3.0 + twoPi));
  EXPECT_NEAR(wrapAngle(float(threeHalfPi - 0.01 + 0.02), -halfPiFloat), -halfPi + 0.01f, 1e-6);
  EXPECT_FLOAT_EQ(wrapAngle(1.0f, -halfPiFloat), 1.0f);
  float far = wrapAngle(1e9f, -halfPiFloat);  // must end, and in range
  EXPECT_GE(far, -halfPiFloat);
  EXPECT_LT(far, float(threeHalfPi));
  EXPECT_TRUE(std::isinf(wrapAngle(INFINITY, 0.0f)));
}

TEST(Angles, BlendTakesTheShorterArc) {
  EXPECT_FLOAT_EQ(blendAngle(3.0f, -1.0f, 1.0f), float(pi + 1.0));
  EXPECT_FLOAT_EQ(blendAngle(3.5f, 0.0f, 1.0f), float(1.75 - pi));
  EXPECT_FLOAT_EQ(blendAngle(1.0f, 0.0f, 1.0f), 0.5f);
  EXPECT_FLOAT_EQ(blendAngle(1.0f, 0.0f, 0.0f), 1.0f);  // no lag: straight to the target
}

TEST(EdgeOffsets, DrivingNorthLeftIsWest) {
  Vec3 ls, le, rs, re;
  edgeOffsets({0, 0, 0}, {0, 2, -10}, &ls, &le, &rs, &re);
  EXPECT_FLOAT_EQ(ls.x, -4);
  EXPECT_FLOAT_EQ(ls.z, 0);
  EXPECT_FLOAT_EQ(ls.y, 0);
  EXPECT_FLOAT_EQ(le.x, -4);
  EXPECT_FLOAT_EQ(le.z, -10);
  EXPECT_FLOAT_EQ(le.y, 2);
  EXPECT_FLOAT_EQ(rs.x, 4);
  EXPECT_FLOAT_EQ(rs.z, 0);
  EXPECT_FLOAT_EQ(re.x, 4);
  EXPECT_FLOAT_EQ(re.z, -10);
  edgeOffsets({5, 1, 5}, {5, 9, 5}, &ls, &le, &rs, &re);  // no plan length: all on the points
  EXPECT_FLOAT_EQ(ls.x, 5);
  EXPECT_FLOAT_EQ(rs.z, 5);
  EXPECT_FLOAT_EQ(le.y, 9);
}

TEST(SmallOperations, MinMaxCrossDistance) {
  EXPECT_EQ(minFloat(2, 1), 1);
  EXPECT_EQ(maxFloat(2, 1), 2);
  Vec3 c;
  cross({1, 0, 0}, {0, 1, 0}, &c);
  EXPECT_EQ(c.z, 1);
  EXPECT_EQ(c.x, 0);
  EXPECT_FLOAT_EQ(distance({0, 0, 0}, {6, 8, 0}), 10.0f);
  EXPECT_EQ(sideOf({0, -1}, {1, 0}), -1);  // heading north, east is to the right
}

TEST(Random, FollowsTheLinearCongruentialSequence) {
  setGameRandState(1);
  // state 1 -> 22695478: bits 16..30 give 346.
  EXPECT_EQ(gameRand(), 346);
  EXPECT_EQ(gameRand(), 130);
  EXPECT_EQ(gameRand(), 10982);
  setGameRandState(1);
  uint32_t state = 1;
  for (int i = 0; i < 1000; i++) {
    state = state * 22695477u + 1u;
    ASSERT_EQ(gameRand(), int((state >> 16) & 0x7fff));
  }
}

}  // namespace
