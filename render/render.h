// Drawing the frame: the scene through the camera, then the overlays in the plane one unit in
// front of the eye.
#pragma once

// GLUT display callback: draws one frame and shows it.
void display();
// Draws formatTime's text in the small font at the current raster position.
void drawTime(float seconds);
// GLUT visibility callback: nothing is drawn while the window is hidden, and the display is
// registered again and asked for when it shows.
void visibility(int state);
