// The chooser. Titles are read from the first two lines of each file, so a folder of a thousand
// tracks lists at once; the selected track is read whole and judged on a thread of its own, and
// the frame loop only looks whether its result has come. Nothing in either folder is written.
#include "chooser/chooser.h"

#include <GL/glut.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <tuple>

#include "contest/contest.h"
#include "input/input.h"
#include "race/state.h"
#include "records/record.h"
#include "records/worker.h"
#include "rivals/rival.h"
#include "shell/loop.h"
#include "shell/race.h"
#include "shell/startup.h"
#include "targets/targets.h"
#include "track/load_message.h"
#include "track/track.h"

constexpr size_t titleReadBytes = 8 + maxTitleLength + 2;  // "#Track\r\n", the title and its line end
constexpr unsigned shapePollPeriod = 20;                   // milliseconds between looks for a loaded shape
constexpr size_t maxSettingsBytes = 4096;                  // a larger settings file is not the game's
constexpr int wheelUp = 3;                                 // GLUT's buttons for the wheel's turns
constexpr int wheelDown = 4;

static const char tooLargeMessage[] = "Track file larger than 64 MiB";
static const char settingsName[] = "/chooser";
static const char noSettingsMessage[] = "zarvanto: the chooser's settings are left as they are: ";

bool choosing = false;
std::vector<ChooserEntry> chooserEntries;
int32_t chooserSelected = -1;
int32_t chooserFirstRow = 0;
int32_t chooserOpponents = maxOpponents;
bool chooserRace = false;
int32_t chooserLaps = 3;
uint8_t chooserLevel = levelMedium;
bool chooserHelp = false;
const TTrack* chooserShape = nullptr;

static bool settingsKept = false;  // the settings file is the game's or not there, so it may be written

// The shape loader, and the track it hands back under its lock.
static TWorker shapeLoader;
static std::string requestPath;        // under shapeLoader.lock: the file to load next
static int32_t requestIndex = -1;      // under shapeLoader.lock: its entry; -1 when none is asked for
static TTrack* resultShape = nullptr;  // under shapeLoader.lock: the track read, or null when refused
static int32_t resultIndex = -1;       // under shapeLoader.lock: the entry it is for; -1 when none waits
static std::string resultPath;         // under shapeLoader.lock: its file, which the list shown again may have moved
static int8_t resultLoad = loadOk;     // under shapeLoader.lock
static ChooserEntry resultTimes;       // under shapeLoader.lock: the record, targets and friend's lap found
static int32_t shapeAwaited = -1;      // the entry whose shape the frame loop waits for; -1: none
static bool pollArmed = false;         // a timer will look for the result

// A message of the game's without its line end: the chooser shows it on one line.
static std::string oneLine(std::string message) {
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return message;
}

// The title from the first two lines as the loader reads them, or why the file is no track file.
static void readTitle(ChooserEntry* entry) {
  // Without blocking, should a pipe have taken the file's place since it was looked at.
  int descriptor = open(entry->path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    entry->message = oneLine(loadFailureMessage(loadCantOpen, false));
    return;
  }
  char head[titleReadBytes];
  size_t size = 0;
  ssize_t got = 0;
  while (size < sizeof head && (got = read(descriptor, head + size, sizeof head - size)) > 0) size += size_t(got);
  close(descriptor);
  if (got < 0) {
    entry->message = oneLine(loadFailureMessage(loadCantOpen, false));
    return;
  }
  auto lineEnd = [&](const char* from) {
    return static_cast<const char*>(std::memchr(from, '\n', size_t(head + size - from)));
  };
  const char* first = lineEnd(head);
  const char* second = first != nullptr ? lineEnd(first + 1) : nullptr;
  auto withoutReturn = [](const char* begin, const char* end) {
    return std::string(begin, end > begin && end[-1] == '\r' ? end - 1 : end);
  };
  if (second == nullptr || withoutReturn(head, first) != "#Track") {
    entry->message = oneLine(loadFailureMessage(loadNotTrackFile, false));
    return;
  }
  std::string title = withoutReturn(first + 1, second);
  if (title.size() > size_t(maxTitleLength)) {
    entry->message = oneLine(loadFailureMessage(loadNotTrackFile, false));
    return;
  }
  title.resize(std::strlen(title.c_str()));  // a NUL ends the title, as the loader takes it
  if (!title.empty()) entry->title = title;
}

