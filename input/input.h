// The player's input: keys, the mouse and the pads turned into actions, and one function that
// applies an action at once, between simulation steps.
#pragma once

#include "events/actions.h"

// Codes of the ordinary keys the game names by their action.
constexpr unsigned char keyEnter = 13, keyEscape = 27, keySpace = 32;

// The action of an ordinary key, upper and lower case alike; actionNone for a key without one.
TAction keyAction(unsigned char key);
// The action of a function or arrow key (a GLUT_KEY_ code); actionNone for a key without one.
TAction specialKeyAction(int key);
// Does what the action asks of the race as it stands now; an action that means nothing in the
// current run state is ignored.
void applyAction(TAction action);

// GLUT keyboard callback: the key's action, then a frame asked for while the game does not run.
void keyboard(unsigned char key, int x, int y);
// GLUT special-key callback for function and arrow keys, likewise.
void specialKey(int key, int x, int y);
// Mouse movement with no button held: the pointer's distance from the centre column steers.
void passiveMotion(int x, int y);
// Reads the pads and applies the actions their buttons ask for, in order.
void applyGamepadActions();
// Once the pads are open: from then on applyGamepadActions runs between steps, on a timer of its
// own, whether the race runs or not.
void startPollingGamepads();
