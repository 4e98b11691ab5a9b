// The game loop and the controls, driven through the callbacks GLUT would call, with a real
// window and the game clock held: the frame time, pause bookkeeping, crash, restart, the keys, the
// mouse and the projection the window keeps.
#include <GL/freeglut.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <tuple>
#include <vector>

#include "app/game.h"
#include "bench/reference/generated_track.h"
#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "chooser/chooser.h"
#include "contest/contest.h"
#include "pads/gamepad.h"
#include "records/record.h"
#include "rivals/rival.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "track/triangle.h"
#include "trial/time_trial.h"

namespace {

// A race on the square of side 100 with two opponents, paused at a held clock, as start-up leaves it.
class Play : public ::testing::Test {
 protected:
  void SetUp() override {
    loadGameTrack(flatSquare);
    carCount = 3;
    cars = new TCar*[carCount]();
    holdGameClock(1000);
    resetRace();
    displayFlags = showHeadUp | showOverview | drawSolid;
    lastLapTime = 0.0f;
    bestLapTime = std::numeric_limits<float>::max();
    reshape(500, 400);
  }
  void TearDown() override {
    setPause(statePaused);
    closeGamepads();
    releaseRace();
    holdGameClock(-1);
  }
  // A step on the level outer ground, then one where a slope just steep enough lies under the car.
  void crash() {
    player->position = {-40.0f, 0.0f, -50.0f};
    idle();
    player->triangle->slopeAngle = float(crashPitch);
    idle();
    player->triangle->slopeAngle = 0.0f;
  }
  // Distance the player covers northwards in one idle step taken at the given clock.
  float stepAt(int64_t milliseconds) {
    holdGameClock(milliseconds);
    float before = player->position.z;
    idle();
    return before - player->position.z;
  }
};

TEST_F(Play, FrameTimeIsFirstStepThenRealGapAtMostOneSecond) {
  specialKey(GLUT_KEY_UP, 0, 0);  // resumes and steps up: 5 units a second
  specialKey(GLUT_KEY_UP, 0, 0);  // 10
  EXPECT_EQ(pauseState, stateRunning);
  // The first step 0.1 s whatever the clock says, 0.3 s later, a gap of 5 s as one second, exactly one second.
  for (auto [at, covered] : {std::pair{1000, 1.0f}, {1300, 3.0f}, {6300, 10.0f}, {7300, 10.0f}})
    EXPECT_FLOAT_EQ(stepAt(at), covered) << at;
  keyboard('p', 0, 0);
  EXPECT_EQ(pauseState, statePaused);
  keyboard('P', 0, 0);
  EXPECT_EQ(pauseState, stateRunning);
  EXPECT_FLOAT_EQ(stepAt(9000), 1.0f);  // after a resume: 0.1 s again
  keyboard(' ', 0, 0);
  EXPECT_EQ(player->speed, 0.0f);
}

TEST_F(Play, PausedTimeStaysOutOfTheLap) {
  holdGameClock(3000);
  keyboard(13, 0, 0);  // Enter resumes; the wait before it is not lap time
  holdGameClock(20000);
  keyboard('p', 0, 0);
  holdGameClock(30000);  // a 10-second pause
  keyboard('p', 0, 0);
  // Close the lap: the player stands on the start heading for the closing copy of waypoint 0.
  player->waypointIndex = track->waypointCount;
  holdGameClock(60000);
  idle();
  EXPECT_FLOAT_EQ(lastLapTime, 60.0f - 1.0f - 2.0f - 10.0f);
  EXPECT_EQ(std::make_tuple(bestLapTime, pausedTime, lapStartTime, messageTime, std::string(messageText)),
            std::make_tuple(lastLapTime, 0.0f, 60.0f, 60.0f, std::string("Next lap started")));
}

TEST_F(Play, CrashStopsEverythingButEnterWhichStartsANewPausedRace) {
  setPause(stateRunning);
  Vec3 opponentBefore = cars[1]->position;
  crash();
  EXPECT_EQ(pauseState, stateCrashed);
  EXPECT_NE(std::tie(cars[1]->position.x, cars[1]->position.z), std::tie(opponentBefore.x, opponentBefore.z))
      << "tested after all moved";

  // Nothing but Enter moves a crashed game.
  Vec3 firstPlace = cars[1]->position;
  for (unsigned char key : {'p', ' '}) keyboard(key, 0, 0);
  for (int key : {GLUT_KEY_UP, GLUT_KEY_DOWN}) specialKey(key, 0, 0);
  EXPECT_EQ(std::make_tuple(pauseState, player->speed), std::make_tuple(uint8_t(stateCrashed), 0.0f));

  lastLapTime = 42.0f, bestLapTime = 40.0f;
  camera->setMode(cameraTrack);
  holdGameClock(5000);
  keyboard(13, 0, 0);
  EXPECT_EQ(std::make_tuple(pauseState, cars[0], player->waypointIndex, camera->mode, camera->car, cars[1]->colour[0]),
            std::make_tuple(uint8_t(statePaused), player, 1, uint8_t(cameraHelicopter), player, 1.0f));  // still red
  EXPECT_NE(std::tie(cars[1]->position.x, cars[1]->position.z), std::tie(firstPlace.x, firstPlace.z));
  EXPECT_EQ(std::make_tuple(lastLapTime, bestLapTime, lapStartTime, pauseStartTime, pausedTime),
            std::make_tuple(42.0f, 40.0f, 5.0f, 5.0f, 0.0f));
}

TEST_F(Play, RStandsARacingCarAtTheLastWaypointReachedFacingTheNextOnly) {
  player->position = {-40.0f, 30.0f, -50.0f};  // off the road, raised
  keyboard('r', 0, 0);
  EXPECT_EQ(player->position.z, -50.0f) << "paused: nothing";
  setPause(stateRunning);
  const float zero = 0.0f;
  const struct {
    int32_t next;  // waypoint to reach
    float heading;
  } legs[] = {{1, float(pi)}, {3, 0.0f}};  // before any: the start facing north; later: waypoint 2 facing south
  for (auto leg : legs) {
    specialKey(GLUT_KEY_UP, 0, 0);
    passiveMotion(10, 0);
    player->position = {-40.0f, 30.0f, -50.0f};
    player->waypointIndex = leg.next;
    keyboard('R', 0, 0);
    Vec3 at = track->waypoints[leg.next - 1];
    EXPECT_EQ(std::tie(player->position.x, player->position.y, player->position.z), std::tie(at.x, zero, at.z));
    EXPECT_FLOAT_EQ(player->heading, leg.heading);
    EXPECT_EQ(std::make_tuple(player->speed, player->turnRate, player->triangle, player->waypointIndex),
              std::make_tuple(zero, zero, track->findTriangle(at.x, at.y, at.z), leg.next));
    idle();
    EXPECT_EQ(player->position.z, at.z) << "standing";
  }
  EXPECT_EQ(lapStartTime + pausedTime, 1.0f) << "the lap clock runs on";
}

TEST_F(Play, RAfterACrashRacesOnFromTheRescueWithTheCrashInTheLap) {
  setPause(stateRunning);
  player->waypointIndex = track->waypointCount;  // on the last leg, back to the start
  crash();
  ASSERT_EQ(pauseState, stateCrashed);
  holdGameClock(11000);  // ten seconds crashed
  keyboard('r', 0, 0);
  EXPECT_EQ(std::make_tuple(pauseState, player->position.x, player->position.z),
            std::make_tuple(uint8_t(stateRunning), 100.0f, 0.0f));  // at waypoint 3
  EXPECT_FLOAT_EQ(player->heading, float(-pi / 2));
  for (int i = 0; i < 4; i++) specialKey(GLUT_KEY_UP, 0, 0);  // 40 a second
  idle();
  EXPECT_FLOAT_EQ(player->position.x, 96.0f) << "the first step: 0.1 s";
  for (int64_t at : {11600, 12200, 12800, 13400}) stepAt(at);  // 24 each, onto the start
  EXPECT_NEAR(lastLapTime, 13.4f - 1.0f, 1e-4f);
  EXPECT_EQ(player->waypointIndex, 1);
}

TEST_F(Play, KeysToggleOverlaysChooseViewsAndCars) {
  const int toggles[][2] = {
      {GLUT_KEY_F1, showHelp}, {GLUT_KEY_F2, showHeadUp}, {GLUT_KEY_F3, showOverview}, {GLUT_KEY_F4, drawSolid}};
  for (auto [key, flag] : toggles) {
    int before = displayFlags;
    specialKey(key, 0, 0);
    EXPECT_EQ(displayFlags, before ^ flag) << "F" << key;
  }
  keyboard('H', 0, 0);
  EXPECT_EQ(displayFlags, 0);
  // With no lap of this track known to drive, the ghost steps to none and stays there.
  for (unsigned char key : {'g', 'G'}) {
    keyboard(key, 0, 0);
    EXPECT_EQ(ghostChoice, ghostHidden);
  }
  for (uint8_t view : {cameraCockpit, cameraBehind, cameraHelicopter, cameraTrack}) {
    specialKey(GLUT_KEY_F5 + view, 0, 0);  // F5 to F8
    EXPECT_EQ(camera->mode, view);
  }
  for (auto [key, car] : {std::pair{'2', 2}, {'3', 2}, {'0', 0}}) {  // two opponents: there is no car 3
    keyboard(key, 0, 0);
    EXPECT_EQ(camera->car, cars[car]);
  }
  EXPECT_EQ(pauseState, statePaused) << "none of these starts the game";
}

// In a race's countdown the player picks a speed and may pause; after its finish the results
// stand: the speed keys, pause and rescue do nothing, and Enter races again at once.
TEST_F(Play, TheCountdownTakesSpeedAndPauseAndAFinishOnlyEnter) {
  raceLaps = 1, contestPhase = phaseCountdown;  // where only the rescue waits for go
  specialKey(GLUT_KEY_UP, 0, 0);
  for (unsigned char key : {'r', 'p'}) keyboard(key, 0, 0);
  EXPECT_EQ(std::make_tuple(player->speed, pauseState), std::make_tuple(5.0f, uint8_t(statePaused)));
  contestPhase = phaseFinished;
  for (unsigned char key : {'p', ' ', 'r'}) keyboard(key, 0, 0);
  specialKey(GLUT_KEY_UP, 0, 0);
  EXPECT_EQ(pauseState, statePaused);
  keyboard(13, 0, 0);
  EXPECT_EQ(std::make_tuple(pauseState, contestPhase), std::make_tuple(uint8_t(stateRunning), phaseGrid));
  raceLaps = 0;
}

TEST_F(Play, TheMouseSteersOnlyARunningMovingCarByHalfADegreeAPixel) {
  passiveMotion(10, 0);
  EXPECT_EQ(player->turnRate, 0.0f) << "paused";
  setPause(stateRunning);
  passiveMotion(10, 0);
  EXPECT_EQ(player->turnRate, 0.0f) << "standing";
  specialKey(GLUT_KEY_DOWN, 0, 0);  // reversing counts as moving
  passiveMotion(10, 0);
  EXPECT_FLOAT_EQ(player->turnRate, float(240 * pi / 180.0 * 0.5));
  passiveMotion(499, 0);
  EXPECT_FLOAT_EQ(player->turnRate, float(-249 * pi / 180.0 * 0.5));
}

TEST_F(Play, ReshapeKeepsFieldOfViewAndSavedSizeOutsideFullScreen) {
  reshape(800, 200);
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * pi / 180), 1e-5);  // 45 degrees vertical
  EXPECT_NEAR(projection[0], projection[5] / 4, 1e-5);
  fullScreen = true;
  reshape(1280, 1024);
  fullScreen = false;
  EXPECT_EQ(std::make_tuple(savedWindowWidth, savedWindowHeight), std::make_tuple(800, 200));
  reshape(500, 0);  // a minimised window
  EXPECT_TRUE(std::isfinite(aspectRatio));
}

