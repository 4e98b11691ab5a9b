// The track drawn with what lies outside the view left out, against the track drawn whole, read
// back from a real OpenGL context pixel for pixel (colour and depth), from cameras on the shipped
// tracks and on a big generated track, solid and wireframe. Needs an X display.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/game.h"
#include "bench/reference/generated_track.h"
#include "bench/reference/plain_draw.h"
#include "tests/test_support.h"

namespace {

// The window the tests run in is 300 by 300; this keeps the game's 5:4 shape.
constexpr int pictureWidth = 300;
constexpr int pictureHeight = 240;

struct TPicture {
  std::vector<uint8_t> colour;
  std::vector<uint32_t> depth;
};

struct TView {
  Vec3 eye, at;
  const char* what;
};

class CulledDraw : public TrackTest {
 protected:
  void SetUp() override {
    reshape(pictureWidth, pictureHeight);  // the game's projection: 45 degrees, near 1, far 800
    displayFlags |= drawSolid;
    glEnable(GL_DEPTH_TEST);  // as the game enables it at start-up
  }
  void TearDown() override {
    glDisable(GL_DEPTH_TEST);
    displayFlags |= drawSolid;
    TrackTest::TearDown();
  }

  void loadShipped(const char* name) {
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load((std::string(ZARVANTO_TRACKS_DIR) + "/" + name).c_str()), loadOk);
  }

  void loadGenerated(int32_t waypoints) {
    std::string path = writeTrackFile("big.tck", trackFileText(generatedWaypoints(waypoints, 2024)));
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load(path.c_str()), loadOk);
  }

  // Draws the track as a frame does, from eye towards at, with the camera's up vector.
  TPicture picture(const TView& view, bool culled) {
    glClearColor(0.6f, 0.8f, 0.8f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(view.eye.x, view.eye.y, view.eye.z, view.at.x, view.at.y, view.at.z, double(view.at.x) - view.eye.x,
              double(view.at.y) - view.eye.y + 1.0, double(view.at.z) - view.eye.z);
    if (culled)
      track->draw();
    else if (displayFlags & drawSolid)
      plainDrawSolid(*track);
    else
      plainDrawWireframe(*track);
    TPicture result;
    result.colour.resize(size_t(pictureWidth) * pictureHeight * 3);
    result.depth.resize(size_t(pictureWidth) * pictureHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, pictureWidth, pictureHeight, GL_RGB, GL_UNSIGNED_BYTE, result.colour.data());
    glReadPixels(0, 0, pictureWidth, pictureHeight, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, result.depth.data());
    return result;
  }

  // Both drawings of the view agree everywhere; returns how many pixels show the track.
  int expectSamePicture(const TView& view) {
    SCOPED_TRACE(testing::Message() << view.what << " from (" << view.eye.x << ", " << view.eye.y << ", " << view.eye.z
                                    << ") to (" << view.at.x << ", " << view.at.y << ", " << view.at.z << ")");
    TPicture all = picture(view, false);
    TPicture culled = picture(view, true);
    int differing = 0, track = 0;
    for (size_t p = 0; p < all.depth.size(); p++) {
      if (all.colour[3 * p] != culled.colour[3 * p] || all.colour[3 * p + 1] != culled.colour[3 * p + 1] ||
          all.colour[3 * p + 2] != culled.colour[3 * p + 2] || all.depth[p] != culled.depth[p])
        differing++;
      if (all.depth[p] != 0xffffffffu) track++;
    }
    EXPECT_EQ(differing, 0);
    return track;
  }

  // Views from along the road at waypoint i: a car's, a chase camera's, one skimming the road so
  // the triangles under the eye cross the near plane, and one across the road's edge.
  std::vector<TView> roadViews(int32_t i) {
    Vec3 p = track->waypoints[i], q = track->waypoints[i + 1];
    float dx = q.x - p.x, dz = q.z - p.z, length = std::hypot(dx, dz);
    dx /= length;
    dz /= length;
    return {
        {{p.x, p.y + 1.5f, p.z}, {q.x, q.y + 1.5f, q.z}, "cockpit"},
        {{p.x - 12 * dx, p.y + 6, p.z - 12 * dz}, {p.x, p.y, p.z}, "from behind"},
        {{p.x, p.y + 0.4f, p.z}, {p.x + 10 * dx, p.y - 0.5f, p.z + 10 * dz}, "skimming the road"},
        {{p.x - 6 * dz, p.y + 2, p.z + 6 * dx}, {p.x + 40 * dz, p.y, p.z - 40 * dx}, "across the road's edge"},
        {{p.x, p.y - 3, p.z}, {q.x, q.y + 20, q.z}, "from under the ground"},
    };
  }

  // Views from high above and across the border: the whole track, the far plane cutting through
  // the ground, and the edge of the ground against the sky.
  std::vector<TView> overallViews() {
    Vec3 c = track->centre, lo = track->minCorner, hi = track->maxCorner;
    float m = float(track->margin);
    return {
        {{c.x, c.y + 300, c.z + 1}, {c.x, c.y, c.z}, "high above, looking down"},
        {{c.x, c.y + 700, c.z - 300}, {c.x, c.y, c.z}, "the far plane cutting the ground below"},
        {{c.x + 400, c.y + 500, c.z + 400}, {c.x, c.y, c.z}, "high and aslant"},
        {{c.x, c.y + 120, c.z}, {c.x + 600, c.y, c.z + 100}, "track camera towards the horizon"},
        {{lo.x - m - 20, 5, lo.z - m - 20}, {c.x, c.y, c.z}, "from beyond the border's corner"},
        {{lo.x - m + 5, 3, c.z}, {lo.x - m - 100, 0, c.z + 30}, "at the border, looking out"},
        {{hi.x + m, 2, hi.z + m - 50}, {hi.x + m, 2, lo.z - m}, "along the border"},
    };
  }
};

