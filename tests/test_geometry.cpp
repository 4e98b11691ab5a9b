// Geometry: the sign conventions and special cases every other module leans on.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "geometry/vector.h"

namespace {

const float halfPi = float(pi / 2);

TEST(DirectionAngles, YawFromPlusZTowardsPlusXAndPitchAboveLevel) {
  // Straight west is -pi/2, not 3pi/2; straight up, and no direction at all, look west.
  for (auto [to, yaw, pitch] : {std::tuple{Vec3{0, 0, 1}, 0.0f, 0.0f},
                                {{1, 0, 0}, halfPi, 0.0f},
                                {{0, 0, -1}, float(pi), 0.0f},
                                {{-1, 0, 0}, -halfPiFloat, 0.0f},
                                {{0, 5, 0}, -halfPiFloat, halfPiFloat},
                                {{0, 0, 0}, -halfPiFloat, -halfPiFloat}}) {
    float gotYaw, gotPitch;
    directionAngles({1, 2, 3}, {1 + to.x, 2 + to.y, 3 + to.z}, &gotYaw, &gotPitch);
    EXPECT_FLOAT_EQ(gotYaw, yaw) << to.x << " " << to.y << " " << to.z;
    EXPECT_FLOAT_EQ(gotPitch, pitch) << to.x << " " << to.y << " " << to.z;
  }
}

TEST(Angles, WrapIntoTheBaseRangeAndBlendAlongTheShorterArc) {
  // The range holds its base and stops short of a whole turn above it: the floats either side of both ends.
  float top = float(-halfPiFloat + twoPi);
  if (top < -halfPiFloat + twoPi) top = std::nextafter(top, 5.0f);
  for (auto [angle, wrapped] : {std::pair{7.0, 7.0 - twoPi},
                                {-3.0, -3.0 + twoPi},
                                {-pi / 2, -pi / 2},
                                {std::nextafter(-halfPiFloat, -2.0f), threeHalfPi},
                                {top, -pi / 2},
                                {std::nextafter(top, 0.0f), threeHalfPi},
                                {threeHalfPi, -pi / 2},
                                {1000.0, std::fmod(1000.0, twoPi)},
                                {-1000.0, std::fmod(-1000.0, twoPi)}})
    EXPECT_NEAR(wrapAngle(float(angle), -halfPiFloat), wrapped, 1e-4) << angle;  // far off: it must end
  EXPECT_TRUE(std::isinf(wrapAngle(INFINITY, 0.0f)));
  EXPECT_FLOAT_EQ(blendAngle(3.0f, -1.0f, 1.0f), float(pi + 1.0));
  EXPECT_FLOAT_EQ(blendAngle(-1.0f, 3.0f, 3.0f), float((3.0 * 3 + twoPi - 1) / 4));
  EXPECT_FLOAT_EQ(blendAngle(3.5f, 0.0f, 1.0f), float(1.75 - pi));  // past 3pi/2: a turn back
  EXPECT_FLOAT_EQ(blendAngle(1.0f, 0.0f, 3.0f), 0.25f);
}

}  // namespace
