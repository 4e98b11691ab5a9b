// Importing routes: loops of each format become tracks the game accepts, true to the route's
// shape and length; refusals say where on the route; hostile inputs get a message, not a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/check_report.h"
#include "tools/track_import.h"
#include "track/triangle.h"

namespace {

struct TMetres {
  double east, north, height;
};

using TPoints = std::vector<TMetres>;

constexpr double lat0 = 60.0, lon0 = 10.0, metresPerDegree = 111412.0;  // near enough at 60 north

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.8f", value);
  return text;
}

std::string latitude(const TMetres& p) { return number(lat0 + p.north / metresPerDegree); }
std::string longitude(const TMetres& p) { return number(lon0 + p.east / (metresPerDegree * 0.5)); }

// Round from angle `from` for `turn` radians (negative: clockwise), the last point repeating the first on a full turn.
TPoints arc(int count, double radius, double from, double turn, double hills = 0.0) {
  TPoints points;
  for (int i = 0; i <= count; i++) {
    double a = from + turn * i / count;
    points.push_back({radius * std::cos(a), radius * std::sin(a), hills * (1.0 + std::sin(3.0 * a))});
  }
  return points;
}

std::string gpx(const TPoints& points) {
  std::string text = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"><trk><name>Ring</name><trkseg>\n";
  for (const TMetres& p : points)
    text +=
        "<trkpt lat=\"" + latitude(p) + "\" lon=\"" + longitude(p) + "\"><ele>" + number(p.height) + "</ele></trkpt>\n";
  return text + "</trkseg></trk></gpx>\n";
}

// GeoJSON positions, each with a time after its height as some trackers add, which is no part of the route.
std::string positions(const TPoints& points) {
  std::string text;
  for (const TMetres& p : points)
    text += std::string(&p == &points[0] ? "" : ",") + "[" + longitude(p) + "," + latitude(p) + "," + number(p.height) +
            ",\"12:00\"]";
  return text;
}

// In a collection, after a feature that is no line, the route in two lines of a MultiLineString.
std::string geoJson(const TPoints& points) {
  TPoints first(points.begin(), points.begin() + 20), rest(points.begin() + 20, points.end());
  return R"({"type":"FeatureCollection","features":[{"type":"Feature","geometry":{"type":"Point","coordinates":[0,0]}},)"
         R"({"type":"Feature","geometry":{"type":"MultiLineString","coordinates":[[)" +
         positions(first) + "],[" + positions(rest) + "]]}}]}";
}

// A feature whose line is a polygon's outer ring, with a hole in it that is no part of the road.
std::string geoJsonRing(const TPoints& points) {
  return R"({"type":"Feature","geometry":{"type":"Polygon","coordinates":[[)" + positions(points) + "],[" +
         positions(arc(8, 50.0, 0.0, 2.0 * pi)) + "]]}}";
}

std::string csv(const TPoints& points) {
  std::string text = "# x,y,z\n";
  for (const TMetres& p : points)  // far off the map's origin, as a survey's coordinates are
    text += number(p.east + 4e5) + "," + number(p.north - 3e5) + "," + number(p.height) + ",9\n";
  return text;
}

double planLength(const TTrack& track) {
  double length = 0.0;
  for (int i = 0; i < track.waypointCount; i++)
    length +=
        std::hypot(track.waypoints[i + 1].x - track.waypoints[i].x, track.waypoints[i + 1].z - track.waypoints[i].z);
  return length;
}

TImport import(const std::string& text, const TImportOptions& options = {}) {
  return importRoute("route", text, "route.tck", options);
}

