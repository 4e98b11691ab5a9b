// Cutting a ground polygon into triangles by ear clipping. Only plan positions decide; every
// corner keeps its own height in the triangles.
//
// The cuts are the ones of the plain clipping, which walks the polygon as an array, shifts it
// down after each cut and tests a corner against every remaining point. Here the remaining points
// form a ring of links, and a corner is tested only against the points that can block it, found
// through a tree of boxes over runs of consecutive points. Which points can block follows from
// the blocking test's float arithmetic (see cornerReach below): near the corner, and along the
// whole line of its diagonal. That line runs along the road edge for a long way, through the
// plan boxes of runs it passes far from, so each run also keeps a thin strip along its chord.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "track/track.h"
#include "track/triangle.h"

constexpr int32_t pointsPerLeaf = 16;               // consecutive polygon points under one box of the tree, at most
constexpr double longEdgeFactor = 8;                // an edge this many times the polygon's mean edge ends a run
constexpr double floatRounding = 1.0 / 16777216.0;  // 2^-24, the relative error of one float operation
constexpr double diagonalBand = 6 * floatRounding;  // of the products that round in the diagonal's
                                                    // side test: four roundings, and half again to spare
constexpr double flatCorner = 16 * floatRounding;   // sine of the angle between the corner's edges below
                                                    // which the corner counts as straight or a spike

// Points on the two polygon edges or at the corners do not block, so the ear's own corners, their
// wrap copies and the two coinciding points of the outer ground's cut never stop a cut. Inline, as
// the clipping below asks it of every point near a corner.
inline bool blocks(Vec3 x, Vec3 a, Vec3 c, Vec2 ab, Vec2 ac, Vec2 ca, Vec2 cb) {
  Vec2 fromA = planDelta(a, x);
  Vec2 fromC = planDelta(c, x);
  int8_t s1 = sideOf(ab, fromA);
  int8_t s2 = sideOf(ac, fromA);
  int8_t s3 = sideOf(ca, fromC);
  int8_t s4 = sideOf(cb, fromC);
  if (s1 != 0 && s2 != 0 && s4 != 0 && s1 != s2 && s3 != s4) return true;
  return s2 == 0 && inUnitRange(paramAlong(fromA, ac.x, ac.z), false);
}

