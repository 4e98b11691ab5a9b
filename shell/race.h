// A race's cars and camera: made at every start, made anew at every restart, released at the end.
#pragma once

// Fills the car array with the player and the opponents, coloured by index, and makes the camera.
void createRace();
// A race from its start, as every start makes it (the command line's, the chooser's, the restart
// after a crash, the benchmarks'): any cars and camera there are released, createRace makes them
// anew in the allocated car array, and the race waits paused with a fresh lap clock. The lap
// times, the overlays and the window survive.
void resetRace();
// Closes the sound and the time trial and releases the cars, the car array, the camera and the track.
void releaseRace();
// At process exit: the race released as releaseRace does.
void cleanUpGame();
