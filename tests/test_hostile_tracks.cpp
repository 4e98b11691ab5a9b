// Track files made to hurt: loops that touch themselves, hairpins, extreme numbers and odd bytes.
// Each is loaded as the game loads it and must be refused with its message or give a mesh
// whose every number is finite, with finite answers to what the cars ask, in bounded time.
// The end-to-end tests play the same tracks in the real game.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

#include "app/load_message.h"
#include "tests/hostile_tracks.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

using hostile::Hostile;
using hostile::hostileTracks;

// Far above what any of these takes, even under the sanitizers on a busy machine; a load that
// needs longer has gone quadratic where it should not, or is looping.
constexpr double maxLoadSeconds = 2.0;

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What a car at (x, z) asks of the track: the triangle under it and the height there.
void expectFiniteGround(const TTrack& track, float x, float z) {
  const TTriangle* under = track.findTriangle(x, 0.0f, z);
  ASSERT_NE(under, nullptr);
  EXPECT_TRUE(std::isfinite(under->heightAt(x, 0.0f, z))) << "at " << x << ", " << z;
}

class HostileTrack : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileTrack, LoadsWithAFiniteMeshOrIsRefusedWithItsMessage) {
  const Hostile& c = GetParam();
  std::string path = writeTrackFile(std::string("hostile-") + c.name + ".tck", c.text);
  TTrack track;
  auto start = std::chrono::steady_clock::now();
  int8_t result = track.load(path.c_str());
  EXPECT_LT(secondsSince(start), maxLoadSeconds);
  ASSERT_EQ(result, c.result) << loadFailureMessage(result, false);
  if (result != loadOk) {
    // The game prints this and stops; the player must learn what is wrong.
    EXPECT_EQ(loadFailureMessage(result, false), loadFailureMessage(c.result, false));
    return;
  }
  if (c.title) {
    EXPECT_EQ(track.title, *c.title);
  }

  ASSERT_GT(track.triangleCount, 0);
  for (int32_t i = 0; i < track.triangleCount; i++) {
    const TTriangle& t = *track.triangles[i];
    for (float v : {t.vertexA.x, t.vertexA.y, t.vertexA.z, t.vertexB.x, t.vertexB.y, t.vertexB.z, t.vertexC.x,
                    t.vertexC.y, t.vertexC.z, t.slopeAngle, t.slopeDirection, t.colour[0], t.colour[1], t.colour[2]})
      ASSERT_TRUE(std::isfinite(v)) << "triangle " << i;
  }
  EXPECT_TRUE(std::isfinite(track.length()));
  // Where the cars drive, and where the camera may look from: the centre and past the border.
  for (int32_t i = 0; i < track.waypointCount; i++) {
    Vec3 p = track.waypoints[i], q = track.waypoints[i + 1];
    expectFiniteGround(track, p.x, p.z);
    expectFiniteGround(track, p.x + 0.5f * (q.x - p.x), p.z + 0.5f * (q.z - p.z));
  }
  float beyond = 2.0f * float(track.margin) + 1.0f;
  expectFiniteGround(track, track.centre.x, track.centre.z);
  expectFiniteGround(track, track.minCorner.x - beyond, track.minCorner.z - beyond);
  expectFiniteGround(track, track.maxCorner.x + beyond, track.maxCorner.z + beyond);
  EXPECT_LT(secondsSince(start), maxLoadSeconds);
}

INSTANTIATE_TEST_SUITE_P(Tracks, HostileTrack, ::testing::ValuesIn(hostileTracks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
