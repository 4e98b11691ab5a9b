// The game as a player meets it: the real binary in a real X server, keys
// and mouse through xdotool, and every check made on the pixels it shows.
// Positions come from the overlay's 45-degree projection and colours from
// the game's palette, so a test fails when the picture would look wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "e2e/harness.h"

namespace {

using namespace e2e;

// The palette, as 8-bit channels. Mesa may round a channel either way.
constexpr int kTolerance = 1;
constexpr Rgb kSky{153, 204, 204};    // background in solid mode
constexpr Rgb kNightSky{43, 64, 64};  // wireframe background with the eye at the top height
constexpr Rgb kPausedOrange{255, 153, 0};
constexpr Rgb kCrashedRed{255, 51, 0};
constexpr Rgb kText{204, 102, 204};          // help, head-up display, track name
constexpr Rgb kCross{204, 128, 204};         // centre cross
constexpr Rgb kOutline{178, 128, 178};       // overview outline
constexpr Rgb kNextWaypoint{153, 153, 153};  // overview marker of the waypoint ahead
constexpr Rgb kPlayerMark{51, 51, 51};       // the player's dark grey: map marker, front and back
constexpr Rgb kPlayerBody{76, 76, 76};       // the player's grey body
constexpr Rgb kGlass{128, 178, 204};         // windscreen and rear window
constexpr Rgb kGrid{0, 102, 0};              // wireframe ground grid
constexpr Rgb kCentreLine{178, 178, 178};    // wireframe centre line
// Opponents 1 to 3 are red, green and yellow; their map markers are the dark shades.
const Rgb kOpponentMarks[] = {{230, 0, 0}, {0, 230, 0}, {230, 230, 0}};

constexpr int kWidth = 500;  // the window the game opens
constexpr int kHeight = 400;
constexpr int kCentreColumn = kWidth / 2;
constexpr Millis kGlance{300};  // long enough for a moving car to change the picture
constexpr Millis kPoll{20};

// Text heights in pixels: any text of the large font stands at least 13
// high ("PAUSED" 13, "your car" with its y 14); no line of the small font,
// descenders included, more than 10.
constexpr int kLargeText = 13;
constexpr int kSmallText = 10;

// ------------------------------------------------------------ tracks

struct Waypoint {
  double east, north, height;
};

std::string trackFile(const std::string& title, const std::vector<Waypoint>& waypoints) {
  std::ostringstream text;
  text << "#Track\n" << title << "\n";
  for (const Waypoint& w : waypoints) text << w.east << " " << w.north << " " << w.height << "\n";
  return text.str();
}

// So small that the helicopter view sees past the ground's edge to the sky.
const std::vector<Waypoint> kTiny = {{0, 0, 0}, {0, 12, 0}, {12, 0, 0}};
// A long thin loop: 300 units north from the start before the first turn.
const std::vector<Waypoint> kLongStraight = {{0, 0, 0}, {0, 300, 0}, {60, 300, 0}, {60, 0, 0}};
// Level for 50 units, then a climb of 25 in 20: far steeper than 45 degrees.
const std::vector<Waypoint> kSteepClimb = {{0, 0, 0}, {0, 50, 0}, {0, 70, 25}, {60, 70, 25}, {60, 0, 0}};

// Six presses of the up arrow give 80 units a second; the pointer 240 pixels
// right of the centre column turns the car right at 120 degrees a second.
// So the car drives a circle of radius 80 / (120 degrees in radians), 38.2
// units, once round in three seconds.
constexpr int kRingSpeedSteps = 6;
constexpr double kRingSpeed = 80;
constexpr int kRingMouseOffset = 240;
constexpr double kDegree = 3.14159265358979323846 / 180;

// Waypoints on that circle, starting at its west point heading north. The
// second stands ten units up the starting line, which is the circle's
// tangent there, so the car leaves the start already on its circle. The
// ring is a plateau 100 high: the ground beyond its edge falls to the border
// at height 0 far steeper than 45 degrees.
std::vector<Waypoint> ringTrack() {
  const double turnRate = kRingMouseOffset * 0.5 * kDegree;
  const double radius = kRingSpeed / turnRate;
  const double height = 100;
  std::vector<Waypoint> ring = {{0, 0, height}, {0, 10, height}};
  for (int step = 2; step < 16; ++step) {
    const double angle = step * 22.5 * kDegree;  // clockwise from the west point
    ring.push_back({radius - radius * std::cos(angle), radius * std::sin(angle), height});
  }
  return ring;
}

// Where the overview plots a point of the track: the track's larger extent,
// with its margin, fills 0.8 units of the overlay plane from its lower left
// corner at (-0.4 x aspect, -0.4), north up.
Point mapPoint(const std::vector<Waypoint>& track, double east, double north, int width, int height) {
  double x0 = track[0].east, x1 = x0, n0 = track[0].north, n1 = n0;
  for (const Waypoint& w : track) {
    x0 = std::min(x0, w.east);
    x1 = std::max(x1, w.east);
    n0 = std::min(n0, w.north);
    n1 = std::max(n1, w.north);
  }
  const int margin = int(std::max(x1 - x0, n1 - n0) * 0.5);
  const int border = margin / 2;  // world units left of and below the outline
  const double w = (x1 - x0) + margin, h = (n1 - n0) + margin;
  const double aspect = double(width) / height;
  const double scale = h / height > w / width ? 0.8 / h : 0.8 * aspect / w;
  return overlayToWindow(-0.4 * aspect + scale * (east - x0 + border), -0.4 + scale * (north - n0 + border), width,
                         height);
}

// ------------------------------------------------------------ the picture

Rect around(Point p, int halfWidth, int halfHeight) {
  return {int(p.x) - halfWidth, int(p.y) - halfHeight, 2 * halfWidth + 1, 2 * halfHeight + 1};
}

// The band a text line placed at overlay (x, y) occupies, from its start
// column to `width` pixels right of it: the tallest glyphs reach 12 rows
// above the baseline row and descenders 4 below it.
Rect textLine(double x, double y, int width) {
  const Point start = overlayToWindow(x, y, kWidth, kHeight);
  return {int(start.x) - 4, int(std::floor(start.y)) - 13, width + 4, 18};
}

constexpr double kAspect = double(kWidth) / kHeight;
const Rect kBanner = textLine(0, -0.35, 150);
const Rect kSpeedLine = textLine(-0.38 * kAspect, 0.36, 110);
const Rect kCarName = textLine(0, 0.36, 100);
const Rect kBestLap = textLine(0, 0.28, 80);
const Rect kLastLap = textLine(0, 0.24, 80);
const Rect kMessage = textLine(0, 0.15, 200);
const Rect kTitle = textLine(-0.38 * kAspect, 0.32, 100);
const Rect kHelpLeft = textLine(-0.38 * kAspect, 0.25, 150);  // "GRAPHICS:"
const Rect kHelpRight = textLine(0, 0.05, 150);               // "CONTROLS:"

bool shows(const Image& shot, Rgb colour, Rect area) { return shot.contains(colour, kTolerance, area); }

// Where a colour lies in an area, or an empty rectangle far away when it is
// nowhere there, so that a failed check says what was missing.
Rect extentOf(const Image& shot, Rgb colour, Rect area) {
  return shot.extent(colour, kTolerance, area).value_or(Rect{-1000, -1000, 0, 0});
}

// Where the player's car is on the overview: the centre of its 7-pixel dot.
// Only the left part of the window is searched, since the car itself, with
// the same dark grey at its front and back, is in the middle of the view.
std::optional<Point> playerOnMap(const Image& shot) {
  const auto dot = shot.extent(kPlayerMark, kTolerance, {0, 0, 180, shot.height()});
  if (!dot) return std::nullopt;
  return Point{dot->x + dot->width / 2.0, dot->y + dot->height / 2.0};
}

// The sine of the turn from the way a-b to the way b-c, positive when it
// turns clockwise on the screen (a right turn, north being up).
double turnSine(Point a, Point b, Point c) {
  const double ux = b.x - a.x, uy = b.y - a.y, vx = c.x - b.x, vy = c.y - b.y;
  return (ux * vy - uy * vx) / (std::hypot(ux, uy) * std::hypot(vx, vy));
}

void sleepFor(Millis time) { std::this_thread::sleep_for(time); }

// ------------------------------------------------------------ the fixture

class Playing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(haveDisplay()) << "DISPLAY is not set: the end-to-end tests need an X server; run them through "
                                  "scripts/test, which starts Xvfb";
  }

  // Starts the game on a track and returns its first frame.
  Image start(const std::vector<Waypoint>& track, int opponents) {
    dir.write("race.tck", trackFile("Test track", track));
    game = std::make_unique<Process>(std::vector<std::string>{gameBinary(), "race.tck", std::to_string(opponents)},
                                     dir.path());
    window.emplace(Window::find(*game));
    return window->waitFor("the first frame", [](const Image& shot) { return shows(shot, kPausedOrange, kBanner); });
  }

  // The picture once the keys just typed have shown, for a paused game
  // whose picture only changes when a key asks for it.
  Image settled() {
    sleepFor(kGlance);
    return window->screenshot();
  }

  // The player's map position, waiting for the dot if the car is passing
  // something that hides it.
  Point mapPosition() {
    std::optional<Point> found;
    window->waitFor("the player's dot on the overview", [&](const Image& shot) {
      found = playerOnMap(shot);
      return found.has_value();
    });
    return *found;
  }

  // The window's geometry once it has the given size.
  Geometry sizedTo(int width, int height) {
    const auto deadline = std::chrono::steady_clock::now() + kPictureTimeout;
    for (;;) {
      const Geometry g = window->geometry();
      if (g.width == width && g.height == height) return g;
      if (std::chrono::steady_clock::now() >= deadline)
        throw std::runtime_error("the window never took the size " + std::to_string(width) + "x" +
                                 std::to_string(height));
      sleepFor(kPoll);
    }
  }

  void quit() {
    window->key("Escape");
    const std::optional<int> status = game->waitExit(kExitTimeout);
    ASSERT_TRUE(status) << "the game did not end on Escape";
    EXPECT_EQ(*status, 0) << "stderr: " << game->err();
  }

  TempDir dir;
  std::unique_ptr<Process> game;
  std::optional<Window> window;
};

