// The track checker: where each refusal lies, what it says about accepted tracks, that asking
// the loader for detail changes nothing, and its command line with text and JSON that agree.
#include <gtest/gtest.h>

#include <cmath>
#include <dirent.h>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/load_message.h"
#include "tests/test_support.h"
#include "tools/check_report.h"
#include "tools/track_check.h"
#include "track/triangle.h"

namespace {

const std::string square = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";

std::string writeTrack(const std::string& text) {
  static int fileNumber = 0;
  return writeTrackFile("tool" + std::to_string(fileNumber++) + ".tck", text);
}

TTrackCheck checkTrack(const std::string& text) { return checkTrackFile(writeTrack(text)); }

void expectWaypoint(const TWaypointRef& w, int number, int line) {
  EXPECT_EQ(w.number, number);
  EXPECT_EQ(w.line, line);
}

std::vector<std::string> shippedTracks() {
  std::vector<std::string> files;
  if (DIR* folder = opendir(ZARVANTO_TRACKS_DIR)) {
    while (dirent* entry = readdir(folder)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tck") == 0)
        files.push_back(std::string(ZARVANTO_TRACKS_DIR) + "/" + name);
    }
    closedir(folder);
  }
  return files;
}

TEST(GameMessages, EachLoadResultKeepsItsExactText) {
  EXPECT_EQ(loadFailureMessage(loadCantOpen, false), "Can't open track file\n");
  EXPECT_EQ(loadFailureMessage(loadCantOpen, true), "Can't open default.tck\nUsage: Zarvanto [track file] [opponents]\n");
  EXPECT_EQ(loadFailureMessage(loadNotTrackFile, false), "Invalid track file\n");
  EXPECT_EQ(loadFailureMessage(loadTooClose, false), "Track waypoints can't be closer to each other than 10\n");
  EXPECT_EQ(loadFailureMessage(loadCrossing, false), "The track can't cross itself\n");
  EXPECT_EQ(loadFailureMessage(loadNotClockwise, false), "Waypoints must be defined in clockwise order\n");
  EXPECT_EQ(loadFailureMessage(loadInvalid, false), "Error: invalid track\n");
}

TEST(LoadDetail, AskingForItChangesNoVerdict) {
  for (const std::string& text :
       {trackText(square), trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"), trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"),
        trackText(square + "9 0 0\n"), trackText("0 0 0\n0 0 10\n0 100 0\n"), trackText("0 0 0\nx\n"), std::string("#Track\n"),
        trackText("0 0 0\n0 100 0\n100 100 0\n100\n")}) {
    SCOPED_TRACE(text);
    std::string path = writeTrack(text);
    TTrack plain, detailed;
    TLoadDetail detail;
    EXPECT_EQ(plain.load(path.c_str()), detailed.load(path.c_str(), &detail));
    EXPECT_EQ(plain.waypointCount, detailed.waypointCount);
    EXPECT_EQ(plain.triangleCount, detailed.triangleCount);
    EXPECT_EQ(detail.waypointLines.size(), size_t(detailed.waypointCount));
  }
}

TEST(CheckRefusals, TooCloseNamesBothWaypointsTheirLinesAndDistance) {
  // Blank lines and a waypoint spread over two lines: numbers are not lines.
  TTrackCheck check = checkTrack(trackText("\n0 0 0\n0 100\n0\n100 100 0\n\n100 0 0\n9 0 0\n"));
  ASSERT_EQ(check.result, loadTooClose);
  EXPECT_EQ(check.detail.fault, faultTooClose);
  EXPECT_EQ(check.message, "Track waypoints can't be closer to each other than 10");
  ASSERT_EQ(check.atFault.size(), 2u);
  expectWaypoint(check.atFault[0], 5, 10);
  expectWaypoint(check.atFault[1], 1, 4);
  EXPECT_EQ(check.atFault[0].at.east, 9);
  EXPECT_EQ(check.atFault[1].at.north, 0);
  EXPECT_FLOAT_EQ(check.apart, 9);
  expectWaypoint(check.waypoints[1], 2, 5);
  expectWaypoint(check.waypoints[3], 4, 9);
}

