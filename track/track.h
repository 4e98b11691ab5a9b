// The race track: waypoints read from a track file, the three track rules, and the road and
// ground mesh the cars drive on.
#pragma once

#include <cstdint>

#include "geometry/vector.h"

class TTriangle;

constexpr float minWaypointDistance = 10.0f;    // units, three-dimensional, between any two waypoints
constexpr float maxTrackCoordinate = 1000000.0f;  // beyond it the margin and the 8-unit road lose precision
constexpr int maxTitleLength = 254;             // characters of the title line, without its line end

// Results of TTrack::load.
enum : int8_t {
  loadOk = 0,
  loadCantOpen = 1,
  loadNotTrackFile = 2,
  loadTooClose = 3,  // also a token that is not a whole finite number
  loadCrossing = 4,
  loadNotClockwise = 5,
  loadInvalid = 6,  // a coordinate out of range, or consecutive waypoints at one plan position
};

class TTrack {
 public:
  char* title;            // second line of the file, owned; null until read
  int32_t waypointCount;  // waypoints read
  Vec3* waypoints;        // waypointCount + 1 points, the last a copy of the first; owned
  Vec3 minCorner;         // smallest x, y, z over the waypoints, per axis
  Vec3 maxCorner;         // largest x, y, z
  Vec3 centre;            // (minCorner + maxCorner) / 2
  int32_t margin;         // half the larger plan extent, truncated: the ground border's width
  int32_t triangleCount;  // entries in triangles
  TTriangle** triangles;  // road, then infield ground, then outer ground; each owned; null while empty

  TTrack();
  ~TTrack();
  TTrack(const TTrack&) = delete;
  TTrack& operator=(const TTrack&) = delete;

  // Deletes every triangle and the array.
  void clearTriangles();
  // Reads, checks and meshes a track file; one of the load results above.
  int8_t load(const char* fileName);

  // The track rules, each true when it holds. The distance rule checks a new point against
  // every waypoint stored so far; the others run once every waypoint and the closing copy are in.
  bool isFarFromWaypoints(Vec3 point) const;
  bool hasDistinctConsecutivePlanPositions() const;
  bool passesCrossingRule() const;
  bool passesClockwiseRule() const;

  // Road and ground triangles from the checked waypoints; replaces triangles.
  void buildMesh();
  // Ear-clips a clockwise polygon of n points (room for n + 2) into n - 2 ground triangles, the
  // rest as a fan once a whole round finds no ear; takes over and releases points.
  void triangulatePolygon(int32_t n, Vec3* points);
  // Whether the corner at entry i + 1 can be cut off with its neighbours at i and i + 2.
  bool isEar(int32_t n, const Vec3* points, int32_t i) const;

  // Length of the closed waypoint line; 0 with no waypoints.
  float length() const;
  // First triangle containing (x, z) in plan view, else the first triangle. Needs a triangle.
  TTriangle* findTriangle(float x, float y, float z) const;

  // Drawing: the scene (solid mesh or wireframe grid) and the overview map, whose transform it
  // leaves current for the car markers.
  void draw() const;
  void drawOverview() const;
};
