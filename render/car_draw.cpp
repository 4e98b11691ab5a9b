// Drawing a car: eleven quads of a fixed body model, turned by the car's own orientation; and the
// ghost of the record lap in the same shape.
#include <GL/glut.h>

#include "app/game.h"
#include "app/time_trial.h"
#include "camera/camera.h"
#include "cars/car.h"

static const GLfloat windowGlass[3] = {0.5f, 0.7f, 0.8f};
static const GLfloat sideGlass[3] = {0.45f, 0.65f, 0.75f};
// The ghost is pale and see-through, unlike any car that can be hit.
static const GLfloat ghostColour[3] = {0.9f, 0.95f, 1.0f};
constexpr float ghostOpacity = 0.35f;

// The body in car coordinates, x across (sides at +-0.8), y up, z along with the front at +z,
// in its paint with the given opacity. From the cockpit the followed car's windscreen would fill
// the view, so it can be left out.
static void drawBody(const float colour[3], const float darkColour[3], float opacity, bool windscreen) {
  glBegin(GL_QUADS);
  glColor4f(colour[0], colour[1], colour[2], opacity);  // left side
  glVertex3f(-0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 1.8f);
  glVertex3f(-0.8f, 1.0f, -1.8f);
  glVertex3f(-0.8f, 0.3f, -1.8f);
  glColor4f(darkColour[0], darkColour[1], darkColour[2], opacity);  // rear face
  glVertex3f(-0.8f, 1.0f, -1.8f);
  glVertex3f(-0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 1.0f, -1.8f);
  glColor4f(colour[0], colour[1], colour[2], opacity);  // right side
  glVertex3f(0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 1.0f, -1.8f);
  glVertex3f(0.8f, 1.0f, 1.8f);
  glVertex3f(0.8f, 0.3f, 1.8f);
  glColor4f(darkColour[0], darkColour[1], darkColour[2], opacity);  // front face
  glVertex3f(0.8f, 1.0f, 1.8f);
  glVertex3f(0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 1.8f);
  glEnd();

  glBegin(GL_QUADS);
  glColor4f(colour[0], colour[1], colour[2], opacity);  // bonnet, roof, boot lid
  glVertex3f(0.8f, 1.0f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 0.8f);
  glVertex3f(0.8f, 1.0f, 0.8f);
  glVertex3f(0.7f, 1.5f, 0.4f);
  glVertex3f(-0.7f, 1.5f, 0.4f);
  glVertex3f(-0.7f, 1.5f, -0.7f);
  glVertex3f(0.7f, 1.5f, -0.7f);
  glVertex3f(0.8f, 1.0f, -1.3f);
  glVertex3f(-0.8f, 1.0f, -1.3f);
  glVertex3f(-0.8f, 1.0f, -1.8f);
  glVertex3f(0.8f, 1.0f, -1.8f);
  glColor4f(windowGlass[0], windowGlass[1], windowGlass[2], opacity);
  if (windscreen) {
    glVertex3f(-0.8f, 1.0f, 0.8f);
    glVertex3f(0.8f, 1.0f, 0.8f);
    glVertex3f(0.7f, 1.5f, 0.4f);
    glVertex3f(-0.7f, 1.5f, 0.4f);
  }
  glVertex3f(-0.7f, 1.5f, -0.7f);
  glVertex3f(0.7f, 1.5f, -0.7f);
  glVertex3f(0.8f, 1.0f, -1.3f);
  glVertex3f(-0.8f, 1.0f, -1.3f);
  glColor4f(sideGlass[0], sideGlass[1], sideGlass[2], opacity);
  glVertex3f(-0.8f, 1.0f, 0.8f);
  glVertex3f(-0.7f, 1.5f, 0.4f);
  glVertex3f(-0.7f, 1.5f, -0.7f);
  glVertex3f(-0.8f, 1.0f, -1.3f);
  glVertex3f(0.8f, 1.0f, 0.8f);
  glVertex3f(0.7f, 1.5f, 0.4f);
  glVertex3f(0.7f, 1.5f, -0.7f);
  glVertex3f(0.8f, 1.0f, -1.3f);
  glEnd();
}

void TCar::draw() {
  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  applyOrientation();
  drawBody(colour, darkColour, 1.0f, !(camera->mode == cameraCockpit && camera->car == this));
  glPopMatrix();
}

void drawGhost() {
  if (!ghostShown || !ghostPlaced) return;
  // See-through and drawn last, over the cars and the track but hiding neither.
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  glPushMatrix();
  glTranslatef(ghostPose.position.x, ghostPose.position.y, ghostPose.position.z);
  glRotatef(rotationDegrees(ghostPose.heading), 0.0f, 1.0f, 0.0f);
  drawBody(ghostColour, ghostColour, ghostOpacity, true);
  glPopMatrix();
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
}
