// What the player hears: their own engine, each opponent's engine where it is, and the cues for a
// crash, a waypoint and a lap, heard from the camera's eye through OpenAL. Without a sound device
// every operation here does nothing and the game plays silent.
#pragma once

#include <cstdint>

#include "events/race_events.h"

extern bool soundMuted;  // the player has turned the sound off (m, or --mute at start)

// After the first race is made: opens the sound device and makes every sound and source. Without
// a device it prints one line on standard error saying that sound is off.
void openSound(bool muted);
// Releases every sound and closes the device; safe to call when none is open.
void closeSound();
// Once per simulation step, after the cars and the camera have moved: the listener to the eye,
// the engines to their cars and speeds.
void updateSound(float dt);
// Follows the run state: running plays, paused pauses every sound, crashed stops the engines.
void applySoundState(uint8_t runState);
// A chime for a waypoint or a lap, the crash; a new race is quiet: every sound stopped, the
// engine at idle.
void playRaceEvent(const RaceEvent& event);
// The m key: the sound off, or on again.
void toggleMute();
