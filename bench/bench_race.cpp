#include "bench/bench_race.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/game.h"
#include "bench/reference/generated_track.h"
#include "camera/camera.h"
#include "cars/player.h"
#include "track/track.h"

constexpr uint32_t trackSeed = 2024;   // the generated tracks; any seed gives tracks of the same kind
constexpr int8_t speedSteps = 4;       // up the ladder from standing: 40 units per second
constexpr float steeringGain = 4.0f;   // turn rate in radians per second per radian off course
constexpr float steeringLimit = 2.0f;  // radians per second, about what the mouse gives

std::string benchTrackPath(int64_t argument) {
  if (argument < 3) {
    const char* names[] = {"Default.tck", "Flat.tck", "Hills.tck"};
    return std::string(ZARVANTO_TRACKS_DIR) + "/" + names[argument];
  }
  static std::map<int64_t, std::string> written;
  auto found = written.find(argument);
  if (found != written.end()) return found->second;
  std::string path = std::string("/tmp/zarvanto-bench-") + std::to_string(argument) + ".tck";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  std::string text = trackFileText(generatedWaypoints(int32_t(argument), trackSeed));
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
  return written[argument] = path;
}

void startRace(const std::string& path, int32_t count) {
  if (cars != nullptr) {
    for (int32_t i = 0; i < carCount; i++) delete cars[i];
    delete[] cars;
    delete camera;
    camera = nullptr;
  }
  delete track;
  track = new TTrack();
  if (track->load(path.c_str()) != loadOk) std::abort();
  carCount = count;
  cars = new TCar*[carCount]();
  resetRace();
  for (int8_t k = 0; k < speedSteps; k++) player->changeSpeed(1);
  pauseState = stateRunning;
}

void driveStep(float dt) {
  float yaw, climb;
  directionAngles(player->position, track->waypoints[player->waypointIndex], &yaw, &climb);
  float offCourse = wrapAngle(yaw - player->heading, -float(pi));
  player->turnRate = std::fmax(-steeringLimit, std::fmin(steeringLimit, steeringGain * offCourse));
  for (int32_t i = 0; i < carCount; i++) cars[i]->update(dt);
  camera->update(dt);
}
