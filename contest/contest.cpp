// The race against rivals: grid, countdown, contact, laps, places and the standings.
#include "contest/contest.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "cars/player.h"
#include "events/race_events.h"
#include "records/race_record.h"
#include "records/record.h"
#include "rivals/rival.h"
#include "track/track.h"
#include "track/triangle.h"

constexpr float gridFront = 6.0f;         // units from the start line back to the front row
constexpr float gridRowStep = 7.0f;       // units between rows: two car lengths
constexpr float gridSide = 2.0f;          // units either side of the centre line
constexpr float bodyRadius = 0.9f;        // units: a car is two discs this wide, front and back,
constexpr float bodyOffset = 0.9f;        // this far either side of its reference point
constexpr float sideTouch = 0.7f;         // cosine: a touch further off both noses is side by side, and slows neither
constexpr float fallbackGapSpeed = 5.0f;  // units per second the gap is counted at for a car standing still

uint8_t contestPhase = phaseGrid;
float countdownTime = 0.0f;
float raceTime = 0.0f;
TStanding standings[maxCars];
int32_t raceOrder[maxCars];
int32_t missedWaypoint = -1;

static std::vector<float> waypointDistance;  // units along the road from waypoint 0 to each waypoint
static float lapLength;                      // units round in plan
static bool standingsPrinted = false;

static const char* const colourNames[maxCars] = {"you", "red", "green", "yellow", "blue", "magenta", "cyan", "white"};

const char* carName(int32_t car) { return car >= 0 && car < maxCars ? colourNames[car] : "?"; }

const char* ordinalSuffix(int32_t position) {
  if (position % 100 >= 11 && position % 100 <= 13) return "th";
  switch (position % 10) {
    case 1: return "st";
    case 2: return "nd";
    case 3: return "rd";
    default: return "th";
  }
}

static float planLength(Vec3 a, Vec3 b) { return std::hypot(b.x - a.x, b.z - a.z); }

// Stands the car on the centre line this far behind the start line, moved across the road.
static void standOnGrid(TCar* car, float behind, float across) {
  const Vec3* w = track->waypoints;
  int32_t end = track->waypointCount;
  for (int32_t n = 0; n < track->waypointCount && behind > planLength(w[end - 1], w[end]); n++) {
    behind -= planLength(w[end - 1], w[end]);
    end = end == 1 ? track->waypointCount : end - 1;
  }
  Vec3 a = w[end - 1], b = w[end];
  float length = planLength(a, b);
  float dx = (b.x - a.x) / length, dz = (b.z - a.z) / length;
  Vec3 place = {b.x - dx * behind - dz * across, b.y, b.z - dz * behind + dx * across};
  float yaw = std::atan2(dx, dz);
  if (car == player) {
    player->position = place;
    player->triangle = track->findTriangle(place.x, place.y, place.z);
    player->position.y = player->triangle->heightAt(place.x, place.y, place.z);
    player->setMotion(0.0f, yaw, player->triangle->slopeAngle);
  } else {
    static_cast<TRival*>(car)->standAt(place, yaw);
  }
  car->waypointIndex = 1;
}

static float coveredBy(const TCar& car, int32_t laps) {
  return float(laps) * lapLength + waypointDistance[size_t(car.waypointIndex - 1)] + alongLeg(car);
}

// Places by the finish first, then by the distance covered.
static bool placedBefore(int32_t a, int32_t b) {
  const TStanding &p = standings[a], &q = standings[b];
  if (p.finished != q.finished) return p.finished;
  if (p.finished) return p.finishTime < q.finishTime || (p.finishTime == q.finishTime && a < b);
  return p.covered > q.covered || (p.covered == q.covered && a < b);
}

static void orderCars() {
  for (int32_t i = 0; i < carCount; i++) {
    int32_t car = i, at = i;
    while (at > 0 && placedBefore(car, raceOrder[at - 1])) {
      raceOrder[at] = raceOrder[at - 1];
      at--;
    }
    raceOrder[at] = car;
  }
}

