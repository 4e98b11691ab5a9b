// A long race on the real game in a virtual screen, driven the way a player would: laps of the
// plateau ring, a pause, full screen, every camera and overlay, a crash off the edge and a
// restart, over and over. Every minute it records the game's resident memory and the frames it
// showed, and fails if memory keeps growing or the frames stop.
//
// ZARVANTO_SOAK_MINUTES sets the length (4 by default, the shortest that judges memory once it
// has settled); scripts/soak runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/harness.h"
#include "soak/frame_counter.h"

namespace {

using namespace e2e;
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

// The ring is drawn round the circle the car turns on at 40 units per second with the pointer
// 23 pixels right of the window's centre (half a degree per second per pixel): a radius of
// 199.3 units, a lap of about 31 seconds. Its waypoints lie 2 units outside that circle and
// allow for the few units the car runs straight before the pointer reaches the window. The
// road sits on a plateau 500 units up, so leaving it outwards is a crash.
constexpr int kSteerPixels = 23;
constexpr int kSpeedSteps = 4;  // 0, 5, 10, 20, 40
constexpr int kSwerveOutPixels = 200;
constexpr double kCycleSeconds = 60;

// Software drawing at 500 by 400 gives well over this on the slowest machine it runs on;
// fewer means the frames have stopped or the game is stalling.
constexpr long kMinFramesPerMinute = 300;
// Resident memory grows for the first few minutes while the renderer and the C library settle
// (shaders compiled for each view, buffers for full screen, the heap's arenas, the first
// restarts), by 5 to 9 MB between the first and the second minute alone, then stays put. From
// half way through the race, and never before this minute, it must stay within kMaxGrowthKiB of
// its reading there: a leak of a megabyte a minute fails a 20-minute race.
constexpr int kSettledMinute = 3;
constexpr long kMaxGrowthKiB = 8 * 1024;

int soakMinutes() {
  const char* text = std::getenv("ZARVANTO_SOAK_MINUTES");
  int minutes = text != nullptr ? std::atoi(text) : 0;
  return minutes > 0 ? minutes : kSettledMinute + 1;
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

struct Sample {
  int minute;
  long residentKiB;
  long frames;  // since the start
};

// The crash banner is drawn in this colour across the middle of the window.
bool showsCrash(const Image& shot) {
  const Rgb crashRed{255, 51, 0};
  return shot.contains(crashRed, 8, {0, 0, shot.width(), shot.height()});
}

class Driver {
 public:
  explicit Driver(const Window& window) : window_(window) {}

  // From a fresh, paused race: resume, speed up and steer onto the ring in one go, so the car
  // runs as little as possible straight ahead before it turns.
  void startLap() const {
    std::vector<std::string> args{"windowfocus", "--sync", window_.id(), "key"};
    for (int i = 0; i < kSpeedSteps; ++i) args.push_back("Up");
    const Geometry g = window_.geometry();
    args.insert(args.end(), {"mousemove", "--window", window_.id(), std::to_string(g.width / 2 + kSteerPixels),
                             std::to_string(g.height / 2)});
    xdotool(args);
  }

  // The pointer's place steers, measured from the window's centre, which moves with its size.
  void steer(int pixelsRight) const {
    const Geometry g = window_.geometry();
    window_.mouseMove(g.width / 2 + pixelsRight, g.height / 2);
  }

  void key(const char* keysym) const { window_.key(keysym); }

 private:
  void xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), "xdotool");
    const CommandResult result = runCommand(args);
    if (result.status != 0) throw std::runtime_error("xdotool failed: " + result.err);
  }

  const Window& window_;
};

