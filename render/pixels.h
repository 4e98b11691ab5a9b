// Drawing in window pixels, for what is laid out in pixels rather than in the scene or the overlay.
#pragma once

// Makes window pixels the coordinates of what is drawn next, x and y from the lower left corner,
// until endWindowPixels puts back both matrices.
void beginWindowPixels();
void endWindowPixels();