TEST(ImportLoops, EveryFormatEitherWayRoundMakesTheSameAcceptedLoopOfTheRoutesLength) {
  for (auto format : {gpx, geoJson, geoJsonRing, csv}) {
    for (double turn : {-2.0 * pi, 2.0 * pi}) {
      TPoints points = arc(40, 250.0, 0.3, turn, 4.0);
      TImport made = import(format(points));
      SCOPED_TRACE(made.route.format + importText(made, "route"));
      ASSERT_EQ(made.status, importWritten);
      EXPECT_EQ(std::make_tuple(made.check.result, made.reversed), std::make_tuple(loadOk, turn > 0.0));
      EXPECT_NEAR(planLength(*made.check.track), made.routeLength, 0.01 * made.routeLength);
      EXPECT_LT(std::hypot(made.check.track->centre.x, made.check.track->centre.z), 1.0) << "the track about 0";
      EXPECT_NEAR(made.routeLength, 2 * pi * 250.0, 0.01 * 2 * pi * 250.0);
      std::reverse(points.begin(), points.end());
      TImport back = import(format(points));
      ASSERT_EQ(back.check.waypoints.size(), made.check.waypoints.size());
      for (size_t i = 0; i < made.check.waypoints.size(); i++) {
        EXPECT_NEAR(back.check.waypoints[i].at.east, made.check.waypoints[i].at.east, 0.02);
        EXPECT_NEAR(back.check.waypoints[i].at.north, made.check.waypoints[i].at.north, 0.02);
        EXPECT_NEAR(back.check.waypoints[i].at.height, made.check.waypoints[i].at.height, 0.02);
      }
    }
  }
  // A route with no name of its own takes its file's, whole when that is all extension.
  EXPECT_EQ(importRoute("rides/.csv", csv(arc(40, 250.0, 0.3, -2.0 * pi)), "route.tck", {}).title, ".csv");
}

TEST(ImportLoops, HeightsStartAtZeroKeepTheirRiseAndScale) {
  TPoints points = arc(40, 250.0, 0.0, -2.0 * pi, 4.0);
  TImportOptions kept = {"", 40.0, 2.0, 1.0, false, true}, steeper = {"", 40.0, 2.0, 2.5, false, true};
  TImport plain = import(csv(points), kept), steep = import(csv(points), steeper);
  ASSERT_EQ(steep.status, importWritten);
  EXPECT_EQ(plain.check.low.height, 0.0);
  EXPECT_NEAR(plain.check.high.height, 16.0, 3.0);  // the rise in units of half a metre, a little smoothed
  for (size_t i = 0; i < plain.check.waypoints.size(); i++)
    EXPECT_NEAR(steep.check.waypoints[i].at.height, 2.5 * plain.check.waypoints[i].at.height, 0.03);
  // A loop shorter than the smoothing reach both ways round is averaged whole: level.
  TImport tiny = import(csv(arc(9, 17.0, 0.0, -2.0 * pi, 4.0)), {"", 12.0, 1.0, 1.0, false, true});
  EXPECT_EQ(std::make_tuple(tiny.status, tiny.check.high.height), std::make_tuple(int(importWritten), 0.0));
}

