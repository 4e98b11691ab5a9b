// Start-up of the real game binary: what it prints, how it exits, and the
// window it opens. Players meet these messages first, and scripts may rely on
// the exit status, so the exact texts are pinned here.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/harness.h"

namespace {

using namespace e2e;

const std::string kBanner =
    "Zarvanto by Iveldor\n"
    "(https://zarvanto.example.org)\n"
    "Usage: Zarvanto [track file] [opponents 1..7]\n";

const std::string kNoDefault = "Can't open default.tck\nUsage: Zarvanto [track file] [opponents]\n";
const std::string kCantOpen = "Can't open track file\n";
const std::string kInvalid = "Invalid track file\n";
const std::string kTooClose = "Track waypoints can't be closer to each other than 10\n";
const std::string kCrosses = "The track can't cross itself\n";
const std::string kAnticlockwise = "Waypoints must be defined in clockwise order\n";
const std::string kBadTrack = "Error: invalid track\n";
const std::string kBadOpponents = "Usage: Zarvanto [track file] [opponents 1..7]\n";

// Waypoints are "east north height"; this square runs north, east, south,
// west, which is clockwise on a map.
const std::string kSquare = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";

std::string track(const std::string& waypoints, const std::string& title = "Test track") {
  return "#Track\n" + title + "\n" + waypoints;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// What a case puts in the game's working folder before starting it.
struct Given {
  enum Kind { Nothing, File, Folder } kind = Nothing;
  std::string name;
  std::string content;
};
Given nothing() { return {}; }
Given file(std::string content, std::string name = "t.tck") {
  return {Given::File, std::move(name), std::move(content)};
}
Given folder(std::string name) { return {Given::Folder, std::move(name), {}}; }

class GameStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(haveDisplay()) << "DISPLAY is not set: the end-to-end tests need an X server; run them through "
                                  "scripts/test, which starts Xvfb";
  }

  void prepare(const Given& given) {
    if (given.kind == Given::File)
      dir.write(given.name, given.content);
    else if (given.kind == Given::Folder)
      dir.makeDir(given.name);
  }

  // Waits for the game to end on its own and returns its exit status.
  static int exitStatus(Process& game) {
    const std::optional<int> status = game.waitExit(kExitTimeout);
    if (!status) {
      ADD_FAILURE() << game.describe() << " was still running after " << kExitTimeout.count()
                    << " ms; stdout so far: \"" << game.out() << "\"";
      return -1;
    }
    return *status;
  }

  TempDir dir;
};

// ------------------------------------------------------------ refused starts

struct Refusal {
  const char* name;
  Given given;
  std::vector<std::string> args;
  std::string message;
};

// Failure messages name the case, not a byte dump of it.
void PrintTo(const Refusal& c, std::ostream* out) { *out << c.name; }

class Refused : public GameStart, public ::testing::WithParamInterface<Refusal> {};

// The message is all there is on stdout: in particular no banner, which
// belongs to a game that actually starts.
TEST_P(Refused, PrintsOnlyTheReasonAndExitsWithOne) {
  const Refusal& c = GetParam();
  prepare(c.given);
  Process game = startGame(c.args, dir.path());
  EXPECT_EQ(exitStatus(game), 1);
  EXPECT_EQ(game.out(), c.message);
}

const Refusal kFileProblems[] = {
    {"NoArgumentsAndNoDefaultTrack", nothing(), {}, kNoDefault},
    {"NamedFileMissing", nothing(), {"missing.tck"}, kCantOpen},
    {"NamedFileIsAFolder", folder("tracks.tck"), {"tracks.tck"}, kCantOpen},
    {"EmptyFile", file(""), {"t.tck"}, kInvalid},
    {"HeaderMisspelt", file("#track\nTitle\n" + kSquare), {"t.tck"}, kInvalid},
    {"HeaderWithTrailingSpace", file("#Track \nTitle\n" + kSquare), {"t.tck"}, kInvalid},
    {"HeaderIndented", file(" #Track\nTitle\n" + kSquare), {"t.tck"}, kInvalid},
    {"TitleOf255Characters", file(track(kSquare, std::string(255, 'x'))), {"t.tck"}, kInvalid},
    {"TitleWithoutLineEnd", file("#Track\nTitle"), {"t.tck"}, kInvalid},
    {"NoWaypoints", file(track("")), {"t.tck"}, kInvalid},
    {"OnlyWhitespaceAfterTitle", file(track(" \n\t\n")), {"t.tck"}, kInvalid},
};
INSTANTIATE_TEST_SUITE_P(TrackFile, Refused, ::testing::ValuesIn(kFileProblems),
                         [](const auto& info) { return std::string(info.param.name); });