// A game on the track file, as start-up makes it from that command line, its clock held at one second.
void startGame(std::string file, std::string opponents = "") {
  char game[] = "zarvanto";
  char* argv[] = {game, file.data(), opponents.empty() ? nullptr : opponents.data(), nullptr};
  holdGameClock(1000);
  initGame(opponents.empty() ? 2 : 3, argv);
}
// Paused and closed as the exit closes it, the clock let go.
void endGame() { setPause(statePaused), cleanUpGame(), holdGameClock(-1); }

// A game on the shipped track as start-up makes it, lapped in process with the clock held: the car
// is put on each waypoint in turn, one step a waypoint. The record folder is the test's own.
// Returns the record the game found at start.
float timedLaps(const std::vector<int64_t>& millisecondsPerWaypoint, int32_t ghostAtOneSecond) {
  startGame(ZARVANTO_TRACKS_DIR "/Default.tck", "0");
  int64_t now = 1000;
  float recordAtStart = recordKept ? recordLapTime : -1.0f;
  setPause(stateRunning);
  for (int64_t each : millisecondsPerWaypoint) {
    for (int32_t i = 1; i <= track->waypointCount; i++) {
      // The quickest lap is paused for 5 s after its first waypoint; none of its times takes that in.
      if (i == 2 && each == 250) setPause(statePaused), holdGameClock(now += 5000), setPause(stateRunning);
      holdGameClock(now += each);
      player->position = track->waypoints[i];
      idle();
      // One second into a lap the ghost stands where the record's car stood then.
      if (i == 1 && each == 1000) {
        EXPECT_EQ(std::make_tuple(ghostPlaced, ghostPose.position.x, ghostPose.position.z),
                  std::make_tuple(true, track->waypoints[ghostAtOneSecond].x, track->waypoints[ghostAtOneSecond].z));
      }
    }
  }
  endGame();  // waits for the record being written
  return recordAtStart;
}

