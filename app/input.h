// Keyboard and mouse: GLUT callbacks that turn the player's input into changes of the game.
#pragma once

// Ordinary keys; the pointer position is ignored.
void keyboard(unsigned char key, int x, int y);
