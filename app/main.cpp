// Entry point: the window, its callbacks, the game, then GLUT's loop for good.
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/game.h"
#include "app/help.h"
#include "app/input.h"
#include "render/render.h"
#include "sound/sound.h"

int main(int argc, char** argv) {
  // Answered before GLUT starts, so they work at a terminal with no display. Only the first
  // argument counts: anywhere else these words mean what they always did.
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    printHelp();
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    printVersion();
    return 0;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowPosition(120, 60);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto");

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutVisibilityFunc(visibility);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(specialKey);
  glutPassiveMotionFunc(passiveMotion);
  // No idle callback yet: the game starts paused, and the step runs only while it runs.

  glEnable(GL_DEPTH_TEST);
  bool muted = takeMuteOption(&argc, argv);
  initGame(argc, argv);
  // Only a game that starts opens the sound device, so a refused start leaves it alone.
  openSound(muted);
  // Registered only now, so a failed start-up never runs the clean-up.
  std::atexit(cleanUpGame);
  printBanner();
  std::fflush(stdout);  // the banner reaches a pipe before the loop takes over
  glutMainLoop();
  return 0;
}
