// The glyph table behind the overlay text: where each glyph of the two fonts sits in one texture,
// its ink box and advance, and the raster position a text starts from. The desktop makes the table
// from GLUT's own characters at the first frame; a platform without them brings the same table.
#pragma once

#include <cstdint>

constexpr int fontCount = 2;
constexpr int glyphCodes = 128;  // codes 1 to 127; GLUT draws nothing for the others
constexpr int cellSize = 32;     // pixels a glyph is drawn and kept in, each way
constexpr int cellOrigin = 8;    // pixels from a cell's lower left corner to its raster position
constexpr int atlasCells = 16;   // cells along each side of the texture
constexpr int atlasSize = atlasCells * cellSize;

static_assert(atlasCells * atlasCells >= fontCount * glyphCodes, "every glyph has its cell");

struct TGlyph {
  int16_t left, bottom, right, top;  // ink box in pixels from the raster position's pixel; no ink
                                     // when left == right
  float advance;                     // pixels the raster position moves on
};

extern void* const glyphFonts[fontCount];  // GLUT_BITMAP_HELVETICA_10 and _18
extern TGlyph glyphs[fontCount][glyphCodes];
extern uint8_t glyphAtlas[atlasSize][atlasSize];  // glyph n in cell (n % atlasCells, n / atlasCells); 255 is ink
extern unsigned glyphTexture;                     // the atlas as a texture whose alpha is the ink
extern bool glyphsMade;                           // the table and the texture are ready

// Makes the glyphs, once the window is big enough to draw them in; true when they are ready.
// Draws into the back buffer, so it belongs before a frame's clear.
bool makeGlyphs();
// The current raster position in window pixels and its colour; false when it is not valid.
bool textRaster(float (&position)[2], float (&colour)[4]);
// Moves the raster position to a window pixel position, as a text's end leaves it.
void moveTextRaster(float x, float y);
