// The shell's global game state and its start-up.
#pragma once

#include <cstdint>
#include <string>

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

extern uint8_t pauseState;     // stateRunning, statePaused or stateCrashed
extern float lastFrameTime;    // game-clock seconds of the last step; 0: none yet, next step is 0.1 s
extern float lapStartTime;     // game-clock seconds when the current lap began
extern float pausedTime;       // seconds of user pause since lapStartTime
extern float pauseStartTime;   // game-clock seconds when the current user pause began
extern float lastLapTime;      // seconds
extern float bestLapTime;      // seconds; the largest finite float until a lap is done
extern char messageText[256];  // last waypoint or lap message
extern float messageTime;      // game-clock seconds when messageText was set

extern int32_t windowWidth;       // pixels, 0 until the first reshape
extern int32_t windowHeight;      // pixels
extern float aspectRatio;         // windowWidth / windowHeight
extern int32_t savedWindowWidth;  // last size seen outside full screen, restored on leaving it
extern int32_t savedWindowHeight;
extern bool fullScreen;

extern bool windowVisible;  // false while the window is hidden, so display draws nothing

extern uint8_t displayFlags;  // showHelp | showHeadUp | showOverview | drawSolid bits

// The opponents argument read as atoi reads it (blanks, a sign, digits up to the first
// non-digit, none giving 0), but held within the int range instead of overflowing.
int readOpponentArgument(const char* text);
// Takes every copy of the option ("--mute", "--choose") out of the command line, wherever it
// stands, so the track file and the opponents keep their places; true if there was one.
bool takeOption(int* argc, char** argv, const char* option);
// Starts loading the track on a thread of its own before GLUT has read the command line, when
// no argument can be one of GLUT's options. initGame then takes its result.
void startLoadingTrack(int argc, char** argv);
// Start-up after the window exists: the track, the opponents, the cars and the clock. On a
// failure it prints its message and ends the process with status 1.
void initGame(int argc, char** argv);
// The race on the loaded track with carCount cars, as every start makes it: the cars, the clock
// and the time trial.
void beginRace();
// A race from the chooser: the same track and cars the command line makes of that file and that
// many opponents, then the sound. False with the game's message when the track is refused.
bool startChosenRace(const char* fileName, int32_t opponents, std::string* message);
// Closes the sound and the time trial and releases the cars, the camera and the track.
void releaseRace();
// The three-line banner of a successful start.
void printBanner();
// Fills the car array with the player and the opponents, coloured by index, and makes the camera.
void createRace();
// At process exit: the chooser's work stopped, then the race released as releaseRace does.
void cleanUpGame();

// While the game runs (GLUT idle callback): one simulation step, then a frame asked for.
void idle();
// One simulation step at the game clock's time: every car, the camera, the sound, the crash
// test, the step's events handed on, and the time trial.
void stepRace();
// Hands the events reported since the last call to the head-up display, the sound and the
// records, then forgets them.
void handleRaceEvents();
// 0 runs, 1 pauses, 2 crashes: installs or removes the idle step and keeps paused time out of laps.
void setPause(uint8_t mode);
// After a crash: new cars and camera, paused, with a fresh lap clock; lap times survive.
void restartRace();
// GLUT reshape callback: viewport and the 45-degree projection.
void reshape(int width, int height);
// GLUT visibility callback: nothing is drawn while the window is hidden.
void visibility(int state);
