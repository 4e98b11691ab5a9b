// Drawing the frame.
#pragma once

// GLUT display callback: draws one frame and shows it.
void display();
