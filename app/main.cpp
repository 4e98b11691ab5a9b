// Entry point: the window, its callbacks, the game, then GLUT's loop for good.
#include <GL/glut.h>
// After GLUT's header, which sets up what GLX's needs on this platform.
#include <GL/glx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/desktop.h"
#include "app/help.h"
#include "chooser/chooser.h"
#include "input/input.h"
#include "pads/gamepad.h"
#include "render/render.h"
#include "shell/loop.h"
#include "shell/race.h"
#include "shell/startup.h"
#include "sound/sound.h"

// Where the display offers GLX swap control, each swap waits for the screen's refresh: the frame
// rate follows the screen and no frame is drawn that would never be seen. Elsewhere (Xvfb has
// none) the game loop's frame period alone bounds the rate.
static void enableVerticalSync() {
  Display* display = glXGetCurrentDisplay();
  GLXDrawable drawable = glXGetCurrentDrawable();
  if (display == nullptr || drawable == 0) return;
  const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
  auto offers = [extensions](const char* name) {
    size_t length = std::strlen(name);
    for (const char* at = extensions; at != nullptr && (at = std::strstr(at, name)) != nullptr; at += length)
      if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
  };
  auto function = [](const char* name) { return glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)); };
  if (offers("GLX_EXT_swap_control")) {
    if (auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALEXTPROC>(function("glXSwapIntervalEXT"))) {
      swapInterval(display, drawable, 1);
      return;
    }
  }
  if (offers("GLX_MESA_swap_control")) {
    auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALMESAPROC>(function("glXSwapIntervalMESA"));
    if (swapInterval != nullptr && swapInterval(1) == 0) return;
  }
  if (offers("GLX_SGI_swap_control")) {
    if (auto swapInterval = reinterpret_cast<PFNGLXSWAPINTERVALSGIPROC>(function("glXSwapIntervalSGI")))
      swapInterval(1);
  }
}

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
  bool muted = takeOption(&argc, argv, "--mute");
  bool choose = takeOption(&argc, argv, "--choose");
  if (!takeRaceOptions(&argc, argv)) {
    std::fputs(raceUsage, stdout);
    return 1;
  }
  // Reaching the display takes GLUT about as long as a large track takes to load: both at once.
  if (!choose) startLoadingTrack(argc, argv);
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowPosition(120, 60);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto");
  identifyWindow();
  enableVerticalSync();

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutVisibilityFunc(visibility);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(specialKey);
  glutPassiveMotionFunc(passiveMotion);
  // No idle callback yet: the game starts paused, and the step runs only while it runs.

  glEnable(GL_DEPTH_TEST);
  if (choose) {
    // Each race from the chooser opens the sound for itself.
    soundMuted = muted;
    glutMouseFunc(chooserMouse);
    openChooser();
  } else {
    initGame(argc, argv);
    // Only a game that starts opens the sound device, so a refused start leaves it alone.
    openSound(muted);
  }
  if (openGamepads()) startPollingGamepads();
  // Registered only now, so a failed start-up never runs the clean-up. The race is released
  // last, after the chooser's loader and the pads have stopped.
  std::atexit(cleanUpGame);
  std::atexit(closeGamepads);
  std::atexit(closeChooser);
  printBanner();
  std::fflush(stdout);  // the banner reaches a pipe before the loop takes over
  glutMainLoop();
  return 0;
}
