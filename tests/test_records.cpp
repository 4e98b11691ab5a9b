// The kept records: a track's key, a record's way to disk and back, and the files refused.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

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
  LapRecord record = {83.25f, "2026-12-07T10:15:02Z", "1.0.0", "Test track", {}};
  for (size_t i = 0; i < samples; i++)
    record.ghost.push_back({0.1f * float(i), {std::nextafter(1.0f, 2.0f), -3.4e38f, 1e-38f}, float(pi) * float(i)});
  return record;
}

// Every bit of the record.
std::string bits(const LapRecord& r) {
  return std::string(reinterpret_cast<const char*>(&r.lapTime), sizeof r.lapTime) + r.date + "|" + r.version + "|" +
         r.title + std::string(reinterpret_cast<const char*>(r.ghost.data()), r.ghost.size() * sizeof(GhostSample));
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
  EXPECT_EQ(bits(read), bits(record));
  EXPECT_EQ(fileText(path), file);
}

TEST(Records, HostileFilesAreRefusedInOneLineAndLeftAsTheyAre) {
  std::string folder = privateRecordsFolder("hostile"), key(64, 'a'), good = formatRecord(key, aRecord(2));
  std::string later = "#Zarvanto record 2" + good.substr(good.find('\n'));
  for (auto [name, text, why] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"truncated", good.substr(0, good.size() - 6), "damaged at line 9: cut short"},
           {"garbage", "\x01\xff garbage\n", "not a Zarvanto record"},
           {"later", later, "a record of a later version of the game (record format 2)"},
           {"other", formatRecord(std::string(64, 'b'), aRecord(1)), "not a record of this track"},
           {"huge", "", "larger than any record (8 MiB)"},
           {"folder", "", "a folder, not a record"}}) {
    std::string path = recordPath(folder + "/" + name, key), message;
    std::filesystem::create_directories(name == "folder" ? path : folder + "/" + name);
    if (name != "folder") std::ofstream(path, std::ios::binary) << text;
    ASSERT_TRUE(name != "huge" || truncate(path.c_str(), maxRecordBytes + 1) == 0);  // sparse
    std::string before = fileText(path);
    LapRecord record;
    EXPECT_EQ(readRecord(path, key, &record, &message), recordRefused) << name;
    EXPECT_EQ(message, path + ": " + why + ", left as it is");
    EXPECT_TRUE(std::filesystem::exists(path)) << name;
    EXPECT_EQ(fileText(path), before) << name;
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
  LapRecord read;
  ASSERT_EQ(readRecord(path, key, &read, &message), recordRead) << message;
  EXPECT_EQ(bits(read), bits(aRecord(2)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