namespace {

struct TBox {
  double minX, minZ, maxX, maxZ;
};

// Where points that block the corner a-b-c can lie. A sign of the blocking test is wrong only
// for a point whose cross product with the line the sign is taken against is within about three
// roundings of the products that round in it: the point's offset from a or c along each axis
// times the line's step along the other. With every sign right, only points strictly inside the
// triangle block. A wrong sign against the diagonal's line lets points anywhere along that line
// block, so the band round the whole line is searched. Wrong signs against the two polygon
// edges' lines can add points only near b, within a distance that grows as the edges' lines
// turn parallel and with the products at b, which vanish for an edge along an axis; the box
// round the triangle is widened by that. At a spike so sharp that those lines are parallel
// within rounding, the points along it could block too, and every point is tested. A long thin
// ear, such as one reaching from the border's corner to the road, has a box far larger than
// itself, over points that lie along the road beside it; so the triangle's own sides, moved out
// by the widening, bound it too.
struct TCornerReach {
  TBox box;                                 // the triangle's plan box, widened
  double sideX[3], sideZ[3], sideLimit[3];  // per side, unit outward normal and its limit:
                                            // x sideX + z sideZ <= sideLimit near the triangle
  bool sided;                               // false for a triangle too flat to tell its sides' outward normals
  double lineX, lineZ;                      // a, and the diagonal's direction c - a
  double dirX, dirZ;
  double cX, cZ;
  bool everywhere;  // the spike case: test every remaining point
};

TCornerReach cornerReach(Vec3 a, Vec3 b, Vec3 c) {
  TCornerReach reach;
  double abX = double(b.x) - a.x, abZ = double(b.z) - a.z, cbX = double(b.x) - c.x, cbZ = double(b.z) - c.z;
  double abLength = planLength(abX, abZ), cbLength = planLength(cbX, cbZ);
  double sine = std::fabs(abX * cbZ - abZ * cbX) / (abLength * cbLength);
  reach.everywhere = sine < flatCorner && abX * cbX + abZ * cbZ > 0.0;
  // The products at b, as distances from each edge's line; the error they allow grows by the
  // same again with a point's offset from b, which the denominator takes in.
  double atB = 2 * std::fabs(abX * abZ) / abLength + 2 * std::fabs(cbX * cbZ) / cbLength;
  double widen = 4 * floatRounding * atB / std::max(sine - 12 * floatRounding, 4 * floatRounding);
  reach.box = {std::min({double(a.x), double(b.x), double(c.x)}) - widen,
               std::min({double(a.z), double(b.z), double(c.z)}) - widen,
               std::max({double(a.x), double(b.x), double(c.x)}) + widen,
               std::max({double(a.z), double(b.z), double(c.z)}) + widen};
  // The ear turns right, so walked a, b, c its inside lies on one side of each of its sides, the
  // side of positive area. A triangle whose area is lost in the rounding of this double
  // arithmetic keeps its box only.
  double area = abX * (double(c.z) - a.z) - abZ * (double(c.x) - a.x);
  reach.sided = area > 1e-12 * abLength * planLength(double(c.x) - a.x, double(c.z) - a.z);
  const Vec3 corners[] = {a, b, c};
  double scale = std::fabs(a.x) + std::fabs(a.z) + abLength + cbLength;
  for (int k = 0; k < 3 && reach.sided; k++) {
    Vec3 p = corners[k], q = corners[(k + 1) % 3];
    double dx = double(q.x) - p.x, dz = double(q.z) - p.z, length = planLength(dx, dz);
    reach.sideX[k] = dz / length;
    reach.sideZ[k] = -dx / length;
    reach.sideLimit[k] = reach.sideX[k] * p.x + reach.sideZ[k] * p.z + widen * std::sqrt(2.0) + 1e-9 * scale;
  }
  reach.lineX = a.x;
  reach.lineZ = a.z;
  reach.dirX = double(c.x) - a.x;
  reach.dirZ = double(c.z) - a.z;
  reach.cX = c.x;
  reach.cZ = c.z;
  return reach;
}

bool inBox(const TBox& box, double x, double z) {
  return x >= box.minX && x <= box.maxX && z >= box.minZ && z <= box.maxZ;
}

// Whether (x, z) lies in the widened box and within the widening of the triangle's sides.
bool nearTriangle(const TCornerReach& r, double x, double z) {
  if (!inBox(r.box, x, z)) return false;
  for (int k = 0; k < 3 && r.sided; k++)
    if (x * r.sideX[k] + z * r.sideZ[k] > r.sideLimit[k]) return false;
  return true;
}

// Whether (x, z) lies in the band round the diagonal's line: the cross product of the diagonal
// with the point's offset from a at most diagonalBand times the products that round in it and in
// the same from c, each axis's offsets from a and from c times the diagonal's step along the other
// axis. A diagonal along an axis, beside a straight road edge on that axis, thus keeps a narrow
// band along the whole edge.
//
// Why four roundings. A float side test never gives the opposite sign of the exact cross product
// of its own inputs: rounding each product keeps their order, so only a difference within one
// rounding of each product can come out zero. What moves the sign is the point's offset, rounded
// when subtracted: one rounding more. So the sign from a is wrong or zero only within two
// roundings of the products from a, and the same from c. The float diagonal, itself rounded,
// makes the lines through a and c parallel but apart by up to one rounding of the products, and a
// point between them is on the inside of both; and it is one rounding off the diagonal in double
// measured here. A point away from the triangle that blocks needs one of these, so it lies within
// 2 + 1 + 1 roundings of the sum of the products from a and from c. Every band point costs a test
// wherever a straight at an angle runs along a long diagonal, so the band is kept this tight.
double bandReach(const TCornerReach& r, double reachX, double reachZ) {
  return diagonalBand * (std::fabs(r.dirZ) * reachX + std::fabs(r.dirX) * reachZ);
}

bool inBand(const TCornerReach& r, double x, double z) {
  double across = std::fabs(r.dirX * (z - r.lineZ) - r.dirZ * (x - r.lineX));
  return across <=
         bandReach(r, std::fabs(x - r.lineX) + std::fabs(x - r.cX), std::fabs(z - r.lineZ) + std::fabs(z - r.cZ));
}

// Whether a box may hold a point of the band: the line's cross product is linear over the box,
// and each axis's part of the distances is largest at one of the box's ends.
bool bandMeetsBox(const TCornerReach& r, const TBox& box) {
  double atOrigin = r.dirZ * r.lineX - r.dirX * r.lineZ;
  double zLow = r.dirX * box.minZ, zHigh = r.dirX * box.maxZ, xLow = r.dirZ * box.minX, xHigh = r.dirZ * box.maxX;
  double low = atOrigin + std::min(zLow, zHigh) - std::max(xLow, xHigh);
  double high = atOrigin + std::max(zLow, zHigh) - std::min(xLow, xHigh);
  double nearest = low > 0.0 ? low : (high < 0.0 ? -high : 0.0);
  double reachX = std::max(std::fabs(box.minX - r.lineX) + std::fabs(box.minX - r.cX),
                           std::fabs(box.maxX - r.lineX) + std::fabs(box.maxX - r.cX));
  double reachZ = std::max(std::fabs(box.minZ - r.lineZ) + std::fabs(box.minZ - r.cZ),
                           std::fabs(box.maxZ - r.lineZ) + std::fabs(box.maxZ - r.cZ));
  return nearest <= bandReach(r, reachX, reachZ);
}

// A run of consecutive polygon points seen along its chord: centre, unit chord direction and
// half extents along and across it. A run along a curved road edge is a thin strip even where
// its plan box, turned to the axes, is a wide square.
struct TStrip {
  double centreX, centreZ, alongX, alongZ, halfAlong, halfAcross;
  double spreadX, spreadZ;  // half its extent along x and along z
  bool usable;              // false for a run whose ends coincide, which has no chord
};

TStrip stripOf(const Vec3* points, int32_t from, int32_t to) {
  TStrip strip{};
  double dx = double(points[to - 1].x) - points[from].x, dz = double(points[to - 1].z) - points[from].z;
  double length = planLength(dx, dz);
  if (!(length > 0.0)) return strip;
  strip.alongX = dx / length;
  strip.alongZ = dz / length;
  double lowA = INFINITY, highA = -INFINITY, lowC = INFINITY, highC = -INFINITY, scale = 0.0;
  for (int32_t k = from; k < to; k++) {
    double x = points[k].x, z = points[k].z;
    double along = x * strip.alongX + z * strip.alongZ, across = z * strip.alongX - x * strip.alongZ;
    lowA = std::min(lowA, along), highA = std::max(highA, along);
    lowC = std::min(lowC, across), highC = std::max(highC, across);
    scale = std::max(scale, std::fabs(x) + std::fabs(z));
  }
  double midA = (lowA + highA) / 2, midC = (lowC + highC) / 2;
  strip.centreX = midA * strip.alongX - midC * strip.alongZ;
  strip.centreZ = midA * strip.alongZ + midC * strip.alongX;
  // The double arithmetic above is far finer than this margin.
  double margin = 1e-9 * (scale + (highA - lowA));
  strip.halfAlong = (highA - lowA) / 2 + margin;
  strip.halfAcross = (highC - lowC) / 2 + margin;
  strip.spreadX = strip.halfAlong * std::fabs(strip.alongX) + strip.halfAcross * std::fabs(strip.alongZ);
  strip.spreadZ = strip.halfAlong * std::fabs(strip.alongZ) + strip.halfAcross * std::fabs(strip.alongX);
  strip.usable = true;
  return strip;
}

// Whether a strip may hold a point of the band: as bandMeetsBox, over the strip's own axes.
bool bandMeetsStrip(const TCornerReach& r, const TStrip& s) {
  double crossAlong = r.dirX * s.alongZ - r.dirZ * s.alongX, crossAcross = r.dirX * s.alongX + r.dirZ * s.alongZ;
  double atCentre = std::fabs(r.dirX * (s.centreZ - r.lineZ) - r.dirZ * (s.centreX - r.lineX));
  double nearest =
      std::max(0.0, atCentre - s.halfAlong * std::fabs(crossAlong) - s.halfAcross * std::fabs(crossAcross));
  return nearest <= bandReach(r, std::fabs(s.centreX - r.lineX) + std::fabs(s.centreX - r.cX) + 2 * s.spreadX,
                              std::fabs(s.centreZ - r.lineZ) + std::fabs(s.centreZ - r.cZ) + 2 * s.spreadZ);
}

bool boxesMeet(const TBox& p, const TBox& q) {
  return p.minX <= q.maxX && q.minX <= p.maxX && p.minZ <= q.maxZ && q.minZ <= p.maxZ;
}

// Whether a box may hold a point near the triangle: it meets the widened box and has a corner
// within each side's limit.
bool boxNearTriangle(const TCornerReach& r, const TBox& box) {
  if (!boxesMeet(box, r.box)) return false;
  for (int k = 0; k < 3 && r.sided; k++)
    if ((r.sideX[k] > 0.0 ? box.minX : box.maxX) * r.sideX[k] + (r.sideZ[k] > 0.0 ? box.minZ : box.maxZ) * r.sideZ[k] >
        r.sideLimit[k])
      return false;
  return true;
}

// The polygon's points, in their order, under a binary tree of plan boxes over runs of at most
// pointsPerLeaf; each node counts the points still in the polygon, so cut-off parts are skipped.
// A run also ends at an edge much longer than the polygon's mean, such as the outer ground's
// border: a run reaching from the border's corners to the road would have a box and a strip as
// large as the map, which every corner's search would have to open.
class TPointTree {
 public:
  TPointTree(const Vec3* points, int32_t n) : points(points), pointLeaf(size_t(n)), inPolygon(size_t(n), 1) {
    std::vector<double> edge(static_cast<size_t>(n));  // from point k to the next, round the polygon
    double perimeter = 0.0;
    for (int32_t k = 0; k < n; k++) {
      const Vec3& p = points[k];
      const Vec3& q = points[k + 1 < n ? k + 1 : 0];
      edge[size_t(k)] = planLength(double(q.x) - p.x, double(q.z) - p.z);
      perimeter += edge[size_t(k)];
    }
    double longEdge = longEdgeFactor * perimeter / n;
    leafStart.push_back(0);
    for (int32_t k = 0; k < n; k++) {
      pointLeaf[size_t(k)] = int32_t(leafStart.size()) - 1;
      bool full = k + 1 - leafStart.back() == pointsPerLeaf;
      if (k + 1 < n && (full || edge[size_t(k)] > longEdge)) leafStart.push_back(k + 1);
    }
    int32_t leaves = int32_t(leafStart.size());
    leafStart.push_back(n);
    for (firstLeaf = 1; firstLeaf < leaves; firstLeaf *= 2) {
    }
    boxes.assign(2 * size_t(firstLeaf), {INFINITY, INFINITY, -INFINITY, -INFINITY});
    remaining.assign(2 * size_t(firstLeaf), 0);
    for (int32_t k = 0; k < n; k++) {
      size_t leaf = size_t(firstLeaf + pointLeaf[size_t(k)]);
      TBox& box = boxes[leaf];
      box = {std::min<double>(box.minX, points[k].x), std::min<double>(box.minZ, points[k].z),
             std::max<double>(box.maxX, points[k].x), std::max<double>(box.maxZ, points[k].z)};
      remaining[leaf]++;
    }
    for (int32_t node = firstLeaf - 1; node >= 1; node--) {
      const TBox &l = boxes[2 * size_t(node)], &r = boxes[2 * size_t(node) + 1];
      boxes[size_t(node)] = {std::min(l.minX, r.minX), std::min(l.minZ, r.minZ), std::max(l.maxX, r.maxX),
                             std::max(l.maxZ, r.maxZ)};
      remaining[size_t(node)] = remaining[2 * size_t(node)] + remaining[2 * size_t(node) + 1];
    }
    // Each node's run of points, from its leaves up, and the strip round it.
    std::vector<int32_t> runStart(2 * size_t(firstLeaf)), runEnd(2 * size_t(firstLeaf));
    for (int32_t leaf = 0; leaf < firstLeaf; leaf++) {
      runStart[size_t(firstLeaf + leaf)] = leafStart[size_t(std::min(leaf, leaves))];
      runEnd[size_t(firstLeaf + leaf)] = leafStart[size_t(std::min(leaf + 1, leaves))];
    }
    for (int32_t node = firstLeaf - 1; node >= 1; node--) {
      runStart[size_t(node)] = runStart[2 * size_t(node)];
      runEnd[size_t(node)] = runEnd[2 * size_t(node) + 1];
    }
    strips.resize(2 * size_t(firstLeaf));
    for (size_t node = 1; node < strips.size(); node++)
      if (runEnd[node] - runStart[node] >= 2) strips[node] = stripOf(points, runStart[node], runEnd[node]);
  }