TEST(TimeTrial, ALapBetterThanTheRecordReplacesItAndIsTheNextGhost) {
  std::string folder = std::string(std::getenv("XDG_DATA_HOME")) + "/zarvanto/records";
  std::filesystem::remove_all(folder);
  // The first game has nothing to write until its lap is done, and says nothing.
  testing::internal::CaptureStderr();
  EXPECT_EQ(timedLaps({500}, 0), -1.0f) << "no record yet";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a record kept before the first lap";
  std::vector<std::filesystem::path> kept;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == recordExtension) kept.push_back(entry.path());
  ASSERT_EQ(kept.size(), 1u);
  std::string first = fileText(kept[0]);
  // A second game finds the record; laps no better leave its file as it was, and the laps that
  // follow a record race its ghost.
  EXPECT_EQ(timedLaps({1000, 1000}, 2), 28.0f);
  EXPECT_EQ(fileText(kept[0]), first);
  // The lap of 14 s beats silver (14.14 s on this track) and not gold: it wins silver, and the
  // slow lap after it is timed against it at every waypoint, 0.75 s behind for each.
  EXPECT_EQ(timedLaps({250, 1000}, 4), 28.0f);
  EXPECT_NE(fileText(kept[0]), first);
  EXPECT_EQ(std::make_tuple(int(medalHeld), medalWonTime >= 0.0f), std::make_tuple(int(medalSilver), true));
  EXPECT_NEAR(splitGap, 0.75f * 56.0f, 1e-3f);
  LapRecord record;
  std::string message;
  TTrack shipped;
  ASSERT_EQ(shipped.load(ZARVANTO_TRACKS_DIR "/Default.tck"), loadOk);
  ASSERT_EQ(readRecord(kept[0].string(), trackKey(shipped), &record, &message), recordRead) << message;
  EXPECT_EQ(std::make_tuple(record.lapTime, record.ghost.size(), record.medal),
            std::make_tuple(0.25f * float(shipped.waypointCount), size_t(shipped.waypointCount + 1), medalSilver));
  ASSERT_EQ(record.splits.size(), size_t(shipped.waypointCount));
  for (size_t i = 0; i < record.splits.size(); i++) EXPECT_NEAR(record.splits[i], 0.25f * float(i + 1), 1e-3f);
}

