// Hashing waypoints by 10-unit cube cell. Two points whose cells differ by two or more along any
// axis lie more than 10 apart, and so does their distance as the floats compute it: the rounded
// difference of coordinates more than 10 apart is at least 10, and squares, sums and the root
// only keep it there.
#include "track/waypoint_hash.h"

#include <cmath>

constexpr uint64_t emptyCell = ~uint64_t(0);
constexpr int cellBits = 21;  // per axis; 10-unit cells cover far more than the track range
constexpr int64_t cellOffset = int64_t(1) << (cellBits - 1);  // so cell coordinates are stored unsigned
constexpr uint64_t hashMultiplier = 0x9E3779B97F4A7C15u;      // spreads neighbouring cells over the table

namespace {

// A coordinate's cell, clamped to the key's range: clamping joins far cells but never brings two
// points closer than their true cells are.
int64_t cellOf(float v) {
  double c = std::floor(double(v) / waypointCellSize);
  if (!(c >= double(-cellOffset))) c = double(-cellOffset);
  if (c > double(cellOffset - 1)) c = double(cellOffset - 1);
  return int64_t(c);
}

uint64_t keyOf(int64_t x, int64_t y, int64_t z) {
  return (uint64_t(x + cellOffset) << (2 * cellBits)) | (uint64_t(y + cellOffset) << cellBits) |
         uint64_t(z + cellOffset);
}

}  // namespace

void TWaypointHash::clear() {
  indexed = 0;
  cellKeys.clear();
  cellLast.clear();
  earlierInCell.clear();
  cellsUsed = 0;
  slotBits = 0;
}

int32_t TWaypointHash::findSlot(uint64_t key) const {
  uint64_t mask = cellKeys.size() - 1;
  uint64_t slot = (key * hashMultiplier) >> (64 - slotBits);
  while (cellKeys[slot] != emptyCell && cellKeys[slot] != key) slot = (slot + 1) & mask;
  return int32_t(slot);
}

void TWaypointHash::insert(uint64_t key, int32_t waypoint) {
  // Kept at most half full, so a probe soon meets a free slot.
  if (2 * (size_t(cellsUsed) + 1) > cellKeys.size()) {
    std::vector<uint64_t> oldKeys = std::move(cellKeys);
    std::vector<int32_t> oldLast = std::move(cellLast);
    slotBits = oldKeys.empty() ? 6 : slotBits + 1;
    cellKeys.assign(size_t(1) << slotBits, emptyCell);
    cellLast.assign(cellKeys.size(), -1);
    for (size_t s = 0; s < oldKeys.size(); s++) {
      if (oldKeys[s] == emptyCell) continue;
      int32_t slot = findSlot(oldKeys[s]);
      cellKeys[size_t(slot)] = oldKeys[s];
      cellLast[size_t(slot)] = oldLast[s];
    }
  }
  int32_t slot = findSlot(key);
  if (cellKeys[size_t(slot)] == emptyCell) {
    cellKeys[size_t(slot)] = key;
    cellsUsed++;
  }
  earlierInCell[size_t(waypoint)] = cellLast[size_t(slot)];
  cellLast[size_t(slot)] = waypoint;
}

void TWaypointHash::update(const Vec3* waypoints, int32_t count) {
  if (count < indexed) clear();
  if (earlierInCell.size() < size_t(count)) earlierInCell.resize(size_t(count));
  for (; indexed < count; indexed++) {
    Vec3 p = waypoints[indexed];
    insert(keyOf(cellOf(p.x), cellOf(p.y), cellOf(p.z)), indexed);
  }
}

int32_t TWaypointHash::firstTooClose(const Vec3* waypoints, Vec3 point, float limit) const {
  if (cellsUsed == 0) return -1;
  int64_t x = cellOf(point.x), y = cellOf(point.y), z = cellOf(point.z);
  int32_t first = -1;
  for (int64_t dx = -1; dx <= 1; dx++)
    for (int64_t dy = -1; dy <= 1; dy++)
      for (int64_t dz = -1; dz <= 1; dz++) {
        int64_t cx = x + dx, cy = y + dy, cz = z + dz;
        if (cx < -cellOffset || cx >= cellOffset || cy < -cellOffset || cy >= cellOffset || cz < -cellOffset ||
            cz >= cellOffset)
          continue;
        uint64_t key = keyOf(cx, cy, cz);
        int32_t slot = findSlot(key);
        if (cellKeys[size_t(slot)] != key) continue;
        for (int32_t w = cellLast[size_t(slot)]; w >= 0; w = earlierInCell[size_t(w)])
          if (!(distance(point, waypoints[w]) >= limit) && (first < 0 || w < first)) first = w;
      }
  return first;
}
