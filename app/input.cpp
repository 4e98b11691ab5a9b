#include "app/input.h"

#include <GL/glut.h>

#include <cstdlib>

#include "app/chooser.h"
#include "app/game.h"
#include "app/gamepad.h"
#include "app/time_trial.h"
#include "camera/camera.h"
#include "cars/player.h"
#include "geometry/vector.h"
#include "sound/sound.h"

constexpr double steeringRate = 0.5;  // degrees per second of turn for each pixel off the centre column

// While paused or crashed no idle step asks for frames, so a key must show its own change.
static void redisplayIfStopped() {
  if (pauseState != stateRunning) glutPostRedisplay();
}

void keyboard(unsigned char key, int, int) {
  if (choosing) {
    chooserKeyboard(key);
    return;
  }
  if (key >= 'A' && key <= 'Z') key += 32;
  switch (key) {
    case 'f':
      fullScreen = !fullScreen;
      if (fullScreen)
        glutFullScreen();
      else
        glutReshapeWindow(savedWindowWidth, savedWindowHeight);
      break;
    case 'g': ghostShown = !ghostShown; break;
    case 'h': displayFlags ^= showHelp; break;
    case 'm': toggleMute(); break;
    case 'p':
      if (pauseState == stateRunning)
        setPause(statePaused);
      else if (pauseState == statePaused)
        setPause(stateRunning);
      break;
    case keyEnter:
      if (pauseState == statePaused)
        setPause(stateRunning);
      else if (pauseState == stateCrashed)
        restartRace();
      break;
    case 'r':
      // After a crash the race goes on from the rescue instead of starting again.
      if (pauseState == stateCrashed) setPause(stateRunning);
      if (pauseState == stateRunning) player->rescue();
      break;
    case keyEscape:
      if (!raceFromChooser) std::exit(0);  // the exit clean-up releases the game
      returnToChooser();
      return;
    case keySpace:
      if (pauseState == stateRunning) player->changeSpeed(0);
      break;
    default:
      if (key >= '0' && key <= '9' && key - '0' < carCount) camera->setCar(cars[key - '0']);
      break;
  }
  redisplayIfStopped();
}

void specialKey(int key, int, int) {
  if (choosing) {
    chooserSpecialKey(key);
    return;
  }
  switch (key) {
    case GLUT_KEY_F1: displayFlags ^= showHelp; break;
    case GLUT_KEY_F2: displayFlags ^= showHeadUp; break;
    case GLUT_KEY_F3: displayFlags ^= showOverview; break;
    case GLUT_KEY_F4: displayFlags ^= drawSolid; break;
    case GLUT_KEY_F5: camera->setMode(cameraCockpit); break;
    case GLUT_KEY_F6: camera->setMode(cameraBehind); break;
    case GLUT_KEY_F7: camera->setMode(cameraHelicopter); break;
    case GLUT_KEY_F8: camera->setMode(cameraTrack); break;
    case GLUT_KEY_UP:
    case GLUT_KEY_DOWN:
      if (pauseState == statePaused) setPause(stateRunning);
      if (pauseState == stateRunning) player->changeSpeed(key == GLUT_KEY_UP ? 1 : -1);
      break;
    default: break;
  }
  redisplayIfStopped();
}

void passiveMotion(int x, int) {
  if (pauseState != stateRunning || player->speed == 0.0f) return;
  player->turnRate = pointerTurnRate(windowWidth / 2 - x);  // whole pixels, the half width truncated
  stickSteers = false;
}

float pointerTurnRate(int offset) { return float(offset * pi / 180.0 * steeringRate); }
