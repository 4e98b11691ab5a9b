// The cars on real tracks: paint and velocity, the speed ladder, driving on the mesh, waypoints
// and laps, opponents' starts and legs, and an autopilot round every shipped track.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/game.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "geometry/random.h"
#include "test_tracks.h"
#include "track/triangle.h"

namespace {

const float rampClimb = float(std::atan(0.5));  // pitch of the ramp square's ramps

class CarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lapStartTime = 0.0f;
    pausedTime = 0.0f;
    lastLapTime = 0.0f;
    bestLapTime = std::numeric_limits<float>::max();
    messageText[0] = '\0';
    messageTime = 0.0f;
  }
  void TearDown() override {
    holdGameClock(-1);
    releaseGameTrack();
  }
};

void expectNear(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// ---- paint and velocity ----

TEST_F(CarsTest, DarkPaintIsTenthDarkerAndNeverNegative) {
  loadGameTrack(flatSquare);
  TPlayer car(0.05f, 1.0f, 0.3f);
  EXPECT_EQ(car.colour[0], 0.05f);
  EXPECT_EQ(car.colour[1], 1.0f);
  EXPECT_EQ(car.darkColour[0], 0.0f);
  EXPECT_EQ(car.darkColour[1], 0.9f);
  EXPECT_EQ(car.darkColour[2], float(0.3f - 0.1));
}

TEST_F(CarsTest, VelocityFollowsSpeedHeadingAndPitch) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.setMotion(10.0f, halfPiFloat, 0.0f);
  expectNear(car.velocity, {10.0f, 0.0f, 0.0f}, 1e-5f);
  car.setMotion(10.0f, 0.0f, float(pi / 6));
  expectNear(car.velocity, {0.0f, 5.0f, float(10 * std::cos(pi / 6))}, 1e-5f);
  car.setMotion(-10.0f, halfPiFloat, 0.0f);  // reversing moves against the heading
  expectNear(car.velocity, {-10.0f, 0.0f, 0.0f}, 1e-5f);
  car.setMotion(0.0f, 1.3f, 0.4f);
  EXPECT_EQ(car.velocity.x, 0.0f);
  EXPECT_EQ(car.velocity.y, 0.0f);
  EXPECT_EQ(car.velocity.z, 0.0f);
  EXPECT_EQ(car.heading, 1.3f);
  EXPECT_EQ(car.pitch, 0.4f);
}

// ---- the speed ladder ----

TEST_F(CarsTest, SpeedLadderUpAndDownToItsEnds) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  const float up[] = {5, 10, 20, 40, 60, 80, 100, 120, 140, 160, 160};
  for (float expected : up) {
    car.changeSpeed(1);
    EXPECT_EQ(car.speed, expected);
  }
  const float down[] = {140, 120, 100, 80, 60, 40, 20, 10, 5, 0, -5, -10, -20, -30, -30};
  for (float expected : down) {
    car.changeSpeed(-1);
    EXPECT_EQ(car.speed, expected);
  }
  const float backUp[] = {-20, -10, -5, 0, 5};
  for (float expected : backUp) {
    car.changeSpeed(1);
    EXPECT_EQ(car.speed, expected);
  }
  // The velocity follows every step: the car faces north, -z.
  EXPECT_NEAR(car.velocity.z, -5.0f, 1e-5f);
}

TEST_F(CarsTest, StoppingAlsoStopsTheTurning) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.changeSpeed(1);
  car.changeSpeed(1);
  car.turnRate = 0.7f;
  car.changeSpeed(-1);  // 10 -> 5: still moving, still turning
  EXPECT_EQ(car.turnRate, 0.7f);
  car.changeSpeed(-1);  // 5 -> 0
  EXPECT_EQ(car.speed, 0.0f);
  EXPECT_EQ(car.turnRate, 0.0f);

  car.changeSpeed(-1);
  car.changeSpeed(-1);
  car.turnRate = -0.4f;
  car.changeSpeed(0);  // the space bar from reverse
  EXPECT_EQ(car.speed, 0.0f);
  EXPECT_EQ(car.turnRate, 0.0f);
  EXPECT_EQ(car.velocity.z, 0.0f);
}

// ---- the player on the mesh ----

