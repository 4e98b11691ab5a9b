// Loading track files: the format, the three rules, and refusing whatever else a file may hold.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <string>

#include "tests/test_support.h"
#include "track/track.h"

namespace {

const std::string square = "0 0 0\n0 100 0\n100 100 0\n100 0 0\n";

int8_t loadText(const std::string& text, TTrack* track = nullptr) {
  static int fileNumber = 0;
  std::string path = writeTrackFile("load" + std::to_string(fileNumber++) + ".tck", text);
  TTrack local;
  return (track ? track : &local)->load(path.c_str());
}

void expectPoint(Vec3 p, float x, float y, float z) {
  EXPECT_EQ(p.x, x);
  EXPECT_EQ(p.y, y);
  EXPECT_EQ(p.z, z);
}

TEST(TrackLoad, SquareGivesWaypointsCornersCentreAndMargin) {
  TTrack track;
  ASSERT_EQ(loadText(trackText(square, "Square"), &track), loadOk);
  EXPECT_STREQ(track.title, "Square");
  ASSERT_EQ(track.waypointCount, 4);
  expectPoint(track.waypoints[0], 0, 0, 0);
  expectPoint(track.waypoints[1], 0, 0, -100);
  expectPoint(track.waypoints[2], 100, 0, -100);
  expectPoint(track.waypoints[3], 100, 0, 0);
  expectPoint(track.waypoints[4], 0, 0, 0);  // the closing copy
  expectPoint(track.minCorner, 0, 0, -100);
  expectPoint(track.maxCorner, 100, 0, 0);
  expectPoint(track.centre, 50, 0, -50);
  EXPECT_EQ(track.margin, 50);
}

TEST(TrackLoad, LayoutOfNumbersDoesNotMatter) {
  TTrack lf, crlf, spread;
  ASSERT_EQ(loadText(trackText(square), &lf), loadOk);
  ASSERT_EQ(loadText("#Track\r\nTest track\r\n0 0 0\r\n0 100 0\r\n100 100 0\r\n100 0 0\r\n", &crlf), loadOk);
  ASSERT_EQ(loadText(trackText("0 0 0 0 100\n0\t100 100 0 100\n\n   0 0"), &spread), loadOk);
  EXPECT_STREQ(crlf.title, "Test track");  // no CR left in the title
  for (const TTrack* t : {&crlf, &spread}) {
    ASSERT_EQ(t->waypointCount, lf.waypointCount);
    for (int i = 0; i <= lf.waypointCount; i++)
      expectPoint(t->waypoints[i], lf.waypoints[i].x, lf.waypoints[i].y, lf.waypoints[i].z);
  }
}

TEST(TrackLoad, FinalPartialGroupBorrowsFromThePreviousWaypoint) {
  TTrack two, one;
  // Two numbers: the height of the waypoint before.
  ASSERT_EQ(loadText(trackText("0 0 7\n0 100 3\n100 100 5\n100 0"), &two), loadOk);
  expectPoint(two.waypoints[3], 100, 5, 0);
  // One number: x, the previous height, and z as minus the previous waypoint's z.
  ASSERT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100"), &one), loadOk);
  ASSERT_EQ(one.waypointCount, 4);
  expectPoint(one.waypoints[3], 100, 0, 100);
}

TEST(TrackLoad, HeaderMustBeExact) {
  for (const char* text : {"#Track", "#Track \nT\n0 0 0\n", "#track\nT\n0 0 0\n", "Track\nT\n", "\n#Track\nT\n"})
    EXPECT_EQ(loadText(text), loadNotTrackFile) << text;
}

// An empty file once sent a null pointer into the line search; the checker asks with a detail.
TEST(TrackLoad, EmptyFileIsNoTrackFile) {
  std::string path = writeTrackFile("empty.tck", "");
  TTrack track;
  TLoadDetail detail;
  EXPECT_EQ(track.load(path.c_str()), loadNotTrackFile);
  EXPECT_EQ(track.load(path.c_str(), &detail), loadNotTrackFile);
  EXPECT_EQ(detail.fault, faultHeader);
  EXPECT_EQ(detail.token, "");
}

TEST(TrackLoad, TitleLimitsAndMissingWaypoints) {
  std::string longest(maxTitleLength, 't');
  EXPECT_EQ(loadText("#Track\n" + longest + "\r\n" + square), loadOk);  // the CR is line end, not title
  EXPECT_EQ(loadText("#Track\nNo line end"), loadNotTrackFile);
  EXPECT_EQ(loadText("#Track\nEmpty\n"), loadNotTrackFile);
  EXPECT_EQ(loadText("#Track\nBlank\n \n\t\n"), loadNotTrackFile);
}

TEST(TrackLoad, MissingFileOrDirectoryCantBeOpened) {
  TTrack track;
  EXPECT_EQ(track.load("/nonexistent/track.tck"), loadCantOpen);
  std::string folder = writeTrackFile("probe", "") + ".d";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  EXPECT_EQ(track.load(folder.c_str()), loadCantOpen);
}

TEST(DistanceRule, AppliesToEveryPairIncludingHeight) {
  EXPECT_EQ(loadText(trackText("0 0 0\n9.99 0 0\n50 50 0\n")), loadTooClose);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n9 0 0\n")), loadTooClose);  // not neighbours
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n10 0 0\n")), loadOk);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n6 0 8\n")), loadOk);  // exactly 10 in 3D
  EXPECT_EQ(loadText(trackText(square + "0 0 0\n")), loadTooClose);                       // a repeated first waypoint
}