  void remove(int32_t point) {
    inPolygon[size_t(point)] = 0;
    for (size_t node = size_t(firstLeaf + pointLeaf[size_t(point)]); node >= 1; node /= 2) remaining[node]--;
  }

  // A remaining point but the corner's own three, where both nodeMayHold and pointMayBlock let it,
  // that blocks; -1 when none does. Any blocker will do, as the corner is tested again once the
  // one found or a neighbour is cut off; so the search starts where one most likely lies, at the
  // leaf of the corner's point b, and widens up the tree to the other half under each of b's
  // ancestors in turn, never testing the nodes on b's own path.
  template <class NodeTest, class PointTest>
  int32_t blocker(const int32_t (&corner)[3], int32_t b, NodeTest nodeMayHold, PointTest pointMayBlock,
                  const Vec3 (&ear)[3], const Vec2 (&edges)[4]) {
    size_t from = size_t(firstLeaf + pointLeaf[size_t(b)]);
    int32_t found = blockerUnder(from, corner, nodeMayHold, pointMayBlock, ear, edges);
    for (; found < 0 && from > 1; from /= 2)
      found = blockerUnder(from ^ 1, corner, nodeMayHold, pointMayBlock, ear, edges);
    return found;
  }

  // The same among the points under one node.
  template <class NodeTest, class PointTest>
  int32_t blockerUnder(size_t top, const int32_t (&corner)[3], NodeTest& nodeMayHold, PointTest& pointMayBlock,
                       const Vec3 (&ear)[3], const Vec2 (&edges)[4]) {
    size_t stack[64];
    int depth = 0;
    stack[depth++] = top;
    while (depth > 0) {
      size_t node = stack[--depth];
      if (remaining[node] == 0 || !nodeMayHold(boxes[node], strips[node])) continue;
      if (node < size_t(firstLeaf)) {
        stack[depth++] = 2 * node + 1;
        stack[depth++] = 2 * node;
        continue;
      }
      size_t leaf = node - size_t(firstLeaf);
      for (int32_t k = leafStart[leaf]; k < leafStart[leaf + 1]; k++) {
        pointTests++;  // a look at each point of a leaf reached, so a node let through in vain shows
        if (!inPolygon[size_t(k)] || k == corner[0] || k == corner[1] || k == corner[2] || !pointMayBlock(points[k]))
          continue;
        pointTests++;  // and one more for each tested against the corner
        if (blocks(points[k], ear[0], ear[2], edges[0], edges[1], edges[2], edges[3])) return k;
      }
    }
    return -1;
  }

