// What the player hears: their own engine, each opponent's engine where it is, and the cues for a
// crash, a waypoint and a lap, heard from the camera's eye through OpenAL. Without a sound device
// every operation here does nothing and the game plays silent.
#pragma once

#include <cstdint>

extern bool soundMuted;  // the player has turned the sound off (m, or --mute at start)

// After the first race is made: opens the sound device and makes every sound and source. Without
// a device it prints one line on standard error saying that sound is off.
void openSound(bool muted);
// Releases every sound and closes the device; safe to call when none is open.
void closeSound();
// Once per simulation step, after the cars and the camera have moved: the listener to the eye,
// the engines to their cars and speeds, and a chime for a waypoint or a lap just reached.
void updateSound(float dt);
// Follows the run state: running plays, paused pauses every sound, crashed stops the engines and
// plays the crash.
void applySoundState(uint8_t runState);
// A new race is quiet: every sound stopped, the engine at idle, nothing left to chime.
void restartSound();
// The m key: the sound off, or on again.
void toggleMute();