// A record file the game can't take (every kind is in the records' own tests) is named in one
// line, raced without, and never written over, however quick the laps.
TEST(TimeTrial, ARecordThatCannotBeReadIsLeftAsItIs) {
  TTrack shipped;
  ASSERT_EQ(shipped.load(ZARVANTO_TRACKS_DIR "/Default.tck"), loadOk);
  std::string path = recordPath(recordsFolder(), trackKey(shipped));
  std::string kept = fileText(path);
  std::ofstream(path, std::ios::trunc) << "garbage\n";
  testing::internal::CaptureStderr();
  timedLaps({100}, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": not a Zarvanto record, left as it is\n");
  EXPECT_EQ(fileText(path), "garbage\n");
  std::ofstream(path, std::ios::trunc) << kept;  // for the game's journey that shows it
}

// A friend's lap added for the track is raced as a ghost once g has stepped to it.
TEST(TimeTrial, AFriendsLapIsRacedAsAGhost) {
  TTrack shipped;
  ASSERT_EQ(shipped.load(ZARVANTO_TRACKS_DIR "/Default.tck"), loadOk);
  std::string key = trackKey(shipped), message;
  LapRecord lap = {float(shipped.waypointCount), "2026-12-07T10:15:02Z", "1.0.0", shipped.title, {}};
  for (int32_t i = 0; i <= shipped.waypointCount; i++) lap.ghost.push_back({float(i), shipped.waypoints[i], 0.0f});
  // A friend's file that is no record is no lap, alone or listed after one.
  std::string damaged = friendsFolder() + "/" + key + "-" + std::string(friendDigestLength, 'f') + recordExtension;
  std::filesystem::create_directories(friendsFolder());
  std::ofstream(damaged) << "garbage\n";
  EXPECT_FALSE(bestFriendRecord(key, &lap));
  std::string text = formatRecord(key, lap), path = friendRecordPath(friendsFolder(), key, text);
  ASSERT_TRUE(writeRecord(path, key, lap, &message)) << message;
  startGame(ZARVANTO_TRACKS_DIR "/Default.tck");
  int64_t now = 1000;
  EXPECT_EQ(std::make_tuple(friendKept, friendLapTime), std::make_tuple(true, lap.lapTime));
  for (int presses = 0; presses < 3 && ghostChoice != ghostOfFriend; presses++) keyboard('g', 0, 0);
  EXPECT_EQ(ghostChoice, ghostOfFriend);
  setPause(stateRunning);
  holdGameClock(now += 1000);
  idle();
  EXPECT_EQ(std::make_tuple(ghostPlaced, ghostPose.position.x, ghostPose.position.z),
            std::make_tuple(true, track->waypoints[1].x, track->waypoints[1].z));
  endGame();
  EXPECT_FALSE(ghostPlaced) << "a race chosen next would show it";
  std::filesystem::remove(path);
  std::filesystem::remove(damaged);
}

