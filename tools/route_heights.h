// Heights for an imported track's waypoints that leave no road or ground triangle at the crash
// slope as the game itself computes it, as close to the route's smoothed heights and as smooth
// as that allows: one linear programme over the whole loop, solved by Clp.
#pragma once

#include <cstddef>
#include <vector>

#include "track/track.h"

constexpr double heldSlopeDegrees = 40.0;  // steepest ground the solve allows: short of the crash, as the
                                           // game's floats and the written decimals tilt it further
constexpr int writtenHeightDecimals = 4;   // the track file's heights, which the margins allow for
// The solver's work grows faster than the route: a route of more waypoints than this is solved in
// overlapping windows, and where one of them is stuck, as one, up to the second count (about a
// minute); past it the track is made flat.
constexpr int maxWholeWaypoints = 2000;
constexpr int maxWindowlessWaypoints = 10000;

// One triangle of the game's mesh in plan, with the waypoints whose heights its corners carry.
struct TPlanTriangle {
  Vec3 a, b, c;  // the mesh's corners; only x and z count
  int owner[3];  // waypoint of each corner, from 0; -1 for the border, which lies at height 0
};

// The triangles of a track loaded with each waypoint's height 10 times its number from 1, so that
// every corner tells which waypoint it belongs to and the border's corners read 0.
std::vector<TPlanTriangle> planTriangles(const TTrack& numbered);

struct THeightSolve {
  bool solved = false;              // false: the solver failed, heights empty
  std::vector<double> heights;      // units per waypoint, rounded as the track file writes them
  double shift = 0.0;               // units the whole track was raised against the border
  bool windowed = false;            // a long route, solved in overlapping windows
  std::vector<int> tiedWith;        // per waypoint: the first waypoint of its group held to one height,
                                    // itself when free; -1 when held to the border's height
  std::vector<int> tyingTriangles;  // triangles too thin for any slope, which hold the groups
};

// The heights nearest to smoothed (units, per waypoint) that the triangles' slopes allow, the
// highest and lowest places kept nearest, bent little more than smoothed is and climbing a lap
// at most a share more than it. Triangles in tied, which the game found steep anyway, are held
// level.
THeightSolve solveHeights(const std::vector<TPlanTriangle>& triangles, const std::vector<double>& smoothed,
                          const std::vector<int>& tied);

// Metres climbed round the closed loop of heights: every rise from one to the next summed.
double loopClimb(const std::vector<double>& heights);
