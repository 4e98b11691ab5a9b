// The cars on real tracks: paint, velocity and the speed ladder, the player on the mesh and its
// laps, the opponents' starts and legs, and an autopilot round every shipped track.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/clock.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "geometry/random.h"
#include "test_tracks.h"
#include "track/triangle.h"

namespace {

const float rampClimb = float(std::atan(0.5));

// Generator states whose next value is the one named (found by inverting the generator's step).
constexpr uint32_t stateBeforeZero = 3604671459u, stateBefore8192 = 1994058723u, stateBefore16384 = 383445987u,
                   stateBeforeTop = 1119742947u;

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
  EXPECT_EQ(car.darkColour[0], 0.0f);
  EXPECT_EQ(car.darkColour[1], 0.9f);
  EXPECT_EQ(car.darkColour[2], float(0.3f - 0.1));
  car.setMotion(10.0f, 0.0f, float(pi / 6));
  expectNear(car.velocity, {0.0f, 5.0f, float(10 * std::cos(pi / 6))}, 1e-5f);
  car.setMotion(-10.0f, halfPiFloat, 0.0f);  // reversing moves against the heading
  expectNear(car.velocity, {-10.0f, 0.0f, 0.0f}, 1e-5f);

  car.setMotion(0.0f, float(pi), 0.0f);
  for (float expected : {5, 10, 20, 40, 60, 80, 100, 120, 140, 160, 160}) {
    car.changeSpeed(1);
    EXPECT_EQ(car.speed, expected);
  }
  car.turnRate = 0.5f;
  for (float expected : {140, 120, 100, 80, 60, 40, 20, 10, 5, 0, -5, -10, -20, -30, -30}) {
    car.changeSpeed(-1);
    EXPECT_EQ(car.speed, expected);
    EXPECT_EQ(car.turnRate, expected == 0 ? 0.0f : 0.5f);  // stopping stops the turning
    car.turnRate = 0.5f;
  }
  for (float expected : {-20, -10, -5, 0, 5}) {
    car.changeSpeed(1);
    EXPECT_EQ(car.speed, expected);
  }
  EXPECT_NEAR(car.velocity.z, -5.0f, 1e-5f);  // facing north
  car.changeSpeed(0);
  EXPECT_EQ(car.speed, 0.0f);
  EXPECT_EQ(car.turnRate, 0.0f);
}

TEST_F(Cars, PlayerFollowsTheSurface) {
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
  EXPECT_NEAR(car.pitch, rampClimb, 1e-5f);
  EXPECT_EQ(car.pitch, car.triangle->slopeAngle);
  EXPECT_NEAR(car.velocity.y, float(40 * std::sin(double(rampClimb))), 1e-4f);

  car.position = {50.0f, 0.0f, -102.0f};  // on the level north side
  car.update(0.0f);
  EXPECT_NEAR(car.position.y, 20.0f, 1e-4f);
  EXPECT_NEAR(car.pitch, 0.0f, 1e-6f);
}

TEST_F(Cars, PlayerSteersBeforeMovingAndStaysInThePlayArea) {
  loadGameTrack(flatSquare);  // play area x -50..150, z -150..50
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.changeSpeed(1);
  car.changeSpeed(1);
  car.heading = float(threeHalfPi - 0.01);
  car.turnRate = 0.02f;
  car.update(1.0f);
  EXPECT_NEAR(car.heading, -pi / 2 + 0.01, 1e-5);
  EXPECT_NEAR(car.position.x, -10.0f, 1e-3f);  // already moved along the new heading: west

  car.turnRate = 0.0f;
  car.position = {145.0f, 0.0f, -50.0f};
  car.setMotion(20.0f, float(pi / 4), 0.0f);  // south-east, into the east border
  car.update(1.0f);
  car.update(1.0f);
  EXPECT_EQ(car.position.x, 150.0f);
  EXPECT_NEAR(car.position.z, -50.0f + 40 * std::sqrt(0.5), 1e-4);  // sliding along it
  car.position = {-45.0f, 0.0f, -140.0f};
  car.setMotion(20.0f, float(5 * pi / 4), 0.0f);  // into the north-west corner
  car.update(1.0f);
  EXPECT_EQ(car.position.x, -50.0f);
  EXPECT_EQ(car.position.z, -150.0f);
}

TEST_F(Cars, PlayerKeepsTheCachedTriangleWhileItHoldsTheCar) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  // A corner of the first triangle is shared: the search finds the first, the cache keeps another.
  car.position = track->triangles[0]->vertexA;
  TTriangle* other = nullptr;
  for (int32_t i = 1; i < track->triangleCount && other == nullptr; i++)
    if (track->triangles[i]->contains(car.position.x, 0, car.position.z)) other = track->triangles[i];
  ASSERT_NE(other, nullptr);
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->triangles[0]);
  car.triangle = other;
  car.update(0.0f);
  EXPECT_EQ(car.triangle, other);
  car.position = {50.0f, 0.0f, -50.0f};
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->findTriangle(50.0f, 0.0f, -50.0f));
}