// A long track's gold lap is driven aside: the race starts without it, and its steps take the
// targets once they are there, kept for the next game.
TEST(TimeTrial, ALongTracksGoldLapIsDrivenAsideAndTakenByTheSteps) {
  std::string file = std::string(std::getenv("XDG_DATA_HOME")) + "/long.tck";
  std::ofstream(file) << trackFileText(generatedWaypoints(12000, 7));
  startGame(file);
  EXPECT_FALSE(targetsKnown) << "the first frame does not wait for the gold lap";
  for (int i = 0; i < 3000 && !targetsKnown; i++) stepTimeTrial(1.0f), SDL_Delay(5);
  EXPECT_TRUE(targetsKnown && lapTargets.gold > track->length() / 160.0f) << lapTargets.gold;
  EXPECT_TRUE(std::filesystem::exists(targetsPath(recordsFolder(), trackKey(*track))));
  endGame();
  std::filesystem::remove(file);
}

// Closed as a race's start closes it, its list forgotten.
static void leaveChooser() { closeChooser(), choosing = false, chooserEntries.clear(), chooserSelected = -1; }

// The chooser reads the selected track on its loader's thread while the frames go on. The frame
// loop's timer looks for the result while the loader still works, and the selection moves away
// and back meanwhile: the result is taken, under its lock, only once it is there, and for the
// entry it belongs to.
TEST(Chooser, ATrackReadAsideIsTakenOnlyWhenItHasCome) {
  std::string own = playerTracksFolder();
  std::filesystem::remove_all(own);  // nothing left by a run that died here
  std::filesystem::create_directories(own);
  const int32_t waypoints = 60000;  // long enough to read that the timer looks many times first
  std::ofstream(own + "/~large.tck") << trackFileText(generatedWaypoints(waypoints, 5));
  openChooser();
  int32_t last = int32_t(chooserEntries.size()) - 1;
  ASSERT_EQ(chooserEntries[size_t(last)].path, own + "/~large.tck");
  chooserSpecialKey(GLUT_KEY_END, 0, 0);
  for (int key : {GLUT_KEY_UP, GLUT_KEY_END, GLUT_KEY_HOME, GLUT_KEY_END}) {
    glutMainLoopEvent();
    chooserSpecialKey(key, 0, 0);
  }
  for (int i = 0; i < 3000 && chooserShape == nullptr; i++) {
    glutMainLoopEvent();
    EXPECT_EQ(chooserEntries[size_t(last)].judged, chooserShape != nullptr);
    SDL_Delay(5);
  }
  ASSERT_NE(chooserShape, nullptr);
  EXPECT_EQ(std::make_tuple(chooserShape->waypointCount, chooserEntries[size_t(last)].waypoints,
                            chooserEntries[size_t(last)].message),
            std::make_tuple(waypoints, waypoints, ""));
  chooserSpecialKey(GLUT_KEY_HOME, 0, 0);  // the first entry's is taken as any other's
  for (int i = 0; i < 3000 && !chooserEntries[0].judged; i++) glutMainLoopEvent(), SDL_Delay(5);
  EXPECT_TRUE(chooserEntries[0].judged);
  leaveChooser();
  std::filesystem::remove(own + "/~large.tck");
}

