// The game loop with a real GLUT window: the frame time, pause bookkeeping, crash, restart and
// the projection the window keeps.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/clock.h"
#include "app/game.h"
#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "tests/test_support.h"
#include "track/triangle.h"

namespace {

// A race on the flat square with two opponents, paused at a held clock, as start-up leaves it.
class GameLoop : public TrackTest {
 protected:
  void SetUp() override {
    loadGameTrack(flatSquare);
    carCount = 3;
    cars = new TCar*[carCount]();
    createRace();
    holdGameClock(1000);
    pauseState = statePaused;
    lastFrameTime = 0.0f;
    lastLapTime = 0.0f;
    bestLapTime = std::numeric_limits<float>::max();
    lapStartTime = gameClock();
    pauseStartTime = lapStartTime;
    pausedTime = 0.0f;
  }
  void TearDown() override {
    setPause(statePaused);
    releaseRace();
    holdGameClock(-1);
    TrackTest::TearDown();
  }
  // Distance the player covers in one idle step taken at the given clock.
  float stepAt(int64_t milliseconds) {
    holdGameClock(milliseconds);
    float before = player->position.z;
    idle();
    return before - player->position.z;
  }
};

TEST_F(GameLoop, FrameTimeIsFirstStepThenRealGapAtMostOneSecond) {
  setPause(stateRunning);
  player->changeSpeed(1);
  player->changeSpeed(1);                // 10 units per second, north along the first side
  EXPECT_FLOAT_EQ(stepAt(1000), 1.0f);   // first step: 0.1 s whatever the clock says
  EXPECT_FLOAT_EQ(stepAt(1300), 3.0f);   // 0.3 s later
  EXPECT_FLOAT_EQ(stepAt(6300), 10.0f);  // 5 s gap: one second
  setPause(statePaused);
  setPause(stateRunning);
  EXPECT_FLOAT_EQ(stepAt(9000), 1.0f);  // after a resume: 0.1 s again
}

TEST_F(GameLoop, PausedTimeStaysOutOfTheLap) {
  holdGameClock(3000);
  setPause(stateRunning);  // the wait before the first resume is not lap time
  holdGameClock(20000);
  setPause(statePaused);
  holdGameClock(30000);  // a 10-second pause
  setPause(stateRunning);
  // Close the lap: the player stands on the start heading for the closing copy of waypoint 0.
  player->waypointIndex = track->waypointCount;
  holdGameClock(60000);
  idle();
  EXPECT_FLOAT_EQ(lastLapTime, 60.0f - 1.0f - 2.0f - 10.0f);
  EXPECT_EQ(bestLapTime, lastLapTime);
  EXPECT_EQ(pausedTime, 0.0f);
  EXPECT_EQ(lapStartTime, 60.0f);
}

TEST_F(GameLoop, CrashStopsTheGameAfterEveryoneMoved) {
  setPause(stateRunning);
  Vec3 opponentBefore = cars[1]->position;
  player->position = {-40.0f, 0.0f, -50.0f};  // on the level outer ground
  idle();
  EXPECT_EQ(pauseState, stateRunning);
  TTriangle* level = player->triangle;
  level->slopeAngle = float(crashPitch);  // a slope just steep enough under the car
  idle();
  level->slopeAngle = 0.0f;
  EXPECT_EQ(pauseState, stateCrashed);
  EXPECT_NE(cars[1]->position.x + cars[1]->position.z, opponentBefore.x + opponentBefore.z);
}

TEST_F(GameLoop, RestartKeepsLapTimesAndDrawsNewOpponentPlaces) {
  lastLapTime = 42.0f;
  bestLapTime = 40.0f;
  Vec3 firstPlace = cars[1]->position;
  camera->setMode(cameraTrack);
  setPause(stateCrashed);
  holdGameClock(5000);
  restartRace();
  EXPECT_EQ(pauseState, statePaused);
  EXPECT_EQ(cars[0], player);
  EXPECT_EQ(player->speed, 0.0f);
  EXPECT_EQ(player->waypointIndex, 1);
  EXPECT_EQ(camera->mode, cameraHelicopter);
  EXPECT_EQ(camera->car, player);
  EXPECT_EQ(cars[1]->colour[0], 1.0f);  // still red
  EXPECT_NE(cars[1]->position.x + 1000 * cars[1]->position.z, firstPlace.x + 1000 * firstPlace.z);
  EXPECT_EQ(lastLapTime, 42.0f);
  EXPECT_EQ(bestLapTime, 40.0f);
  EXPECT_EQ(lapStartTime, 5.0f);
  EXPECT_EQ(pauseStartTime, 5.0f);
  EXPECT_EQ(pausedTime, 0.0f);
}

TEST_F(GameLoop, ReshapeKeepsFieldOfViewAndSavedSizeOutsideFullScreen) {
  reshape(800, 200);
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * pi / 180), 1e-5);  // 45 degrees vertical
  EXPECT_NEAR(projection[0], projection[5] / 4, 1e-5);
  EXPECT_EQ(savedWindowWidth, 800);
  fullScreen = true;
  reshape(1280, 1024);
  fullScreen = false;
  EXPECT_EQ(savedWindowWidth, 800);
  EXPECT_EQ(savedWindowHeight, 200);
  reshape(500, 0);  // a minimised window
  EXPECT_TRUE(std::isfinite(aspectRatio));
}

}  // namespace
