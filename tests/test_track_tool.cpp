// The track authors' tool: its reports and maps of tracks that show every finding, against the
// reviewed references in tests/track_tool/, and its command line's exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "tools/check_report.h"
#include "tools/track_map.h"

namespace {

const std::string square = flatSquare;

// The reference of that name; with ZARVANTO_WRITE_REFERENCE set, the output given becomes it, a
// step whose difference is then reviewed like any other change.
std::string reference(const std::string& name, const std::string& output) {
  std::string path = std::string(ZARVANTO_TOOL_REFERENCE) + "/" + name;
  if (std::getenv("ZARVANTO_WRITE_REFERENCE") != nullptr) std::ofstream(path) << output;
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

TEST(TrackTool, ReportsAndMapsAreTheReviewedOnes) {
  const std::vector<std::pair<std::string, std::string>> tracks = {
      // Accepted: a road steep enough to crash on, in a title that needs escaping; ground falling
      // away steeply all round; a last waypoint of one number.
      {"steep", trackText("0 0 0\n0 100 0\n100 100 0\n100 50 60\n100 0 0\n", "Steep <&> \"ramp\" \\ \x01")},
      {"high", trackText("0 0 500\n0 100 500\n100 100 500\n100 0 500\n")},
      {"partial", trackText("0 0 0\n0 100 0\n100 100 0\n100")},
      // Refused, once for every fault; waypoints spread over lines, and lines without any.
      {"close", trackText("\n0 0 0\n0 100\n0\n100 100 0\n\n100 0 0\n9 0 0\n")},
      {"crossing", trackText("0 50 0\n50 100 0\n100 50 0\n50 0 0\n120 20 0\n")},  // the closing stretch crosses
      {"anticlockwise", trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n")},
      {"triangle", trackText("0 0 0\n100 0 0\n50 86.6 0\n")},
      {"line", trackText("0 0 0\n0 100 0\n")},  // no order of two is clockwise
      {"stacked", trackText(square + "0 0 10\n")},
      {"alone", trackText("0 0 0\n")},
      {"number", trackText("0 0 0\n0 \"x\\\x7f 0\n")},
      {"far", trackText("0 0 0\n0 1000001 0\n")},
      {"header", "#Track plus a first line longer than the checker shows \x01\n" + square},
      {"title", trackText(square, std::string(maxTitleLength + 1, 'T'))},
      {"unterminated", "#Track\nNo line end"},
      {"blank", "#Track\nBlank\n\n"}};
  std::vector<TTrackCheck> checks;
  std::string text;
  for (const auto& [name, content] : tracks) {
    checks.push_back(checkTrackText(name + ".tck", content));
    text += checkText(checks.back());
    if (name == "steep" || name == "close" || name == "crossing" || name == "anticlockwise" || name == "stacked" ||
        name == "blank") {
      std::string svg = trackMapSvg(checks.back());
      EXPECT_EQ(svg, reference(name + ".svg", svg));
    }
  }
  EXPECT_EQ(text, reference("check.txt", text));
  std::string json = checksJson(checks);
  EXPECT_EQ(json, reference("check.json", json));
  EXPECT_EQ(checkTrackFile("/nonexistent/track.tck").message, "Can't open track file");
}

TEST(TrackTool, ShippedTracksAreCleanAndTheirReverseIsCaught) {
  for (const std::string& file : shippedTracks()) {
    SCOPED_TRACE(file);
    TTrackCheck check = checkTrackFile(file);
    ASSERT_TRUE(check.accepted()) << check.message;
    EXPECT_LT(check.steepestRoad.degrees, crashSlopeDegrees);
    for (const TSlope& s : check.crashSlopes) EXPECT_STRNE(s.ground, "road");
    std::string lines;
    for (Vec3 p : reversedWaypoints(*check.track))
      lines += std::to_string(p.x) + " " + std::to_string(-p.z) + " " + std::to_string(p.y) + "\n";
    TTrackCheck reversed = checkTrackText("reversed", trackText(lines));
    EXPECT_EQ(reversed.result, loadNotClockwise);
    EXPECT_EQ(reversed.reversedResult, loadOk);
  }
}

TEST(TrackTool, ExitStatusSaysAcceptedRefusedOrMisused) {
  std::string good = writeTrackFile("good.tck", trackText(square));
  std::string bad = writeTrackFile("bad.tck", trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"));
  for (auto [arguments, status] : {std::pair{"check " + good, 0},
                                   {"check " + good + " " + bad, 1},
                                   {"check --json " + bad + " " + good, 1},
                                   {"check --json " + good, 0},
                                   {std::string("check"), 2},
                                   {"inspect " + good, 2},
                                   {"map " + good + " -o " + good + ".svg", 0},
                                   {"map " + bad, 1},
                                   {std::string("map"), 2},
                                   {"map " + good + " " + bad, 2},
                                   {"map " + good + " -o", 2},
                                   {"map " + good + " -o /nonexistent/map.svg", 2}}) {
    int result = std::system((std::string(ZARVANTO_TRACK_TOOL) + " " + arguments + " >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(result), status) << arguments;
  }
}

}  // namespace
