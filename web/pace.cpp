// The page's pace: the browser calls a frame when it is about to paint (web/main.cpp), and the
// game steps and draws then. Nothing sleeps, so nothing waits out a frame period.
#include "shell/pace.h"

#include "web/page.h"

void waitForFramePeriod() {}

// GLUT's idle callback (run from timers of 4 ms in the browser's GLUT) is taken over by the
// browser's frames: each is the demo's next inputs and a step, whose picture the next frame draws.
void (*idleStep)() = nullptr;

extern "C" void glutIdleFunc(void (*step)()) { idleStep = step; }
