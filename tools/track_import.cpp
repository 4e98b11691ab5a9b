// Importing routes. Waypoints are placed on the route as drawn, so each one can be traced back
// to a place between two input points and a refusal can say where on the route it lies; the
// heights are smoothed, and solved for anew where the ground would crash the car. Only where
// that loses the hills are gentle bends redrawn as straight legs, at most a step off the route.
#include "tools/track_import.h"

#include <GeographicLib/LocalCartesian.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "tools/check_report.h"
#include "tools/route_heights.h"
#include "track/segment_pairs.h"
#include "track/triangle.h"

namespace {

// Input points nearer than this part of the spacing to the last one kept are passed over: a
// recording's jitter where it stood still would otherwise make waypoints on top of each other.
constexpr double thinning = 0.5;
constexpr double samePlace = 1e-6;  // units: points nearer than this are one place
constexpr int degreeDecimals = 6;   // about 0.1 m

constexpr int heightDecimals = writtenHeightDecimals;
constexpr double heightLabelStep = 10.0;       // units between the numbering heights: no two waypoints too close
constexpr int maxSolveRounds = 4;              // solves judged by the game before the track is made flat
constexpr double keptSwingWorthTelling = 0.5;  // below this share of the swing kept, the report says what holds it
constexpr double levelGrade = 0.005;           // rise per unit along the road of a stretch held nearly level

// A waypoint where the road bends a little has two edge points almost on top of each other, and
// the ground triangles between them and the road ahead are as thin as the bend: they let the
// road climb only about half the bend (radians) per unit. Where that costs the hills, the road
// is redrawn as straight legs meeting at fewer, sharper corners. Waypoints along a leg lie on one
// line to the last bit of the game's floats, so no edge point is doubled there.
constexpr double straightenBelowShare = 0.9;  // of the swing kept as drawn: below it, try straight legs
constexpr double straightLegReach = 2.0;      // units a straight leg may stand off the waypoints as drawn
constexpr int finestLegGridBits = 8;          // a leg's waypoints lie on a grid of 1/256 units at finest,
                                              // coarser where the game's floats hold fewer fractional bits

// A longitude as an offset from another, in -180 to 180, so a route over the date line stays whole.
double longitudeFrom(double longitude, double reference) { return std::remainder(longitude - reference, 360.0); }

double planDistance(TPlanePoint a, TPlanePoint b) { return std::hypot(a.east - b.east, a.north - b.north); }

std::string pointText(const TRoute& route, size_t index) {
  std::string text = "point " + std::to_string(index + 1);
  int line = route.points[index].line;
  return line > 0 ? text + " (line " + std::to_string(line) + ")" : text;
}

// A place on the input in its own terms: longitude and latitude, or x and y.
TRoutePoint placeOn(const TRoute& route, const TRouteSpot& spot) {
  const TRoutePoint &a = route.points[spot.from], &b = route.points[spot.to];
  double dx = route.geographic ? longitudeFrom(b.x, a.x) : b.x - a.x;
  TRoutePoint p = {a.x + spot.along * dx, a.y + spot.along * (b.y - a.y), NAN, 0};
  if (route.geographic) p.x = longitudeFrom(p.x, 0.0);
  return p;
}

std::string placeText(const TRoute& route, TRoutePoint p) {
  if (!route.geographic) return "x " + formatNumber(p.x) + ", y " + formatNumber(p.y);
  char text[96];
  std::snprintf(text, sizeof text, "latitude %.*f, longitude %.*f", degreeDecimals, p.y, degreeDecimals, p.x);
  return text;
}

std::string spotText(const TRoute& route, const TRouteSpot& spot) {
  size_t first = std::min(spot.from, spot.to), second = std::max(spot.from, spot.to);
  std::string where = spot.along <= 0.0 ? "at " + pointText(route, spot.from)
                                        : "between " + pointText(route, first) + " and " + pointText(route, second);
  return where + ", " + placeText(route, placeOn(route, spot));
}

// The title as the game can show it: one line, at most its length, not cut inside a character.
std::string fitTitle(std::string title) {
  for (char& c : title)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  size_t start = title.find_first_not_of(' '), end = title.find_last_not_of(' ');
  title = start == std::string::npos ? "" : title.substr(start, end - start + 1);
  cutAtCharacter(&title, size_t(maxTitleLength));
  return title.empty() ? "Imported track" : title;
}

std::string fileTitle(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Heights at every input point: where the input gives none, taken along the road from the
// nearest given on either side; 0 everywhere when none is given at all.
std::vector<double> pointHeights(const TRoute& route, const std::vector<TPlanePoint>& plane) {
  size_t n = route.points.size();
  std::vector<double> heights(n, NAN), along(n);  // along: units from the first point
  for (size_t i = 1; i < n; i++) along[i] = along[i - 1] + planDistance(plane[i - 1], plane[i]);
  size_t before = n;
  for (size_t i = 0; i < n; i++) {
    if (!std::isnan(route.points[i].height)) {
      heights[i] = route.points[i].height;
      for (size_t k = before == n ? 0 : before + 1; k < i; k++) {
        double span = along[i] - along[before == n ? i : before];
        double t = before == n || span <= 0.0 ? 1.0 : (along[k] - along[before]) / span;
        heights[k] = before == n ? heights[i] : heights[before] + t * (heights[i] - heights[before]);
      }
      before = i;
    }
  }
  for (size_t k = before == n ? 0 : before + 1; k < n; k++) heights[k] = before == n ? 0.0 : heights[before];
  return heights;
}

// Each height the average of those within the smoothing reach round the loop.
std::vector<double> smoothedLoop(const std::vector<double>& heights, double step) {
  int n = int(heights.size());
  int reach = std::min((n - 1) / 2, std::max(1, int(std::lround(heightSmoothingReach / step))));
  std::vector<double> smoothed(heights.size());
  for (int i = 0; i < n; i++) {
    double sum = 0.0;
    for (int k = -reach; k <= reach; k++) sum += heights[size_t((i + k + n) % n)];
    smoothed[size_t(i)] = sum / (2 * reach + 1);
  }
  return smoothed;
}

// The loop through the kept points, cut into n equal stretches; where each cut falls.
std::vector<TRouteSpot> evenSpots(const std::vector<TPlanePoint>& at, const std::vector<size_t>& kept, int n,
                                  double length) {
  size_t m = at.size(), edge = 0;
  double edgeStart = 0.0;
  std::vector<TRouteSpot> spots;
  for (int i = 0; i < n; i++) {
    double s = length * i / n, edgeLength = planDistance(at[edge], at[(edge + 1) % m]);
    while (s > edgeStart + edgeLength && edge + 1 < m) {
      edgeStart += edgeLength;
      edge++;
      edgeLength = planDistance(at[edge], at[(edge + 1) % m]);
    }
    double t = edgeLength > 0.0 ? std::min(1.0, std::max(0.0, (s - edgeStart) / edgeLength)) : 0.0;
    spots.push_back({kept[edge], kept[(edge + 1) % m], t});
  }
  return spots;
}

// The middle distance between consecutive points: how sparsely the route was recorded.
double medianStep(const std::vector<TPlanePoint>& at) {
  std::vector<double> steps;
  for (size_t i = 1; i < at.size(); i++) steps.push_back(planDistance(at[i - 1], at[i]));
  if (steps.size() < 2) return 0.0;  // one stretch and back is no loop
  std::nth_element(steps.begin(), steps.begin() + long(steps.size() / 2), steps.end());
  return steps[steps.size() / 2];
}

TPlanePoint lerp(TPlanePoint a, TPlanePoint b, double t) {
  return {a.east + t * (b.east - a.east), a.north + t * (b.north - a.north)};
}

// The route thinned and scaled to units: the first point, then each one far enough from the
// last kept, and the last point, which replaces a kept one too near it.
void thinRoute(const std::vector<TPlanePoint>& plane, double scale, double spacing, std::vector<TPlanePoint>* at,
               std::vector<size_t>* kept) {
  double near = spacing * thinning;
  for (size_t i = 0; i < plane.size(); i++) {
    TPlanePoint p = {plane[i].east * scale, plane[i].north * scale};
    bool last = i + 1 == plane.size();
    if (!at->empty() && planDistance(p, at->back()) < near) {
      if (!last || at->size() < 2 || planDistance(p, at->back()) < samePlace) continue;
      at->pop_back();
      kept->pop_back();
    }
    at->push_back(p);
    kept->push_back(i);
  }
}

// The would-be track file: the title, then each waypoint's place and height in units.
std::string trackFileText(const TImport& import, const std::vector<double>& heights) {
  std::string text = "#Track\n" + import.title + "\n";
  for (size_t i = 0; i < import.places.size(); i++)
    text += formatNumber(import.places[i].east, import.placeDecimals) + " " +
            formatNumber(import.places[i].north, import.placeDecimals) + " " +
            formatNumber(heights[i], heightDecimals) + "\n";
  return text;
}

double distanceToStretch(TPlanePoint p, TPlanePoint a, TPlanePoint b) {
  double dx = b.east - a.east, dz = b.north - a.north, length2 = dx * dx + dz * dz;
  double t = length2 > 0.0 ? std::clamp(((p.east - a.east) * dx + (p.north - a.north) * dz) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(p.east - a.east - t * dx, p.north - a.north - t * dz);
}

// The waypoints where straight legs round the loop meet: each waypoint lies within reach of the
// leg through it. Found by halving (Douglas and Peucker's way), from the first waypoint and the
// one farthest from it; in order round the loop.
std::vector<int> legCorners(const std::vector<TPlanePoint>& places, double reach) {
  int n = int(places.size()), far = 0;
  for (int i = 1; i < n; i++)
    if (planDistance(places[size_t(i)], places[0]) > planDistance(places[size_t(far)], places[0])) far = i;
  std::vector<bool> corner(size_t(n), false);
  corner[0] = corner[size_t(far)] = true;
  std::vector<std::pair<int, int>> legs = {{0, far}, {far, n}};
  while (!legs.empty()) {
    auto [from, to] = legs.back();
    legs.pop_back();
    TPlanePoint a = places[size_t(from)], b = places[size_t(to % n)];
    int worst = -1;
    double worstDistance = reach;
    for (int i = from + 1; i < to; i++) {
      double d = distanceToStretch(places[size_t(i)], a, b);
      if (d > worstDistance) {
        worstDistance = d;
        worst = i;
      }
    }
    if (worst < 0) continue;
    corner[size_t(worst)] = true;
    legs.push_back({from, worst});
    legs.push_back({worst, to});
  }
  std::vector<int> corners;
  for (int i = 0; i < n; i++)
    if (corner[size_t(i)]) corners.push_back(i);
  return corners;
}

double onGrid(double units, double grid) { return std::round(units / grid) * grid; }

// Fractional bits of the grid the straight legs' waypoints lie on: as fine as the game's floats
// hold every coordinate of the track exactly, with a unit to spare.
int legGridBits(const std::vector<TPlanePoint>& places) {
  double largest = 0.0;
  for (const TPlanePoint& p : places) largest = std::max({largest, std::fabs(p.east), std::fabs(p.north)});
  int bits = finestLegGridBits;
  while (bits > 0 && std::ldexp(largest + 1.0, bits) >= std::ldexp(1.0, std::numeric_limits<float>::digits - 1)) bits--;
  return bits;
}

// The places redrawn as straight legs between corners, each leg's waypoints an equal step apart
// on the grid, so their road runs on in one exact line; the corners' bends are sharper than the
// route's bends were, by as much as the straight legs cut them. A loop cannot close on an exact
// grid step, so it closes across a stretch of its own, made where the smoothed heights change
// least, as its two new corners bend little. Empty when the loop is too short to redraw.
std::vector<TPlanePoint> straightenedPlaces(const std::vector<TPlanePoint>& places, const std::vector<double>& heights,
                                            double reach, int gridBits, int* legCount) {
  int n = int(places.size());
  double grid = std::ldexp(1.0, -gridBits);
  std::vector<int> corners = legCorners(places, reach);
  if (n < 4 || corners.size() < 3) return {};
  // The closing stretch: one between corners if there is one, else the gentlest inside a leg.
  int close = -1;
  for (size_t k = 0; k < corners.size() && close < 0; k++)
    if ((corners[(k + 1) % corners.size()] - corners[k] + n) % n == 1) close = corners[k];
  if (close < 0) {
    std::vector<bool> isCorner(size_t(n), false);
    for (int c : corners) isCorner[size_t(c)] = true;
    double gentlest = HUGE_VAL;
    for (int i = 0; i < n; i++) {
      double rise = std::fabs(heights[size_t((i + 1) % n)] - heights[size_t(i)]);
      if (!isCorner[size_t(i)] && !isCorner[size_t((i + 1) % n)] && rise < gentlest) {
        gentlest = rise;
        close = i;
      }
    }
    if (close < 0) return {};
    corners.push_back(close);
    corners.push_back((close + 1) % n);
    std::sort(corners.begin(), corners.end());
  }
  // Round the loop from the far end of the closing stretch, each leg stepping evenly from where
  // the last one ended towards its corner as drawn.
  std::vector<TPlanePoint> straight(static_cast<size_t>(n));
  int start = (close + 1) % n;
  straight[size_t(start)] = {onGrid(places[size_t(start)].east, grid), onGrid(places[size_t(start)].north, grid)};
  size_t k = size_t(std::find(corners.begin(), corners.end(), start) - corners.begin());
  *legCount = int(corners.size());
  for (size_t leg = 0; leg + 1 < corners.size(); leg++) {
    int from = corners[(k + leg) % corners.size()], to = corners[(k + leg + 1) % corners.size()];
    int steps = (to - from + n) % n;
    TPlanePoint a = straight[size_t(from)], b = places[size_t(to)];
    double stepEast = onGrid((b.east - a.east) / steps, grid);
    double stepNorth = onGrid((b.north - a.north) / steps, grid);
    for (int j = 1; j <= steps; j++)
      straight[size_t((from + j) % n)] = {a.east + j * stepEast, a.north + j * stepNorth};
  }
  return straight;
}

// Heights from one solve over the whole loop, judged by the game's own loader and slope code
// before anything is kept. A triangle the game still finds steep, which the solve's margins should
// never leave, has its corners held to one height and the solve runs again; past a few rounds the
// track is made flat, which no slope can crash.
void solveTrackHeights(TImport* import, const std::vector<double>& smoothed, const std::string& outputName) {
  // The plan is the same whatever the heights: a track whose heights number its waypoints tells
  // which waypoint every corner of the mesh belongs to.
  std::vector<double> numbers;
  for (size_t i = 0; i < smoothed.size(); i++) numbers.push_back(heightLabelStep * double(i + 1));
  std::string numbered = trackFileText(*import, numbers);
  TTrack plan;
  std::vector<TPlanTriangle> triangles;
  if (plan.loadText(numbered.data(), numbered.size()) == loadOk) triangles = planTriangles(plan);
  std::vector<int> tied;
  std::vector<double> written;
  for (int round = 0; round < maxSolveRounds && !triangles.empty(); round++) {
    import->solve = solveHeights(triangles, smoothed, tied);
    if (!import->solve.solved) break;
    std::string text = trackFileText(*import, import->solve.heights);
    TTrackCheck check = checkTrackText(outputName, text);
    if (!check.accepted()) break;
    bool crashes = !check.crashSlopes.empty();
    for (const TSlope& slope : check.crashSlopes) tied.push_back(slope.triangle);
    if (crashes && round + 1 < maxSolveRounds) continue;
    import->check = std::move(check);
    import->trackText = text;
    import->heights = written = import->solve.heights;
    if (!crashes) break;
  }
  if (written.empty() || !import->check.crashSlopes.empty()) {
    std::vector<double> flat(smoothed.size(), 0.0);
    std::string text = trackFileText(*import, flat);
    TTrackCheck check = checkTrackText(outputName, text);
    if (check.accepted()) {
      import->check = std::move(check);
      import->trackText = text;
      import->heights = flat;
      import->flattened = true;
    }
  }
  double shift = import->flattened ? 0.0 : import->solve.shift;
  for (size_t i = 0; i < import->heights.size(); i++) {
    double change = std::fabs(import->heights[i] - smoothed[i] - shift);
    if (change > import->heightChange) {
      import->heightChange = change;
      import->mostChanged = int(i);
    }
  }
}

double swingOf(const std::vector<double>& heights) {
  if (heights.empty()) return 0.0;
  auto [low, high] = std::minmax_element(heights.begin(), heights.end());
  return *high - *low;
}

// The track redrawn as straight legs, taken when the game accepts it with no crash slope and
// its heights keep more of the swing than toBeat (units).
bool tryStraightLegs(TImport* import, const std::vector<double>& smoothed, const std::string& outputName,
                     double toBeat) {
  // Finding the corners takes time growing with the square of the waypoints on a winding route.
  if (int(import->places.size()) > maxWindowlessWaypoints) return false;
  TImport straight;
  straight.title = import->title;
  straight.placeDecimals = legGridBits(import->places);
  straight.places =
      straightenedPlaces(import->places, smoothed, straightLegReach, straight.placeDecimals, &straight.straightLegs);
  if (straight.places.empty()) return false;
  straight.trackText = trackFileText(straight, smoothed);
  straight.check = checkTrackText(outputName, straight.trackText);
  if (!straight.check.accepted()) return false;
  straight.heights = smoothed;
  straight.crashSlopesAsSmoothed = int(straight.check.crashSlopes.size());
  if (straight.crashSlopesAsSmoothed > 0) solveTrackHeights(&straight, smoothed, outputName);
  if (!straight.check.crashSlopes.empty() || swingOf(straight.heights) <= toBeat) return false;
  for (size_t i = 0; i < straight.places.size(); i++)
    import->straightMoved = std::max(import->straightMoved, planDistance(straight.places[i], import->places[i]));
  import->places = std::move(straight.places);
  import->placeDecimals = straight.placeDecimals;
  import->straightLegs = straight.straightLegs;
  import->crashSlopesAsSmoothed = straight.crashSlopesAsSmoothed;
  import->solve = std::move(straight.solve);
  import->heights = std::move(straight.heights);
  import->heightChange = straight.heightChange;
  import->mostChanged = straight.mostChanged;
  import->flattened = straight.flattened;
  import->trackText = std::move(straight.trackText);
  import->check = std::move(straight.check);
  return true;
}

// Where a track that lost its hills lost the most: the stretch held nearly level where the
// smoothed route climbs or falls most, and what holds it there.
std::string heldText(const TImport& import) {
  const std::vector<double>&h = import.heights, &smoothed = import.smoothed;
  int n = int(h.size()), bestFrom = -1, bestTo = -1;
  double bestRise = 0.0, level = levelGrade * import.routeLength / n;
  for (int from = 0; from < n;) {
    int to = from;
    double low = smoothed[size_t(from)], high = low;
    while (to + 1 < n && std::fabs(h[size_t(to + 1)] - h[size_t(to)]) <= level) {
      to++;
      low = std::min(low, smoothed[size_t(to)]);
      high = std::max(high, smoothed[size_t(to)]);
    }
    if (high - low > bestRise) {
      bestRise = high - low;
      bestFrom = from;
      bestTo = to;
    }
    from = to + 1;
  }
  if (bestFrom < 0 || bestTo == bestFrom) return "";
  const std::vector<int>& with = import.solve.tiedWith;
  bool tied = std::adjacent_find(with.begin() + bestFrom, with.begin() + bestTo + 1) != with.begin() + bestTo + 1;
  return "  waypoints " + std::to_string(bestFrom + 1) + " to " + std::to_string(bestTo + 1) +
         " stay nearly level where the smoothed route rises and falls " + formatNumber(bestRise) +
         ": the ground triangles along the road's edge there are too thin to tilt, as a straight or gently bending "
         "road "
         "makes them" +
         (tied ? ", and some too thin for any slope in the game's arithmetic hold their waypoints at one height" : "") +
         "; waypoint " + std::to_string(bestFrom + 1) + " is " +
         spotText(import.route, import.spots[size_t(bestFrom)]) + "\n";
}

// What became of the smoothed heights where the ground would crash the car.
std::string heightsText(const TImport& import) {
  const TTrackCheck& check = import.check;
  std::string text, crashes = std::to_string(import.crashSlopesAsSmoothed) + " crash slope" +
                              (import.crashSlopesAsSmoothed == 1 ? "" : "s");
  std::string most = import.mostChanged < 0 ? ""
                                            : ", most at waypoint " + std::to_string(import.mostChanged + 1) + ", " +
                                                  spotText(import.route, import.spots[size_t(import.mostChanged)]);
  std::string windows = "; solved in overlapping windows of " + std::to_string(maxWholeWaypoints / 2) +
                        " waypoints, the solver's work growing faster than the route";
  if (import.flattened && int(import.spots.size()) > maxWindowlessWaypoints)
    text += "  the heights as smoothed make " + crashes + ", and solving for " + std::to_string(import.spots.size()) +
            " waypoints in windows left one with no room: made flat, heights changed by up to " +
            formatNumber(import.heightChange) + most + "; at a larger --spacing, or in parts, it may keep its hills\n";
  else if (import.flattened)
    text += "  the heights as smoothed make " + crashes + ", and no heights solved for clear them: made flat, " +
            "heights changed by up to " + formatNumber(import.heightChange) + most + "\n";
  else if (import.solve.solved) {
    double share = 100.0 * import.swingKept / import.swingSmoothed;  // crash slopes need a swing
    text += "  the heights as smoothed make " + crashes + ": solved for none, keeping " +
            formatNumber(import.swingKept) + " of their swing of " + formatNumber(import.swingSmoothed) + " (" +
            std::to_string(std::lround(share)) + " %), climbing " + formatNumber(import.climbWritten) +
            " a lap against " + formatNumber(import.climbSmoothed) + "; changed by up to " +
            formatNumber(import.heightChange) + most + (import.solve.windowed ? windows : "") + "\n";
    if (import.swingKept < keptSwingWorthTelling * import.swingSmoothed) text += heldText(import);
  }
  if (check.crashSlopes.empty()) return text;
  text += "  crash slopes: " + std::to_string(check.crashSlopes.size()) + ", where the car crashes (" +
          formatNumber(crashSlopeDegrees) + " degrees or more)" + (import.heightsKept ? ", heights kept" : "") + "\n";
  for (const TSlope& slope : check.crashSlopes)
    text += "    " + std::string(slope.ground) + " " + formatNumber(slope.degrees) + " degrees by waypoints " +
            std::to_string(slope.segment) + " to " + std::to_string(slope.segment % int(import.spots.size()) + 1) +
            "; waypoint " + std::to_string(slope.segment) + " is " +
            spotText(import.route, import.spots[size_t(slope.segment - 1)]) + "\n";
  return text;
}

// Where the waypoints' road first crosses or touches itself in plan, by the game's own test on
// the places as the track file holds them, a crossing through a waypoint included; false when
// it doesn't. It is told whatever rule the game names first: a loop drawn as an eight is as
// often refused as too close where its stretches cross, or as not clockwise.
bool findCrossing(const TImport& import, TCrossing* crossing) {
  if (import.places.size() < 3) return false;
  std::vector<Vec3> w;
  for (const TPlanePoint& p : import.places)
    w.push_back({float(shownNumber(p.east)), 0.0f, -float(shownNumber(p.north))});
  w.push_back(w.front());
  for (auto [i, j] : segmentPairsThatMayCross(w.data(), int32_t(import.places.size()))) {
    float u, v;
    if (intersectLines(planDelta(w[size_t(i)], w[size_t(j)]), planDelta(w[size_t(i)], w[size_t(i) + 1]),
                       planDelta(w[size_t(j)], w[size_t(j) + 1]), &u, &v) &&
        inUnitRange(u, true) && inUnitRange(v, true)) {
      *crossing = {i, j, u};
      return true;
    }
  }
  return false;
}

}  // namespace

void cutAtCharacter(std::string* text, size_t bytes) {
  if (text->size() <= bytes) return;
  while (bytes > 0 && (static_cast<unsigned char>((*text)[bytes]) & 0xc0) == 0x80) bytes--;
  text->resize(bytes);
}

bool projectRoute(const TRoute& route, std::vector<TPlanePoint>* plane, std::string* problem) {
  plane->clear();
  if (route.points.empty()) return true;
  double reference = route.geographic ? route.points[0].x : 0.0;
  double lowX = INFINITY, highX = -INFINITY, lowY = INFINITY, highY = -INFINITY;
  for (const TRoutePoint& p : route.points) {
    double x = route.geographic ? longitudeFrom(p.x, reference) : p.x;
    lowX = std::min(lowX, x);
    highX = std::max(highX, x);
    lowY = std::min(lowY, p.y);
    highY = std::max(highY, p.y);
  }
  double middleX = lowX / 2 + highX / 2, middleY = lowY / 2 + highY / 2;
  if (!route.geographic) {
    for (const TRoutePoint& p : route.points) plane->push_back({p.x - middleX, p.y - middleY});
    return true;
  }
  // East, north and up at the middle on the world's ellipsoid (WGS 84, as GPS gives), the plane
  // the ground's tangent there. Every point is taken at the ellipsoid's height: a route's heights
  // may be missing at some points, and where given they would only stretch the plan by the
  // height over the earth's radius, 0.016 % at 1000 m, less than a recording's own error.
  GeographicLib::LocalCartesian frame(middleY, reference + middleX, 0.0);
  for (size_t i = 0; i < route.points.size(); i++) {
    double east, north, up;
    frame.Forward(route.points[i].y, route.points[i].x, 0.0, east, north, up);
    double away = std::hypot(east, north, up);
    if (away > maxRouteRadius) {
      *problem = "point " + std::to_string(i + 1) + " lies " + formatNumber(away / 1000.0) +
                 " km from the route's middle; a route may reach " + formatNumber(maxRouteRadius / 1000.0) +
                 " km from it";
      plane->clear();
      return false;
    }
    plane->push_back({east, north});
  }
  return true;
}

TImport importRoute(const std::string& inputName, const std::string& text, const std::string& outputName,
                    const TImportOptions& options) {
  TImport import;
  TRoute& route = import.route;
  std::vector<TPlanePoint> plane;
  if (!readRoute(text, &route, &import.problem)) return import;
  import.routeRead = true;
  if (!projectRoute(route, &plane, &import.problem)) return import;

  std::vector<TPlanePoint> at;
  std::vector<size_t> kept;
  thinRoute(plane, options.scale, options.spacing, &at, &kept);
  if (route.points.size() == 1) {
    import.problem = "only one point: a track needs a loop";
    return import;
  }
  if (at.size() < 2) {
    import.problem = "all " + std::to_string(route.points.size()) + " points lie within " +
                     formatNumber(options.spacing * thinning) + " units of one place";
    return import;
  }
  import.gap = planDistance(at.front(), at.back());
  double recorded = 0.0;  // units from the route's first point to its last
  for (size_t i = 1; i < at.size(); i++) recorded += planDistance(at[i - 1], at[i]);
  import.gapShare = import.gap / (recorded + import.gap);
  double median = medianStep(at);
  bool stopsShort = import.gapShare <= closingShare && import.gap <= closingMetres * options.scale;
  if (import.gap > closingSpacings * options.spacing && !(import.gap < closingPointSpacings * median) && !stopsShort &&
      !options.close) {
    import.status = importRefused;
    import.problem = "its ends are " + formatNumber(import.gap / options.scale) + " m apart, " +
                     formatNumber(100.0 * import.gapShare, 1) + " % of its " +
                     formatNumber((recorded + import.gap) / options.scale / 1000.0) +
                     " km: more than a recording that stops short of its start (" + formatNumber(closingMetres) +
                     " m and " + formatNumber(100.0 * closingShare) + " % of the way round at most), and more than " +
                     formatNumber(closingPointSpacings) + " times the " + formatNumber(median / options.scale) +
                     " m its points lie apart in the middle: it is no loop; --close joins them with a straight road";
    return import;
  }
  if (import.gap < options.spacing * thinning) {
    at.pop_back();
    kept.pop_back();
  }

  // Clockwise on the map is a negative signed area with east right and north up.
  size_t m = at.size();
  double twiceArea = 0.0;
  for (size_t j = 0; j < m; j++) {
    TPlanePoint a = at[j], b = at[(j + 1) % m];
    twiceArea += (a.east - at[0].east) * (b.north - at[0].north) - (b.east - at[0].east) * (a.north - at[0].north);
  }
  import.reversed = twiceArea > 0.0;
  if (import.reversed) {
    std::reverse(at.begin() + 1, at.end());
    std::reverse(kept.begin() + 1, kept.end());
  }
  for (size_t j = 0; j < m; j++) import.routeLength += planDistance(at[j], at[(j + 1) % m]);
  double stretches = import.routeLength / options.spacing;
  if (!(stretches <= maxImportWaypoints)) {
    import.problem = "the route is " + formatNumber(import.routeLength) + " units round: at --spacing " +
                     formatNumber(options.spacing) + " that is more than " + formatNumber(maxImportWaypoints) +
                     " waypoints";
    return import;
  }
  if (stretches < 3.0) {
    import.problem = "the route is only " + formatNumber(import.routeLength) + " units round; at --spacing " +
                     formatNumber(options.spacing) + " a track needs " + formatNumber(3.0 * options.spacing);
    return import;
  }

  int n = int(std::lround(stretches));
  import.spots = evenSpots(at, kept, n, import.routeLength);
  std::vector<double> inputHeights = pointHeights(route, plane), heights;
  for (const TRouteSpot& s : import.spots)
    heights.push_back(inputHeights[s.from] + s.along * (inputHeights[s.to] - inputHeights[s.from]));
  heights = smoothedLoop(heights, import.routeLength / n);
  double lowest = *std::min_element(heights.begin(), heights.end());
  for (double& h : heights) h = (h - lowest) * options.scale * options.heightScale;

  import.title = fitTitle(!options.title.empty() ? options.title
                          : !route.name.empty()  ? route.name
                                                 : fileTitle(inputName));
  for (const TRouteSpot& s : import.spots) {
    TPlanePoint p = lerp(plane[s.from], plane[s.to], s.along);
    import.places.push_back({p.east * options.scale, p.north * options.scale});
  }
  import.heights = heights;
  import.trackText = trackFileText(import, heights);
  import.check = checkTrackText(outputName, import.trackText);
  import.crashSlopesAsSmoothed = int(import.check.crashSlopes.size());
  import.heightsKept = options.keepHeights;
  if (!options.keepHeights && import.check.accepted() && import.crashSlopesAsSmoothed > 0) {
    // A long route is solved in windows, slowly where a gentle bend holds one stuck: its straight
    // legs are tried first, and the road as drawn only when they don't keep the hills.
    double wanted = straightenBelowShare * swingOf(heights);
    bool windowed = int(heights.size()) > maxWholeWaypoints;
    if (!(windowed && tryStraightLegs(&import, heights, outputName, wanted))) {
      solveTrackHeights(&import, heights, outputName);
      if (swingOf(import.heights) < wanted) tryStraightLegs(&import, heights, outputName, swingOf(import.heights));
    }
  }
  import.smoothed = heights;
  import.swingSmoothed = swingOf(heights);
  import.swingKept = swingOf(import.heights);
  import.climbSmoothed = loopClimb(heights);
  import.climbWritten = loopClimb(import.heights);
  import.status = import.check.accepted() ? importWritten : importRefused;
  return import;
}

std::string importText(const TImport& import, const std::string& inputName) {
  const TRoute& route = import.route;
  std::string text = inputName + ": " + (route.format.empty() ? "" : route.format + ", ");
  if (!import.routeRead) return text + import.problem + "\n";
  text += std::to_string(route.points.size()) + (route.points.size() == 1 ? " point\n" : " points\n");
  if (!import.problem.empty()) return text + "  " + import.problem + "\n";
  if (import.gap > samePlace)
    text += "  its ends are " + formatNumber(import.gap) + " units apart, " + formatNumber(100.0 * import.gapShare, 1) +
            " % of the way round: joined by a straight road\n";
  if (import.reversed) text += "  it runs counter-clockwise: reversed, its first point still first\n";
  const TTrackCheck& check = import.check;
  if (check.accepted()) {
    text += "  made \"" + import.title + "\": " + std::to_string(check.waypoints.size()) + " waypoints, " +
            formatNumber(check.length) + " units round (the route on the map " + formatNumber(import.routeLength) +
            "), heights " + formatNumber(check.low.height) + " to " + formatNumber(check.high.height) + "\n";
    if (import.straightLegs > 0)
      text += "  its bends redrawn as " + std::to_string(import.straightLegs) +
              " straight legs, each waypoint moved at most " + formatNumber(import.straightMoved) +
              ": fewer, sharper bends leave the ground room to tilt\n";
    return text + heightsText(import);
  }
  text += checkText(check) + "on the route:\n";
  std::vector<int> told;
  for (const TWaypointRef& w : check.atFault) {
    if (std::find(told.begin(), told.end(), w.number) != told.end() || w.number > int(import.spots.size())) continue;
    told.push_back(w.number);
    text +=
        "  waypoint " + std::to_string(w.number) + " is " + spotText(route, import.spots[size_t(w.number - 1)]) + "\n";
  }
  TCrossing crossing;
  if (findCrossing(import, &crossing)) {
    size_t i = size_t(crossing.segment), n = import.spots.size();
    TRoutePoint a = placeOn(route, import.spots[i]), b = placeOn(route, import.spots[(i + 1) % n]);
    double dx = route.geographic ? longitudeFrom(b.x, a.x) : b.x - a.x;
    TRoutePoint at = {a.x + crossing.along * dx, a.y + crossing.along * (b.y - a.y), NAN, 0};
    if (route.geographic) at.x = longitudeFrom(at.x, 0.0);
    text += "  the road crosses itself at " + placeText(route, at) + "\n";
  }
  return text;
}
