// The glyph table for a page, where GLUT has no characters: the desktop game's own, drawn by its
// GLUT and kept at build time (glyph_table.cpp), in a texture whose colour is white, as the
// emulated texture stage would drop the colour of a texture of alpha alone.
#include "render/glyphs.h"

#include <GL/gl.h>

#include <vector>

#include "web/gl.h"

// The fonts are told apart by their address alone.
void* glutBitmapHelvetica10 = nullptr;
void* glutBitmapHelvetica18 = nullptr;

void* const glyphFonts[fontCount] = {&glutBitmapHelvetica10, &glutBitmapHelvetica18};
unsigned glyphTexture = 0;
bool glyphsMade = false;

bool makeGlyphs() {
  if (glyphsMade) return true;
  std::vector<uint8_t> rgba(size_t(atlasSize) * atlasSize * 4, 255);
  for (int row = 0; row < atlasSize; row++)
    for (int col = 0; col < atlasSize; col++)
      rgba[(size_t(row) * atlasSize + size_t(col)) * 4 + 3] = glyphAtlas[row][col];
  glGenTextures(1, &glyphTexture);
  glBindTexture(GL_TEXTURE_2D, glyphTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, atlasSize, atlasSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glyphsMade = true;
  return true;
}

bool textRaster(float (&position)[2], float (&colour)[4]) {
  if (!raster.valid) return false;
  std::copy(raster.position, raster.position + 2, position);
  std::copy(raster.colour, raster.colour + 4, colour);
  return true;
}

void moveTextRaster(float x, float y) { raster.position[0] = x, raster.position[1] = y; }

// Never reached: the glyphs are ready before the first text.
extern "C" void glutBitmapCharacter(void*, int) {}
extern "C" int glutBitmapWidth(void*, int) { return 0; }
