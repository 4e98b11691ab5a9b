// Keys, mouse and pads as actions, and what each action does.
#include "input/input.h"

#include <GL/glut.h>

#include <cctype>
#include <cstdio>

#include "camera/camera.h"
#include "cars/player.h"
#include "contest/contest.h"
#include "pads/gamepad.h"
#include "race/clock.h"
#include "race/state.h"
#include "shell/loop.h"
#include "shell/startup.h"
#include "sound/sound.h"
#include "trial/time_trial.h"

constexpr unsigned gamepadPollPeriod = 10;  // milliseconds between looks at the pads: about a step's time
constexpr int cameraModes = 4;

TAction keyAction(unsigned char key) {
  key = static_cast<unsigned char>(std::tolower(key));
  if (key >= '0' && key <= '9') return TAction(actionFollowCar + (key - '0'));
  switch (key) {
    case 'f': return actionFullScreen;
    case 'g': return actionGhost;
    case 'h': return actionHelp;
    case 'm': return actionMute;
    case 'p': return actionPause;
    case 'r': return actionRescue;
    case keyEnter: return actionGo;
    case keyEscape: return actionQuit;
    case keySpace: return actionStop;
    default: return actionNone;
  }
}

TAction specialKeyAction(int key) {
  switch (key) {
    case GLUT_KEY_F1: return actionHelp;
    case GLUT_KEY_F2: return actionHeadUp;
    case GLUT_KEY_F3: return actionOverview;
    case GLUT_KEY_F4: return actionSolid;
    case GLUT_KEY_F5: return actionCockpit;
    case GLUT_KEY_F6: return actionBehind;
    case GLUT_KEY_F7: return actionHelicopter;
    case GLUT_KEY_F8: return actionTrackView;
    case GLUT_KEY_UP: return actionSpeedUp;
    case GLUT_KEY_DOWN: return actionSpeedDown;
    default: return actionNone;
  }
}

// The index of the followed car, found from the last car down as the head-up display finds it;
// 0, the player, when none matches.
static int32_t followedCar() {
  int32_t i = carCount - 1;
  while (i > 0 && cars[i] != camera->car) i--;
  return i;
}

// Up and down the speed ladder; a paused race resumes first, so the step acts at once.
static void changeSpeedRunning(int8_t step) {
  if (pauseState == statePaused) setPause(stateRunning);
  if (pauseState == stateRunning) player->changeSpeed(step);
}

// After a race's finish the results stand: Enter races again at once, and only the keys that
// change the view or leave still act.
static bool finishedRaceHolds(TAction action) {
  if (raceLaps == 0 || contestPhase != phaseFinished) return false;
  switch (action) {
    case actionSpeedUp:
    case actionSpeedDown:
    case actionStop:
    case actionPause:
    case actionRescue: return true;
    case actionGo:
      restartRace();
      setPause(stateRunning);
      return true;
    default: return false;
  }
}

void applyAction(TAction action) {
  if (finishedRaceHolds(action)) return;
  // On the grid and in the countdown the car stands where it was put.
  if (action == actionRescue && raceLaps > 0 && contestPhase != phaseRacing) return;
  switch (action) {
    case actionSpeedUp: changeSpeedRunning(1); break;
    case actionSpeedDown: changeSpeedRunning(-1); break;
    case actionStop:
      if (pauseState == stateRunning) player->changeSpeed(0);
      break;
    case actionPause:
      if (pauseState == stateRunning)
        setPause(statePaused);
      else if (pauseState == statePaused)
        setPause(stateRunning);
      break;
    case actionGo:
      if (pauseState == statePaused)
        setPause(stateRunning);
      else if (pauseState == stateCrashed)
        restartRace();
      break;
    case actionRescue:
      // After a crash the race goes on from the rescue instead of starting again, and its first
      // step is a first step: the crash's own time is not simulated again.
      if (pauseState == stateCrashed) {
        lastFrameTime = 0.0f;
        setPause(stateRunning);
      }
      if (pauseState == stateRunning) player->rescue();
      break;
    case actionQuit:
      if (raceLaps > 0) printStandings(stdout);
      quitGame();
      break;
    case actionFullScreen:
      fullScreen = !fullScreen;
      if (fullScreen)
        glutFullScreen();
      else
        glutReshapeWindow(savedWindowWidth, savedWindowHeight);
      break;
    case actionHelp: displayFlags ^= showHelp; break;
    case actionHeadUp: displayFlags ^= showHeadUp; break;
    case actionOverview: displayFlags ^= showOverview; break;
    case actionSolid: displayFlags ^= drawSolid; break;
    case actionCockpit:
    case actionBehind:
    case actionHelicopter:
    case actionTrackView: camera->setMode(uint8_t(action - actionCockpit)); break;
    case actionNextCamera: camera->setMode(uint8_t((camera->mode + 1) % cameraModes)); break;
    case actionPreviousCamera: camera->setMode(uint8_t((camera->mode + cameraModes - 1) % cameraModes)); break;
    case actionNextCar: camera->setCar(cars[(followedCar() + 1) % carCount]); break;
    case actionPreviousCar: camera->setCar(cars[(followedCar() + carCount - 1) % carCount]); break;
    case actionGhost: cycleGhost(gameClock()); break;
    case actionMute: toggleMute(); break;
    case actionNone: break;
    default:
      if (action >= actionFollowCar && action - actionFollowCar < carCount)
        camera->setCar(cars[action - actionFollowCar]);
      break;
  }
}

// While paused or crashed no idle step asks for frames, so an action must show its own change.
static void redisplayIfStopped() {
  if (pauseState != stateRunning) glutPostRedisplay();
}

void keyboard(unsigned char key, int, int) {
  applyAction(keyAction(key));
  redisplayIfStopped();
}

void specialKey(int key, int, int) {
  applyAction(specialKeyAction(key));
  redisplayIfStopped();
}

void passiveMotion(int x, int) {
  if (pauseState != stateRunning || player->speed == 0.0f) return;
  player->turnRate = pointerTurnRate(windowWidth / 2 - x);  // whole pixels, the half width truncated
  stickSteers = false;
}

void applyGamepadActions() {
  TActions actions = {};
  pollGamepads(&actions);
  for (int32_t i = 0; i < actions.count; i++) applyAction(actions.list[i]);
  if (actions.count > 0) redisplayIfStopped();
}

static void pollGamepadsNow(int) {
  applyGamepadActions();
  glutTimerFunc(gamepadPollPeriod, pollGamepadsNow, 0);
}

void startPollingGamepads() { glutTimerFunc(gamepadPollPeriod, pollGamepadsNow, 0); }
