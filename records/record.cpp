// Record files: the track key, where they are kept, and their text read, written and replaced.
#include "records/record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "records/digest.h"
#include "track/track.h"

namespace {

const char header[] = "#Zarvanto record ";  // then the format's number
constexpr size_t minSampleBytes = 10;       // "0 0 0 0 0" and its line feed
constexpr size_t minSplitBytes = 2;         // "1" and its line feed
constexpr long maxRecordSplits = 4000000;   // waypoint times; 8 MiB holds no more
constexpr size_t keyLength = 64;            // hex digits of a track key
constexpr float splitReach = 8.0f;          // units from a waypoint where a car has reached it
const char* const medalNames[] = {"none", "bronze", "silver", "gold"};

// The lines of a record's text, each ended by a line feed; a last line without one is cut short.
struct TRecordLines {
  const char* at;   // start of the next line
  const char* end;  // past the last byte
  int number = 0;   // of the line last taken, from 1

  bool next(std::string_view* line) {
    number++;
    if (at == end) return false;
    const char* feed = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
    if (feed == nullptr) return false;
    *line = std::string_view(at, size_t(feed - at));
    at = feed + 1;
    return true;
  }
};

// The value of a "name value" line; false when the line is another.
bool field(std::string_view line, std::string_view name, std::string_view* value) {
  if (line.size() <= name.size() || line.substr(0, name.size()) != name || line[name.size()] != ' ') return false;
  *value = line.substr(name.size() + 1);
  return true;
}

// A text field of at most limit characters, which no NUL may hide the end of.
bool textField(std::string_view line, std::string_view name, size_t limit, std::string* value) {
  std::string_view text;
  if (!field(line, name, &text) || text.size() > limit || text.find('\0') != std::string_view::npos) return false;
  value->assign(text);
  return true;
}

// A finite float at the start of text, which then moves past it.
bool readFloat(std::string_view* text, float* value) {
  auto [past, error] = std::from_chars(text->data(), text->data() + text->size(), *value);
  if (error != std::errc() || !std::isfinite(*value)) return false;
  text->remove_prefix(size_t(past - text->data()));
  return true;
}

bool readTime(std::string_view text, float* value) { return readFloat(&text, value) && text.empty() && *value >= 0; }

// t x y z heading, each separated by one space.
bool readSample(std::string_view text, GhostSample* sample) {
  float* values[] = {&sample->lapTime, &sample->position.x, &sample->position.y, &sample->position.z, &sample->heading};
  for (float* value : values) {
    if (value != values[0]) {
      if (text.empty() || text.front() != ' ') return false;
      text.remove_prefix(1);
    }
    if (!readFloat(&text, value)) return false;
  }
  return text.empty() && sample->lapTime >= 0;
}

void appendFloat(std::string* text, float value, char after) {
  char digits[32];
  // The shortest digits that read back to the same float.
  auto [past, error] = std::to_chars(digits, digits + sizeof digits, value);
  text->append(digits, error == std::errc() ? past : digits);
  text->push_back(after);
}

std::string errorText(int error) { return std::strerror(error); }

bool writeAll(int descriptor, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    ssize_t wrote = write(descriptor, text.data() + done, text.size() - done);
    if (wrote < 0 && errno != EINTR) return false;
    if (wrote > 0) done += size_t(wrote);
  }
  return true;
}

// The whole file up to one byte past the cap, so a file that grew since it was measured still
// counts as too large.
bool readAll(int descriptor, std::string* text) {
  char block[BUFSIZ];
  while (text->size() <= size_t(maxRecordBytes)) {
    ssize_t got = read(descriptor, block, sizeof block);
    if (got > 0)
      text->append(block, size_t(got));
    else if (got == 0)
      return true;
    else if (errno != EINTR)
      return false;
  }
  return true;
}

