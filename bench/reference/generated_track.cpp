// Generated tracks: a loop that is star-shaped round the origin never crosses itself, and
// walking it with the angle falling is clockwise on the map.
#include "bench/reference/generated_track.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

constexpr double meanSpacing = 25.0;   // units between waypoints along the loop
constexpr double spacingJitter = 0.2;  // share of a step the angle of a waypoint may move
constexpr double inwardShare = 0.12;   // waypoints pulled inwards
constexpr double hillHeight = 15.0;    // units, the larger wave of the hills
constexpr double shapeSpacing = 20.0;  // units between the waypoints of a shaped track
constexpr double fingerGap = 40.0;     // units between a comb's neighbouring straights

namespace {

double unit(std::mt19937& random) { return random() / 4294967296.0; }

}  // namespace

std::vector<TFileWaypoint> generatedWaypoints(int32_t count, uint32_t seed, bool straights) {
  std::mt19937 random(seed);
  const double twoPi = 6.283185307179586;
  double radius = count * meanSpacing / twoPi;
  double phase[4] = {twoPi * unit(random), twoPi * unit(random), twoPi * unit(random), twoPi * unit(random)};
  double hills = std::max(2, count / 50);  // a hill every fifty waypoints or so
  std::vector<TFileWaypoint> loop;
  for (int32_t i = 0; i < count; i++) {
    double angle = -twoPi * (i + spacingJitter * (2 * unit(random) - 1)) / count;
    double r = radius * (1 + 0.08 * std::sin(3 * angle + phase[0]) + 0.04 * std::sin(7 * angle + phase[1]));
    if (unit(random) < inwardShare) r -= 6 + 4 * unit(random);
    double height =
        hillHeight * std::sin(hills * angle + phase[2]) + hillHeight / 3 * std::sin(2.7 * hills * angle + phase[3]);
    TFileWaypoint w = {r * std::cos(angle), r * std::sin(angle), height};
    if (straights && !loop.empty() && unit(random) < 0.3) {
      const TFileWaypoint& p = loop.back();
      if (std::hypot(w.east - p.east, w.north - p.north) >= 24)
        loop.push_back({(p.east + w.east) / 2, (p.north + w.north) / 2, (p.height + w.height) / 2});
    }
    loop.push_back(w);
  }
  return loop;
}

std::vector<TFileWaypoint> shapedWaypoints(TTrackShape shape, int32_t count, double angle) {
  const double twoPi = 6.283185307179586, length = count * shapeSpacing;
  std::vector<TFileWaypoint> loop;
  if (shape == shapeCircle) {
    for (int32_t i = 0; i < count; i++)
      loop.push_back({length / twoPi * std::cos(-twoPi * i / count), length / twoPi * std::sin(-twoPi * i / count), 0});
    return loop;
  }
  // Corners in driving order, east and north: up the west side first is clockwise.
  std::vector<std::pair<double, double>> corners;
  if (shape == shapeComb) {
    double finger = std::max(2 * fingerGap, (length - 32 * fingerGap) / 16);
    for (int k = 0; k < 8; k++)
      for (auto [east, north] : {std::pair{0.0, 0.0}, {0.0, finger}, {fingerGap, finger}, {fingerGap, 0.0}})
        corners.push_back({2 * k * fingerGap + east, north});
    corners.push_back({15 * fingerGap, -fingerGap});
    corners.push_back({0, -fingerGap});
  } else {
    double ratio = shape == shapeSquare ? 1.0 : 0.01, width = length / (2 * (1 + ratio));
    corners = {{0, 0}, {0, ratio * width}, {width, ratio * width}, {width, 0}};
  }
  for (size_t k = 0; k < corners.size(); k++) {
    auto [fromEast, fromNorth] = corners[k];
    auto [toEast, toNorth] = corners[(k + 1) % corners.size()];
    int32_t steps = std::max(1, int32_t(std::round(std::hypot(toEast - fromEast, toNorth - fromNorth) / shapeSpacing)));
    for (int32_t j = 0; j < steps; j++) {
      double east = fromEast + (toEast - fromEast) * j / steps, north = fromNorth + (toNorth - fromNorth) * j / steps;
      loop.push_back(
          {east * std::cos(angle) - north * std::sin(angle), east * std::sin(angle) + north * std::cos(angle), 0});
    }
  }
  return loop;
}

std::string trackFileText(const std::vector<TFileWaypoint>& waypoints, int decimals) {
  std::string text = "#Track\nGenerated\n";
  char line[128];
  for (const TFileWaypoint& w : waypoints) {
    std::snprintf(line, sizeof line, "%.*f %.*f %.*f\n", decimals, w.east, decimals, w.north, decimals, w.height);
    text += line;
  }
  return text;
}