void startContest() {
  const Vec3* w = track->waypoints;
  waypointDistance.assign(size_t(track->waypointCount) + 1, 0.0f);
  for (int32_t i = 1; i <= track->waypointCount; i++)
    waypointDistance[size_t(i)] = waypointDistance[size_t(i - 1)] + planLength(w[i - 1], w[i]);
  lapLength = waypointDistance[size_t(track->waypointCount)];
  // The rivals in index order from the front row, two abreast; the player at the back.
  for (int32_t slot = 0; slot < carCount; slot++) {
    TCar* car = slot == carCount - 1 ? cars[0] : cars[slot + 1];
    standOnGrid(car, gridFront + float(slot / 2) * gridRowStep, slot % 2 == 0 ? gridSide : -gridSide);
  }
  for (int32_t i = 0; i < carCount; i++)
    standings[i] = TStanding{0, 1, false, 0.0f, 0.0f, std::numeric_limits<float>::max(), coveredBy(*cars[i], 0), 0};
  orderCars();
  contestPhase = phaseGrid;
  countdownTime = 0.0f;
  raceTime = 0.0f;
  missedWaypoint = -1;
  standingsPrinted = false;
}

// The two discs of a car's body in plan.
static void discs(const TCar& car, float (&x)[2], float (&z)[2]) {
  float fx = std::sin(car.heading) * bodyOffset, fz = std::cos(car.heading) * bodyOffset;
  x[0] = car.position.x + fx, z[0] = car.position.z + fz;
  x[1] = car.position.x - fx, z[1] = car.position.z - fz;
}

static void dropSpeed(TCar* car) {
  if (car == player)
    player->changeSpeed(-1);
  else
    static_cast<TRival*>(car)->dropSpeed();
}

// Cars are solid: two that overlap are pushed apart, half each, and the one behind, when the
// touch is new, loses a step of speed.
static void separateCars() {
  for (int32_t i = 0; i < carCount; i++)
    for (int32_t j = i + 1; j < carCount; j++) {
      TCar *a = cars[i], *b = cars[j];
      float ax[2], az[2], bx[2], bz[2];
      discs(*a, ax, az);
      discs(*b, bx, bz);
      float best = 1e30f, nx = 0.0f, nz = 0.0f;
      for (int p = 0; p < 2; p++)
        for (int q = 0; q < 2; q++) {
          float dx = bx[q] - ax[p], dz = bz[q] - az[p];
          float d = std::sqrt(dx * dx + dz * dz);
          if (d < best) best = d, nx = dx, nz = dz;
        }
      uint8_t bit = uint8_t(1u << j);
      if (best >= 2.0f * bodyRadius) {
        standings[i].touching &= uint8_t(~bit);
        continue;
      }
      if (best > 1e-6f) {
        nx /= best, nz /= best;
      } else {
        nx = std::sin(a->heading), nz = std::cos(a->heading);  // on top of each other: b goes ahead
      }
      float push = 0.5f * (2.0f * bodyRadius - best);
      a->position.x -= nx * push, a->position.z -= nz * push;
      b->position.x += nx * push, b->position.z += nz * push;
      if (standings[i].touching & bit) continue;
      standings[i].touching |= bit;
      // The one whose nose points more at the other is behind.
      float aToB = nx * std::sin(a->heading) + nz * std::cos(a->heading);
      float bToA = -(nx * std::sin(b->heading) + nz * std::cos(b->heading));
      if (std::fmax(aToB, bToA) > sideTouch) dropSpeed(aToB >= bToA ? a : b);
    }
}

// A waypoint the player has passed without reaching it, heading on along the next leg.
static void watchMissedWaypoint() {
  int32_t next = player->waypointIndex;
  Vec3 w = track->waypoints[next];
  Vec3 after = track->waypoints[next == track->waypointCount ? 1 : next + 1];
  float past = (player->position.x - w.x) * (after.x - w.x) + (player->position.z - w.z) * (after.z - w.z);
  if (missedWaypoint != next && past > 0.0f && distance(player->position, w) > 8.0f && player->speed > 0.0f)
    missedWaypoint = next;
  if (missedWaypoint >= 0 && missedWaypoint != next) missedWaypoint = -1;
}

