// Races against rivals, stepped in process at fixed steps with the clock held: the rivals at every
// level finish on the road, on no crash slope and through no car, round a parked player; the
// countdown holds every car; places follow the distance covered; and the levels are told apart by
// a player who holds one speed along the centre line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/player.h"
#include "contest/contest.h"
#include "events/race_events.h"
#include "records/race_record.h"
#include "rivals/rival.h"
#include "targets/targets.h"
#include "test_support.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

constexpr float step = 0.01f;  // seconds a step

struct RaceRecord {
  float worstPitch = 0.0f;     // radians, over every rival and step
  float fastest = 0.0f;        // units per second, the most any rival went
  float closest = 1e30f;       // units between two cars' reference points, once racing
  int offRoad = 0;             // rival steps on ground, not road
  float finish[maxCars] = {};  // race seconds; 0 for a car that did not finish
  bool allFinished = false;
  bool placesFollowDistance = true;
};

class Race : public ::testing::Test {
 protected:
  void start(const char* name, int32_t rivals, int32_t laps, uint8_t level) {
    track = new TTrack();
    ASSERT_EQ(track->load((std::string(ZARVANTO_TRACKS_DIR) + "/" + name).c_str()), loadOk);
    carCount = rivals + 1;
    cars = new TCar*[carCount]();
    raceLaps = laps;
    raceLevel = level;
    holdGameClock(1000);
    resetRace();
  }
  void TearDown() override {
    releaseRace();
    raceLaps = 0;
    holdGameClock(-1);
  }

  // Steps until every car but the player finished, or the time runs out; the player drives by
  // steerPlayer when given.
  RaceRecord run(float seconds, void (*steerPlayer)() = nullptr) {
    RaceRecord record;
    int64_t ms = 1000;
    for (int32_t n = 0; n * step < seconds; n++) {
      ms += 10;
      holdGameClock(ms);
      if (steerPlayer != nullptr && contestPhase == phaseRacing) steerPlayer();
      if (stepContest(step, gameClock())) break;
      if (contestPhase != phaseRacing) continue;
      bool done = true;
      for (int32_t i = 1; i < carCount; i++) {
        done = done && standings[i].finished;
        record.worstPitch = std::fmax(record.worstPitch, cars[i]->pitch);
        record.fastest = std::fmax(record.fastest, cars[i]->speed);
        const TTriangle* under = static_cast<TRival*>(cars[i])->triangle;
        if (under->colour[0] != roadGrey) record.offRoad++;
        for (int32_t j = 0; j < i; j++)
          record.closest = std::fmin(record.closest, std::hypot(cars[i]->position.x - cars[j]->position.x,
                                                                cars[i]->position.z - cars[j]->position.z));
      }
      for (int32_t p = 1; p < carCount; p++) {
        const TStanding &ahead = standings[raceOrder[p - 1]], &behind = standings[raceOrder[p]];
        if (!ahead.finished && !behind.finished && ahead.covered < behind.covered) record.placesFollowDistance = false;
      }
      if (done && (steerPlayer == nullptr || standings[0].finished)) break;
    }
    record.allFinished = true;
    for (int32_t i = 0; i < carCount; i++) {
      record.finish[i] = standings[i].finished ? standings[i].finishTime : 0.0f;
      if (i > 0) record.allFinished = record.allFinished && standings[i].finished;
    }
    return record;
  }

  // The results as the game prints them when the race ends, and how far each car got.
  static std::string results() {
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    printStandings(out);
    std::fclose(out);
    std::string printed(text, size);
    std::free(text);
    for (int32_t i = 0; i < carCount; i++) printed.append(" ").append(std::to_string(standings[i].covered));
    return printed + "\n";
  }
};

// The results of a test's races against the reviewed ones: a change to how rivals drive shows.
void expectReviewedResults(const std::string& name, const std::string& results) {
  EXPECT_EQ(results, reference(std::string(ZARVANTO_TEST_TRACKS) + "/" + name + ".txt", results));
}

