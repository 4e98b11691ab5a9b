// What the browser's OpenGL (WebGL under emscripten's emulation of the old calls) lacks or gets
// wrong, given as the game's drawing expects it: a colour for every vertex between glBegin and
// glEnd, the raster position the text starts from, gluLookAt, glRectf, and OpenAL's calls on
// several sources at once.
#include "web/gl.h"

#include <AL/al.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <vector>

constexpr size_t verticesKept = 1 << 16;  // room made at the start; a larger batch grows it once

// The emulation's colour for drawing without a colour array, which its own glColor would set.
extern "C" void zvClientColour(float r, float g, float b, float a);

namespace {

GLenum batchMode = 0;
bool inBatch = false;
std::vector<GLfloat> batchVertices;  // x, y, z
std::vector<GLfloat> batchColours;   // r, g, b, a
GLfloat current[] = {1.0f, 1.0f, 1.0f, 1.0f};

float clamped(float value) { return value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value; }

// Window pixels from a point as the current matrices and viewport see it; false when outside the
// clip volume, where OpenGL calls the raster position invalid.
bool windowPoint(float x, float y, float* windowX, float* windowY) {
  std::array<GLfloat, 16> model;
  std::array<GLfloat, 16> projection;
  std::array<GLint, 4> view;
  glGetFloatv(GL_MODELVIEW_MATRIX, model.data());
  glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
  glGetIntegerv(GL_VIEWPORT, view.data());
  std::array<float, 4> eye;
  std::array<float, 4> clip;
  for (int r = 0; r < 4; r++) eye[r] = model[r] * x + model[4 + r] * y + model[12 + r];
  for (int r = 0; r < 4; r++)
    clip[r] =
        projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] + projection[12 + r] * eye[3];
  float w = clip[3];
  if (!(w > 0.0f) || std::fabs(clip[0]) > w || std::fabs(clip[1]) > w || std::fabs(clip[2]) > w) return false;
  *windowX = float(view[0]) + (clip[0] / w + 1.0f) * 0.5f * float(view[2]);
  *windowY = float(view[1]) + (clip[1] / w + 1.0f) * 0.5f * float(view[3]);
  return true;
}

}  // namespace

TRaster raster = {false, {0.0f, 0.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};

extern "C" {

void glBegin(GLenum mode) {
  if (batchVertices.capacity() < verticesKept * 3) {
    batchVertices.reserve(verticesKept * 3);
    batchColours.reserve(verticesKept * 4);
  }
  batchMode = mode;
  inBatch = true;
  batchVertices.clear();
  batchColours.clear();
}

void glEnd() {
  inBatch = false;
  if (batchVertices.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, batchVertices.data());
  glColorPointer(4, GL_FLOAT, 0, batchColours.data());
  glDrawArrays(batchMode, 0, GLsizei(batchVertices.size() / 3));
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  batchVertices.insert(batchVertices.end(), {x, y, z});
  batchColours.insert(batchColours.end(), current, current + 4);
}
void glVertex3fv(const GLfloat* v) { glVertex3f(v[0], v[1], v[2]); }
void glVertex2f(GLfloat x, GLfloat y) { glVertex3f(x, y, 0.0f); }

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  current[0] = clamped(r), current[1] = clamped(g), current[2] = clamped(b), current[3] = clamped(a);
  if (!inBatch) zvClientColour(current[0], current[1], current[2], current[3]);
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { glColor4f(r, g, b, 1.0f); }
void glColor3fv(const GLfloat* c) { glColor4f(c[0], c[1], c[2], 1.0f); }

void glRectf(GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2) {
  glBegin(GL_QUADS);
  glVertex2f(x1, y1);
  glVertex2f(x2, y1);
  glVertex2f(x2, y2);
  glVertex2f(x1, y2);
  glEnd();
}

void glRasterPos2f(GLfloat x, GLfloat y) {
  raster.valid = windowPoint(x, y, &raster.position[0], &raster.position[1]);
  std::copy(current, current + 4, raster.colour);
}

void glWindowPos2f(GLfloat x, GLfloat y) {
  raster.valid = true;
  raster.position[0] = x, raster.position[1] = y;
  std::copy(current, current + 4, raster.colour);
}

// Only the pixel store is ever kept, around read-backs that WebGL packs its own way.
void glPushClientAttrib(GLbitfield) {}
void glPopClientAttrib() {}

// As GLU gives it: the eye at (ex, ey, ez) looking at (cx, cy, cz), multiplied onto the matrix.
void gluLookAt(GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz, GLdouble ux, GLdouble uy,
               GLdouble uz) {
  double f[] = {cx - ex, cy - ey, cz - ez};
  double length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  if (length > 0.0)
    for (double& v : f) v /= length;
  double s[] = {f[1] * uz - f[2] * uy, f[2] * ux - f[0] * uz, f[0] * uy - f[1] * ux};
  length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
  if (length > 0.0)
    for (double& v : s) v /= length;
  double u[] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
  GLfloat m[] = {float(s[0]), float(u[0]), float(-f[0]), 0.0f, float(s[1]), float(u[1]), float(-f[1]), 0.0f,
                 float(s[2]), float(u[2]), float(-f[2]), 0.0f, 0.0f,        0.0f,        0.0f,         1.0f};
  glMultMatrixf(m);
  glTranslated(-ex, -ey, -ez);
}

// OpenAL's calls on several sources, one source at a time.
void alSourcePlayv(ALsizei count, const ALuint* sources) {
  for (ALsizei i = 0; i < count; i++) alSourcePlay(sources[i]);
}
void alSourcePausev(ALsizei count, const ALuint* sources) {
  for (ALsizei i = 0; i < count; i++) alSourcePause(sources[i]);
}
void alSourceStopv(ALsizei count, const ALuint* sources) {
  for (ALsizei i = 0; i < count; i++) alSourceStop(sources[i]);
}
}
