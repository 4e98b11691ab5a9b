// Overlay text from glyphs made once: GLUT draws each glyph of the two fonts once, the game reads
// them back into one texture, and a text is then one batch of small quads cut from it.
#pragma once

// Makes the glyphs, once the window is big enough to draw them in; true when they are ready.
// Draws into the back buffer, so it belongs before a frame's clear.
bool makeGlyphs();
// Draws text from the current raster position in its colour and advances the raster position
// past it, pixel for pixel as GLUT's bitmap characters would; font is GLUT_BITMAP_HELVETICA_10
// or GLUT_BITMAP_HELVETICA_18. Before the glyphs are made, GLUT draws the characters itself.
void drawString(const char* text, void* font);
