#include "geometry/random.h"

static uint32_t randState = 1;

int gameRand() {
  randState = randState * 22695477u + 1u;
  return int((randState >> 16) & 0x7fffu);
}

void setGameRandState(uint32_t state) { randState = state; }
