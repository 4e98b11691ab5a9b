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

// Tracks that show every finding of the loader and the checker, each read by the game's loader
// from text, so the reports give its verdict, the fault, the line and the message for each.
TEST(TrackTool, ReportsAndMapsAreTheReviewedOnes) {
  const std::string spaces(1 << 20, ' ');
  const struct {
    std::string name, text;
    bool mapped = false;  // its map is checked too
  } tracks[] = {
      // Accepted: a road steep enough to crash on, under a title that needs escaping; ground
      // falling away steeply all round; numbers spread over lines in any spelling and layout.
      {"square", trackText(square), true},
      {"steep", trackText("0 0 0\n0 100 0\n100 100 0\n100 50 60\n100 0 0\n", "Steep <&> \"ramp\" \\ \x01"), true},
      {"high", trackText("0 0 500\n0 100 500\n100 100 500\n100 0 500\n")},
      {"spread", trackText("10 20 1 10 2e2\n5\t110 220 +3 0x6e\n\n  .2e2 -0", std::string("Box\0after", 9))},
      {"crlf", "#Track\r\nBox\r\n10 20 1\r\n10 220 5\r\n110 220 3\r\n110 20 2\r\n"},
      {"spaces", trackText(spaces + square + spaces, std::string(maxTitleLength, 'T'))},
      {"two", trackText("10 20 1\n10 220 5\n110 220 3\n110 20")},  // the last height carries over
      {"one", trackText("10 20 1\n10 220 5\n110 220 3\n110")},     // and north, negated twice
      {"ten", trackText(square + "10 0 0\n")},                     // exactly 10 apart
      {"ten3d", trackText(square + "6 0 8\n")},
      {"sharp", trackText("0 0 0\n50 86.6 0\n100 0 0\n")},           // 120-degree turns count as 60
      {"diamond", trackText("0 0 0\n12 12 0\n24 0 0\n12 -12 0\n")},  // right angles whose sine rounds past 1
      {"touch", trackText(square + "50 0 0\n50 50 0\n40 0 0\n")},    // a waypoint on another segment
      {"spike", trackText("0 0 0\n0 100 0\n100 100 0\n100 50 0\n40 50 0\n100 40 0\n100 0 0\n")},
      // Refused, for every fault.
      {"empty", ""},
      {"header", "#Track plus a first line longer than the checker shows \x01\n" + square},
      {"space", "#Track \nT\n" + square},
      {"cr", "#Track\rOld line ends\r0 0 0\r0 100 0\r100 100 0\r100 0 0\r"},
      {"unterminated", "#Track\nNo line end"},
      {"title", trackText(square, std::string(maxTitleLength + 1, 'T'))},
      {"blank", "#Track\nBlank\n \n\t\n", true},
      {"number", trackText("0 0 0\n0 100 0\n\n100 \"x\\\x7f 0\n")},
      {"nul", trackText(square + std::string("1\0 2 3\n", 7))},
      {"far", trackText("0 0 0\n0 1000001 0\n")},
      {"huge", trackText("0 0 0\n0 100 0\n\n100 1e40 0\n")},  // too large for a float
      {"close", trackText("\n0 0 0\n0 100\n0\n100 100 0\n\n100 0 0\n9 0 0\n"), true},
      {"close3d", trackText(square + "6 0 7.99\n")},
      {"eight", trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n0 105 0\n")},  // the close pair, read first, decides
      {"crossing", trackText("0 50 0\n50 100 0\n100 50 0\n50 0 0\n120 20 0\n"), true},  // the closing stretch crosses
      {"bridge", trackText("0 0 0\n100 100 50\n100 0 0\n0 100 0\n")},
      // One straight line as far as floats go; rounding has the first and third segments cross.
      {"straight", trackText("131.666672 -94.5565262 0\n167 -119.90435 0\n178 -127.795654 0\n213.333344 -153.143494 0\n"
                             "213.333344 -253.143494 0\n131.666672 -194.5565262 0\n")},
      {"anticlockwise", trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n"), true},
      {"triangle", trackText("0 0 0\n100 0 0\n50 86.6 0\n")},
      {"line", trackText("0 0 0\n0 100 0\n")},                                          // no order of two is clockwise
      {"above", trackText("0 0 0\n0 100 0\n50 50 20\n100 100 0\n100 0 0\n50 50 0\n")},  // only the turns refuse
      {"consecutive", trackText("0 0 0\n0 0 10\n0 100 0\n100 100 0\n")},
      {"stacked", trackText(square + "0 0 10\n"), true},
      {"alone", trackText("0 0 0\n")}};
  std::vector<TTrackCheck> checks;
  std::string text;
  for (const auto& track : tracks) {
    checks.push_back(checkTrackText(track.name + ".tck", track.text));
    text += checkText(checks.back());
    TTrack plain;  // asking for the detail changes nothing
    EXPECT_EQ(plain.loadText(track.text.data(), track.text.size()), checks.back().result) << track.name;
    std::string svg = track.mapped ? trackMapSvg(checks.back()) : "";
    EXPECT_EQ(svg, track.mapped ? reference(track.name + ".svg", svg) : "");
  }
  EXPECT_EQ(text, reference("check.txt", text));
  std::string json = checksJson(checks);
  EXPECT_EQ(json, reference("check.json", json));
}

TEST(TrackTool, ExitStatusSaysAcceptedRefusedOrMisused) {
  std::string good = writeTrackFile("good.tck", trackText(square));
  std::string bad = writeTrackFile("bad.tck", trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"));
  for (auto [arguments, status] : {std::pair{"check " + good, 0},
                                   {"check --json " + good + " " + bad, 1},
                                   {"map " + bad, 1},
                                   {"map " + good + " -o /nonexistent/map.svg", 2},
                                   {"inspect " + good, 2},
                                   {std::string("check"), 2}}) {
    int result = std::system((std::string(ZARVANTO_TRACK_TOOL) + " " + arguments + " >/dev/null 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(result), status) << arguments;
  }
}

}  // namespace
