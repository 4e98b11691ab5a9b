// What happened in a simulation step, said once: the step's cars and crash test report events,
// and the head-up display, the sound and the records react to them at the end of the step.
#pragma once

#include <cstdint>

enum RaceEventKind : uint8_t {
  eventWaypointReached,  // the player reached the waypoint it headed for
  eventLapCompleted,     // the player closed a lap at the start
  eventCrash,            // the player stands on a slope too steep to drive
  eventNewRace,          // a fresh race, paused, with a fresh lap clock
  eventCountdown,        // a step of a race's countdown: waypoint holds 3, 2, 1, or 0 for go
};

struct RaceEvent {
  RaceEventKind kind;
  int32_t waypoint;  // index of the waypoint reached; the closing copy of the start for a lap
  float time;        // game-clock seconds when it happened
  float lapTime;     // seconds the completed lap took, paused time left out; 0 for other kinds
};

// A step reports at most a waypoint (or a lap) and a crash; the room to spare is for keys that
// act between steps.
constexpr int32_t maxRaceEvents = 8;

struct RaceEvents {
  RaceEvent list[maxRaceEvents];  // in the order they happened
  int32_t count;                  // events held, 0 to maxRaceEvents
};

// The events since the last time they were handled.
extern RaceEvents raceEvents;

// Adds an event; one beyond maxRaceEvents replaces the last, so the newest is never lost.
void reportRaceEvent(RaceEventKind kind, int32_t waypoint, float time, float lapTime = 0.0f);
// Forgets every event held.
void clearRaceEvents();