  const Vec3* points;
  std::vector<int32_t> leafStart;  // per leaf, its first point; one more at the end (the point count)
  std::vector<int32_t> pointLeaf;  // per point, its leaf
  int32_t firstLeaf;               // node index of the first leaf; node k has children 2k and 2k + 1
  std::vector<TBox> boxes;
  std::vector<TStrip> strips;
  std::vector<int32_t> remaining;
  std::vector<uint8_t> inPolygon;
  int64_t pointTests = 0;  // the searches' work so far: points looked at, and again those tested
};

// Counts over the points' first order (a Fenwick tree): how many are marked before a place,
// and where the k-th marked one stands.
class TCountTree {
 public:
  explicit TCountTree(int32_t n) : counts(size_t(n) + 1, 0) {
    for (top = 1; top * 2 <= n; top *= 2) {
    }
    for (int32_t k = 1; k <= n; k++) {  // every point marked
      counts[size_t(k)]++;
      if (k + (k & -k) <= n) counts[size_t(k + (k & -k))] += counts[size_t(k)];
    }
  }
  void unmark(int32_t k) { change(k, -1); }
  void mark(int32_t k) { change(k, 1); }
  // Marked points before place k.
  int32_t before(int32_t k) const {
    int32_t sum = 0;
    for (; k > 0; k -= k & -k) sum += counts[size_t(k)];
    return sum;
  }
  // Place of the marked point with rank marked points before it.
  int32_t withRank(int32_t rank) const {
    int32_t place = 0;
    for (int32_t step = top; step > 0; step /= 2)
      if (place + step < int32_t(counts.size()) && counts[size_t(place + step)] <= rank) {
        place += step;
        rank -= counts[size_t(place)];
      }
    return place;
  }

