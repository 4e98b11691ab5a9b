// The camera on real tracks: its start in place, the eye per mode, the lags, and the eye kept
// above solid ground, over the track too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "camera/camera.h"
#include "cars/player.h"
#include "tests/test_support.h"
#include "track/triangle.h"

namespace {

void run(TCamera* view, int frames, float dt) {
  for (int i = 0; i < frames; i++) view->update(dt);
}

using Camera = TrackTest;

TEST_F(Camera, StartsInPlaceEachModeReachesItsEyeAndTheLagsSettleWithinThreeSeconds) {
  displayFlags = 0;
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // facing north, -z
  TCamera view(&car);
  EXPECT_EQ(view.mode, cameraHelicopter);
  EXPECT_EQ(std::tie(view.angleLag, view.positionLag), std::make_tuple(1.0f, 1.0f));
  for (int frame = 0; frame < 2; frame++, view.update(0.1f)) {  // already in place
    expectNear(view.eye, {0.0f, 15.0f, 15.0f}, 1e-5f);
    expectNear(view.lookAt, car.position, 1e-5f);
  }
  car.position = {50.0f, 0.0f, -50.0f};
  car.setMotion(0.0f, 0.0f, 0.0f);  // facing south, +z; the helicopter goes half-way to its eye
  for (auto [mode, eye] : {std::pair{cameraCockpit, Vec3{50.0f, 1.4f, -49.5f}},
                           {cameraBehind, {50.0f, 2.0f, -60.0f}},
                           {cameraTrack, {50.0f, 0.0f, -50.0f}},
                           {cameraHelicopter, {50.0f, 7.5f, -57.5f}}}) {
    view.setMode(mode);
    view.update(1.0f);
    expectNear(view.eye, eye, 1e-5f);
  }
  // Each change restarts both lags; the same mode again changes nothing.
  displayFlags = drawSolid;
  car.setMotion(10.0f, 1.0f, 0.0f);
  const float settled[] = {0.0f, 0.4f, 1.0f, 1.0f};  // positionLag per mode
  for (uint8_t mode : {cameraCockpit, cameraBehind, cameraHelicopter, cameraTrack}) {
    view.setMode(mode);
    EXPECT_EQ(std::tie(view.angleLag, view.positionLag), std::make_tuple(1.0f, 1.0f)) << int(mode);
    run(&view, 4, 0.25f);
    view.setMode(mode);  // a third of the way down, where it is not held
    EXPECT_NEAR(view.angleLag, 2.0f / 3, 1e-6f) << int(mode);
    EXPECT_NEAR(view.positionLag, std::max(settled[mode], 2.0f / 3), 1e-6f) << int(mode);
    run(&view, 21, 0.1f);
    EXPECT_EQ(std::tie(view.angleLag, view.positionLag), std::make_tuple(0.0f, settled[mode])) << int(mode);
  }
  view.setMode(cameraCockpit);
  run(&view, 40, 0.1f);  // locked on the heading, 1
  car.setMotion(10.0f, 2.0f, 0.0f);
  view.setCar(&car);  // the same car again still restarts the glide
  EXPECT_EQ(std::tie(view.angleLag, view.positionLag), std::make_tuple(1.0f, 1.0f));
  view.update(0.0f);  // and the view turns half-way
  EXPECT_NEAR(view.viewYaw, 1.5, 1e-6);
}

TEST_F(Camera, EyeIsKeptAboveSolidGroundOnly) {
  // Half-way down the east ramp (20 at 70 north, 0 at 30 north), the eye target 2 above the car
  // lies below the road 10 back up the ramp, which is at 15.
  displayFlags = drawSolid;
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.position = {100.0f, 10.0f, -50.0f};
  car.setMotion(0.0f, 0.0f, 0.0f);
  TCamera view(&car);
  view.setMode(cameraBehind);
  view.update(1.0f);
  EXPECT_TRUE(std::fabs(view.eye.y - 17.0f) < 1e-4f && std::fabs(view.eyeTarget.y - 12.0f) < 1e-5f) << view.eye.y;
  displayFlags = 0;
  view.setMode(cameraHelicopter);
  view.setMode(cameraBehind);
  view.update(1.0f);
  EXPECT_NEAR(view.eye.y, 12.0f, 1e-5f);
  // Over the track the eye aims at the height of the highest waypoint, and is lifted to 20
  // above the infield under the centre, whichever car it watches.
  displayFlags = drawSolid;
  view.setMode(cameraTrack);
  expectNear(view.eyeTarget, {50.0f, 20.0f, -50.0f}, 0.0f);
  run(&view, 60, 0.5f);
  car.position = {100.0f, 20.0f, -100.0f};
  run(&view, 2, 0.5f);
  float ground = track->findTriangle(50.0f, 0.0f, -50.0f)->heightAt(50.0f, 0.0f, -50.0f);
  expectNear(view.eye, {50.0f, ground + 20.0f, -50.0f}, 1e-3f);
  expectNear(view.lookAt, car.position, 1e-3f);
}

}  // namespace
