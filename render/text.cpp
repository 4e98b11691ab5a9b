// Overlay text from glyphs made once. A bitmap character costs the software renderer a pass over
// a 512 by 32 pixel cache each time a text ends; a glyph cut from a texture costs its own pixels.
#define GL_GLEXT_PROTOTYPES  // glWindowPos2f, part of OpenGL since 1.4
#include "render/text.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "race/state.h"
#include "render/offscreen.h"
#include "render/pixels.h"

constexpr int fontCount = 2;
constexpr int glyphCodes = 128;  // codes 1 to 127; GLUT draws nothing for the others
constexpr int cellSize = 32;     // pixels a glyph is drawn and kept in, each way
constexpr int cellOrigin = 8;    // pixels from a cell's lower left corner to its raster position
constexpr int atlasCells = 16;   // cells along each side of the texture
constexpr int atlasSize = atlasCells * cellSize;
constexpr int readCellsAcross = 16;  // cells read back at once
constexpr int readCellsUp = 8;
constexpr float bitmapNudge = 0.0001f;  // pixels OpenGL adds to a raster position before it takes
                                        // the bitmap's pixel, so a hair below a border is past it
constexpr int batchGlyphs = 1024;       // glyphs gathered before they are sent: the help text has 350
constexpr float inkAlpha = 0.5f;        // texels above this are ink

static_assert(atlasCells * atlasCells >= fontCount * glyphCodes, "every glyph has its cell");

namespace {

struct TGlyph {
  int16_t left, bottom, right, top;  // ink box in pixels from the raster position's pixel; no ink
                                     // when left == right
  float advance;                     // pixels the raster position moves on
};

void* const fonts[fontCount] = {GLUT_BITMAP_HELVETICA_10, GLUT_BITMAP_HELVETICA_18};
TGlyph glyphs[fontCount][glyphCodes];
GLuint glyphTexture = 0;
bool glyphsMade = false;
bool glyphsTooBig = false;  // a glyph reached its cell's edge: GLUT keeps drawing the text

uint8_t atlas[atlasSize][atlasSize];
uint8_t readBack[readCellsUp * cellSize][readCellsAcross * cellSize];

// The glyph quads gathered since the last flush: window corners, texture corners and colours.
GLfloat corners[batchGlyphs * 4][2];
GLfloat texels[batchGlyphs * 4][2];
GLfloat colours[batchGlyphs * 4][4];
int batchCount = 0;

// Copies the glyph drawn in read-back cell (kx, ky) into atlas cell n and finds its ink box.
bool keepGlyph(int kx, int ky, int n, TGlyph& glyph) {
  int ax = n % atlasCells * cellSize, ay = n / atlasCells * cellSize;
  int left = cellSize, bottom = cellSize, right = 0, top = 0;
  for (int row = 0; row < cellSize; row++) {
    for (int col = 0; col < cellSize; col++) {
      bool ink = readBack[ky * cellSize + row][kx * cellSize + col] != 0;
      atlas[ay + row][ax + col] = ink ? 255 : 0;
      if (!ink) continue;
      if (row == 0 || col == 0 || row == cellSize - 1 || col == cellSize - 1) return false;
      left = std::min(left, col), right = std::max(right, col + 1);
      bottom = std::min(bottom, row), top = std::max(top, row + 1);
    }
  }
  if (right == 0) left = right = bottom = top = cellOrigin;
  glyph.left = int16_t(left - cellOrigin), glyph.right = int16_t(right - cellOrigin);
  glyph.bottom = int16_t(bottom - cellOrigin), glyph.top = int16_t(top - cellOrigin);
  return true;
}

// Draws the glyphs from first in white on black, one a cell, reads them back and keeps them.
bool drawAndKeep(int first, int across, int up) {
  glClear(GL_COLOR_BUFFER_BIT);
  int last = std::min(first + across * up, fontCount * glyphCodes);
  for (int n = first; n < last; n++) {
    int code = n % glyphCodes, k = n - first;
    if (code == 0) continue;
    float x = float(k % across * cellSize + cellOrigin), y = float(k / across * cellSize + cellOrigin);
    glWindowPos2f(x, y);
    glutBitmapCharacter(fonts[n / glyphCodes], code);
    GLfloat after[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
    glyphs[n / glyphCodes][code].advance = after[0] - x;
  }
  glReadPixels(0, 0, across * cellSize, up * cellSize, GL_RED, GL_UNSIGNED_BYTE, readBack);
  for (int n = first; n < last; n++) {
    int k = n - first;
    if (!keepGlyph(k % across, k / across, n, glyphs[n / glyphCodes][n % glyphCodes])) return false;
  }
  return true;
}

void addGlyph(int n, const TGlyph& g, int x, int y, const GLfloat* colour) {
  if (batchCount == batchGlyphs) flushText();
  float u = float(n % atlasCells * cellSize + cellOrigin), v = float(n / atlasCells * cellSize + cellOrigin);
  const int xs[4] = {g.left, g.right, g.right, g.left}, ys[4] = {g.bottom, g.bottom, g.top, g.top};
  for (int i = 0; i < 4; i++) {
    GLfloat* p = corners[batchCount * 4 + i];
    GLfloat* t = texels[batchCount * 4 + i];
    p[0] = float(x + xs[i]), p[1] = float(y + ys[i]);
    t[0] = (u + float(xs[i])) / atlasSize, t[1] = (v + float(ys[i])) / atlasSize;
    std::copy(colour, colour + 4, colours[batchCount * 4 + i]);
  }
  batchCount++;
}

}  // namespace

bool makeGlyphs() {
  if (glyphsMade || glyphsTooBig) return glyphsMade;
  TOffscreen offscreen;
  int across = readCellsAcross, up = readCellsUp;
  if (!beginOffscreen(across * cellSize, up * cellSize, &offscreen)) {
    // In the window as it stands, which a reshape still on its way may not have told the game yet.
    across = std::min(glutGet(GLUT_WINDOW_WIDTH) / cellSize, readCellsAcross);
    up = std::min(glutGet(GLUT_WINDOW_HEIGHT) / cellSize, readCellsUp);
    if (across < 1 || up < 1) return false;
  }

  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glDisable(GL_DEPTH_TEST);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColor3f(1.0f, 1.0f, 1.0f);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ROW_LENGTH, readCellsAcross * cellSize);
  for (int first = 0; first < fontCount * glyphCodes && !glyphsTooBig; first += across * up)
    glyphsTooBig = !drawAndKeep(first, across, up);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (!glyphsTooBig) {
    glGenTextures(1, &glyphTexture);
    glBindTexture(GL_TEXTURE_2D, glyphTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlasSize, atlasSize, 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlas);
  }
  glPopClientAttrib();
  glPopAttrib();
  endOffscreen(&offscreen);
  // Kept for the program's life: only the text draws with alpha test on.
  glAlphaFunc(GL_GREATER, inkAlpha);
  glyphsMade = !glyphsTooBig;
  return glyphsMade;
}

