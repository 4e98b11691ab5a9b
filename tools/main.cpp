// zarvanto-track: checks track files, draws their maps and makes tracks from routes for track
// authors.
#include <dirent.h>
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "records/race_record.h"
#include "records/record.h"
#include "targets/targets.h"
#include "tools/check_report.h"
#include "tools/track_import.h"
#include "tools/track_map.h"

namespace {

// Exit statuses: every track accepted, some track refused, the command itself was wrong.
constexpr int exitAccepted = 0;
constexpr int exitRefused = 1;
constexpr int exitUsage = 2;
constexpr size_t maxTrackNameBytes = 200;  // of a title in a file name, leaving room for a number
constexpr int maxTrackNameNumber = 9999;   // numbered names tried before giving up

const char usage[] =
    "Usage: zarvanto-track check [--json] FILE...\n"
    "       zarvanto-track map FILE [-o MAP.svg]\n"
    "       zarvanto-track import ROUTE [-o TRACK.tck] [--title TEXT] [--spacing UNITS]\n"
    "                             [--scale UNITS-PER-METRE] [--height-scale FACTOR] [--close]\n"
    "                             [--keep-heights]\n"
    "       zarvanto-track records [TRACK.tck]\n"
    "       zarvanto-track records TRACK.tck --export FILE\n"
    "       zarvanto-track records --add FILE\n"
    "       zarvanto-track targets TRACK.tck...\n";

const char help[] =
    "\n"
    "Checks track files for Zarvanto, draws their maps and makes tracks from routes, with the\n"
    "game's own loader and rules.\n"
    "\n"
    "  check FILE...         the game's verdict on each file and where the fault lies;\n"
    "                        for an accepted track, its waypoints, size, mesh and slopes\n"
    "  check --json FILE...  the same as JSON\n"
    "  map FILE [-o MAP.svg] the track from above as SVG, faults marked in red;\n"
    "                        standard output without -o\n"
    "  import ROUTE [-o TRACK.tck]\n"
    "                        a track from a GPX route, a GeoJSON line or a CSV table of\n"
    "                        metres, written only when the game accepts it; heights\n"
    "                        are smoothed, then solved for anew where the ground\n"
    "                        would crash the car. Without -o it goes into the player's\n"
    "                        tracks ($XDG_DATA_HOME/zarvanto/tracks), named from its\n"
    "                        title, a number added rather than replace a track there\n"
    "  import --keep-heights ROUTE -o TRACK.tck\n"
    "                        the smoothed heights kept, and the crash slopes listed\n"
    "  records [TRACK.tck]   the record lap kept for every track, or for this one, and\n"
    "                        the friends' laps added beside it\n"
    "  records TRACK.tck --export FILE\n"
    "                        the track's record with its ghost, in one file to send\n"
    "  records --add FILE    a friend's record filed beside your own, never over it\n"
    "  targets TRACK.tck...  gold, silver and bronze: the hard rival's flying lap and\n"
    "                        fixed multiples of it\n"
    "\n"
    "Exit status: 0 every track accepted (or written), 1 some track or record refused, 2 the\n"
    "command or its route is unusable, or the map or track can't be written.\n";

int usageError() {
  std::fputs(usage, stderr);
  return exitUsage;
}

// Each command reads its options with getopt from its own arguments, the command's name first
// in the place of the program's. The leading ':' keeps getopt's own messages back: an unknown
// option comes back as '?' and one without its value as ':', and both are told with the usage.
int check(int argc, char** argv) {
  enum { optionJson = 256 };
  const option longOptions[] = {{"json", no_argument, nullptr, optionJson}, {}};
  bool json = false;
  for (int c; (c = getopt_long(argc, argv, ":", longOptions, nullptr)) != -1;) {
    if (c != optionJson) return usageError();
    json = true;
  }
  std::vector<std::string> files(argv + optind, argv + argc);
  if (files.empty()) return usageError();
  std::vector<TTrackCheck> checks;
  bool allAccepted = true;
  for (const std::string& file : files) {
    checks.push_back(checkTrackFile(file));
    allAccepted = allAccepted && checks.back().accepted();
    if (!json) std::fputs(checkText(checks.back()).c_str(), stdout);
  }
  if (json) std::fputs(checksJson(checks).c_str(), stdout);
  return allAccepted ? exitAccepted : exitRefused;
}

int map(int argc, char** argv) {
  std::string output = "-";
  for (int c; (c = getopt(argc, argv, ":o:")) != -1;) {
    if (c != 'o') return usageError();
    output = optarg;
  }
  if (optind + 1 != argc) return usageError();
  std::string file = argv[optind];
  TTrackCheck checked = checkTrackFile(file);
  std::string svg = trackMapSvg(checked);
  std::FILE* out = output == "-" ? stdout : std::fopen(output.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "zarvanto-track: can't write %s\n", output.c_str());
    return exitUsage;
  }
  bool written = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
  if (out != stdout) written = std::fclose(out) == 0 && written;
  if (!written) {
    std::fprintf(stderr, "zarvanto-track: can't write %s\n", output.c_str());
    return exitUsage;
  }
  return checked.accepted() ? exitAccepted : exitRefused;
}

