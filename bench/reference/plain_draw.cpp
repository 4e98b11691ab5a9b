#include "bench/reference/plain_draw.h"

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

void plainDrawWireframe(const TTrack& track) {
  float m = float(track.margin);
  float x0 = track.minCorner.x - m, x1 = track.maxCorner.x + m;
  float z0 = track.minCorner.z - m, z1 = track.maxCorner.z + m;
  glLineWidth(1.0f);
  glColor3f(0.0f, 0.4f, 0.0f);
  glBegin(GL_LINES);
  for (float x = x0; x <= x1; x += 8.0f) {
    glVertex3f(x, 0.0f, z0);
    glVertex3f(x, 0.0f, z1);
  }
  for (float z = z0; z <= z1; z += 8.0f) {
    glVertex3f(x0, 0.0f, z);
    glVertex3f(x1, 0.0f, z);
  }
  glEnd();

  glLineWidth(2.0f);
  glColor3f(0.7f, 0.7f, 0.7f);
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < track.waypointCount; i++) glVertex3fv(&track.waypoints[i].x);
  glEnd();
}