// Points recorded without a height take theirs along the road from the nearest that have one,
// as if they had been recorded on the straight slope between them.
TEST(ImportLoops, MissingHeightsAreTakenAlongTheRoad) {
  TPoints points = arc(40, 250.0, 0.0, -2.0 * pi);
  for (size_t i = 0; i < points.size(); i++) points[i].height = 20.0 - 2.0 * std::fabs(double(i % 20) - 10.0);
  std::string full = gpx(points), sparse;
  size_t k = 0;
  for (size_t at = 0, end; (end = full.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = full.substr(at, end + 1 - at);
    if (line.find("<trkpt") != std::string::npos && k++ % 10 != 0)
      line = std::regex_replace(line, std::regex("<ele>.*</ele>"), "");
    sparse += line;
  }
  TImportOptions kept = {"", 20.0, 1.0, 1.0, false, true};
  TImport all = import(full, kept), some = import(sparse, kept);
  ASSERT_EQ(some.status, importWritten);
  for (size_t i = 0; i < all.check.waypoints.size(); i++)
    EXPECT_NEAR(some.check.waypoints[i].at.height, all.check.waypoints[i].at.height, 0.01) << i;
}

// Routes shaped like real ones (bench/routes.py made them): circuits of straights and tight
// corners with 30 to 100 m of hills, rides of 3.5 to 42 km (the longest solved in windows). As
// smoothed, each has crash slopes in the game's thin ground triangles; as solved, none, with most
// of the swing and no more than half as much climbing again as the route, and the track and its
// report the reviewed ones. Where the bends were redrawn as straight legs, the road turns only at
// the legs' corners (a waypoint turning makes a third road triangle), and no waypoint leaves the
// road as drawn.
TEST(ImportHeights, RealShapedRoutesKeepTheirHillsWithNoCrashSlope) {
  int straightened = 0;
  for (const char* name : {"ardennes-circuit", "eifel-circuit", "texas-circuit", "kent-circuit", "town-blocks",
                           "valley-ride", "lakes-ride", "forest-ride", "wide-circuit-0"}) {
    std::string file = std::string(ZARVANTO_TEST_ROUTES) + "/" + name + ".gpx";
    TImport made = import(fileText(file)), kept = import(fileText(file), {"", 20.0, 1.0, 1.0, false, true});
    std::string text = importText(made, name);
    SCOPED_TRACE(text);
    ASSERT_EQ(made.status, importWritten);
    EXPECT_EQ(text + made.trackText, reference(file.substr(0, file.size() - 3) + "txt", text + made.trackText));
    EXPECT_TRUE(made.check.crashSlopes.empty() && made.crashSlopesAsSmoothed > 0);
    EXPECT_TRUE(made.swingKept >= 0.85 * made.swingSmoothed && made.climbWritten <= 1.5 * made.climbSmoothed);
    if (made.straightLegs > 0) {
      straightened++;
      int n = int(made.places.size()), turning = made.check.track->infieldStart - 2 * n;
      EXPECT_LE(turning, made.straightLegs);
      for (size_t i = 0; i < made.places.size(); i++)
        EXPECT_LE(std::hypot(made.places[i].east - kept.places[i].east, made.places[i].north - kept.places[i].north),
                  2.5)
            << i;
    } else {
      EXPECT_EQ(made.crashSlopesAsSmoothed, int(kept.check.crashSlopes.size()));
    }
    std::regex listed("\n    (road|infield|outer ground) [.0-9]+ degrees by waypoints \\d+ to \\d+; waypoint \\d+ is ");
    std::string keptText = importText(kept, name);
    EXPECT_EQ(
        size_t(std::distance(std::sregex_iterator(keptText.begin(), keptText.end(), listed), std::sregex_iterator())),
        kept.check.crashSlopes.size());
  }
  EXPECT_GE(straightened, 3);
}

// Straight streets make ground triangles so thin that the game's floats leave them too little
// plan area for the last written decimal: as smoothed many crash the car. The solve holds their
// corners at one height, and the game's own slope code finds them level.
TEST(ImportHeights, TrianglesTooThinForAnySlopeLieLevelInTheGame) {
  std::string route = fileText(std::string(ZARVANTO_TEST_ROUTES) + "/town-blocks.gpx");
  TImport made = import(route), kept = import(route, {"", 20.0, 1.0, 1.0, false, true});
  ASSERT_EQ(made.status, importWritten);
  ASSERT_FALSE(made.solve.tyingTriangles.empty());
  int steepAsSmoothed = 0;
  for (int t : made.solve.tyingTriangles) {
    EXPECT_LT(std::fabs(made.check.track->triangles[t]->slopeAngle), 1e-7f) << t;
    steepAsSmoothed += kept.check.track->triangles[t]->slopeAngle >= crashPitch;
  }
  EXPECT_GT(steepAsSmoothed, 0);
}

// Hills too steep for the thin ground of straights and of even bends: the report names the stretch
// held nearly level and why (Kent's hills six times as steep), and a route whose bends curve
// evenly, no two corners side by side, is closed within a leg on its gentlest stretch; so is a
// triangle whose sides bow less than a leg may stand off, as three corners are legs enough. Begun
// at a side's middle, the square has two places equally far from its start, and the legs start at
// the first; with hills six times as steep, its stretch held level has no waypoints tied to one
// height, and the report says none are. 64 times as wide, it reaches the 32,767 units where the
// legs' grid coarsens by a bit. A knot in a ring, its third stretch across its first, is refused
// where it crosses. The tracks and reports are the reviewed ones, a route's steeper one named so.
TEST(ImportHeights, SteepHillsOnStraightsAndEvenBendsAndAKnot) {
  for (auto [name, scale, heightScale] : {std::tuple{"kent-circuit.gpx", 1.0, 6.0},
                                          {"rounded-square.csv", 1.0, 1.0},
                                          {"rounded-square-side.csv", 1.0, 6.0},
                                          {"rounded-square-wide.csv", 64.0, 1.0},
                                          {"bowed-triangle.csv", 1.0, 1.0},
                                          {"knot.csv", 2.0, 1.0}}) {
    std::string folder = std::string(ZARVANTO_TEST_ROUTES) + "/", route = name;
    TImport made = import(fileText(folder + route), {"", 20.0 * scale, scale, heightScale});
    std::string text = importText(made, route) + made.trackText;
    std::string reviewed = route.substr(0, route.size() - 4) + (heightScale > 1.0 ? "-steep" : "") + ".txt";
    EXPECT_EQ(text, reference(folder + reviewed, text));
  }
}

TEST(ImportPlane, GroundDistancesAreTheEllipsoidsToAHundredthOfAPercent) {
  // A rectangle 0.1 degrees north by 0.2 east at 60 north, clockwise; its sides and diagonal as
  // the geodesics between the corners on the ellipsoid (GeographicLib's GeodSolve).
  TImport made = import(R"({"type":"Polygon","coordinates":[[[10,60],[10,60.1],[10.2,60.1],[10.2,60],[10,60]]]})");
  EXPECT_TRUE(made.status == importWritten && !made.reversed);
  EXPECT_NEAR(made.routeLength, 44568.922335, 4.5);
  std::vector<TPlanePoint> plane;
  std::string problem;
  ASSERT_TRUE(projectRoute(made.route, &plane, &problem));
  EXPECT_NEAR(std::hypot(plane[2].east - plane[0].east, plane[2].north - plane[0].north), 15757.486649, 1.6);
}

TEST(ImportRefusals, OpenRouteIsRefusedWithItsGapUnlessClosedOrStoppedShort) {
  // A 6 km ring stopped 80 m short of its start is a recording to join; 1.5 km short it is not.
  double radius = 6000.0 / (2.0 * pi);
  TImport joined = import(gpx(arc(300, radius, 0.0, -2.0 * pi * (6000.0 - 80.0) / 6000.0)));
  EXPECT_EQ(joined.status, importWritten);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "units apart, 1.3 % of the way round: joined by a straight road",
                      importText(joined, "ride"));
  std::string open = gpx(arc(300, radius, 0.0, -2.0 * pi * 4500.0 / 6000.0));
  TImport refused = import(open);
  EXPECT_EQ(refused.status, importRefused);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "ends are 1351.53 m apart, 23.1 % of its 5.86 km", refused.problem);
  EXPECT_PRED_FORMAT2(testing::IsSubstring, "the 15.01 m its points lie apart", refused.problem);
  EXPECT_EQ(import(open, {"", 20.0, 1.0, 1.0, true}).status, importWritten);
  // A closed loop recorded every 66 m: its ends are as far apart as its points, 3.6 % of the way.
  TImport sparse = import(gpx(arc(27, 295.0, 0.0, -2.0 * pi * 27 / 28)));
  EXPECT_EQ(sparse.status, importWritten) << importText(sparse, "sparse");
  EXPECT_NEAR(sparse.gap, 66.0, 0.5);
}