// The whole input, refused past the size import reads; the file is never read to its end when
// it has none, as a device may not.
bool readInput(const std::string& path, std::string* text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char block[BUFSIZ];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0 && text->size() <= maxRouteBytes)
    text->append(block, got);
  bool read = !std::ferror(file);
  std::fclose(file);
  return read;
}

// Written beside the target and renamed over it, so a failed write leaves no half track behind.
bool writeTrack(const std::string& path, const std::string& text) {
  std::string temporary = path + ".XXXXXX";
  int descriptor = mkstemp(&temporary[0]);
  if (descriptor < 0) return false;
  mode_t mask = umask(0);
  umask(mask);
  bool written =
      fchmod(descriptor, 0666 & ~mask) == 0 && write(descriptor, text.data(), text.size()) == ssize_t(text.size());
  written = close(descriptor) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) std::remove(temporary.c_str());
  return written;
}

// A new, empty file in the folder named from the title, made so that no other takes its name: the
// first of "TITLE.tck", "TITLE 2.tck", ... that is not there yet. False when none can be made.
bool reserveTrackFile(const std::string& folder, const std::string& title, std::string* path) {
  // The title is already one line of printable text; only a slash can't stand in a name.
  std::string name = title;
  cutAtCharacter(&name, maxTrackNameBytes);
  std::replace(name.begin(), name.end(), '/', '_');
  if (name.empty() || name[0] == '.') name.insert(0, "_");
  if (!makeFolders(folder)) return false;
  for (int number = 1; number <= maxTrackNameNumber; number++) {
    *path = folder + "/" + name + (number == 1 ? "" : " " + std::to_string(number)) + ".tck";
    int descriptor = open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) return close(descriptor) == 0;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool parseOption(const std::string& text, double low, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && std::isfinite(*value) && *value >= low;
}

int import(int argc, char** argv) {
  enum { optionTitle = 256, optionSpacing, optionScale, optionHeightScale, optionClose, optionKeepHeights };
  const option longOptions[] = {{"title", required_argument, nullptr, optionTitle},
                                {"spacing", required_argument, nullptr, optionSpacing},
                                {"scale", required_argument, nullptr, optionScale},
                                {"height-scale", required_argument, nullptr, optionHeightScale},
                                {"close", no_argument, nullptr, optionClose},
                                {"keep-heights", no_argument, nullptr, optionKeepHeights},
                                {}};
  std::string output;
  TImportOptions options;
  int index = 0;  // of the long option found
  for (int c; (c = getopt_long(argc, argv, ":o:", longOptions, &index)) != -1;) {
    double number = 0.0;
    bool numeric = c == optionSpacing || c == optionScale || c == optionHeightScale;
    double low = c == optionSpacing ? double(minWaypointDistance) : (c == optionScale ? 1e-9 : 0.0);
    if (numeric && !parseOption(optarg, low, &number)) {
      std::fprintf(stderr, "zarvanto-track: --%s takes a number of at least %s, not \"%s\"\n", longOptions[index].name,
                   formatNumber(low).c_str(), optarg);
      return exitUsage;
    }
    switch (c) {
      case 'o': output = optarg; break;
      case optionTitle: options.title = optarg; break;
      case optionSpacing: options.spacing = number; break;
      case optionScale: options.scale = number; break;
      case optionHeightScale: options.heightScale = number; break;
      case optionClose: options.close = true; break;
      case optionKeepHeights: options.keepHeights = true; break;
      default: return usageError();
    }
  }
  // A route is read from a file: "-" names no standard input here.
  std::string input = optind + 1 == argc ? argv[optind] : "";
  if (input.empty() || input[0] == '-') return usageError();
  // Without -o the track goes to the player's own, where the game's chooser finds it.
  std::string folder = output.empty() ? playerTracksFolder() : "";
  if (output.empty()) {
    if (folder.empty()) {
      std::fprintf(stderr, "zarvanto-track: no -o, and neither XDG_DATA_HOME nor HOME names an absolute folder\n");
      return exitUsage;
    }
    output = folder;
  }
  std::string text;
  if (!readInput(input, &text)) {
    std::fprintf(stderr, "zarvanto-track: can't read %s\n", input.c_str());
    return exitUsage;
  }
  TImport made = importRoute(input, text, output, options);
  std::string report = importText(made, input);
  if (made.status == importUnusable) {
    std::fputs(report.c_str(), stderr);
    return exitUsage;
  }
  std::fputs(report.c_str(), stdout);
  if (made.status == importRefused) {
    std::printf("nothing written to %s\n", output.c_str());
    return exitRefused;
  }
  if (!folder.empty() && !reserveTrackFile(folder, made.title, &output)) {
    std::fprintf(stderr, "zarvanto-track: can't write a track into %s: %s\n", folder.c_str(), std::strerror(errno));
    return exitUsage;
  }
  if (!writeTrack(output, made.trackText)) {
    std::fprintf(stderr, "zarvanto-track: can't write %s\n", output.c_str());
    if (!folder.empty()) std::remove(output.c_str());
    return exitUsage;
  }
  std::printf("wrote %s\n", output.c_str());
  return exitAccepted;
}

// A kept record as the listing shows it: the lap time to hundredths and the medal it won.
void printRecord(const LapRecord& record, const std::string& path) {
  char time[24];
  formatRaceTime(record.lapTime, time);
  std::printf("%s: %s, driven %s%s%s\n  %s\n", printable(record.title, false).c_str(), time,
              printable(record.date, false).c_str(), record.medal == medalNone ? "" : ", ",
              record.medal == medalNone ? "" : (std::string(medalName(record.medal)) + " medal").c_str(), path.c_str());
}

// The friends' laps added for the track with this key, fastest first, under its record; one that
// can't be taken is said so.
bool printFriends(const std::string& key) {
  std::vector<std::pair<LapRecord, std::string>> laps;
  bool allRead = true;
  for (const std::string& path : friendRecordFiles(friendsFolder(), key)) {
    LapRecord record;
    std::string message;
    if (readRecord(path, key, &record, &message) == recordRead) {
      laps.emplace_back(record, path);
    } else {
      std::printf("  %s\n", message.c_str());
      allRead = false;
    }
  }
  // Fastest first; equal laps keep the order of their files' names.
  std::sort(laps.begin(), laps.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first.lapTime, a.second) < std::tie(b.first.lapTime, b.second);
  });
  for (const auto& [record, path] : laps) {
    char time[24];
    formatRaceTime(record.lapTime, time);
    std::printf("  friend's lap: %s, driven %s\n    %s\n", time, printable(record.date, false).c_str(), path.c_str());
  }
  return allRead;
}

