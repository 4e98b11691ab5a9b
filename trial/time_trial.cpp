// The record of this track and its ghost: read once at start, raced every lap, and replaced by a
// better lap. Writing a file through to the disk can take longer than many frames, so records
// are written on a thread of their own; the game hands it a copy and races on. Beside it the
// targets, driven once per track and game version and kept, and a friend's best lap.
#include "trial/time_trial.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

#include "cars/player.h"
#include "race/state.h"
#include "records/record.h"
#include "records/worker.h"
#include "track/track.h"

constexpr size_t dateRoom = 32;  // characters kept for a record's date, so setting one never allocates
// A track of more waypoints drives its gold lap aside: 0.2 s and more before the first frame otherwise.
constexpr int32_t goldAsideWaypoints = 10000;

// What the head-up display shows of the trial: zero until a trial opens, an event's time -1 until it comes.
bool recordKept;
float recordLapTime;
float newRecordTime = -1.0f;
uint8_t ghostChoice = ghostOfRecord;
float ghostChoiceTime = -1.0f;
bool ghostPlaced;
GhostSample ghostPose;
bool targetsKnown;
LapTargets lapTargets;
uint8_t medalHeld = medalNone;
float medalWonTime = -1.0f;
bool friendKept;
float friendLapTime;
float splitGap;
float splitTime = -1.0f;

static std::string recordFile;            // where this track's record is kept; empty: nowhere to keep it
static std::string recordKey;             // the track as loaded, which the record must name
static bool recordUnreadable = false;     // the file there could not be read, so it is never written
static LapRecord kept;                    // the record raced
static GhostLap lap;                      // the lap being driven
static LapRecord goldLap;                 // the hard rival's lap: the gold target and its ghost
static LapRecord friendLap;               // the fastest friend's lap
static std::vector<float> recordSplits;   // the record's lap seconds at waypoints 1 on; room for every waypoint
static std::vector<float> lapSplitTimes;  // this lap's, one for every waypoint
static float placedAt = 0.0f;             // the lap time the ghost was last placed at

static TWorker goldDriver;        // drives a long track's gold lap while the game runs
static LapRecord drivenGold;      // under goldDriver.lock: the lap driven, with its time and ghost
static bool goldDriven = false;   // under goldDriver.lock: drivenGold is ready to take
static bool goldAwaited = false;  // the driver was handed the lap and its result is not taken yet
static std::string goldPath;      // where a lap driven aside is kept; empty: nowhere

static TWorker saver;     // writes the records; not started when they cannot be kept
static LapRecord toSave;  // under saver.lock: the record the saver writes next
static LapRecord saving;  // the saver's own copy, written without the lock

static void saveRecord() {
  {
    std::lock_guard<std::mutex> hold(saver.lock);
    saving = toSave;
  }
  std::string message;
  if (!writeRecord(recordFile, recordKey, saving, &message)) std::fprintf(stderr, "%s\n", message.c_str());
}

static const LapRecord* chosenLap(uint8_t choice) {
  if (choice == ghostOfRecord && recordKept) return &kept;
  if (choice == ghostOfGold && targetsKnown) return &goldLap;
  if (choice == ghostOfFriend && friendKept) return &friendLap;
  return nullptr;
}

static void placeGhost(float lapTime) {
  const LapRecord* chosen = chosenLap(ghostChoice);
  placedAt = lapTime;
  ghostPlaced =
      chosen != nullptr && ghostPoseAt(chosen->ghost.data(), int32_t(chosen->ghost.size()), lapTime, &ghostPose);
}

static void writeDate(char (&date)[dateRoom]) {
  std::time_t seconds = std::time(nullptr);
  std::tm utc = {};
  gmtime_r(&seconds, &utc);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
}

