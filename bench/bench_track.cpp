// Start-up timings of the track, each part run with the game's grids and with the plain scans:
// the whole load, the distance and crossing rules, the ear clipping of both ground polygons and
// the search for the triangle under a point, on generated tracks of 100, 1,000 and 10,000
// waypoints and on the shipped tracks. A counter "plain/grid" would mislead across runs, so each
// pair is measured in the same run and the ratio taken by scripts/bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_race.h"
#include "bench/reference/plain_track.h"
#include "track/segment_pairs.h"
#include "track/track.h"
#include "track/triangle.h"

constexpr int queriesPerRun = 1000;  // points searched per timed pass of findTriangle

namespace {

const TTrack& loadedTrack(int64_t argument) {
  static std::map<int64_t, TTrack*> loaded;
  TTrack*& track = loaded[argument];
  if (track == nullptr) {
    track = new TTrack();
    if (track->load(benchTrackPath(argument).c_str()) != loadOk) std::abort();
  }
  return *track;
}

// With the work of the crossing rule and the ear clipping per waypoint, which must not grow with
// the track.
void LoadTrack(benchmark::State& state) {
  std::string path = benchTrackPath(state.range(0));
  for (auto _ : state) {
    TTrack track;
    if (track.load(path.c_str()) != loadOk) state.SkipWithError("track refused");
    benchmark::DoNotOptimize(track.triangleCount);
    int64_t crossingSteps = 0;
    state.counters["crossingPairs"] =
        double(segmentPairsThatMayCross(track.waypoints, track.waypointCount, &crossingSteps).size()) /
        track.waypointCount;
    state.counters["crossingSteps"] = double(crossingSteps) / track.waypointCount;
    state.counters["groundPointTests"] = double(track.groundPointTests) / track.waypointCount;
  }
}

// The distance rule as the loader runs it: each waypoint against those before it.
void DistanceRule(benchmark::State& state, bool (*isFar)(const TTrack&, Vec3, int32_t*)) {
  const TTrack& loaded = loadedTrack(state.range(0));
  for (auto _ : state) {
    TTrack track;
    track.waypoints = static_cast<Vec3*>(std::malloc(sizeof(Vec3) * size_t(loaded.waypointCount + 1)));
    for (int32_t i = 0; i < loaded.waypointCount; i++) {
      track.waypointCount = i;
      if (!isFar(track, loaded.waypoints[i], nullptr)) state.SkipWithError("waypoints too close");
      track.waypoints[i] = loaded.waypoints[i];
    }
  }
}

void CrossingRule(benchmark::State& state, bool (*passes)(const TTrack&, TCrossing*)) {
  const TTrack& track = loadedTrack(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(passes(track, nullptr));
}

// Both ground polygons, as the mesh hands them over.
void EarClipping(benchmark::State& state, void (*triangulate)(TTrack*, const std::vector<Vec3>&)) {
  std::vector<std::vector<Vec3>> polygons = groundPolygons(benchTrackPath(state.range(0)).c_str());
  for (auto _ : state) {
    TTrack track;
    for (const std::vector<Vec3>& polygon : polygons) triangulate(&track, polygon);
    benchmark::DoNotOptimize(track.triangleCount);
  }
}

// Points where cars are: along the centre line and the road's edges, and now and then off the
// road on the ground, from a fixed seed.
std::vector<Vec3> queryPoints(const TTrack& track) {
  std::mt19937 random(7);
  std::vector<Vec3> points;
  for (int k = 0; k < queriesPerRun; k++) {
    int32_t i = int32_t(random() % uint32_t(track.waypointCount));
    Vec3 p = track.waypoints[i], q = track.waypoints[i + 1];
    float f = float(random() % 1000) / 1000, side = float(int(random() % 25) - 12);
    if (k % 10 == 0) side *= 20;
    float length = std::hypot(q.x - p.x, q.z - p.z);
    points.push_back(
        {p.x + f * (q.x - p.x) + side * (q.z - p.z) / length, 0, p.z + f * (q.z - p.z) - side * (q.x - p.x) / length});
  }
  return points;
}

void FindTriangle(benchmark::State& state, bool plain) {
  const TTrack& track = loadedTrack(state.range(0));
  std::vector<Vec3> points = queryPoints(track);
  for (auto _ : state)
    for (Vec3 p : points)
      benchmark::DoNotOptimize(plain ? plainFindTriangle(track, p.x, 0, p.z) : track.findTriangle(p.x, 0, p.z));
  state.SetItemsProcessed(state.iterations() * queriesPerRun);
}

void allTracks(benchmark::internal::Benchmark* b) { b->Arg(0)->Arg(1)->Arg(2)->Arg(100)->Arg(1000)->Arg(10000); }

}  // namespace

// The game's own rules and clipping, in the shape of the plain scans they are timed against.
bool gridIsFar(const TTrack& track, Vec3 point, int32_t* near) { return track.isFarFromWaypoints(point, near); }
bool gridPassesCrossingRule(const TTrack& track, TCrossing* crossing) { return track.passesCrossingRule(crossing); }
void gridTriangulatePolygon(TTrack* track, const std::vector<Vec3>& polygon) { track->triangulatePolygon(polygon); }

// The plain ear clipping at 10,000 waypoints takes seconds, so those run a few times only.
BENCHMARK(LoadTrack)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DistanceRule, plain, plainIsFarFromWaypoints)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DistanceRule, grid, gridIsFar)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CrossingRule, plain, plainPassesCrossingRule)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(CrossingRule, grid, gridPassesCrossingRule)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EarClipping, plain, plainTriangulatePolygon)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EarClipping, grid, gridTriangulatePolygon)->Apply(allTracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindTriangle, plain, true)->Apply(allTracks)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindTriangle, grid, false)->Apply(allTracks)->Unit(benchmark::kMicrosecond);