  void change(int32_t k, int32_t by) {
    for (k++; k < int32_t(counts.size()); k += k & -k) counts[size_t(k)] += by;
  }
  std::vector<int32_t> counts;
  int32_t top;
};

// The plain clipping walks round the polygon testing corner after corner, most of them again and
// again although nothing near them changed. A corner's test fails the same way until one of its
// neighbours is cut off (it turned left or ran straight on) or until the point that blocked it is
// (nothing else can unblock it: cuts only take points away). So each failure is remembered with
// that reason, and the walk jumps over remembered failures, counting them as tested, to the next
// corner whose answer may have changed.
class TEarClipping {
 public:
  TEarClipping(const Vec3* points, int32_t n)
      : points(points),
        n(n),
        next(size_t(n)),
        previous(size_t(n)),
        blockedBy(size_t(n), -1),
        open(size_t(n), 1),
        firstWatcher(size_t(n), -1),
        tree(points, n),
        remainingPlaces(n),
        openPlaces(n),
        left(n) {
    for (int32_t k = 0; k < n; k++) {
      next[size_t(k)] = (k + 1) % n;
      previous[size_t(k)] = (k + n - 1) % n;
    }
  }

  // Cuts ears as the plain clipping does, appending each to the track, until three points are
  // left or a whole round finds no ear. Leaves the remaining points, in their order, at the
  // front of the array.
  template <class AddTriangle>
  void cut(AddTriangle addTriangle, Vec3* array) {
    // The plain clipping's array holds the remaining points in their first order, so its entry 0
    // is first here; its corner index i is the point a.
    int32_t a = 0;
    int32_t missed = 0;  // corners tested since the last cut
    while (left > 3 && missed < left) {
      int32_t b = next[size_t(a)];
      if (!open[size_t(b)]) {
        int32_t target = nextOpen(b);
        if (target < 0) break;  // every corner fails: the walk goes round until missed reaches left
        int32_t skipped = remainingFrom(b, target);
        if (missed + skipped >= left) break;
        missed += skipped;
        b = target;
        a = previous[size_t(b)];
      }
      int32_t c = next[size_t(b)];
      if (!isEar(a, b, c)) {
        a = b;
        missed++;
        continue;
      }
      addTriangle(points[a], points[b], points[c]);
      removeCorner(a, b, c);
      a = c;  // the test goes on at the point that followed the cut corner
      missed = 0;
    }
    int32_t k = 0;
    for (int32_t p = first, step = 0; step < left; p = next[size_t(p)], step++) array[k++] = points[p];
  }

