#include "tests/reference/plain_draw.h"

#include <GL/gl.h>

#include "track/triangle.h"

void plainDrawSolid(const TTrack& track) {
  glBegin(GL_TRIANGLES);
  for (int32_t i = 0; i < track.triangleCount; i++) {
    const TTriangle* t = track.triangles[i];
    glColor3fv(t->colour);
    glVertex3fv(&t->vertexA.x);
    glVertex3fv(&t->vertexB.x);
    glVertex3fv(&t->vertexC.x);
  }
  glEnd();
}
