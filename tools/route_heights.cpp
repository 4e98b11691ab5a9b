// Solving an imported track's heights. Each triangle's tilt is linear in its corners' heights
// once its plan is fixed, so keeping it under the held slope is a handful of linear inequalities,
// and the whole loop is one linear programme: stay near the smoothed heights, bend no more than
// they do, climb no more than a share above them. The game judges a triangle by the normal it
// works out in floats, and a thin one's float plan area can be far from its true one, or zero:
// the inequalities use that very area, leave room for the written decimals, and where no room is
// left the triangle's corners share one height, which every float sum keeps level.
#include "tools/route_heights.h"

#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "track/triangle.h"

namespace {

constexpr int slopeSides = 16;                     // sides of the polygon inside the circle of the held slope
constexpr double writtenRounding = 0.5e-4;         // units: how far the written decimals move a height
constexpr double floatRounding = 1.0 / (1 << 24);  // of a float, relative
constexpr double solverSlack = 1e-6;               // units: how far the solver may stray past a bound
constexpr double productRounding = 1e-6;           // the game's float normal, relative to its edges' product
constexpr double curveWeight = 0.5;                // cost of bending the profile against staying near its height
constexpr double extremeWeight = 50.0;             // more on moving the top or the bottom
constexpr double shiftCost = 1e-3;                 // on moving the whole track up or down
constexpr double climbCost = 1e-3;                 // a little on every rise and fall, so none is spent for nothing
constexpr double climbShare = 1.3;                 // a lap climbs at most this much more than as smoothed,
constexpr double climbOverCost = 100.0;            // or pays this per unit climbed past that
constexpr int maxCuttingRounds = 200;              // solves as steep triangles join the programme
constexpr int windowMiddle = 1000;                 // waypoints a window keeps, and those it chooses
constexpr int windowOverlap = 200;                 // beside them on either side
constexpr int windowRings = 1;                     // rings of waypoints chosen again where a window is stuck
constexpr int sidesEachWay = 1;                    // a steep triangle's sides added on either side of the nearest

// Waypoints held to one height, the border among them as waypoint n.
struct TTies {
  std::vector<int> parent;
  explicit TTies(size_t n) : parent(n + 1) { std::iota(parent.begin(), parent.end(), 0); }
  int find(int i) {
    while (parent[size_t(i)] != i) i = parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
    return i;
  }
  void join(int a, int b) {
    a = find(a);
    b = find(b);
    if (a != b) parent[size_t(std::max(a, b))] = std::min(a, b);
  }
};

// A triangle's plan as the game computes its normal: the float edges from its first corner, and
// the steepest its heights may make it. The plan part of the normal is linear in the corners'
// heights; each waypoint's written height strays a little, but corners of one waypoint stray
// alike, so the room left for that is taken per waypoint, and none for the border's exact 0.
struct TTilt {
  double abx, abz, acx, acz;
  double room;  // largest plan part of the normal the heights may give; <= 0: none
};

// Units no height of the solve goes beyond: twice the farthest smoothed one from 0, and a margin.
double heightBound(const std::vector<double>& smoothed) {
  auto [low, high] = std::minmax_element(smoothed.begin(), smoothed.end());
  return 2.0 * std::max(-*low, *high) + 100.0;
}

// Units a height within that bound may be off by once written and read back as the game's float.
double heightErrorWithin(double bound) { return writtenRounding + floatRounding * bound + solverSlack; }

TTilt tiltOf(const TPlanTriangle& t, double heightError) {
  Vec3 a = {t.a.x, 0.0f, t.a.z}, b = {t.b.x, 0.0f, t.b.z}, c = {t.c.x, 0.0f, t.c.z}, normal;
  Vec3 ab = delta(a, b), ac = delta(a, c);
  cross(ab, ac, &normal);
  // What a unit of each corner's height adds to the plan part of the normal (x, z).
  double per[][2] = {{double(ab.z) - ac.z, double(ac.x) - ab.x}, {ac.z, -double(ac.x)}, {-double(ab.z), ab.x}};
  double stray = 0.0;
  for (int k = 0; k < 3; k++) {
    if (t.owner[k] < 0) continue;
    bool counted = false;
    for (int j = 0; j < k; j++) counted = counted || t.owner[j] == t.owner[k];
    if (counted) continue;
    double x = 0.0, z = 0.0;
    for (int j = k; j < 3; j++)
      if (t.owner[j] == t.owner[k]) {
        x += per[j][0];
        z += per[j][1];
      }
    stray += heightError * std::hypot(x, z);
  }
  double product = std::hypot(ab.x, ab.z) * std::hypot(ac.x, ac.z);
  double held = std::tan(heldSlopeDegrees * pi / 180.0);
  return {ab.x, ab.z, ac.x, ac.z, held * std::fabs(double(normal.y)) - stray - productRounding * product};
}

// The programme's columns: a height per group of tied waypoints, the track's shift up and down
// against the border, then per waypoint chosen its distance above and below its smoothed height,
// its bend above and below the smoothed bend, and the rise and fall to the next; last, the climb
// past the share. Its rows: those three per waypoint, the climb, then the triangles' sides.
class TProgramme {
 public:
  // Heights at fixed (NaN: free) stay as they are, and so do those of their groups.
  TProgramme(const std::vector<TPlanTriangle>& triangles, const std::vector<double>& smoothed,
             const std::vector<double>& fixed, TTies& ties)
      : triangles(triangles),
        n(int(smoothed.size())),
        bound(heightBound(smoothed)),
        heightError(heightErrorWithin(bound)) {
    column.assign(size_t(n), -1);
    value.assign(size_t(n) + 1, NAN);
    value[size_t(ties.find(n))] = 0.0;
    for (int i = 0; i < n; i++)
      if (!std::isnan(fixed[size_t(i)]) && std::isnan(value[size_t(ties.find(i))]))
        value[size_t(ties.find(i))] = fixed[size_t(i)];
    whole = true;
    for (int i = 0; i < n; i++) {
      int root = ties.find(i);
      whole = whole && std::isnan(fixed[size_t(i)]);
      if (!std::isnan(value[size_t(root)])) {
        value[size_t(i)] = value[size_t(root)];
        continue;
      }
      if (column[size_t(root)] < 0) column[size_t(root)] = groups++;
      column[size_t(i)] = column[size_t(root)];
    }
    shift = groups;
    first = groups + 2;
    for (int i = 0; i < n; i++)
      if (std::isnan(fixed[size_t(i)])) free.push_back(i);
    build(smoothed);
  }

