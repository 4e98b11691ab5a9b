// Window pixels as drawing coordinates, both matrices kept for afterwards.
#include "render/pixels.h"

#include <GL/gl.h>

#include "race/state.h"

void beginWindowPixels() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0.0, double(windowWidth), 0.0, double(windowHeight), -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
}

void endWindowPixels() {
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}