// ------------------------------------------------------------ the first frame

TEST_F(Playing, FirstFrameShowsThePausedRaceWithItsOverlays) {
  const Image shot = start(kTiny, 3);
  ASSERT_EQ(shot.width(), kWidth);
  ASSERT_EQ(shot.height(), kHeight);

  // Past the near edge of so small a track the sky shows.
  const Rect bottomStrip{0, 340, kWidth, 60};
  EXPECT_GT(shot.count(kSky, kTolerance, bottomStrip), std::size_t(kWidth * 60 / 2));

  // "PAUSED" starts at the centre column on the line 0.35 below the middle.
  const Point bannerAt = overlayToWindow(0, -0.35, kWidth, kHeight);
  const Rect paused = extentOf(shot, kPausedOrange, shot.bounds());
  EXPECT_NEAR(paused.x, kCentreColumn, 2);
  EXPECT_NEAR(paused.bottom(), std::floor(bannerAt.y), 1);
  EXPECT_GE(paused.height, kLargeText) << "drawn in the large font";
  EXPECT_FALSE(shows(shot, kCrashedRed, shot.bounds()));

  // Each head-up text starts where it is placed. "your car" and the speed
  // figure are large while the camera follows the player.
  for (const auto& [name, line, x] : {std::tuple{"your speed", kSpeedLine, -0.38 * kAspect},
                                      {"your car", kCarName, 0.0},
                                      {"best lap", kBestLap, 0.0},
                                      {"last lap", kLastLap, 0.0},
                                      {"track name", kTitle, -0.38 * kAspect}}) {
    const Rect text = extentOf(shot, kText, line);
    EXPECT_NEAR(text.x, overlayToWindow(x, 0, kWidth, kHeight).x, 2) << name;
  }
  EXPECT_GE(extentOf(shot, kText, kCarName).height, kLargeText) << "\"your car\" in the large font";
  EXPECT_LE(extentOf(shot, kText, kBestLap).height, kSmallText) << "lap times in the small font";
  EXPECT_FALSE(shows(shot, kText, kMessage)) << "no waypoint message before the start";

  // The centre cross: 0.04 units wide and 0.08 high, on the window's middle.
  const Rect cross = extentOf(shot, kCross, around({250, 200}, 30, 30));
  EXPECT_NEAR(cross.x + cross.width / 2.0, 250, 1.5);
  EXPECT_NEAR(cross.y + cross.height / 2.0, 200, 1.5);
  EXPECT_NEAR(cross.width, 0.04 / 0.8284 * kHeight, 2);
  EXPECT_NEAR(cross.height, 0.08 / 0.8284 * kHeight, 2);

  // The overview: the outline, the player's dot on the start and the grey
  // dot on the waypoint ahead, and one dot per opponent.
  EXPECT_GT(shot.count(kOutline, kTolerance, shot.bounds()), 100u);
  const Rect start = extentOf(shot, kPlayerMark, around(mapPoint(kTiny, 0, 0, kWidth, kHeight), 8, 8));
  EXPECT_EQ(start.width, 7);
  EXPECT_EQ(start.height, 7);
  const Rect ahead = extentOf(shot, kNextWaypoint, around(mapPoint(kTiny, 0, 12, kWidth, kHeight), 8, 8));
  EXPECT_EQ(ahead.width, 7);
  EXPECT_EQ(ahead.height, 7);
  for (Rgb mark : kOpponentMarks) EXPECT_TRUE(shows(shot, mark, shot.bounds()));

  quit();
}