  // Solves, adding each triangle's sides as its slope passes them, until none does.
  bool solve(std::vector<double>* heights) {
    std::vector<double> h(static_cast<size_t>(n));
    for (int round = 0; round < maxCuttingRounds; round++) {
      model.dual();
      if (!model.isProvenOptimal()) return false;
      const double* x = model.primalColumnSolution();
      for (int i = 0; i < n; i++) h[size_t(i)] = column[size_t(i)] < 0 ? value[size_t(i)] : x[column[size_t(i)]];
      for (size_t t = 0; t < triangles.size(); t++) addSideIfSteep(t, h, 1.0);
      if (rowStarts.size() == 1) break;
      addRows();
    }
    *heights = h;
    shiftSolved = model.primalColumnSolution()[shift] - model.primalColumnSolution()[shift + 1];
    return true;
  }

  double shiftSolved = 0.0;

 private:
  void build(const std::vector<double>& smoothed) {
    int columns = first + 6 * int(free.size()) + 1;  // the last: climbing past the share
    std::vector<double> low(size_t(columns), 0.0), high(size_t(columns), COIN_DBL_MAX), cost(size_t(columns), 0.0);
    std::fill(low.begin(), low.begin() + shift, -bound);
    std::fill(high.begin(), high.begin() + first, bound);
    // The shift is free, but the track stays where the smoothed heights put it unless moving it
    // against the border gains something. A part of the track moves only against the rest.
    cost[size_t(shift)] = cost[size_t(shift + 1)] = shiftCost;
    if (!whole) high[size_t(shift)] = high[size_t(shift + 1)] = 0.0;
    std::vector<int> rowIndex, columnIndex;
    std::vector<double> element, rowLow, rowHigh, known;
    auto entry = [&](int row, int col, double times) {
      rowIndex.push_back(row);
      columnIndex.push_back(col);
      element.push_back(times);
    };
    // Height of waypoint i into row: a known one, the border's 0 among them, goes to the right.
    auto height = [&](int row, int i, double times) {
      i = (i + n) % n;
      if (column[size_t(i)] >= 0)
        entry(row, column[size_t(i)], times);
      else
        known[size_t(row)] += times * value[size_t(i)];
    };
    double climb = 0.0;
    auto [lowest, highest] = std::minmax_element(smoothed.begin(), smoothed.end());
    double middle = (*lowest + *highest) / 2.0, halfSwing = std::max(1e-9, (*highest - *lowest) / 2.0);
    int m = int(free.size());
    known.assign(3 * size_t(m) + 1, 0.0);
    for (int k = 0; k < m; k++) {
      int i = free[size_t(k)];
      double s = smoothed[size_t(i)], before = smoothed[size_t((i + n - 1) % n)], after = smoothed[size_t((i + 1) % n)];
      int away = first + 6 * k, row = 3 * k;
      climb += std::max(0.0, after - s);
      // Near: h - shift - above + below = s.
      height(row, i, 1.0);
      entry(row, shift, -1.0);
      entry(row, shift + 1, 1.0);
      entry(row, away, -1.0);
      entry(row, away + 1, 1.0);
      // Moving a place costs more the nearer it is to the top or the bottom: the hills keep their
      // height, the change goes where the route is in between.
      double r = std::fabs(s - middle) / halfSwing;
      cost[size_t(away)] = cost[size_t(away + 1)] = 1.0 + extremeWeight * r * r * r * r;
      // Bent as the smoothed profile is: the second difference, give or take.
      height(row + 1, i - 1, 1.0);
      height(row + 1, i, -2.0);
      height(row + 1, i + 1, 1.0);
      entry(row + 1, away + 2, -1.0);
      entry(row + 1, away + 3, 1.0);
      cost[size_t(away + 2)] = cost[size_t(away + 3)] = curveWeight;
      // Rise and fall to the next waypoint, whose sum is the climb.
      height(row + 2, i + 1, 1.0);
      height(row + 2, i, -1.0);
      entry(row + 2, away + 4, -1.0);
      entry(row + 2, away + 5, 1.0);
      cost[size_t(away + 4)] = cost[size_t(away + 5)] = climbCost;
      int at = row;
      for (double target : {s, before - 2.0 * s + after, 0.0}) {
        rowLow.push_back(target - known[size_t(at)]);
        rowHigh.push_back(target - known[size_t(at++)]);
      }
      entry(3 * m, away + 4, 1.0);
    }
    // Past the share the climb costs dearly rather than not at all: a window between heights
    // already chosen may have to climb more than its stretch of the route did.
    entry(3 * m, columns - 1, -1.0);
    cost[size_t(columns - 1)] = climbOverCost;
    rowLow.push_back(-COIN_DBL_MAX);
    rowHigh.push_back(climbShare * climb);
    // A waypoint's neighbour in its own group meets it in one column: the entries are summed.
    std::vector<size_t> order(element.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return rowIndex[a] != rowIndex[b] ? rowIndex[a] < rowIndex[b] : columnIndex[a] < columnIndex[b];
    });
    std::vector<int> mergedRows, mergedColumns;
    std::vector<double> mergedElements;
    for (size_t k : order) {
      if (!mergedRows.empty() && mergedRows.back() == rowIndex[k] && mergedColumns.back() == columnIndex[k]) {
        mergedElements.back() += element[k];
        continue;
      }
      mergedRows.push_back(rowIndex[k]);
      mergedColumns.push_back(columnIndex[k]);
      mergedElements.push_back(element[k]);
    }
    CoinPackedMatrix matrix(false, mergedRows.data(), mergedColumns.data(), mergedElements.data(),
                            CoinBigIndex(mergedElements.size()));
    matrix.setDimensions(int(rowLow.size()), columns);
    model.setLogLevel(0);
    model.loadProblem(matrix, low.data(), high.data(), cost.data(), rowLow.data(), rowHigh.data());
    std::vector<double> h(static_cast<size_t>(n));
    for (int i = 0; i < n; i++) h[size_t(i)] = column[size_t(i)] < 0 ? value[size_t(i)] : smoothed[size_t(i)];
    for (size_t t = 0; t < triangles.size(); t++) addSideIfSteep(t, h, 0.6);
    if (rowStarts.size() > 1) addRows();
  }

