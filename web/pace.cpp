// The page's pace: the browser calls a frame when it is about to paint, and the game steps and
// draws then. Nothing sleeps, so nothing waits out a frame period, and GLUT's idle callback (run
// from timers of 4 ms in the browser's GLUT) is taken over by the frame.
#include "shell/pace.h"

#include <emscripten/html5.h>

#include "web/page.h"

static void (*idleStep)() = nullptr;

void waitForFramePeriod() {}

extern "C" void glutIdleFunc(void (*step)()) { idleStep = step; }

static EM_BOOL frame(double, void*) {
  stepPage();
  if (idleStep != nullptr) idleStep();
  return EM_TRUE;
}

void startFrames() { emscripten_request_animation_frame_loop(frame, nullptr); }
