// The kept record of every track: the best lap ever driven on it and that lap's ghost, one small
// text file per track in the player's data folder, found by the track's content rather than its
// file name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ghost/ghost.h"

class TTrack;

// Format 2 adds the medal and the lap time at every waypoint; format 1 is still read.
constexpr int recordFormat = 2;                    // the format this game writes and the latest it reads
constexpr long maxRecordBytes = 8L << 20;          // bytes of a record file; larger ones are not read
constexpr long maxRecordSamples = 100000;          // 8 MiB holds this many samples at their longest
constexpr size_t maxRecordLabelLength = 64;        // characters of the date and of the game version
constexpr const char* recordExtension = ".rec";    // after the track key in a record's file name
constexpr const char* targetsExtension = ".gold";  // after the track key: the gold lap, a record of its own
constexpr size_t friendDigestLength = 16;          // hex digits of a friend's file's digest in its name

constexpr float noLapYet = 2147483648.0f;  // lap times above this are the "no lap" start value

// Writes a lap time as the head-up display and the track tool show it: minutes:seconds, seconds
// unpadded ("1:5"), or "-" for no lap yet.
void formatTime(float seconds, char (&text)[16]);
// A race time to hundredths, "1:02.37": minutes, seconds and hundredths; negative times as 0.
void formatRaceTime(float seconds, char (&text)[24]);

enum TMedal : uint8_t { medalNone, medalBronze, medalSilver, medalGold };

// "gold", "silver", "bronze"; "none" for medalNone and anything beyond gold.
const char* medalName(uint8_t medal);

struct LapRecord {
  float lapTime;                   // seconds
  std::string date;                // when it was driven, UTC, "2026-12-07T10:15:02Z"
  std::string version;             // the game version that drove it
  std::string title;               // the track's title, for listings
  std::vector<GhostSample> ghost;  // in strictly rising lapTime order
  uint8_t medal = medalNone;       // the best target it beat
  std::vector<float> splits = {};  // lap seconds at each waypoint reached, the lap's end last, rising;
                                   // empty in a record of format 1
  std::string track = {};          // the key of the track it was driven on, as its file names it
};

// The track as loaded, known by its content: the hex SHA-256 of its title and the bits of every
// waypoint's x, y and z. A renamed or copied track keeps its key; any edit gives a new one.
std::string trackKey(const TTrack& track);
// The player's own folders: $XDG_DATA_HOME/zarvanto, else $HOME/.local/share/zarvanto, and
// $XDG_CONFIG_HOME/zarvanto, else $HOME/.config/zarvanto. An unset, empty or relative variable is
// passed over, and so is a relative HOME. "" when neither gives a place.
std::string playerDataFolder();
std::string playerConfigFolder();
// The folder at besideProgram (from "/..") where the program is installed, else inSources, where
// the program was built from: so a game run from its build finds what its source ships.
std::string installedFolder(const char* besideProgram, const char* inSources);
// The shipped tracks: beside an installed program its share/games/zarvanto/tracks, else the tracks
// of the source it was built from.
std::string shippedTracksFolder();
// The player's own tracks and the kept records, in the data folder; "" when it has no place.
std::string playerTracksFolder();
std::string recordsFolder();
// Makes each missing folder of the path, private to the player as the data folders are.
bool makeFolders(const std::string& folder);
// Makes the file's folder as needed, writes text to a new file beside path and renames it over
// path, so what was there stays whole until the new text is safely on disk. On failure *why says
// why and no temporary file is left.
bool replaceFile(const std::string& path, const std::string& text, std::string* why);
// folder/key.rec; "" when the folder is "", which reads as no record and is never written.
std::string recordPath(const std::string& folder, const std::string& key);
// folder/key.gold, where the track's target lap is kept beside its record.
std::string targetsPath(const std::string& folder, const std::string& key);
// Friends' records added by the player, apart from the records the game writes: the data folder's
// friends; "" when it has no place.
std::string friendsFolder();
// folder/key-DIGEST.rec, the digest of the file's text: the same lap added twice is one file, and
// no two friends' laps share a name.
std::string friendRecordPath(const std::string& folder, const std::string& key, const std::string& text);
// The friends' record files of the track with this key, sorted; all of them for an empty key.
std::vector<std::string> friendRecordFiles(const std::string& folder, const std::string& key);
// The fastest friend's lap of the track that reads whole; false when none does.
bool bestFriendRecord(const std::string& key, LapRecord* record);
// The lap seconds at which the track's waypoints 1 to waypointCount were reached: the record's own
// when it kept them for this track, else where its ghost first comes within reach of each in turn.
// Fewer when the ghost never reaches the rest.
void lapSplits(const TTrack& track, const LapRecord& record, std::vector<float>* splits);

enum RecordRead : int {
  recordRead,     // *record holds it
  recordNone,     // there is no record file: nothing driven yet
  recordRefused,  // the file is there but can't be taken; *message says why
};

// Reads the record of the track with this key, or of any track for an empty key. When refused, *message is one line:
// the path and why (unreadable, too large, damaged, from a later game, for another track); the file is left as it is.
RecordRead readRecord(const std::string& path, const std::string& key, LapRecord* record, std::string* message);
// The same with *why the reason alone, without the path.
RecordRead readRecordFile(const std::string& path, const std::string& key, LapRecord* record, std::string* why);
// The same on a record file's size bytes in memory, which need not end in a NUL; *why is the
// reason alone, without the path. Never recordNone.
RecordRead parseRecord(const char* text, size_t size, const std::string& key, LapRecord* record, std::string* why);
// The file's text in the latest format. Floats are written so that they read back bit for bit.
std::string formatRecord(const std::string& key, const LapRecord& record);
// Makes the folder and its parents as needed, writes the record to a new file beside path and
// renames it over path, so the old record stays whole until the new one is safely on disk. A
// record that would not read back is not written. On failure *message is one line naming path,
// and no temporary file is left.
bool writeRecord(const std::string& path, const std::string& key, const LapRecord& record, std::string* message);