TEST_F(CarsTest, PlayerStartsOnWaypointZeroFacingWaypointOne) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  expectNear(car.position, {0, 0, -30}, 0.0f);
  EXPECT_EQ(car.heading, float(pi));  // north
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  EXPECT_EQ(car.speed, 0.0f);
  EXPECT_EQ(car.turnRate, 0.0f);
  EXPECT_EQ(car.waypointIndex, 1);
  EXPECT_EQ(car.triangle, nullptr);
}

TEST_F(CarsTest, PlayerTakesHeightAndPitchFromTheTriangleUnderIt) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.position = {2.0f, 99.0f, -50.0f};  // half-way up the ramp; y is replaced
  car.update(0.0f);
  EXPECT_NEAR(car.position.y, 10.0f, 1e-4f);
  EXPECT_NEAR(car.pitch, rampClimb, 1e-5f);
  ASSERT_NE(car.triangle, nullptr);
  EXPECT_TRUE(car.triangle->contains(car.position.x, car.position.y, car.position.z));
  EXPECT_EQ(car.pitch, car.triangle->slopeAngle);

  car.position = {50.0f, 0.0f, -102.0f};  // on the level north leg
  car.update(0.0f);
  EXPECT_NEAR(car.position.y, 20.0f, 1e-4f);
  EXPECT_NEAR(car.pitch, 0.0f, 1e-6f);
}

TEST_F(CarsTest, PlayerDrivesUpTheSlopeAlongItsVelocity) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  for (int i = 0; i < 4; i++) car.changeSpeed(1);  // 40, climbing at the start leg's angle
  car.update(1.0f);
  float along = float(40 * std::cos(double(rampClimb)));
  EXPECT_NEAR(car.position.x, 0.0f, 1e-4f);
  EXPECT_NEAR(car.position.z, -30.0f - along, 1e-3f);
  EXPECT_NEAR(car.position.y, along * 0.5f, 1e-3f);
  EXPECT_NEAR(car.pitch, rampClimb, 1e-5f);
  // The velocity is renewed from the surface's pitch.
  EXPECT_NEAR(car.velocity.y, float(40 * std::sin(double(car.pitch))), 1e-4f);
}

TEST_F(CarsTest, HeadingWrapsIntoTheRangeOfDirections) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.changeSpeed(1);
  car.heading = float(threeHalfPi - 0.01);
  car.turnRate = 0.02f;
  car.update(1.0f);
  EXPECT_NEAR(car.heading, -pi / 2 + 0.01, 1e-5);

  car.turnRate = -0.02f;
  car.update(1.0f);
  EXPECT_NEAR(car.heading, threeHalfPi - 0.01, 1e-5);
  EXPECT_LT(car.heading, float(threeHalfPi));
}

TEST_F(CarsTest, SteeringComesBeforeTheMove) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.position = {50.0f, 0.0f, -50.0f};
  car.changeSpeed(1);
  car.changeSpeed(1);  // 10, facing north
  // No turning: the step moves by the velocity the car already has.
  car.velocity = {3.0f, 0.0f, 4.0f};
  car.update(1.0f);
  expectNear(car.position, {53.0f, 0.0f, -46.0f}, 1e-5f);
  EXPECT_NEAR(car.velocity.z, -10.0f, 1e-5f);  // renewed after the move
  // Turning a quarter: the step already moves east.
  car.turnRate = float(-pi / 2);
  car.update(1.0f);
  EXPECT_NEAR(car.heading, pi / 2, 1e-5);
  expectNear(car.position, {63.0f, 0.0f, -46.0f}, 1e-4f);
}

TEST_F(CarsTest, PlayAreaHoldsOneAxisAndLetsTheOtherSlide) {
  loadGameTrack(flatSquare);  // play area x -50..150, z -150..50
  TPlayer car(0.3f, 0.3f, 0.3f);
  for (int i = 0; i < 3; i++) car.changeSpeed(1);  // 20
  car.position = {145.0f, 0.0f, -50.0f};
  car.setMotion(car.speed, float(pi / 4), 0.0f);  // south-east
  car.update(1.0f);
  EXPECT_EQ(car.position.x, 150.0f);
  EXPECT_NEAR(car.position.z, -50.0f + 20 * std::sqrt(0.5), 1e-4);
  car.update(1.0f);
  EXPECT_EQ(car.position.x, 150.0f);
  EXPECT_NEAR(car.position.z, -50.0f + 40 * std::sqrt(0.5), 1e-4);

  car.position = {-45.0f, 0.0f, -140.0f};
  car.setMotion(car.speed, float(5 * pi / 4), 0.0f);  // north-west, into the corner
  car.update(1.0f);
  EXPECT_EQ(car.position.x, -50.0f);
  EXPECT_EQ(car.position.z, -150.0f);
}

