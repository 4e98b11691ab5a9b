// Sampling the player's lap and playing a kept one back.
#include "ghost/ghost.h"

#include <algorithm>

void makeGhostLap(GhostLap* lap) {
  lap->samples.resize(size_t(maxGhostSamples));
  lap->count = 0;
}

void startGhostLap(GhostLap* lap) { lap->count = 0; }

void sampleGhostLap(GhostLap* lap, float lapTime, Vec3 position, float heading, bool last) {
  if (lap->count >= int32_t(lap->samples.size())) return;
  if (lap->count > 0) {
    float previous = lap->samples[size_t(lap->count - 1)].lapTime;
    if (lapTime <= previous || (!last && lapTime < previous + ghostSamplePeriod)) return;
  }
  lap->samples[size_t(lap->count++)] = GhostSample{lapTime, position, heading};
}

bool ghostPoseAt(const GhostSample* samples, int32_t count, float lapTime, GhostSample* pose) {
  if (count <= 0 || !(lapTime >= samples[0].lapTime) || lapTime > samples[count - 1].lapTime) return false;
  // The first sample after lapTime; the one before it is at or before lapTime.
  const GhostSample* after =
      std::upper_bound(samples, samples + count, lapTime, [](float t, const GhostSample& s) { return t < s.lapTime; });
  if (after == samples + count) {
    *pose = samples[count - 1];
    return true;
  }
  const GhostSample& a = after[-1];
  const GhostSample& b = *after;
  float f = (lapTime - a.lapTime) / (b.lapTime - a.lapTime);
  float turn = wrapAngle(b.heading - a.heading, float(-pi));
  *pose =
      GhostSample{lapTime,
                  {a.position.x + f * (b.position.x - a.position.x), a.position.y + f * (b.position.y - a.position.y),
                   a.position.z + f * (b.position.z - a.position.z)},
                  a.heading + f * turn};
  return true;
}
