// Drawing the track map. The picture's units are track units with the picture's x as east (the
// game's x) and its y as the game's z, which grows southwards, so north is up without a flip.
#include "tools/track_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/check_report.h"
#include "track/triangle.h"

namespace {

constexpr double captionPixels = 48.0;        // band above the map for the title and the verdict
constexpr double minimumWidthPixels = 420.0;  // room for the caption on a narrow track
constexpr double fontPixels = 14.0;
constexpr double refusedLabelPixels = 12.0;  // the number of a waypoint refused for standing too close
constexpr double arrowSpacingPixels = 70.0;  // at least this far apart along the centre line
constexpr double refusedPadding = 0.1;       // around a refused track's waypoints, as a share of their extent
constexpr double minimumPadding = 20.0;      // units
const char* const faultRed = "rgb(220,0,0)";
const char* const crashOrange = "rgb(255,140,0)";
const char* const edgeCrashRed = "rgb(200,0,90)";      // crash slopes a car that leaves the road lands on
const char* const outlineColour = "rgb(179,128,179)";  // the overview's outline colour

std::string num(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string rgb(const float (&colour)[3]) {
  auto channel = [](float c) { return std::to_string(int(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f))); };
  return "rgb(" + channel(colour[0]) + "," + channel(colour[1]) + "," + channel(colour[2]) + ")";
}

// Words in the markup: as the reports print them, with the characters markup reserves as its
// entities, a different escape from the reports' own.
std::string xmlText(const std::string& words) {
  std::string out;
  for (char c : printable(words, false)) {
    if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '&')
      out += "&amp;";
    else
      out += c;
  }
  return out;
}

// The plan area the map shows, in track units.
struct TView {
  double minX, minZ, width, height;
  double scale;  // pixels per unit
  double px(double pixels) const { return pixels / scale; }
};

TView viewOf(const TTrackCheck& check) {
  double minX, minZ, maxX, maxZ;
  const TTrack& track = *check.track;
  std::vector<Vec3> points(track.waypoints, track.waypoints + track.waypointCount);
  if (check.detail.fault == faultTooClose) points.push_back(check.detail.refused);
  if (check.accepted()) {
    double m = track.margin;
    minX = track.minCorner.x - m;
    maxX = track.maxCorner.x + m;
    minZ = track.minCorner.z - m;
    maxZ = track.maxCorner.z + m;
  } else if (!points.empty()) {
    minX = maxX = points[0].x;
    minZ = maxZ = points[0].z;
    for (Vec3 p : points) {
      minX = std::min(minX, double(p.x));
      maxX = std::max(maxX, double(p.x));
      minZ = std::min(minZ, double(p.z));
      maxZ = std::max(maxZ, double(p.z));
    }
    double pad = std::max(minimumPadding, refusedPadding * std::max(maxX - minX, maxZ - minZ));
    minX -= pad;
    maxX += pad;
    minZ -= pad;
    maxZ += pad;
  } else {
    minX = minZ = 0.0;
    maxX = maxZ = 100.0;
  }
  TView view = {minX, minZ, maxX - minX, maxZ - minZ, mapSizePixels / std::max(maxX - minX, maxZ - minZ)};
  if (view.width * view.scale < minimumWidthPixels) {
    double extra = minimumWidthPixels / view.scale - view.width;
    view.minX -= extra / 2;
    view.width += extra;
  }
  return view;
}

class TSvg {
 public:
  std::string text;
  const TView& view;

  explicit TSvg(const TView& v) : view(v) {}