TEST(ImportRefusals, CrossingIsToldAtTheRoutesOwnPlace) {
  TPoints eight;
  for (int i = 0; i < 60; i++) {
    double t = 2.0 * pi * i / 60 + 0.2;
    eight.push_back({200.0 * std::sin(t), 100.0 * std::sin(2.0 * t), 0.0});
  }
  // The road crosses where the eight does, in the middle of the drawing, though waypoints as
  // close as the default spacing's are refused as too close before the crossing rule is asked.
  for (auto format : {csv, gpx, geoJson}) {
    for (double spacing : {20.0, 40.0}) {
      TImport made = import(format(eight), {"", spacing});
      std::string text = importText(made, "eight");
      ASSERT_EQ(made.check.detail.fault, spacing == 20.0 ? faultTooClose : faultCrossing) << text;
      std::smatch at;
      ASSERT_TRUE(std::regex_search(text, at, std::regex("crosses itself at \\w+ ([-.0-9]+), \\w+ ([-.0-9]+)")));
      bool degrees = made.route.geographic;
      EXPECT_NEAR(std::stod(at[1]), degrees ? lat0 : 4e5, degrees ? 1e-6 : 0.1);  // where the route has it
      EXPECT_NEAR(std::stod(at[2]), degrees ? lon0 : -3e5, degrees ? 1e-6 : 0.1);
      std::string line = format == geoJson ? "" : " \\(line \\d+\\)";  // GeoJSON has no lines to name
      EXPECT_TRUE(std::regex_search(text, std::regex("is between point \\d+" + line + " and point \\d+" + line + ",")));
    }
  }
}