  int32_t remaining() const { return left; }

  // The plain test, with the outcome of a failure remembered.
  bool isEar(int32_t a, int32_t b, int32_t c) {
    Vec3 ear[] = {points[a], points[b], points[c]};
    close(b);
    // A clockwise polygon turns right at a corner it can lose.
    if (turnSign(ear[0], ear[1], ear[1], ear[2]) != -1) return false;
    Vec2 edges[] = {planDelta(ear[0], ear[1]), planDelta(ear[0], ear[2]), planDelta(ear[2], ear[0]),
                    planDelta(ear[2], ear[1])};
    TCornerReach reach = cornerReach(ear[0], ear[1], ear[2]);
    // The plain test skips the corner's own entry; when the corner is the wrap copy of entry 0,
    // it meets the corner's point at entry 0 all the same. It meets a and c, which never block
    // (their offsets from a or c are zero), so they need no test.
    int32_t corner[] = {a, b == first ? -1 : b, c};
    int32_t found;
    if (reach.everywhere)
      found = tree.blocker(
          corner, b, [](const TBox&, const TStrip&) { return true; }, [](Vec3) { return true; }, ear, edges);
    else
      found = tree.blocker(
          corner, b,
          [&](const TBox& box, const TStrip& strip) {
            return boxNearTriangle(reach, box) ||
                   (strip.usable ? bandMeetsStrip(reach, strip) : bandMeetsBox(reach, box));
          },
          [&](Vec3 x) { return nearTriangle(reach, x.x, x.z) || inBand(reach, x.x, x.z); }, ear, edges);
    if (found < 0) return true;
    blockedBy[size_t(b)] = found;
    watchedCorner.push_back(b);
    nextWatcher.push_back(firstWatcher[size_t(found)]);
    firstWatcher[size_t(found)] = int32_t(watchedCorner.size()) - 1;
    return false;
  }

  void removeCorner(int32_t a, int32_t b, int32_t c) {
    next[size_t(a)] = c;
    previous[size_t(c)] = a;
    tree.remove(b);
    remainingPlaces.unmark(b);
    if (b == first) first = c;
    left--;
    reopen(a);
    reopen(c);
    for (int32_t w = firstWatcher[size_t(b)]; w >= 0; w = nextWatcher[size_t(w)])
      if (blockedBy[size_t(watchedCorner[size_t(w)])] == b) reopen(watchedCorner[size_t(w)]);
  }

