// Proposing segment pairs for the crossing rule. The crossing test solves for the crossing of the
// two lines in floats, and rounding can report a crossing a little beyond the segments' ends. Its
// error is bounded by how parallel the segments are, which splits what it can report in two:
// - Segments at an angle (the determinant is more than 2^-19 of the product of their lengths):
//   the crossing it reports lies within a quarter of their lengths of both, so their plan boxes,
//   each widened by a quarter of its segment's length, overlap. A grid of cells finds those.
// - Nearly parallel segments: rounding alone then decides, but only for segments close together
//   along nearly one line. Their directions and the offsets of their lines from the track's
//   centre agree, and their starts lie within a few of their lengths of each other (see
//   parallelReach below): chaining the lines by direction and then by offset, and sweeping each
//   chain along its line, finds those.
#include "track/segment_pairs.h"

#include <algorithm>
#include <cmath>

constexpr double parallelLimit = 1.0 / 524288.0;          // 2^-19: the determinant, relative to the lengths,
                                                          // below which segments count as nearly parallel
constexpr double boxWidening = 0.25;                      // of a segment's length; the angled case needs 0.231
constexpr double directionTolerance = 2 * parallelLimit;  // radians between nearly parallel segments
constexpr double cellPerMeanLength = 2.0;                 // side of a grid cell, in mean segment lengths
constexpr double parallelReach = 17.0;  // of a segment's taxicab length: how far from its start the start
                                        // of a segment it may be found crossing lies; the bound is 16.01
constexpr double tinyComponent = 1.0 / 1099511627776.0;  // 2^-40: a plan step this small but not zero
                                                         // may square below the floats' normal range