// The gold lap driven on the track raced, dated and named, and kept at path unless path is empty.
static bool driveGold(LapRecord* gold, const std::string& path) {
  *gold = LapRecord{};
  if (!driveGoldLap(*track, &gold->lapTime, &gold->ghost)) return false;
  char date[dateRoom];
  writeDate(date);
  gold->date = date;
  gold->title = track->title;
  gold->version = ZARVANTO_VERSION;
  std::string message;
  if (!path.empty() && !writeRecord(path, recordKey, *gold, &message)) std::fprintf(stderr, "%s\n", message.c_str());
  return true;
}

static void driveGoldAside() {
  LapRecord gold;
  bool driven = driveGold(&gold, goldPath);
  std::lock_guard<std::mutex> hold(goldDriver.lock);
  drivenGold = std::move(gold);
  goldDriven = driven;
}

// The targets known now: the medal a record kept before medals were has, and the next to beat.
static void knowTargets() {
  targetsKnown = true;
  lapTargets = targetsFromGold(goldLap.lapTime);
  if (recordKept) kept.medal = std::max(kept.medal, medalWon(kept.lapTime, lapTargets));
  medalHeld = recordKept ? kept.medal : uint8_t(medalNone);
}

// The targets kept for this track by this version of the game, or else the gold lap driven now
// (aside for a long track) and kept for the chooser and the next game, unless the file there
// can't be read.
static void openTargets(const std::string& folder) {
  std::string path = targetsPath(folder, recordKey), message;
  RecordRead read = folder.empty() ? recordNone : readRecord(path, recordKey, &goldLap, &message);
  if (read == recordRefused) std::fprintf(stderr, "%s\n", message.c_str());
  if (read == recordRead && goldLap.version == ZARVANTO_VERSION) return knowTargets();
  goldPath = folder.empty() || read == recordRefused ? "" : path;
  if (track->waypointCount <= goldAsideWaypoints) {
    if (driveGold(&goldLap, goldPath)) knowTargets();
    return;
  }
  goldDriven = false;
  goldAwaited = true;
  startWorker(&goldDriver, driveGoldAside);
  handWork(&goldDriver);
}

// A gold lap driven aside, taken once it is ready, without waiting for the driver.
static void takeDrivenGold() {
  std::unique_lock<std::mutex> hold(goldDriver.lock, std::try_to_lock);
  if (!hold.owns_lock() || !goldDriven) return;
  goldAwaited = false;
  goldLap.lapTime = drivenGold.lapTime;
  goldLap.ghost.swap(drivenGold.ghost);
  knowTargets();
}

static void startLap() {
  startGhostLap(&lap);
  sampleGhostLap(&lap, 0.0f, player->position, player->heading, false);
  placeGhost(0.0f);
}

void openTimeTrial() {
  recordKept = false;
  newRecordTime = -1.0f;
  recordUnreadable = false;
  recordFile.clear();
  kept = LapRecord{};
  makeGhostLap(&lap);
  medalHeld = medalNone;
  medalWonTime = -1.0f;
  splitTime = -1.0f;
  ghostChoice = ghostOfRecord;
  ghostChoiceTime = -1.0f;
  std::string folder = recordsFolder();
  recordKey = trackKey(*track);
  if (!folder.empty()) {
    recordFile = recordPath(folder, recordKey);
    std::string message;
    switch (readRecord(recordFile, recordKey, &kept, &message)) {
      case recordRead:
        recordKept = true;
        recordLapTime = kept.lapTime;
        break;
      case recordRefused:
        std::fprintf(stderr, "%s\n", message.c_str());
        recordUnreadable = true;
        kept = LapRecord{};  // nothing half read is raced
        break;
      case recordNone: break;
    }
  }
  medalHeld = recordKept ? kept.medal : uint8_t(medalNone);
  openTargets(folder);
  friendKept = bestFriendRecord(recordKey, &friendLap);
  friendLapTime = friendLap.lapTime;
  size_t waypoints = size_t(track->waypointCount);
  recordSplits.reserve(waypoints);
  if (recordKept) lapSplits(*track, kept, &recordSplits);
  lapSplitTimes.assign(waypoints, 0.0f);
  // Room for the longest lap, so a new record is taken over without allocating.
  kept.ghost.reserve(size_t(maxGhostSamples));
  kept.splits.reserve(waypoints);
  kept.date.reserve(dateRoom);
  kept.title = track->title;
  kept.version = ZARVANTO_VERSION;
  toSave = kept;
  toSave.ghost.reserve(size_t(maxGhostSamples));
  toSave.splits.reserve(waypoints);
  toSave.date.reserve(dateRoom);
  if (!recordFile.empty() && !recordUnreadable) startWorker(&saver, saveRecord);
  startLap();
}

