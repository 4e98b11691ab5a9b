// The game's sounds, made in the program at start-up: the engine's looping note and the short
// cues for a crash, a waypoint and a lap. Mono, 16-bit, at soundRate samples a second.
#pragma once

#include <cstdint>
#include <vector>

constexpr int soundRate = 22050;  // samples per second of every sound made here

// One seamless loop of the engine note at standstill: a fundamental with falling harmonics.
std::vector<int16_t> engineLoop();
// A burst of noise over a falling thud, dying away in well under a second.
std::vector<int16_t> crashCue();
// One bright ping for a waypoint reached.
std::vector<int16_t> waypointCue();
// Three rising notes for a new lap.
std::vector<int16_t> lapCue();