// The folders listed again while a track is read aside: what was read for the entry's old place
// is not taken for the track that stands there now.
TEST(Chooser, AShapeReadBeforeTheListWasMadeAgainIsNotTakenForAnother) {
  std::string own = playerTracksFolder();
  std::filesystem::remove_all(own);  // nothing left by a run that died here
  std::filesystem::create_directories(own);
  std::ofstream(own + "/~large.tck") << trackFileText(generatedWaypoints(60000, 5));
  openChooser();
  chooserSpecialKey(GLUT_KEY_END, 0, 0);
  int32_t place = chooserSelected;
  std::ofstream(own + "/~a.tck") << trackFileText(generatedWaypoints(30000, 6));  // listed before it
  listTracksAgain(own + "/~a.tck");
  ASSERT_EQ(chooserSelected, place);
  for (int i = 0; i < 3000 && !chooserEntries[size_t(place)].judged; i++) glutMainLoopEvent(), SDL_Delay(5);
  EXPECT_EQ(chooserEntries[size_t(place)].waypoints, 30000);
  std::filesystem::remove(own + "/~a.tck");  // gone before its race: the chooser stays and says so
  chooserKeyboard(keyEnter, 0, 0);
  EXPECT_EQ(std::tie(chooserEntries[size_t(place)].message, choosing), std::make_tuple("Can't open track file", true));
  leaveChooser();
  std::filesystem::remove(own + "/~large.tck");
}

// Each title is the second line alone, a carriage return before its line end no part of it, and
// as long as a title may be, read from a file as large as is read; a file whose first line is not
// the header, or that cannot be read (here, a process's memory at its unmapped start), is listed
// with the game's own words, on one line.
TEST(Chooser, TitlesAreTheSecondLineWhateverItsLineEnd) {
  char made[] = "/tmp/zarvanto-titles-XXXXXX";  // its own, as test runs may share the machine
  ASSERT_NE(mkdtemp(made), nullptr);
  std::string folder = made;
  std::ofstream(folder + "/a.tck") << "#Track\r\nRound the lake\r\n0 0 0\r\n0 100 0\r\n100 100 0\r\n";
  std::ofstream(folder + "/b.tck") << "#Trak\nBeach\n0 0 0\n0 100 0\n100 100 0\n";
  std::filesystem::create_symlink("/proc/self/mem", folder + "/c.tck");
  std::string longest(maxTitleLength, 'd');
  std::ofstream(folder + "/d.tck") << "#Track\n" << longest << "\n0 0 0\n0 100 0\n100 100 0\n";
  std::ofstream(folder + "/e.tck") << "#Track\nlarge\n";  // sparse, as large as is read
  std::filesystem::resize_file(folder + "/e.tck", uintmax_t(maxTrackFileBytes));
  std::vector<ChooserEntry> entries;
  listTracks(folder, &entries);
  std::filesystem::remove_all(folder);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(std::tie(entries[0].title, entries[0].message, entries[1].message, entries[2].message, entries[3].title,
                     entries[4].title, entries[4].message),
            std::make_tuple("Round the lake", "", "Invalid track file", "Can't open track file", longest, "large", ""));
}

// A settings file out of the chooser's ranges is not its own: nothing of it is taken, and leaving
// the chooser, which keeps the settings in it, leaves it as it is. Its own file may say no
// opponents, and the last line of a kind stands.
TEST(Chooser, SettingsOutOfRangeAreLeftAsTheyAre) {
  std::string folder = playerConfigFolder(), first = "race 1\nlaps 99\nlevel hard\nopponents 0\nopponents 7\n";
  std::filesystem::create_directories(folder);
  quitGame = [] {};  // the game stays for the next test
  for (std::string text : {first.c_str(), "laps 0\n", "laps 100\n", "race 2\n", "level fast\n", "opponents 8\n"}) {
    std::ofstream(folder + "/chooser") << text;
    openChooser();
    chooserKeyboard(keyEscape, 0, 0);
    leaveChooser();
    std::string kept = fileText(folder + "/chooser");
    EXPECT_EQ(std::make_tuple(text, chooserRace, chooserLaps, int(chooserLevel), chooserOpponents, kept == text),
              std::make_tuple(text, true, 99, levelCount - 1, 7, text != first));  // the text names the case
  }
  std::filesystem::remove(folder + "/chooser");
}

