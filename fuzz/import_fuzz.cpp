// libFuzzer target: every input is a route for the track tool's import. Reading it must end in
// a route or a message; a route small enough to mesh quickly is made into a track, which ends in
// one of the three outcomes: a track the game loads, a refusal the game's rules explain, or a
// message saying why nothing could be made.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/track_import.h"
#include "track/track.h"

namespace {

// Tracks longer than this many default spacings are left to the tests: long straight runs make
// the ground slow to cut, and a fuzzer soon finds them.
constexpr double fuzzedWaypoints = 400.0;

double planeLength(const std::vector<TPlanePoint>& plane) {
  double length = 0.0;
  for (size_t i = 0; i < plane.size(); i++) {
    const TPlanePoint &a = plane[i], &b = plane[(i + 1) % plane.size()];
    length += std::hypot(b.east - a.east, b.north - a.north);
  }
  return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TRoute route;
  std::string problem;
  if (!readRoute(text, &route, &problem)) {
    if (problem.empty()) std::abort();
    return 0;
  }
  std::vector<TPlanePoint> plane;
  if (!projectRoute(route, &plane, &problem)) return 0;
  if (!(planeLength(plane) <= fuzzedWaypoints * defaultWaypointSpacing)) return 0;
  TImport made = importRoute("route", text, "route.tck", TImportOptions());
  if (importText(made, "route").empty()) std::abort();
  switch (made.status) {
    case importWritten: {
      TTrack track;
      if (track.loadText(made.trackText.data(), made.trackText.size()) != loadOk) std::abort();
      break;
    }
    case importRefused:
      if (made.problem.empty() && made.check.accepted()) std::abort();
      break;
    case importUnusable:
      if (made.problem.empty() || !made.trackText.empty()) std::abort();
      break;
    default: std::abort();
  }
  return 0;
}
