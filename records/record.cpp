// Record files: the track key, where they are kept, and their text read, written and replaced.
#include "records/record.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
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
  char block[65536];
  while (text->size() <= size_t(maxRecordBytes)) {
    ssize_t got = read(descriptor, block, sizeof block);
    if (got == 0) return true;
    if (got < 0 && errno != EINTR) return false;
    if (got > 0) text->append(block, size_t(got));
  }
  return true;
}

}  // namespace

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

std::string recordsFolder() {
  std::string folder = playerDataFolder();
  return folder.empty() ? "" : folder + "/records";
}

std::string recordPath(const std::string& folder, const std::string& key) {
  return folder.empty() ? "" : folder + "/" + key + recordExtension;
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
  if (!field(line, "track", &value)) return damaged("no track key");
  if (value != key) {
    *why = "not a record of this track";
    return recordRefused;
  }
  LapRecord read;
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
  if (!lines.next(&line)) return damaged("cut short");
  if (!field(line, "samples", &value)) return damaged("no count of ghost samples");
  auto [end, countError] = std::from_chars(value.data(), value.data() + value.size(), samples);
  if (countError != std::errc() || end != value.data() + value.size() || samples < 0 || samples > maxRecordSamples)
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
  auto refuse = [&](const std::string& why) {
    *message = path + ": " + why + ", left as it is";
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
  text +=
      "date " + record.date + "\nversion " + record.version + "\nsamples " + std::to_string(record.ghost.size()) + "\n";
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

void formatTime(float seconds, char text[16]) {
  if (seconds > noLapYet) {
    std::snprintf(text, 16, "-");
    return;
  }
  // 2^31 itself is still written out, so the whole seconds need more than an int.
  long long t = (long long)(seconds < -noLapYet ? -noLapYet : seconds);
  std::snprintf(text, 16, "%d:%d", int(t / 60), int(t % 60));
}

void formatRaceTime(float seconds, char (&text)[24]) {
  // Held below ten million hours, so the rounding stays in range for any float, NaN as 0.
  double held = seconds > 0.0f ? std::min(double(seconds), 3.6e10) : 0.0;
  auto hundredths = static_cast<unsigned long long>(std::llround(held * 100.0));
  std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", hundredths / 6000, hundredths / 100 % 60, hundredths % 100);
}
