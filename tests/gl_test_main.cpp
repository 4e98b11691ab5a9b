// Runs the tests that need a real OpenGL context in one GLUT window the size of the game's, shown
// so that the pictures it swaps to its front can be read back.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "these tests need an X display: run them through scripts/test or xvfb-run\n");
    return 1;
  }
  // The game keeps records in the player's home: never the real one, also when run by hand.
  if (std::getenv("XDG_DATA_HOME") == nullptr) {
    static char home[] = "/tmp/zarvanto-gl-tests.XXXXXX";
    if (mkdtemp(home) == nullptr || setenv("HOME", home, 1) != 0 || setenv("XDG_DATA_HOME", home, 1) != 0) return 1;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto tests");
  glutDisplayFunc([] {});
  for (int i = 0; i < 20; i++) {  // until the window is mapped and exposed
    glutMainLoopEvent();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return RUN_ALL_TESTS();
}