void listTracks(const std::string& folder, std::vector<ChooserEntry>* entries) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return;
  size_t first = entries->size();
  while (const dirent* found = readdir(listing)) {
    std::string name = found->d_name;
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, ".tck") != 0) continue;
    ChooserEntry entry;
    entry.path = folder + "/" + name;
    entry.title = name;
    // Through any link: one that loops or leads nowhere fails here and is no track file.
    struct stat status;
    if (stat(entry.path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (status.st_size > maxTrackFileBytes)
      entry.message = tooLargeMessage;
    else
      readTitle(&entry);
    entries->push_back(std::move(entry));
  }
  closedir(listing);
  std::sort(entries->begin() + long(first), entries->end(), [](const ChooserEntry& a, const ChooserEntry& b) {
    return std::tie(a.title, a.path) < std::tie(b.title, b.path);
  });
}

static void loadShape() {
  std::unique_lock<std::mutex> hold(shapeLoader.lock);
  if (requestIndex < 0) return;
  std::string path = requestPath;
  int32_t index = requestIndex;
  requestIndex = -1;
  hold.unlock();
  // Read and judged without the mesh, which would draw on the game's generator.
  TTrack* shape = new TTrack();
  int8_t result = shape->load(path.c_str(), nullptr, false);
  ChooserEntry times;
  if (result == loadOk) {
    std::string key = trackKey(*shape), message;
    LapRecord record;
    times.recordKept = readRecord(recordPath(recordsFolder(), key), key, &record, &message) == recordRead;
    times.recordLapTime = record.lapTime;
    times.medal = times.recordKept ? record.medal : uint8_t(medalNone);
    times.targetsKnown = readRecord(targetsPath(recordsFolder(), key), key, &record, &message) == recordRead;
    times.goldTime = record.lapTime;
    // A record kept before medals were has the medal its time wins.
    if (times.recordKept && times.targetsKnown)
      times.medal = std::max(times.medal, medalWon(times.recordLapTime, targetsFromGold(times.goldTime)));
    times.friendKept = bestFriendRecord(key, &record);
    times.friendLapTime = record.lapTime;
  } else {
    delete shape;
    shape = nullptr;
  }
  hold.lock();
  delete resultShape;  // a result never taken: the selection has moved on
  resultShape = shape;
  resultIndex = index;
  resultPath = path;
  resultLoad = result;
  resultTimes = times;
}

static void takeShape(int);

static void armPoll() {
  if (pollArmed) return;
  pollArmed = true;
  glutTimerFunc(shapePollPeriod, takeShape, 0);
}

// Takes a loaded shape when one has come, without ever waiting for the loader.
static void takeShape(int) {
  pollArmed = false;
  std::unique_lock<std::mutex> hold(shapeLoader.lock, std::try_to_lock);
  // A result for a list since made again, where its entry stands elsewhere, is left.
  if (hold.owns_lock() && resultIndex >= 0 &&
      (size_t(resultIndex) >= chooserEntries.size() || chooserEntries[size_t(resultIndex)].path != resultPath)) {
    delete resultShape;
    resultShape = nullptr;
    resultIndex = -1;
  }
  if (hold.owns_lock() && resultIndex >= 0) {
    ChooserEntry& entry = chooserEntries[size_t(resultIndex)];
    entry.judged = true;
    entry.message = resultLoad == loadOk ? "" : oneLine(loadFailureMessage(resultLoad, false));
    entry.length = resultShape != nullptr ? resultShape->length() : 0.0f;
    entry.waypoints = resultShape != nullptr ? resultShape->waypointCount : 0;
    entry.recordKept = resultTimes.recordKept;
    entry.recordLapTime = resultTimes.recordLapTime;
    entry.medal = resultTimes.medal;
    entry.targetsKnown = resultTimes.targetsKnown;
    entry.goldTime = resultTimes.goldTime;
    entry.friendKept = resultTimes.friendKept;
    entry.friendLapTime = resultTimes.friendLapTime;
    if (resultIndex == chooserSelected) {
      delete chooserShape;
      chooserShape = resultShape;
    } else {
      delete resultShape;
    }
    if (resultIndex == shapeAwaited) shapeAwaited = -1;
    resultShape = nullptr;
    resultIndex = -1;
    glutPostRedisplay();
  }
  if (shapeAwaited >= 0) armPoll();
}

static void select(int32_t index) {
  if (chooserEntries.empty()) return;
  index = std::clamp(index, 0, int32_t(chooserEntries.size()) - 1);
  glutPostRedisplay();
  if (index == chooserSelected) return;
  chooserSelected = index;
  chooserFirstRow = std::clamp(chooserFirstRow, index - chooserRows + 1, index);
  delete chooserShape;
  chooserShape = nullptr;
  const ChooserEntry& entry = chooserEntries[size_t(index)];
  // Refused from its first lines or its size: there is nothing more to read.
  if (!entry.message.empty() && !entry.judged) {
    shapeAwaited = -1;
    return;
  }
  {
    std::lock_guard<std::mutex> hold(shapeLoader.lock);
    requestPath = entry.path;
    requestIndex = index;
  }
  handWork(&shapeLoader);
  shapeAwaited = index;
  armPoll();
}