// A track key as trackKey writes it: it names files, so nothing else may stand there.
bool isTrackKey(std::string_view text) {
  return text.size() == keyLength && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A count from 0 to limit, and nothing after it.
bool readCount(std::string_view text, long limit, long* count) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *count);
  return error == std::errc() && end == text.data() + text.size() && *count >= 0 && *count <= limit;
}

}  // namespace

const char* medalName(uint8_t medal) { return medal <= medalGold ? medalNames[medal] : medalNames[medalNone]; }

bool makeFolders(const std::string& folder) {
  size_t slash = 0;
  do {
    slash = folder.find('/', slash + 1);
    if (mkdir(folder.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  } while (slash != std::string::npos);
  return true;
}

std::string trackKey(const TTrack& track) {
  // The title never holds a line feed, so one ends it; the waypoints' bits follow, least
  // significant byte first on every machine.
  std::string bytes = track.title != nullptr ? track.title : "";
  bytes.push_back('\n');
  for (int32_t i = 0; i < track.waypointCount; i++) {
    for (float coordinate : {track.waypoints[i].x, track.waypoints[i].y, track.waypoints[i].z}) {
      uint32_t bits;
      std::memcpy(&bits, &coordinate, sizeof bits);
      for (int shift = 0; shift < 32; shift += 8) bytes.push_back(char(uint8_t(bits >> shift)));
    }
  }
  return sha256Hex(bytes);
}

// An unset, empty or relative variable is passed over: a relative folder would follow wherever
// the game was started.
static std::string playerFolder(const char* variable, const char* belowHome) {
  for (auto [name, below] : {std::pair{variable, ""}, {"HOME", belowHome}}) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') continue;
    std::string folder = value;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder == "/") folder.clear();
    return folder + below + "/zarvanto";
  }
  return "";
}

std::string playerDataFolder() { return playerFolder("XDG_DATA_HOME", "/.local/share"); }

std::string playerConfigFolder() { return playerFolder("XDG_CONFIG_HOME", "/.config"); }

std::string playerTracksFolder() {
  std::string folder = playerDataFolder();
  return folder.empty() ? "" : folder + "/tracks";
}

std::string installedFolder(const char* besideProgram, const char* inSources) {
  char program[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length > 0) {
    std::string path(program, size_t(length));
    std::string installed = path.substr(0, path.rfind('/')) + besideProgram;
    char folder[PATH_MAX];
    struct stat status;
    if (realpath(installed.c_str(), folder) != nullptr && stat(folder, &status) == 0 && S_ISDIR(status.st_mode))
      return folder;
  }
  return inSources;
}

std::string shippedTracksFolder() { return installedFolder("/../share/games/zarvanto/tracks", ZARVANTO_SOURCE_TRACKS); }

std::string recordsFolder() {
  std::string folder = playerDataFolder();
  return folder.empty() ? "" : folder + "/records";
}

std::string recordPath(const std::string& folder, const std::string& key) {
  return folder.empty() ? "" : folder + "/" + key + recordExtension;
}

std::string targetsPath(const std::string& folder, const std::string& key) {
  return folder.empty() ? "" : folder + "/" + key + targetsExtension;
}

std::string friendsFolder() {
  std::string folder = playerDataFolder();
  return folder.empty() ? "" : folder + "/friends";
}

std::string friendRecordPath(const std::string& folder, const std::string& key, const std::string& text) {
  return folder + "/" + key + "-" + sha256Hex(text).substr(0, friendDigestLength) + recordExtension;
}

std::vector<std::string> friendRecordFiles(const std::string& folder, const std::string& key) {
  std::vector<std::string> paths;
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return paths;
  const size_t nameLength = keyLength + 1 + friendDigestLength + std::strlen(recordExtension);
  while (const dirent* entry = readdir(listing)) {
    std::string_view name = entry->d_name;
    if (name.size() == nameLength && isTrackKey(name.substr(0, keyLength)) && name[keyLength] == '-' &&
        (key.empty() || name.substr(0, keyLength) == key) &&
        name.substr(nameLength - std::strlen(recordExtension)) == recordExtension)
      paths.push_back(folder + "/" + std::string(name));
  }
  closedir(listing);
  std::sort(paths.begin(), paths.end());
  return paths;
}

