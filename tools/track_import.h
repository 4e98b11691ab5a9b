// Making a track from a route made elsewhere: projecting it onto the plan, spacing waypoints
// evenly along it, smoothing its heights, closing it and turning it clockwise, then judging the
// would-be track with the game's own loader and rules, as `check` does.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/route_heights.h"
#include "tools/route_read.h"
#include "tools/track_check.h"

constexpr double defaultWaypointSpacing = 20.0;  // units along the road between waypoints
constexpr double closingSpacings = 3.0;          // route ends at most this many spacings apart are joined,
constexpr double closingPointSpacings = 1.5;     // and so are ends nearer than this many of the route's
                                                 // median distances between points: a sparse recording,
constexpr double closingShare = 0.02;            // and ends at most this share of the way round
constexpr double closingMetres = 250.0;          // and this many metres apart: a recording stopped short
constexpr double heightSmoothingReach = 50.0;    // units each way along the road that a height is averaged over
constexpr double maxRouteRadius = 1000000.0;     // metres from the route's middle that the plane takes well
// Waypoints of a made track at most: some 2,000 km of route at the usual spacing, which the game
// loads in well under a second, curves and long straights alike. Solving the heights of a long
// hilly route takes longer: seconds for a few thousand waypoints, in windows past that.
constexpr double maxImportWaypoints = 100000.0;

// The outcomes, which are also the command's exit statuses.
enum : int { importWritten = 0, importRefused = 1, importUnusable = 2 };

struct TImportOptions {
  std::string title;                        // empty: the input's name, else the file's
  double spacing = defaultWaypointSpacing;  // units between waypoints, at least the game's minimum
  double scale = 1.0;                       // units per metre
  double heightScale = 1.0;                 // factor on heights, on top of the scale
  bool close = false;                       // join the route's ends however far apart
  bool keepHeights = false;                 // write the smoothed heights even where the ground crashes the car
};

// Cuts text to at most bytes, never inside a UTF-8 character.
void cutAtCharacter(std::string* text, size_t bytes);
// A place on the input: between two of its points.
struct TRouteSpot {
  size_t from, to;  // input points, from 0
  double along;     // fraction of the way from `from` to `to`
};

// East and north of the route's middle, in metres.
struct TPlanePoint {
  double east, north;
};

struct TImport {
  int status = importUnusable;
  std::string problem;  // why nothing could be made; empty once the game has judged a track
  TRoute route;
  bool routeRead = false;  // the input held a route, whatever became of it
  std::string title;
  double routeLength = 0.0;                        // units round the route on the plane, the joining stretch included
  double gap = 0.0;                                // units between the route's ends
  double gapShare = 0.0;                           // of the way round, the joining stretch included
  bool reversed = false;                           // it ran counter-clockwise and was turned round
  std::vector<TRouteSpot> spots;                   // where each waypoint stands on the input, in the track's order
  std::vector<TPlanePoint> places;                 // each waypoint's east and north in units
  int placeDecimals = 2;                           // decimals the track file gives them
  int straightLegs = 0;                            // straight legs the bends were redrawn as; 0 when kept as drawn
  double straightMoved = 0.0;                      // units the farthest waypoint moved to lie on its leg
  std::vector<double> heights;                     // each waypoint's height in units as written
  std::vector<double> smoothed;                    // and as smoothed from the route
  int crashSlopesAsSmoothed = 0;                   // crash slopes of the track with its heights only smoothed
  THeightSolve solve;                              // the heights solved for where the smoothed ones crash the car
  double heightChange = 0.0;                       // units: the largest change to a waypoint's height past smoothing
                                                   // and the whole track's shift against the border
  int mostChanged = -1;                            // the waypoint (from 0) changed most; -1 when none changed
  bool flattened = false;                          // no heights solved for cleared the crash slopes: made flat
  double swingSmoothed = 0.0, swingKept = 0.0;     // units from the lowest waypoint to the highest
  double climbSmoothed = 0.0, climbWritten = 0.0;  // units climbed in a lap
  bool heightsKept = false;                        // asked to keep the smoothed heights, crash slopes and all
  std::string trackText;                           // the would-be track file
  TTrackCheck check;                               // the game's verdict on it
};

// The route's points on a plane around its middle, east as east and north as north: an exact
// local frame of the world's ellipsoid for longitudes and latitudes, the table's own metres
// moved to the middle otherwise. False with a message when the route is too large for a plane.
bool projectRoute(const TRoute& route, std::vector<TPlanePoint>* plane, std::string* problem);

// Makes the track from an input file's text; outputName names the would-be track in reports.
TImport importRoute(const std::string& inputName, const std::string& text, const std::string& outputName,
                    const TImportOptions& options);

// What the author reads: what was made of the route, or why nothing was and where on the route.
std::string importText(const TImport& import, const std::string& inputName);
