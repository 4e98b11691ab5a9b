#include "bench/reference/plain_draw.h"

#include <GL/gl.h>

#include "app/game.h"
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

void plainDrawOverview(const TTrack& track) {
  glLoadIdentity();
  float m = float(track.margin);
  float w = (track.maxCorner.x - track.minCorner.x) + m, h = (track.maxCorner.z - track.minCorner.z) + m;
  float s = h / float(windowHeight) > w / float(windowWidth) ? 0.8f / h : 0.8f * aspectRatio / w;
  float k = float(track.margin / 2);
  glTranslatef(-0.4f * aspectRatio, -0.4f, -1.0f);
  glScalef(s, -s, 1.0f);
  glTranslatef(-track.minCorner.x + k, -track.maxCorner.z - k, 0.0f);
  glLineWidth(1.0f);
  glColor3f(0.7f, 0.5f, 0.7f);
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < track.waypointCount; i++) glVertex2f(track.waypoints[i].x, track.waypoints[i].z);
  glEnd();
}