TEST_F(CulledDraw, ShippedTracksLookTheSameFromEveryCamera) {
  for (const char* name : {"Default.tck", "Flat.tck", "Hills.tck"}) {
    SCOPED_TRACE(name);
    loadShipped(name);
    int showingTrack = 0;
    for (int32_t i = 0; i < track->waypointCount; i += 3)
      for (const TView& view : roadViews(i)) showingTrack += expectSamePicture(view) > 0;
    for (const TView& view : overallViews()) showingTrack += expectSamePicture(view) > 0;
    EXPECT_GT(showingTrack, track->waypointCount);  // the views look at the track, not past it
  }
}

// Coordinates in the tens of thousands, most of the mesh beyond the far plane, and ground
// triangles long enough to cross the whole view.
TEST_F(CulledDraw, BigTrackLooksTheSameAndDrawsAFractionOfItsMesh) {
  loadGenerated(10000);
  std::mt19937 random(11);
  int32_t mostDrawn = 0;
  for (int k = 0; k < 40; k++) {
    int32_t i = int32_t(random() % uint32_t(track->waypointCount));
    for (const TView& view : roadViews(i)) {
      EXPECT_GT(expectSamePicture(view), 0);
      mostDrawn = std::max(mostDrawn, track->trianglesDrawn);
    }
  }
  for (const TView& view : overallViews()) expectSamePicture(view);
  EXPECT_LT(mostDrawn, track->triangleCount / 50);
}

// The wireframe grid leaves out the lines beside the view and draws the rest whole.
TEST_F(CulledDraw, WireframeLooksTheSameFromEveryCamera) {
  displayFlags &= uint8_t(~drawSolid);
  for (const char* name : {"Default.tck", "Hills.tck"}) {
    SCOPED_TRACE(name);
    loadShipped(name);
    for (int32_t i = 0; i < track->waypointCount; i += 4)
      for (const TView& view : roadViews(i)) EXPECT_GT(expectSamePicture(view), 0);
    for (const TView& view : overallViews()) expectSamePicture(view);
  }
  loadGenerated(10000);
  for (int32_t i = 0; i < track->waypointCount; i += 1000)
    for (const TView& view : roadViews(i)) EXPECT_GT(expectSamePicture(view), 0);
  for (const TView& view : overallViews()) expectSamePicture(view);
}

// From just under the level ground, looking up by half the field of view: the bottom side of the
// view is level and the ground lies 0.02 units inside it, a strip a few pixels high at the bottom
// of the picture. Any triangle left out there shows.
TEST_F(CulledDraw, GroundJustInsideTheBottomOfTheViewIsDrawn) {
  loadShipped("Flat.tck");
  double up = 22.5 * pi / 180;
  for (int32_t i = 0; i < track->waypointCount; i += 5) {
    Vec3 p = track->waypoints[i], q = track->waypoints[i + 1];
    double dx = q.x - p.x, dz = q.z - p.z, length = std::hypot(dx, dz);
    Vec3 eye = {p.x, p.y - 0.02f, p.z};
    Vec3 at = {float(eye.x + 10 * std::cos(up) * dx / length), float(eye.y + 10 * std::sin(up)),
               float(eye.z + 10 * std::cos(up) * dz / length)};
    EXPECT_GT(expectSamePicture({eye, at, "just under the ground"}), 0);
  }
}

// Near the largest coordinates a track may have, float rounding in OpenGL's transform is largest.
TEST_F(CulledDraw, TrackFarFromTheOriginLooksTheSame) {
  std::FILE* file = std::fopen((std::string(ZARVANTO_TRACKS_DIR) + "/Hills.tck").c_str(), "r");
  ASSERT_NE(file, nullptr);
  char line[256];
  std::string moved;
  for (int n = 0; std::fgets(line, sizeof line, file) != nullptr; n++) {
    float east, north, height;
    if (n >= 2 && std::sscanf(line, "%f %f %f", &east, &north, &height) == 3)
      moved += std::to_string(east + 990000.0f) + " " + std::to_string(north - 990000.0f) + " " +
               std::to_string(height) + "\n";
    else
      moved += line;
  }
  std::fclose(file);
  delete track;
  track = new TTrack();
  ASSERT_EQ(track->load(writeTrackFile("far.tck", moved).c_str()), loadOk);
  for (int32_t i = 0; i < track->waypointCount; i += 4)
    for (const TView& view : roadViews(i)) EXPECT_GT(expectSamePicture(view), 0);
  for (const TView& view : overallViews()) expectSamePicture(view);
}

// What the view cannot bound, it draws whole: a camera matrix with no inverse.
TEST_F(CulledDraw, DegenerateViewDrawsEveryTriangle) {
  loadShipped("Default.tck");
  glLoadIdentity();
  glScalef(1.0f, 0.0f, 1.0f);
  track->draw();
  EXPECT_EQ(track->trianglesDrawn, track->triangleCount);
}

}  // namespace
