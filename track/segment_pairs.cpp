// Proposing segment pairs for the crossing rule. The crossing test solves for the crossing of the
// two lines in floats, and rounding can report a crossing a little beyond the segments' ends. Its
// error is bounded by how parallel the segments are, which splits what it can report in two:
// - Segments at an angle (the determinant is more than 2^-19 of the product of their lengths):
//   the crossing it reports lies within a quarter of their lengths of both, so their plan boxes,
//   each widened by a quarter of its segment's length, overlap. A grid of cells finds those.
// - Nearly parallel segments: rounding alone then decides, even for segments far apart along the
//   same line. But both lie on nearly one line, so sorting the segments by direction and then
//   comparing the offsets of their lines from the track's centre finds those.
#include "track/segment_pairs.h"

#include <algorithm>
#include <cmath>

constexpr double parallelLimit = 1.0 / 524288.0;          // 2^-19: the determinant, relative to the lengths,
                                                          // below which segments count as nearly parallel
constexpr double boxWidening = 0.25;                      // of a segment's length; the angled case needs 0.231
constexpr double directionTolerance = 2 * parallelLimit;  // radians between nearly parallel segments
constexpr double cellPerMeanLength = 2.0;                 // side of a grid cell, in mean segment lengths

namespace {

struct TSegmentBox {
  double minX, minZ, maxX, maxZ;
};

struct TLine {
  double direction;  // radians in [0, pi): parallel and opposite segments share one
  double offset;     // signed distance of the line from the track's centre
  int32_t segment;
};

void addPair(std::vector<std::pair<int32_t, int32_t>>* pairs, int32_t n, int32_t s, int32_t t) {
  int32_t i = std::max(s, t), j = std::min(s, t);
  if (i == j || j == i - 1 || (i == n - 1 && j == 0)) return;  // the same segment or neighbours
  pairs->push_back({i, j});
}

// Pairs whose widened boxes share a cell: each found once, in the cell that holds the lowest
// corner of the two boxes' overlap.
void addAngledPairs(const Vec3* waypoints, int32_t n, std::vector<std::pair<int32_t, int32_t>>* pairs) {
  std::vector<TSegmentBox> boxes(static_cast<size_t>(n));
  double totalLength = 0.0;
  double minX = waypoints[0].x, maxX = minX, minZ = waypoints[0].z, maxZ = minZ;
  for (int32_t s = 0; s < n; s++) {
    Vec3 p = waypoints[s], q = waypoints[s + 1];
    double length = planLength(double(q.x) - p.x, double(q.z) - p.z);
    totalLength += length;
    double widen = boxWidening * length + 1e-9 * (1.0 + std::fabs(p.x) + std::fabs(p.z));
    boxes[size_t(s)] = {std::min<double>(p.x, q.x) - widen, std::min<double>(p.z, q.z) - widen,
                        std::max<double>(p.x, q.x) + widen, std::max<double>(p.z, q.z) + widen};
    minX = std::min(minX, boxes[size_t(s)].minX);
    minZ = std::min(minZ, boxes[size_t(s)].minZ);
    maxX = std::max(maxX, boxes[size_t(s)].maxX);
    maxZ = std::max(maxZ, boxes[size_t(s)].maxZ);
  }
  // Cells about twice the mean length, but no more than a million: a few very long segments
  // then cover many cells instead of every short one covering a few.
  double cellSize = cellPerMeanLength * totalLength / n;
  cellSize = std::max({cellSize, (maxX - minX) / 1024.0, (maxZ - minZ) / 1024.0, 1e-9});
  auto cellOf = [&](double x, double z) {
    return (int64_t(std::floor((z - minZ) / cellSize)) << 32) | int64_t(std::floor((x - minX) / cellSize));
  };
  std::vector<std::pair<int64_t, int32_t>> filed;
  for (int32_t s = 0; s < n; s++) {
    const TSegmentBox& box = boxes[size_t(s)];
    int64_t first = cellOf(box.minX, box.minZ), last = cellOf(box.maxX, box.maxZ);
    for (int64_t row = first >> 32; row <= last >> 32; row++)
      for (int64_t column = first & 0xffffffff; column <= (last & 0xffffffff); column++)
        filed.push_back({(row << 32) | column, s});
  }
  std::sort(filed.begin(), filed.end());
  for (size_t from = 0, to; from < filed.size(); from = to) {
    for (to = from + 1; to < filed.size() && filed[to].first == filed[from].first; to++) {
    }
    for (size_t a = from; a < to; a++)
      for (size_t b = a + 1; b < to; b++) {
        const TSegmentBox &p = boxes[size_t(filed[a].second)], &q = boxes[size_t(filed[b].second)];
        if (p.maxX < q.minX || q.maxX < p.minX || p.maxZ < q.minZ || q.maxZ < p.minZ) continue;
        if (cellOf(std::max(p.minX, q.minX), std::max(p.minZ, q.minZ)) != filed[from].first) continue;
        addPair(pairs, n, filed[a].second, filed[b].second);
      }
  }
}

// Pairs of nearly parallel segments whose lines lie close together.
void addParallelPairs(const Vec3* waypoints, int32_t n, std::vector<std::pair<int32_t, int32_t>>* pairs) {
  double minX = waypoints[0].x, maxX = minX, minZ = waypoints[0].z, maxZ = minZ, longest = 0.0;
  for (int32_t s = 0; s < n; s++) {
    minX = std::min<double>(minX, waypoints[s].x);
    maxX = std::max<double>(maxX, waypoints[s].x);
    minZ = std::min<double>(minZ, waypoints[s].z);
    maxZ = std::max<double>(maxZ, waypoints[s].z);
    longest = std::max(
        longest, planLength(double(waypoints[s + 1].x) - waypoints[s].x, double(waypoints[s + 1].z) - waypoints[s].z));
  }
  double centreX = (minX + maxX) / 2, centreZ = (minZ + maxZ) / 2;
  double reach = planLength(maxX - minX, maxZ - minZ) / 2;
  // Lines of segments the test could find crossing: their offsets differ by at most the part of
  // a segment's length the near-parallel allows, the rounding over the distance between them,
  // and the turn between their directions carried out to the centre.
  double offsetTolerance = 2 * parallelLimit * longest + 2 * directionTolerance * reach + 1e-6 * (1.0 + reach);
  std::vector<TLine> lines;
  for (int32_t s = 0; s < n; s++) {
    double dx = double(waypoints[s + 1].x) - waypoints[s].x, dz = double(waypoints[s + 1].z) - waypoints[s].z;
    if (dx == 0.0 && dz == 0.0) continue;
    double direction = std::atan2(dz, dx);
    if (direction < 0.0) direction += pi;
    if (direction >= pi) direction -= pi;
    double offset =
        -std::sin(direction) * (waypoints[s].x - centreX) + std::cos(direction) * (waypoints[s].z - centreZ);
    lines.push_back({direction, offset, s});
  }
  std::sort(lines.begin(), lines.end(), [](const TLine& a, const TLine& b) { return a.direction < b.direction; });
  // Directions just below pi meet those just above 0 once turned by pi, which flips the offset.
  size_t count = lines.size();
  for (size_t k = 0; k < count && lines[k].direction < directionTolerance; k++)
    lines.push_back({lines[k].direction + pi, -lines[k].offset, lines[k].segment});
  for (size_t a = 0; a < lines.size(); a++)
    for (size_t b = a + 1; b < lines.size() && lines[b].direction - lines[a].direction <= directionTolerance; b++)
      if (std::fabs(lines[b].offset - lines[a].offset) <= offsetTolerance)
        addPair(pairs, n, lines[a].segment, lines[b].segment);
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> segmentPairsThatMayCross(const Vec3* waypoints, int32_t n) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  if (n < 4) return pairs;  // every pair of a triangle's sides shares a corner
  addAngledPairs(waypoints, n, &pairs);
  addParallelPairs(waypoints, n, &pairs);
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}
