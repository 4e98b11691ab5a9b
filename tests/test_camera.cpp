// The camera on real tracks: its start in place, the glide and its lags per mode, the floor
// clearance in solid drawing, the fixed eye over the track and the cockpit view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/car.h"
#include "cars/player.h"
#include "test_tracks.h"
#include "track/triangle.h"

namespace {

// A car the test places and turns by hand.
class TStandIn : public TCar {
 public:
  TStandIn(Vec3 where, float speedNow, float headingNow, float pitchNow) : TCar(1, 1, 1) {
    position = where;
    waypointIndex = 0;
    setMotion(speedNow, headingNow, pitchNow);
  }
  void update(float) override {}
  void applyOrientation() override {}
};

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override { displayFlags = showHeadUp | showOverview | drawSolid; }
  void TearDown() override { releaseGameTrack(); }
};

void expectNear(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Runs the camera for the given seconds in frames of dt.
void run(TCamera* camera, float seconds, float dt) {
  for (float t = 0.0f; t < seconds; t += dt) camera->update(dt);
}

Vec3 viewDirection(const TCamera& camera) {
  Vec3 d = delta(camera.eye, camera.lookAt);
  float length = distance(camera.eye, camera.lookAt);
  return {d.x / length, d.y / length, d.z / length};
}

TEST_F(CameraTest, StartsInPlaceBehindAndAboveThePlayerLookingAtIt) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // on the start, facing north (-z)
  TCamera view(&car);
  EXPECT_EQ(view.mode, cameraHelicopter);
  EXPECT_EQ(view.car, &car);
  expectNear(view.eye, {0.0f, 15.0f, 15.0f}, 1e-5f);
  expectNear(view.lookAt, car.position, 0.0f);
  EXPECT_EQ(view.angleLag, 1.0f);
  EXPECT_EQ(view.positionLag, 1.0f);
  EXPECT_NEAR(view.viewYaw, pi, 1e-6);
  EXPECT_NEAR(view.viewPitch, -pi / 4, 1e-6);
  // In place already: a step changes nothing.
  view.update(0.1f);
  expectNear(view.eye, {0.0f, 15.0f, 15.0f}, 1e-5f);
  expectNear(view.lookAt, car.position, 1e-5f);
}

TEST_F(CameraTest, LagsRestartOnANewModeOrCarButNotTheSameMode) {
  loadGameTrack(flatSquare);
  TStandIn car({50.0f, 0.0f, -50.0f}, 0.0f, 0.0f, 0.0f);
  TCamera view(&car);
  view.setMode(cameraBehind);
  run(&view, 1.5f, 0.5f);
  float angleLag = view.angleLag, positionLag = view.positionLag;
  ASSERT_LT(angleLag, 1.0f);
  ASSERT_LT(positionLag, 1.0f);
  view.setMode(cameraBehind);
  EXPECT_EQ(view.angleLag, angleLag);
  EXPECT_EQ(view.positionLag, positionLag);
  view.setCar(&car);  // the same car again still restarts the glide
  EXPECT_EQ(view.angleLag, 1.0f);
  EXPECT_EQ(view.positionLag, 1.0f);
  run(&view, 1.5f, 0.5f);
  view.setMode(cameraCockpit);
  EXPECT_EQ(view.angleLag, 1.0f);
  EXPECT_EQ(view.positionLag, 1.0f);
}

TEST_F(CameraTest, LagsSettleWithinThreeSecondsPerMode) {
  loadGameTrack(flatSquare);
  TStandIn car({50.0f, 0.0f, -50.0f}, 10.0f, 1.0f, 0.0f);
  TCamera view(&car);
  const struct {
    uint8_t mode;
    float positionLag;
  } modes[] = {{cameraCockpit, 0.0f}, {cameraBehind, 0.4f}, {cameraHelicopter, 1.0f}, {cameraTrack, 1.0f}};
  for (const auto& m : modes) {
    SCOPED_TRACE(int(m.mode));
    view.setMode(m.mode);
    run(&view, 1.0f, 0.25f);
    EXPECT_NEAR(view.angleLag, 2.0 / 3, 1e-6);
    EXPECT_NEAR(view.positionLag, m.mode <= cameraBehind ? 2.0 / 3 : 1.0, 1e-6);
    run(&view, 2.1f, 0.1f);
    EXPECT_EQ(view.angleLag, 0.0f);
    EXPECT_EQ(view.positionLag, m.positionLag);
  }
}

TEST_F(CameraTest, LongestFrameReachesTheTargetInOneStepButTheHelicopterHalfWay) {
  loadGameTrack(flatSquare);
  displayFlags &= uint8_t(~drawSolid);
  TStandIn car({50.0f, 0.0f, -50.0f}, 0.0f, 0.0f, 0.0f);  // facing south, +z
  TCamera view(&car);
  view.setMode(cameraCockpit);
  view.update(1.0f);
  expectNear(view.eye, {50.0f, 1.4f, -49.5f}, 1e-5f);
  view.setMode(cameraBehind);
  view.update(1.0f);
  expectNear(view.eye, {50.0f, 2.0f, -60.0f}, 1e-5f);
  view.setMode(cameraTrack);
  view.update(1.0f);
  expectNear(view.eye, {50.0f, 0.0f, -50.0f}, 1e-5f);
  view.setMode(cameraHelicopter);
  view.update(1.0f);  // half-way back to 15 behind and 15 above
  expectNear(view.eye, {50.0f, 7.5f, -57.5f}, 1e-5f);
}