// The best race of each lap count and level kept for the track with this key, under its record;
// a file of them that can't be read is said so.
void printRaceBests(const std::string& folder, const std::string& key) {
  std::vector<RaceBest> bests;
  std::string message;
  RecordRead read = readRaceBests(raceRecordPath(folder, key), key, &bests, &message);
  if (read == recordRefused) std::printf("  %s\n", message.c_str());
  std::sort(bests.begin(), bests.end(), [](const RaceBest& a, const RaceBest& b) {
    return a.laps != b.laps ? a.laps < b.laps : a.level < b.level;
  });
  for (const RaceBest& best : bests) {
    char time[24];
    formatRaceTime(best.time, time);
    std::printf("  best race of %d lap%s, %s: %s, raced %s\n", int(best.laps), best.laps == 1 ? "" : "s",
                printable(best.level, false).c_str(), time, printable(best.date, false).c_str());
  }
}

// The record files in the folder, sorted; false when the folder is there but can't be listed.
bool recordFiles(const std::string& folder, std::vector<std::string>* paths) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return errno == ENOENT;
  const size_t extension = std::strlen(recordExtension);
  while (const dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name.size() > extension && name.compare(name.size() - extension, extension, recordExtension) == 0)
      paths->push_back(folder + "/" + name);
  }
  closedir(listing);
  std::sort(paths->begin(), paths->end());
  return true;
}