TEST(Soak, MemoryStaysFlatAndFramesKeepComing) {
  ASSERT_TRUE(haveDisplay()) << "the soak needs an X server; scripts/soak starts one";
  const int minutes = soakMinutes();
  Process game = startGame({SOAK_TRACK, "7"}, tracksDir());
  const Window window = Window::find(game);
  auto counter = std::make_unique<soak::FrameCounter>(window.id());
  Driver driver(window);

  const auto start = Clock::now();
  auto elapsed = [&] { return Seconds(Clock::now() - start).count(); };
  std::vector<Sample> samples{{0, residentKiB(game.pid()), counter->frames()}};
  int crashes = 0, cycles = 0;
  // What the player does at each second of a cycle. The lap comes first, untouched by
  // anything that moves the car; then the pause and full screen, which may nudge it off the
  // ring; then the swerve off the plateau and the restart.
  struct Step {
    double at;
    const char* keysym;  // null: the step below is not a key
    enum { Key, StartLap, SwerveOut, Restart, Resteer } what;
  };
  const Step cycle[] = {
      {0, nullptr, Step::StartLap}, {5, "F6", Step::Key},           {9, "F5", Step::Key},
      {13, "F8", Step::Key},        {17, "3", Step::Key},           {20, "7", Step::Key},
      {23, "0", Step::Key},         {25, "F7", Step::Key},          {27, "F1", Step::Key},
      {30, "F1", Step::Key},        {34, "p", Step::Key},           {36, "p", Step::Key},
      {38, "F4", Step::Key},        {41, "F4", Step::Key},          {42, "F2", Step::Key},
      {43, "F3", Step::Key},        {44, "F2", Step::Key},          {45, "F3", Step::Key},
      {46, "f", Step::Key},         {47, nullptr, Step::Resteer},   {50, "f", Step::Key},
      {51, nullptr, Step::Resteer}, {53, nullptr, Step::SwerveOut}, {58, nullptr, Step::Restart},
  };

  // Waits until the given second of the run, taking each minute's reading on the way.
  auto waitUntil = [&](double second) {
    while (elapsed() < second) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const int minute = int(elapsed() / 60);
      if (minute > samples.back().minute) samples.push_back({minute, residentKiB(game.pid()), counter->frames()});
    }
  };
  const int cycleCount = int(minutes * 60 / kCycleSeconds);
  for (; cycles < cycleCount; ++cycles) {
    const double cycleStart = cycles * kCycleSeconds;
    for (const Step& step : cycle) {
      waitUntil(cycleStart + step.at);
      ASSERT_TRUE(game.running()) << "the game died " << elapsed() << " s in; stderr: " << game.err();
      switch (step.what) {
        case Step::Key: driver.key(step.keysym); break;
        case Step::StartLap: driver.startLap(); break;
        case Step::Resteer: driver.steer(kSteerPixels); break;
        case Step::SwerveOut: driver.steer(-kSwerveOutPixels); break;
        case Step::Restart:
          if (showsCrash(window.screenshot())) ++crashes;
          driver.key("Return");  // a new race, paused, for the next cycle
          break;
      }
    }
  }
  waitUntil(cycleCount * kCycleSeconds + 1);
  counter.reset();  // before the window goes
  window.key("Escape");
  const auto status = game.waitExit(kExitTimeout);

  std::ostringstream table;
  table << "minute  resident KiB  frames in the minute\n";
  long peak = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    peak = std::max(peak, s.residentKiB);
    char line[80];
    std::snprintf(line, sizeof line, "%6d  %12ld  %20ld\n", s.minute, s.residentKiB,
                  i == 0 ? 0 : s.frames - samples[i - 1].frames);
    table << line;
  }
  table << "cycles " << cycles << ", crashes seen " << crashes << ", frames " << samples.back().frames
        << ", peak resident " << peak << " KiB\n";
  std::printf("%s", table.str().c_str());
  if (const char* report = std::getenv("ZARVANTO_SOAK_REPORT")) std::ofstream(report) << table.str();

  EXPECT_EQ(status, std::optional<int>(0)) << "stderr: " << game.err();
  EXPECT_EQ(crashes, cycles) << "every cycle ends in a crash off the plateau";
  const std::size_t halfWay = std::max<std::size_t>(kSettledMinute, samples.size() / 2);
  ASSERT_GT(samples.size(), halfWay + 1) << "too short a race to judge memory: play at least " << kSettledMinute + 1
                                         << " minutes";
  const long settled = samples[halfWay].residentKiB;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (i > halfWay) {
      EXPECT_LE(samples[i].residentKiB, settled + kMaxGrowthKiB) << "minute " << samples[i].minute;
    }
    const int minutesBetween = samples[i].minute - samples[i - 1].minute;
    if (minutesBetween > 0) {
      EXPECT_GE((samples[i].frames - samples[i - 1].frames) / minutesBetween, kMinFramesPerMinute)
          << "minute " << samples[i].minute;
    }
  }
}

}  // namespace
