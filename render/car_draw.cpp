// Drawing a car: eleven quads of a fixed body model, turned by the car's own orientation; and the
// ghost of the record lap in the same shape.
#include "render/car_draw.h"

#include <GL/gl.h>

#include <cstdint>

#include "camera/camera.h"
#include "cars/car.h"
#include "race/state.h"
#include "trial/time_trial.h"

static const GLfloat windowGlass[] = {0.5f, 0.7f, 0.8f};
static const GLfloat sideGlass[] = {0.45f, 0.65f, 0.75f};
// The ghost is pale and see-through, unlike any car that can be hit.
static const GLfloat ghostColour[] = {0.9f, 0.95f, 1.0f};
constexpr float ghostOpacity = 0.35f;

// The body's corners in car coordinates: x across (sides at +-0.8), y up, z along with the front
// at +z. The lower body is a box; the cabin sits on it from 0.8 in front to 1.3 from the back.
static const GLfloat corners[][3] = {
    {-0.8f, 0.3f, 1.8f},  {-0.8f, 1.0f, 1.8f}, {-0.8f, 1.0f, -1.8f}, {-0.8f, 0.3f, -1.8f},  // left side
    {0.8f, 0.3f, -1.8f},  {0.8f, 1.0f, -1.8f}, {0.8f, 1.0f, 1.8f},   {0.8f, 0.3f, 1.8f},    // right side
    {-0.8f, 1.0f, 0.8f},  {0.8f, 1.0f, 0.8f},  {0.7f, 1.5f, 0.4f},   {-0.7f, 1.5f, 0.4f},   // windscreen
    {-0.7f, 1.5f, -0.7f}, {0.7f, 1.5f, -0.7f}, {0.8f, 1.0f, -1.3f},  {-0.8f, 1.0f, -1.3f},  // rear window
};

enum TPaint : uint8_t { paintBody, paintDark, paintWindow, paintSideWindow };

struct TFace {
  TPaint paint;
  uint8_t corners[4];  // indices into corners, in the order they are sent
};

static const TFace lowerBody[] = {
    {paintBody, {0, 1, 2, 3}},  // left side
    {paintDark, {2, 3, 4, 5}},  // rear face
    {paintBody, {4, 5, 6, 7}},  // right side
    {paintDark, {6, 7, 0, 1}},  // front face
};
static const TFace upperBody[] = {
    {paintBody, {6, 1, 8, 9}},           // bonnet
    {paintBody, {10, 11, 12, 13}},       // roof
    {paintBody, {14, 15, 2, 5}},         // boot lid
    {paintWindow, {8, 9, 10, 11}},       // windscreen
    {paintWindow, {12, 13, 14, 15}},     // rear window
    {paintSideWindow, {8, 11, 12, 15}},  // left window
    {paintSideWindow, {9, 10, 13, 14}},  // right window
};
constexpr int windscreenFace = 3;  // of upperBody

// One batch of quads, each in its paint with the given opacity; the face numbered skip is left out.
static void drawFaces(const TFace* faces, int count, const GLfloat* const paints[4], float opacity, int skip) {
  glBegin(GL_QUADS);
  for (int f = 0; f < count; f++) {
    if (f == skip) continue;
    const GLfloat* paint = paints[faces[f].paint];
    glColor4f(paint[0], paint[1], paint[2], opacity);
    for (uint8_t c : faces[f].corners) glVertex3fv(corners[c]);
  }
  glEnd();
}

// The body in its paint with the given opacity. From the cockpit the followed car's windscreen
// would fill the view, so it can be left out.
static void drawBody(const float (&colour)[3], const float (&darkColour)[3], float opacity, bool windscreen) {
  const GLfloat* const paints[] = {colour, darkColour, windowGlass, sideGlass};
  drawFaces(lowerBody, 4, paints, opacity, -1);
  drawFaces(upperBody, 7, paints, opacity, windscreen ? -1 : windscreenFace);
}

void TCar::draw() {
  glPushMatrix();
  glTranslatef(position.x, position.y, position.z);
  applyOrientation();
  drawBody(colour, darkColour, 1.0f, !(camera->mode == cameraCockpit && camera->car == this));
  glPopMatrix();
}

void drawGhost() {
  if (ghostChoice == ghostHidden || !ghostPlaced) return;
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
