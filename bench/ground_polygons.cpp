// Writes the two ground polygons of a generated track (or of a track file) as the mesh hands
// them to the ear clipping, and times the game's clipping of both, for the comparison with the
// earcut library in bench/earcut_compare.py.
//   zarvanto_ground_polygons WAYPOINTS|FILE.tck OUTPUT REPEATS
// OUTPUT holds, per polygon, its point count and then one "x z" line per point. The median of
// REPEATS timings of clipping both, in milliseconds, goes to standard output.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/reference/generated_track.h"
#include "bench/reference/plain_track.h"

constexpr uint32_t trackSeed = 2024;  // as the benchmarks' generated tracks

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s WAYPOINTS|FILE.tck OUTPUT REPEATS\n", argv[0]);
    return 2;
  }
  std::string track = argv[1];
  if (track.find(".tck") == std::string::npos) {
    std::string text = trackFileText(generatedWaypoints(std::atoi(argv[1]), trackSeed));
    track = std::string(argv[2]) + ".tck";
    std::FILE* file = std::fopen(track.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  std::vector<std::vector<Vec3>> polygons = groundPolygons(track.c_str());
  if (polygons.empty()) {
    std::fprintf(stderr, "%s does not load\n", track.c_str());
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "w");
  for (const std::vector<Vec3>& polygon : polygons) {
    std::fprintf(out, "%zu\n", polygon.size());
    for (Vec3 p : polygon) std::fprintf(out, "%.9g %.9g\n", p.x, p.z);
  }
  std::fclose(out);
  std::vector<double> times;
  for (int k = 0; k < std::max(1, std::atoi(argv[3])); k++) {
    TTrack clipped;
    auto start = std::chrono::steady_clock::now();
    for (const std::vector<Vec3>& polygon : polygons) clipped.triangulatePolygon(polygon);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%.3f\n", times[times.size() / 2]);
  return 0;
}
