// The game as start-up drives it, in one include: the race's state and clock, the race's
// creation and reset, the loop, start-up and the input callbacks. For programs that drive the
// game from outside its entry point, as the tests and the benchmarks do.
#pragma once

#include "input/input.h"
#include "race/clock.h"
#include "race/state.h"
#include "render/render.h"
#include "shell/loop.h"
#include "shell/race.h"
#include "shell/startup.h"