// A token that is not a number counts as a broken waypoint, reported the
// same way as waypoints that are too close.
const Refusal kWaypointProblems[] = {
    {"WordForNumber", file(track("0 0 0\n0 abc 0\n100 100 0\n100 0 0\n")), {"t.tck"}, kTooClose},
    {"NumberWithTrailingLetter", file(track("0 0 0\n0 100x 0\n100 100 0\n100 0 0\n")), {"t.tck"}, kTooClose},
    {"NotANumber", file(track("0 0 0\n0 nan 0\n100 100 0\n100 0 0\n")), {"t.tck"}, kTooClose},
    {"Infinity", file(track("0 0 0\n0 inf 0\n100 100 0\n100 0 0\n")), {"t.tck"}, kTooClose},
    // (0,0,0) to (5,0,8) is 9.4 apart: the height counts, not only the map distance.
    {"NeighboursUnder10Apart", file(track(kSquare + "5 0 8\n")), {"t.tck"}, kTooClose},
    // The square with a notch whose mouth is 9 wide: waypoints 3 and 6 are
    // far apart along the road but 9 apart on the ground.
    {"DistantWaypointsUnder10Apart",
     file(track("0 0 0\n0 100 0\n45 100 0\n30 20 0\n70 20 0\n54 100 0\n100 100 0\n100 0 0\n")),
     {"t.tck"},
     kTooClose},
    {"FigureOfEight", file(track("0 0 0\n100 100 0\n100 0 0\n0 100 0\n")), {"t.tck"}, kCrosses},
    {"Anticlockwise", file(track("0 0 0\n100 0 0\n100 100 0\n0 100 0\n")), {"t.tck"}, kAnticlockwise},
    {"EastBeyondAMillion", file(track("0 0 0\n0 100 0\n2000000 100 0\n100 0 0\n")), {"t.tck"}, kBadTrack},
    {"HeightBeyondAMillion", file(track("0 0 0\n0 100 1000001\n100 100 0\n100 0 0\n")), {"t.tck"}, kBadTrack},
    {"NorthBelowMinusAMillion", file(track("0 0 0\n0 100 0\n100 100 0\n100 -1000001 0\n")), {"t.tck"}, kBadTrack},
    {"ConsecutiveAtSameSpot", file(track("0 0 0\n0 0 20\n0 100 0\n100 100 0\n100 0 0\n")), {"t.tck"}, kBadTrack},
    {"LastAndFirstAtSameSpot", file(track("0 0 20\n0 100 0\n100 100 0\n100 0 0\n0 0 0\n")), {"t.tck"}, kBadTrack},
};
INSTANTIATE_TEST_SUITE_P(Waypoints, Refused, ::testing::ValuesIn(kWaypointProblems),
                         [](const auto& info) { return std::string(info.param.name); });

