// Preloaded into the real game by bench/game_runs.py to race it as on a machine where SDL has no
// device support: SDL_Init fails, so the game never starts SDL nor polls it. A benchmarking tool
// only, the other side of the comparison with the game reading pads as it ships.
#include <cstdint>

extern "C" int SDL_Init(uint32_t) { return -1; }