TEST(ImportRefusals, HostileInputGetsAMessageAndNoTrack) {
  std::string deep(200000, '['), many, positions = R"({"type":"LineString","coordinates":[[0,0])";
  for (int i = 0; i <= 1000000; i++) many += std::to_string(i) + ",0\n", positions += ",[0,0]";
  const std::pair<std::string, std::string> inputs[] = {
      {"", "no points"},
      {"x,y,lanes\n1,2,two\n", "only one point"},  // a third column that is no height is not read
      {"5,5\n5,5\n5.001,5\n5,5\n", "all 4 points"},
      {"0,0\nnan,0\n", "\"nan\" is not a number"},
      {"0,0\n1e999,0\n", "\"1e999\" is not a number"},
      {"0,0\n0,zero\n", "line 2: \"zero\""},
      {"0,0,1\n0,5,high\n", "line 2: \"high\""},
      {"0,0\n5\n", "line 2: \"5\" is not x,y"},
      {many, "more than 1000000 points"},
      {positions + "]}", "more than 1000000 points"},
      {"0,0\n1e300,0\n-1e300,0\n0,0\n", "more than 100000 waypoints"},
      {"0,0\n0,15\n15,15\n", "round; at --spacing 20 a track needs 60"},
      {std::string("x\0y", 3), "binary"},
      {"<gpx><trk><trkseg><trkpt lat=\"abc\" lon=\"0\"/></trkseg></trk></gpx>", "point 1: lat \"abc\""},
      {"<gpx><rte><rtept lat=\"95\" lon=\"0\"/></rte></gpx>", "latitude 95"},
      {"<gpx><rte><rtept lat=\"1\" lon=\"2\"><ele>high</ele></rtept></rte></gpx>", "ele \"high\""},
      {"<gpx><trk><name>", "not well-formed XML"},
      {"<kml/>", "not GPX"},
      {"<gpx/>", "without a track or route point"},
      {"<gpx><rte><rtept lat=\"-89\" lon=\"0\"/><rtept lat=\"89\" lon=\"0\"/></rte></gpx>",
       "km from the route's middle"},
      {R"({"type":"LineString","coordinates":[[0,0],["1",0]]})", "point 2: longitude is a JSON string"},
      {R"({"type":"Point","coordinates":[0,0]})", "without a LineString"},
      {R"({"type":"LineString"})", "LineString without coordinates"},
      {R"({"type":"MultiLineString","coordinates":[[[0,0],[1,1]],5]})", "coordinates are not a list of positions"},
      {R"({"type":"LineString","coordinates":[[0,0],[0]]})", "point 2 is not [longitude, latitude]"},
      {deep, "not valid JSON"},
      {std::string(maxRouteBytes + 1, ' '), "larger than 64 MiB"},
  };
  for (const auto& input : inputs) {
    TImport made = import(input.first);
    EXPECT_EQ(std::make_tuple(made.status, made.trackText), std::make_tuple(int(importUnusable), "")) << input.second;
    EXPECT_PRED_FORMAT2(testing::IsSubstring, input.second, made.problem);
  }
}

