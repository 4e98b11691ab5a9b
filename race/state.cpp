// The race's globals and their values before start-up.
#include "race/state.h"

#include <limits>

TTrack* track = nullptr;
TCar** cars = nullptr;
int32_t carCount = maxCars;
TPlayer* player = nullptr;
TCamera* camera = nullptr;

uint8_t pauseState = statePaused;
float lastFrameTime = 0.0f;
// The lap clock is written only by the player's step, the pause and the race's reset; until
// start-up it holds zero, as every global without an initialiser does.
float lapStartTime;
float pausedTime;
float pauseStartTime = 0.0f;
float lastLapTime = 0.0f;
float bestLapTime = std::numeric_limits<float>::max();
char messageText[256] = "";
float messageTime = 0.0f;

int32_t windowWidth = 0;
int32_t windowHeight = 0;
float aspectRatio = 0.0f;
int32_t savedWindowWidth = 0;
int32_t savedWindowHeight = 0;
bool fullScreen = false;
bool windowVisible = true;

uint8_t displayFlags = startDisplayFlags;

int32_t raceLaps = 0;
uint8_t raceLevel = 1;