// The player drives as a new player might: one speed held, the mouse steering at the centre line
// a little ahead, never sharper than the window's edge allows.
constexpr float heldSpeed = 60.0f;  // units per second
void holdSpeedOnTheCentreLine() {
  while (player->speed < heldSpeed) player->changeSpeed(1);
  int32_t leg = player->waypointIndex;
  float reach = std::fmax(alongLeg(*player), 0.0f) + 6.0f + 0.08f * heldSpeed;
  for (;;) {
    Vec3 a = track->waypoints[leg - 1], b = track->waypoints[leg];
    float length = std::hypot(b.x - a.x, b.z - a.z);
    if (reach <= length) {
      float x = a.x + (b.x - a.x) * reach / length, z = a.z + (b.z - a.z) * reach / length;
      float off = wrapAngle(std::atan2(x - player->position.x, z - player->position.z) - player->heading, float(-pi));
      float edge = pointerTurnRate(250);
      player->turnRate = std::fmax(-edge, std::fmin(edge, off * 8.0f));
      return;
    }
    reach -= length;
    leg = leg == track->waypointCount ? 1 : leg + 1;
  }
}

// Every level, with the player parked at the back of the grid: the rivals finish, on the road,
// never on a crash slope and never through a car, get round the parked player on their second
// lap, and are placed by the distance they cover; the results say so.
TEST_F(Race, RivalsFinishOnTheRoadRoundAParkedPlayer) {
  std::string printed;
  for (const char* name : {"Default.tck", "Hills.tck"})
    for (uint8_t level = 0; level < levelCount; level++) {
      SCOPED_TRACE(std::string(name) + " " + levelName(level));
      start(name, 3, 2, level);
      RaceRecord r = run(200.0f);
      EXPECT_TRUE(r.allFinished && r.worstPitch < crashPitch && r.closest > 1.2f) << r.worstPitch << " " << r.closest;
      EXPECT_EQ(std::make_tuple(r.offRoad, r.placesFollowDistance, playerPosition()), std::make_tuple(0, true, 4));
      printed += results();
      TearDown();
    }
  expectReviewedResults("race-parked", printed);
  // Places and cars beyond a race's eight, should a caller ask.
  std::string named = std::string(carName(-1)) + carName(maxCars);
  for (int32_t place : {1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 111, 2121}) named += ordinalSuffix(place);
  EXPECT_EQ(named, "??stndrdththththstndrdthst");
}

// A full grid of seven over one lap, the player parked: every rival finishes within two and a half
// times the lap at top speed, however the traffic falls, the levels in their order, only hard flat
// out, and the easy ones well behind the hard.
TEST_F(Race, InFullTrafficEveryRivalFinishesInTimeAndTheLevelsStayApart) {
  std::string printed;
  for (const char* name : {"Default.tck", "Hills.tck"}) {
    float first[levelCount];
    for (uint8_t level = 0; level < levelCount; level++) {
      SCOPED_TRACE(std::string(name) + " " + levelName(level));
      start(name, 7, 1, level);
      float topSpeedLap = track->length() / 160.0f;
      RaceRecord r = run(100.0f);
      ASSERT_TRUE(r.allFinished);
      first[level] = *std::min_element(r.finish + 1, r.finish + carCount);
      EXPECT_GT(first[level], topSpeedLap);
      EXPECT_LT(*std::max_element(r.finish + 1, r.finish + carCount), 2.5f * topSpeedLap);
      EXPECT_EQ(r.fastest == 160.0f, level == levelHard);  // the ladder's top
      printed += results();
      TearDown();
    }
    EXPECT_GT(first[levelEasy], 1.3f * first[levelHard]) << name;
    EXPECT_TRUE(first[levelEasy] > first[levelMedium] && first[levelMedium] > first[levelHard]) << name;
  }
  expectReviewedResults("race-full", printed);
}