  void polygon(const std::vector<Vec3>& corners, const std::string& style) {
    text += "<polygon points=\"";
    for (Vec3 p : corners) text += num(p.x) + "," + num(p.z) + " ";
    text += "\" " + style + "/>\n";
  }
  void line(Vec3 a, Vec3 b, const std::string& colour, double widthPixels) {
    text += "<line x1=\"" + num(a.x) + "\" y1=\"" + num(a.z) + "\" x2=\"" + num(b.x) + "\" y2=\"" + num(b.z) +
            "\" stroke=\"" + colour + "\" stroke-width=\"" + num(view.px(widthPixels)) +
            "\" stroke-linecap=\"round\"/>\n";
  }
  void circle(Vec3 centre, double radiusPixels, const std::string& style) {
    text += "<circle cx=\"" + num(centre.x) + "\" cy=\"" + num(centre.z) + "\" r=\"" + num(view.px(radiusPixels)) +
            "\" " + style + "/>\n";
  }
  void label(double x, double z, const std::string& words, const std::string& colour, double sizePixels,
             const char* anchor = "middle") {
    text += "<text x=\"" + num(x) + "\" y=\"" + num(z) + "\" font-family=\"sans-serif\" font-size=\"" +
            num(view.px(sizePixels)) + "\" fill=\"" + colour + "\" stroke=\"none\" text-anchor=\"" + anchor + "\">" +
            xmlText(words) + "</text>\n";
  }
  std::string stroke(const std::string& colour, double widthPixels) const {
    return "stroke=\"" + colour + "\" stroke-width=\"" + num(view.px(widthPixels)) + "\" stroke-linejoin=\"round\"";
  }
};

Vec3 unitPlan(Vec3 from, Vec3 to) {
  double dx = to.x - from.x, dz = to.z - from.z, length = std::hypot(dx, dz);
  if (length == 0.0) return {0.0f, 0.0f, 0.0f};
  return {float(dx / length), 0.0f, float(dz / length)};
}

Vec3 offset(Vec3 p, Vec3 direction, double by) {
  return {float(p.x + direction.x * by), p.y, float(p.z + direction.z * by)};
}

// Left of the driving direction on the map: the outside of a clockwise track.
Vec3 leftOf(Vec3 direction) { return {direction.z, 0.0f, -direction.x}; }

// A ">" on the centre line halfway along a stretch, pointing the way the cars drive; on a track
// of short stretches only every few, so the arrows stay apart.
void drawDirection(TSvg* svg, const TTrack& track, const std::string& colour) {
  double size = std::max(double(roadHalfWidth) * 0.7, svg->view.px(6.0));
  double sinceLast = INFINITY;
  for (int i = 0; i < track.waypointCount; i++) {
    Vec3 a = track.waypoints[i], b = track.waypoints[i + 1];
    double length = std::hypot(b.x - a.x, b.z - a.z);
    sinceLast += length / 2;
    if (sinceLast >= svg->view.px(arrowSpacingPixels)) {
      Vec3 d = unitPlan(a, b), left = leftOf(d);
      Vec3 middle = {(a.x + b.x) / 2, 0.0f, (a.z + b.z) / 2};
      Vec3 back = offset(middle, d, -size);
      svg->line(offset(back, left, size), middle, colour, 2.0);
      svg->line(offset(back, left, -size), middle, colour, 2.0);
      sinceLast = 0.0;
    }
    sinceLast += length / 2;
  }
}

// A label's box on the map, estimated from its font size and character count, for labels set
// in the middle of x with their baseline at z: digits are about 0.6 of the font size wide, and
// rise about 0.8 of it above the baseline, with 0.2 below for the rest of the line.
struct TBox {
  double x0, z0, x1, z1;  // units
  bool overlaps(const TBox& o) const { return x0 < o.x1 && o.x0 < x1 && z0 < o.z1 && o.z0 < z1; }
};

TBox labelBox(const TView& view, double x, double baseline, size_t characters, double sizePixels) {
  double halfWidth = view.px(0.6 * sizePixels * double(characters) / 2);
  return {x - halfWidth, baseline - view.px(0.8 * sizePixels), x + halfWidth, baseline + view.px(0.2 * sizePixels)};
}

// Where the number of a waypoint refused for standing too close goes: below it.
Vec3 refusedLabelAt(const TView& view, Vec3 refused) { return offset(refused, {0.0f, 0.0f, 1.0f}, view.px(24.0)); }