namespace {

struct TSegmentBox {
  double minX, minZ, maxX, maxZ;
};

struct TLine {
  double direction;  // radians in [0, pi): parallel and opposite segments share one
  double offset;     // signed distance of the line from the track's centre
  int32_t segment;
};

// A segment's start along its line's direction, with its reach either way.
struct TReachSpan {
  double low, high;
  int32_t segment;
};

void addPair(std::vector<std::pair<int32_t, int32_t>>* pairs, int32_t n, int32_t s, int32_t t) {
  int32_t i = std::max(s, t), j = std::min(s, t);
  if (i == j || j == i - 1 || (i == n - 1 && j == 0)) return;  // the same segment or neighbours
  pairs->push_back({i, j});
}

// Pairs whose widened boxes share a cell: each found once, in the cell that holds the lowest
// corner of the two boxes' overlap. Returns the steps taken: the cells filed under and the pairs
// of boxes compared.
int64_t addAngledPairs(const Vec3* waypoints, int32_t n, std::vector<std::pair<int32_t, int32_t>>* pairs) {
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
  int64_t steps = int64_t(filed.size());
  for (size_t from = 0, to; from < filed.size(); from = to) {
    for (to = from + 1; to < filed.size() && filed[to].first == filed[from].first; to++) {
    }
    steps += int64_t((to - from) * (to - from - 1) / 2);
    for (size_t a = from; a < to; a++)
      for (size_t b = a + 1; b < to; b++) {
        const TSegmentBox &p = boxes[size_t(filed[a].second)], &q = boxes[size_t(filed[b].second)];
        if (p.maxX < q.minX || q.maxX < p.minX || p.maxZ < q.minZ || q.maxZ < p.minZ) continue;
        if (cellOf(std::max(p.minX, q.minX), std::max(p.minZ, q.minZ)) != filed[from].first) continue;
        addPair(pairs, n, filed[a].second, filed[b].second);
      }
  }
  return steps;
}

// Why nearly parallel segments far apart are never found crossing. With a, b the two segments'
// plan steps and c the step from the start of the first to the start of the second, as the test
// computes them in floats, and D = a x b exactly, T(p, q) = |p.z q.x| + |p.x q.z| and u the
// floats' rounding (2^-24): the test reports only when both numerators are nonzero and smaller
// than the determinant.
// - A nonzero difference of two float products is at least 2^-25 of the larger, so
//   T(c, b) and T(c, a) are below 4 (1 + 4u) (|D| / u + T(a, b)). As T(c, b) + T(c, a) is at least
//   |c.x| (|a.z| + |b.z|) and T(a, b) at most (|a.z| + |b.z|) max(|a.x|, |b.x|), and the same with
//   x and z swapped, |c| is below 8.001 (1 + r) times the taxicab lengths |a| + |b|, where
//   r = |D| / (u T(a, b)).
// - Exactly, D c = (c x b) a - (c x a) b, and each numerator is within the determinant's
//   rounding and its own of the exact cross product; with the bound above, |c| is below
//   5.0001 (1 + 1 / r) (|a| + |b|).
// One of the two is at most 16.01 (|a| + |b|) whatever r is. Exactly parallel steps (D = 0) give a
// zero determinant, which the test never reports. The bound assumes products in the floats'
// normal range; a segment with a tinier nonzero step reaches along the whole line instead.
// Returns the steps taken: the pairs of reach spans compared.
int64_t addParallelPairs(const Vec3* waypoints, int32_t n, std::vector<std::pair<int32_t, int32_t>>* pairs) {
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
  std::vector<TLine> lines(static_cast<size_t>(n), {0.0, 0.0, -1});
  std::vector<TLine> byDirection;
  for (int32_t s = 0; s < n; s++) {
    double dx = double(waypoints[s + 1].x) - waypoints[s].x, dz = double(waypoints[s + 1].z) - waypoints[s].z;
    if (dx == 0.0 && dz == 0.0) continue;
    double direction = std::atan2(dz, dx);
    if (direction < 0.0) direction += pi;
    if (direction >= pi) direction -= pi;
    double offset =
        -std::sin(direction) * (waypoints[s].x - centreX) + std::cos(direction) * (waypoints[s].z - centreZ);
    lines[size_t(s)] = {direction, offset, s};
    byDirection.push_back(lines[size_t(s)]);
  }
  if (byDirection.size() < 2) return 0;
  // Directions just below pi meet those just above 0 once turned by pi, which flips the offset.
  auto accept = [&](int32_t s, int32_t t) {
    const TLine &p = lines[size_t(s)], &q = lines[size_t(t)];
    if (p.segment < 0 || q.segment < 0) return false;
    Vec2 a = planDelta(waypoints[s], waypoints[s + 1]), b = planDelta(waypoints[t], waypoints[t + 1]);
    if (double(a.z) * b.x == double(a.x) * b.z) return false;  // exactly parallel
    const TLine &low = p.direction <= q.direction ? p : q, &high = p.direction <= q.direction ? q : p;
    if (high.direction - low.direction <= directionTolerance)
      return std::fabs(high.offset - low.offset) <= offsetTolerance;
    return low.direction < directionTolerance && (low.direction + pi) - high.direction <= directionTolerance &&
           std::fabs(high.offset + low.offset) <= offsetTolerance;
  };
  // Chains of directions, each within the tolerance of the one before, and in them chains of
  // offsets: a pair accept may take lies in one, or across the turn from pi back to 0, so the
  // lines just above 0 join the last chain turned by pi as well.
  std::sort(byDirection.begin(), byDirection.end(),
            [](const TLine& a, const TLine& b) { return a.direction < b.direction; });
  for (size_t k = 0; k < byDirection.size() && byDirection[k].direction < directionTolerance; k++)
    byDirection.push_back({byDirection[k].direction + pi, -byDirection[k].offset, byDirection[k].segment});
  auto chains = [](std::vector<TLine>* lines, double TLine::*key, double tolerance, auto each) {
    std::sort(lines->begin(), lines->end(), [key](const TLine& a, const TLine& b) { return a.*key < b.*key; });
    for (size_t from = 0, to; from < lines->size(); from = to) {
      for (to = from + 1; to < lines->size() && (*lines)[to].*key - (*lines)[to - 1].*key <= tolerance; to++) {
      }
      if (to - from >= 2) each(std::vector<TLine>(lines->begin() + long(from), lines->begin() + long(to)));
    }
  };
  int64_t steps = 0;
  chains(&byDirection, &TLine::direction, directionTolerance, [&](std::vector<TLine> sameDirection) {
    double alongX = std::cos(sameDirection.front().direction), alongZ = std::sin(sameDirection.front().direction);
    chains(&sameDirection, &TLine::offset, offsetTolerance, [&](const std::vector<TLine>& sameLine) {
      // Along the chain's direction, the starts of two segments that may cross lie no further
      // apart than their reaches together: pairs of overlapping spans, swept in order of their
      // lower ends.
      std::vector<TReachSpan> spans;
      for (const TLine& line : sameLine) {
        int32_t s = line.segment;
        Vec2 step = planDelta(waypoints[s], waypoints[s + 1]);
        double x = waypoints[s].x, z = waypoints[s].z, along = x * alongX + z * alongZ;
        double r = parallelReach * (std::fabs(double(step.x)) + std::fabs(double(step.z))) +
                   1e-9 * (1.0 + std::fabs(x) + std::fabs(z));
        bool tiny = (step.x != 0.0f && std::fabs(step.x) < tinyComponent) ||
                    (step.z != 0.0f && std::fabs(step.z) < tinyComponent);
        if (tiny) r = INFINITY;
        spans.push_back({along - r, along + r, s});
      }
      std::sort(spans.begin(), spans.end(), [](const TReachSpan& a, const TReachSpan& b) { return a.low < b.low; });
      std::vector<TReachSpan> open;
      for (const TReachSpan& span : spans) {
        steps += int64_t(open.size());
        size_t kept = 0;
        for (const TReachSpan& other : open) {
          if (other.high < span.low) continue;
          open[kept++] = other;
          if (accept(span.segment, other.segment)) addPair(pairs, n, span.segment, other.segment);
        }
        open.resize(kept);
        open.push_back(span);
      }
    });
  });
  return steps;
}

}  // namespace

std::vector<std::pair<int32_t, int32_t>> segmentPairsThatMayCross(const Vec3* waypoints, int32_t n, int64_t* steps) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  if (n < 4) return pairs;  // every pair of a triangle's sides shares a corner
  int64_t taken = addAngledPairs(waypoints, n, &pairs) + addParallelPairs(waypoints, n, &pairs);
  if (steps != nullptr) *steps += taken;
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}
