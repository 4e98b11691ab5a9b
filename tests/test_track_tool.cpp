// The track authors' tool: its reports and maps of the tracks in tests/tracks/, against the
// reviewed references there, and its command line's exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "bench/reference/generated_track.h"
#include "records/race_record.h"
#include "records/record.h"
#include "tests/test_support.h"
#include "tools/check_report.h"
#include "tools/track_map.h"

namespace {

// The output is the reviewed one of that name beside the tracks.
void expectReviewed(const std::string& name, const std::string& output) {
  EXPECT_EQ(output, reference(std::string(ZARVANTO_TEST_TRACKS) + "/" + name, output)) << name;
}

TEST(TrackTool, ReportsAndMapsAreTheReviewedOnes) {
  std::vector<std::string> paths = tracksIn(ZARVANTO_TEST_TRACKS);
  ASSERT_GE(paths.size(), 40u);
  std::vector<TTrackCheck> checks;
  std::string text;
  for (const std::string& path : paths) {
    std::string name = std::filesystem::path(path).stem().string(), track = fileText(path);
    checks.push_back(checkTrackText(name + ".tck", track));
    text += checkText(checks.back());
    TTrack plain;  // asking for the detail changes nothing
    EXPECT_EQ(plain.loadText(track.data(), track.size()), checks.back().result) << name;
    if (std::filesystem::exists(path.substr(0, path.size() - 4) + ".svg"))
      expectReviewed(name + ".svg", trackMapSvg(checks.back()));
  }
  expectReviewed("check.txt", text);
  expectReviewed("check.json", checksJson(checks));
}

// A car that leaves the road on a shipped track never stands on a slope that crashes it.
TEST(TrackTool, ShippedTracksHaveNoCrashSlope) {
  std::vector<std::string> paths = tracksIn(ZARVANTO_TRACKS_DIR);
  ASSERT_GE(paths.size(), 3u);
  for (const std::string& path : paths) {
    TTrackCheck check = checkTrackFile(path);
    EXPECT_TRUE(check.accepted() && check.crashSlopes.empty()) << checkText(check);
  }
}

// The stretch of road each crash slope is by, looked for among nearby runs of the centre line
// only, is the first nearest of all on a long hilly track, as a scan of every segment finds it.
TEST(TrackTool, CrashSlopesAreByTheFirstNearestStretch) {
  TTrackCheck check = checkTrackText("hills.tck", trackFileText(generatedWaypoints(600, 7)));
  const Vec3* w = check.track->waypoints;
  ASSERT_GE(check.crashSlopes.size(), 100u);
  for (const TSlope& s : check.crashSlopes) {
    std::vector<double> d;
    for (int i = 0; i < check.track->waypointCount; i++) {
      double dx = double(w[i + 1].x) - w[i].x, dz = double(w[i + 1].z) - w[i].z, x = s.at.east, z = -s.at.north;
      double t = std::clamp(((x - w[i].x) * dx + (z - w[i].z) * dz) / (dx * dx + dz * dz), 0.0, 1.0);
      d.push_back(std::hypot(x - (w[i].x + t * dx), z - (w[i].z + t * dz)));
    }
    EXPECT_EQ(s.segment, std::min_element(d.begin(), d.end()) - d.begin() + 1) << s.triangle;
  }
}

// Every digit of a number too long for any fixed buffer: trimming a cut one would drop real zeros.
TEST(TrackTool, NumbersKeepEveryDigit) {
  EXPECT_EQ(formatNumber(std::ldexp(1e22, 178)),
            "3831238852164722145895867567875772959046847805459005440000000000000000000000");
}

// 150 waypoints 10.5 apart round a circle, whose numbers would print over each other at the map's
// scale, then one too close to waypoint 55, outside the loop among the numbers.
TEST(TrackTool, MapNumbersNeverOverlapAndKeepTheStartAndTheFault) {
  std::string lines;
  for (int i = 0; i < 150; i++) {
    double a = 2 * pi * i / 150;
    lines += std::to_string(251 * std::sin(a)) + " " + std::to_string(251 * std::cos(a)) + " 0\n";
  }
  lines += "198 -164 0\n";
  TTrackCheck check = checkTrackText("many.tck", trackText(lines));
  ASSERT_EQ(check.detail.fault, faultTooClose);
  std::string svg = trackMapSvg(check);
  std::regex label(R"re(<text x="([-0-9.]+)" y="([-0-9.]+)"[^>]* font-size="([0-9.]+)"[^>]*>([^<]*)</text>)re");
  std::vector<std::array<double, 4>> boxes;  // as the map estimates them
  std::set<std::string> numbers;
  for (auto m = std::sregex_iterator(svg.begin(), svg.end(), label); m != std::sregex_iterator(); ++m) {
    double x = std::stod((*m)[1]), y = std::stod((*m)[2]), size = std::stod((*m)[3]);
    double half = 0.3 * size * double((*m)[4].length());
    std::array<double, 4> box = {x - half, y - 0.8 * size, x + half, y + 0.2 * size};
    for (const auto& b : boxes)
      EXPECT_FALSE(box[0] < b[2] && b[0] < box[2] && box[1] < b[3] && b[1] < box[3]) << (*m)[4];
    boxes.push_back(box);
    numbers.insert((*m)[4]);
  }
  for (const char* number : {"1", "55", "151"}) EXPECT_EQ(numbers.count(number), 1u) << number;
  EXPECT_GT(numbers.size(), 30u);
}

TEST(TrackTool, ExitStatusSaysAcceptedRefusedOrMisused) {
  std::string good = writeTrackFile("good.tck", trackText(flatSquare));
  std::string bad = writeTrackFile("bad.tck", trackText("0 0 0\n100 100 0\n100 0 0\n0 100 0\n"));
  for (auto [arguments, status] : {std::pair{"check " + good, 0},
                                   {"check --json " + good + " " + bad, 1},
                                   {"check " + good + " --json", 0},
                                   {"check --jsn " + good, 2},
                                   {"map " + bad, 1},
                                   {"map " + good + " -o /nonexistent/map.svg", 2},
                                   {"map " + good + " -o", 2},
                                   {"inspect " + good, 2},
                                   {std::string("check"), 2}}) {
    std::string output;
    EXPECT_EQ(runCommand(std::string(ZARVANTO_TRACK_TOOL) + " " + arguments + " 2>&1", &output), status) << arguments;
    // Wrong use is told in the tool's own words alone, never the option parser's.
    EXPECT_TRUE(status != 2 || output.rfind("Usage: ", 0) == 0 || output.rfind("zarvanto-track: ", 0) == 0) << output;
  }
}

TEST(TrackTool, RecordsListsTheKeptLapsAndShowsATracksOwn) {
  std::string home = writeTrackFile("records-home", ""), tracks = ZARVANTO_TRACKS_DIR, message, output;
  std::filesystem::remove(home);
  std::string folder = home + "/.local/share/zarvanto/records",
              tool = "HOME=" + home + " XDG_DATA_HOME= " + ZARVANTO_TRACK_TOOL;
  TTrack track;
  ASSERT_EQ(track.load((tracks + "/Default.tck").c_str()), loadOk);
  std::string key = trackKey(track), path = recordPath(folder, key);
  ASSERT_TRUE(writeRecord(path, key, {83.9f, "2026-12-07T10:15:02Z", "1.0.0", track.title, {}}, &message));
  for (RaceBest best :
       {RaceBest{3, "hard", 62.374f, "2026-12-07T11:00:00Z"}, {1, "easy", 20.41f, "2026-12-07T11:05:00Z"}})
    ASSERT_TRUE(keepRaceBest(folder, key, track.title, best, &message)) << message;
  std::string shown = "Zarvanto Park: 1:23.90, driven 2026-12-07T10:15:02Z\n  " + path +
                      "\n  best race of 1 lap, easy: 0:20.41, raced 2026-12-07T11:05:00Z"
                      "\n  best race of 3 laps, hard: 1:02.37, raced 2026-12-07T11:00:00Z\n";
  EXPECT_EQ(runCommand(tool + " records " + tracks + "/Default.tck", &output), 0);
  EXPECT_EQ(output, shown);
  EXPECT_EQ(runCommand(tool + " records " + tracks + "/Flat.tck", &output), 0);
  EXPECT_EQ(output.substr(0, output.find('\n')), "Flatlands Hairpin: no record kept");
  std::ofstream(folder + "/bad.rec") << "#Zarvanto record 3\n";
  EXPECT_EQ(runCommand(tool + " records", &output), 1);
  EXPECT_EQ(output,
            shown + folder + "/bad.rec: a record of a later version of the game (record format 3), left as it is\n");
}

TEST(TrackTool, ImportWithoutOutputWritesIntoThePlayersTracksAndNeverOverwrites) {
  std::string home = writeTrackFile("import-home", ""),
              route = writeTrackFile("loop.csv", "0,0\n0,300\n300,300\n300,0\n");
  std::filesystem::remove(home);
  std::string tool = "HOME=" + home + " XDG_DATA_HOME= " + ZARVANTO_TRACK_TOOL + " import " + route, output;
  std::string folder = home + "/.local/share/zarvanto/tracks/";
  for (std::string name : {"loop.tck", "loop 2.tck"}) {
    ASSERT_EQ(runCommand(tool, &output), 0) << output;
    EXPECT_EQ(output.substr(output.rfind("wrote ")), "wrote " + folder + name + "\n");
    EXPECT_EQ(fileText(folder + name).substr(0, 12), "#Track\nloop\n");
  }
}

// The targets of the shipped tracks and a ring: the reviewed text on every run. How gold stands
// to the track and the medals to gold are the race's own tests.
TEST(TrackTool, TargetsAreTheReviewedOnesOnEveryRun) {
  std::string ring;
  for (int i = 0; i < 60; i++)
    ring +=
        std::to_string(300.0 * std::sin(i * pi / 30)) + " " + std::to_string(300.0 * std::cos(i * pi / 30)) + " 0\n";
  std::vector<std::string> files = tracksIn(ZARVANTO_TRACKS_DIR);
  files.push_back(writeTrackFile("target-ring.tck", trackText(ring, "Ring")));
  std::string command = ZARVANTO_TRACK_TOOL + std::string(" targets"), output;
  for (const std::string& file : files) command += " " + file;
  ASSERT_EQ(runCommand(command, &output), 0) << output;
  expectReviewed("targets.txt", output);
}

// A record on its way to a friend: exported from one home and added in another that has the
// track, where the listing shows it at its time; adding it again files nothing new, and the
// friend's own record is untouched.
TEST(TrackTool, ARecordExportedIsAddedAsAFriendsLap) {
  std::string homes = writeTrackFile("friend-homes", ""), tracks = ZARVANTO_TRACKS_DIR, message, output;
  std::filesystem::remove(homes);
  std::string tool = std::string(" XDG_DATA_HOME= ") + ZARVANTO_TRACK_TOOL, sent = homes + "/lap.rec";
  TTrack track;
  ASSERT_EQ(track.load((tracks + "/Flat.tck").c_str()), loadOk);
  std::string key = trackKey(track), mine = recordPath(homes + "/mine/.local/share/zarvanto/records", key);
  // Along the centre line at 50 units a second, a sample at every waypoint.
  LapRecord lap = {0.0f, "2026-12-07T10:15:02Z", "1.0.0", track.title, {}};
  for (int32_t i = 0; i <= track.waypointCount; i++) {
    if (i > 0) lap.lapTime += distance(track.waypoints[i - 1], track.waypoints[i]) / 50.0f;
    lap.ghost.push_back({lap.lapTime, track.waypoints[i], 0.0f});
  }
  ASSERT_TRUE(writeRecord(mine, key, lap, &message)) << message;
  ASSERT_EQ(runCommand("HOME=" + homes + "/mine" + tool + " records " + tracks + "/Flat.tck --export " + sent, &output),
            0);
  LapRecord theirs = lap;
  theirs.lapTime = 40.0f;
  std::string friendHome = "HOME=" + homes + "/friend" + tool,
              own = recordPath(homes + "/friend/.local/share/zarvanto/records", key);
  ASSERT_TRUE(writeRecord(own, key, theirs, &message)) << message;
  for (std::string filed : {"filed", "already filed"}) {
    ASSERT_EQ(runCommand(friendHome + " records --add " + sent, &output), 0) << output;
    EXPECT_EQ(output.substr(0, output.find('\n')), "Flatlands Hairpin: a friend's lap of 0:29.43 " + filed);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(homes + "/friend/.local/share/zarvanto/friends"), {}), 1);
  ASSERT_EQ(runCommand(friendHome + " records", &output), 0);
  EXPECT_NE(output.find("Flatlands Hairpin: 0:40.00, driven"), std::string::npos) << output;
  EXPECT_NE(output.find("\n  friend's lap: 0:29.43, driven 2026-12-07T10:15:02Z\n"), std::string::npos) << output;
  LapRecord read;
  ASSERT_EQ(readRecord(own, key, &read, &message), recordRead);
  EXPECT_EQ(read.lapTime, 40.0f);
}

