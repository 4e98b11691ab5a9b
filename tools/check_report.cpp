// Writing the checker's findings: text for the author at a terminal, JSON for tools. Both are
// written from the same record with the same number format, so they never disagree.
#include "tools/check_report.h"

#include <cmath>
#include <cstdio>

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

// Text as it stood in the file, made safe to print: anything unprintable escaped, and within
// quotes the quotes too.
std::string escaped(const std::string& text, bool quoted = true) {
  std::string out;
  for (unsigned char c : text) {
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
      std::string start = d.token.size() > headerShown ? d.token.substr(0, headerShown) + "..." : d.token;
      return "  " + line + " must be exactly \"#Track\" and end there; it holds \"" + escaped(start) + "\"\n";
    }
    case faultTitleTooLong:
      return "  " + line + ": the title is longer than " + std::to_string(maxTitleLength) + " characters\n";
    case faultTitleUnterminated: return "  " + line + ": the file ends before the title line does\n";
    case faultNoWaypoints: return "  no waypoint follows the title on line 2\n";
    case faultNotANumber: return "  " + line + ": \"" + escaped(d.token) + "\" is not a number\n";
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
  std::string text = "  title: " + escaped(check.track->title, false) + "\n";
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

// A small JSON writer: values are written in order, commas and indentation kept here. A compact
// object or array stays on one line, for the small records that come by the dozen.
class TJson {
 public:
  std::string text;

  void key(const char* name) {
    separate();
    text += "\"" + std::string(name) + "\": ";
    keyed = true;
  }
  void open(char bracket, bool compact = false) {
    separate();
    text += bracket;
    levels.push_back({0, compact || (!levels.empty() && levels.back().compact)});
  }
  void close(char bracket) {
    TLevel level = levels.back();
    levels.pop_back();
    if (level.count > 0 && !level.compact) newline();
    text += bracket;
  }
  void number(double value) {
    separate();
    text += std::isfinite(value) ? formatNumber(value) : "null";
  }
  void integer(long value) {
    separate();
    text += std::to_string(value);
  }
  void boolean(bool value) {
    separate();
    text += value ? "true" : "false";
  }
  void string(const std::string& value) {
    separate();
    text += '"';
    for (unsigned char c : value) {
      if (c == '"' || c == '\\') {
        text += '\\';
        text += char(c);
      } else if (c < 0x20 || c >= 0x7f) {  // bytes beyond ASCII need not be UTF-8, so they are escaped too
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04x", c);
        text += code;
      } else {
        text += char(c);
      }
    }
    text += '"';
  }

 private:
  struct TLevel {
    int count;
    bool compact;
  };
  std::vector<TLevel> levels;
  bool keyed = false;

  void newline() { text += "\n" + std::string(2 * levels.size(), ' '); }
  // Every value but the one after a key starts a new line, or follows a blank in a compact
  // level, after a comma unless it is the first.
  void separate() {
    if (keyed) {
      keyed = false;
      return;
    }
    if (levels.empty()) return;
    TLevel& level = levels.back();
    if (level.count++ > 0) text += ',';
    if (level.compact)
      text += level.count > 1 ? " " : "";
    else
      newline();
  }
};

void placeJson(TJson* json, const TPlace& p) {
  json->key("east");
  json->number(p.east);
  json->key("north");
  json->number(p.north);
  json->key("height");
  json->number(p.height);
}

void waypointJson(TJson* json, const TWaypointRef& w) {
  json->open('{', true);
  json->key("number");
  json->integer(w.number);
  json->key("line");
  json->integer(w.line);
  placeJson(json, w.at);
  json->close('}');
}

void slopeJson(TJson* json, const TTrackCheck& check, const TSlope& s) {
  json->open('{', true);
  json->key("ground");
  json->string(s.ground);
  json->key("degrees");
  json->number(s.degrees);
  placeJson(json, s.at);
  json->key("between");
  json->open('[', true);
  json->integer(s.segment);
  json->integer(nextWaypoint(check, s.segment).number);
  json->close(']');
  json->key("lines");
  json->open('[', true);
  json->integer(check.waypoints[size_t(s.segment - 1)].line);
  json->integer(nextWaypoint(check, s.segment).line);
  json->close(']');
  json->key("atRoadEdge");
  json->boolean(s.atRoadEdge);
  json->close('}');
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
  json->key("title");
  json->string(check.track->title);
  json->key("waypoints");
  json->open('[');
  for (const TWaypointRef& w : check.waypoints) waypointJson(json, w);
  json->close(']');
  json->key("length");
  json->number(check.length);
  json->key("bounds");
  json->open('{');
  const char* axes[3] = {"east", "north", "height"};
  double low[3] = {check.low.east, check.low.north, check.low.height};
  double high[3] = {check.high.east, check.high.north, check.high.height};
  for (int axis = 0; axis < 3; axis++) {
    json->key(axes[axis]);
    json->open('[', true);
    json->number(low[axis]);
    json->number(high[axis]);
    json->close(']');
  }
  json->close('}');
  json->key("margin");
  json->integer(check.track->margin);
  json->key("triangles");
  json->open('{', true);
  json->key("road");
  json->integer(check.roadTriangles);
  json->key("infield");
  json->integer(check.infieldTriangles);
  json->key("outerGround");
  json->integer(check.outerTriangles);
  json->close('}');
  json->key("steepestRoad");
  slopeJson(json, check, check.steepestRoad);
  json->key("steepestGround");
  slopeJson(json, check, check.steepestGround);
  json->key("crashSlopes");
  json->open('[');
  for (const TSlope& s : check.crashSlopes) slopeJson(json, check, s);
  json->close(']');
}

void refusedJson(TJson* json, const TTrackCheck& check) {
  const TLoadDetail& d = check.detail;
  json->key("fault");
  json->string(faultName(d.fault));
  if (d.line > 0) {
    json->key("line");
    json->integer(d.line);
  }
  if (d.fault == faultHeader || d.fault == faultNotANumber) {
    json->key("token");
    json->string(d.token);
  }
  if (!check.atFault.empty()) {
    json->key("atFault");
    json->open('[');
    for (const TWaypointRef& w : check.atFault) waypointJson(json, w);
    json->close(']');
  }
  if (d.fault == faultTooClose) {
    json->key("apart");
    json->number(check.apart);
  }
  if (d.fault == faultCrossing) {
    json->key("crossingAt");
    json->open('{', true);
    json->key("east");
    json->number(check.crossingAt.east);
    json->key("north");
    json->number(check.crossingAt.north);
    json->close('}');
  }
  if (d.fault == faultNotClockwise) {
    json->key("turnSumDegrees");
    json->number(check.turnSumDegrees);
    json->key("reversedResult");
    json->integer(check.reversedResult);
    json->key("reversedAccepted");
    json->boolean(check.reversedResult == loadOk);
  }
}

}  // namespace