// A click picks the title or the number of opponents drawn under the pointer; an empty row, nothing.
TEST(Chooser, AClickPicksWhatIsDrawnUnderIt) {
  const float top = 0.41421356f;  // the overlay plane's top: tan(22.5 degrees)
  auto pixelY = [top](float up) { return int(std::lround((1.0f - up / top) * float(windowHeight) / 2.0f)); };
  reshape(500, 400);
  openChooser();
  int32_t row = chooserSelected == chooserFirstRow + 1 ? 2 : 1;
  chooserMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, windowWidth * 9 / 20, pixelY(chooserListTop - float(row) * chooserRowStep));
  EXPECT_EQ(chooserSelected, chooserFirstRow + row);
  chooserEntries.resize(size_t(chooserFirstRow + row + 2), chooserEntries[0]);  // the titles end a row below the pick
  chooserMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 9, pixelY(chooserListTop - float(row + 2) * chooserRowStep));
  EXPECT_EQ(chooserSelected, chooserFirstRow + row);
  chooserEntries.resize(size_t(chooserFirstRow + chooserRows + 1), chooserEntries[0]);  // a title below the rows
  chooserMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 9, pixelY(chooserListTop - float(chooserRows) * chooserRowStep));
  EXPECT_EQ(chooserSelected, chooserFirstRow + row);
  chooserMouse(4, GLUT_DOWN, 0, 0);  // GLUT's button for the wheel turned down: the next title
  EXPECT_EQ(chooserSelected, chooserFirstRow + row + 1);
  // 5; three quarters of a step after the last number and before the first, which are beside the
  // numbers; the last number.
  for (float step : {5.0f, maxOpponents + 0.75f, -0.75f, float(maxOpponents)}) {
    float across = (chooserOpponentsX(aspectRatio) + step * chooserOpponentStep) / (top * aspectRatio);
    chooserMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, int(std::lround((across + 1) * windowWidth / 2)),
                 pixelY(chooserOpponentsLine));
    EXPECT_EQ(chooserOpponents, step == float(maxOpponents) ? maxOpponents : 5) << step;
  }
  leaveChooser();
}

// Pads as SDL attaches them in process: virtual, with the standard layout SDL maps by itself. Each
// test opens SDL's pads as start-up does; the race's tear-down closes them as the exit does.
class Pad : public Play {
 protected:
  // The pad, as the game opens it at its next poll.
  SDL_Joystick* attach() {
    SDL_VirtualJoystickDesc pad{};
    pad.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    pad.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    pad.naxes = SDL_CONTROLLER_AXIS_MAX;
    pad.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    pad.userdata = this;
    pad.Rumble = [](void* test, Uint16 low, Uint16) { return static_cast<Pad*>(test)->rumbled = low, 0; };
    SDL_Joystick* joystick = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&pad));
    applyGamepadActions();
    return joystick;
  }
  // The stick or trigger moved to that travel, seen by the poll that follows.
  void move(SDL_Joystick* pad, SDL_GameControllerAxis axis, int travel) {
    SDL_JoystickSetVirtualAxis(pad, axis, Sint16(travel));
    applyGamepadActions();
  }
  // Pressed and let go, each seen by the poll between steps that follows it.
  void press(SDL_Joystick* pad, SDL_GameControllerButton button) {
    for (Uint8 down : {1, 0}) {
      SDL_JoystickSetVirtualButton(pad, button, down);
      applyGamepadActions();
    }
  }
  int rumbled = -1;  // the heavy motor's strength asked for last; -1 before any
};

TEST_F(Pad, TheStickSteersBeyondItsDeadZoneUpToTheMouseAtTheEdgeAndOnlyWhenMovedLast) {
  const char guid[] = "03000000de1a0000ad0b000000000000";  // a pad only the player's own mappings know
  std::filesystem::create_directories(playerConfigFolder());
  std::ofstream(playerConfigFolder() + "/gamecontrollerdb.txt") << guid << ",Own Pad,a:b0,platform:Linux,\n";
  testing::internal::CaptureStderr();
  ASSERT_TRUE(openGamepads());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(guid));
  EXPECT_NE(mapping, nullptr);
  SDL_free(mapping);
  std::filesystem::remove(playerConfigFolder() + "/gamecontrollerdb.txt");
  SDL_Joystick* pad = attach();
  press(pad, SDL_CONTROLLER_BUTTON_A);  // resumes at 5 a second
  auto steer = [&](int travel) { return move(pad, SDL_CONTROLLER_AXIS_LEFTX, travel), player->turnRate; };
  const float edge = float(250 * pi / 180.0 * 0.5);  // the mouse at the edge of the 500-pixel window
  EXPECT_FLOAT_EQ(steer(-32768), edge);
  passiveMotion(200, 0);
  EXPECT_FLOAT_EQ(steer(-32768), float(50 * pi / 180.0 * 0.5)) << "the mouse steered last, the stick held";
  EXPECT_NEAR(steer(18022), -edge / 4, 1e-4f) << "half the travel beyond the dead zone, to the right";
  EXPECT_EQ(steer(3200), 0.0f) << "in the dead zone";
  // Reading a steered pad every step takes no memory, in SDL either.
  int held = SDL_GetNumAllocations();
  for (int i = 0; i < 200; i++) steer(i * 300 - 30000);
  EXPECT_EQ(SDL_GetNumAllocations(), held);
}

