// The cars on real tracks: paint and the speed ladder, the player on the mesh, its crash slope and
// laps, and the opponents' starts and legs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/game.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "events/race_events.h"
#include "geometry/random.h"
#include "tests/test_support.h"
#include "track/triangle.h"

namespace {

const float rampClimb = float(std::atan(0.5));
constexpr uint32_t stateBeforeZero = 3604671459u;  // the generator's next value is 0

using Cars = TrackTest;

TEST_F(Cars, PaintAndSpeedLadder) {
  loadGameTrack(flatSquare);
  TPlayer car(0.05f, 1.0f, 0.3f);
  expectNear({car.darkColour[0], car.darkColour[1], car.darkColour[2]}, {0.0f, 0.9f, float(0.3f - 0.1)}, 0);
  // Up to the top, down to the fastest reverse, and back up; stopping also stops the turning.
  for (const auto& [step, speeds] : {std::pair{1, std::vector<float>{5, 10, 20, 40, 60, 80, 100, 120, 140, 160, 160}},
                                     {-1, {140, 120, 100, 80, 60, 40, 20, 10, 5, 0, -5, -10, -20, -30, -30}},
                                     {1, {-20, -10, -5, 0, 5}},
                                     {0, {0}}})
    for (float expected : speeds) {
      car.turnRate = 0.5f;
      car.changeSpeed(int8_t(step));
      EXPECT_EQ(std::tie(car.speed, car.turnRate), std::make_tuple(expected, expected == 0 ? 0.0f : 0.5f)) << expected;
    }
}

TEST_F(Cars, PlayerFollowsTheSurfaceSteersStaysInThePlayAreaAndCrashesOnASteepSlope) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // at the foot of the ramp, facing up it
  expectNear(car.position, {0, 0, -30}, 0.0f);
  EXPECT_EQ(std::make_tuple(car.heading, car.waypointIndex), std::make_tuple(float(pi), 1));
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  for (int i = 0; i < 4; i++) car.changeSpeed(1);
  car.update(1.0f);  // 40 along the slope
  expectNear(car.position, {0.0f, 17.8885f, -65.7771f}, 1e-3f);
  EXPECT_EQ(car.pitch, car.triangle->slopeAngle);
  car.setMotion(20.0f, float(-pi / 2 + 0.01), 0.0f);  // turning below -pi/2 wraps, then moves west
  car.turnRate = -0.02f;
  car.position = {50.0f, 0.0f, -102.0f};  // on the level north side
  car.update(1.0f);
  EXPECT_NEAR(car.heading, threeHalfPi - 0.01, 1e-5);
  expectNear(car.position, {30.001f, 20.0f, -102.2f}, 1e-3f);
  EXPECT_NEAR(car.pitch, 0.0f, 1e-6f);
  // The play area is x -50 to 150, z -150 to 50: along the east border, into two corners.
  car.turnRate = 0.0f;
  for (auto [from, speed, heading, to] : {std::tuple{Vec3{145, 0, -50}, 20.0f, pi / 4, Vec3{150, 0, -21.7157f}},
                                          {{-45, 0, -140}, 20.0f, 5 * pi / 4, {-50, 0, -150}},
                                          {{-45, 0, 40}, -20.0f, 3 * pi / 4, {-50, 0, 50}}}) {
    car.position = from;
    car.setMotion(speed, float(heading), 0.0f);
    car.update(2.0f);
    expectNear(car.position, to, 1e-4f);
  }
  loadGameTrack("0 0 0\n0 20 25\n40 20 25\n40 0 0\n");  // the start leg climbs 25 over 20
  car.position = {0.0f, 0.0f, -10.0f};
  car.triangle = nullptr;  // the last track's
  car.update(0.0f);
  EXPECT_TRUE(car.pitch == car.triangle->slopeAngle && double(car.pitch) >= crashPitch) << car.pitch;
}

