// The ghost: a lap sampled as the player drives it, and a kept lap played back by lap time.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vector.h"

struct GhostSample {
  float lapTime;  // seconds since the lap started, paused time left out
  Vec3 position;  // track units, the car's reference point
  float heading;  // radians, 0 towards +z
};

// Twenty samples a second: at the top speed of 160 a sample every 8 units, so the ghost cuts
// no corner that a car could not.
constexpr float ghostSamplePeriod = 0.05f;  // seconds of lap time
constexpr int32_t maxGhostSamples = 36000;  // half an hour of lap; a longer lap's ghost ends there

// The lap being driven. Its room is made once, so sampling never allocates.
struct GhostLap {
  std::vector<GhostSample> samples;  // capacity maxGhostSamples; the first count are this lap's
  int32_t count;                     // samples taken since the lap started
};

// Makes the room for a lap's samples; the lap starts empty.
void makeGhostLap(GhostLap* lap);
// Forgets the samples: a new lap starts.
void startGhostLap(GhostLap* lap);
// Takes a sample when the lap has none yet or ghostSamplePeriod has passed since the last, and
// always when last is true (the lap's end). A full lap, and a lap time that has not moved on since
// the last sample, take none: sample times always rise.
void sampleGhostLap(GhostLap* lap, float lapTime, Vec3 position, float heading, bool last);
// Where the kept lap was at lapTime: the sample itself at a sample's time, the straight blend of
// its neighbours between them, the heading turned the shorter way round. False before the first
// sample, after the last, and for no samples at all.
bool ghostPoseAt(const GhostSample* samples, int32_t count, float lapTime, GhostSample* pose);