TEST_F(CarsTest, CachedTriangleIsKeptWhileItHoldsTheCarAndRefreshedAfter) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.update(0.0f);
  // A corner of the first triangle is shared with others; the search finds the first of them,
  // the cache keeps any other that holds the car.
  Vec3 corner = track->triangles[0]->vertexA;
  TTriangle* other = nullptr;
  for (int32_t i = 1; i < track->triangleCount && other == nullptr; i++)
    if (track->triangles[i]->contains(corner.x, corner.y, corner.z)) other = track->triangles[i];
  ASSERT_NE(other, nullptr);
  car.position = corner;
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->triangles[0]);
  car.triangle = other;
  car.update(0.0f);
  EXPECT_EQ(car.triangle, other);

  car.position = {50.0f, 0.0f, -50.0f};  // the infield, far from the cached triangle
  car.update(0.0f);
  EXPECT_EQ(car.triangle, track->findTriangle(50.0f, 0.0f, -50.0f));
  EXPECT_TRUE(car.triangle->contains(50.0f, 0.0f, -50.0f));
}

// ---- waypoints and laps ----

// Puts the car on waypoint i at the game-clock time ms and lets it look.
void arriveAt(TPlayer* car, int32_t i, int64_t ms) {
  holdGameClock(ms);
  car->position = track->waypoints[i];
  car->update(0.0f);
}

TEST_F(CarsTest, WaypointsInOrderThenTheLap) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  arriveAt(&car, 2, 500);  // out of order: waypoint 1 comes first
  EXPECT_EQ(car.waypointIndex, 1);
  EXPECT_STREQ(messageText, "");

  for (int32_t i = 1; i <= 3; i++) {
    arriveAt(&car, i, 1000 * i);
    EXPECT_STREQ(messageText, "Waypoint reached");
    EXPECT_EQ(messageTime, float(i));
    EXPECT_EQ(car.waypointIndex, i + 1);
  }
  arriveAt(&car, 0, 4500);  // the start again, as waypoint 4
  EXPECT_STREQ(messageText, "Next lap started");
  EXPECT_EQ(messageTime, 4.5f);
  EXPECT_EQ(car.waypointIndex, 1);
  EXPECT_EQ(lastLapTime, 4.5f);
  EXPECT_EQ(lapStartTime, 4.5f);
}

TEST_F(CarsTest, WaypointReachedAtEightUnitsAndNotBeyond) {
  loadGameTrack(flatSquare);  // waypoint 1 at (0, 0, -100)
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.position = {8.01f, 0.0f, -100.0f};
  car.update(0.0f);
  EXPECT_EQ(car.waypointIndex, 1);
  car.position = {8.0f, 0.0f, -100.0f};
  car.update(0.0f);
  EXPECT_EQ(car.waypointIndex, 2);
}

TEST_F(CarsTest, LapTimesLeavePausesOutAndKeepTheStrictlyBest) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  auto lap = [&](int64_t endMs) {
    for (int32_t i = 1; i <= 3; i++) arriveAt(&car, i, endMs - 100 * (4 - i));
    arriveAt(&car, 0, endMs);
  };
  lapStartTime = 1.0f;
  pausedTime = 10.0f;
  lap(61500);  // 60.5 s on the clock, 10 of them paused
  EXPECT_EQ(lastLapTime, 50.5f);
  EXPECT_EQ(bestLapTime, 50.5f);  // the first lap is always the best
  EXPECT_EQ(pausedTime, 0.0f);
  EXPECT_EQ(lapStartTime, 61.5f);

  lap(131500);  // slower
  EXPECT_EQ(lastLapTime, 70.0f);
  EXPECT_EQ(bestLapTime, 50.5f);
  lap(171500);  // faster
  EXPECT_EQ(lastLapTime, 40.0f);
  EXPECT_EQ(bestLapTime, 40.0f);

  // An equal lap leaves the best alone. Only the sign of zero tells a kept best from a
  // replaced one, so give the best that sign and finish a lap of no time at all.
  bestLapTime = -0.0f;
  lap(171500);
  EXPECT_EQ(lastLapTime, 0.0f);
  EXPECT_TRUE(std::signbit(bestLapTime));
}