  // Adds the side of the slope's polygon that the triangle's tilt under heights h passes, at
  // share of its room, facing the way it tilts.
  void addSideIfSteep(size_t t, const std::vector<double>& h, double share) {
    const TPlanTriangle& tri = triangles[t];
    int col[3];
    double z[3];
    for (int k = 0; k < 3; k++) {
      int owner = tri.owner[k];
      col[k] = owner < 0 ? -1 : column[size_t(owner)];
      z[k] = owner < 0 ? 0.0 : h[size_t(owner)];
    }
    if (col[0] == col[1] && col[1] == col[2]) return;  // one height, or all known: nothing to choose
    if (col[0] < 0 && col[1] < 0 && col[2] < 0) return;
    TTilt tilt = tiltOf(tri, heightError);
    double u = z[1] - z[0], v = z[2] - z[0];
    double nx = u * tilt.acz - tilt.abz * v, nz = tilt.abx * v - u * tilt.acx;
    // The solver may stray past a side by its tolerance, which the room allows for.
    double stray = solverSlack * (std::hypot(tilt.abx, tilt.abz) + std::hypot(tilt.acx, tilt.acz));
    if (std::hypot(nx, nz) <= share * tilt.room + stray) return;
    int nearest = int(std::lround(std::atan2(nz, nx) / (2.0 * pi / slopeSides)));
    for (int side = nearest - sidesEachWay; side <= nearest + sidesEachWay; side++) addSide(tilt, col, z, side);
  }

