// One simulation step of a race: eight cars and the camera, on the shipped tracks and on
// generated tracks of 1,000 and 10,000 waypoints. The game takes up to 125 steps a second, so a
// step must stay a small part of 8 ms.
#include <benchmark/benchmark.h>

#include "app/game.h"
#include "bench/bench_race.h"

constexpr float stepSeconds = 0.008f;  // one frame period of the game loop

namespace {

void SimulationStep(benchmark::State& state) {
  startRace(benchTrackPath(state.range(0)), maxCars);
  for (auto _ : state) driveStep(stepSeconds);
}

}  // namespace

BENCHMARK(SimulationStep)->Arg(0)->Arg(1)->Arg(2)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
