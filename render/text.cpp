// Overlay text from glyphs made once. A bitmap character costs the software renderer a pass over
// a 512 by 32 pixel cache each time a text ends; a glyph cut from a texture costs its own pixels.
#include "render/text.h"

#include <GL/glut.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "race/state.h"
#include "render/glyphs.h"
#include "render/pixels.h"

constexpr float bitmapNudge = 0.0001f;  // pixels OpenGL adds to a raster position before it takes
                                        // the bitmap's pixel, so a hair below a border is past it
constexpr int batchGlyphs = 1024;       // glyphs gathered before they are sent: the help text has 350
constexpr float inkAlpha = 0.5f;        // texels above this are ink

namespace {

// The glyph quads gathered since the last flush: window corners, texture corners and colours.
GLfloat corners[batchGlyphs * 4][2];
GLfloat texels[batchGlyphs * 4][2];
GLfloat colours[batchGlyphs * 4][4];
int batchCount = 0;

void addGlyph(int n, const TGlyph& g, int x, int y, const GLfloat* colour) {
  if (batchCount == batchGlyphs) flushText();
  float u = float(n % atlasCells * cellSize + cellOrigin), v = float(n / atlasCells * cellSize + cellOrigin);
  const int xs[] = {g.left, g.right, g.right, g.left}, ys[] = {g.bottom, g.bottom, g.top, g.top};
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

static int fontIndex(void* font) { return font == glyphFonts[0] ? 0 : font == glyphFonts[1] ? 1 : -1; }

float stringWidth(const char* text, void* font) {
  int f = fontIndex(font);
  float width = 0.0f;
  for (const char* c = text; *c != '\0'; c++) {
    int code = static_cast<signed char>(*c);
    if (code > 0) width += glyphsMade && f >= 0 ? glyphs[f][code].advance : float(glutBitmapWidth(font, code));
  }
  return width;
}

void drawString(const char* text, void* font) {
  int f = fontIndex(font);
  if (!glyphsMade || f < 0) {
    // Bytes above 127 reach GLUT as negative codes, which it leaves undrawn.
    for (const char* c = text; *c != '\0'; c++) glutBitmapCharacter(font, int(static_cast<signed char>(*c)));
    return;
  }
  GLfloat raster[2], colour[4];
  if (!textRaster(raster, colour)) return;

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
  moveTextRaster(x, raster[1]);
}

// In window coordinates, from the glyph texture, with alpha telling ink from the rest. Turning
// the texture and the alpha test on and off costs the software renderer more than the quads, so
// it happens once for all the text gathered.
void flushText() {
  if (batchCount == 0) return;
  beginWindowPixels();
  glBindTexture(GL_TEXTURE_2D, glyphTexture);
  glEnable(GL_TEXTURE_2D);
  glAlphaFunc(GL_GREATER, inkAlpha);
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