// Two abreast behind the start line with the player last; the countdown holds every car, keeps
// the speed the player picks, and starts the clocks at go.
TEST_F(Race, CountdownHoldsTheGridUntilGo) {
  start("Default.tck", 7, 1, levelHard);
  for (int32_t i = 1; i < carCount; i++) EXPECT_GT(standings[i].covered, standings[0].covered);
  EXPECT_GT(gapAhead(), 0.0f);
  EXPECT_NEAR(std::hypot(cars[1]->position.x - cars[2]->position.x, cars[1]->position.z - cars[2]->position.z), 4.0f,
              0.01f);
  Vec3 places[maxCars];
  for (int32_t i = 0; i < carCount; i++) places[i] = cars[i]->position;
  for (int i = 0; i < 2; i++) player->changeSpeed(1);
  int32_t steps = 0;
  std::string counted;  // the countdown's events, 3 to 0 for go
  clearRaceEvents();
  while (contestPhase != phaseRacing && steps < 400) {
    for (int32_t i = 0; i < carCount; i++)
      EXPECT_EQ(std::tie(cars[i]->position.x, cars[i]->position.z), std::tie(places[i].x, places[i].z));
    stepContest(step, 5.0f);
    for (int32_t e = 0; e < raceEvents.count; e++) counted += char('0' + raceEvents.list[e].waypoint);
    clearRaceEvents();
    steps++;
  }
  EXPECT_NEAR(steps, 300, 1);
  EXPECT_EQ(std::make_tuple(counted, lapStartTime, player->speed), std::make_tuple("3210", 5.0f, 10.0f));
  stepContest(step, 5.01f);
  EXPECT_NE(player->position.z, places[0].z);
  EXPECT_FLOAT_EQ(raceTime, step);
}

// An easy rival a little ahead of a player driving at a pace eases to the ladder's step under nine
// tenths of their speed and keeps to the other side of the road until they are by: it lets them
// pass without stopping for them.
TEST_F(Race, AnEasyRivalEasesOffForAPlayerAtAPace) {
  start("Default.tck", 1, 1, levelEasy);
  for (int32_t n = 0; n < 301; n++) stepContest(step, 2.0f);
  ASSERT_EQ(contestPhase, phaseRacing);
  TRival* rival = static_cast<TRival*>(cars[1]);
  Vec3 from = track->waypoints[0], to = track->waypoints[1];
  float length = distance(from, to), dx = (to.x - from.x) / length, dz = (to.z - from.z) / length;
  player->position = {from.x - 0.5f * dz, from.y, from.z + 0.5f * dx};  // just right of the line
  player->setMotion(60.0f, std::atan2(dx, dz), player->pitch);
  rival->standAt({from.x + 25.0f * dx, from.y, from.z + 25.0f * dz}, player->heading);
  rival->setMotion(40.0f, player->heading, rival->pitch);
  for (int32_t n = 0; n < 60; n++) {
    stepContest(step, 2.0f);
    ASSERT_EQ(rival->speed, 40.0f) << n;
  }
  EXPECT_EQ(rival->lane, -2.0f);
}

// A waypoint driven past is named until the player goes back to it; the race does not count it.
TEST_F(Race, AMissedWaypointIsShownUntilReached) {
  start("Default.tck", 1, 1, levelEasy);
  for (int32_t n = 0; n < 301; n++) stepContest(step, 2.0f);
  ASSERT_EQ(contestPhase, phaseRacing);
  Vec3 missed = track->waypoints[1], beyond = track->waypoints[2];
  float f = 9.0f / std::hypot(beyond.x - missed.x, beyond.z - missed.z);  // just out of the 8 units that reach it
  player->position = {missed.x + f * (beyond.x - missed.x), missed.y, missed.z + f * (beyond.z - missed.z)};
  player->changeSpeed(1);
  stepContest(step, 2.0f);
  EXPECT_EQ(missedWaypoint, 1);
  Vec3 start = track->waypoints[0];
  EXPECT_LE(standings[0].covered, std::hypot(missed.x - start.x, missed.z - start.z) + 0.01f);  // no further
  player->position = missed;
  stepContest(step, 2.0f);
  EXPECT_EQ(std::make_tuple(missedWaypoint, player->waypointIndex), std::make_tuple(-1, 2));
}

