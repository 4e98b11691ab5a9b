// Drawing a car: eleven quads of a fixed body model, turned by the car's own orientation. The
// model's corners are one array made once; each car adds its own colours and sends both in one
// call per batch.
#include <GL/glut.h>

#include "app/game.h"
#include "camera/camera.h"
#include "cars/car.h"

constexpr int lowerCorners = 16;     // the four walls of the lower body
constexpr int upperCorners = 28;     // bonnet, roof, boot lid, windscreen, rear window, side windows
constexpr int windscreenFirst = 12;  // the windscreen's first corner within the upper body
constexpr int quadCorners = 4;

static const GLfloat windowGlass[3] = {0.5f, 0.7f, 0.8f};
static const GLfloat sideGlass[3] = {0.45f, 0.65f, 0.75f};

// Car coordinates: x across (sides at +-0.8), y up, z along with the front at +z. The lower
// body's four walls, then the upper body, each quad's corners in the order they are drawn.
static const GLfloat body[(lowerCorners + upperCorners) * 3] = {
    -0.8f, 0.3f, 1.8f,  -0.8f, 1.0f, 1.8f,  -0.8f, 1.0f, -1.8f, -0.8f, 0.3f, -1.8f,  // left side
    -0.8f, 1.0f, -1.8f, -0.8f, 0.3f, -1.8f, 0.8f,  0.3f, -1.8f, 0.8f,  1.0f, -1.8f,  // rear face
    0.8f,  0.3f, -1.8f, 0.8f,  1.0f, -1.8f, 0.8f,  1.0f, 1.8f,  0.8f,  0.3f, 1.8f,   // right side
    0.8f,  1.0f, 1.8f,  0.8f,  0.3f, 1.8f,  -0.8f, 0.3f, 1.8f,  -0.8f, 1.0f, 1.8f,   // front face
    0.8f,  1.0f, 1.8f,  -0.8f, 1.0f, 1.8f,  -0.8f, 1.0f, 0.8f,  0.8f,  1.0f, 0.8f,   // bonnet
    0.7f,  1.5f, 0.4f,  -0.7f, 1.5f, 0.4f,  -0.7f, 1.5f, -0.7f, 0.7f,  1.5f, -0.7f,  // roof
    0.8f,  1.0f, -1.3f, -0.8f, 1.0f, -1.3f, -0.8f, 1.0f, -1.8f, 0.8f,  1.0f, -1.8f,  // boot lid
    -0.8f, 1.0f, 0.8f,  0.8f,  1.0f, 0.8f,  0.7f,  1.5f, 0.4f,  -0.7f, 1.5f, 0.4f,   // windscreen
    -0.7f, 1.5f, -0.7f, 0.7f,  1.5f, -0.7f, 0.8f,  1.0f, -1.3f, -0.8f, 1.0f, -1.3f,  // rear window
    -0.8f, 1.0f, 0.8f,  -0.7f, 1.5f, 0.4f,  -0.7f, 1.5f, -0.7f, -0.8f, 1.0f, -1.3f,  // left side window
    0.8f,  1.0f, 0.8f,  0.7f,  1.5f, 0.4f,  0.7f,  1.5f, -0.7f, 0.8f,  1.0f, -1.3f,  // right side window
};

// Gives each of count corners from first the colour c.
static void paint(GLfloat (*colours)[3], int first, int count, const GLfloat* c) {
  for (int i = first; i < first + count; i++)
    for (int k = 0; k < 3; k++) colours[i][k] = c[k];
}

void TCar::draw() {
  GLfloat colours[lowerCorners + upperCorners][3];
  for (int quad = 0; quad < 4; quad++) paint(colours, quad * quadCorners, quadCorners, quad % 2 ? darkColour : colour);
  paint(colours, lowerCorners, 3 * quadCorners, colour);
  paint(colours, lowerCorners + 3 * quadCorners, 2 * quadCorners, windowGlass);
  paint(colours, lowerCorners + 5 * quadCorners, 2 * quadCorners, sideGlass);

  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  applyOrientation();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, body);
  glColorPointer(3, GL_FLOAT, 0, colours);
  glDrawArrays(GL_QUADS, 0, lowerCorners);
  // From the cockpit the followed car's windscreen would fill the view.
  if (camera->mode == cameraCockpit && camera->car == this) {
    glDrawArrays(GL_QUADS, lowerCorners, windscreenFirst);
    int after = windscreenFirst + quadCorners;
    glDrawArrays(GL_QUADS, lowerCorners + after, upperCorners - after);
  } else {
    glDrawArrays(GL_QUADS, lowerCorners, upperCorners);
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glPopMatrix();
}