// ------------------------------------------------------------ overlays

TEST_F(Playing, FunctionKeysAndHToggleTheirOverlaysAndAgainRestoreThePicture) {
  const Image first = start(kTiny, 3);
  // The game is paused, so only the key changes the picture, and a second
  // press must give back exactly the first one.
  auto toggled = [&](const std::vector<std::string>& keys) {
    for (const auto& key : keys) window->key(key);
    const Image changed = window->waitFor("a change on " + keys[0],
                                          [&](const Image& shot) { return !shot.sameIn(first, first.bounds()); });
    for (const auto& key : keys) window->key(key);
    window->waitFor("the first picture again after " + keys[0],
                    [&](const Image& shot) { return shot.sameIn(first, first.bounds()); });
    return changed;
  };

  const Image help = toggled({"F1"});
  EXPECT_FALSE(shows(first, kText, kHelpLeft));
  EXPECT_TRUE(shows(help, kText, kHelpLeft)) << "GRAPHICS:";
  EXPECT_TRUE(shows(help, kText, kHelpRight)) << "CONTROLS:";
  EXPECT_TRUE(toggled({"h"}).sameIn(help, help.bounds())) << "h shows the same help as F1";
  EXPECT_TRUE(toggled({"H"}).sameIn(help, help.bounds())) << "so does H";

  const Image noHeadUp = toggled({"F2"});
  for (Rect line : {kSpeedLine, kCarName, kBestLap, kLastLap}) EXPECT_FALSE(shows(noHeadUp, kText, line));
  EXPECT_FALSE(shows(noHeadUp, kCross, noHeadUp.bounds()));
  EXPECT_TRUE(shows(noHeadUp, kText, kTitle)) << "the track name belongs to the overview";

  const Image noMap = toggled({"F3"});
  EXPECT_FALSE(shows(noMap, kOutline, noMap.bounds()));
  EXPECT_FALSE(shows(noMap, kText, kTitle));
  EXPECT_FALSE(shows(noMap, kNextWaypoint, noMap.bounds()));
  // The opponents' cars still show their dark fronts and backs, but their
  // dots are gone.
  for (Rgb mark : kOpponentMarks)
    EXPECT_LT(noMap.count(mark, kTolerance, noMap.bounds()), first.count(mark, kTolerance, first.bounds()));
  EXPECT_TRUE(noMap.sameIn(first, kText, kCarName)) << "the head-up display stays";

  // Wireframe on a level track: the background is the teal of an eye at
  // the top height, under the green grid and the grey centre line.
  const Image wire = toggled({"F4"});
  EXPECT_GT(wire.count(kNightSky, kTolerance, wire.bounds()), std::size_t(kWidth * kHeight / 2));
  EXPECT_FALSE(shows(wire, kSky, wire.bounds()));
  EXPECT_TRUE(shows(wire, kGrid, wire.bounds()));
  EXPECT_TRUE(shows(wire, kCentreLine, wire.bounds()));
  EXPECT_TRUE(wire.sameIn(first, kText, kCarName)) << "the overlays stay";

  // With every switch off only the wireframe scene and the banner remain.
  const Image bare = toggled({"F2", "F3", "F4"});
  EXPECT_FALSE(shows(bare, kText, bare.bounds()));
  EXPECT_FALSE(shows(bare, kOutline, bare.bounds()));
  EXPECT_TRUE(shows(bare, kPausedOrange, kBanner));
  EXPECT_TRUE(shows(bare, kGrid, bare.bounds()));

  quit();
}

