// Importing routes. Waypoints are placed on the route as drawn, never moved off it, so each one
// can be traced back to a place between two input points and a refusal can say where on the
// route it lies; only the heights are smoothed.
#include "tools/track_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/check_report.h"

namespace {

// The ellipsoid (WGS 84) on which GPS gives latitudes and longitudes.
constexpr double earthRadius = 6378137.0;  // metres at the equator
constexpr double earthFlattening = 1.0 / 298.257223563;
constexpr double radiansPerDegree = pi / 180.0;

// Input points nearer than this part of the spacing to the last one kept are passed over: a
// recording's jitter where it stood still would otherwise make waypoints on top of each other.
constexpr double thinning = 0.5;
constexpr double samePlace = 1e-6;  // units: points nearer than this are one place
constexpr int degreeDecimals = 6;   // about 0.1 m

struct TEarthPoint {
  double x, y, z;  // metres from the earth's centre
};

TEarthPoint earthPoint(double latitude, double longitude) {
  double e2 = earthFlattening * (2.0 - earthFlattening);
  double lat = latitude * radiansPerDegree, lon = longitude * radiansPerDegree;
  double n = earthRadius / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
  return {n * std::cos(lat) * std::cos(lon), n * std::cos(lat) * std::sin(lon), n * (1.0 - e2) * std::sin(lat)};
}

// A longitude as an offset from another, in -180 to 180, so a route over the date line stays whole.
double longitudeFrom(double longitude, double reference) {
  double d = std::fmod(longitude - reference, 360.0);
  return d > 180.0 ? d - 360.0 : (d < -180.0 ? d + 360.0 : d);
}

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
  if (title.size() > size_t(maxTitleLength)) {
    size_t cut = size_t(maxTitleLength);
    while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xc0) == 0x80) cut--;
    title.resize(cut);
  }
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
  std::vector<double> heights(n, NAN), along(n, 0.0);
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

}  // namespace

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
  // East, north and up at the middle; the plane is the ground's tangent there.
  double latitude = middleY, longitude = reference + middleX;
  TEarthPoint origin = earthPoint(latitude, longitude);
  double sinLat = std::sin(latitude * radiansPerDegree), cosLat = std::cos(latitude * radiansPerDegree);
  double sinLon = std::sin(longitude * radiansPerDegree), cosLon = std::cos(longitude * radiansPerDegree);
  for (size_t i = 0; i < route.points.size(); i++) {
    TEarthPoint q = earthPoint(route.points[i].y, route.points[i].x);
    double dx = q.x - origin.x, dy = q.y - origin.y, dz = q.z - origin.z;
    double away = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (away > maxRouteRadius) {
      *problem = "point " + std::to_string(i + 1) + " lies " + formatNumber(away / 1000.0) +
                 " km from the route's middle; a route may reach " + formatNumber(maxRouteRadius / 1000.0) +
                 " km from it";
      plane->clear();
      return false;
    }
    plane->push_back({-sinLon * dx + cosLon * dy, -sinLat * cosLon * dx - sinLat * sinLon * dy + cosLat * dz});
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
  if (import.gap > closingSpacings * options.spacing && !options.close) {
    import.status = importRefused;
    import.problem = "its ends are " + formatNumber(import.gap) + " units apart, more than " +
                     formatNumber(closingSpacings) + " spacings (" + formatNumber(closingSpacings * options.spacing) +
                     "): it is no loop; --close joins them with a straight road";
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

  import.title = fitTitle(!options.title.empty() ? options.title
                          : !route.name.empty()  ? route.name
                                                 : fileTitle(inputName));
  import.trackText = "#Track\n" + import.title + "\n";
  for (size_t i = 0; i < import.spots.size(); i++) {
    const TRouteSpot& s = import.spots[i];
    TPlanePoint p = lerp(plane[s.from], plane[s.to], s.along);
    import.trackText += formatNumber(p.east * options.scale) + " " + formatNumber(p.north * options.scale) + " " +
                        formatNumber((heights[i] - lowest) * options.scale * options.heightScale) + "\n";
  }
  import.check = checkTrackText(outputName, import.trackText);
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
    text += "  its ends are " + formatNumber(import.gap) + " units apart: joined by a straight road\n";
  if (import.reversed) text += "  it runs counter-clockwise: reversed, its first point still first\n";
  const TTrackCheck& check = import.check;
  if (check.accepted()) {
    text += "  made \"" + import.title + "\": " + std::to_string(check.waypoints.size()) + " waypoints, " +
            formatNumber(check.length) + " units round (the route on the map " + formatNumber(import.routeLength) +
            "), heights " + formatNumber(check.low.height) + " to " + formatNumber(check.high.height) + "\n";
    if (!check.crashSlopes.empty())
      text += "  crash slopes: " + std::to_string(check.crashSlopes.size()) + "; `zarvanto-track check " + check.file +
              "` lists them\n";
    return text;
  }
  text += checkText(check) + "on the route:\n";
  std::vector<int> told;
  for (const TWaypointRef& w : check.atFault) {
    if (std::find(told.begin(), told.end(), w.number) != told.end() || w.number > int(import.spots.size())) continue;
    told.push_back(w.number);
    text +=
        "  waypoint " + std::to_string(w.number) + " is " + spotText(route, import.spots[size_t(w.number - 1)]) + "\n";
  }
  if (check.detail.fault == faultCrossing) {
    size_t i = size_t(check.detail.crossing.segment), n = import.spots.size();
    TRoutePoint a = placeOn(route, import.spots[i]), b = placeOn(route, import.spots[(i + 1) % n]);
    double along = check.detail.crossing.along;
    double dx = route.geographic ? longitudeFrom(b.x, a.x) : b.x - a.x;
    TRoutePoint crossing = {a.x + along * dx, a.y + along * (b.y - a.y), NAN, 0};
    if (route.geographic) crossing.x = longitudeFrom(crossing.x, 0.0);
    text += "  the road crosses itself at " + placeText(route, crossing) + "\n";
  }
  return text;
}
