// The kept records: a track's key, a record's way to disk and back, and the files refused.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "records/record.h"
#include "tests/test_support.h"

namespace {

// The data folders in a fresh folder of the tests', never the player's.
std::string privateRecordsFolder(const std::string& name) {
  std::string home = writeTrackFile(name, "");
  std::filesystem::remove(home);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_DATA_HOME", "relative/is/passed/over", 1);
  return recordsFolder();
}

std::string keyOf(const std::string& text, const std::string& name) {
  TTrack track;
  EXPECT_EQ(track.load(writeTrackFile(name, text).c_str()), loadOk);
  return trackKey(track);
}

// Floats whose shortest digits are long, tiny or huge.
LapRecord aRecord(size_t samples) {
  LapRecord record = {83.25f, "2026-12-07T10:15:02Z", "1.0.0", "Test track", {}, medalSilver, {0.0f, 20.5f}};
  for (size_t i = 0; i < samples; i++)
    record.ghost.push_back({0.1f * float(i), {std::nextafter(1.0f, 2.0f), -3.4e38f, 1e-38f}, float(pi) * float(i)});
  return record;
}

// Every bit of the record.
std::string bits(const LapRecord& r) {
  return std::string(reinterpret_cast<const char*>(&r.lapTime), sizeof r.lapTime) + r.date + "|" + r.version + "|" +
         r.title + std::string(reinterpret_cast<const char*>(r.ghost.data()), r.ghost.size() * sizeof(GhostSample)) +
         medalName(r.medal) + std::string(reinterpret_cast<const char*>(r.splits.data()), r.splits.size() * 4);
}

TEST(Records, KeyFollowsTheTrackAndARecordComesBackBitForBit) {
  std::string text = trackText(flatSquare), key = keyOf(text, "a.tck");
  EXPECT_EQ(keyOf(text, "b.tck"), key);
  EXPECT_NE(keyOf(trackText("0 0 0\n0 100 0\n100 100 0.001\n100 0 0\n"), "c.tck"), key);
  EXPECT_NE(keyOf(trackText(flatSquare, "Test track 2"), "d.tck"), key);

  LapRecord record = aRecord(3), read;
  std::string file = formatRecord(key, record), why, message;
  ASSERT_EQ(parseRecord(file.data(), file.size(), key, &read, &why), recordRead) << why;
  EXPECT_EQ(bits(read), bits(record));
  std::string path = recordPath(privateRecordsFolder("round-trip"), key);
  ASSERT_TRUE(writeRecord(path, key, record, &message)) << message;  // its folders made too
  ASSERT_EQ(readRecord(path, key, &read, &message), recordRead) << message;
  EXPECT_EQ(std::make_tuple(bits(read), fileText(path)), std::make_tuple(bits(record), file));
}

// The player's folders as the base directories say: an unset, empty or relative variable is
// passed over, trailing slashes are dropped and the root stays the root.
TEST(Records, PlayersFoldersFollowTheBaseDirectories) {
  using Row = std::tuple<const char*, const char*, const char*, std::string>;
  for (auto [data, home, config, wanted] :
       std::vector<Row>{{"/data//", "/home", nullptr, "/data/zarvanto /home/.config/zarvanto"},
                        {"//", "home", "/", "/zarvanto /zarvanto"},
                        {"", "/home/", "", "/home/.local/share/zarvanto /home/.config/zarvanto"},
                        {"data", "/", "config", "/.local/share/zarvanto /.config/zarvanto"},
                        {nullptr, "home", nullptr, " "}}) {
    for (auto [name, value] : {std::pair{"XDG_DATA_HOME", data}, {"HOME", home}, {"XDG_CONFIG_HOME", config}})
      value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    EXPECT_EQ(playerDataFolder() + " " + playerConfigFolder(), wanted);
  }
  EXPECT_EQ(recordsFolder() + playerTracksFolder() + recordPath("", "key"), "");  // nowhere to keep them
}

// Lines of a good record put in place of its own (line 14 is past the end), and the refusal.
TEST(Records, EachMalformedLineIsRefusedSayingWhatIsWrong) {
  std::string key(64, 'a'), good = formatRecord(key, aRecord(2)), why;
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = good.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(good.substr(at, end - at));
  const std::string title = "3: no title of at most 254 characters";
  for (const auto& [line, wanted, texts] : std::vector<std::tuple<size_t, std::string, std::vector<std::string>>>{
           {1,
            "not a Zarvanto record",
            {"#Zarvanto record", "#Zarvanto record ", "#Zarvanto record 0", "#Zarvanto record -1",
             "#Zarvanto record 1x", "#Zarvanto records 1"}},
           {1,
            "a record of a later version of the game (record format 99999999999999999999)",
            {"#Zarvanto record 9999999999999999999999999"}},
           {2, "not a record of this track", {"track " + std::string(64, 'b')}},
           {2, "2: no track key", {"track", "tracks " + key}},
           {3, title, {"title " + std::string(255, 't'), std::string("title a\0b", 9)}},
           {4,
            "4: the lap time is not a number of seconds above 0",
            {"lap 0", "lap -0", "lap -1", "lap 1e39", "lap nan", "lap 5 ", "lap"}},
           {5, "5: no date of at most 64 characters", {"date " + std::string(65, '2')}},
           {6, "6: no game version of at most 64 characters", {"versions 1.0.0"}},
           {7, "7: no medal: none, bronze, silver or gold", {"medal", "medal platinum", "medal gold ", "medals none"}},
           {8,
            "8: the count of waypoint times is not one from 0 to 4000000",
            {"splits -1", "splits 4000001", "splits", "splits 2 "}},
           {10, "10: not a waypoint time after the one before", {"0", "x", "-21", "21 "}},
           {11, "11: no count of ghost samples", {"samples"}},
           {11,
            "11: the count of ghost samples is not one from 0 to 100000",
            {"samples -1", "samples 100001", "samples 2x"}},
           {12,
            "12: not a ghost sample: time, x, y, z and heading",
            {"0 1 2 3", "0 1 2 3 4 ", "0  1 2 3 4", " 0 1 2 3 4", "-1 1 2 3 4", "0 1 2 3 inf", "0 1 2 3 4 5"}},
           {13, "13: a ghost sample out of time order", {"0 1 2 3 4"}},
           {14, "14: more after the last ghost sample", {"1 1 2 3 4"}},
           {11, "14: cut short", {"samples 100000"}}}) {
    for (const std::string& text : texts) {
      std::string bad;
      for (size_t i = 1; i <= std::max(lines.size(), line); i++) bad += (i == line ? text : lines[i - 1]) + "\n";
      LapRecord record;
      EXPECT_EQ(parseRecord(bad.data(), bad.size(), key, &record, &why), recordRefused) << text;
      EXPECT_EQ(why, std::isdigit(wanted[0]) ? "damaged at line " + wanted : wanted) << text;
    }
  }
}

TEST(Records, HostileFilesAreRefusedInOneLineAndLeftAsTheyAre) {
  std::string folder = privateRecordsFolder("hostile"), key(64, 'a'), good = formatRecord(key, aRecord(2));
  for (auto [name, text, why] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"truncated", good.substr(0, good.rfind('\n', good.size() - 2) + 1), "damaged at line 13: cut short"},
           {"garbage", "\x01\xff garbage\n", "not a Zarvanto record"},
           {"huge", "", "larger than any record (8 MiB)"},
           {"folder", "", "a folder, not a record"},
           {"unreadable", "", "can't be read: Input/output error"}}) {  // a process's memory at its unmapped start
    std::string path = recordPath(folder + "/" + name, key), message;
    std::filesystem::create_directories(name == "folder" ? path : folder + "/" + name);
    if (name == "unreadable") std::filesystem::create_symlink("/proc/self/mem", path);
    if (name != "folder" && name != "unreadable") std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(name != "huge" || truncate(path.c_str(), maxRecordBytes + 1) == 0);  // sparse
    std::string before = fileText(path);
    LapRecord record;
    EXPECT_EQ(readRecord(path, key, &record, &message), recordRefused) << name;
    EXPECT_EQ(std::make_tuple(message, std::filesystem::exists(path), fileText(path)),
              std::make_tuple(path + ": " + why + ", left as it is", true, before));  // the path names the case
  }
}

