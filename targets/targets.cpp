// The gold lap driven headless, and the medals measured against it.
#include "targets/targets.h"

#include <cmath>
#include <cstring>

#include "cars/player.h"
#include "rivals/rival.h"
#include "track/track.h"

constexpr float crawlPace = 20.0f;  // units per second: a rival slower than this on average is stuck
constexpr float spareTime = 60.0f;  // seconds allowed on top, for the start and a short track's bends

LapTargets targetsFromGold(float gold) { return LapTargets{gold, gold * silverFactor, gold * bronzeFactor}; }

uint8_t medalWon(float lapTime, const LapTargets& targets) {
  if (lapTime < targets.gold) return medalGold;
  if (lapTime < targets.silver) return medalSilver;
  if (lapTime < targets.bronze) return medalBronze;
  return medalNone;
}

uint8_t nextMedal(uint8_t won, const LapTargets& targets, float* time) {
  switch (won) {
    case medalNone: *time = targets.bronze; return medalBronze;
    case medalBronze: *time = targets.silver; return medalSilver;
    case medalSilver: *time = targets.gold; return medalGold;
    default: return medalNone;
  }
}

// The lap as a target: never faster than the top speed held along the centre line, which a rival
// cutting the inside of a bend by a unit can undercut, and rounded up to the hundredths it is
// shown in, so a lap that shows the target's time has not beaten it.
static float goldTime(const TTrack& track, float lapTime) {
  float top = 0.0f;
  for (float up = ladderSpeed(0.0f, 1); up != top; up = ladderSpeed(top, 1)) top = up;
  double held = std::fmax(double(lapTime), double(track.length()) / double(top));
  return float(std::ceil(held * 100.0 - 1e-3) / 100.0);
}

bool driveGoldLap(const TTrack& track, float* lapTime, std::vector<GhostSample>* ghost) {
  // Alone on the road: no car to go round, and no other state of the game touched.
  TRival rival(1.0f, 1.0f, 1.0f, levelHard, &track, nullptr, 0);
  GhostLap lap;
  makeGhostLap(&lap);
  long long limit = (long long)((2.0f * track.length() / crawlPace + spareTime) / targetStep);
  long long flyingStart = -1;  // the step the first lap closed at
  for (long long step = 1; step <= limit; step++) {
    int32_t before = rival.waypointIndex;
    rival.update(targetStep);
    bool closed = before == track.waypointCount && rival.waypointIndex == 1;
    if (flyingStart >= 0) {
      // Whole steps counted, so the time is the same however long the run.
      float t = float(double(step - flyingStart) * double(targetStep));
      sampleGhostLap(&lap, t, rival.position, rival.heading, closed);
      if (closed) {
        *lapTime = goldTime(track, t);
        ghost->assign(lap.samples.begin(), lap.samples.begin() + lap.count);
        return true;
      }
    } else if (closed) {
      flyingStart = step;
      sampleGhostLap(&lap, 0.0f, rival.position, rival.heading, false);
    }
  }
  return false;
}
