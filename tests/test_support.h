// What the tests share: track text and files, and the game's one track loaded from text.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/car.h"
#include "track/track.h"

// "east north height" lines. A square of side 100, clockwise: north from the start, then east.
inline const char* const flatSquare = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";
// A square with a ramp of 20 over 40 in the middle of each side: up from the start (30 north),
// level at 20 along the north side, down the east side. The ramps lie between waypoints on
// straight runs, where corner joins move no road edge, so the road there is one plane.
inline const char* const rampSquare = "0 30 0\n0 70 20\n0 100 20\n100 100 20\n100 70 20\n100 30 0\n100 0 0\n0 0 0\n";

// "#Track\n<title>\n" followed by the given waypoint lines.
inline std::string trackText(const std::string& waypointLines, const std::string& title = "Test track") {
  return "#Track\n" + title + "\n" + waypointLines;
}
// Writes text to a fresh file in the test folder and returns its path.
std::string writeTrackFile(const std::string& name, const std::string& text);
// The .tck files in a folder, sorted, and what a file holds.
std::vector<std::string> tracksIn(const std::string& folder);
inline std::string fileText(const std::string& path) {
  return (std::stringstream() << std::ifstream(path, std::ios::binary).rdbuf()).str();
}
// The reviewed output kept at that path. With ZARVANTO_NEW_REPORTS set, it becomes the output
// given, a step whose difference is then reviewed like any other change.
std::string reference(const std::string& path, const std::string& output);
// Runs a shell command and returns its exit status; its standard output goes to *output.
int runCommand(const std::string& command, std::string* output);

// Makes the waypoint lines the game's one track.
inline void loadGameTrack(const std::string& waypointLines) {
  std::string text = trackText(waypointLines);
  delete track;
  track = new TTrack();
  ASSERT_EQ(track->loadText(text.data(), text.size()), loadOk);
}

// Releases the game's track after each test.
class TrackTest : public ::testing::Test {
 protected:
  void TearDown() override {
    delete track;
    track = nullptr;
  }
};

inline void expectNear(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}
