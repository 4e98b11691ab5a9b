// Best race times: read whole, the one beaten replaced, written beside the old file and renamed.
#include "records/race_record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

static const char raceHeader[] = "#Zarvanto races 1";

std::string raceRecordPath(const std::string& folder, const std::string& key) {
  return folder.empty() ? "" : folder + "/" + key + raceRecordExtension;
}

// Reads a regular file of at most maxRaceRecordBytes; a pipe put in its place is not waited on.
static bool readSmallFile(const std::string& path, std::string* text, std::string* why, bool* missing) {
  int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  *missing = descriptor < 0 && errno == ENOENT;
  if (descriptor < 0) {
    *why = std::string("can't be read: ") + std::strerror(errno);
    return false;
  }
  struct stat status;
  bool fine = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= maxRaceRecordBytes;
  if (!fine) *why = "not a file of race times";
  char buffer[4096];
  for (ssize_t got; fine && (got = read(descriptor, buffer, sizeof buffer)) != 0;) {
    if (got < 0 || text->size() + size_t(got) > size_t(maxRaceRecordBytes)) {
      *why = got < 0 ? std::string("can't be read: ") + std::strerror(errno) : "not a file of race times";
      fine = false;
    } else {
      text->append(buffer, size_t(got));
    }
  }
  close(descriptor);
  return fine;
}

RecordRead readRaceBests(const std::string& path, const std::string& key, std::vector<RaceBest>* bests,
                         std::string* message) {
  std::string text, why;
  bool missing = false;
  bests->clear();
  if (!readSmallFile(path, &text, &why, &missing)) {
    if (missing) return recordNone;
    *message = path + ": " + why + ", left as it is";
    return recordRefused;
  }
  std::istringstream lines(text);
  std::string line;
  bool fine = std::getline(lines, line) && line == raceHeader && std::getline(lines, line) && line == "track " + key &&
              std::getline(lines, line) && line.compare(0, 6, "title ") == 0;
  while (fine && std::getline(lines, line)) {
    RaceBest best;
    char level[16], date[64], extra;
    fine = std::sscanf(line.c_str(), "race %d %15s %f %63s%c", &best.laps, level, &best.time, date, &extra) == 4 &&
           best.laps >= 1 && best.laps <= 99 && best.time > 0.0f && best.time < noLapYet;
    best.level = level;
    best.date = date;
    if (fine) bests->push_back(best);
  }
  if (fine) return recordRead;
  bests->clear();
  *message = path + ": not a file of race times, left as it is";
  return recordRefused;
}

std::string formatRaceBests(const std::string& key, const std::string& title, const std::vector<RaceBest>& bests) {
  std::string text = std::string(raceHeader) + "\ntrack " + key + "\ntitle " + title + "\n";
  for (const RaceBest& best : bests) {
    char line[160];
    std::snprintf(line, sizeof line, "race %d %s %.9g %s\n", int(best.laps), best.level.c_str(), double(best.time),
                  best.date.c_str());
    text += line;
  }
  return text;
}

bool keepRaceBest(const std::string& folder, const std::string& key, const std::string& title, const RaceBest& best,
                  std::string* message) {
  message->clear();
  std::string path = raceRecordPath(folder, key);
  if (path.empty()) return false;
  std::vector<RaceBest> bests;
  if (readRaceBests(path, key, &bests, message) == recordRefused) return false;
  bool found = false;
  for (RaceBest& kept : bests) {
    if (kept.laps != best.laps || kept.level != best.level) continue;
    found = true;
    if (!(best.time < kept.time)) return false;
    kept = best;
  }
  if (!found) bests.push_back(best);
  std::string why;
  if (replaceFile(path, formatRaceBests(key, title, bests), &why)) return true;
  *message = path + ": the race time can't be kept: " + why;
  return false;
}
