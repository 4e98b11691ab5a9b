// Game controllers through SDL2's game-controller API, for input only: GLUT keeps the window, the
// keyboard and the mouse. Any pad connected at any time drives, its buttons named by SDL's mapping
// database.
#pragma once

struct RaceEvent;

// Starts SDL's game-controller subsystem and reads the player's own mappings. Where SDL can't
// start, the game plays without pads and says nothing.
void openGamepads();
// Reads the pads' events: buttons act as their keys do, the left stick steers while it steered
// last, and a pad pulled out of a running race pauses it. Once a step, and on a timer otherwise.
void pollGamepads();
// While the game does not run no step polls: a timer does, until the game runs again.
void pollGamepadsWhileStopped();
// A crash rumbles every pad that can.
void rumbleRaceEvent(const RaceEvent& event);
// Closes the pads and SDL at exit.
void closeGamepads();

// True while the left stick steered last; moving the mouse to steer hands it back to the mouse.
extern bool stickSteers;
