// The game loop: one simulation step per idle call while the race runs, the run state with the
// pause and the restart after a crash, and the window's projection.
#pragma once

#include <cstdint>

// While the game runs (GLUT idle callback): one simulation step, then a frame asked for.
void idle();
// One simulation step at the game clock's time: every car, the camera, the sound, the crash
// test, the step's events handed on, and the time trial.
void stepRace();
// Hands the events reported since the last call to the sound, the records and the pads, then
// forgets them.
void handleRaceEvents();
// 0 runs, 1 pauses, 2 crashes: installs or removes the idle step and keeps paused time out of laps.
void setPause(uint8_t mode);
// After a crash: the race reset, paused, with a fresh lap clock; lap times survive.
void restartRace();
// GLUT reshape callback: viewport and the 45-degree projection.
void reshape(int width, int height);