// A player holding 60 along the centre line beats every easy rival over three laps of Default (they
// let a player driving at a pace by), and no hard one.
TEST_F(Race, ASteadyPlayerBeatsEasyRivalsButNotHardOnes) {
  start("Default.tck", 3, 3, levelEasy);
  run(200.0f, holdSpeedOnTheCentreLine);
  EXPECT_EQ(playerPosition(), 1);
  std::string printed = results();
  TearDown();
  start("Default.tck", 3, 3, levelHard);
  run(200.0f, holdSpeedOnTheCentreLine);
  EXPECT_EQ(playerPosition(), 4);
  expectReviewedResults("race-steady", printed + results());
}

// The best race of each lap count and level is kept, replaced only by a faster one; a file there
// that is not the game's is left as it is.
TEST(RaceRecords, TheBestOfEachLapsAndLevelKeptTheSafeWay) {
  char folder[] = "/tmp/zarvanto-races-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  std::string message, path = raceRecordPath(folder, "k");
  EXPECT_TRUE(keepRaceBest(folder, "k", "Ring", RaceBest{1, "hard", 61.5f, "d1"}, &message));
  EXPECT_FALSE(keepRaceBest(folder, "k", "Ring", RaceBest{1, "hard", 62.0f, "d2"}, &message));
  EXPECT_TRUE(keepRaceBest(folder, "k", "Ring", RaceBest{99, "easy", 0.5f, "d3"}, &message));
  EXPECT_TRUE(keepRaceBest(folder, "k", "Ring", RaceBest{1, "hard", 60.0f, "d4"}, &message));
  std::vector<RaceBest> bests;
  ASSERT_EQ(readRaceBests(path, "k", &bests, &message), recordRead);
  ASSERT_EQ(bests.size(), 2u);
  EXPECT_EQ(std::tie(bests[0].time, bests[0].date, bests[1].level), std::make_tuple(60.0f, "d4", "easy"));
  EXPECT_EQ(readRaceBests(path, "other", &bests, &message), recordRefused);
  // Laps out of the chooser's 1 to 99, and times no lap can take, are no race times of the game's.
  for (std::string bad : {"0 hard 1", "100 hard 1", "1 hard 0", "1 hard 2147483648", "1 hard nan"}) {
    std::string garbage = "#Zarvanto races 1\ntrack k\ntitle Ring\nrace " + bad + " d\n";
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fputs(garbage.c_str(), file), std::fclose(file);
    EXPECT_FALSE(keepRaceBest(folder, "k", "Ring", RaceBest{1, "hard", 1.0f, "d5"}, &message));
    EXPECT_EQ(message, path + ": not a file of race times, left as it is") << bad;
    EXPECT_EQ(fileText(path), garbage);
  }
  std::remove(path.c_str());
  ASSERT_EQ(symlink("/proc/self/mem", path.c_str()), 0);  // a file that can't be read: memory unmapped at its start
  EXPECT_EQ(readRaceBests(path, "k", &bests, &message), recordRefused);
  EXPECT_EQ(message, path + ": can't be read: Input/output error, left as it is");
  std::remove(path.c_str());
  // No file can be made in a process's folder: the time is not kept, and the message says why.
  EXPECT_FALSE(keepRaceBest("/proc/self", "k", "Ring", RaceBest{1, "hard", 1.0f, "d6"}, &message));
  EXPECT_EQ(message, raceRecordPath("/proc/self", "k") + ": the race time can't be kept: No such file or directory");
  rmdir(folder);
}