TEST(DistanceRule, TooCloseIsReportedBeforeLaterRules) {
  // A figure of eight that also has a close pair: the close pair, read first, decides.
  EXPECT_EQ(loadText(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n0 105 0\n")), loadTooClose);
}

TEST(TokenRule, AnythingButWholeFiniteNumbersIsRefused) {
  for (const char* bad : {"x", "nan", "inf", "-infinity", "-", "+", "in", "1e", "0x", "1.5abc", "1,5", "--1", "0x1p"}) {
    EXPECT_EQ(loadText(trackText(std::string(bad) + " 0 0\n0 100 0\n100 100 0\n100 0 0\n")), loadTooClose) << bad;
    EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 " + std::string(bad) + " 0\n100 0 0\n")), loadTooClose) << bad;
  }
  EXPECT_EQ(loadText(trackText("0 0 0\n0 1e2 0\n0x64 100 +0\n100 .0 -0\n")), loadOk);  // all whole numbers
  EXPECT_EQ(loadText(trackText(square + std::string("1\0 2 3\n", 7))), loadTooClose);
}

TEST(TokenRule, CoordinatesBeyondAMillionAreInvalid) {
  EXPECT_EQ(loadText(trackText("0 0 0\n0 1000001 0\n100 100 0\n100 0 0\n")), loadInvalid);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 -2000000\n100 0 0\n")), loadInvalid);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 1e40 0\n100 0 0\n")), loadInvalid);  // too large for a float
}

TEST(CrossingRule, OnlyProperCrossingsCount) {
  EXPECT_EQ(loadText(trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n")), loadCrossing);
  // A bridge over the road still crosses it in plan.
  EXPECT_EQ(loadText(trackText("0 0 0\n100 100 50\n100 0 0\n0 100 0\n")), loadCrossing);
  // A spike doubling back along one line overlaps but does not cross; the clockwise rule decides.
  EXPECT_NE(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 50 0\n40 50 0\n100 40 0\n100 0 0\n")), loadCrossing);
  // A waypoint lying exactly on another segment does not cross it.
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n50 0 0\n50 50 0\n40 0 0\n")), loadOk);
}

TEST(ClockwiseRule, OrderDecides) {
  EXPECT_EQ(loadText(trackText("100 0 0\n100 100 0\n0 100 0\n0 0 0\n")), loadNotClockwise);
  EXPECT_EQ(loadText(trackText("0 0 0\n50 86.6 0\n100 0 0\n")), loadOk);  // 120-degree turns count as 60
  EXPECT_EQ(loadText(trackText("50 86.6 0\n0 0 0\n100 0 0\n")), loadNotClockwise);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n")), loadNotClockwise);  // two waypoints cancel to 0
  // Right angles whose sine rounds past 1 still count.
  EXPECT_EQ(loadText(trackText("0 0 0\n12 12 0\n24 0 0\n12 -12 0\n")), loadOk);
}

TEST(PlanPositionRule, ConsecutiveWaypointsAtOnePlanPositionAreInvalid) {
  EXPECT_EQ(loadText(trackText("0 0 0\n0 0 10\n0 100 0\n100 100 0\n100 0 0\n")), loadInvalid);
  EXPECT_EQ(loadText(trackText("0 0 0\n0 100 0\n100 100 0\n100 0 0\n0 0 10\n")), loadInvalid);  // closing pair
  EXPECT_EQ(loadText(trackText("0 0 0\n")), loadInvalid);  // one waypoint is its own neighbour
  // Non-consecutive waypoints may share a plan position when far enough apart in height.
  EXPECT_NE(loadText(trackText("0 0 0\n0 100 0\n50 50 20\n100 100 0\n100 0 0\n50 50 0\n")), loadInvalid);
}

TEST(HostileFiles, BinaryHugeLinesAndReloadsAreSafe) {
  std::string binary;
  for (int i = 0; i < 4096; i++) binary.push_back(char(i * 37 + 11));
  EXPECT_NE(loadText(binary), loadOk);
  EXPECT_NE(loadText(trackText(binary)), loadOk);
  EXPECT_EQ(loadText(trackText(std::string(1 << 20, '1') + " 0 0\n")), loadInvalid);  // one huge number
  EXPECT_EQ(loadText(trackText(square, std::string(1 << 20, 'T'))), loadNotTrackFile);
  std::string manySpaces(1 << 20, ' ');
  EXPECT_EQ(loadText(trackText(manySpaces + square + manySpaces)), loadOk);

  TTrack track;  // a second load replaces the first
  ASSERT_EQ(loadText(trackText(square, "First"), &track), loadOk);
  ASSERT_EQ(loadText(trackText("0 0 0\n50 86.6 0\n100 0 0\n", "Second"), &track), loadOk);
  EXPECT_STREQ(track.title, "Second");
  EXPECT_EQ(track.waypointCount, 3);
}

}  // namespace
