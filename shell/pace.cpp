// GLUT calls the idle step again as soon as it returns; waiting out the rest of a short frame
// period keeps a running game from spinning a whole core. The step itself still takes its time
// from the game clock, so the simulation does not change.
#include "shell/pace.h"

#include <chrono>
#include <thread>

constexpr std::chrono::microseconds framePeriod{9500};  // shortest time between steps: 105 a second

void waitForFramePeriod() {
  static std::chrono::steady_clock::time_point lastStep;
  auto due = lastStep + framePeriod;
  if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
  lastStep = std::chrono::steady_clock::now();
}