  // Adds side (of slopeSides round the circle) of the triangle's slope polygon as a row; corners
  // of known height (no column) add theirs, z, to its bound.
  void addSide(const TTilt& tilt, const int (&col)[3], const double (&z)[3], int side) {
    double inside = std::cos(pi / slopeSides);
    double angle = 2.0 * pi * side / slopeSides, cx = std::cos(angle), sz = std::sin(angle);
    // cx nx + sz nz = alpha u + beta v, in the corners' heights.
    double alpha = cx * tilt.acz - sz * tilt.acx, beta = sz * tilt.abx - cx * tilt.abz;
    double coefficient[] = {-(alpha + beta), alpha, beta};
    double merged[] = {0.0, 0.0, 0.0};
    int cols[] = {-1, -1, -1}, count = 0;
    double known = 0.0;
    for (int k = 0; k < 3; k++) {
      if (col[k] < 0) {
        known += coefficient[k] * z[k];
        continue;
      }
      int at = 0;
      while (at < count && cols[at] != col[k]) at++;
      if (at == count) cols[count++] = col[k];
      merged[at] += coefficient[k];
    }
    double scale = 0.0;
    for (int k = 0; k < count; k++) scale = std::max(scale, std::fabs(merged[k]));
    if (scale == 0.0) return;
    for (int k = 0; k < count; k++) {
      rowColumns.push_back(cols[k]);
      rowElements.push_back(merged[k] / scale);
    }
    rowStarts.push_back(CoinBigIndex(rowColumns.size()));
    rowBounds.push_back((tilt.room * inside - known) / scale);
  }

  void addRows() {
    std::vector<double> lows(rowBounds.size(), -COIN_DBL_MAX);
    model.addRows(int(rowBounds.size()), lows.data(), rowBounds.data(), rowStarts.data(), rowColumns.data(),
                  rowElements.data());
    rowStarts.assign(1, 0);
    rowColumns.clear();
    rowElements.clear();
    rowBounds.clear();
  }

  const std::vector<TPlanTriangle>& triangles;
  int n;
  double bound, heightError;  // units: no height beyond; what a written height may be off by
  std::vector<int> column;    // per waypoint its group's column; -1 where its height is known
  std::vector<double> value;  // the known heights, per waypoint (and the border, last); NaN: free
  std::vector<int> free;      // the waypoints whose heights are chosen, in order
  bool whole;                 // all of them: the track may move against the border
  int groups = 0, shift = 0, first = 0;
  ClpSimplex model;
  std::vector<CoinBigIndex> rowStarts = {0};
  std::vector<int> rowColumns;
  std::vector<double> rowElements, rowBounds;
};