TEST_F(Cars, WaypointsInOrderThenLapsWithoutPausedTime) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  auto arrive = [&](Vec3 where, double seconds) {
    holdGameClock(int64_t(std::lround(seconds * 1000)));
    car.position = where;
    car.update(0.0f);
  };
  clearRaceEvents();
  messageText[0] = '\0';
  arrive(track->waypoints[2], 0.5);  // waypoint 1 (0, 0, -100) must come first
  arrive({8.01f, 0, -100}, 0.6);
  EXPECT_EQ(std::make_tuple(car.waypointIndex, raceEvents.count, messageText[0]), std::make_tuple(1, 0, '\0'));
  arrive({8.0f, 0, -100}, 1.0);
  // The step itself leaves the message for the head-up display, as well as reporting it.
  EXPECT_EQ(std::make_tuple(car.waypointIndex, std::string(messageText), messageTime),
            std::make_tuple(2, "Waypoint reached", 1.0f));
  ASSERT_EQ(raceEvents.count, 1);
  const RaceEvent& event = raceEvents.list[0];
  EXPECT_EQ(std::make_tuple(event.kind, event.waypoint, event.time), std::make_tuple(eventWaypointReached, 1, 1.0f));
  // The first lap's 60.5 s had 10 paused and is the best so far; an equal lap leaves the best
  // alone, which only the sign of zero can show.
  lapStartTime = 1.0f, pausedTime = 10.0f, bestLapTime = std::numeric_limits<float>::max();
  for (auto [end, lap, best] :
       {std::tuple{61.5f, 50.5f, 50.5f}, {131.5f, 70.0f, 50.5f}, {171.5f, 40.0f, 40.0f}, {171.5f, 0.0f, -0.0f}}) {
    if (end == lapStartTime) bestLapTime = -0.0f;
    arrive(track->waypoints[2], end - 0.2);
    arrive(track->waypoints[3], end - 0.1);
    clearRaceEvents();
    arrive(track->waypoints[0], end);
    ASSERT_EQ(raceEvents.count, 1);
    EXPECT_EQ(std::make_tuple(raceEvents.list[0].kind, raceEvents.list[0].lapTime, std::string(messageText),
                              messageTime, car.waypointIndex, lapStartTime, pausedTime, lastLapTime),
              std::make_tuple(eventLapCompleted, lap, std::string("Next lap started"), end, 1, end, 0.0f, lap));
    EXPECT_TRUE(bestLapTime == best && std::signbit(bestLapTime) == std::signbit(best)) << end << " " << bestLapTime;
    arrive(track->waypoints[1], end + 0.1);
  }
  holdGameClock(-1);
}

TEST_F(Cars, OpponentStartsWhereTheDrawFallsOnTheLapAndDrivesItsLegs) {
  loadGameTrack(flatSquare);  // a lap of 400 in legs of 100; the draws are 0, 8192, 16384 and 32767
  for (auto [state, place, index, heading] : {std::tuple{stateBeforeZero, Vec3{0, 0, 0}, 1, float(pi)},
                                              {1994058723u, {0.0031f, 0, -100}, 2, halfPiFloat},
                                              {383445987u, {100, 0, -99.9939f}, 3, 0.0f},
                                              {1119742947u, {0, 0, 0}, 0, -halfPiFloat}}) {
    setGameRandState(state);
    TOpponent car(1, 0, 0);
    expectNear(car.position, place, 2e-4f);
    EXPECT_EQ(std::tie(car.waypointIndex, car.heading, car.speed), std::make_tuple(index, heading, 50.0f)) << state;
  }
  loadGameTrack(rampSquare);
  setGameRandState(stateBeforeZero);
  TOpponent car(1, 0, 0);
  car.update(0.5f);  // 25 up the ramp
  expectNear(car.position, {0.0f, 11.1803f, -52.3607f}, 1e-3f);
  EXPECT_NEAR(car.pitch, rampClimb, 1e-6f);
  car.update(0.5f);  // over the top: level from there
  EXPECT_EQ(std::tie(car.waypointIndex, car.pitch), std::make_tuple(2, 0.0f));
  loadGameTrack("0 0 0\n0 12 0\n12 12 0\n12 0 0\n");  // legs of 12
  setGameRandState(stateBeforeZero);
  TOpponent quick(1, 0, 0);
  quick.update(1.0f);  // 50: all four legs pass, then a whole frame from the start again
  EXPECT_EQ(quick.waypointIndex, 1);
  expectNear(quick.position, {0.0f, 0.0f, -50.0f}, 1e-4f);
}

}  // namespace