TEST(Records, AFailedWriteKeepsTheOldRecordAndLeavesNothingElse) {
  std::string folder = privateRecordsFolder("failed-write"), key(64, 'c'), path = recordPath(folder, key), message;
  ASSERT_TRUE(writeRecord(path, key, aRecord(2), &message)) << message;
  // A disk that fills up part way through the new record.
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  rlimit small = {4096, limit.rlim_max};
  sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_FALSE(writeRecord(path, key, aRecord(1000), &message));
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, handler);
  EXPECT_EQ(message, path + ": the new record can't be written: File too large");
  // A folder that can't be made, as a file stands in its place.
  std::string blocked = recordPath(path + "/records", key);
  EXPECT_FALSE(writeRecord(blocked, key, aRecord(1), &message));
  EXPECT_EQ(message, blocked + ": the new record can't be written: its folder can't be made: Not a directory");
  // A folder in the record's place, a folder no file can be made in, and no folder at all.
  for (auto [at, why] :
       {std::pair(folder, "Is a directory"), {"/proc/self/r", "No such file or directory"}, {"", ""}}) {
    EXPECT_FALSE(writeRecord(at, key, aRecord(1), &message));
    EXPECT_EQ(message, at.empty() ? "no record can be kept: neither XDG_DATA_HOME nor HOME names an absolute folder"
                                  : at + ": the new record can't be written: " + why);
  }
  LapRecord read;
  ASSERT_EQ(readRecord(path, key, &read, &message), recordRead) << message;
  EXPECT_EQ(bits(read), bits(aRecord(2)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

// The record's lap time at each waypoint: its own when it kept them for this track, else where
// its ghost first comes within 8 units of each in turn, as a record of format 1 must have them.
TEST(Records, SplitsComeFromTheRecordOrElseAlongItsGhost) {
  std::string text = trackText("0 0 8\n0 100 8\n100 100 8\n100 0 8\n"), key = keyOf(text, "splits.tck"), why;
  TTrack track;
  ASSERT_EQ(track.loadText(text.data(), text.size()), loadOk);
  // Round the square's 400 units, level 8 units up, at 10 a second, a sample every 5 units: 100
  // units to a waypoint; slower over the last 5 units before it, and the sample before them 8.05
  // units short, just out of reach. So the time a waypoint comes within reach is found between the
  // two samples that reach it, neither stretched from the two before nor taken as the first's.
  std::string old = "#Zarvanto record 1\ntrack " + key + "\ntitle Test track\nlap 40\ndate d\nversion 1\nsamples 81\n";
  for (int i = 0; i <= 80; i++) {
    Vec3 a = track.waypoints[i / 20], b = track.waypoints[std::min(i / 20 + 1, 4)];
    float f = (float(i % 20) + (i % 20 == 18 ? 0.39f : 0.0f)) / 20.0f;
    old += std::to_string(0.5 * i + (i % 20 == 19 ? 0.3 : 0.0)) + " " + std::to_string(a.x + f * (b.x - a.x)) + " 8 " +
           std::to_string(a.z + f * (b.z - a.z)) + " 0\n";
  }
  LapRecord record;
  ASSERT_EQ(parseRecord(old.data(), old.size(), key, &record, &why), recordRead) << why;
  EXPECT_TRUE(record.splits.empty());
  std::vector<float> splits;
  lapSplits(track, record, &splits);
  ASSERT_EQ(splits.size(), 4u);
  for (size_t i = 0; i < 4; i++) EXPECT_NEAR(splits[i], 9.0131f + 10.0f * float(i), 1e-4f) << i;
  record.splits = {10.0f, 20.0f, 30.0f, 40.0f};
  std::string kept = formatRecord(key, record);
  ASSERT_EQ(parseRecord(kept.data(), kept.size(), key, &record, &why), recordRead) << why;
  lapSplits(track, record, &splits);
  EXPECT_EQ(splits, record.splits);
  record.splits.pop_back();  // not this track's: found along the ghost again
  lapSplits(track, record, &splits);
  EXPECT_NEAR(splits[3], 39.0131f, 1e-4f);
}

}  // namespace
