// Start-up from the command line, and the chooser's start of the same race.
#include "shell/startup.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "geometry/random.h"
#include "race/state.h"
#include "rivals/rival.h"
#include "shell/race.h"
#include "sound/sound.h"
#include "track/load_message.h"
#include "track/track.h"
#include "trial/time_trial.h"

void (*quitGame)() = [] { std::exit(0); };

static const char usageMessage[] = "Usage: Zarvanto [track file] [opponents 1..%d]\n";

int readOpponentArgument(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) text++;
  bool negative = *text == '-';
  if (*text == '+' || *text == '-') text++;
  long long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); text++) {
    value = value * 10 + (*text - '0');
    if (value > INT_MAX) {  // past the int range only the sign matters
      value = negative ? -(long long)INT_MAX - 1 : INT_MAX;
      return int(value);
    }
  }
  return int(negative ? -value : value);
}

bool takeOption(int* argc, char** argv, const char* option) {
  int kept = 1;
  for (int i = 1; i < *argc; i++)
    if (std::strcmp(argv[i], option) != 0) argv[kept++] = argv[i];
  bool found = kept < *argc;
  argv[kept] = nullptr;
  *argc = kept;
  return found;
}

const char raceUsage[] = "Usage: zarvanto --race LAPS(1..99) [--level easy|medium|hard] [track file] [rivals 0..7]\n";

// The value after the option at argv[at], both taken out; null when there is none.
static const char* takeValue(int* argc, char** argv, int at) {
  const char* value = at + 1 < *argc ? argv[at + 1] : nullptr;
  int gone = value != nullptr ? 2 : 1;
  for (int i = at; i + gone <= *argc; i++) argv[i] = argv[i + gone];
  *argc -= gone;
  return value;
}

bool takeRaceOptions(int* argc, char** argv) {
  const char* laps = nullptr;
  const char* level = nullptr;
  bool valid = true;
  for (int i = 1; i < *argc;) {
    if (std::strcmp(argv[i], "--race") == 0) {
      laps = takeValue(argc, argv, i);
      valid = valid && laps != nullptr;
    } else if (std::strcmp(argv[i], "--level") == 0) {
      level = takeValue(argc, argv, i);
      valid = valid && level != nullptr;
    } else {
      i++;
    }
  }
  if (!valid || (level != nullptr && laps == nullptr)) return false;
  if (laps == nullptr) return true;
  char* end = nullptr;
  long count = std::strtol(laps, &end, 10);
  if (end == laps || *end != '\0' || count < 1 || count > maxRaceLaps) return false;
  raceLaps = int32_t(count);
  if (level == nullptr) return true;
  for (uint8_t l = 0; levelName(l) != nullptr; l++)
    if (std::strcmp(level, levelName(l)) == 0) {
      raceLevel = l;
      return true;
    }
  return false;
}

// A load begun before GLUT started, and its result. The thread is never destroyed: a GLUT that
// cannot reach the display ends the process with the load still running.
static std::thread* earlyLoad = nullptr;
static int8_t earlyResult = loadOk;

static const char* trackFileName(int argc, char** argv) { return argc < 2 ? "Default.tck" : argv[1]; }

void startLoadingTrack(int argc, char** argv) {
  // GLUT takes its own options, each beginning with '-', out of the command line.
  for (int i = 1; i < argc; i++)
    if (argv[i][0] == '-') return;
  track = new TTrack();
  const char* fileName = trackFileName(argc, argv);
  earlyLoad = new std::thread([fileName] { earlyResult = track->load(fileName); });
}

void initGame(int argc, char** argv) {
  bool defaultTrack = argc < 2;
  int8_t result;
  if (earlyLoad != nullptr) {
    earlyLoad->join();
    delete earlyLoad;
    earlyLoad = nullptr;
    result = earlyResult;
  } else {
    track = new TTrack();
    result = track->load(trackFileName(argc, argv));
  }
  if (result != loadOk) {
    std::fputs(loadFailureMessage(result, defaultTrack).c_str(), stdout);
    delete track;
    track = nullptr;
    std::exit(1);
  }

  if (argc >= 3) {
    long long count = (long long)readOpponentArgument(argv[2]) + 1;
    if (count > maxCars) count = maxCars;
    if (count < 1) {
      std::printf(usageMessage, maxOpponents);
      delete track;
      track = nullptr;
      std::exit(1);
    }
    carCount = int32_t(count);
  }

  beginRace();
}

void beginRace() {
  cars = new TCar*[carCount]();
  lastLapTime = 0.0f;
  resetRace();
  openTimeTrial();
}

bool startChosenRace(const char* fileName, int32_t opponents, std::string* message) {
  // The generator as a fresh game has it, so the ground's shades and the opponents' places are
  // those the command line gives this track.
  setGameRandState(1);
  track = new TTrack();
  int8_t result = track->load(fileName);
  if (result != loadOk) {
    *message = loadFailureMessage(result, false);
    delete track;
    track = nullptr;
    return false;
  }
  carCount = opponents + 1;
  // What an earlier race from the chooser changed is put back as a game starts it.
  bestLapTime = std::numeric_limits<float>::max();
  messageText[0] = '\0';
  messageTime = 0.0f;
  displayFlags = startDisplayFlags;
  beginRace();
  openSound(soundMuted);
  return true;
}

void printBanner() {
  std::printf("Zarvanto by Iveldor\n");
  std::printf("(https://zarvanto.example.org)\n");
  std::printf(usageMessage, maxOpponents);
}
