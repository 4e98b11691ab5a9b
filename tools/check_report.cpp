// Writing the checker's findings: text for the author at a terminal, JSON for tools. Both are
// written from the same record with the same number format, so they never disagree.
#include "tools/check_report.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace {

constexpr size_t headerShown = 40;  // characters of a wrong first line the text shows

std::string placeText(const TPlace& p) {
  return "east " + formatNumber(p.east) + ", north " + formatNumber(p.north) + ", height " + formatNumber(p.height);
}

std::string waypointText(const TWaypointRef& w) {
  return "waypoint " + std::to_string(w.number) + " (line " + std::to_string(w.line) + ")";
}

// The waypoint after waypoint `number` (from 1) round the loop.
const TWaypointRef& nextWaypoint(const TTrackCheck& check, int number) {
  return check.waypoints[size_t(number) % check.waypoints.size()];
}

std::string slopeText(const TTrackCheck& check, const TSlope& s) {
  const TWaypointRef& a = check.waypoints[size_t(s.segment - 1)];
  const TWaypointRef& b = nextWaypoint(check, s.segment);
  return formatNumber(s.degrees) + " degrees at " + placeText(s.at) + ", by waypoints " + std::to_string(a.number) +
         " to " + std::to_string(b.number) + " (lines " + std::to_string(a.line) + " to " + std::to_string(b.line) +
         ")";
}

std::string reversedOrderText(const TTrackCheck& check) {
  int n = int(check.waypoints.size());
  if (n <= 2) return "1, " + std::to_string(n);
  if (n == 3) return "1, 3, 2";
  return "1, " + std::to_string(n) + " down to 2";
}

std::string faultText(const TTrackCheck& check) {
  const TLoadDetail& d = check.detail;
  std::string line = "line " + std::to_string(d.line);
  const std::vector<TWaypointRef>& w = check.atFault;
  switch (d.fault) {
    case faultHeader: {
      // A binary file's first line can be long: the start of it shows what it is.
      return "  " + line + " must be exactly \"#Track\" and end there; it holds " + quoted(d.token, headerShown) + "\n";
    }
    case faultTitleTooLong:
      return "  " + line + ": the title is longer than " + std::to_string(maxTitleLength) + " characters\n";
    case faultTitleUnterminated: return "  " + line + ": the file ends before the title line does\n";
    case faultNoWaypoints: return "  no waypoint follows the title on line 2\n";
    case faultNotANumber: return "  " + line + ": " + quoted(d.token) + " is not a number\n";
    case faultTooClose:
      return "  " + waypointText(w[0]) + " at " + placeText(w[0].at) + "\n  is " + formatNumber(check.apart) +
             " from " + waypointText(w[1]) + " at " + placeText(w[1].at) + "\n";
    case faultOutOfRange:
      return "  " + line + ": waypoint " + std::to_string(w[0].number) + " at " + placeText(w[0].at) +
             " has a coordinate beyond " + formatNumber(maxTrackCoordinate) + " either way\n";
    case faultSamePlanPosition:
      if (w[0].number == w[1].number)
        return "  " + waypointText(w[0]) + " is the only waypoint; a track needs at least three\n";
      return "  " + waypointText(w[0]) + " and " + waypointText(w[1]) + " both stand at east " +
             formatNumber(w[0].at.east) + ", north " + formatNumber(w[0].at.north) +
             ": the road between them has no direction\n";
    case faultCrossing:
      return "  the road from " + waypointText(w[0]) + " to " + waypointText(w[1]) + "\n  crosses the road from " +
             waypointText(w[2]) + " to " + waypointText(w[3]) + "\n  at east " + formatNumber(check.crossingAt.east) +
             ", north " + formatNumber(check.crossingAt.north) + "\n";
    case faultNotClockwise: {
      std::string text = "  the turns sum to " + formatNumber(check.turnSumDegrees) +
                         " degrees; the game needs more than 0 (right turns count positive)\n  reversed (waypoints " +
                         reversedOrderText(check) + ")";
      if (check.reversedResult == loadOk) return text + ", the track is accepted\n";
      return text + ", the track is still refused (load result " + std::to_string(check.reversedResult) + ")\n";
    }
    default: return "";
  }
}