const Refusal kArgumentProblems[] = {
    {"MinusOneOpponent", file(track(kSquare)), {"t.tck", "-1"}, kBadOpponents},
    {"HugeNegativeOpponents", file(track(kSquare)), {"t.tck", "-99999999999999999999"}, kBadOpponents},
    // With two things wrong, the track is what the player has to fix first.
    {"BadTrackAndBadOpponents", file(track("0 0 0\n100 0 0\n100 100 0\n0 100 0\n")), {"t.tck", "-1"}, kAnticlockwise},
    {"MissingTrackAndBadOpponents", nothing(), {"missing.tck", "-1"}, kCantOpen},
};
INSTANTIATE_TEST_SUITE_P(Arguments, Refused, ::testing::ValuesIn(kArgumentProblems),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ accepted starts

struct Acceptance {
  const char* name;
  Given given;
  std::vector<std::string> args;
  bool inShippedTracks = false;  // run in tracks/ instead of a scratch folder
};

void PrintTo(const Acceptance& c, std::ostream* out) { *out << c.name; }

class Starts : public GameStart, public ::testing::WithParamInterface<Acceptance> {};

TEST_P(Starts, OpensTheGameWindowAndQuitsOnEscape) {
  const Acceptance& c = GetParam();
  prepare(c.given);
  Process game = startGame(c.args, c.inShippedTracks ? tracksDir() : dir.path());
  const Window window = Window::find(game);

  EXPECT_EQ(window.title(), "Zarvanto");
  const Geometry g = window.geometry();
  EXPECT_EQ(g.width, 500);
  EXPECT_EQ(g.height, 400);

  window.key("Escape");
  EXPECT_EQ(exitStatus(game), 0) << "stderr: " << game.err();
  EXPECT_EQ(game.out(), kBanner);
}

const Acceptance kValidTracks[] = {
    {"ClockwiseSquare", file(track(kSquare)), {"t.tck"}},
    {"DefaultTrackFromWorkingFolder", nothing(), {}, true},
    {"ShippedFlat", nothing(), {"Flat.tck"}, true},
    {"ShippedHills", nothing(), {"Hills.tck"}, true},
    {"WindowsLineEnds", file("#Track\r\nTitle\r\n0 0 0\r\n0 100 0\r\n100 100 0\r\n100 0 0\r\n"), {"t.tck"}},
    {"TitleOf254Characters", file(track(kSquare, std::string(254, 'x'))), {"t.tck"}},
    {"EmptyTitle", file(track(kSquare, "")), {"t.tck"}},
    // (0,0,0) to (6,0,8) is exactly 10 apart, which is allowed.
    {"NeighboursExactly10Apart", file(track(kSquare + "6 0 8\n")), {"t.tck"}},
    {"WaypointsOnOneLine", file(track("0 0 0 0 100 0 100 100 0 100 0 0")), {"t.tck"}},
    {"CoordinatesAtAMillion",
     file(track("-1000000 -1000000 0\n-1000000 1000000 0\n1000000 1000000 1000000\n1000000 -1000000 0\n")),
     {"t.tck"}},
    {"TrackInASubfolder", file(track(kSquare), "sub/t.tck"), {"./sub/../sub/t.tck"}},
};
INSTANTIATE_TEST_SUITE_P(Track, Starts, ::testing::ValuesIn(kValidTracks),
                         [](const auto& info) { return std::string(info.param.name); });

// The opponents argument is read like atoi: leading digits count, anything
// else reads as 0, and more than 7 means 7.
const Acceptance kValidOpponents[] = {
    {"None", file(track(kSquare)), {"t.tck", "0"}},
    {"Seven", file(track(kSquare)), {"t.tck", "7"}},
    {"Hundred", file(track(kSquare)), {"t.tck", "100"}},
    {"Huge", file(track(kSquare)), {"t.tck", "99999999999999999999"}},
    {"Word", file(track(kSquare)), {"t.tck", "abc"}},
    {"DigitsThenLetter", file(track(kSquare)), {"t.tck", "3x"}},
    {"WithShippedDefault", nothing(), {"Default.tck", "7"}, true},
};
INSTANTIATE_TEST_SUITE_P(Opponents, Starts, ::testing::ValuesIn(kValidOpponents),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ the window

class GameWindow : public GameStart {};

TEST_F(GameWindow, OpensAtItsHomePositionAndDrawsAScene) {
  Process game = startGame({tracksDir() + "/Default.tck", "3"}, dir.path());
  const Window window = Window::find(game);
  const Geometry g = window.geometry();
  EXPECT_EQ(g.x, 120);
  EXPECT_EQ(g.y, 60);

  // The first frame may come a little after the window is mapped.
  Image shot = window.screenshot();
  for (int tries = 0; tries < 20 && shot.distinctColours(shot.bounds()) < 2; ++tries) shot = window.screenshot();
  EXPECT_EQ(shot.width(), 500);
  EXPECT_EQ(shot.height(), 400);
  EXPECT_GE(shot.distinctColours(shot.bounds()), 2u) << "the window shows only a blank colour";

  window.key("Escape");
  EXPECT_EQ(exitStatus(game), 0);
}

// Every control a player reaches for in the first minute, in one go: none
// of them may crash the game or print the banner again.
TEST_F(GameWindow, SurvivesTheControls) {
  Process game = startGame({tracksDir() + "/Hills.tck", "7"}, dir.path());
  const Window window = Window::find(game);
  const char* keys[] = {"Return", "Up", "Up", "Up", "F1",   "h",     "F2", "F3", "F4",   "F4",   "F5", "F6", "F7",
                        "F8",     "1",  "7",  "0",  "Down", "space", "p",  "p",  "Down", "Down", "Up", "Up", "Return"};
  int step = 0;
  for (const char* keysym : keys) {
    window.key(keysym);
    window.mouseMove(step % 2 ? 100 : 400, 200);  // steer left, then right
    ++step;
    ASSERT_TRUE(game.running()) << "the game died after key " << keysym << "; stderr: " << game.err();
  }
  window.key("Escape");
  EXPECT_EQ(exitStatus(game), 0) << "stderr: " << game.err();
  EXPECT_EQ(game.out().rfind(kBanner, 0), 0u) << "stdout: " << game.out();
  EXPECT_EQ(occurrences(game.out(), kBanner), 1u) << "stdout: " << game.out();
}

}  // namespace
