// Times to aim for on any track, imported ones included: the hard rival's flying lap, driven
// alone in fixed steps without a window, is gold; silver and bronze leave a player the time the
// slower rivals' top speeds lose to it.
#pragma once

#include <cstdint>
#include <vector>

#include "ghost/ghost.h"
#include "records/record.h"

class TTrack;

// The medium and easy rivals top out at 140 and 120 where the hard one reaches 160: over a lap
// driven flat out that costs them 160/140 and 160/120 of its time, about 1.14 and 1.33. Silver
// and bronze ask that pace of the player, rounded up a little for a car steered by hand.
constexpr float silverFactor = 1.15f;
constexpr float bronzeFactor = 1.35f;
constexpr float targetStep = 0.01f;  // seconds of one simulated step, as the race tests drive

struct LapTargets {
  float gold;    // seconds: the hard rival's flying lap
  float silver;  // seconds: gold times silverFactor
  float bronze;  // seconds: gold times bronzeFactor
};

LapTargets targetsFromGold(float gold);
// The best medal whose time the lap beats, strictly faster; medalNone when it beats none.
uint8_t medalWon(float lapTime, const LapTargets& targets);
// The next medal above the one won and its time; medalNone when gold is won.
uint8_t nextMedal(uint8_t won, const LapTargets& targets, float* time);
// The hard rival's flying lap on a meshed track: it starts standing on waypoint 0, drives one lap
// to come up to speed and is timed over the next, its ghost sampled as the player's is. The time
// is held to the top speed's lap round the centre line at least and rounded up to hundredths. False
// when it does not close both laps at a crawl's pace, as on a road it can't find its way round.
bool driveGoldLap(const TTrack& track, float* lapTime, std::vector<GhostSample>* ghost);