// ------------------------------------------------------------ driving

TEST_F(Playing, UpArrowResumesAndSpeedsUpPPausesAndResumesSpaceStops) {
  const Image first = start(kLongStraight, 0);
  window->key("space");
  EXPECT_TRUE(settled().sameIn(first, first.bounds())) << "the space bar woke a paused game";

  window->key("Up");  // resumes at the first step of the ladder, 5
  const Image at5 =
      window->waitFor("the race running", [](const Image& shot) { return !shows(shot, kPausedOrange, kBanner); });
  EXPECT_FALSE(at5.sameIn(first, kText, kSpeedLine)) << "the speed still reads 0";
  window->key("Up");  // 10
  window->waitFor("a new speed figure", [&](const Image& shot) { return !shot.sameIn(at5, kText, kSpeedLine); });
  window->key("Down");  // 5 again
  window->waitFor("the speed 5 again", [&](const Image& shot) { return shot.sameIn(at5, kText, kSpeedLine); });

  // The car drives north, up the map.
  const Point start = mapPosition();
  window->waitFor("the car moving north", [&](const Image& shot) {
    const auto now = playerOnMap(shot);
    return now && now->y < start.y - 2;
  });

  window->key("p");
  const Image paused =
      window->waitFor("the banner on p", [](const Image& shot) { return shows(shot, kPausedOrange, kBanner); });
  EXPECT_TRUE(settled().sameIn(paused, paused.bounds())) << "something moved while paused";
  window->key("P");
  window->waitFor("the race running again", [](const Image& shot) { return !shows(shot, kPausedOrange, kBanner); });
  const Point resumed = mapPosition();
  window->waitFor("the car moving on", [&](const Image& shot) {
    const auto now = playerOnMap(shot);
    return now && now->y < resumed.y - 2;
  });

  // The space bar stops the car but not the game.
  window->key("space");
  window->waitFor("the speed 0 again", [&](const Image& shot) { return shot.sameIn(first, kText, kSpeedLine); });
  const Point stopped = mapPosition();
  sleepFor(kGlance);
  const Point later = mapPosition();
  EXPECT_EQ(later.x, stopped.x);
  EXPECT_EQ(later.y, stopped.y);
  EXPECT_FALSE(shows(window->screenshot(), kPausedOrange, kBanner));

  quit();
}

