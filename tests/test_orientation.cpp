// Car and camera matrices read back from a real OpenGL context. Needs an X display.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "geometry/random.h"
#include "tests/test_support.h"
#include "track/triangle.h"

namespace {

using Orientation = TrackTest;

// Column i of the modelview matrix after identity and the transform: the image of axis i.
template <typename Transform>
Vec3 axisAfter(Transform transform, int i) {
  GLfloat m[16];
  glLoadIdentity();
  transform();
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  return {m[4 * i], m[4 * i + 1], m[4 * i + 2]};
}

Vec3 unit(Vec3 v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

TEST_F(Orientation, PlayerBodyStandsOnTheTriangleNormal) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  // Up and down the ramps and on the ground falling away east, along, across and against the slope.
  for (Vec3 place : {Vec3{2, 0, -50}, Vec3{100, 0, -45}, Vec3{125, 0, -85}}) {
    for (float heading : {-1.2f, 0.0f, 0.7f, 2.0f, 3.1f, 4.5f}) {
      SCOPED_TRACE(testing::Message() << place.x << ", " << place.z << " heading " << heading);
      car.position = place;
      car.heading = heading;
      car.update(0.0f);
      ASSERT_GT(car.pitch, 0.1f);
      const TTriangle& t = *car.triangle;
      Vec3 normal;
      cross(delta(t.vertexA, t.vertexB), delta(t.vertexA, t.vertexC), &normal);
      normal = unit(normal.y < 0 ? Vec3{-normal.x, -normal.y, -normal.z} : normal);
      expectNear(axisAfter([&] { car.applyOrientation(); }, 1), normal, 1e-5f);
    }
  }
}

TEST_F(Orientation, OpponentNoseFollowsItsLeg) {
  loadGameTrack(rampSquare);
  setGameRandState(3604671459u);  // draws 0: the foot of the climbing ramp
  TOpponent car(1, 0, 0);
  Vec3 nose = axisAfter([&] { car.applyOrientation(); }, 2);
  expectNear(nose, unit(car.velocity), 1e-5f);
  EXPECT_GT(nose.y, 0.44f);                                                   // sin(atan(0.5))
  EXPECT_NEAR(axisAfter([&] { car.applyOrientation(); }, 0).y, 0.0f, 1e-6f);  // never rolled

  car.position = {100.0f, 10.0f, -50.0f};  // half-way down the east ramp
  car.waypointIndex = 5;
  car.update(0.0f);
  nose = axisAfter([&] { car.applyOrientation(); }, 2);
  expectNear(nose, unit(car.velocity), 1e-5f);
  EXPECT_LT(nose.y, -0.44f);
}

TEST_F(Orientation, StandingCarsCockpitViewLooksAlongTheCar) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // standing on the start, facing north
  TCamera view(&car);
  view.setMode(cameraCockpit);
  for (int i = 0; i < 40; i++) view.update(0.1f);
  // The view's rows, read as columns: gluLookAt's third row is the view direction reversed.
  GLfloat m[16];
  glLoadIdentity();
  view.apply();
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  expectNear({m[2], m[6], m[10]}, {0.0f, 0.0f, 1.0f}, 1e-5f);
  expectNear({m[1], m[5], m[9]}, {0.0f, 1.0f, 0.0f}, 1e-5f);
}

}  // namespace