// ---- opponents ----

// Generator states whose next value is the one named.
constexpr uint32_t stateBeforeZero = 3604671459u;
constexpr uint32_t stateBefore8192 = 1994058723u;
constexpr uint32_t stateBefore16384 = 383445987u;
constexpr uint32_t stateBeforeTop = 1119742947u;  // 32767

TEST_F(CarsTest, GeneratorStatesGiveTheValuesTheOpponentTestsNeed) {
  const std::pair<uint32_t, int> cases[] = {
      {stateBeforeZero, 0}, {stateBefore8192, 8192}, {stateBefore16384, 16384}, {stateBeforeTop, 32767}};
  for (auto [state, value] : cases) {
    setGameRandState(state);
    EXPECT_EQ(gameRand(), value);
  }
}

TEST_F(CarsTest, OpponentStartsWhereTheDrawFallsOnTheLap) {
  loadGameTrack(flatSquare);  // lap 400, legs of 100
  setGameRandState(stateBeforeZero);
  TOpponent first(1, 0, 0);
  expectNear(first.position, track->waypoints[0], 0.0f);
  EXPECT_EQ(first.waypointIndex, 1);
  EXPECT_EQ(first.heading, float(pi));
  EXPECT_EQ(first.speed, 50.0f);
  EXPECT_NEAR(first.velocity.z, -50.0f, 1e-5f);
  // One draw per car, so the next car takes the next value.
  int next = gameRand();
  setGameRandState(stateBeforeZero);
  gameRand();
  EXPECT_EQ(gameRand(), next);

  setGameRandState(stateBefore8192);  // 100.003: just past waypoint 1, on the north leg
  TOpponent second(0, 1, 0);
  EXPECT_EQ(second.waypointIndex, 2);
  expectNear(second.position, {0.0031f, 0.0f, -100.0f}, 2e-4f);
  EXPECT_EQ(second.heading, halfPiFloat);

  setGameRandState(stateBefore16384);  // 200.006: on the east leg, going south
  TOpponent third(0, 0, 1);
  EXPECT_EQ(third.waypointIndex, 3);
  expectNear(third.position, {100.0f, 0.0f, -99.9939f}, 2e-4f);
  EXPECT_EQ(third.heading, 0.0f);

  setGameRandState(stateBeforeTop);  // the whole lap: the end of the closing leg
  TOpponent last(1, 1, 1);
  EXPECT_EQ(last.waypointIndex, 0);
  expectNear(last.position, track->waypoints[0], 1e-3f);
  EXPECT_EQ(last.heading, -halfPiFloat);  // west, back to the start
}

TEST_F(CarsTest, OpponentClimbsInAStraightLineBetweenWaypoints) {
  loadGameTrack(rampSquare);
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  car.update(0.5f);
  float along = float(25 * std::cos(double(rampClimb)));
  expectNear(car.position, {0.0f, along * 0.5f, -30.0f - along}, 1e-3f);
  EXPECT_NEAR(car.velocity.y, float(50 * std::sin(double(rampClimb))), 1e-4f);
  // Over the top of the ramp it runs level.
  car.update(0.5f);
  EXPECT_EQ(car.waypointIndex, 2);
  EXPECT_EQ(car.pitch, 0.0f);
  EXPECT_NEAR(car.position.y, 20.0f, 1e-4f);
}

TEST_F(CarsTest, OpponentSnapsOntoAWaypointThenTravelsAWholeFrame) {
  loadGameTrack(flatSquare);
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  car.position = {0.0f, 0.0f, -99.5f};  // half a unit before waypoint 1
  car.update(0.02f);                    // a frame's travel of 1.0
  EXPECT_EQ(car.waypointIndex, 2);
  expectNear(car.position, {1.0f, 0.0f, -100.0f}, 1e-5f);
  EXPECT_EQ(car.heading, halfPiFloat);
}

TEST_F(CarsTest, OpponentPassesSeveralWaypointsInOneLongFrame) {
  loadGameTrack("0 0 0\n0 12 0\n12 12 0\n12 0 0\n");  // legs of 12
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  car.update(1.0f);  // 50 units: all four legs pass, then a whole frame from the start again
  EXPECT_EQ(car.waypointIndex, 1);
  expectNear(car.position, {0.0f, 0.0f, -50.0f}, 1e-4f);
}