static void countLaps(float now) {
  for (int32_t i = 0; i < carCount; i++) {
    TStanding& s = standings[i];
    int32_t index = cars[i]->waypointIndex;
    if (index < s.lastIndex && !s.finished) {
      s.laps++;
      float lap = raceTime - s.lapStart;
      s.lapStart = raceTime;
      s.bestLap = std::min(s.bestLap, lap);
      if (s.laps >= raceLaps) {
        s.finished = true;
        s.finishTime = raceTime;
      }
    }
    s.lastIndex = index;
    if (!s.finished) s.covered = coveredBy(*cars[i], s.laps);
  }
  (void)now;
}

bool stepContest(float dt, float now) {
  if (contestPhase == phaseFinished) return false;
  if (contestPhase == phaseGrid) {
    contestPhase = phaseCountdown;
    reportRaceEvent(eventCountdown, 3, now);
  }
  if (contestPhase == phaseCountdown) {
    int32_t before = int32_t(countdownTime);
    countdownTime += dt;
    int32_t after = int32_t(countdownTime);
    if (after != before) reportRaceEvent(eventCountdown, after < 3 ? 3 - after : 0, now);
    if (countdownTime < countdownLength) return false;
    // Go: the race's clock and the player's lap clock start now.
    contestPhase = phaseRacing;
    lapStartTime = now;
    pausedTime = 0.0f;
    return false;
  }
  raceTime += dt;
  for (int32_t i = 0; i < carCount; i++) cars[i]->update(dt);
  separateCars();
  countLaps(now);
  watchMissedWaypoint();
  orderCars();
  if (!standings[0].finished) return false;
  contestPhase = phaseFinished;
  return true;
}

int32_t playerPosition() {
  for (int32_t p = 0; p < carCount; p++)
    if (raceOrder[p] == 0) return p + 1;
  return carCount;
}

float gapAhead() {
  int32_t place = playerPosition();
  if (place <= 1) return -1.0f;
  float gap = standings[raceOrder[place - 2]].covered - standings[0].covered;
  return gap / maxFloat(player->speed, fallbackGapSpeed);
}

void formatStanding(int32_t position, char (&text)[96]) {
  int32_t car = raceOrder[position - 1];
  const TStanding& s = standings[car];
  if (s.finished) {
    char time[24], best[24];
    formatRaceTime(s.finishTime, time);
    formatRaceTime(s.bestLap, best);
    std::snprintf(text, sizeof text, "%d  %-7s %s  best %s", int(position), carName(car), time, best);
  } else {
    int32_t lap = s.laps + 1 < raceLaps ? s.laps + 1 : raceLaps;
    std::snprintf(text, sizeof text, "%d  %-7s lap %d", int(position), carName(car), int(lap));
  }
}

void printStandings(FILE* out) {
  if (standingsPrinted) return;
  standingsPrinted = true;
  std::fprintf(out, "%s, %d %s, %s\n", track->title, int(raceLaps), raceLaps == 1 ? "lap" : "laps",
               levelName(raceLevel));
  char line[96];
  for (int32_t p = 1; p <= carCount; p++) {
    formatStanding(p, line);
    std::fprintf(out, "%s\n", line);
  }
  std::fflush(out);
}

void keepRaceTime() {
  if (!standings[0].finished) return;
  char date[32];
  std::time_t seconds = std::time(nullptr);
  std::tm utc = {};
  gmtime_r(&seconds, &utc);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::string message;
  keepRaceBest(recordsFolder(), trackKey(*track), track->title,
               RaceBest{raceLaps, levelName(raceLevel), standings[0].finishTime, date}, &message);
  if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
}
