#include "race/clock.h"

#include <chrono>

static const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();
static int64_t heldMilliseconds = -1;

float gameClock() {
  int64_t ms = heldMilliseconds;
  if (ms < 0)
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart).count();
  return float(double(ms) * 0.001);
}

void holdGameClock(int64_t milliseconds) { heldMilliseconds = milliseconds; }
