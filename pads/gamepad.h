// Game controllers through SDL2's game-controller API, for input only: GLUT keeps the window, the
// keyboard and the mouse. Any pad connected at any time drives, its buttons named by SDL's mapping
// database.
#pragma once

#include "events/actions.h"

struct RaceEvent;

// Starts SDL's game-controller subsystem and reads the player's own mappings. Where SDL can't
// start, the game plays without pads and says nothing.
// True when pads can be read.
bool openGamepads();
// Reads the pads' events between steps: in a race each button adds the action of its key, and a
// pad pulled out of a running race adds a pause; the left stick steers while it steered last.
void pollGamepads(TActions* actions);
// A crash rumbles every pad that can.
void rumbleRaceEvent(const RaceEvent& event);
// Closes the pads and SDL at exit.
void closeGamepads();

// True while the left stick steered last; moving the mouse to steer hands it back to the mouse.
extern bool stickSteers;
