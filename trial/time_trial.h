// Racing against the clock: the record of this track kept between games, the target times and
// medals, the splits against the record at every waypoint, and a ghost driven beside the player:
// the record's, the gold lap's or a friend's.
#pragma once

#include <cstdint>

#include "events/race_events.h"
#include "ghost/ghost.h"
#include "targets/targets.h"

// Which lap the ghost drives, in the order g steps through them.
enum TGhostChoice : uint8_t { ghostOfRecord, ghostOfGold, ghostOfFriend, ghostHidden };

extern bool recordKept;        // a record lap of this track is known, kept before or set in this game
extern float recordLapTime;    // seconds of the record lap
extern float newRecordTime;    // game-clock seconds when this game set a new record; negative: never
extern uint8_t ghostChoice;    // the g key: the lap the ghost drives, or ghostHidden
extern float ghostChoiceTime;  // game-clock seconds when g last chose; negative: not yet
extern bool ghostPlaced;       // the chosen lap has a place at the current lap time
extern GhostSample ghostPose;  // where the chosen lap was at the current lap time
extern bool targetsKnown;      // the gold lap was driven on this track, now or before
extern LapTargets lapTargets;  // the track's targets, while targetsKnown
extern uint8_t medalHeld;      // the best medal the record won
extern float medalWonTime;     // game-clock seconds when a lap of this game won medalHeld; negative: never
extern bool friendKept;        // a friend's lap of this track was added
extern float friendLapTime;    // seconds of the fastest friend's lap
extern float splitGap;         // seconds behind the record's lap at the last waypoint; negative: ahead
extern float splitTime;        // game-clock seconds when splitGap was measured; negative: never

// After the track has loaded: reads its record, when there is one, a friend's best lap and the
// targets, drives the gold lap when none are kept and keeps them, and starts sampling the first
// lap. A record that cannot be read is named in one line on standard error, raced without and
// never written over; so is a file of targets.
void openTimeTrial();
// At exit: waits for a record being written; no record or ghost is shown after.
void closeTimeTrial();
// Once a step: samples the player's lap and places the ghost at the lap time now.
void stepTimeTrial(float now);
// A closed lap may be a new record, which is kept and raced from the next lap, and may win a medal;
// a waypoint reached is timed against the record's lap there; a new race starts the ghost again.
void keepRaceEvent(const RaceEvent& event);
// The g key: the next lap to drive as the ghost, a friend's only when there is one.
void cycleGhost(float now);
// The lap the ghost drives, as the display names it: "record", "gold", "friend" or "none".
const char* ghostChoiceName(uint8_t choice);
