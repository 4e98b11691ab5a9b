// Racing against the clock: the record of this track kept between games, and the ghost of its
// lap driven beside the player.
#pragma once

#include <cstdint>

#include "events/race_events.h"
#include "ghost/ghost.h"

extern bool recordKept;        // a record lap of this track is known, kept before or set in this game
extern float recordLapTime;    // seconds of the record lap
extern float newRecordTime;    // game-clock seconds when this game set a new record; negative: never
extern bool ghostShown;        // the g key: the ghost is drawn
extern bool ghostPlaced;       // the record's lap has a place at the current lap time
extern GhostSample ghostPose;  // where the record's lap was at the current lap time

// After the track has loaded: reads its record, when there is one, and starts sampling the first
// lap. A record that cannot be read is named in one line on standard error, raced without and
// never written over.
void openTimeTrial();
// At exit: waits for a record being written; no record or ghost is shown after.
void closeTimeTrial();
// Once a step: samples the player's lap and places the ghost at the lap time now.
void stepTimeTrial(float now);
// A closed lap may be a new record, which is kept and raced from the next lap; a new race starts
// the ghost again.
void keepRaceEvent(const RaceEvent& event);
