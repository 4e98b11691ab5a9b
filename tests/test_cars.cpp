// The cars on real tracks: paint, velocity and the speed ladder, the player on the mesh and its
// laps, the opponents' starts and legs, and an autopilot round every shipped track.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "app/clock.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "geometry/random.h"
#include "tests/test_support.h"
#include "track/triangle.h"

namespace {

const float rampClimb = float(std::atan(0.5));
constexpr uint32_t stateBeforeZero = 3604671459u;  // the generator's next value is 0

class Cars : public TrackTest {
 protected:
  void SetUp() override {
    lapStartTime = pausedTime = messageTime = 0.0f;
    bestLapTime = std::numeric_limits<float>::max();
    messageText[0] = '\0';
  }
  void TearDown() override {
    holdGameClock(-1);
    TrackTest::TearDown();
  }
};

TEST_F(Cars, PaintVelocityAndSpeedLadder) {
  loadGameTrack(flatSquare);
  TPlayer car(0.05f, 1.0f, 0.3f);
  expectNear({car.darkColour[0], car.darkColour[1], car.darkColour[2]}, {0.0f, 0.9f, float(0.3f - 0.1)}, 0);
  car.setMotion(10.0f, 0.5f, float(pi / 6));
  expectNear(car.velocity,
             {float(10 * std::sin(0.5) * std::cos(pi / 6)), 5.0f, float(10 * std::cos(0.5) * std::cos(pi / 6))}, 1e-5f);
  car.setMotion(-10.0f, halfPiFloat, 0.0f);  // reversing moves against the heading
  expectNear(car.velocity, {-10.0f, 0.0f, 0.0f}, 1e-5f);

  car.setMotion(0.0f, float(pi), 0.0f);
  const struct {
    int8_t step;
    std::vector<float> speeds;
  } ladder[] = {{1, {5, 10, 20, 40, 60, 80, 100, 120, 140, 160, 160}},
                {-1, {140, 120, 100, 80, 60, 40, 20, 10, 5, 0, -5, -10, -20, -30, -30}},
                {1, {-20, -10, -5, 0, 5}}};
  for (const auto& run : ladder)
    for (float expected : run.speeds) {
      car.turnRate = 0.5f;
      car.changeSpeed(run.step);
      EXPECT_EQ(car.speed, expected);
      EXPECT_EQ(car.turnRate, expected == 0 ? 0.0f : 0.5f);  // stopping stops the turning
    }
  EXPECT_NEAR(car.velocity.z, -5.0f, 1e-5f);  // facing north
  car.changeSpeed(0);
  EXPECT_EQ(car.speed, 0.0f);
  EXPECT_EQ(car.turnRate, 0.0f);
}

TEST_F(Cars, PlayerFollowsTheSurfaceSteersAndStaysInThePlayArea) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // at the foot of the ramp, facing up it
  expectNear(car.position, {0, 0, -30}, 0.0f);
  EXPECT_EQ(car.heading, float(pi));
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  EXPECT_EQ(car.waypointIndex, 1);
  for (int i = 0; i < 4; i++) car.changeSpeed(1);
  car.update(1.0f);  // 40 along the slope
  float along = float(40 * std::cos(double(rampClimb)));
  expectNear(car.position, {0.0f, along * 0.5f, -30.0f - along}, 1e-3f);
  EXPECT_EQ(car.pitch, car.triangle->slopeAngle);
  EXPECT_NEAR(car.velocity.y, float(40 * std::sin(double(rampClimb))), 1e-4f);

  car.setMotion(20.0f, float(threeHalfPi - 0.01), 0.0f);  // turning past 3pi/2 wraps, then moves west
  car.turnRate = 0.02f;
  car.position = {50.0f, 0.0f, -102.0f};  // on the level north side
  car.update(1.0f);
  EXPECT_NEAR(car.heading, -pi / 2 + 0.01, 1e-5);
  expectNear(car.position, {float(50 - 20 * std::cos(0.01)), 20.0f, float(-102 + 20 * std::sin(0.01))}, 1e-3f);
  EXPECT_NEAR(car.pitch, 0.0f, 1e-6f);

