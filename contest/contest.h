// The race against rivals: the grid, the countdown, the cars held solid to each other, the laps
// and positions of every car, the finish and the standings.
#pragma once

#include <cstdint>
#include <cstdio>

#include "race/state.h"

enum TContestPhase : uint8_t {
  phaseGrid,       // on the grid, waiting for the first step
  phaseCountdown,  // 3, 2, 1: nothing moves
  phaseRacing,     // from go until the player finishes
  phaseFinished,   // the player has finished: the results stand
};

constexpr float countdownLength = 3.0f;  // seconds from the first step to go

struct TStanding {
  int32_t laps;       // laps completed
  int32_t lastIndex;  // the car's waypointIndex after the last step
  bool finished;      // all the race's laps done
  float finishTime;   // race seconds at the finish
  float lapStart;     // race seconds when the current lap began
  float bestLap;      // seconds; the largest float until a lap is done
  float covered;      // units along the road from the start line, laps included
  uint8_t touching;   // bit j: touching car j at the last step
};

extern uint8_t contestPhase;
extern float countdownTime;           // seconds the countdown has run
extern float raceTime;                // seconds since go, pauses left out
extern TStanding standings[maxCars];  // element i for cars[i]
extern int32_t raceOrder[maxCars];    // indices into cars, first place first
extern int32_t missedWaypoint;        // the waypoint the player passed without reaching; -1 for none

// The cars of a fresh race stood on the grid behind the start line, two abreast, the player last;
// then the race waits for its countdown.
void startContest();
// One step of the race: the countdown, then every car, contact between them and the standings.
// True in the step the player finishes.
bool stepContest(float dt, float now);
// The car's name in the results: "you" or its colour.
const char* carName(int32_t car);
// 1 for "1st", 2 for "2nd" and so on.
const char* ordinalSuffix(int32_t position);
// The player's place, 1 first.
int32_t playerPosition();
// Seconds for the player to reach where the car ahead of it is now; negative when first.
float gapAhead();
// One results line for the car in place position, as the standings print it.
void formatStanding(int32_t position, char (&text)[96]);
// The player's finish kept as the best race on this track at these laps and level, when it beats
// the one kept; a file of race times the game can't read is named on standard error and left.
void keepRaceTime();
// The track, laps and level, then a line per car in order. Once per race: later calls print nothing.
void printStandings(FILE* out);