// A pad's button does what its key does, through the same action: the same race driven once by
// keys and once by buttons passes through the same states. The design's callbacks act at once.
TEST_F(Pad, EachButtonDoesWhatItsKeyDoes) {
  ASSERT_TRUE(openGamepads());
  SDL_Joystick* pad = attach();
  const struct {
    SDL_GameControllerButton button;
    int key;  // an ordinary key, or a GLUT special key plus 1000
  } inputs[] = {{SDL_CONTROLLER_BUTTON_A, 1000 + GLUT_KEY_UP},
                {SDL_CONTROLLER_BUTTON_A, 1000 + GLUT_KEY_UP},
                {SDL_CONTROLLER_BUTTON_X, 1000 + GLUT_KEY_DOWN},
                {SDL_CONTROLLER_BUTTON_B, ' '},
                {SDL_CONTROLLER_BUTTON_A, 1000 + GLUT_KEY_UP},
                {SDL_CONTROLLER_BUTTON_Y, 'r'},
                {SDL_CONTROLLER_BUTTON_START, 'p'},
                {SDL_CONTROLLER_BUTTON_START, 'p'},
                {SDL_CONTROLLER_BUTTON_BACK, 'h'},
                {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1000 + GLUT_KEY_F2},
                {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1000 + GLUT_KEY_F3},
                {SDL_CONTROLLER_BUTTON_DPAD_UP, 1000 + GLUT_KEY_F8},    // from the helicopter, the next view
                {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 1000 + GLUT_KEY_F7},  // and back
                {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, '1'},
                {SDL_CONTROLLER_BUTTON_DPAD_LEFT, '0'}};
  std::vector<std::tuple<float, uint8_t, uint8_t, uint8_t, bool, float>> byKeys, byButtons;
  for (bool buttons : {false, true}) {
    resetRace();
    displayFlags = startDisplayFlags;
    for (auto input : inputs) {
      if (buttons)
        press(pad, input.button);
      else if (input.key >= 1000)
        specialKey(input.key - 1000, 0, 0);
      else
        keyboard(static_cast<unsigned char>(input.key), 0, 0);
      (buttons ? byButtons : byKeys)
          .emplace_back(player->speed, pauseState, displayFlags, camera->mode, camera->car == player, player->heading);
    }
  }
  EXPECT_EQ(byButtons, byKeys);
  EXPECT_EQ(std::make_tuple(std::get<0>(byKeys[4]), std::get<1>(byKeys[6]), std::get<3>(byKeys[11])),
            std::make_tuple(5.0f, uint8_t(statePaused), uint8_t(cameraTrack)));
}

// Any pad drives, one plugged in while racing at once; pulling one out pauses the race.
TEST_F(Pad, ButtonsStepTheSpeedPauseResumeAndStartANewRaceAfterACrashThatRumbles) {
  openGamepads();
  SDL_Joystick* pad = attach();
  for (auto [button, speed] : {std::pair{SDL_CONTROLLER_BUTTON_A, 5},
                               {SDL_CONTROLLER_BUTTON_A, 10},
                               {SDL_CONTROLLER_BUTTON_X, 5},
                               {SDL_CONTROLLER_BUTTON_B, 0},
                               {SDL_CONTROLLER_BUTTON_A, 5}}) {
    press(pad, button);
    EXPECT_EQ(player->speed, speed) << int(button);
  }
  // The right trigger pulled past half way, moved while held (no second step), let go, and pulled just past
  // half way again: SDL reads its travel from -32768 as 0 to 32767.
  for (int pull : {32767, 20000, -32768, 8000, -32768}) move(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, pull);
  move(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);  // at 20 now; the left one steps down
  EXPECT_EQ(player->speed, 10.0f);
  for (uint8_t state : {statePaused, stateRunning}) {
    press(pad, SDL_CONTROLLER_BUTTON_START);
    EXPECT_EQ(pauseState, state);
  }
  crash();
  EXPECT_EQ(std::make_pair(pauseState, rumbled), std::make_pair(uint8_t(stateCrashed), 0xffff));
  press(pad, SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(pauseState, statePaused) << "a new race";
  SDL_Joystick* second = attach();
  press(second, SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(player->speed, 5.0f) << "a pad plugged in while racing";
  SDL_JoystickDetachVirtual(SDL_NumJoysticks() - 2);  // the first pad: virtual pads come last, as attached
  applyGamepadActions();
  EXPECT_EQ(pauseState, statePaused) << "a pad pulled out";
}

}  // namespace