TEST_F(Cars, WaypointsInOrderThenLapsWithoutPausedTime) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  auto arrive = [&](Vec3 where, int64_t ms) {
    holdGameClock(ms);
    car.position = where;
    car.update(0.0f);
  };
  arrive(track->waypoints[2], 500);  // waypoint 1 must come first
  EXPECT_EQ(car.waypointIndex, 1);
  arrive({8.01f, 0.0f, -100.0f}, 600);  // waypoint 1 is (0, 0, -100)
  EXPECT_EQ(car.waypointIndex, 1);
  EXPECT_STREQ(messageText, "");
  arrive({8.0f, 0.0f, -100.0f}, 1000);
  EXPECT_STREQ(messageText, "Waypoint reached");
  EXPECT_EQ(messageTime, 1.0f);
  auto lap = [&](int64_t endMs) {
    for (int32_t i = car.waypointIndex; i <= 3; i++) arrive(track->waypoints[i], endMs - 100 * (4 - i));
    EXPECT_EQ(car.waypointIndex, 4);
    EXPECT_STREQ(messageText, "Waypoint reached");
    arrive(track->waypoints[0], endMs);
    EXPECT_STREQ(messageText, "Next lap started");
    EXPECT_EQ(car.waypointIndex, 1);
    EXPECT_EQ(lapStartTime, float(endMs) / 1000);
    EXPECT_EQ(pausedTime, 0.0f);
  };
  lapStartTime = 1.0f;
  pausedTime = 10.0f;
  lap(61500);  // 60.5 s, 10 of them paused
  EXPECT_EQ(lastLapTime, 50.5f);
  EXPECT_EQ(bestLapTime, 50.5f);  // the first lap is always the best
  lap(131500);
  EXPECT_EQ(lastLapTime, 70.0f);
  EXPECT_EQ(bestLapTime, 50.5f);
  lap(171500);
  EXPECT_EQ(bestLapTime, 40.0f);
  // An equal lap leaves the best alone; only the sign of zero can show it.
  bestLapTime = -0.0f;
  lap(171500);
  EXPECT_TRUE(std::signbit(bestLapTime));
}

TEST_F(Cars, OpponentStartsWhereTheDrawFallsOnTheLap) {
  loadGameTrack(flatSquare);  // a lap of 400 in legs of 100
  const struct {
    uint32_t state;
    Vec3 place;
    int32_t waypointIndex;
    float heading;
  } starts[] = {
      {stateBeforeZero, {0, 0, 0}, 1, float(pi)},
      {stateBefore8192, {0.0031f, 0, -100}, 2, halfPiFloat},  // 100.003 along
      {stateBefore16384, {100, 0, -99.9939f}, 3, 0.0f},       // 200.006 along
      {stateBeforeTop, {0, 0, 0}, 0, -halfPiFloat},           // the end of the closing leg
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.state);
    setGameRandState(start.state);
    TOpponent car(1, 0, 0);
    expectNear(car.position, start.place, 2e-4f);
    EXPECT_EQ(car.waypointIndex, start.waypointIndex);
    EXPECT_EQ(car.heading, start.heading);
    EXPECT_EQ(car.speed, 50.0f);
  }
}

TEST_F(Cars, OpponentDrivesItsLegs) {
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

// Steers the player at its next waypoint every frame at 40 until it has done the laps or its
// pitch reaches pi/4, the game loop's crash; returns the messages and records the laps.
std::vector<std::string> autopilot(int laps, std::vector<float>* lapTimes, float* steepest) {
  constexpr float frame = 0.05f, gain = 5.0f, maxTurn = 6.0f;  // s, 1/s, rad/s
  std::vector<std::string> messages;
  TPlayer car(0.3f, 0.3f, 0.3f);
  for (int i = 0; i < 4; i++) car.changeSpeed(1);
  lapStartTime = 1.0f;
  bestLapTime = std::numeric_limits<float>::max();
  for (int64_t ms = 1000; ms < 2000000 && int(lapTimes->size()) < laps; ms += 50) {
    float yaw, climb;
    directionAngles(car.position, track->waypoints[car.waypointIndex], &yaw, &climb);
    car.turnRate = std::clamp(wrapAngle(yaw - car.heading, float(-pi)) * gain, -maxTurn, maxTurn);
    holdGameClock(ms);
    car.update(frame);
    *steepest = std::max(*steepest, car.pitch);
    if (double(car.pitch) >= pi / 4) break;
    if (messageTime != gameClock()) continue;
    messages.push_back(messageText);
    if (messages.back() == "Next lap started") lapTimes->push_back(lastLapTime);
  }
  return messages;
}

TEST_F(Cars, TooSteepARoadCrashes) {
  loadGameTrack("0 0 0\n0 20 25\n40 20 25\n40 0 0\n");  // the start leg climbs 25 over 20
  std::vector<float> lapTimes;
  float steepest = 0.0f;
  autopilot(1, &lapTimes, &steepest);
  EXPECT_GE(double(steepest), pi / 4);
  EXPECT_TRUE(lapTimes.empty());
}

TEST_F(Cars, EveryShippedTrackCanBeDrivenTwice) {
  std::vector<std::filesystem::path> files;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(ZARVANTO_TRACKS_DIR, missing))
    if (entry.path().extension() == ".tck") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  if (files.empty()) GTEST_SKIP() << "no tracks in " << ZARVANTO_TRACKS_DIR;
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load(file.string().c_str()), loadOk);
    std::vector<float> lapTimes;
    float steepest = 0.0f;
    std::vector<std::string> messages = autopilot(2, &lapTimes, &steepest), expected;
    for (int lap = 0; lap < 2; lap++) {
      expected.insert(expected.end(), size_t(track->waypointCount - 1), "Waypoint reached");
      expected.push_back("Next lap started");
    }
    EXPECT_EQ(messages, expected);
    EXPECT_LT(double(steepest), pi / 4);
    ASSERT_EQ(lapTimes.size(), 2u);
    EXPECT_EQ(bestLapTime, std::min(lapTimes[0], lapTimes[1]));
    std::printf("%s: laps %.2f s and %.2f s, steepest %.4f rad\n", file.filename().c_str(), lapTimes[0], lapTimes[1],
                steepest);
  }
}

}  // namespace
