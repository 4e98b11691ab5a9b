// A framebuffer of the game's own for what it draws only to read back. The window's own pixels
// are undefined where another window covers it or it lies off the screen, so drawing there to
// read back is safe only where nothing else can be.
#pragma once

struct TOffscreen {
  unsigned framebuffer;  // OpenGL name; 0 while the window's own buffer is drawn to
  unsigned colour;       // its colour renderbuffer
};

// Draws and reads in a new width x height framebuffer until endOffscreen. False, with the
// window's back buffer left as the place to draw, where OpenGL offers framebuffer objects
// neither in its core (3.0 on) nor as an extension.
bool beginOffscreen(int width, int height, TOffscreen* offscreen);
// Back to the window's buffer; the framebuffer is released. Does nothing after a false begin.
void endOffscreen(TOffscreen* offscreen);