// Three dots of the car's way on the map, half a second apart.
struct Path {
  Point a, b, c;
};

TEST_F(Playing, TheMouseSteersOnlyARunningMovingCar) {
  start(kLongStraight, 0);
  auto path = [&] {
    constexpr Millis kStep{500};
    Path p{mapPosition(), {}, {}};
    sleepFor(kStep);
    p.b = mapPosition();
    sleepFor(kStep);
    p.c = mapPosition();
    return p;
  };
  // 240 pixels off the centre turns 120 degrees a second: 60 degrees a step,
  // on a circle of 19 units at 40 units a second that keeps the dot in the
  // left part of the window.
  constexpr int kHardTurn = 240;
  constexpr double kClearTurn = 0.5;

  window->mouseMove(0, 200);                               // hard left, but paused
  window->key("Return");                                   // runs, standing
  window->mouseMove(1, 200);                               // a standing car can't be turned
  for (int step = 0; step < 4; ++step) window->key("Up");  // 40 units a second
  const Path straight = path();
  EXPECT_LT(straight.c.y, straight.a.y - 20) << "the car should drive north";
  EXPECT_NEAR(straight.c.x, straight.a.x, 1) << "the car turned although the mouse moved only while it stood";

  window->mouseMove(kCentreColumn + kHardTurn, 200);
  const Path right = path();
  EXPECT_GT(turnSine(right.a, right.b, right.c), kClearTurn) << "right of the centre turns right";
  window->key("p");
  window->mouseMove(0, 200);  // ignored while paused
  window->key("p");
  const Path afterPause = path();
  EXPECT_GT(turnSine(afterPause.a, afterPause.b, afterPause.c), kClearTurn)
      << "the turn set before the pause should hold until the mouse moves";
  window->mouseMove(kCentreColumn - kHardTurn, 200);
  const Path left = path();
  EXPECT_LT(turnSine(left.a, left.b, left.c), -kClearTurn) << "left of the centre turns left";

  quit();
}

TEST_F(Playing, DigitsChooseTheCarTheHeadUpDisplayNames) {
  const Image first = start(kTiny, 3);
  const Rect belowHeadUp{0, kCarName.bottom() + 1, kWidth, kHeight - kCarName.bottom() - 1};

  window->key("3");
  const Image third =
      window->waitFor("another car named", [&](const Image& shot) { return !shot.sameIn(first, kText, kCarName); });
  EXPECT_LE(extentOf(third, kText, kCarName).height, kSmallText) << "\"car 3\" in the small font";
  EXPECT_LT(extentOf(third, kText, kSpeedLine).height, extentOf(first, kText, kSpeedLine).height)
      << "the speed figure turns small with another car followed";
  EXPECT_TRUE(third.sameIn(first, belowHeadUp)) << "the view moves only once the game runs";

  window->key("4");  // three opponents: there is no car 4
  EXPECT_TRUE(settled().sameIn(third, third.bounds()));

  window->key("2");
  const Image second =
      window->waitFor("car 2 named", [&](const Image& shot) { return !shot.sameIn(third, kText, kCarName); });
  EXPECT_LE(extentOf(second, kText, kCarName).height, kSmallText);

  window->key("0");
  window->waitFor("\"your car\" again", [&](const Image& shot) { return shot.sameIn(first, first.bounds()); });

  quit();
}

