// What the track checker finds in one track file, said in the author's terms: waypoints numbered
// from 1 in file order, lines of the file, and east, north and height rather than the game's
// x, y and z.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "track/track.h"
#include "track/triangle.h"

constexpr double crashSlopeDegrees = crashPitch * 180.0 / pi;  // for the author: 45

struct TPlace {
  double east, north, height;
};

struct TWaypointRef {
  int number;  // from 1, in file order
  int line;    // line of its first number; 0 when unknown
  TPlace at;
};

// A mesh triangle picked out for its slope.
struct TSlope {
  int triangle;        // index in the track's triangles
  const char* ground;  // "road", "infield" or "outer ground"
  double degrees;
  TPlace at;        // its centroid
  int segment;      // the nearest stretch of centre line, from waypoint segment (from 1) to the next
  bool atRoadEdge;  // a side of it runs along the road's edge: a car that leaves the road there
                    // stands on it at once; true for the road's own triangles
};

struct TTrackCheck {
  std::string file;
  int result = loadCantOpen;  // the game's load result
  std::string message;        // the game's message for it, without the line end; empty when accepted
  TLoadDetail detail;
  std::unique_ptr<TTrack> track;        // as the loader left it: meshed when accepted
  std::vector<TWaypointRef> waypoints;  // those the loader stored

  // An accepted track.
  double length = 0.0;
  TPlace low = {}, high = {};  // bounding box of the waypoints
  int roadTriangles = 0, infieldTriangles = 0, outerTriangles = 0;
  TSlope steepestRoad = {}, steepestGround = {};
  std::vector<TSlope> crashSlopes;

  // A refused track: the waypoints at fault (too close: the refused one, then the one it is near;
  // one plan position: the pair; crossing: the start and end of each segment).
  std::vector<TWaypointRef> atFault;
  double apart = 0.0;           // too close: their distance
  TPlace crossingAt = {};       // height 0
  double turnSumDegrees = 0.0;  // not clockwise
  int reversedResult = loadOk;  // not clockwise: the game's result for the waypoints in reverse order

  bool accepted() const { return result == loadOk; }
};

// Loads the file with the game's own loader and rules and gathers what an author needs to know.
TTrackCheck checkTrackFile(const std::string& file);
// The same for the text of a track file already in memory, reported under name.
TTrackCheck checkTrackText(const std::string& name, const std::string& text);

// The point of the game's world in the author's terms.
TPlace placeOf(Vec3 p);
// The order that reverses the driving direction but keeps the start: 1, n, n - 1, ..., 2.
std::vector<Vec3> reversedWaypoints(const TTrack& track);