// --race and --level are taken out wherever they stand; bad values are refused.
TEST(RaceOptions, TakenAnywhereAndBadValuesRefused) {
  char game[] = "zarvanto", race[] = "--race", laps[] = "3", level[] = "--level", hard[] = "hard", file[] = "a.tck",
       rivals[] = "5";
  char* argv[] = {game, file, race, laps, rivals, level, hard, nullptr};
  int argc = 7;
  ASSERT_TRUE(takeRaceOptions(&argc, argv));
  EXPECT_EQ(std::make_tuple(argc, std::string(argv[1]), std::string(argv[2]), raceLaps, raceLevel),
            std::make_tuple(3, "a.tck", "5", 3, uint8_t(levelHard)));
  // Each line's words split where its spaces are, so "--race " ends in an empty one.
  for (const char* words :
       {"--race 0", "--race 100", "--race 2x", "--race ", "--level hard", "--race", "--race 3 --level fast"}) {
    std::string bad = words;
    std::vector<char*> line = {game, bad.data()};
    for (char& c : bad)
      if (c == ' ') c = '\0', line.push_back(&c + 1);
    int count = int(line.size());
    line.push_back(nullptr);
    EXPECT_FALSE(takeRaceOptions(&count, line.data())) << words;
  }
  raceLaps = 0;
  raceLevel = levelMedium;
}

// The gold lap is the hard rival's own: its ghost runs from the start round every waypoint back
// to it on the road, over the ground no faster than the top speed, and the same rival racing one lap from the
// grid, with the player parked behind it, is no faster than gold and within half as much again.
TEST_F(Race, TheGoldLapIsTheHardRivalsFlyingLap) {
  for (const char* name : {"Default.tck", "Flat.tck", "Hills.tck"}) {
    SCOPED_TRACE(name);
    start(name, 1, 1, levelHard);
    float gold = 0.0f;
    std::vector<GhostSample> ghost;
    ASSERT_TRUE(driveGoldLap(*track, &gold, &ghost));
    EXPECT_TRUE(gold >= track->length() / 160.0f && std::fabs(ghost.back().lapTime - gold) <= 0.01f) << gold;
    for (Vec3 end : {ghost[0].position, ghost.back().position}) EXPECT_LE(distance(end, track->waypoints[0]), 8.0f);
    int32_t next = 1;
    for (size_t i = 0; i < ghost.size(); i++) {
      const TTriangle* under = track->findTriangle(ghost[i].position.x, ghost[i].position.y, ghost[i].position.z);
      EXPECT_EQ(under->colour[0], roadGrey) << i;
      if (i > 0) {
        Vec3 a = ghost[i - 1].position, b = ghost[i].position;
        EXPECT_LE(std::hypot(b.x - a.x, b.z - a.z), 160.0f * (ghost[i].lapTime - ghost[i - 1].lapTime) + 0.01f);
      }
      if (next < track->waypointCount && distance(ghost[i].position, track->waypoints[next]) <= 10.0f) next++;
    }
    EXPECT_EQ(next, track->waypointCount);
    float again = 0.0f;
    EXPECT_TRUE(driveGoldLap(*track, &again, &ghost) && again == gold) << again;
    RaceRecord r = run(100.0f);
    ASSERT_GT(r.finish[1], 0.0f);
    EXPECT_TRUE(r.finish[1] >= gold && r.finish[1] <= 1.5f * gold) << r.finish[1] << " " << gold;
    TearDown();
  }
}

// A lap as long as a target has not beaten it: each medal is won only below its time.
TEST(Medals, WonOnlyBelowTheirTimes) {
  LapTargets t = targetsFromGold(10.0f);
  for (auto [lap, medal] :
       {std::pair{9.99f, medalGold}, {10.0f, medalSilver}, {t.silver, medalBronze}, {t.bronze, medalNone}})
    EXPECT_EQ(medalWon(lap, t), medal) << lap;
}

}  // namespace
