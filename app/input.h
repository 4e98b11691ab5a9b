// Keyboard and mouse: GLUT callbacks that turn the player's input into changes of the game.
#pragma once

// Codes of the ordinary keys the game names by their action.
constexpr unsigned char keyEnter = 13, keyEscape = 27, keySpace = 32;

// Ordinary keys; the pointer position is ignored.
void keyboard(unsigned char key, int x, int y);
// Function and arrow keys; the pointer position is ignored.
void specialKey(int key, int x, int y);
// Mouse movement with no button held: the pointer's distance from the centre column steers.
void passiveMotion(int x, int y);
// Radians per second of turn, left positive, for a pointer this many pixels left of the centre column.
float pointerTurnRate(int offset);
