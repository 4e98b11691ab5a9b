// The best race time of every lap count and level on a track, kept beside its record lap in a
// small text file of its own, found by the same track key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/record.h"

constexpr const char* raceRecordExtension = ".races";  // after the track key
constexpr long maxRaceRecordBytes = 64L << 10;         // bytes; a larger file is not the game's

struct RaceBest {
  int32_t laps;       // 1 to 99
  std::string level;  // "easy", "medium" or "hard": one word
  float time;         // seconds from go to the finish
  std::string date;   // when it was raced, UTC
};

// folder/key.races; "" when the folder is "".
std::string raceRecordPath(const std::string& folder, const std::string& key);
// The bests kept for the track with this key: recordNone when there is no file yet; refused, with
// *message naming the file and why, when it is there but can't be read or is not the game's.
RecordRead readRaceBests(const std::string& path, const std::string& key, std::vector<RaceBest>* bests,
                         std::string* message);
// The file's text for the track's key and title.
std::string formatRaceBests(const std::string& key, const std::string& title, const std::vector<RaceBest>& bests);
// Keeps best when it beats the time kept for its laps and level, or none is kept, written the safe
// way; a file there the game can't read is left as it is. True when best was kept; *message says
// why not when the file could not be read or written, and is empty otherwise.
bool keepRaceBest(const std::string& folder, const std::string& key, const std::string& title, const RaceBest& best,
                  std::string* message);