TEST_F(Playing, FunctionKeysF5ToF8ChangeTheView) {
  start(kLongStraight, 0);
  window->key("Up");  // the cockpit looks along a moving car only

  auto skyAbove = [](const Image& shot) {
    return shot.count(kSky, kTolerance, {0, 0, kWidth, 30}) > std::size_t(kWidth * 30 / 2);
  };
  // How wide the player's car looks, which tells how far away the eye is.
  auto carWidth = [](const Image& shot) {
    const auto body = shot.extent(kPlayerBody, kTolerance, around({250, 200}, 120, 120));
    return body ? body->width : 0;
  };
  constexpr int kNear = 50, kFar = 15;  // pixels: 10 units behind, and across the track

  window->key("F6");
  window->waitFor("the view from behind", [&](const Image& shot) { return skyAbove(shot) && carWidth(shot) > kNear; });
  window->key("F5");
  window->waitFor("the cockpit view", [&](const Image& shot) {
    // No windscreen of its own, and the bonnet at the bottom of the view.
    return skyAbove(shot) && !shows(shot, kGlass, shot.bounds()) && shows(shot, kPlayerBody, {240, 385, 20, 10});
  });
  window->key("F8");
  window->waitFor("the view from above the middle of the track", [&](const Image& shot) {
    const int width = carWidth(shot);
    return skyAbove(shot) && width > 0 && width < kFar;
  });
  window->key("F7");
  window->waitFor("the helicopter view", [&](const Image& shot) {
    const int width = carWidth(shot);
    return !skyAbove(shot) && width > kFar && width < kNear;
  });

  quit();
}

// ------------------------------------------------------------ crash and laps

// Everything but the lap times and the message, which may differ between two
// races.
bool sameBesideLapTexts(const Image& a, const Image& b) {
  const int top = kBestLap.y, bottom = kMessage.bottom();
  return a.sameIn(b, {0, 0, kWidth, top}) && a.sameIn(b, {0, top, kBestLap.x, bottom - top + 1}) &&
         a.sameIn(b, {0, bottom + 1, kWidth, kHeight - bottom - 1});
}

TEST_F(Playing, ASteepClimbCrashesAndEnterStartsANewPausedRace) {
  const Image first = start(kSteepClimb, 0);
  for (int step = 0; step < 4; ++step) window->key("Up");  // 40 units a second, straight at the climb

  const Image crashed =
      window->waitFor("the crash", [](const Image& shot) { return shows(shot, kCrashedRed, shot.bounds()); });
  const Rect banner = extentOf(crashed, kCrashedRed, crashed.bounds());
  EXPECT_NEAR(banner.x, kCentreColumn, 2);
  EXPECT_NEAR(banner.bottom(), std::floor(overlayToWindow(0, -0.35, kWidth, kHeight).y), 1);
  EXPECT_FALSE(shows(crashed, kPausedOrange, crashed.bounds()));

  // The game has stopped, and nothing but Enter starts it again.
  EXPECT_TRUE(sameBesideLapTexts(settled(), crashed));
  for (const char* key : {"p", "space", "Up", "Down"}) window->key(key);
  window->mouseMove(0, 200);
  EXPECT_TRUE(sameBesideLapTexts(settled(), crashed)) << "a key moved the crashed game";

  // A new race, paused, with the car back on the start: as the game began.
  window->key("Return");
  const Image again =
      window->waitFor("the new race", [](const Image& shot) { return shows(shot, kPausedOrange, kBanner); });
  EXPECT_FALSE(shows(again, kCrashedRed, again.bounds()));
  EXPECT_TRUE(sameBesideLapTexts(again, first));

  quit();
}

