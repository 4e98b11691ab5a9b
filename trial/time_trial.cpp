// The record of this track and its ghost: read once at start, raced every lap, and replaced by a
// better lap. Writing a file through to the disk can take longer than many frames, so records
// are written on a thread of their own; the game hands it a copy and races on.
#include "trial/time_trial.h"

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

bool recordKept = false;
float recordLapTime = 0.0f;
float newRecordTime = -1.0f;
bool ghostShown = true;
bool ghostPlaced = false;
GhostSample ghostPose = {};

static std::string recordFile;         // where this track's record is kept; empty: nowhere to keep it
static std::string recordKey;          // the track as loaded, which the record must name
static bool recordUnreadable = false;  // the file there could not be read, so it is never written
static LapRecord kept;                 // the record raced
static GhostLap lap;                   // the lap being driven

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

static void placeGhost(float lapTime) {
  ghostPlaced = recordKept && ghostPoseAt(kept.ghost.data(), int32_t(kept.ghost.size()), lapTime, &ghostPose);
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
  std::string folder = recordsFolder();
  if (!folder.empty()) {
    recordKey = trackKey(*track);
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
  // Room for the longest lap, so a new record is taken over without allocating.
  kept.ghost.reserve(size_t(maxGhostSamples));
  kept.date.reserve(dateRoom);
  kept.title = track->title;
  kept.version = ZARVANTO_VERSION;
  toSave = kept;
  toSave.ghost.reserve(size_t(maxGhostSamples));
  toSave.date.reserve(dateRoom);
  if (!recordFile.empty() && !recordUnreadable) startWorker(&saver, saveRecord);
  startLap();
}

void closeTimeTrial() {
  recordKept = false;
  ghostPlaced = false;
  stopWorker(&saver);
}

void stepTimeTrial(float now) {
  if (lap.samples.empty()) return;  // not opened: no race of this game is timed against a record
  float lapTime = now - lapStartTime - pausedTime;
  sampleGhostLap(&lap, lapTime, player->position, player->heading, false);
  placeGhost(lapTime);
}

static void setRecord(const RaceEvent& event) {
  char date[dateRoom];
  std::time_t seconds = std::time(nullptr);
  std::tm utc = {};
  gmtime_r(&seconds, &utc);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
  kept.lapTime = event.lapTime;
  kept.date = date;
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

void keepRaceEvent(const RaceEvent& event) {
  if (lap.samples.empty()) return;
  // A race against rivals starts its lap clock at go, after the countdown.
  if (event.kind == eventNewRace || (event.kind == eventCountdown && event.waypoint == 0)) startLap();
  if (event.kind != eventLapCompleted) return;
  sampleGhostLap(&lap, event.lapTime, player->position, player->heading, true);
  if (!recordKept || event.lapTime < kept.lapTime) setRecord(event);
  startLap();
}