static std::string settingsPath() {
  std::string folder = playerConfigFolder();
  return folder.empty() ? "" : folder + settingsName;
}

// "track PATH", "opponents N" and, once a race was set, "race 0|1", "laps N" and "level NAME",
// one a line. A file that can't be read or says anything else
// is not the game's to write over.
static void readSettings(std::string* track) {
  std::string path = settingsPath();
  settingsKept = !path.empty();
  if (path.empty()) return;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    settingsKept = errno == ENOENT;
    if (!settingsKept) std::fprintf(stderr, "%s%s: %s\n", noSettingsMessage, path.c_str(), std::strerror(errno));
    return;
  }
  char text[maxSettingsBytes + 1];
  size_t size = std::fread(text, 1, sizeof text, file);
  bool read = !std::ferror(file) && size <= maxSettingsBytes;
  std::fclose(file);
  int opponents = chooserOpponents, race = chooserRace, laps = chooserLaps;
  uint8_t level = chooserLevel;
  for (size_t at = 0; read && at < size;) {
    const char* end = static_cast<const char*>(std::memchr(text + at, '\n', size - at));
    std::string line(text + at, end != nullptr ? size_t(end - text) - at : size - at);
    at += line.size() + 1;
    char extra;
    if (line.compare(0, 6, "track ") == 0)
      *track = line.substr(6);
    else if (std::sscanf(line.c_str(), "race %d%c", &race, &extra) == 1)
      read = race == 0 || race == 1;
    else if (std::sscanf(line.c_str(), "laps %d%c", &laps, &extra) == 1)
      read = laps >= 1 && laps <= maxRaceLaps;
    else if (line.compare(0, 6, "level ") == 0) {
      level = levelCount;
      for (uint8_t l = 0; l < levelCount; l++)
        if (line.compare(6, std::string::npos, levelName(l)) == 0) level = l;
      read = level < levelCount;
    } else if (!(std::sscanf(line.c_str(), "opponents %d%c", &opponents, &extra) == 1 && opponents >= 0 &&
                 opponents <= maxOpponents))
      read = false;
  }
  if (!read) {
    std::fprintf(stderr, "%s%s is not the chooser's\n", noSettingsMessage, path.c_str());
    settingsKept = false;
    track->clear();
    return;
  }
  chooserOpponents = opponents;
  chooserRace = race == 1;
  chooserLaps = laps;
  chooserLevel = level;
}

static void keepSettings() {
  if (!settingsKept || chooserSelected < 0) return;
  std::string text = "track " + chooserEntries[size_t(chooserSelected)].path + "\nopponents " +
                     std::to_string(chooserOpponents) + "\nrace " + (chooserRace ? "1" : "0") + "\nlaps " +
                     std::to_string(chooserLaps) + "\nlevel " + levelName(chooserLevel) + "\n",
              why;
  if (!replaceFile(settingsPath(), text, &why))
    std::fprintf(stderr, "zarvanto: the chooser's settings can't be kept in %s: %s\n", settingsPath().c_str(),
                 why.c_str());
}

// The chooser's own keys while it is shown.
static void listenToChooser() {
  glutKeyboardFunc(chooserKeyboard);
  glutSpecialFunc(chooserSpecialKey);
}

// Both folders listed afresh, the shipped tracks first.
static void listBothFolders() {
  chooserEntries.clear();
  listTracks(shippedTracksFolder(), &chooserEntries);
  std::string own = playerTracksFolder();
  size_t shippedCount = chooserEntries.size();
  if (!own.empty()) listTracks(own, &chooserEntries);
  for (size_t i = shippedCount; i < chooserEntries.size(); i++) chooserEntries[i].own = true;
}

void openChooser() {
  std::string shipped = shippedTracksFolder();
  listBothFolders();
  std::string last;
  readSettings(&last);
  startWorker(&shapeLoader, loadShape);
  // The track the player raced last, else the one the game races when no file is named.
  int32_t chosen = 0;
  for (const std::string& wanted : {shipped + "/Default.tck", last})
    for (size_t i = 0; i < chooserEntries.size(); i++)
      if (chooserEntries[i].path == wanted) chosen = int32_t(i);
  choosing = true;
  listenToChooser();
  select(chosen);
}

void closeChooser() {
  if (shapeLoader.job == nullptr) return;
  stopWorker(&shapeLoader);
  delete resultShape;
  resultShape = nullptr;
  delete chooserShape;
  chooserShape = nullptr;
}

