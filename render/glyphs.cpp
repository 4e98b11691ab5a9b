// The glyph table made from GLUT's own characters: each glyph drawn once, white on black, read
// back into the atlas with its ink box, and the raster position as OpenGL keeps it.
#define GL_GLEXT_PROTOTYPES  // glWindowPos2f, part of OpenGL since 1.4
#include "render/glyphs.h"

#include <GL/glut.h>

#include <algorithm>

#include "render/offscreen.h"

constexpr int readCellsAcross = 16;  // cells read back at once
constexpr int readCellsUp = 8;

void* const glyphFonts[fontCount] = {GLUT_BITMAP_HELVETICA_10, GLUT_BITMAP_HELVETICA_18};
TGlyph glyphs[fontCount][glyphCodes];
uint8_t glyphAtlas[atlasSize][atlasSize];
unsigned glyphTexture = 0;
bool glyphsMade = false;

namespace {

bool glyphsTooBig = false;  // a glyph reached its cell's edge: GLUT keeps drawing the text
uint8_t readBack[readCellsUp * cellSize][readCellsAcross * cellSize];

// Copies the glyph drawn in read-back cell (kx, ky) into atlas cell n and finds its ink box.
bool keepGlyph(int kx, int ky, int n, TGlyph& glyph) {
  int ax = n % atlasCells * cellSize, ay = n / atlasCells * cellSize;
  int left = cellSize, bottom = cellSize, right = 0, top = 0;
  for (int row = 0; row < cellSize; row++) {
    for (int col = 0; col < cellSize; col++) {
      bool ink = readBack[ky * cellSize + row][kx * cellSize + col] != 0;
      glyphAtlas[ay + row][ax + col] = ink ? 255 : 0;
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
    glutBitmapCharacter(glyphFonts[n / glyphCodes], code);
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
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlasSize, atlasSize, 0, GL_ALPHA, GL_UNSIGNED_BYTE, glyphAtlas);
  }
  glPopClientAttrib();
  glPopAttrib();
  endOffscreen(&offscreen);
  glyphsMade = !glyphsTooBig;
  return glyphsMade;
}

bool textRaster(float (&position)[2], float (&colour)[4]) {
  GLboolean valid;
  glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
  if (!valid) return false;
  GLfloat raster[4];
  glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
  glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
  position[0] = raster[0], position[1] = raster[1];
  return true;
}

void moveTextRaster(float x, float y) { glWindowPos2f(x, y); }