  void close(int32_t b) {
    blockedBy[size_t(b)] = -1;
    if (open[size_t(b)]) openPlaces.unmark(b);
    open[size_t(b)] = 0;
  }

  void reopen(int32_t b) {
    blockedBy[size_t(b)] = -1;
    if (!open[size_t(b)]) openPlaces.mark(b);
    open[size_t(b)] = 1;
  }

  // The first open corner from b on round the polygon, or -1.
  int32_t nextOpen(int32_t b) const {
    int32_t rank = openPlaces.before(b), total = openPlaces.before(n);
    if (total == 0) return -1;
    return openPlaces.withRank(rank < total ? rank : 0);
  }

  // Remaining points from b up to target, round the polygon, target not counted.
  int32_t remainingFrom(int32_t b, int32_t target) const {
    int32_t count = remainingPlaces.before(target) - remainingPlaces.before(b);
    return target >= b ? count : count + remainingPlaces.before(n);
  }

  const Vec3* points;
  int32_t n;
  std::vector<int32_t> next, previous;
  std::vector<int32_t> blockedBy;  // per corner: the point that blocked its last test, or -1
  std::vector<uint8_t> open;       // per corner: its test may answer differently now
  std::vector<int32_t> firstWatcher, nextWatcher, watchedCorner;  // per point, the corners it blocked
  TPointTree tree;
  TCountTree remainingPlaces, openPlaces;
  int32_t first = 0;  // the remaining point first in the polygon's order: the plain array's entry 0
  int32_t left;
};

}  // namespace

std::vector<TCorners> cutGroundPolygon(const std::vector<Vec3>& polygon, int64_t* pointTests) {
  int32_t n = int32_t(polygon.size());
  std::vector<TCorners> cut;
  if (polygon.empty()) return cut;  // no corner to make a triangle of
  cut.reserve(size_t(groundTriangleCount(polygon.size())));
  auto addTriangle = [&cut](Vec3 a, Vec3 b, Vec3 c) { cut.push_back({a, b, c}); };
  // Copies of the first two points after the last, so a polygon of fewer than three points still
  // gives its one triangle.
  std::vector<Vec3> points(polygon.size() + 2);
  std::copy(polygon.begin(), polygon.end(), points.begin());
  points[n] = points[0];
  points[n + 1] = points[1];
  if (n > 3) {
    // The clipping reads the polygon and writes what is left in front of points.
    TEarClipping clipping(polygon.data(), n);
    clipping.cut(addTriangle, points.data());
    n = clipping.remaining();
    *pointTests += clipping.tree.pointTests;
  }
  // What is left, the last triangle or a polygon without an ear, is cut as a fan from its first
  // corner, so the ground keeps no hole and a polygon of m points always gives m - 2 triangles.
  addTriangle(points[0], points[1], points[2]);
  for (int32_t k = 2; k + 1 < n; k++) addTriangle(points[0], points[k], points[k + 1]);
  return cut;
}

void TTrack::addGroundTriangles(const std::vector<TCorners>& cut) {
  reserveTriangles(triangleCount + int32_t(cut.size()));
  for (const TCorners& t : cut) addTriangle(t.a, t.b, t.c, false);
}

void TTrack::triangulatePolygon(const std::vector<Vec3>& polygon) {
  addGroundTriangles(cutGroundPolygon(polygon, &groundPointTests));
}

void TTrack::triangulatePolygon(int32_t n, Vec3* points) {
  std::vector<Vec3> polygon(points, points + std::max(n, 0));
  delete[] points;
  triangulatePolygon(polygon);
}

bool TTrack::isEar(int32_t n, const Vec3* points, int32_t i) const {
  Vec3 a = points[i], b = points[i + 1], c = points[i + 2];
  if (turnSign(a, b, b, c) != -1) return false;
  Vec2 ab = planDelta(a, b), ac = planDelta(a, c), ca = planDelta(c, a), cb = planDelta(c, b);
  for (int32_t k = 0; k < n; k++) {
    if (k == i || k == i + 1) continue;
    if (blocks(points[k], a, c, ab, ac, ca, cb) || blocks(points[k + 1], a, c, ab, ac, ca, cb)) return false;
  }
  return true;
}