TEST(ImportCommand, WritesOnlyAnAcceptedTrack) {
  std::string ring = writeTrackFile("ring.gpx", gpx(arc(40, 250.0, 0.0, -1.5 * pi)));  // a loop only when closed
  std::string eight = writeTrackFile("eight.csv", "0,0\n100,100\n100,0\n0,100\n0,0\n");
  std::string tool = ZARVANTO_TRACK_TOOL, output;
  EXPECT_EQ(runCommand(tool + " import " + eight + " -o " + eight + ".tck", &output), 1) << output;
  EXPECT_EQ(std::fopen((eight + ".tck").c_str(), "r"), nullptr);
  EXPECT_EQ(runCommand(tool + " import " + ring + " --spacing 5 -o " + ring + ".tck 2>&1", &output), 2);
  EXPECT_EQ(output, "zarvanto-track: --spacing takes a number of at least 10, not \"5\"\n");
  std::string options = " --keep-heights --title 'Ring road' --spacing 40 --scale 2 --height-scale 0 --close";
  EXPECT_EQ(runCommand(tool + " import " + ring + options + " -o " + ring + ".tck", &output), 0) << output;
  EXPECT_NE(output.find("made \"Ring road\": 77 waypoints, 3060.36 units round"), std::string::npos) << output;
  EXPECT_EQ(runCommand(tool + " check " + ring + ".tck", &output), 0) << output;
}

// Longitudes and latitudes on the edges of their ranges are taken, a route over the date line or
// through a pole stays whole, points at one place are one, and a step beyond the edges is refused.
TEST(ImportBounds, RoutesOnTheEdgesOfTheMapAreTakenAndBeyondRefused) {
  const std::pair<std::string, std::string> routes[] = {
      {"[-179.998,60],[-179.998,60.001],[180,60.001],[179.998,60.001],[179.998,60],[-180,60]", "669"},
      {"[0,89.998],[0,90],[90,89.998]", "763"},
      {"[10,-90],[10,-89.998],[100,-89.998]", "763"},
      {"[10,60],[10,60.002],[10,60.002],[10,60.002],[10.004,60],[10,60]", "761"},
      {"[10,60],[10,60.001],[200,60.001]", "point 3: longitude 200.000000 is outside -180 to 180"},
      {"[10,60],[-200,60.001],[10,60.002]", "point 2: longitude -200.000000 is outside -180 to 180"},
      {"[10,-90.001],[10,60]", "point 1: latitude -90.001000 is outside -90 to 90"},
      {"[10,60],[10,90.001]", "point 2: latitude 90.001000 is outside -90 to 90"},
  };
  for (const auto& [positions, wanted] : routes) {
    TImport made = import(R"({"type":"LineString","coordinates":[)" + positions + "]}");
    SCOPED_TRACE(positions + "\n" + importText(made, "route"));
    EXPECT_EQ(made.problem, std::isdigit(wanted[0]) ? "" : wanted);
    EXPECT_EQ(made.status, std::isdigit(wanted[0]) ? importWritten : importUnusable);
    EXPECT_NEAR(made.routeLength, std::isdigit(wanted[0]) ? std::stod(wanted) : 0.0, 2.0);
  }
}

}  // namespace
