// The race as every part of the game sees it: the one track, the cars, the camera, the lap clock,
// the message, the run state, the overlays shown and the window's size. Plain globals, one
// instance each; what writes each is said beside it.
#pragma once

#include <cstdint>

class TTrack;
class TCar;
class TPlayer;
class TCamera;

constexpr int maxCars = 8;  // the player and up to seven opponents
constexpr int maxOpponents = maxCars - 1;

// Run states held in pauseState.
enum : uint8_t { stateRunning = 0, statePaused = 1, stateCrashed = 2 };

// Bits of displayFlags.
enum : uint8_t { showHelp = 1, showHeadUp = 2, showOverview = 4, drawSolid = 8 };
constexpr uint8_t startDisplayFlags = showHeadUp | showOverview | drawSolid;

extern TTrack* track;     // the one track, owned by the shell
extern TCar** cars;       // carCount cars; element 0 is the player
extern int32_t carCount;  // cars including the player, 1 to 8
extern TPlayer* player;   // the same object as cars[0]
extern TCamera* camera;   // the one viewpoint

extern uint8_t pauseState;     // stateRunning, statePaused or stateCrashed: setPause and the reset
extern float lastFrameTime;    // game-clock seconds of the last step; 0: none yet, next step is 0.1 s
extern float lapStartTime;     // game-clock seconds when the current lap began: the player and the reset
extern float pausedTime;       // seconds of user pause since lapStartTime: the player, setPause and the reset
extern float pauseStartTime;   // game-clock seconds when the current user pause began
extern float lastLapTime;      // seconds
extern float bestLapTime;      // seconds; the largest finite float until a lap is done
extern char messageText[256];  // last waypoint or lap message, written by the player's step
extern float messageTime;      // game-clock seconds when messageText was set

extern int32_t windowWidth;       // pixels, 0 until the first reshape
extern int32_t windowHeight;      // pixels
extern float aspectRatio;         // windowWidth / windowHeight
extern int32_t savedWindowWidth;  // pixels: last size seen outside full screen, restored on leaving it
extern int32_t savedWindowHeight;
extern bool fullScreen;
extern bool windowVisible;  // false while the window is hidden, so the display draws nothing

extern uint8_t displayFlags;  // showHelp | showHeadUp | showOverview | drawSolid bits

// A race against rivals instead of the free drive with opponents: --race on the command line, or
// the chooser. Set before the race is made.
constexpr int32_t maxRaceLaps = 99;
extern int32_t raceLaps;   // laps to the finish, 1 to maxRaceLaps; 0 for the free drive
extern uint8_t raceLevel;  // the rivals' level: 0 easy, 1 medium, 2 hard