  car.turnRate = 0.0f;  // play area x -50..150, z -150..50: sliding along the east border
  car.position = {145.0f, 0.0f, -50.0f};
  car.setMotion(20.0f, float(pi / 4), 0.0f);
  car.update(2.0f);
  EXPECT_EQ(car.position.x, 150.0f);
  EXPECT_NEAR(car.position.z, -50.0f + 40 * std::sqrt(0.5), 1e-4);
  car.position = {-45.0f, 0.0f, -140.0f};
  car.setMotion(20.0f, float(5 * pi / 4), 0.0f);  // into the north-west corner
  car.update(1.0f);
  EXPECT_TRUE(car.position.x == -50.0f && car.position.z == -150.0f);
  car.position = {-45.0f, 0.0f, 40.0f};
  car.setMotion(-20.0f, float(3 * pi / 4), 0.0f);  // reversing into the south-west corner
  car.update(1.0f);
  EXPECT_TRUE(car.position.x == -50.0f && car.position.z == 50.0f);
}

TEST_F(Cars, PlayerKeepsTheTriangleUnderItWhileItHoldsTheCar) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.position = track->triangles[1]->vertexA;  // a corner the first triangle shares
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->triangles[0]);
  car.triangle = track->triangles[1];
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->triangles[1]);
  car.position = {50.0f, 0.0f, -50.0f};
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->triangles[12]);
}

TEST_F(Cars, WaypointsInOrderThenLapsWithoutPausedTime) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  auto arrive = [&](Vec3 where, int64_t ms) {
    holdGameClock(ms);
    car.position = where;
    car.update(0.0f);
  };
  arrive(track->waypoints[2], 500);     // waypoint 1 must come first
  arrive({8.01f, 0.0f, -100.0f}, 600);  // waypoint 1 is (0, 0, -100)
  EXPECT_EQ(car.waypointIndex, 1);
  EXPECT_STREQ(messageText, "");
  arrive({8.0f, 0.0f, -100.0f}, 1000);
  EXPECT_STREQ(messageText, "Waypoint reached");
  EXPECT_EQ(messageTime, 1.0f);
  EXPECT_EQ(car.waypointIndex, 2);
  lapStartTime = 1.0f;
  bestLapTime = std::numeric_limits<float>::max();
  pausedTime = 10.0f;
  // The first lap's 60.5 s had 10 paused; the first lap is always the best; an equal lap leaves
  // the best alone, which only the sign of zero can show.
  const float lapEnds[] = {61.5f, 131.5f, 171.5f, 171.5f}, lapTimes[] = {50.5f, 70.0f, 40.0f, 0.0f},
              bestTimes[] = {50.5f, 50.5f, 40.0f, -0.0f};
  for (int lap = 0; lap < 4; lap++) {
    if (lap == 3) bestLapTime = -0.0f;
    arrive(track->waypoints[2], int64_t(lapEnds[lap] * 1000) - 200);
    arrive(track->waypoints[3], int64_t(lapEnds[lap] * 1000) - 100);
    EXPECT_EQ(car.waypointIndex, 4);
    arrive(track->waypoints[0], int64_t(lapEnds[lap] * 1000));
    EXPECT_STREQ(messageText, "Next lap started");
    EXPECT_EQ(car.waypointIndex, 1);
    EXPECT_EQ(lapStartTime, lapEnds[lap]);
    EXPECT_EQ(pausedTime, 0.0f);
    EXPECT_EQ(lastLapTime, lapTimes[lap]);
    EXPECT_TRUE(bestLapTime == bestTimes[lap] && std::signbit(bestLapTime) == std::signbit(bestTimes[lap]));
    arrive(track->waypoints[1], int64_t(lapEnds[lap] * 1000) + 100);
  }
}