void drawString(const char* text, void* font) {
  int f = font == fonts[0] ? 0 : font == fonts[1] ? 1 : -1;
  if (!glyphsMade || f < 0) {
    // Bytes above 127 reach GLUT as negative codes, which it leaves undrawn.
    for (const char* c = text; *c != '\0'; c++) glutBitmapCharacter(font, int(static_cast<signed char>(*c)));
    return;
  }
  GLboolean valid;
  glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  if (!valid) return;
  GLfloat raster[4], colour[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
  glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);

  float x = raster[0];
  int y = int(std::floor(raster[1] + bitmapNudge));
  for (const char* c = text; *c != '\0'; c++) {
    int code = static_cast<signed char>(*c);
    if (code < 1) continue;
    const TGlyph& g = glyphs[f][code];
    if (g.right > g.left) addGlyph(f * glyphCodes + code, g, int(std::floor(x + bitmapNudge)), y, colour);
    x += g.advance;
  }
  // The next text on the line starts where this one ends, as after GLUT's characters.
  glWindowPos2f(x, raster[1]);
}

// In window coordinates, from the glyph texture, with alpha telling ink from the rest. Turning
// the texture and the alpha test on and off costs the software renderer more than the quads, so
// it happens once for all the text gathered.
void flushText() {
  if (batchCount == 0) return;
  beginWindowPixels();
  glBindTexture(GL_TEXTURE_2D, glyphTexture);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, corners);
  glTexCoordPointer(2, GL_FLOAT, 0, texels);
  glColorPointer(4, GL_FLOAT, 0, colours);
  glDrawArrays(GL_QUADS, 0, batchCount * 4);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_TEXTURE_2D);
  endWindowPixels();
  batchCount = 0;
}