// A long route in overlapping windows round the loop, each choosing its heights with the rest
// held where the windows before left them, and keeping its middle. False where one is stuck.
bool solveInWindows(const std::vector<TPlanTriangle>& triangles, const std::vector<double>& smoothed, TTies& ties,
                    std::vector<double>* heights) {
  int n = int(smoothed.size());
  *heights = smoothed;
  std::vector<bool> solved(size_t(n), false);
  for (int start = 0; start < n; start += windowMiddle) {
    int end = std::min(n, start + windowMiddle);
    std::vector<double> fixed = *heights, h;
    for (int k = start - windowOverlap; k < end + windowOverlap; k++)
      if (!solved[size_t((k + n) % n)]) fixed[size_t((k + n) % n)] = NAN;
    // Every triangle by the window's waypoints joins, and so do the waypoints at its corners
    // that no window has chosen yet. Where heights chosen before leave no room, the waypoints
    // round the window chosen before are chosen again, a ring further each time.
    bool done = false;
    for (int ring = 0; ring <= windowRings && !done; ring++) {
      std::vector<TPlanTriangle> near;
      auto chosen = [&](int w) { return w >= 0 && std::isnan(fixed[size_t(w)]); };
      for (const TPlanTriangle& t : triangles)
        if (std::any_of(t.owner, t.owner + 3, chosen)) near.push_back(t);
      for (const TPlanTriangle& t : near)
        for (int w : t.owner)
          if (w >= 0 && (!solved[size_t(w)] || ring > 0)) fixed[size_t(w)] = NAN;
      TProgramme part(near, smoothed, fixed, ties);
      done = part.solve(&h);
    }
    if (!done) return false;
    for (int i = 0; i < n; i++)
      if (std::isnan(fixed[size_t(i)]) && (solved[size_t(i)] || (i >= start && i < end))) {
        (*heights)[size_t(i)] = h[size_t(i)];
        solved[size_t(i)] = true;
      }
  }
  return true;
}

}  // namespace

std::vector<TPlanTriangle> planTriangles(const TTrack& numbered) {
  std::vector<TPlanTriangle> plan;
  for (int32_t i = 0; i < numbered.triangleCount; i++) {
    const TTriangle& t = *numbered.triangles[i];
    TPlanTriangle p = {t.vertexA, t.vertexB, t.vertexC, {}};
    int k = 0;
    for (Vec3 corner : {t.vertexA, t.vertexB, t.vertexC}) p.owner[k++] = int(std::lround(corner.y / 10.0)) - 1;
    plan.push_back(p);
  }
  return plan;
}

THeightSolve solveHeights(const std::vector<TPlanTriangle>& triangles, const std::vector<double>& smoothed,
                          const std::vector<int>& tied) {
  THeightSolve solve;
  int n = int(smoothed.size());
  TTies ties(smoothed.size());
  double heightError = heightErrorWithin(heightBound(smoothed));
  auto tie = [&](int t) {
    const TPlanTriangle& tri = triangles[size_t(t)];
    for (int k = 1; k < 3; k++) ties.join(tri.owner[0] < 0 ? n : tri.owner[0], tri.owner[k] < 0 ? n : tri.owner[k]);
  };
  for (size_t t = 0; t < triangles.size(); t++) {
    if (tiltOf(triangles[t], heightError).room > 0.0) continue;
    tie(int(t));
    solve.tyingTriangles.push_back(int(t));
  }
  for (int t : tied) {
    tie(t);
    solve.tyingTriangles.push_back(t);
  }
  auto whole = [&]() {
    TProgramme programme(triangles, smoothed, std::vector<double>(size_t(n), NAN), ties);
    bool done = programme.solve(&solve.heights);
    solve.shift = programme.shiftSolved;
    return done;
  };
  bool windowed = n > maxWholeWaypoints;
  bool done = windowed ? solveInWindows(triangles, smoothed, ties, &solve.heights) : whole();
  solve.windowed = done && windowed;
  // Windows meet heights chosen before them, which may leave one no room: then the whole loop at
  // once, as long as that takes no more than a minute or so.
  if (!done && windowed && n <= maxWindowlessWaypoints) done = whole();
  if (!done) {
    solve.heights.clear();
    return solve;
  }
  double unit = std::pow(10.0, writtenHeightDecimals);
  for (double& h : solve.heights) h = std::round(h * unit) / unit + 0.0;
  int border = ties.find(n);
  for (int i = 0; i < n; i++) solve.tiedWith.push_back(ties.find(i) == border ? -1 : ties.find(i));
  solve.solved = true;
  return solve;
}

double loopClimb(const std::vector<double>& heights) {
  double climb = 0.0;
  for (size_t i = 0; i < heights.size(); i++) climb += std::max(0.0, heights[(i + 1) % heights.size()] - heights[i]);
  return climb;
}
