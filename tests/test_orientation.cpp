// The cars' and the camera's matrices read back from a real OpenGL context: the player's body
// stands on the triangle's normal, an opponent's nose follows its leg, and a standing car's
// cockpit view is a proper view. Needs an X display (run under xvfb-run).
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "geometry/random.h"
#include "test_tracks.h"
#include "track/triangle.h"

namespace {

constexpr int noDisplay = 77;  // CTest's skip code

class OrientationTest : public ::testing::Test {
 protected:
  void TearDown() override { releaseGameTrack(); }
};

// The modelview matrix after identity and the given transform, column by column.
template <typename Transform>
void readMatrix(Transform transform, GLfloat m[16]) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  transform();
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
}

Vec3 column(const GLfloat m[16], int i) { return {m[4 * i], m[4 * i + 1], m[4 * i + 2]}; }

Vec3 unit(Vec3 v) {
  float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

void expectNear(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

Vec3 upwardNormal(const TTriangle& t) {
  Vec3 n;
  cross(delta(t.vertexA, t.vertexB), delta(t.vertexA, t.vertexC), &n);
  if (n.y < 0) n = {-n.x, -n.y, -n.z};
  return unit(n);
}

TEST_F(OrientationTest, PlayerBodyStandsOnTheTriangleNormal) {
  loadGameTrack(rampSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  // The climbing and the falling ramp, and the ground falling away east of the track, each
  // driven along, across and against the slope.
  const Vec3 places[] = {{2.0f, 0.0f, -50.0f}, {100.0f, 0.0f, -45.0f}, {125.0f, 0.0f, -85.0f}};
  const float headings[] = {-1.2f, 0.0f, 0.7f, 2.0f, 3.1f, 4.5f};
  for (Vec3 place : places) {
    for (float heading : headings) {
      SCOPED_TRACE(testing::Message() << place.x << ", " << place.z << " heading " << heading);
      car.position = place;
      car.heading = heading;
      car.update(0.0f);
      ASSERT_GT(car.pitch, 0.1f);
      GLfloat m[16];
      readMatrix([&] { car.applyOrientation(); }, m);
      expectNear(column(m, 1), upwardNormal(*car.triangle), 1e-5f);
    }
  }
}

TEST_F(OrientationTest, PlayerOnLevelRoadIsOnlyTurned) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);
  car.heading = 2.5f;
  car.update(0.0f);
  GLfloat m[16];
  readMatrix([&] { car.applyOrientation(); }, m);
  expectNear(column(m, 2), {float(std::sin(2.5)), 0.0f, float(std::cos(2.5))}, 1e-6f);
  expectNear(column(m, 1), {0.0f, 1.0f, 0.0f}, 1e-6f);
}

TEST_F(OrientationTest, OpponentNoseFollowsItsLeg) {
  loadGameTrack(rampSquare);
  setGameRandState(3604671459u);  // draws 0: the foot of the climbing ramp
  TOpponent car(1, 0, 0);
  GLfloat m[16];
  readMatrix([&] { car.applyOrientation(); }, m);
  Vec3 nose = column(m, 2);
  expectNear(nose, unit(car.velocity), 1e-5f);
  EXPECT_GT(nose.y, 0.44f);  // sin(atan(0.5))
  EXPECT_NEAR(column(m, 0).y, 0.0f, 1e-6f);  // never tilted sideways

  car.position = {100.0f, 10.0f, -50.0f};  // half-way down the falling ramp
  car.waypointIndex = 5;
  car.update(0.0f);
  readMatrix([&] { car.applyOrientation(); }, m);
  nose = column(m, 2);
  expectNear(nose, unit(car.velocity), 1e-5f);
  EXPECT_LT(nose.y, -0.44f);
}

TEST_F(OrientationTest, StandingCarsCockpitViewLooksAlongTheCar) {
  loadGameTrack(flatSquare);
  TPlayer car(0.3f, 0.3f, 0.3f);  // standing on the start, facing north
  TCamera view(&car);
  view.setMode(cameraCockpit);
  for (int i = 0; i < 40; i++) view.update(0.1f);
  GLfloat m[16];
  readMatrix([&] { view.apply(); }, m);
  for (GLfloat v : m) ASSERT_TRUE(std::isfinite(v));
  // gluLookAt's third row is the view direction reversed.
  expectNear({-m[2], -m[6], -m[10]}, {0.0f, 0.0f, -1.0f}, 1e-5f);
  expectNear({m[1], m[5], m[9]}, {0.0f, 1.0f, 0.0f}, 1e-5f);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("DISPLAY") == nullptr) {
    std::printf("No X display: run under xvfb-run.\n");
    return noDisplay;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DEPTH);
  glutInitWindowSize(64, 64);
  glutCreateWindow("Zarvanto tests");
  glutHideWindow();
  return RUN_ALL_TESTS();
}