TEST_F(Playing, ACircleDrivenAtAFixedTurnIsALapAndTheLapTimesOutliveACrash) {
  const std::vector<Waypoint> ring = ringTrack();
  const Image first = start(ring, 0);
  EXPECT_FALSE(shows(first, kText, kMessage));

  // Up to speed and into the turn between two frames, so that the car
  // leaves the start already on the ring's circle.
  const std::vector<std::string> ups(kRingSpeedSteps, "Up");
  window->keysThenMouse(ups, kCentreColumn + kRingMouseOffset, 200);
  window->waitFor("\"Waypoint reached\"", [](const Image& shot) { return shows(shot, kText, kMessage); });
  // The grey dot moves on from the waypoint reached to the one after.
  const Point second = mapPoint(ring, ring[1].east, ring[1].north, kWidth, kHeight);
  window->waitFor("the next waypoint marked",
                  [&](const Image& shot) { return !shows(shot, kNextWaypoint, around(second, 4, 4)); });

  // The ring's map lies under the lap times, and the dot running round it
  // would cover them now and then: the overview goes while the lap is read.
  window->key("F3");
  const Image noLap =
      window->waitFor("the overview gone", [](const Image& shot) { return !shows(shot, kOutline, shot.bounds()); });
  const Image lapped = window->waitFor(
      "a lap time", [&](const Image& shot) { return !shot.sameIn(noLap, kText, kLastLap); }, Millis{10000});
  EXPECT_FALSE(lapped.sameIn(noLap, kText, kBestLap)) << "the first lap is the best so far";

  // Straight ahead off the plateau's edge.
  window->mouseMove(kCentreColumn, 200);
  const Image crashed = window->waitFor("the crash off the edge",
                                        [](const Image& shot) { return shows(shot, kCrashedRed, shot.bounds()); });
  window->key("Return");
  const Image again =
      window->waitFor("the new race", [](const Image& shot) { return shows(shot, kPausedOrange, kBanner); });
  EXPECT_FALSE(again.sameIn(noLap, kText, kLastLap)) << "the lap times were lost in the new race";
  EXPECT_TRUE(again.sameIn(crashed, kText, kLastLap));
  EXPECT_TRUE(again.sameIn(crashed, kText, kBestLap));

  window->key("F3");
  window->waitFor("the new race as the first began",
                  [&](const Image& shot) { return sameBesideLapTexts(shot, first); });

  quit();
}

// ------------------------------------------------------------ the window

// "PAUSED" laid out for a window of the given size whose top left corner is
// at `origin` in the picture: starting at the centre column, 0.35 below the
// middle of a view 45 degrees high.
std::function<bool(const Image&)> bannerLaidOutFor(int width, int height, Point origin = {0, 0}) {
  return [=](const Image& shot) {
    const Point expected = overlayToWindow(0, -0.35, width, height);
    const auto banner = shot.extent(kPausedOrange, kTolerance, shot.bounds());
    return banner && std::abs(banner->x - origin.x - expected.x) <= 2 &&
           std::abs(banner->bottom() - origin.y - std::floor(expected.y)) <= 1;
  };
}

TEST_F(Playing, TheViewKeepsItsFieldOfViewThroughResizesAndFullScreen) {
  const Image first = start(kTiny, 3);
  const Rect car = extentOf(first, kPlayerBody, around({250, 200}, 60, 60));

  // The vertical field of view stays 45 degrees: the car's size follows
  // the window's height and not its width.
  window->resize(800, 400);
  const Image wide = window->waitFor("the banner laid out for 800x400", bannerLaidOutFor(800, 400));
  const Rect wideCar = extentOf(wide, kPlayerBody, around({400, 200}, 60, 60));
  EXPECT_NEAR(wideCar.width, car.width, 1) << "a wider window widened the car";
  EXPECT_NEAR(wideCar.height, car.height, 1);

  window->resize(500, 800);
  const Image tall = window->waitFor("the banner laid out for 500x800", bannerLaidOutFor(500, 800));
  const Rect tallCar = extentOf(tall, kPlayerBody, around({250, 400}, 120, 120));
  EXPECT_NEAR(tallCar.width, 2 * car.width, 2) << "a window twice as tall shows the car twice as large";
  EXPECT_NEAR(tallCar.height, 2 * car.height, 2);

  // f twice: full screen and back to the size before. Without a window
  // manager freeglut places the full-screen window by guesswork, so the
  // picture is read off the screen wherever the window is.
  window->resize(700, 500);
  window->waitFor("the banner laid out for 700x500", bannerLaidOutFor(700, 500));
  const Geometry screen = screenSize();
  window->key("f");
  const Geometry full = sizedTo(screen.width, screen.height);
  waitForScreen("the full-screen picture", bannerLaidOutFor(full.width, full.height, {double(full.x), double(full.y)}));
  window->key("f");
  const Geometry back = sizedTo(700, 500);
  waitForScreen("the picture back at 700x500", bannerLaidOutFor(700, 500, {double(back.x), double(back.y)}));

  quit();
}

// ------------------------------------------------------------ quitting

// Software drawing under memcheck runs many times slower.
constexpr Millis kMemcheckTimeout{60000};

// One error or loss record of memcheck's XML report: its kind, the blocks a
// loss record stands for, and the code where it happened (for a leak, where
// the block was allocated).
struct MemcheckRecord {
  std::string kind;
  long blocks = 0;
  std::vector<std::string> objects;  // frame by frame, innermost first
  std::vector<std::string> functions;
};

