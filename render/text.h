// Overlay text from glyphs made once: GLUT draws each glyph of the two fonts once, the game reads
// them back into one texture, and a text is then one batch of small quads cut from it.
#pragma once

// Text from the current raster position in its colour, pixel for pixel as GLUT's bitmap
// characters would draw it; advances the raster position past it. font is
// GLUT_BITMAP_HELVETICA_10 or GLUT_BITMAP_HELVETICA_18. The text is gathered and drawn by the
// next flushText, which must come before anything else is drawn over or under it and while the
// overlay's depth range holds. Before the glyphs are made, GLUT draws the characters at once.
void drawString(const char* text, void* font);
// Pixels the raster position moves on over text in font, as drawString moves it.
float stringWidth(const char* text, void* font);
// Draws the text gathered since the last flush, in the order it was given.
void flushText();