TEST_F(CarsTest, OpponentWithNoTimeOnlyTurnsToItsWaypoint) {
  loadGameTrack(flatSquare);
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  car.position = {50.0f, 0.0f, -50.0f};
  car.heading = 2.0f;
  car.update(0.0f);
  expectNear(car.position, {50.0f, 0.0f, -50.0f}, 0.0f);
  EXPECT_EQ(car.waypointIndex, 1);
  float yaw, climb;
  directionAngles(car.position, track->waypoints[1], &yaw, &climb);
  EXPECT_EQ(car.heading, yaw);
  EXPECT_NEAR(car.velocity.x, -50 * std::sqrt(0.5), 1e-4);
}

// ---- whole laps under an autopilot ----

struct Drive {
  std::vector<std::string> messages;
  std::vector<float> lapTimes;
  float steepest = 0.0f;
  bool crashed = false;
};

constexpr float autopilotStep = 0.05f;    // seconds per frame
constexpr int autopilotSpeedSteps = 4;    // up the ladder to 40 units per second
constexpr float autopilotGain = 5.0f;     // turn rate per radian off course
constexpr float autopilotMaxTurn = 6.0f;  // radians per second: a circle well inside the reach distance

// Steers the player at its next waypoint every frame until it has done the laps, crashed
// (pitch of pi/4 or more, as the game loop tests it) or run out of frames.
Drive driveLaps(int laps, int maxFrames) {
  Drive drive;
  TPlayer car(0.3f, 0.3f, 0.3f);
  for (int i = 0; i < autopilotSpeedSteps; i++) car.changeSpeed(1);
  int64_t ms = 1000;
  lapStartTime = 1.0f;
  for (int frame = 0; frame < maxFrames && int(drive.lapTimes.size()) < laps; frame++) {
    float yaw, climb;
    directionAngles(car.position, track->waypoints[car.waypointIndex], &yaw, &climb);
    float off = wrapAngle(yaw - car.heading, float(-pi));
    car.turnRate = std::clamp(off * autopilotGain, -autopilotMaxTurn, autopilotMaxTurn);
    ms += int64_t(autopilotStep * 1000);
    holdGameClock(ms);
    car.update(autopilotStep);
    drive.steepest = std::max(drive.steepest, car.pitch);
    if (double(car.pitch) >= pi / 4) {
      drive.crashed = true;
      break;
    }
    if (messageTime == gameClock()) {
      drive.messages.push_back(messageText);
      if (drive.messages.back() == "Next lap started") drive.lapTimes.push_back(lastLapTime);
    }
  }
  return drive;
}

#ifndef ZARVANTO_TRACKS_DIR
#error "the tests need the folder of the shipped tracks"
#endif

TEST_F(CarsTest, EveryShippedTrackCanBeDrivenTwice) {
  std::vector<std::filesystem::path> files;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(ZARVANTO_TRACKS_DIR, missing))
    if (entry.path().extension() == ".tck") files.push_back(entry.path());
  if (files.empty()) GTEST_SKIP() << "no tracks shipped in " << ZARVANTO_TRACKS_DIR;
  std::sort(files.begin(), files.end());

  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load(file.string().c_str()), loadOk);
    messageTime = 0.0f;
    bestLapTime = std::numeric_limits<float>::max();
    Drive drive = driveLaps(2, 40000);
    EXPECT_FALSE(drive.crashed);
    ASSERT_EQ(drive.lapTimes.size(), 2u);
    std::vector<std::string> expected;
    for (int lap = 0; lap < 2; lap++) {
      expected.insert(expected.end(), size_t(track->waypointCount - 1), "Waypoint reached");
      expected.push_back("Next lap started");
    }
    EXPECT_EQ(drive.messages, expected);
    EXPECT_EQ(bestLapTime, std::min(drive.lapTimes[0], drive.lapTimes[1]));
    std::printf("%s: laps %.2f s and %.2f s, steepest pitch %.4f rad\n", file.filename().c_str(),
                drive.lapTimes[0], drive.lapTimes[1], drive.steepest);
  }
}

TEST_F(CarsTest, TooSteepARoadCrashesTheCar) {
  // The start leg climbs 25 over 20: 51 degrees.
  loadGameTrack("0 0 0\n0 20 25\n40 20 25\n40 0 0\n");
  Drive drive = driveLaps(1, 2000);
  EXPECT_TRUE(drive.crashed);
  EXPECT_GE(double(drive.steepest), pi / 4);
}

}  // namespace