// The track is one the player has: a record or targets of it are kept, it is shipped, among the
// player's own tracks or in the current folder, where the game looks for its default track, or it
// is the one named.
bool knownTrack(const std::string& key, const std::string& named) {
  struct stat status;
  std::string folder = recordsFolder();
  if (stat(recordPath(folder, key).c_str(), &status) == 0 || stat(targetsPath(folder, key).c_str(), &status) == 0)
    return true;
  std::vector<std::string> files;
  if (!named.empty()) files.push_back(named);
  for (const std::string& tracks : {shippedTracksFolder(), playerTracksFolder(), std::string(".")}) {
    DIR* listing = tracks.empty() ? nullptr : opendir(tracks.c_str());
    if (listing == nullptr) continue;
    while (const dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tck") == 0) files.push_back(tracks + "/" + name);
    }
    closedir(listing);
  }
  for (const std::string& file : files) {
    if (stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    TTrack track;
    if (track.load(file.c_str(), nullptr, false) == loadOk && trackKey(track) == key) return true;
  }
  return false;
}

// A friend's record filed under the friends' folder, by its own name, never over the player's
// record nor over a file there that can't be read; refused in one line with nothing filed.
int addFriend(const std::string& file, const std::string& named) {
  auto refuse = [&](const std::string& why) {
    std::fprintf(stderr, "zarvanto-track: %s: %s; nothing filed\n", file.c_str(), why.c_str());
    return exitRefused;
  };
  LapRecord record;
  std::string why;
  RecordRead read = readRecordFile(file, "", &record, &why);
  if (read == recordNone) return refuse("no such file");
  if (read == recordRefused) return refuse(why);
  if (!knownTrack(record.track, named))
    return refuse("a record of \"" + printable(record.title, false) + "\", a track that is neither shipped nor yours");
  std::string folder = friendsFolder();
  if (folder.empty()) return refuse("neither XDG_DATA_HOME nor HOME names an absolute folder");
  std::string text = formatRecord(record.track, record), path = friendRecordPath(folder, record.track, text);
  LapRecord there;
  read = readRecordFile(path, record.track, &there, &why);
  if (read == recordRefused) return refuse(path + " is there and can't be read (" + why + "), left as it is");
  char time[24];
  formatRaceTime(record.lapTime, time);
  if (read == recordNone && !replaceFile(path, text, &why)) return refuse(path + " can't be written: " + why);
  std::printf("%s: a friend's lap of %s %s\n  %s\n", printable(record.title, false).c_str(), time,
              read == recordNone ? "filed" : "already filed", path.c_str());
  return exitAccepted;
}

// The track's own record, with its waypoint times, in one file to send.
int exportRecord(const TTrack& track, const std::string& folder, const std::string& file) {
  std::string key = trackKey(track), path = recordPath(folder, key), message;
  LapRecord record;
  RecordRead read = readRecord(path, key, &record, &message);
  if (read != recordRead) {
    std::printf("%s\n", read == recordNone
                            ? (printable(track.title, false) + ": no record kept, nothing exported").c_str()
                            : message.c_str());
    return exitRefused;
  }
  // A record kept before waypoint times were: they are found along its ghost.
  lapSplits(track, record, &record.splits);
  std::string why;
  if (!replaceFile(file, formatRecord(key, record), &why)) {
    std::fprintf(stderr, "zarvanto-track: can't write %s: %s\n", file.c_str(), why.c_str());
    return exitUsage;
  }
  char time[24];
  formatRaceTime(record.lapTime, time);
  std::printf("%s: the record of %s written to %s\n", printable(track.title, false).c_str(), time, file.c_str());
  return exitAccepted;
}

// Every kept record by title with the friends' laps beside it, or the ones of the track named; a
// record that can't be taken is told with why, and the rest still listed. --export and --add carry
// a record to a friend and back.
int records(int argc, char** argv) {
  enum { optionExport = 256, optionAdd };
  const option longOptions[] = {
      {"export", required_argument, nullptr, optionExport}, {"add", required_argument, nullptr, optionAdd}, {}};
  std::string exported, added;
  for (int c; (c = getopt_long(argc, argv, ":", longOptions, nullptr)) != -1;) {
    if (c == optionExport && exported.empty())
      exported = optarg;
    else if (c == optionAdd && added.empty())
      added = optarg;
    else
      return usageError();
  }
  // A track is named by its file: "-" names none.
  if (optind + 1 < argc || (optind < argc && argv[optind][0] == '-') || (!exported.empty() && !added.empty()) ||
      (!exported.empty() && optind == argc))
    return usageError();
  std::vector<std::string> arguments(argv + optind, argv + argc);
  std::string folder = recordsFolder(), message;
  if (folder.empty()) {
    std::fputs("zarvanto-track: no folder for records: HOME and XDG_DATA_HOME are unset or not absolute\n", stderr);
    return exitUsage;
  }
  if (!added.empty()) return addFriend(added, arguments.empty() ? "" : arguments[0]);
  LapRecord record;
  if (arguments.size() == 1) {
    // Its key needs the track read and judged, not meshed; a refused one gets the full report.
    TTrack track;
    if (track.load(arguments[0].c_str(), nullptr, false) != loadOk) {
      std::fputs(checkText(checkTrackFile(arguments[0])).c_str(), stdout);
      return exitRefused;
    }
    if (!exported.empty()) return exportRecord(track, folder, exported);
    std::string key = trackKey(track), path = recordPath(folder, key);
    RecordRead read = readRecord(path, key, &record, &message);
    if (read == recordRead) printRecord(record, path);
    if (read == recordNone)
      std::printf("%s: no record kept\n  %s\n", printable(track.title, false).c_str(), path.c_str());
    if (read == recordRefused) std::printf("%s\n", message.c_str());
    bool friendsRead = printFriends(key);
    printRaceBests(folder, key);
    return read == recordRefused || !friendsRead ? exitRefused : exitAccepted;
  }
  std::vector<std::string> paths, refusals;
  if (!recordFiles(folder, &paths)) {
    std::fprintf(stderr, "zarvanto-track: can't list %s: %s\n", folder.c_str(), std::strerror(errno));
    return exitUsage;
  }
  // Each track once, by title: the player's record, or else the title a friend's lap names.
  struct TListed {
    std::string title, key, path;  // path: the player's record; empty for friends' laps alone
    LapRecord record;
  };
  std::vector<TListed> listed;
  for (const std::string& path : paths) {
    std::string name = path.substr(folder.size() + 1);
    std::string key = name.substr(0, name.size() - std::strlen(recordExtension));
    if (readRecord(path, key, &record, &message) == recordRead)
      listed.push_back({record.title, key, path, record});
    else
      refusals.push_back(message);
  }
  for (const std::string& path : friendRecordFiles(friendsFolder(), "")) {
    std::string key = path.substr(path.rfind('/') + 1, 64);
    if (std::any_of(listed.begin(), listed.end(), [&](const TListed& t) { return t.key == key; })) continue;
    bool read = readRecord(path, key, &record, &message) == recordRead;
    listed.push_back({read ? record.title : key, key, "", {}});
  }
  std::sort(listed.begin(), listed.end(), [](const TListed& a, const TListed& b) {
    return a.title != b.title ? a.title < b.title : a.path < b.path;
  });
  bool friendsRead = true;
  for (const TListed& track : listed) {
    if (!track.path.empty())
      printRecord(track.record, track.path);
    else
      std::printf("%s: no record of yours\n", printable(track.title, false).c_str());
    friendsRead = printFriends(track.key) && friendsRead;
    printRaceBests(folder, track.key);
  }
  for (const std::string& refusal : refusals) std::printf("%s\n", refusal.c_str());
  if (listed.empty() && refusals.empty()) std::printf("no records kept in %s\n", folder.c_str());
  return refusals.empty() && friendsRead ? exitAccepted : exitRefused;
}

// Each track's title and its three target times; a track the game refuses gets its report.
int targets(int argc, char** argv) {
  if (getopt(argc, argv, ":") != -1 || optind >= argc) return usageError();
  bool allTimed = true;
  for (int i = optind; i < argc; i++) {
    TTrack track;
    if (track.load(argv[i]) != loadOk) {
      std::fputs(checkText(checkTrackFile(argv[i])).c_str(), stdout);
      allTimed = false;
      continue;
    }
    float gold = 0.0f;
    std::vector<GhostSample> ghost;
    if (!driveGoldLap(track, &gold, &ghost)) {
      std::printf("%s: no targets: the rival found no way round\n", printable(track.title, false).c_str());
      allTimed = false;
      continue;
    }
    LapTargets times = targetsFromGold(gold);
    char text[3][24];
    formatRaceTime(times.gold, text[0]);
    formatRaceTime(times.silver, text[1]);
    formatRaceTime(times.bronze, text[2]);
    std::printf("%s: gold %s, silver %s, bronze %s\n", printable(track.title, false).c_str(), text[0], text[1],
                text[2]);
  }
  return allTimed ? exitAccepted : exitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s%s", usage, help);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zarvanto-track %s\n", ZARVANTO_VERSION);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "check") == 0) return check(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "map") == 0) return map(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "import") == 0) return import(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "records") == 0) return records(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "targets") == 0) return targets(argc - 1, argv + 1);
  return usageError();
}
