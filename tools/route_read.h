// Reading a route made elsewhere: the points of a GPX track or route, a GeoJSON line, or a CSV
// table of metres, told apart by their content. Every input is treated as hostile: whatever is
// not a usable route ends in a message for the author, never in a crash or a hang.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t maxRouteBytes = size_t(64) << 20;  // bytes of input; a larger file is refused
constexpr size_t maxRoutePoints = 1000000;          // points of input; a day's recording at 1 s is 86400

struct TRoutePoint {
  double x, y;    // longitude and latitude in degrees, or east and north in metres
  double height;  // metres; NaN where the input gives none
  int line;       // of the input, from 1; 0 where the format's lines mean nothing
};

struct TRoute {
  std::string format;               // "GPX", "GeoJSON" or "CSV"
  bool geographic = false;          // x and y are longitude and latitude
  std::string name;                 // the input's own name for the route; may be empty
  std::vector<TRoutePoint> points;  // in input order; the author counts them from 1
};

// Reads the route from the input's whole text; false with a message when it can't.
bool readRoute(const std::string& text, TRoute* route, std::string* error);