void listTracksAgain(const std::string& path) {
  listBothFolders();
  int32_t again = 0;
  for (size_t i = 0; i < chooserEntries.size(); i++)
    if (chooserEntries[i].path == path) again = int32_t(i);
  chooserSelected = -1;
  select(again);
}

void returnToChooser() {
  setPause(statePaused);
  releaseRace();
  // Listed again, for tracks imported meanwhile, and the raced track read again, for its new record.
  listTracksAgain(chooserSelected >= 0 ? chooserEntries[size_t(chooserSelected)].path : "");
  choosing = true;
  listenToChooser();
  glutPostRedisplay();
}

// The race's keys, but for Escape, which leaves the race for the chooser instead of quitting.
static void raceKeyboard(unsigned char key, int x, int y) {
  if (key == keyEscape) {
    if (raceLaps > 0) printStandings(stdout);
    returnToChooser();
  } else
    keyboard(key, x, y);
}

static void startRace() {
  if (chooserSelected < 0) return;
  ChooserEntry& entry = chooserEntries[size_t(chooserSelected)];
  if (!entry.message.empty()) return;
  keepSettings();
  std::string message;
  raceLaps = chooserRace ? chooserLaps : 0;
  raceLevel = chooserLevel;
  if (!startChosenRace(entry.path.c_str(), chooserOpponents, &message)) {
    entry.message = oneLine(message);
    entry.judged = true;
    glutPostRedisplay();
    return;
  }
  choosing = false;
  glutKeyboardFunc(raceKeyboard);
  glutSpecialFunc(specialKey);
  glutPostRedisplay();
}

static void setOpponents(int32_t count) {
  chooserOpponents = std::clamp(count, 0, int32_t(maxOpponents));
  glutPostRedisplay();
}

void chooserKeyboard(unsigned char key, int, int) {
  glutPostRedisplay();
  switch (key) {
    case keyEnter: startRace(); break;
    case keyEscape:
      keepSettings();
      quitGame();  // the exit clean-up stops the loader
      break;
    case 'h':
    case 'H':
      chooserHelp = !chooserHelp;
      glutPostRedisplay();
      break;
    // The race against rivals: on and off, its laps and its level.
    case 'r':
    case 'R': chooserRace = !chooserRace; break;
    case '+':
    case '=': chooserLaps = std::min(chooserLaps + 1, int32_t(maxRaceLaps)); break;
    case '-': chooserLaps = std::max(chooserLaps - 1, 1); break;
    case 'v':
    case 'V': chooserLevel = uint8_t((chooserLevel + 1) % levelCount); break;
    default: break;
  }
}

void chooserSpecialKey(int key, int, int) {
  switch (key) {
    case GLUT_KEY_UP: select(chooserSelected - 1); break;
    case GLUT_KEY_DOWN: select(chooserSelected + 1); break;
    case GLUT_KEY_PAGE_UP: select(chooserSelected - chooserRows); break;
    case GLUT_KEY_PAGE_DOWN: select(chooserSelected + chooserRows); break;
    case GLUT_KEY_HOME: select(0); break;
    case GLUT_KEY_END: select(int32_t(chooserEntries.size()) - 1); break;
    case GLUT_KEY_LEFT: setOpponents(chooserOpponents - 1); break;
    case GLUT_KEY_RIGHT: setOpponents(chooserOpponents + 1); break;
    case GLUT_KEY_F1:
      chooserHelp = !chooserHelp;
      glutPostRedisplay();
      break;
    default: break;
  }
}

void chooserMouse(int button, int state, int x, int y) {
  if (!choosing || state != GLUT_DOWN || windowWidth <= 0 || windowHeight <= 0) return;
  if (button == wheelUp || button == wheelDown) {
    select(chooserSelected + (button == wheelUp ? -1 : 1));
    return;
  }
  if (button != GLUT_LEFT_BUTTON) return;
  // The window's pixel on the overlay plane, where the chooser is laid out.
  float across = (2.0f * float(x) / float(windowWidth) - 1.0f) * overlayHalfHeight * aspectRatio;
  float up = (1.0f - 2.0f * float(y) / float(windowHeight)) * overlayHalfHeight;
  auto onLine = [up](float baseline) { return up > baseline - chooserLineBelow && up < baseline + chooserLineAbove; };
  if (onLine(chooserOpponentsLine)) {
    float step = (across - chooserOpponentsX(aspectRatio)) / chooserOpponentStep;
    if (step > -0.5f && step < float(maxOpponents) + 0.5f) setOpponents(int32_t(step + 0.5f));
    return;
  }
  if (across > 0.0f) return;  // the list is the left half
  for (int32_t row = 0; row < chooserRows; row++)
    if (onLine(chooserListTop - float(row) * chooserRowStep) && chooserFirstRow + row < int32_t(chooserEntries.size()))
      select(chooserFirstRow + row);
}
