// Track files made to hurt: loops that touch themselves, hairpins, extreme numbers and odd bytes.
// Each is loaded as the game loads it and must be refused with its message or give a mesh
// whose every number is finite, with finite answers to what the cars ask, in bounded time.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <string>

#include "app/load_message.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

// Far above what any of these takes, even under the sanitizers on a busy machine; a load that
// needs longer has gone quadratic where it should not, or is looping.
constexpr double maxLoadSeconds = 2.0;

struct Hostile {
  const char* name;
  std::string text;    // the whole file
  int8_t result;       // what load returns
  std::optional<std::string> title;  // the title a loaded track keeps, where it matters
};

void PrintTo(const Hostile& c, std::ostream* out) { *out << c.name; }

std::string track(const std::string& waypoints, const std::string& title = "Hostile") {
  return trackText(waypoints, title);
}

const std::string square = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";

const Hostile hostileTracks[] = {
    // The notch's tip comes within 3 units of the closing leg: the two roads overlap.
    {"LoopPassingWithinThreeUnits", track("0 0 0\n0 100 0\n45 100 0\n50 3 0\n55 100 0\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"LoopPassingWithinFiveUnits", track("0 0 0\n0 100 0\n45 100 0\n50 5 0\n55 100 0\n100 100 0\n100 0 0\n"), loadOk, {}},
    // Down the spike and back up the very same line.
    {"SpikeDoublingBackOnOneLine", track("0 0 0\n0 100 0\n50 100 0\n50 20 0\n50 90 0\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"SpikeDoublingBackBesideItself", track("0 0 0\n0 100 0\n50 100 0\n50 20 0\n51 90 0\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"StraightBackOverItself", track("0 0 0\n0 100 0\n0 200 0\n0 150 20\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"OnePlanPositionTwice", track("0 0 0\n0 100 0\n50 50 20\n100 100 0\n100 0 0\n60 -20 0\n50 50 0\n"), loadOk, {}},
    // Turns of about 176 degrees: up a long leg and straight back down beside it.
    {"HairpinsSharperThan170Degrees", track("0 0 0\n0 200 0\n12 0 0\n24 200 0\n36 0 0\n36 -50 0\n0 -50 0\n"), loadOk, {}},
    {"EveryLegExactlyTenLong", track("0 0 0\n0 10 0\n10 10 0\n10 0 0\n"), loadOk, {}},
    {"EveryLegExactlyTenLongInThreeDimensions", track("0 0 0\n0 8 6\n8 8 0\n8 0 6\n"), loadOk, {}},
    {"CoordinatesAtPlusAndMinusAMillion",
     track("-1000000 -1000000 -1000000\n-1000000 1000000 0\n1000000 1000000 1000000\n1000000 -1000000 0\n"), loadOk, {}},
    // Legs of 10 where a float holds positions only to a sixteenth of a unit.
    {"SmallTrackAtAMillion", track("999990 999990 0\n999990 1000000 0\n1000000 1000000 0\n1000000 999990 0\n"), loadOk, {}},
    {"HeightsOf500BetweenNeighbours", track("0 0 0\n0 100 500\n100 100 0\n100 0 500\n"), loadOk, {}},
    {"CliffOf500OnAShortLeg", track("0 0 0\n0 10 500\n100 100 0\n100 0 0\n"), loadOk, {}},
    {"TitleOf254Characters", track(square, std::string(254, 'T')), loadOk, std::string(254, 'T')},
    {"TitleOf255Characters", track(square, std::string(255, 'T')), loadNotTrackFile, {}},
    {"CrOnlyLineEnds", "#Track\rOld line ends\r0 0 0\r0 100 0\r100 100 0\r100 0 0\r", loadNotTrackFile, {}},
    {"NulByteInTitle", track(square, std::string("Before\0after", 12)), loadOk, "Before"},
};

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
  if (c.title) EXPECT_EQ(track.title, *c.title);

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
