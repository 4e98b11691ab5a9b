// Drawing the frame: the scene through the camera, then the overlays in the plane one unit in
// front of the eye.
#pragma once

// GLUT display callback: draws one frame and shows it.
void display();
// The record lap's ghost where it was at the current lap time, when it has a place and is shown.
void drawGhost();
// Draws formatTime's text in the small font at the current raster position.
void drawTime(float seconds);
// Makes window pixels the coordinates of what is drawn next, x and y from the lower left corner,
// until endWindowPixels puts back both matrices.
void beginWindowPixels();
void endWindowPixels();
