// The game loop: one simulation step per idle call, the run state, the restart after a crash,
// and the window's projection.
#include "shell/loop.h"

#include <GL/glut.h>

#include "camera/camera.h"
#include "cars/player.h"
#include "contest/contest.h"
#include "events/race_events.h"
#include "pads/gamepad.h"
#include "race/clock.h"
#include "race/state.h"
#include "shell/pace.h"
#include "shell/race.h"
#include "sound/sound.h"
#include "track/triangle.h"
#include "trial/time_trial.h"

constexpr float firstFrameTime = 0.1f;  // seconds simulated by the first step after a start or resume
constexpr float maxFrameTime = 1.0f;    // seconds; a longer gap still advances the game by only this
constexpr double fieldOfView = 45.0;    // degrees, vertical
constexpr double nearPlane = 1.0;       // units
constexpr double farPlane = 800.0;      // units

void idle() {
  waitForFramePeriod();
  stepRace();
  glutPostRedisplay();
}

void stepRace() {
  float now = gameClock();
  float dt = firstFrameTime;
  if (lastFrameTime != 0.0f) {
    dt = now - lastFrameTime;
    if (dt > maxFrameTime) dt = maxFrameTime;
  }
  bool finished = false;
  if (raceLaps > 0)
    finished = stepContest(dt, now);
  else
    for (int32_t i = 0; i < carCount; i++) cars[i]->update(dt);
  camera->update(dt);
  updateSound(dt);
  // Tested after everyone has moved, so the crash frame shows where the car ended up.
  if (double(player->pitch) >= crashPitch) {
    reportRaceEvent(eventCrash, player->waypointIndex, now);
    setPause(stateCrashed);
  }
  lastFrameTime = now;
  // The results stand still, and the standings go out once.
  if (finished) {
    setPause(statePaused);
    printStandings(stdout);
    keepRaceTime();
  }
  handleRaceEvents();
  // After the events, so a lap closed in this step is sampled as the next lap's start.
  stepTimeTrial(now);
}

void handleRaceEvents() {
  for (int32_t i = 0; i < raceEvents.count; i++) {
    const RaceEvent& event = raceEvents.list[i];
    playRaceEvent(event);
    keepRaceEvent(event);
    rumbleRaceEvent(event);
  }
  clearRaceEvents();
}

void setPause(uint8_t mode) {
  if (mode == stateRunning) {
    glutIdleFunc(idle);
    if (pauseState == statePaused) pausedTime += gameClock() - pauseStartTime;
  } else {
    lastFrameTime = 0.0f;
    glutIdleFunc(nullptr);
    if (mode == statePaused) pauseStartTime = gameClock();
  }
  pauseState = mode;
  applySoundState(mode);
}

void restartRace() {
  resetRace();
  reportRaceEvent(eventNewRace, 0, lapStartTime);
  handleRaceEvents();
}

void reshape(int width, int height) {
  windowWidth = width;
  windowHeight = height;
  // A minimised window can report no height; the ratio must stay finite for the overlays.
  aspectRatio = float(width) / float(height > 0 ? height : 1);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(fieldOfView, aspectRatio, nearPlane, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glutPostRedisplay();
  if (!fullScreen) {
    savedWindowWidth = width;
    savedWindowHeight = height;
  }
}
