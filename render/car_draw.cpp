// Drawing a car: eleven quads of a fixed body model, turned by the car's own orientation.
#include <GL/glut.h>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/car.h"

static const GLfloat windowGlass[3] = {0.5f, 0.7f, 0.8f};
static const GLfloat sideGlass[3] = {0.45f, 0.65f, 0.75f};

void TCar::draw() {
  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  applyOrientation();

  // Lower body: x across (sides at +-0.8), y up, z along with the front at +z.
  glBegin(GL_QUADS);
  glColor3fv(colour);  // left side
  glVertex3f(-0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 1.8f);
  glVertex3f(-0.8f, 1.0f, -1.8f);
  glVertex3f(-0.8f, 0.3f, -1.8f);
  glColor3fv(darkColour);  // rear face
  glVertex3f(-0.8f, 1.0f, -1.8f);
  glVertex3f(-0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 1.0f, -1.8f);
  glColor3fv(colour);  // right side
  glVertex3f(0.8f, 0.3f, -1.8f);
  glVertex3f(0.8f, 1.0f, -1.8f);
  glVertex3f(0.8f, 1.0f, 1.8f);
  glVertex3f(0.8f, 0.3f, 1.8f);
  glColor3fv(darkColour);  // front face
  glVertex3f(0.8f, 1.0f, 1.8f);
  glVertex3f(0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 0.3f, 1.8f);
  glVertex3f(-0.8f, 1.0f, 1.8f);
  glEnd();

  glBegin(GL_QUADS);
  glColor3fv(colour);  // bonnet, roof, boot lid
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
  glColor3fv(windowGlass);
  // From the cockpit the followed car's windscreen would fill the view.
  if (!(camera->mode == cameraCockpit && camera->car == this)) {
    glVertex3f(-0.8f, 1.0f, 0.8f);
    glVertex3f(0.8f, 1.0f, 0.8f);
    glVertex3f(0.7f, 1.5f, 0.4f);
    glVertex3f(-0.7f, 1.5f, 0.4f);
  }
  glVertex3f(-0.7f, 1.5f, -0.7f);
  glVertex3f(0.7f, 1.5f, -0.7f);
  glVertex3f(0.8f, 1.0f, -1.3f);
  glVertex3f(-0.8f, 1.0f, -1.3f);
  glColor3fv(sideGlass);
  glVertex3f(-0.8f, 1.0f, 0.8f);
  glVertex3f(-0.7f, 1.5f, 0.4f);
  glVertex3f(-0.7f, 1.5f, -0.7f);
  glVertex3f(-0.8f, 1.0f, -1.3f);
  glVertex3f(0.8f, 1.0f, 0.8f);
  glVertex3f(0.7f, 1.5f, 0.4f);
  glVertex3f(0.7f, 1.5f, -0.7f);
  glVertex3f(0.8f, 1.0f, -1.3f);
  glEnd();

  glPopMatrix();
}