// Waypoints as dots with their numbers outside the loop, and a bar across the road at the start.
// Where numbers would print over each other at the map's scale, later ones are left out; the
// start and the waypoints a fault names always keep theirs, so they go down first.
void drawWaypoints(TSvg* svg, const TTrackCheck& check) {
  const TTrack& track = *check.track;
  int n = track.waypointCount;
  if (n == 0) return;
  Vec3 startDirection = n > 1 ? unitPlan(track.waypoints[0], track.waypoints[1]) : Vec3{0.0f, 0.0f, -1.0f};
  Vec3 startLeft = leftOf(startDirection);
  double barHalf = std::max(double(roadHalfWidth), svg->view.px(8.0));
  Vec3 barLeft = offset(track.waypoints[0], startLeft, barHalf),
       barRight = offset(track.waypoints[0], startLeft, -barHalf);
  svg->line(barLeft, barRight, "black", 7.0);
  svg->line(barLeft, barRight, "white", 3.0);
  for (int i = 0; i < n; i++) svg->circle(track.waypoints[i], 3.5, "fill=\"black\" stroke=\"none\"");

  std::vector<TBox> taken;
  if (check.detail.fault == faultTooClose) {
    Vec3 at = refusedLabelAt(svg->view, check.detail.refused);
    taken.push_back(labelBox(svg->view, at.x, at.z, std::to_string(n + 1).size(), refusedLabelPixels));
  }
  std::vector<int> order = {0};
  for (const TWaypointRef& w : check.atFault)
    if (w.number <= n) order.push_back(w.number - 1);
  size_t always = order.size();
  for (int i = 1; i < n; i++) order.push_back(i);
  std::vector<bool> labelled(size_t(n), false);
  for (size_t k = 0; k < order.size(); k++) {
    int i = order[k];
    if (labelled[size_t(i)]) continue;
    Vec3 p = track.waypoints[i];
    Vec3 in = unitPlan(track.waypoints[i == 0 ? n - 1 : i - 1], p), out = unitPlan(p, track.waypoints[i + 1]);
    Vec3 outside = unitPlan({0.0f, 0.0f, 0.0f}, leftOf({in.x + out.x, 0.0f, in.z + out.z}));
    if (outside.x == 0.0f && outside.z == 0.0f) outside = leftOf(out);
    Vec3 at = offset(p, outside, roadHalfWidth + svg->view.px(12.0));
    double baseline = at.z + svg->view.px(fontPixels * 0.35), size = i == 0 ? 15.0 : 13.0;
    std::string number = std::to_string(i + 1);
    TBox box = labelBox(svg->view, at.x, baseline, number.size(), size);
    if (k >= always && std::any_of(taken.begin(), taken.end(), [&box](const TBox& b) { return b.overlaps(box); }))
      continue;
    taken.push_back(box);
    labelled[size_t(i)] = true;
    svg->label(at.x, baseline, number, "black", size);
  }
}

void drawMesh(TSvg* svg, const TTrack& track) {
  // Each triangle's own colour as its outline too, so no background shows at shared edges.
  auto fill = [svg](const TTriangle& t, const std::string& colour) {
    svg->polygon({t.vertexA, t.vertexB, t.vertexC}, "fill=\"" + colour + "\" " + svg->stroke(colour, 0.8));
  };
  for (int i = track.infieldStart; i < track.triangleCount; i++)
    fill(*track.triangles[i], rgb(track.triangles[i]->colour));
  for (int i = 0; i < track.infieldStart; i++) fill(*track.triangles[i], rgb(track.triangles[i]->colour));
}

// Those at the road's edge last, so the ones that matter most stay on top.
void drawCrashSlopes(TSvg* svg, const TTrackCheck& check) {
  for (bool atRoadEdge : {false, true})
    for (const TSlope& s : check.crashSlopes) {
      if (s.atRoadEdge != atRoadEdge) continue;
      const TTriangle& t = *check.track->triangles[s.triangle];
      const char* colour = atRoadEdge ? edgeCrashRed : crashOrange;
      svg->polygon({t.vertexA, t.vertexB, t.vertexC}, std::string("fill=\"") + colour + "\" fill-opacity=\"0.8\" " +
                                                          svg->stroke(colour, atRoadEdge ? 2.5 : 1.5));
    }
}