bool bestFriendRecord(const std::string& key, LapRecord* record) {
  bool found = false;
  for (const std::string& path : friendRecordFiles(friendsFolder(), key)) {
    LapRecord read;
    std::string message;
    if (readRecord(path, key, &read, &message) != recordRead || (found && !(read.lapTime < record->lapTime))) continue;
    *record = std::move(read);
    found = true;
  }
  return found;
}

// The first moment, between two samples, that the straight line between them comes within reach
// of the waypoint, as the player's car counts it.
static bool reachedBetween(const GhostSample& a, const GhostSample& b, Vec3 waypoint, float* time) {
  double dx = double(b.position.x) - a.position.x, dy = double(b.position.y) - a.position.y,
         dz = double(b.position.z) - a.position.z;
  double ex = double(a.position.x) - waypoint.x, ey = double(a.position.y) - waypoint.y,
         ez = double(a.position.z) - waypoint.z;
  double reach = double(splitReach);
  double qa = dx * dx + dy * dy + dz * dz, qb = 2.0 * (dx * ex + dy * ey + dz * ez),
         qc = ex * ex + ey * ey + ez * ez - reach * reach;
  double f = 0.0;
  if (qc > 0.0) {
    double discriminant = qb * qb - 4.0 * qa * qc;
    if (qa == 0.0 || discriminant < 0.0) return false;
    f = (-qb - std::sqrt(discriminant)) / (2.0 * qa);
    if (f < 0.0 || f > 1.0) return false;
  }
  *time = float(a.lapTime + f * (double(b.lapTime) - a.lapTime));
  return true;
}

void lapSplits(const TTrack& track, const LapRecord& record, std::vector<float>* splits) {
  splits->clear();
  if (record.splits.size() == size_t(track.waypointCount) && record.track == trackKey(track)) {
    *splits = record.splits;
    return;
  }
  const std::vector<GhostSample>& ghost = record.ghost;
  int32_t next = 1;
  for (size_t i = 1; i < ghost.size() && next <= track.waypointCount; i++) {
    float time;
    // A sample pair may pass more than one waypoint when they stand close.
    while (next <= track.waypointCount && reachedBetween(ghost[i - 1], ghost[i], track.waypoints[next], &time)) {
      splits->push_back(splits->empty() ? time : std::max(time, splits->back()));
      next++;
    }
  }
}

