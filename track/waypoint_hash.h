// The waypoints read so far, hashed by cube cell, so the distance rule compares a new waypoint
// with the few stored near it instead of with every one.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vector.h"

constexpr double waypointCellSize = 10.0;  // units: the distance rule's limit, so only the 27 cells
                                           // round a point's own can hold a waypoint too close to it

class TWaypointHash {
 public:
  int32_t indexed = 0;                 // waypoints[0, indexed) are in the table
  std::vector<uint64_t> cellKeys;      // open addressing, a power of two long; emptyCell marks a free slot
  std::vector<int32_t> cellLast;       // per slot: the last waypoint added to its cell
  std::vector<int32_t> earlierInCell;  // per waypoint: the one added to its cell before it, or -1
  int32_t cellsUsed = 0;
  int slotBits = 0;  // the table holds 2^slotBits slots

  void clear();
  // Takes in waypoints[indexed, count); a count below indexed means the waypoints were replaced,
  // and the table starts again.
  void update(const Vec3* waypoints, int32_t count);
  // Lowest index of an indexed waypoint whose distance from point is not at least limit (as the
  // plain scan compares it, so NaN counts as too close), or -1. limit must not exceed the cell
  // size, and point must be finite.
  int32_t firstTooClose(const Vec3* waypoints, Vec3 point, float limit) const;

 private:
  void insert(uint64_t key, int32_t waypoint);
  int32_t findSlot(uint64_t key) const;
};