void drawBorder(TSvg* svg, const TTrack& track) {
  double m = track.margin;
  double x0 = track.minCorner.x - m, x1 = track.maxCorner.x + m, z0 = track.minCorner.z - m, z1 = track.maxCorner.z + m;
  svg->text += "<rect x=\"" + num(x0) + "\" y=\"" + num(z0) + "\" width=\"" + num(x1 - x0) + "\" height=\"" +
               num(z1 - z0) + "\" fill=\"none\" " + svg->stroke("rgb(40,60,40)", 3.0) + "/>\n";
}

void drawCentreLine(TSvg* svg, const TTrack& track) {
  std::vector<Vec3> loop(track.waypoints, track.waypoints + track.waypointCount);
  if (loop.size() >= 2) svg->polygon(loop, "fill=\"none\" " + svg->stroke(outlineColour, 2.0));
}

void drawFault(TSvg* svg, const TTrackCheck& check) {
  const TTrack& track = *check.track;
  const TLoadDetail& d = check.detail;
  std::string ring = std::string("fill=\"none\" ") + svg->stroke(faultRed, 3.0);
  switch (d.fault) {
    case faultTooClose: {
      Vec3 near = track.waypoints[d.waypoint];
      svg->line(d.refused, near, faultRed, 3.0);
      svg->circle(d.refused, 10.0, ring);
      svg->circle(near, 10.0, ring);
      Vec3 at = refusedLabelAt(svg->view, d.refused);
      svg->label(at.x, at.z, std::to_string(track.waypointCount + 1), faultRed, refusedLabelPixels);
      break;
    }
    case faultSamePlanPosition: svg->circle(track.waypoints[d.waypoint], 10.0, ring); break;
    case faultCrossing: {
      for (int segment : {d.crossing.segment, d.crossing.otherSegment})
        svg->line(track.waypoints[segment], track.waypoints[segment + 1], faultRed, 4.0);
      Vec3 at = {float(check.crossingAt.east), 0.0f, float(-check.crossingAt.north)};
      svg->circle(at, 7.0, std::string("fill=\"") + faultRed + "\" stroke=\"none\"");
      break;
    }
    default: break;
  }
}

std::string verdictText(const TTrackCheck& check) {
  if (check.accepted()) {
    if (check.crashSlopes.empty()) return "accepted";
    std::string text = "accepted; orange: slopes of 45 degrees or more, where the car crashes";
    for (const TSlope& s : check.crashSlopes)
      if (s.atRoadEdge) return text + "; crimson: at the road's edge";
    return text;
  }
  if (check.detail.fault == faultNotClockwise) return check.message + " (the red arrows run counter-clockwise)";
  return check.message;
}

}  // namespace

std::string trackMapSvg(const TTrackCheck& check) {
  TView view = viewOf(check);
  double caption = view.px(captionPixels);
  TSvg svg(view);
  const TTrack& track = *check.track;
  svg.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
             num(view.width * view.scale) + "\" height=\"" + num(view.height * view.scale + captionPixels) +
             "\" viewBox=\"" + num(view.minX) + " " + num(view.minZ - caption) + " " + num(view.width) + " " +
             num(view.height + caption) + "\">\n";
  svg.text += "<rect x=\"" + num(view.minX) + "\" y=\"" + num(view.minZ - caption) + "\" width=\"" + num(view.width) +
              "\" height=\"" + num(view.height + caption) + "\" fill=\"white\" stroke=\"none\"/>\n";
  if (check.accepted()) {
    drawMesh(&svg, track);
    drawCrashSlopes(&svg, check);
    drawBorder(&svg, track);
    drawDirection(&svg, track, "white");
    drawWaypoints(&svg, check);
  } else {
    drawCentreLine(&svg, track);
    drawDirection(&svg, track, check.detail.fault == faultNotClockwise ? faultRed : outlineColour);
    drawWaypoints(&svg, check);
    drawFault(&svg, check);  // on top, so nothing hides it
  }
  std::string title = track.title != nullptr ? track.title : check.file;
  double left = view.minX + view.px(8.0);
  svg.label(left, view.minZ - caption + view.px(20.0), title, "black", 16.0, "start");
  svg.label(left, view.minZ - caption + view.px(40.0), verdictText(check), check.accepted() ? "black" : faultRed, 13.0,
            "start");
  svg.text += "</svg>\n";
  return svg.text;
}