RecordRead parseRecord(const char* text, size_t size, const std::string& key, LapRecord* record, std::string* why) {
  TRecordLines lines = {text, text + size};
  std::string_view line, value;
  if (!lines.next(&line) || !field(line, std::string_view(header, sizeof header - 2), &value)) {
    *why = "not a Zarvanto record";
    return recordRefused;
  }
  int format = 0;
  auto [past, error] = std::from_chars(value.data(), value.data() + value.size(), format);
  if (past != value.data() + value.size() || value.empty() || value[0] == '-' || (error == std::errc() && format < 1)) {
    *why = "not a Zarvanto record";
    return recordRefused;
  }
  if (error != std::errc() || format > recordFormat) {
    *why = "a record of a later version of the game (record format " + std::string(value.substr(0, 20)) + ")";
    return recordRefused;
  }
  auto damaged = [&](const std::string& what) {
    *why = "damaged at line " + std::to_string(lines.number) + ": " + what;
    return recordRefused;
  };
  if (!lines.next(&line)) return damaged("cut short");
  if (!field(line, "track", &value) || !isTrackKey(value)) return damaged("no track key");
  if (!key.empty() && value != key) {
    *why = "not a record of this track";
    return recordRefused;
  }
  LapRecord read;
  read.track.assign(value);
  long samples = 0;
  if (!lines.next(&line)) return damaged("cut short");
  if (!textField(line, "title", size_t(maxTitleLength), &read.title))
    return damaged("no title of at most " + std::to_string(maxTitleLength) + " characters");
  if (!lines.next(&line)) return damaged("cut short");
  if (!field(line, "lap", &value) || !readTime(value, &read.lapTime) || read.lapTime == 0)
    return damaged("the lap time is not a number of seconds above 0");
  if (!lines.next(&line)) return damaged("cut short");
  if (!textField(line, "date", maxRecordLabelLength, &read.date))
    return damaged("no date of at most " + std::to_string(maxRecordLabelLength) + " characters");
  if (!lines.next(&line)) return damaged("cut short");
  if (!textField(line, "version", maxRecordLabelLength, &read.version))
    return damaged("no game version of at most " + std::to_string(maxRecordLabelLength) + " characters");
  if (format >= 2) {
    if (!lines.next(&line)) return damaged("cut short");
    uint8_t medal = medalNone;
    bool named = field(line, "medal", &value);
    while (named && medal <= medalGold && value != medalNames[medal]) medal++;
    if (!named || medal > medalGold) return damaged("no medal: none, bronze, silver or gold");
    read.medal = medal;
    long splits = 0;
    if (!lines.next(&line)) return damaged("cut short");
    if (!field(line, "splits", &value) || !readCount(value, maxRecordSplits, &splits))
      return damaged("the count of waypoint times is not one from 0 to " + std::to_string(maxRecordSplits));
    read.splits.reserve(std::min(size_t(splits), size_t(lines.end - lines.at) / minSplitBytes));
    for (long i = 0; i < splits; i++) {
      float time;
      if (!lines.next(&line)) return damaged("cut short");
      if (!readTime(line, &time) || (i > 0 && !(time > read.splits.back())))
        return damaged("not a waypoint time after the one before");
      read.splits.push_back(time);
    }
  }
  if (!lines.next(&line)) return damaged("cut short");
  if (!field(line, "samples", &value)) return damaged("no count of ghost samples");
  if (!readCount(value, maxRecordSamples, &samples))
    return damaged("the count of ghost samples is not one from 0 to " + std::to_string(maxRecordSamples));
  // No more than the bytes left can hold, so a count alone makes nothing large.
  read.ghost.reserve(std::min(size_t(samples), size_t(lines.end - lines.at) / minSampleBytes));
  for (long i = 0; i < samples; i++) {
    GhostSample sample;
    if (!lines.next(&line)) return damaged("cut short");
    if (!readSample(line, &sample)) return damaged("not a ghost sample: time, x, y, z and heading");
    if (i > 0 && !(sample.lapTime > read.ghost.back().lapTime)) return damaged("a ghost sample out of time order");
    read.ghost.push_back(sample);
  }
  if (lines.at != lines.end) {
    lines.number++;
    return damaged("more after the last ghost sample");
  }
  *record = std::move(read);
  return recordRead;
}

RecordRead readRecord(const std::string& path, const std::string& key, LapRecord* record, std::string* message) {
  std::string why;
  RecordRead read = readRecordFile(path, key, record, &why);
  if (read == recordRefused) *message = path + ": " + why + ", left as it is";
  return read;
}