TEST_F(CameraTest, ViewTurnsHalfWayRightAfterAChange) {
  loadGameTrack(flatSquare);
  TStandIn car({50.0f, 0.0f, -50.0f}, 10.0f, 0.0f, 0.0f);
  TCamera view(&car);
  view.setMode(cameraCockpit);
  run(&view, 4.0f, 0.5f);
  EXPECT_NEAR(view.viewYaw, 0.0, 1e-6);
  car.setMotion(10.0f, 1.0f, 0.0f);
  view.setCar(&car);
  view.update(0.0f);
  EXPECT_NEAR(view.viewYaw, 0.5, 1e-6);
}

TEST_F(CameraTest, EyeIsKeptAboveSolidGroundOnly) {
  // Behind a car half-way down the east ramp (20 at 70 north, 0 at 30 north) the eye's target,
  // 2 above the car, lies below the road 10 units back up the ramp.
  loadGameTrack(rampSquare);
  TStandIn car({100.0f, 10.0f, -50.0f}, 0.0f, 0.0f, 0.0f);  // going south, downhill
  TCamera view(&car);
  view.setMode(cameraBehind);
  view.update(1.0f);
  float roadBehind = track->findTriangle(100.0f, 0.0f, -60.0f)->heightAt(100.0f, 0.0f, -60.0f);
  EXPECT_NEAR(roadBehind, 15.0f, 1e-4f);
  EXPECT_NEAR(view.eye.y, 17.0f, 1e-4f);
  EXPECT_NEAR(view.eyeTarget.y, 12.0f, 1e-5f);  // the target itself is not lifted

  displayFlags &= uint8_t(~drawSolid);
  view.setMode(cameraHelicopter);
  view.setMode(cameraBehind);
  view.update(1.0f);
  EXPECT_NEAR(view.eye.y, 12.0f, 1e-5f);

  // The cockpit is never lifted.
  displayFlags |= drawSolid;
  car.position.y = 5.0f;  // under the road
  view.setMode(cameraCockpit);
  view.update(1.0f);
  EXPECT_NEAR(view.eye.y, 6.4f, 1e-5f);
}

TEST_F(CameraTest, TrackViewEyeStaysOverTheCentreAndClearOfTheGround) {
  loadGameTrack(rampSquare);  // heights 0 to 20, centre (50, 10, -50)
  TStandIn car({0.0f, 0.0f, 0.0f}, 0.0f, 0.0f, 0.0f);
  TCamera view(&car);
  view.setMode(cameraTrack);
  expectNear(view.eyeTarget, {50.0f, 20.0f, -50.0f}, 0.0f);
  run(&view, 30.0f, 0.5f);
  car.position = {100.0f, 20.0f, -100.0f};
  run(&view, 1.0f, 0.5f);
  expectNear(view.eyeTarget, {50.0f, 20.0f, -50.0f}, 0.0f);
  // The infield under the centre lies between the ramps' heights; the eye stays 20 above it.
  float ground = track->findTriangle(50.0f, 0.0f, -50.0f)->heightAt(50.0f, 0.0f, -50.0f);
  ASSERT_GT(ground, 0.0f);
  ASSERT_LT(ground, 20.0f);
  EXPECT_NEAR(view.eye.y, ground + 20.0f, 1e-3f);
  EXPECT_NEAR(view.eye.x, 50.0f, 1e-3f);
  EXPECT_NEAR(view.eye.z, -50.0f, 1e-3f);
  // Locked on, it looks at the car.
  expectNear(view.lookAt, car.position, 1e-3f);
}

TEST_F(CameraTest, CockpitLooksAlongHeadingAndPitchAlsoWhenStanding) {
  loadGameTrack(flatSquare);
  float heading = 2.0f, climb = 0.1f;
  TStandIn car({50.0f, 0.0f, -50.0f}, 0.0f, heading, climb);
  TCamera view(&car);
  view.setMode(cameraCockpit);
  run(&view, 4.0f, 0.1f);
  Vec3 along = {float(std::sin(heading) * std::cos(climb)), float(std::sin(climb)),
                float(std::cos(heading) * std::cos(climb))};
  EXPECT_NEAR(distance(view.eye, view.lookAt), 1.0f, 1e-5f);
  expectNear(viewDirection(view), along, 1e-5f);

  // Moving, the view reaches as far as the speed; reversing, it still looks ahead.
  car.setMotion(-30.0f, heading, climb);
  view.update(0.1f);
  EXPECT_NEAR(distance(view.eye, view.lookAt), 30.0f, 1e-4f);
  expectNear(viewDirection(view), along, 1e-5f);
}

}  // namespace
