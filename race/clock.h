// The game's one time source.
#pragma once

#include <cstdint>

// Seconds of real time since the process started, counted in whole milliseconds.
float gameClock();
// Holds the clock at the given milliseconds since start, so tests can time laps exactly;
// a negative value returns it to real time.
void holdGameClock(int64_t milliseconds);
