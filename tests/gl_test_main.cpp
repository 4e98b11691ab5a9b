// Runs the tests that need a real OpenGL context in one hidden GLUT window.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "these tests need an X display: run them through scripts/test or xvfb-run\n");
    return 1;
  }
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutCreateWindow("Zarvanto tests");
  glutHideWindow();
  return RUN_ALL_TESTS();
}
