// Drawing the track: the solid mesh or the wireframe grid with the centre line, and the map.
#include <GL/glut.h>

#include "app/game.h"
#include "track/track.h"
#include "track/triangle.h"

constexpr float gridSpacing = 8.0f;  // units between wireframe grid lines

void TTrack::draw() const {
  if (displayFlags & drawSolid) {
    glBegin(GL_TRIANGLES);
    for (int32_t i = 0; i < triangleCount; i++) {
      const TTriangle* t = triangles[i];
      glColor3fv(t->colour);
      glVertex3fv(&t->vertexA.x);
      glVertex3fv(&t->vertexB.x);
      glVertex3fv(&t->vertexC.x);
    }
    glEnd();
    return;
  }

  // The grid lies at height 0 and reaches a margin beyond the waypoints on every side.
  float m = float(margin);
  float x0 = minCorner.x - m, x1 = maxCorner.x + m;
  float z0 = minCorner.z - m, z1 = maxCorner.z + m;
  glLineWidth(1.0f);
  glColor3f(0.0f, 0.4f, 0.0f);
  glBegin(GL_LINES);
  for (float x = x0; x <= x1; x += gridSpacing) {
    glVertex3f(x, 0.0f, z0);
    glVertex3f(x, 0.0f, z1);
  }
  for (float z = z0; z <= z1; z += gridSpacing) {
    glVertex3f(x0, 0.0f, z);
    glVertex3f(x1, 0.0f, z);
  }
  glEnd();

  glLineWidth(2.0f);
  glColor3f(0.7f, 0.7f, 0.7f);
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < waypointCount; i++) glVertex3fv(&waypoints[i].x);
  glEnd();
}

void TTrack::drawOverview() const {
  glLoadIdentity();
  if (windowWidth <= 0 || windowHeight <= 0) return;  // no window area, no scale
  float m = float(margin);
  float w = (maxCorner.x - minCorner.x) + m;
  float h = (maxCorner.z - minCorner.z) + m;
  // The larger extent, with its margin, measures 0.8 units of the overlay plane.
  float s = h / float(windowHeight) > w / float(windowWidth) ? 0.8f / h : 0.8f * aspectRatio / w;
  float k = float(margin / 2);
  glTranslatef(-0.4f * aspectRatio, -0.4f, -1.0f);
  glScalef(s, -s, 1.0f);
  glTranslatef(-minCorner.x + k, -maxCorner.z - k, 0.0f);

  glLineWidth(1.0f);
  glColor3f(0.7f, 0.5f, 0.7f);
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < waypointCount; i++) glVertex2f(waypoints[i].x, waypoints[i].z);
  glEnd();
}
