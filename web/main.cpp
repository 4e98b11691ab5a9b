// Entry point of the page: the same start as the desktop's, from the words after ?args= in the
// page's address, but the chooser is always open beneath the race, so Escape comes back to it and
// never ends the page. Also what the page's script asks of the game: a dropped track.
#include <GL/glut.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "chooser/chooser.h"
#include "input/input.h"
#include "pads/gamepad.h"
#include "race/state.h"
#include "records/record.h"
#include "render/render.h"
#include "shell/loop.h"
#include "shell/race.h"
#include "shell/startup.h"
#include "sound/sound.h"
#include "track/load_message.h"
#include "track/track.h"
#include "web/page.h"

// Escape: a race goes back to the chooser, as one started there does; the chooser stays.
static void leaveForChooser() {
  if (!choosing) returnToChooser();
}

// A track file the page was given: checked by the game's rules and, when they accept it, put
// among the player's tracks under its own name and selected in the chooser. Answers the game's
// message when refused, and an empty text when taken.
extern "C" EMSCRIPTEN_KEEPALIVE const char* zvAddTrack(const char* path, const char* name) {
  static std::string answer;
  TTrack checked;
  int8_t result = checked.load(path, nullptr, false);
  std::string folder = playerTracksFolder();
  answer.clear();
  if (result != loadOk) {
    answer = loadFailureMessage(result, false);
  } else if (folder.empty() || !makeFolders(folder)) {
    answer = "The player's tracks folder can't be made";
  } else {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string why;
    if (!replaceFile(folder + "/" + name, text.str(), &why)) answer = why;
  }
  std::remove(path);
  while (!answer.empty() && answer.back() == '\n') answer.pop_back();
  if (answer.empty() && choosing) {
    listTracksAgain(folder + "/" + name);
    glutPostRedisplay();
  }
  return answer.c_str();
}

static EM_BOOL frame(double, void*) {
  stepPage();
  if (idleStep != nullptr) idleStep();
  return EM_TRUE;
}

int main(int argc, char** argv) {
  bool muted = takeOption(&argc, argv, "--mute");
  bool choose = takeOption(&argc, argv, "--choose") || argc < 2;
  if (!takeRaceOptions(&argc, argv)) {
    std::fputs(raceUsage, stdout);
    return 1;
  }
  // The shipped tracks are the page's own files; a track named on the command line is found there.
  if (chdir(shippedTracksFolder().c_str()) != 0) return 1;
  quitGame = leaveForChooser;
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto");

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(specialKey);
  glutPassiveMotionFunc(passiveMotion);
  glutMouseFunc(chooserMouse);
  glEnable(GL_DEPTH_TEST);
  soundMuted = muted;
  openChooser();
  if (!choose) {
    // The command line's race, with the race's keys; the chooser waits beneath it.
    choosing = false;
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(specialKey);
    initGame(argc, argv);
    openSound(muted);
    if (std::getenv("ZARVANTO_DEMO") != nullptr) startDemo();
  }
  if (openGamepads()) startPollingGamepads();
  printBanner();
  emscripten_request_animation_frame_loop(frame, nullptr);
  glutMainLoop();
  return 0;
}
