// The game's one random generator: never seeded, so every run draws the same sequence and a
// track gets the same ground shades and opponent places each time.
#pragma once

#include <cstdint>

constexpr int gameRandMax = 32767;

// Next value, 0 to 32767: state = state * 22695477 + 1 (mod 2^32), value = bits 16 to 30.
int gameRand();
// Puts the generator at a chosen state (the first state is 1), for tests and tools.
void setGameRandState(uint32_t state);
