// The race track: waypoints read from a track file, the three track rules, and the road and
// ground mesh the cars drive on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/vector.h"
#include "track/triangle_grid.h"
#include "track/triangulate.h"
#include "track/waypoint_hash.h"

class TTriangle;
class TTrack;

constexpr float minWaypointDistance = 10.0f;      // units, three-dimensional, between any two waypoints
constexpr float maxTrackCoordinate = 1000000.0f;  // beyond it the margin and the 8-unit road lose precision
constexpr int maxTitleLength = 254;               // characters of the title line, without its line end

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

// What refused a track, for the track checker that tells authors where; the game never asks.
enum TLoadFault : uint8_t {
  faultNone,
  faultCantOpen,
  faultHeader,  // line 1 is not exactly the header
  faultTitleTooLong,
  faultTitleUnterminated,  // the file ends before the title's line end
  faultNoWaypoints,
  faultNotANumber,
  faultTooClose,
  faultOutOfRange,
  faultSamePlanPosition,  // consecutive waypoints at one plan position
  faultCrossing,
  faultNotClockwise,
};

// Two segments of the centre line that cross; segment k runs from waypoint k to waypoint k + 1.
struct TCrossing {
  int32_t segment;
  int32_t otherSegment;
  float along;  // where they cross, as a fraction of segment from its start
};

// Filled by load when a caller passes a fresh one: the fault and its place in the file.
struct TLoadDetail {
  TLoadFault fault = faultNone;
  int32_t line = 0;                    // line of the file (from 1) the fault stands on; 0 when it lies
                                       // between waypoints, whose lines waypointLines holds
  std::string token;                   // the text that is not a number, or the first line instead of the header
  std::vector<int32_t> waypointLines;  // line of each stored waypoint's first number
  Vec3 refused = {0.0f, 0.0f, 0.0f};   // the waypoint refused while reading: too close or out of range
  int32_t waypoint = -1;  // too close: the stored waypoint it is near; one plan position: the first of the pair
  TCrossing crossing = {-1, -1, 0.0f};
  float turnSum = 0.0f;       // radians, as the clockwise rule sums them
  int finalGroupNumbers = 3;  // numbers in the last waypoint; fewer borrow from the waypoint before
};

// The road's edges and the ground round it, before any triangle is made.
struct TRoadOutline {
  std::vector<Vec3> leftStart, leftEnd;    // waypointCount + 1 each: where the left edge of the leg from
                                           // each waypoint starts, and where the leg arriving there ends
  std::vector<Vec3> rightStart, rightEnd;  // the same on the right
  std::vector<uint8_t> cornerFlags;        // per waypoint: which side of its turn the wedge fills
  std::vector<Vec3> infield, outer;        // the two ground polygons, clockwise
};

class TTrack {
 public:
  char* title;                         // second line of the file, owned; null until read
  int32_t waypointCount;               // waypoints read
  Vec3* waypoints;                     // waypointCount + 1 points, the last a copy of the first; owned
  Vec3 minCorner;                      // smallest x, y, z over the waypoints, per axis
  Vec3 maxCorner;                      // largest x, y, z
  Vec3 centre;                         // (minCorner + maxCorner) / 2
  int32_t margin;                      // half the larger plan extent, truncated: the ground border's width
  int32_t triangleCount;               // entries in triangles
  TTriangle** triangles;               // road, then infield ground, then outer ground; null while empty
  TTriangle* triangleBlock;            // every triangle, in the order of triangles, in one owned block
  int32_t triangleRoom;                // triangles the block and the array have room for
  int32_t infieldStart;                // index of the first infield triangle: the road comes before it
  int32_t outerStart;                  // index of the first outer ground triangle
  TTriangleGrid triangleGrid;          // the triangles by plan cell, for findTriangle; built with the mesh
  mutable TWaypointHash waypointHash;  // the waypoints read so far by cell, for the distance rule
  int64_t groundPointTests;            // the ear clipping's work since the mesh was cleared, for the
                                       // benchmarks: points its searches looked at, and again those
                                       // they tested against a corner

  TTrack();
  ~TTrack();
  TTrack(const TTrack&) = delete;
  TTrack& operator=(const TTrack&) = delete;

  // Releases every triangle and the array.
  void clearTriangles();
  // Makes room for count triangles in all, so a mesh of known size is allocated once.
  void reserveTriangles(int32_t count);
  // Appends a triangle, growing the block and the array when they are full.
  void addTriangle(Vec3 a, Vec3 b, Vec3 c, bool isRoad);
  // Reads, checks and meshes a track file; one of the load results above. With detail, also
  // says which fault refused it and where. Without meshing, the track is read and judged alone:
  // it draws nothing from the game's generator and may be loaded on any thread.
  int8_t load(const char* fileName, TLoadDetail* detail = nullptr, bool meshing = true);
  // The same for the size bytes of a track file's text already in memory; never loadCantOpen.
  int8_t loadText(const char* text, size_t size, TLoadDetail* detail = nullptr, bool meshing = true);

  // The track rules, each true when it holds. The distance rule checks a new point against
  // every waypoint stored so far; the others run once every waypoint and the closing copy are in.
  // Each out-parameter, when given, receives where its rule failed (or the clockwise sum): the
  // nearest stored waypoint in index order, the first crossing pair in the order of the plain
  // scan over all pairs (segment ascending, then the earlier segment ascending).
  bool isFarFromWaypoints(Vec3 point, int32_t* nearWaypoint = nullptr) const;
  bool hasDistinctConsecutivePlanPositions(int32_t* firstOfPair = nullptr) const;
  bool passesCrossingRule(TCrossing* crossing = nullptr) const;
  bool passesClockwiseRule(float* turnSum = nullptr) const;

  // The road's edges and the two ground polygons of the checked waypoints.
  TRoadOutline roadOutline() const;
  // Road and ground triangles from the checked waypoints; replaces triangles and indexes them.
  void buildMesh();
  // Ear-clips a clockwise polygon of m points into m - 2 ground triangles, the rest as a fan once
  // a whole round finds no ear. Each corner is tested against the remaining points near it only.
  void triangulatePolygon(const std::vector<Vec3>& polygon);
  // The same for the n points of an array made with new[] that has room for two more; the array
  // is released before it returns.
  void triangulatePolygon(int32_t n, Vec3* points);
  // Whether the corner at entry i + 1 of an n-point polygon (entries n and n + 1 copying 0 and 1)
  // can be cut off: the polygon turns right there, and no other remaining point lies strictly
  // inside the triangle or on its diagonal strictly between the ends. Tests every point; the
  // clipping itself asks only the points near the corner.
  bool isEar(int32_t n, const Vec3* points, int32_t i) const;
  // Makes the ground triangles of cut, in its order, after the triangles there are.
  void addGroundTriangles(const std::vector<TCorners>& cut);

  // Length of the closed waypoint line; 0 with no waypoints.
  float length() const;
  // First triangle containing (x, z) in plan view, else the first triangle. Needs a triangle.
  TTriangle* findTriangle(float x, float y, float z) const;

  // Drawing, which is the renderer's and defined there: the scene (solid mesh or wireframe grid)
  // and the overview map, whose transform it leaves current for the car markers. The solid mesh
  // is drawn as seen through the current projection and modelview: triangles wholly outside the
  // view are left out.
  void draw() const;
  void drawOverview() const;
};