std::string acceptedText(const TTrackCheck& check) {
  std::string text = "  title: " + printable(check.track->title, false) + "\n";
  text += "  waypoints: " + std::to_string(check.waypoints.size()) + "\n";
  for (const TWaypointRef& w : check.waypoints)
    text += "    " + std::to_string(w.number) + "  line " + std::to_string(w.line) + "  " + placeText(w.at) + "\n";
  text += "  length: " + formatNumber(check.length) + "\n";
  text += "  bounds: east " + formatNumber(check.low.east) + " to " + formatNumber(check.high.east) + ", north " +
          formatNumber(check.low.north) + " to " + formatNumber(check.high.north) + ", height " +
          formatNumber(check.low.height) + " to " + formatNumber(check.high.height) + "\n";
  text += "  margin: " + std::to_string(check.track->margin) + "\n";
  text += "  triangles: " + std::to_string(check.roadTriangles) + " road, " + std::to_string(check.infieldTriangles) +
          " infield, " + std::to_string(check.outerTriangles) + " outer ground\n";
  text += "  steepest road: " + slopeText(check, check.steepestRoad) + "\n";
  text += "  steepest ground: " + slopeText(check, check.steepestGround) + "\n";
  if (check.crashSlopes.empty()) return text + "  crash slopes: none\n";
  text += "  crash slopes: " + std::to_string(check.crashSlopes.size()) + ", where the car crashes (" +
          formatNumber(crashSlopeDegrees) + " degrees or more)\n";
  // A road slope is where the cars drive anyway: only the ground's need saying.
  for (const TSlope& s : check.crashSlopes) {
    bool groundAtEdge = s.atRoadEdge && s.triangle >= check.track->infieldStart;
    text += "    " + std::string(s.ground) + " " + slopeText(check, s) + (groundAtEdge ? ", at the road's edge" : "") +
            "\n";
  }
  return text;
}

// A partial last group is legal but easy to miss: the game fills it from the waypoint before.
std::string noteText(const TTrackCheck& check) {
  if (check.detail.finalGroupNumbers == 3 || check.waypoints.empty()) return "";
  const TWaypointRef& last = check.waypoints.back();
  return "  note: " + waypointText(last) + " has only " + std::to_string(check.detail.finalGroupNumbers) +
         " of its 3 numbers; the rest carry over from the waypoint before it\n";
}

using TJson = nlohmann::ordered_json;  // keys in the order they are set

// A number as the text shows it: rounded the same, a whole one as an integer, which JSON writes
// without a fraction as the text does. JSON has no infinity.
TJson jsonNumber(double value) {
  if (!std::isfinite(value)) return nullptr;
  double shown = shownNumber(value);
  if (shown == std::trunc(shown) && std::fabs(shown) < 9e18) return int64_t(shown);
  return shown;
}

// Bytes from a file: JSON strings are Unicode and a track's bytes need not be UTF-8, so each byte
// stands for the character of its own code, as the text's \x codes name it; the writer escapes
// all beyond ASCII.
TJson jsonText(const std::string& bytes) {
  std::string text;
  for (unsigned char c : bytes) {
    if (c >= 0x80) text += char(0xc0 | c >> 6);
    text += char(c >= 0x80 ? 0x80 | (c & 0x3f) : c);
  }
  return text;
}

void addPlace(TJson* object, const TPlace& p) {
  (*object)["east"] = jsonNumber(p.east);
  (*object)["north"] = jsonNumber(p.north);
  (*object)["height"] = jsonNumber(p.height);
}

TJson waypointJson(const TWaypointRef& w) {
  TJson waypoint = {{"number", w.number}, {"line", w.line}};
  addPlace(&waypoint, w.at);
  return waypoint;
}

TJson waypointsJson(const std::vector<TWaypointRef>& waypoints) {
  TJson list = TJson::array();
  for (const TWaypointRef& w : waypoints) list.push_back(waypointJson(w));
  return list;
}

TJson slopeJson(const TTrackCheck& check, const TSlope& s) {
  TJson slope = {{"ground", s.ground}, {"degrees", jsonNumber(s.degrees)}};
  addPlace(&slope, s.at);
  slope["between"] = {s.segment, nextWaypoint(check, s.segment).number};
  slope["lines"] = {check.waypoints[size_t(s.segment - 1)].line, nextWaypoint(check, s.segment).line};
  slope["atRoadEdge"] = s.atRoadEdge;
  return slope;
}

const char* faultName(TLoadFault fault) {
  switch (fault) {
    case faultCantOpen: return "can't open";
    case faultHeader: return "header";
    case faultTitleTooLong: return "title too long";
    case faultTitleUnterminated: return "title without line end";
    case faultNoWaypoints: return "no waypoints";
    case faultNotANumber: return "not a number";
    case faultTooClose: return "too close";
    case faultOutOfRange: return "out of range";
    case faultSamePlanPosition: return "one plan position";
    case faultCrossing: return "crossing";
    case faultNotClockwise: return "not clockwise";
    default: return "";
  }
}

