// The shell's pure parts: reading the opponents argument and writing lap times.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <utility>

#include "app/game.h"
#include "events/race_events.h"
#include "ghost/ghost.h"
#include "records/record.h"
#include "tests/test_support.h"

namespace {

TEST(OpponentArgument, ReadsLikeAtoiButNeverOverflows) {
  const char* texts[] = {"3", "  +5", "3x", "abc", "- 4", "99999999999999999999", "-99999999999999999999"};
  const int counts[] = {3, 5, 3, 0, 0, INT_MAX, INT_MIN};
  for (int i = 0; i < 7; i++) EXPECT_EQ(readOpponentArgument(texts[i]), counts[i]) << texts[i];
}

std::string timeText(float seconds) {
  char text[16];
  formatTime(seconds, text);
  return text;
}

TEST(LapTimeText, MinutesAndUnpaddedSeconds) {
  // The largest time still written out fits; a negative time is truncated towards zero, as a clock
  // that went back would show.
  for (auto [time, text] : {std::pair{0.0f, "0:0"},
                            {59.99f, "0:59"},
                            {65.0f, "1:5"},
                            {3600.0f, "60:0"},
                            {2147483648.0f, "35791394:8"},
                            {std::numeric_limits<float>::max(), "-"},
                            {-5.5f, "0:-5"}})
    EXPECT_EQ(timeText(time), text);
}

// The ghost stands on each sample at its time and on the straight between neighbours, turned the
// shorter way round (here across the half turn); outside the kept lap it has no place.
TEST(Ghost, StandsOnItsSamplesAndBetweenThem) {
  const GhostSample lap[] = {{0.0f, {2, 1, -1}, 3.0f}, {0.5f, {10, 2, -4}, -3.0f}, {1.5f, {30, 2, -4}, -3.0f}};
  GhostSample pose;
  for (const GhostSample& sample : lap) {
    ASSERT_TRUE(ghostPoseAt(lap, 3, sample.lapTime, &pose));
    expectNear(pose.position, sample.position, 0.0f);
    EXPECT_EQ(pose.heading, sample.heading);
  }
  ASSERT_TRUE(ghostPoseAt(lap, 3, 0.25f, &pose));
  expectNear(pose.position, {6.0f, 1.5f, -2.5f}, 1e-6f);
  EXPECT_NEAR(pose.heading, pi, 1e-5);
  for (auto [n, t] : {std::pair{3, -0.01f}, {3, 1.51f}, {0, 0.0f}}) EXPECT_FALSE(ghostPoseAt(lap, n, t, &pose)) << t;
}

// A step that reports more than the list holds keeps its first events and its newest.
TEST(RaceEventList, AFullListKeepsTheNewestInItsLastPlace) {
  clearRaceEvents();
  for (int32_t i = 0; i < maxRaceEvents + 2; i++) reportRaceEvent(eventWaypointReached, i, 0.0f, 0.0f);
  EXPECT_EQ(std::make_tuple(raceEvents.count, raceEvents.list[0].waypoint, raceEvents.list[maxRaceEvents - 1].waypoint),
            std::make_tuple(maxRaceEvents, 0, maxRaceEvents + 1));
  clearRaceEvents();
}

}  // namespace