TEST_F(Cars, OpponentStartsWhereTheDrawFallsOnTheLapAndDrivesItsLegs) {
  loadGameTrack(flatSquare);  // a lap of 400 in legs of 100
  const struct {
    uint32_t state;  // the generator's next value: 0, 8192, 16384 and 32767
    Vec3 place;
    int32_t waypointIndex;
    float heading;
  } starts[] = {{stateBeforeZero, {0, 0, 0}, 1, float(pi)},
                {1994058723u, {0.0031f, 0, -100}, 2, halfPiFloat},  // 100.003 along
                {383445987u, {100, 0, -99.9939f}, 3, 0.0f},         // 200.006 along
                {1119742947u, {0, 0, 0}, 0, -halfPiFloat}};         // the end of the closing leg
  for (const auto& start : starts) {
    SCOPED_TRACE(start.state);
    setGameRandState(start.state);
    TOpponent car(1, 0, 0);
    expectNear(car.position, start.place, 2e-4f);
    EXPECT_EQ(car.waypointIndex, start.waypointIndex);
    EXPECT_EQ(car.heading, start.heading);
    EXPECT_EQ(car.speed, 50.0f);
  }

  loadGameTrack(rampSquare);
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  car.update(0.5f);  // 25 up the ramp
  float along = float(25 * std::cos(double(rampClimb)));
  expectNear(car.position, {0.0f, along * 0.5f, -30.0f - along}, 1e-3f);
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  car.update(0.5f);  // over the top: level from there
  EXPECT_EQ(car.waypointIndex, 2);
  EXPECT_EQ(car.pitch, 0.0f);
  car.position = {50.0f, 20.0f, -50.0f};
  car.update(0.0f);  // no time: no move, only turned to the waypoint
  expectNear(car.position, {50.0f, 20.0f, -50.0f}, 0.0f);
  EXPECT_NEAR(car.heading, 5 * pi / 4, 1e-6);
  car.position = {0.0f, 20.0f, -99.5f};  // half a unit before waypoint 2
  car.update(0.02f);                     // a frame's travel of 1.0, taken in full after the snap
  EXPECT_EQ(car.waypointIndex, 3);
  expectNear(car.position, {1.0f, 20.0f, -100.0f}, 1e-5f);

  loadGameTrack("0 0 0\n0 12 0\n12 12 0\n12 0 0\n");  // legs of 12
  setGameRandState(stateBeforeZero);
  TOpponent quick(1, 0, 0);
  quick.update(1.0f);  // 50: all four legs pass, then a whole frame from the start again
  EXPECT_EQ(quick.waypointIndex, 1);
  expectNear(quick.position, {0.0f, 0.0f, -50.0f}, 1e-4f);
}

// Steers the player at its next waypoint every frame at 40 until it has done two laps or its
// pitch reaches pi/4, the game loop's crash; returns the messages and the laps' times.
std::vector<std::string> autopilot(std::vector<float>* lapTimes, float* steepest) {
  std::vector<std::string> messages;
  TPlayer car(0.3f, 0.3f, 0.3f);
  for (int i = 0; i < 4; i++) car.changeSpeed(1);
  lapStartTime = 1.0f;
  bestLapTime = std::numeric_limits<float>::max();
  for (int64_t ms = 1000; ms < 2000000 && lapTimes->size() < 2; ms += 50) {
    float yaw, climb;
    directionAngles(car.position, track->waypoints[car.waypointIndex], &yaw, &climb);
    car.turnRate = std::clamp(wrapAngle(yaw - car.heading, float(-pi)) * 5.0f, -6.0f, 6.0f);
    holdGameClock(ms);
    car.update(0.05f);
    *steepest = std::max(*steepest, car.pitch);
    if (double(car.pitch) >= crashPitch) break;
    if (messageTime != gameClock()) continue;
    messages.push_back(messageText);
    if (messages.back() == "Next lap started") lapTimes->push_back(lastLapTime);
  }
  return messages;
}

TEST_F(Cars, EveryShippedTrackCanBeDrivenTwiceAndTooSteepARoadCrashes) {
  for (const std::string& file : shippedTracks()) {
    SCOPED_TRACE(file);
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load(file.c_str()), loadOk);
    std::vector<float> lapTimes;
    float steepest = 0.0f;
    std::vector<std::string> messages = autopilot(&lapTimes, &steepest), expected;
    for (int lap = 0; lap < 2; lap++) {
      expected.insert(expected.end(), size_t(track->waypointCount - 1), "Waypoint reached");
      expected.push_back("Next lap started");
    }
    EXPECT_EQ(messages, expected);
    EXPECT_LT(double(steepest), pi / 4);
    ASSERT_EQ(lapTimes.size(), 2u);
    EXPECT_EQ(bestLapTime, std::min(lapTimes[0], lapTimes[1]));
  }
  loadGameTrack("0 0 0\n0 20 25\n40 20 25\n40 0 0\n");  // the start leg climbs 25 over 20
  std::vector<float> lapTimes;
  float steepest = 0.0f;
  autopilot(&lapTimes, &steepest);
  EXPECT_GE(double(steepest), pi / 4);
  EXPECT_TRUE(lapTimes.empty());
}

}  // namespace