// What --add must refuse: each is told in one line, and nothing is filed, not even a folder.
TEST(TrackTool, HostileFilesGivenToAddAreRefusedAndNothingIsFiled) {
  std::string home = writeTrackFile("hostile-add-home", ""), message, output;
  std::filesystem::remove(home);
  std::string folder = home + "/files", tool = "HOME=" + home + " XDG_DATA_HOME= " + ZARVANTO_TRACK_TOOL + " records";
  std::filesystem::create_directories(folder + "/folder.rec");
  LapRecord lap = {20.0f, "2026-12-07T10:15:02Z", "1.0.0", "Nowhere", {}};
  std::string unknown = formatRecord(std::string(64, 'a'), lap);
  for (auto [name, text, why] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"garbage.rec",
            "\x7f"
            "ELF\x02\x01 garbage\n",
            "not a Zarvanto record"},
           {"later.rec", "#Zarvanto record 3\ntrack x\n", "a record of a later version of the game (record format 3)"},
           {"unknown.rec", unknown, "a record of \"Nowhere\", a track that is neither shipped nor yours"},
           {"cut.rec", unknown.substr(0, unknown.size() - 3), "damaged at line 9: cut short"},
           {"bad-key.rec", "#Zarvanto record 2\ntrack ../../x\n", "damaged at line 2: no track key"},
           {"folder.rec", "", "a folder, not a record"},
           {"missing.rec", "", "no such file"}}) {
    std::string path = folder + "/" + name;
    if (!text.empty()) std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(runCommand(tool + " --add " + path + " 2>&1", &output), 1) << name;
    EXPECT_EQ(output, "zarvanto-track: " + path + ": " + why + "; nothing filed\n");
  }
  EXPECT_FALSE(std::filesystem::exists(home + "/.local"));
}

}  // namespace
