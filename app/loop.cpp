// The game loop: one simulation step per idle call, the run state, the restart after a crash,
// and the window callbacks that are not input.
#include <GL/glut.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "app/clock.h"
#include "app/game.h"
#include "app/gamepad.h"
#include "app/time_trial.h"
#include "camera/camera.h"
#include "cars/player.h"
#include "events/race_events.h"
#include "render/render.h"
#include "sound/sound.h"
#include "track/triangle.h"

constexpr float firstFrameTime = 0.1f;                  // seconds simulated by the first step after a start or resume
constexpr float maxFrameTime = 1.0f;                    // seconds; a longer gap still advances the game by only this
constexpr std::chrono::microseconds framePeriod{9500};  // shortest time between steps: 105 a second
constexpr double fieldOfView = 45.0;                    // degrees, vertical
constexpr double nearPlane = 1.0;                       // units
constexpr double farPlane = 800.0;                      // units

static const char waypointMessage[] = "Waypoint reached";
static const char lapMessage[] = "Next lap started";

// GLUT calls the idle step again as soon as it returns; waiting out the rest of a short frame
// period keeps a running game from spinning a whole core. The step itself still takes its time
// from the game clock, so the simulation does not change.
static void waitForFramePeriod() {
  static std::chrono::steady_clock::time_point lastStep;
  auto due = lastStep + framePeriod;
  if (std::chrono::steady_clock::now() < due) std::this_thread::sleep_until(due);
  lastStep = std::chrono::steady_clock::now();
}

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
  // Taken before the crash test: the crash clears it, so the step after the crash is a first step.
  lastFrameTime = now;
  for (int32_t i = 0; i < carCount; i++) cars[i]->update(dt);
  camera->update(dt);
  updateSound(dt);
  // Tested after everyone has moved, so the crash frame shows where the car ended up.
  if (double(player->pitch) >= crashPitch) {
    reportRaceEvent(eventCrash, player->waypointIndex, now, 0.0f);
    setPause(stateCrashed);
  }
  handleRaceEvents();
  // After the events, so a lap closed in this step is sampled as the next lap's start.
  stepTimeTrial(now);
  // Last, as the keys act between steps: a button that pauses or starts a new race ends the step.
  pollGamepads();
}

// The head-up display's message for a waypoint or a lap.
static void showRaceEvent(const RaceEvent& event) {
  if (event.kind != eventWaypointReached && event.kind != eventLapCompleted) return;
  const char* text = event.kind == eventWaypointReached ? waypointMessage : lapMessage;
  std::memcpy(messageText, text, std::strlen(text) + 1);
  messageTime = event.time;
}

void handleRaceEvents() {
  for (int32_t i = 0; i < raceEvents.count; i++) {
    const RaceEvent& event = raceEvents.list[i];
    showRaceEvent(event);
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
  pollGamepadsWhileStopped();
}

void restartRace() {
  for (int32_t i = 0; i < carCount; i++) delete cars[i];
  delete camera;
  createRace();
  pauseState = statePaused;
  lastFrameTime = 0.0f;
  lapStartTime = gameClock();
  pauseStartTime = lapStartTime;
  pausedTime = 0.0f;
  reportRaceEvent(eventNewRace, 0, lapStartTime, 0.0f);
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

void visibility(int state) {
  windowVisible = state == GLUT_VISIBLE;
  if (windowVisible) {
    glutDisplayFunc(display);
    glutPostRedisplay();
  }
}
