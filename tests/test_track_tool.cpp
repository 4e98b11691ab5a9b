// The track checker: where each refusal lies, what it says about accepted tracks, that asking
// the loader for detail changes nothing, and its command line with text and JSON that agree.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
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
  EXPECT_EQ(loadFailureMessage(loadCantOpen, true),
            "Can't open default.tck\nUsage: Zarvanto [track file] [opponents]\n");
  EXPECT_EQ(loadFailureMessage(loadNotTrackFile, false), "Invalid track file\n");
  EXPECT_EQ(loadFailureMessage(loadTooClose, false), "Track waypoints can't be closer to each other than 10\n");
  EXPECT_EQ(loadFailureMessage(loadCrossing, false), "The track can't cross itself\n");
  EXPECT_EQ(loadFailureMessage(loadNotClockwise, false), "Waypoints must be defined in clockwise order\n");
  EXPECT_EQ(loadFailureMessage(loadInvalid, false), "Error: invalid track\n");
}

TEST(LoadDetail, AskingForItChangesNoVerdict) {
  for (const std::string& text : {trackText(square), trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"),
                                  trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"), trackText(square + "9 0 0\n"),
                                  trackText("0 0 0\n0 0 10\n0 100 0\n"), trackText("0 0 0\nx\n"),
                                  std::string("#Track\n"), trackText("0 0 0\n0 100 0\n100 100 0\n100\n")}) {
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

TEST(CheckRefusals, EachReadingFaultGivesItsLine) {
  struct Case {
    std::string text;
    int result;
    TLoadFault fault;
    int line;
    std::string token;
  };
  for (const Case& c : std::vector<Case>{
           {trackText("0 0 0\n0 100 0\n\n100 1,5 0\n"), loadTooClose, faultNotANumber, 6, "1,5"},
           {trackText("abc 0 0\n"), loadTooClose, faultNotANumber, 3, "abc"},
           {"#track\nT\n" + square, loadNotTrackFile, faultHeader, 1, "#track"},
           {"", loadNotTrackFile, faultHeader, 1, ""},
           {trackText(square, std::string(maxTitleLength + 1, 't')), loadNotTrackFile, faultTitleTooLong, 2, ""},
           {"#Track\nNo line end", loadNotTrackFile, faultTitleUnterminated, 2, ""},
           {"#Track\nEmpty\n\n  \n", loadNotTrackFile, faultNoWaypoints, 2, ""},
           {trackText("0 0 0\n0 100 0\n\n100 1e40 0\n"), loadInvalid, faultOutOfRange, 6, ""}}) {
    SCOPED_TRACE(c.text.substr(0, 40));
    TTrackCheck check = checkTrack(c.text);
    EXPECT_EQ(check.result, c.result);
    EXPECT_EQ(check.detail.fault, c.fault);
    EXPECT_EQ(check.detail.line, c.line);
    EXPECT_EQ(check.detail.token, c.token);
    EXPECT_EQ(check.message + "\n", loadFailureMessage(int8_t(c.result), false));
  }
  EXPECT_EQ(checkTrackFile("/nonexistent/track.tck").message, "Can't open track file");
}

TEST(CheckRefusals, SharedPlanPositionNamesThePair) {
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

// The JSON's object for one file: from its "file" key to the next file's.
std::string jsonOf(const std::string& json, const std::string& file) {
  size_t start = json.find("\"file\": \"" + file + "\"");
  if (start == std::string::npos) return "";
  return json.substr(start, json.find("\"file\": ", start + 1) - start);
}

TEST(CheckCommand, JsonAndTextAgree) {
  std::vector<std::string> files = {
      writeTrack(trackText("0 0 0\n0 100 0\n100 100 0\n100 50 60\n100 0 0\n")),  // accepted, steep road
      writeTrack(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n")),             // crossing
      writeTrack(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n")),             // counter-clockwise
      writeTrack(trackText("\n0 0 0\n0 100 0\n100 100 0\n100 0 0\n9 0 0\n")),    // too close
      writeTrack(trackText("0 0 0\n0 x 0\n")),                                   // not a number
      writeTrack("#Track \nT\n"),                                                // header
  };
  std::string names;
  for (const std::string& file : files) names += " " + file;
  int textStatus, jsonStatus;
  std::string text = tool("check" + names, &textStatus);
  std::string json = tool("check --json" + names, &jsonStatus);
  EXPECT_EQ(textStatus, jsonStatus);
  EXPECT_NE(json.find("\"allAccepted\": false"), std::string::npos);
  // Each fact as the text puts it, then as the JSON does.
  const std::vector<std::pair<std::string, std::string>> facts = {
      {": (accepted|refused)\n", "\"accepted\": (true|false)"},
      {"length: (\\S+)\n", "\"length\": ([^,\n]+)"},
      {"(\\d+) road, ", "\"road\": (\\d+)"},
      {"(\\d+) outer ground\n", "\"outerGround\": (\\d+)"},
      {"steepest road: (\\S+) degrees", "\"steepestRoad\": \\{[^}]*\"degrees\": ([^,]+)"},
      {"at east (\\S+), north (\\S+)\n", "\"crossingAt\": \\{\"east\": (\\S+), \"north\": ([^}]+)\\}"},
      {"is (\\S+) from", "\"apart\": (\\S+)\n"},
      {"sum to (\\S+) degrees", "\"turnSumDegrees\": ([^,]+),"},
      {"the track is (accepted|still refused)", "\"reversedAccepted\": (true|false)"},
      {"line (\\d+): \"(.*)\" is not a number", "\"not a number\",\\s+\"line\": (\\d+),\\s+\"token\": \"(.*)\""},
      {"holds \"(.*)\"", "\"header\",\\s+\"line\": 1,\\s+\"token\": \"(.*)\""},
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::string block = blockOf(text, file), object = jsonOf(json, file);
    ASSERT_FALSE(block.empty());
    ASSERT_FALSE(object.empty());
    std::smatch inText, inJson;
    for (const auto& fact : facts) {
      bool saidInText = std::regex_search(block, inText, std::regex(fact.first));
      bool saidInJson = std::regex_search(object, inJson, std::regex(fact.second));
      EXPECT_EQ(saidInText, saidInJson) << fact.first;
      if (!saidInText || !saidInJson) continue;
      std::string a = inText[1], b = inJson[1];
      if (a == "accepted" || a == "refused" || a == "still refused") a = a == "accepted" ? "true" : "false";
      EXPECT_EQ(a, b) << fact.first;
      if (inText.size() > 2) {
        EXPECT_EQ(inText[2].str(), inJson[2].str()) << fact.first;
      }
    }
    // As many crash slopes: each is a slope record, as are the steepest road and ground.
    if (block.find(": accepted\n") != std::string::npos) {
      size_t records = 0;
      for (size_t at = object.find("{\"ground\""); at != std::string::npos; at = object.find("{\"ground\"", at + 1))
        records++;
      std::string count =
          block.find("crash slopes: none") != std::string::npos ? "0" : textNumber(block, "crash slopes: (\\d+)");
      EXPECT_EQ(count, std::to_string(records - 2));
    }
    // The message, and the waypoints at fault in the same order.
    std::smatch message;
    if (std::regex_search(object, message, std::regex("\"message\": \"(.+)\""))) {
      EXPECT_EQ(block.find(file + ": refused\n" + message[1].str() + "\n"), 0u);
    }
    std::string named, listed;
    std::regex inTextWaypoint("waypoint (\\d+) \\(line (\\d+)\\)"),
        inJsonWaypoint("\\{\"number\": (\\d+), \"line\": (\\d+)");
    for (std::sregex_iterator i(block.begin(), block.end(), inTextWaypoint), end; i != end; ++i)
      named += (*i)[1].str() + "@" + (*i)[2].str() + " ";
    size_t atFault = object.find("\"atFault\"");
    std::string faultList =
        atFault == std::string::npos ? "" : object.substr(atFault, object.find(']', atFault) - atFault);
    for (std::sregex_iterator i(faultList.begin(), faultList.end(), inJsonWaypoint), end; i != end; ++i)
      listed += (*i)[1].str() + "@" + (*i)[2].str() + " ";
    EXPECT_EQ(named, listed);
  }
}

}  // namespace