TEST(CheckRefusals, CrossingNamesBothStretchesAndThePoint) {
  TTrackCheck eight = checkTrack(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"));
  ASSERT_EQ(eight.result, loadCrossing);
  ASSERT_EQ(eight.atFault.size(), 4u);
  expectWaypoint(eight.atFault[0], 3, 5);
  expectWaypoint(eight.atFault[1], 4, 6);
  expectWaypoint(eight.atFault[2], 1, 3);
  expectWaypoint(eight.atFault[3], 2, 4);
  EXPECT_NEAR(eight.crossingAt.east, 50, 1e-3);
  EXPECT_NEAR(eight.crossingAt.north, 50, 1e-3);

  // The closing stretch, from the last waypoint back to the first, crosses the third.
  TTrackCheck closing = checkTrack(trackText("0 50 0\n50 100 0\n100 50 0\n50 0 0\n120 20 0\n"));
  ASSERT_EQ(closing.result, loadCrossing);
  expectWaypoint(closing.atFault[0], 5, 7);
  expectWaypoint(closing.atFault[1], 1, 3);
  expectWaypoint(closing.atFault[2], 3, 5);
  expectWaypoint(closing.atFault[3], 4, 6);
  EXPECT_NEAR(closing.crossingAt.east, 80, 1e-3);
  EXPECT_NEAR(closing.crossingAt.north, 30, 1e-3);
}

TEST(CheckRefusals, CounterClockwiseGivesTheTurnSumAndTriesTheReverse) {
  TTrackCheck reversed = checkTrack(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"));
  ASSERT_EQ(reversed.result, loadNotClockwise);
  EXPECT_NEAR(reversed.turnSumDegrees, -360, 1e-3);
  EXPECT_EQ(reversed.reversedResult, loadOk);

  // Two waypoints turn back on themselves: no order of them is clockwise.
  TTrackCheck line = checkTrack(trackText("0 0 0\n0 100 0\n"));
  ASSERT_EQ(line.result, loadNotClockwise);
  EXPECT_EQ(line.turnSumDegrees, 0);
  EXPECT_EQ(line.reversedResult, loadNotClockwise);
}

TEST(CheckRefusals, TheReverseOrderKeepsTheStart) {
  TTrackCheck check = checkTrack(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"));
  std::vector<Vec3> order = reversedWaypoints(*check.track);
  ASSERT_EQ(order.size(), 4u);
  for (int i = 0; i < 4; i++) {
    const Vec3& expected = check.track->waypoints[(4 - i) % 4];
    EXPECT_EQ(order[size_t(i)].x, expected.x);
    EXPECT_EQ(order[size_t(i)].z, expected.z);
  }
}

TEST(CheckRefusals, NonNumberGivesItsLineAndToken) {
  TTrackCheck check = checkTrack(trackText("0 0 0\n0 100 0\n\n100 1,5 0\n"));
  EXPECT_EQ(check.result, loadTooClose);
  EXPECT_EQ(check.detail.fault, faultNotANumber);
  EXPECT_EQ(check.detail.line, 6);
  EXPECT_EQ(check.detail.token, "1,5");
  EXPECT_EQ(checkTrack(trackText("abc 0 0\n")).detail.line, 3);
}

TEST(CheckRefusals, HeaderTitleAndEmptyFilesSayWhichLine) {
  TTrackCheck header = checkTrack("#track\nT\n" + square);
  EXPECT_EQ(header.result, loadNotTrackFile);
  EXPECT_EQ(header.detail.fault, faultHeader);
  EXPECT_EQ(header.detail.line, 1);
  EXPECT_EQ(header.detail.token, "#track");
  EXPECT_EQ(checkTrack("").detail.fault, faultHeader);

  TTrackCheck longTitle = checkTrack(trackText(square, std::string(maxTitleLength + 1, 't')));
  EXPECT_EQ(longTitle.result, loadNotTrackFile);
  EXPECT_EQ(longTitle.detail.fault, faultTitleTooLong);
  EXPECT_EQ(longTitle.detail.line, 2);

  TTrackCheck unended = checkTrack("#Track\nNo line end");
  EXPECT_EQ(unended.result, loadNotTrackFile);
  EXPECT_EQ(unended.detail.fault, faultTitleUnterminated);
  EXPECT_EQ(unended.detail.line, 2);

  TTrackCheck empty = checkTrack("#Track\nEmpty\n\n  \n");
  EXPECT_EQ(empty.result, loadNotTrackFile);
  EXPECT_EQ(empty.detail.fault, faultNoWaypoints);

  TTrackCheck missing = checkTrackFile("/nonexistent/track.tck");
  EXPECT_EQ(missing.result, loadCantOpen);
  EXPECT_EQ(missing.message, "Can't open track file");
}

TEST(CheckRefusals, OutOfRangeAndSharedPlanPositionsSayWhere) {
  TTrackCheck far = checkTrack(trackText("0 0 0\n0 100 0\n\n100 1e40 0\n"));
  EXPECT_EQ(far.result, loadInvalid);
  EXPECT_EQ(far.detail.fault, faultOutOfRange);
  EXPECT_EQ(far.detail.line, 6);
  EXPECT_EQ(far.message, "Error: invalid track");

  TTrackCheck stacked = checkTrack(trackText("0 0 0\n0 0 10\n0 100 0\n100 100 0\n"));
  EXPECT_EQ(stacked.result, loadInvalid);
  EXPECT_EQ(stacked.detail.fault, faultSamePlanPosition);
  ASSERT_EQ(stacked.atFault.size(), 2u);
  expectWaypoint(stacked.atFault[0], 1, 3);
  expectWaypoint(stacked.atFault[1], 2, 4);

  // The last waypoint above the first: the pair wraps round.
  TTrackCheck closing = checkTrack(trackText(square + "0 0 10\n"));
  ASSERT_EQ(closing.atFault.size(), 2u);
  expectWaypoint(closing.atFault[0], 5, 7);
  expectWaypoint(closing.atFault[1], 1, 3);
}

TEST(CheckAccepted, SquareHasItsMeshCountsBoundsAndNoSlope) {
  TTrackCheck check = checkTrack(trackText(square));
  ASSERT_TRUE(check.accepted());
  EXPECT_EQ(check.message, "");
  EXPECT_EQ(check.roadTriangles, 12);
  EXPECT_EQ(check.infieldTriangles, 2);
  EXPECT_EQ(check.outerTriangles, 12);
  EXPECT_FLOAT_EQ(check.length, 400);
  EXPECT_EQ(check.low.north, 0);
  EXPECT_EQ(check.high.north, 100);
  EXPECT_EQ(check.high.east, 100);
  EXPECT_NEAR(check.steepestRoad.degrees, 0, 1e-5);
  EXPECT_STREQ(check.steepestRoad.ground, "road");
  EXPECT_TRUE(check.crashSlopes.empty());
  // The first road triangles are the wedge at waypoint 1 and the start of the stretch to 2.
  EXPECT_EQ(check.steepestRoad.segment, 1);
}

TEST(CheckAccepted, RoadCountsFollowTheTurns) {
  // A left turn at waypoint 3 puts its wedge in the infield; waypoint 5 runs straight on.
  TTrackCheck check = checkTrack(trackText("0 0 0\n0 100 0\n50 50 0\n100 100 0\n100 50 0\n100 0 0\n"));
  ASSERT_TRUE(check.accepted());
  EXPECT_EQ(check.roadTriangles, 2 * 6 + 5);
  EXPECT_EQ(check.roadTriangles + check.infieldTriangles + check.outerTriangles, check.track->triangleCount);
  for (int i = 0; i < check.track->triangleCount; i++) {
    bool road = check.track->triangles[i]->colour[1] == roadGrey && check.track->triangles[i]->colour[0] == roadGrey;
    EXPECT_EQ(road, i < check.roadTriangles) << "triangle " << i;
  }
}

TEST(CheckAccepted, SteepRoadAndGroundAreFlaggedWhereTheyAre) {
  // From waypoint 3 to 4 the road climbs 60 over 50, about 50 degrees; where the inner corner
  // at waypoint 3 is drawn in, the same climb comes over a shorter run and is steeper still.
  TTrackCheck steep = checkTrack(trackText("0 0 0\n0 100 0\n100 100 0\n100 50 60\n100 0 0\n"));
  ASSERT_TRUE(steep.accepted());
  EXPECT_GE(steep.steepestRoad.degrees, std::atan(60.0 / 50.0) * 180 / pi - 0.01);
  EXPECT_LT(steep.steepestRoad.degrees, 60);
  EXPECT_TRUE(steep.steepestRoad.segment == 3 || steep.steepestRoad.segment == 4);
  int road = 0;
  for (const TSlope& s : steep.crashSlopes) {
    EXPECT_GE(s.degrees, crashSlopeDegrees);
    if (std::string(s.ground) == "road") {
      road++;
      EXPECT_TRUE(s.segment == 3 || s.segment == 4) << s.segment;
    }
  }
  EXPECT_GE(road, 4);

  // High above the border the outer ground falls away steeply all round; the road stays level.
  TTrackCheck high = checkTrack(trackText("0 0 500\n0 100 500\n100 100 500\n100 0 500\n"));
  ASSERT_TRUE(high.accepted());
  EXPECT_NEAR(high.steepestRoad.degrees, 0, 1e-5);
  EXPECT_STREQ(high.steepestGround.ground, "outer ground");
  EXPECT_GT(high.steepestGround.degrees, 45);
  EXPECT_EQ(int(high.crashSlopes.size()), high.outerTriangles);
}

TEST(CheckAccepted, ShippedTracksAreCleanAndTheirReverseIsCaught) {
  std::vector<std::string> tracks = shippedTracks();
  if (tracks.empty()) GTEST_SKIP() << "no tracks in " << ZARVANTO_TRACKS_DIR;
  for (const std::string& file : tracks) {
    SCOPED_TRACE(file);
    TTrackCheck check = checkTrackFile(file);
    ASSERT_TRUE(check.accepted()) << check.message;
    EXPECT_LT(check.steepestRoad.degrees, crashSlopeDegrees);
    for (const TSlope& s : check.crashSlopes) EXPECT_STRNE(s.ground, "road");

    // The same waypoints listed from last to first run counter-clockwise.
    std::string lines;
    for (int i = check.track->waypointCount - 1; i >= 0; i--) {
      const TPlace& p = check.waypoints[size_t(i)].at;
      lines += std::to_string(p.east) + " " + std::to_string(p.north) + " " + std::to_string(p.height) + "\n";
    }
    TTrackCheck reversed = checkTrack(trackText(lines));
    EXPECT_EQ(reversed.result, loadNotClockwise);
    EXPECT_LT(reversed.turnSumDegrees, 0);
    EXPECT_EQ(reversed.reversedResult, loadOk);
  }
}

TEST(CheckReports, NumbersPrintShort) {
  EXPECT_EQ(formatNumber(400), "400");
  EXPECT_EQ(formatNumber(2.5), "2.5");
  EXPECT_EQ(formatNumber(1.0 / 3), "0.33");
  EXPECT_EQ(formatNumber(-0.001), "0");
  EXPECT_EQ(formatNumber(-12.345678), "-12.35");
}

// A JSON reader just large enough to take the checker's output apart; it throws on anything
// malformed, so the output is also checked for being JSON at all.
struct Json {
  enum Kind { null, boolean, number, string, array, object } kind = null;
  bool flag = false;
  double value = 0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> fields;

  const Json& operator[](const std::string& key) const {
    for (const auto& field : fields)
      if (field.first == key) return field.second;
    throw std::runtime_error("no key " + key);
  }
  bool has(const std::string& key) const {
    for (const auto& field : fields)
      if (field.first == key) return true;
    return false;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& source) : s(source) {}
  Json document() {
    Json value = read();
    skip();
    if (at != s.size()) fail();
    return value;
  }

 private:
  const std::string& s;
  size_t at = 0;

  [[noreturn]] void fail() { throw std::runtime_error("bad JSON at " + std::to_string(at)); }
  void skip() {
    while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) at++;
  }
  void expect(char c) {
    skip();
    if (at >= s.size() || s[at] != c) fail();
    at++;
  }
  bool next(char c) {
    skip();
    if (at < s.size() && s[at] == c) {
      at++;
      return true;
    }
    return false;
  }
  std::string readString() {
    expect('"');
    std::string out;
    while (at < s.size() && s[at] != '"') {
      if (s[at] == '\\') {
        if (++at >= s.size()) fail();
        if (s[at] == 'u') {
          out += char(std::stoi(s.substr(at + 1, 4), nullptr, 16));
          at += 4;
        } else {
          out += s[at];
        }
      } else {
        out += s[at];
      }
      at++;
    }
    expect('"');
    return out;
  }
  Json read() {
    Json value;
    skip();
    if (next('{')) {
      value.kind = Json::object;
      if (next('}')) return value;
      do {
        std::string key = readString();
        expect(':');
        value.fields.emplace_back(key, read());
      } while (next(','));
      expect('}');
    } else if (next('[')) {
      value.kind = Json::array;
      if (next(']')) return value;
      do value.items.push_back(read());
      while (next(','));
      expect(']');
    } else if (at < s.size() && s[at] == '"') {
      value.kind = Json::string;
      value.text = readString();
    } else if (s.compare(at, 4, "true") == 0 || s.compare(at, 5, "false") == 0) {
      value.kind = Json::boolean;
      value.flag = s[at] == 't';
      at += value.flag ? 4 : 5;
    } else if (s.compare(at, 4, "null") == 0) {
      at += 4;
    } else {
      size_t used = 0;
      try {
        value.value = std::stod(s.substr(at, 32), &used);
      } catch (const std::exception&) {
        fail();
      }
      value.kind = Json::number;
      at += used;
    }
    return value;
  }
};

std::string tool(const std::string& arguments, int* status) {
  std::string output;
  *status = runCommand(std::string(ZARVANTO_TRACK_TOOL) + " " + arguments + " 2>/dev/null", &output);
  return output;
}

// The text's block for one file: from its "FILE: verdict" line to the next file's.
std::string blockOf(const std::string& text, const std::string& file) {
  size_t start = text.find(file + ": ");
  if (start == std::string::npos) return "";
  size_t end = text.find("\n/", start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

std::string textNumber(const std::string& block, const std::string& pattern) {
  std::smatch match;
  if (!std::regex_search(block, match, std::regex(pattern))) return "(missing " + pattern + ")";
  return match[1];
}

TEST(CheckCommand, ExitStatusFollowsTheVerdict) {
  std::string good = writeTrack(trackText(square)), bad = writeTrack(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"));
  int status;
  tool("check " + good, &status);
  EXPECT_EQ(status, 0);
  tool("check " + good + " " + bad, &status);
  EXPECT_EQ(status, 1);
  tool("check --json " + bad + " " + good, &status);
  EXPECT_EQ(status, 1);
  tool("check", &status);
  EXPECT_EQ(status, 2);
  tool("inspect " + good, &status);
  EXPECT_EQ(status, 2);
}

TEST(CheckCommand, RefusedFilesPrintTheGameMessageOnItsOwnLine) {
  std::string bad = writeTrack(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"));
  int status;
  std::string text = tool("check " + bad, &status);
  EXPECT_EQ(text.substr(0, text.find('\n', text.find('\n') + 1) + 1),
            bad + ": refused\n" + loadFailureMessage(loadNotClockwise, false));
  EXPECT_NE(text.find("the turns sum to -360 degrees"), std::string::npos) << text;
  EXPECT_NE(text.find("the track is accepted"), std::string::npos) << text;
}

TEST(CheckCommand, JsonAndTextAgree) {
  std::vector<std::string> files = {
      writeTrack(trackText("0 0 0\n0 100 0\n100 100 0\n100 50 60\n100 0 0\n")),  // accepted, steep road
      writeTrack(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n")),            // crossing
      writeTrack(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n")),            // counter-clockwise
      writeTrack(trackText("\n0 0 0\n0 100 0\n100 100 0\n100 0 0\n9 0 0\n")),   // too close
      writeTrack(trackText("0 0 0\n0 x 0\n")),                                  // not a number
      writeTrack("#Track \nT\n"),                                               // header
  };
  std::string names;
  for (const std::string& file : files) names += " " + file;
  int textStatus, jsonStatus;
  std::string text = tool("check" + names, &textStatus);
  std::string jsonText = tool("check --json" + names, &jsonStatus);
  EXPECT_EQ(textStatus, jsonStatus);
  Json json = JsonReader(jsonText).document();
  EXPECT_FALSE(json["allAccepted"].flag);
  ASSERT_EQ(json["files"].items.size(), files.size());
  for (const Json& file : json["files"].items) {
    std::string name = file["file"].text;
    SCOPED_TRACE(name);
    std::string block = blockOf(text, name);
    ASSERT_FALSE(block.empty());
    if (file["accepted"].flag) {
      EXPECT_EQ(block.find(name + ": accepted\n"), 0u);
      EXPECT_EQ(textNumber(block, "length: (\\S+)"), formatNumber(file["length"].value));
      EXPECT_EQ(textNumber(block, "(\\d+) road, "), formatNumber(file["triangles"]["road"].value));
      EXPECT_EQ(textNumber(block, "(\\d+) outer ground"), formatNumber(file["triangles"]["outerGround"].value));
      EXPECT_EQ(textNumber(block, "steepest road: (\\S+) degrees"), formatNumber(file["steepestRoad"]["degrees"].value));
      EXPECT_EQ(textNumber(block, "crash slopes: (\\d+)"), std::to_string(file["crashSlopes"].items.size()));
      EXPECT_EQ(textNumber(block, "waypoints: (\\d+)"), std::to_string(file["waypoints"].items.size()));
      continue;
    }
    EXPECT_EQ(block.find(name + ": refused\n" + file["message"].text + "\n"), 0u);
    EXPECT_EQ(loadFailureMessage(int8_t(file["result"].value), false), file["message"].text + "\n");
    // The waypoints at fault, in the same order in both.
    std::string named;
    std::regex waypoint("waypoint (\\d+) \\(line (\\d+)\\)");
    for (std::sregex_iterator i(block.begin(), block.end(), waypoint), end; i != end; ++i)
      named += (*i)[1].str() + "@" + (*i)[2].str() + " ";
    std::string listed;
    if (file.has("atFault"))
      for (const Json& w : file["atFault"].items)
        listed += formatNumber(w["number"].value) + "@" + formatNumber(w["line"].value) + " ";
    EXPECT_EQ(named, listed);
    std::string fault = file["fault"].text;
    if (fault == "crossing") {
      EXPECT_EQ(textNumber(block, "at east (\\S+),"), formatNumber(file["crossingAt"]["east"].value));
      EXPECT_EQ(textNumber(block, "at east \\S+, north (\\S+)\n"), formatNumber(file["crossingAt"]["north"].value));
    } else if (fault == "too close") {
      EXPECT_EQ(textNumber(block, "is (\\S+) from"), formatNumber(file["apart"].value));
    } else if (fault == "not clockwise") {
      EXPECT_EQ(textNumber(block, "sum to (\\S+) degrees"), formatNumber(file["turnSumDegrees"].value));
      EXPECT_TRUE(file["reversedAccepted"].flag);
    } else if (fault == "not a number") {
      EXPECT_EQ(textNumber(block, "line (\\d+): \""), formatNumber(file["line"].value));
      EXPECT_EQ(textNumber(block, "\"(.*)\" is not a number"), file["token"].text);
    } else {
      EXPECT_EQ(fault, "header");
      EXPECT_EQ(textNumber(block, "holds \"(.*)\""), file["token"].text);
    }
  }
}

}  // namespace