RecordRead readRecordFile(const std::string& path, const std::string& key, LapRecord* record, std::string* reason) {
  auto refuse = [&](const std::string& why) {
    *reason = why;
    return recordRefused;
  };
  // Not blocking, so a pipe put in a record's place is refused rather than waited on.
  int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return errno == ENOENT ? recordNone : refuse("can't be read: " + errorText(errno));
  struct stat status;
  std::string text, why;
  if (fstat(descriptor, &status) != 0)
    why = "can't be read: " + errorText(errno);
  else if (S_ISDIR(status.st_mode))
    why = "a folder, not a record";
  else if (!S_ISREG(status.st_mode))
    why = "not a regular file";
  else if (status.st_size > maxRecordBytes)
    why = "larger than any record (" + std::to_string(maxRecordBytes >> 20) + " MiB)";
  else if (!readAll(descriptor, &text))
    why = "can't be read: " + errorText(errno);
  else if (text.size() > size_t(maxRecordBytes))
    why = "larger than any record (" + std::to_string(maxRecordBytes >> 20) + " MiB)";
  close(descriptor);
  if (!why.empty() || parseRecord(text.data(), text.size(), key, record, &why) != recordRead) return refuse(why);
  return recordRead;
}

std::string formatRecord(const std::string& key, const LapRecord& record) {
  std::string text = header + std::to_string(recordFormat) + "\ntrack " + key + "\ntitle " + record.title + "\nlap ";
  appendFloat(&text, record.lapTime, '\n');
  text += "date " + record.date + "\nversion " + record.version + "\nmedal " + medalName(record.medal) + "\nsplits " +
          std::to_string(record.splits.size()) + "\n";
  for (float split : record.splits) appendFloat(&text, split, '\n');
  text += "samples " + std::to_string(record.ghost.size()) + "\n";
  for (const GhostSample& sample : record.ghost) {
    appendFloat(&text, sample.lapTime, ' ');
    appendFloat(&text, sample.position.x, ' ');
    appendFloat(&text, sample.position.y, ' ');
    appendFloat(&text, sample.position.z, ' ');
    appendFloat(&text, sample.heading, '\n');
  }
  return text;
}

bool replaceFile(const std::string& path, const std::string& text, std::string* why) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (!makeFolders(folder)) {
    *why = "its folder can't be made: " + errorText(errno);
    return false;
  }
  std::string temporary = path + ".XXXXXX";
  int descriptor = mkstemp(&temporary[0]);
  if (descriptor < 0) {
    *why = errorText(errno);
    return false;
  }
  bool written = writeAll(descriptor, text) && fsync(descriptor) == 0;
  int error = errno;
  if (close(descriptor) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(temporary.c_str());
    *why = errorText(error);
    return false;
  }
  // The rename itself reaches the disk with the folder.
  int folderDescriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderDescriptor >= 0) {
    fsync(folderDescriptor);
    close(folderDescriptor);
  }
  return true;
}

bool writeRecord(const std::string& path, const std::string& key, const LapRecord& record, std::string* message) {
  auto fail = [&](const std::string& why) {
    *message = path + ": the new record can't be written: " + why;
    return false;
  };
  if (path.empty()) {
    *message = "no record can be kept: neither XDG_DATA_HOME nor HOME names an absolute folder";
    return false;
  }
  std::string text = formatRecord(key, record), why;
  LapRecord check;
  if (parseRecord(text.data(), text.size(), key, &check, &why) != recordRead)
    return fail("it would not read back (" + why + ")");
  return replaceFile(path, text, &why) || fail(why);
}

void formatTime(float seconds, char (&text)[16]) {
  if (seconds > noLapYet) {
    std::snprintf(text, sizeof text, "-");
    return;
  }
  // 2^31 itself is still written out, so the whole seconds need more than an int.
  long long t = (long long)(seconds < -noLapYet ? -noLapYet : seconds);
  std::snprintf(text, sizeof text, "%d:%d", int(t / 60), int(t % 60));
}

void formatRaceTime(float seconds, char (&text)[24]) {
  // Held below ten million hours, so the rounding stays in range for any float, NaN as 0.
  double held = seconds > 0.0f ? std::min(double(seconds), 3.6e10) : 0.0;
  auto hundredths = static_cast<unsigned long long>(std::llround(held * 100.0));
  std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", hundredths / 6000, hundredths / 100 % 60, hundredths % 100);
}