void acceptedJson(TJson* json, const TTrackCheck& check) {
  TJson& file = *json;
  file["title"] = jsonText(check.track->title);
  file["waypoints"] = waypointsJson(check.waypoints);
  file["length"] = jsonNumber(check.length);
  file["bounds"] = {{"east", {jsonNumber(check.low.east), jsonNumber(check.high.east)}},
                    {"north", {jsonNumber(check.low.north), jsonNumber(check.high.north)}},
                    {"height", {jsonNumber(check.low.height), jsonNumber(check.high.height)}}};
  file["margin"] = check.track->margin;
  file["triangles"] = {
      {"road", check.roadTriangles}, {"infield", check.infieldTriangles}, {"outerGround", check.outerTriangles}};
  file["steepestRoad"] = slopeJson(check, check.steepestRoad);
  file["steepestGround"] = slopeJson(check, check.steepestGround);
  file["crashSlopes"] = TJson::array();
  for (const TSlope& s : check.crashSlopes) file["crashSlopes"].push_back(slopeJson(check, s));
}

void refusedJson(TJson* json, const TTrackCheck& check) {
  const TLoadDetail& d = check.detail;
  TJson& file = *json;
  file["fault"] = faultName(d.fault);
  if (d.line > 0) file["line"] = d.line;
  if (d.fault == faultHeader || d.fault == faultNotANumber) file["token"] = jsonText(d.token);
  if (!check.atFault.empty()) file["atFault"] = waypointsJson(check.atFault);
  if (d.fault == faultTooClose) file["apart"] = jsonNumber(check.apart);
  if (d.fault == faultCrossing)
    file["crossingAt"] = {{"east", jsonNumber(check.crossingAt.east)}, {"north", jsonNumber(check.crossingAt.north)}};
  if (d.fault == faultNotClockwise) {
    file["turnSumDegrees"] = jsonNumber(check.turnSumDegrees);
    file["reversedResult"] = check.reversedResult;
    file["reversedAccepted"] = check.reversedResult == loadOk;
  }
}

}  // namespace

std::string formatNumber(double value, int decimals) {
  if (!std::isfinite(value)) return value > 0 ? "inf" : (value < 0 ? "-inf" : "nan");
  // As long as it takes: a number cut short would lose digits that trimming then misreads.
  std::string s(size_t(std::snprintf(nullptr, 0, "%.*f", decimals, value)), '\0');
  std::snprintf(s.data(), s.size() + 1, "%.*f", decimals, value);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

double shownNumber(double value) { return std::strtod(formatNumber(value).c_str(), nullptr); }

std::string printable(const std::string& bytes, bool quoted) {
  std::string out;
  for (unsigned char c : bytes) {
    if (quoted && (c == '"' || c == '\\')) {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", c);
      out += code;
    } else {
      out += char(c);
    }
  }
  return out;
}

std::string quoted(const std::string& bytes, size_t longest) {
  if (bytes.size() <= longest) return std::string("\"") + printable(bytes, true) + "\"";
  return std::string("\"") + printable(bytes.substr(0, longest), true) + "...\"";
}

std::string checkText(const TTrackCheck& check) {
  if (check.accepted()) return check.file + ": accepted\n" + acceptedText(check) + noteText(check);
  return check.file + ": refused\n" + check.message + "\n" + faultText(check) + noteText(check);
}

std::string checksJson(const std::vector<TTrackCheck>& checks) {
  TJson files = TJson::array();
  bool allAccepted = true;
  for (const TTrackCheck& check : checks) {
    allAccepted = allAccepted && check.accepted();
    TJson file = {{"file", jsonText(check.file)},
                  {"accepted", check.accepted()},
                  {"result", check.result},
                  {"message", check.message}};
    if (check.accepted())
      acceptedJson(&file, check);
    else
      refusedJson(&file, check);
    if (check.detail.finalGroupNumbers != 3 && !check.waypoints.empty())
      file["lastWaypointNumbers"] = check.detail.finalGroupNumbers;
    files.push_back(std::move(file));
  }
  TJson report = {{"files", std::move(files)}, {"allAccepted", allAccepted}};
  return report.dump(2, ' ', true) + "\n";
}
