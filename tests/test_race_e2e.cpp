// Whole races on the real game. One on a plateau: start, resume, drive off the edge, crash,
// restart, drive again and quit; then a short drive on every hostile track the game accepts,
// through every view. The game must survive each step and leave with status 0; in the sanitizer
// build that also means no memory error on the way and nothing of the game's leaked at exit.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"
#include "tests/hostile_tracks.h"

namespace {

using namespace e2e;

// A square 500 units up: straight on past the first corner, the car falls onto ground far
// steeper than 45 degrees and crashes.
const std::string kPlateau = "#Track\nPlateau\n0 0 500\n0 100 500\n100 100 500\n100 0 500\n";

// The banners the game draws across the middle of the window.
const Rgb kCrashedRed{255, 51, 0};
const Rgb kPausedOrange{255, 153, 0};
constexpr int kBannerTolerance = 8;
// At 40 units per second the car leaves the road some 3 s after it sets off.
constexpr Millis kCrashTimeout{15000};

bool shows(const Window& window, Rgb colour) {
  const Image shot = window.screenshot();
  return shot.contains(colour, kBannerTolerance, shot.bounds());
}

// Waits until the window shows the colour; false if it does not within the timeout.
bool waitFor(const Window& window, Rgb colour, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!shows(window, colour)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Millis{200});
  }
  return true;
}

TEST(GameRace, StartsDrivesCrashesRestartsAndQuitsCleanly) {
  ASSERT_TRUE(haveDisplay()) << "the end-to-end tests need an X server; scripts/test starts one";
  TempDir dir;
  dir.write("plateau.tck", kPlateau);
  Process game = startGame({"plateau.tck", "3"}, dir.path());
  const Window window = Window::find(game);
  ASSERT_TRUE(waitFor(window, kPausedOrange, kStartTimeout)) << "a new race starts paused";

  window.key("Return");
  for (int step = 0; step < 4; ++step) window.key("Up");  // 40 units per second, straight on north
  window.key("F6");
  ASSERT_TRUE(waitFor(window, kCrashedRed, kCrashTimeout)) << "the car never crashed; stderr: " << game.err();

  window.key("Return");
  ASSERT_TRUE(waitFor(window, kPausedOrange, kStartTimeout)) << "the restarted race is not paused";
  window.key("Up");
  window.key("F7");
  std::this_thread::sleep_for(Millis{1000});
  ASSERT_TRUE(game.running()) << "stderr: " << game.err();

  window.key("Escape");
  const auto status = game.waitExit(kExitTimeout);
  EXPECT_EQ(status, std::optional<int>(0)) << "stderr: " << game.err();
}

class HostileTrackInTheGame : public ::testing::TestWithParam<hostile::Hostile> {};

TEST_P(HostileTrackInTheGame, SurvivesADriveThroughEveryViewAndQuits) {
  ASSERT_TRUE(haveDisplay()) << "the end-to-end tests need an X server; scripts/test starts one";
  TempDir dir;
  dir.write("hostile.tck", GetParam().text);
  Process game = startGame({"hostile.tck", "7"}, dir.path());
  const Window window = Window::find(game);
  for (const char* keysym : {"Return", "Up", "Up", "Up", "F4", "F5", "F6", "F8", "F4", "F7", "7", "0"}) {
    window.key(keysym);
    ASSERT_TRUE(game.running()) << "the game died after key " << keysym << "; stderr: " << game.err();
  }
  window.mouseMove(400, 200);  // steer off the road and across the ground
  std::this_thread::sleep_for(Millis{1000});
  ASSERT_TRUE(game.running()) << "stderr: " << game.err();
  window.key("Escape");
  EXPECT_EQ(game.waitExit(kExitTimeout), std::optional<int>(0)) << "stderr: " << game.err();
}

std::vector<hostile::Hostile> acceptedHostileTracks() {
  std::vector<hostile::Hostile> accepted;
  for (const hostile::Hostile& c : hostile::hostileTracks)
    if (c.result == loadOk) accepted.push_back(c);
  return accepted;
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileTrackInTheGame, ::testing::ValuesIn(acceptedHostileTracks()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