std::string element(const std::string& xml, const std::string& tag, std::size_t from = 0,
                    std::size_t to = std::string::npos) {
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  const std::size_t start = xml.find(open, from);
  if (start == std::string::npos || start >= to) return {};
  const std::size_t end = xml.find(close, start);
  return xml.substr(start + open.size(), end - start - open.size());
}

std::vector<MemcheckRecord> readMemcheck(const std::string& xml) {
  std::vector<MemcheckRecord> records;
  for (std::size_t at = xml.find("<error>"); at != std::string::npos; at = xml.find("<error>", at + 1)) {
    const std::string error = element(xml, "error", at);
    MemcheckRecord record;
    record.kind = element(error, "kind");
    const std::string blocks = element(error, "leakedblocks");
    record.blocks = blocks.empty() ? 0 : std::stol(blocks);
    const std::string stack = element(error, "stack");  // the first: where it happened
    for (std::size_t f = stack.find("<frame>"); f != std::string::npos; f = stack.find("<frame>", f + 1)) {
      const std::size_t end = stack.find("</frame>", f);
      record.objects.push_back(element(stack, "obj", f, end));
      record.functions.push_back(element(stack, "fn", f, end));
    }
    records.push_back(record);
  }
  return records;
}

// Whether the game's own code made the allocation or the access: the first
// frame outside valgrind's stand-ins for malloc, new and the string
// functions lies in the game.
bool fromTheGame(const MemcheckRecord& record, const std::string& binary) {
  for (std::size_t i = 0; i < record.objects.size(); ++i)
    if (record.objects[i].find("vgpreload") == std::string::npos) return record.objects[i] == binary;
  return false;
}

std::string describe(const MemcheckRecord& record) {
  std::string text = record.kind + " (" + std::to_string(record.blocks) + " blocks) in";
  for (std::size_t i = 0; i < record.functions.size() && i < 4; ++i) text += " " + record.functions[i];
  return text;
}

// The graphics and X libraries leave their own leaks and oddities at exit;
// only what the game's code allocated or touched counts here. Of that, the
// camera alone is still held at exit: the clean-up releases every car, their
// array and the track, and the camera, which no one needs then, is left.
TEST_F(Playing, EscapeEndsCleanlyWithEveryCarAndTheTrackReleased) {
  dir.write("race.tck", trackFile("Test track", kSteepClimb));
  const std::string report = dir.path() + "/memcheck.xml";
  game = std::make_unique<Process>(
      std::vector<std::string>{"valgrind", "--xml=yes", "--xml-file=" + report, "--leak-check=full",
                               "--show-leak-kinds=all", gameBinary(), "race.tck", "2"},
      dir.path());
  window.emplace(Window::find(*game, kMemcheckTimeout));
  auto paused = [](const Image& shot) { return shows(shot, kPausedOrange, kBanner); };
  window->waitFor("the first frame", paused, kMemcheckTimeout);

  // A race driven into the climb and restarted, so that the first cars and
  // camera are released on the way as well.
  for (int step = 0; step < 3; ++step)
    window->key("Up");  // 20 units a second: slow frames must not leap over the climb
  window->waitFor(
      "the crash", [](const Image& shot) { return shows(shot, kCrashedRed, shot.bounds()); }, kMemcheckTimeout);
  window->key("Return");
  window->waitFor("the new race", paused, kMemcheckTimeout);
  window->key("1");
  window->key("F4");

  window->key("Escape");
  const std::optional<int> status = game->waitExit(kMemcheckTimeout);
  ASSERT_TRUE(status) << "the game did not end on Escape under memcheck";
  EXPECT_EQ(*status, 0) << game->err();

  std::ifstream in(report);
  std::ostringstream xml;
  xml << in.rdbuf();
  ASSERT_NE(xml.str().find("</valgrindoutput>"), std::string::npos) << "memcheck left no report";
  const std::string binary = std::filesystem::canonical(gameBinary()).string();
  long heldAtExit = 0;
  std::string faults;
  for (const MemcheckRecord& record : readMemcheck(xml.str())) {
    if (!fromTheGame(record, binary)) continue;
    if (record.kind == "Leak_StillReachable" && record.functions.size() > 1 && record.functions[1] == "createRace()")
      heldAtExit += record.blocks;
    else
      faults += "\n  " + describe(record);
  }
  EXPECT_TRUE(faults.empty()) << "memcheck found in the game's code:" << faults;
  EXPECT_EQ(heldAtExit, 1) << "blocks from the race still held at exit, the camera only expected";
}

}  // namespace
