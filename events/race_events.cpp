// The events of the step under way.
#include "events/race_events.h"

RaceEvents raceEvents = {};

void reportRaceEvent(RaceEventKind kind, int32_t waypoint, float time, float lapTime) {
  int32_t at = raceEvents.count < maxRaceEvents ? raceEvents.count++ : maxRaceEvents - 1;
  raceEvents.list[at] = RaceEvent{kind, waypoint, time, lapTime};
}

void clearRaceEvents() { raceEvents.count = 0; }