std::string formatNumber(double value) {
  if (!std::isfinite(value)) return value > 0 ? "inf" : (value < 0 ? "-inf" : "nan");
  // As long as it takes: a number cut short would lose digits that trimming then misreads.
  std::string s(size_t(std::snprintf(nullptr, 0, "%.2f", value)), '\0');
  std::snprintf(s.data(), s.size() + 1, "%.2f", value);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string checkText(const TTrackCheck& check) {
  if (check.accepted()) return check.file + ": accepted\n" + acceptedText(check) + noteText(check);
  return check.file + ": refused\n" + check.message + "\n" + faultText(check) + noteText(check);
}

std::string checksJson(const std::vector<TTrackCheck>& checks) {
  TJson json;
  bool allAccepted = true;
  json.open('{');
  json.key("files");
  json.open('[');
  for (const TTrackCheck& check : checks) {
    allAccepted = allAccepted && check.accepted();
    json.open('{');
    json.key("file");
    json.string(check.file);
    json.key("accepted");
    json.boolean(check.accepted());
    json.key("result");
    json.integer(check.result);
    json.key("message");
    json.string(check.message);
    if (check.accepted())
      acceptedJson(&json, check);
    else
      refusedJson(&json, check);
    if (check.detail.finalGroupNumbers != 3 && !check.waypoints.empty()) {
      json.key("lastWaypointNumbers");
      json.integer(check.detail.finalGroupNumbers);
    }
    json.close('}');
  }
  json.close(']');
  json.key("allAccepted");
  json.boolean(allAccepted);
  json.close('}');
  return json.text + "\n";
}