void closeTimeTrial() {
  recordKept = false;
  ghostPlaced = false;
  targetsKnown = false;
  friendKept = false;
  goldAwaited = false;
  stopWorker(&goldDriver);
  stopWorker(&saver);
}

void stepTimeTrial(float now) {
  if (lap.samples.empty()) return;  // not opened: no race of this game is timed against a record
  if (goldAwaited) takeDrivenGold();
  float lapTime = now - lapStartTime - pausedTime;
  sampleGhostLap(&lap, lapTime, player->position, player->heading, false);
  placeGhost(lapTime);
}

static void setRecord(const RaceEvent& event) {
  char date[dateRoom];
  writeDate(date);
  kept.lapTime = event.lapTime;
  kept.date = date;
  kept.medal = medalHeld;
  kept.splits.assign(lapSplitTimes.begin(), lapSplitTimes.end());
  recordSplits.assign(lapSplitTimes.begin(), lapSplitTimes.end());
  kept.ghost.assign(lap.samples.begin(), lap.samples.begin() + lap.count);
  recordKept = true;
  recordLapTime = event.lapTime;
  newRecordTime = event.time;
  if (saver.job == nullptr) return;
  {
    std::lock_guard<std::mutex> hold(saver.lock);
    toSave = kept;
  }
  handWork(&saver);
}

// The lap time at the waypoint, and the gap to the record's lap there.
static void timeWaypoint(int32_t waypoint, float lapTime, float now) {
  if (waypoint < 1 || size_t(waypoint) > lapSplitTimes.size()) return;
  lapSplitTimes[size_t(waypoint - 1)] = lapTime;
  if (size_t(waypoint) > recordSplits.size()) return;
  splitGap = lapTime - recordSplits[size_t(waypoint - 1)];
  splitTime = now;
}

void keepRaceEvent(const RaceEvent& event) {
  if (lap.samples.empty()) return;
  // A race against rivals starts its lap clock at go, after the countdown.
  if (event.kind == eventNewRace || (event.kind == eventCountdown && event.waypoint == 0)) startLap();
  if (event.kind == eventWaypointReached)
    timeWaypoint(event.waypoint, event.time - lapStartTime - pausedTime, event.time);
  if (event.kind != eventLapCompleted) return;
  timeWaypoint(event.waypoint, event.lapTime, event.time);
  sampleGhostLap(&lap, event.lapTime, player->position, player->heading, true);
  uint8_t won = targetsKnown ? medalWon(event.lapTime, lapTargets) : uint8_t(medalNone);
  if (won > medalHeld) {
    medalHeld = won;
    medalWonTime = event.time;
  }
  if (!recordKept || event.lapTime < kept.lapTime) setRecord(event);
  startLap();
}

void cycleGhost(float now) {
  // Past the laps this track has none of, to none at the last.
  do ghostChoice = uint8_t((ghostChoice + 1) % (ghostHidden + 1));
  while (ghostChoice != ghostHidden && chosenLap(ghostChoice) == nullptr);
  ghostChoiceTime = now;
  placeGhost(placedAt);
}

const char* ghostChoiceName(uint8_t choice) {
  static const char* const names[] = {"record", "gold", "friend", "none"};
  return names[choice <= ghostHidden ? choice : uint8_t(ghostHidden)];
}
