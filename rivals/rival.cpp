// Rivals: a line looked for ahead on the centre line, a speed chosen for the bends ahead, a way
// round slower cars, and the player's own rules for everything else.
#include "rivals/rival.h"

#include <GL/gl.h>

#include <cmath>

#include "cars/player.h"
#include "race/state.h"
#include "track/track.h"
#include "track/triangle.h"

// How each level picks its line and its speed.
struct TStyle {
  float topSpeed;    // units per second it climbs the ladder to at most
  float grip;        // share of the fastest speed the turn rate allows through a bend
  float aheadTime;   // seconds of travel ahead it aims at, on top of aheadBase
  float stepPeriod;  // seconds between two steps of the ladder
  float braking;     // share of the ladder's braking it counts on before a bend
  float rounding;    // a step of the ladder this much above the speed it worked out is still taken
  float wideGap;     // seconds between two steps down while running wide, short of the edge
  float yieldShare;  // of a driving player's speed it eases to while just ahead of them; 0: it never does
};
static const TStyle styles[levelCount] = {
    {100.0f, 0.72f, 0.08f, 0.25f, 0.5f, 1.0f, 0.1f, 0.9f},   // easy: brakes early and hard, never flat
                                                             // out, and lets a driving player by
    {140.0f, 0.80f, 0.07f, 0.20f, 0.6f, 0.95f, 0.1f, 0.0f},  // medium
    {160.0f, 0.90f, 0.06f, 0.15f, 0.8f, 0.85f, 0.0f, 0.0f},  // hard: late and exactly, and at once when wide
};
static const char* const levelNames[levelCount] = {"easy", "medium", "hard"};

constexpr float aheadBase = 6.0f;           // units ahead it aims at standing still
constexpr float steeringGain = 8.0f;        // radians per second of turn for each radian off its aim
constexpr float maxSubstep = 0.02f;         // seconds: a frame is driven in steps no longer than this
constexpr float scanTime = 2.5f;            // seconds of travel ahead it looks for bends
constexpr float minScan = 60.0f;            // units it looks ahead for bends at least
constexpr float laneLimit = 2.0f;           // units off the centre line it drives at most
constexpr float laneRate = 4.0f;            // units per second it moves across the road
constexpr float carLength = 3.6f;           // units nose to tail, as the race holds the bodies
constexpr float sideBySide = 1.0f;          // units apart across the road where a car alongside is beside it, not ahead
constexpr float carClearance = 2.4f;        // units between centre lines two cars pass at
constexpr float watchMargin = 1.0f;         // units beyond carClearance it still watches a car at
constexpr float seeBase = 8.0f;             // units ahead it watches for cars, standing
constexpr float seeTime = 0.7f;             // seconds of travel ahead it watches for cars
constexpr float followBase = 4.2f;          // units behind a car it is stopped from closing under
constexpr float wideLine = 2.2f;            // units off the centre line where it slows to hold the road
constexpr float edgeLine = 3.0f;            // units off the centre line where it slows at any level
constexpr float passShare = 0.8f;           // a car ahead slower than this share of its speed is passed
constexpr float creepSpeed = 5.0f;          // units per second: the slowest it goes to get round
constexpr float yieldReach = 40.0f;         // units behind it that a rival letting the player by looks
constexpr float yieldFrom = 50.0f;          // units per second: a player slower than this is passed as any car
constexpr float headingBase = -1.5707964f;  // radians: headings stay in [-pi/2, 3pi/2)
constexpr float waypointReachDistance = 8.0f;  // units, as for the player

const char* levelName(uint8_t level) { return level < levelCount ? levelNames[level] : nullptr; }

static float maxTurnRate() {
  // The mouse at the edge of the 500-pixel window the game opens.
  return pointerTurnRate(250);
}

static int32_t nextLeg(const TTrack* road, int32_t leg) { return leg == road->waypointCount ? 1 : leg + 1; }

struct TLeg {
  Vec3 start;    // the waypoint the leg leaves
  float dx, dz;  // unit direction in plan
  float length;  // plan units
};

static TLeg legOf(const TTrack* road, int32_t leg) {
  Vec3 a = road->waypoints[leg - 1], b = road->waypoints[leg];
  float dx = b.x - a.x, dz = b.z - a.z;
  float length = std::sqrt(dx * dx + dz * dz);
  return TLeg{a, dx / length, dz / length, length};
}

static float alongOn(const TTrack* road, const TCar& car) {
  TLeg leg = legOf(road, car.waypointIndex);
  float along = (car.position.x - leg.start.x) * leg.dx + (car.position.z - leg.start.z) * leg.dz;
  if (along > leg.length) along = leg.length;
  if (along < 0.0f && car.waypointIndex != 1) along = 0.0f;
  return along;
}

static float besideOn(const TTrack* road, const TCar& car) {
  TLeg leg = legOf(road, car.waypointIndex);
  return (car.position.x - leg.start.x) * -leg.dz + (car.position.z - leg.start.z) * leg.dx;
}

float alongLeg(const TCar& car) { return alongOn(track, car); }

float besideLeg(const TCar& car) { return besideOn(track, car); }

// Where a car is on the road: the leg it stands on, how far along it and how far right of its
// centre line. A car on the grid counts from the legs behind the start line it stands on.
struct TRoadPlace {
  int32_t leg;   // the leg's index, as waypointIndex counts
  float along;   // plan units from the leg's start
  float beside;  // plan units right of its centre line
};

static TRoadPlace roadPlace(const TTrack* road, const TCar& car) {
  TRoadPlace place{car.waypointIndex, alongOn(road, car), besideOn(road, car)};
  for (int32_t n = 0; place.along < 0.0f && n < road->waypointCount; n++) {
    place.leg = place.leg == 1 ? road->waypointCount : place.leg - 1;
    TLeg leg = legOf(road, place.leg);
    place.along += leg.length;
    place.beside = (car.position.x - leg.start.x) * -leg.dz + (car.position.z - leg.start.z) * leg.dx;
  }
  return place;
}

// Plan units along the road from one place forwards to another, looked for up to limit; below 0
// for a place up to a leg behind; beyond limit when it is farther.
static float roadGap(const TTrack* road, const TRoadPlace& from, const TRoadPlace& to, float limit) {
  if (to.leg == from.leg) return to.along - from.along;
  int32_t before = from.leg == 1 ? road->waypointCount : from.leg - 1;
  if (to.leg == before) return to.along - legOf(road, before).length - from.along;
  float gap = legOf(road, from.leg).length - from.along;
  for (int32_t leg = nextLeg(road, from.leg); gap <= limit; leg = nextLeg(road, leg)) {
    if (leg == to.leg) return gap + to.along;
    gap += legOf(road, leg).length;
  }
  return limit + 1.0f;
}

// The turn in radians from leg to the one after it, either way.
static float bendAfter(const TLeg& in, const TLeg& out) {
  return std::fabs(std::atan2(in.dx * out.dz - in.dz * out.dx, in.dx * out.dx + in.dz * out.dz));
}

// The highest step of the ladder not above limit; 0 when even the slowest is too fast.
static float ladderFloor(float limit) {
  float s = 0.0f;
  for (float up = ladderSpeed(s, 1); up <= limit && up != s; up = ladderSpeed(s, 1)) s = up;
  return s;
}

static TTriangle* triangleUnder(const TTrack* road, TTriangle* cached, Vec3 p) {
  if (cached != nullptr && cached->contains(p.x, p.y, p.z)) return cached;
  return road->findTriangle(p.x, p.y, p.z);
}

TRival::TRival(float red, float green, float blue, uint8_t rivalLevel, const TTrack* drivenRoad, TCar* const* others,
               int32_t otherCount)
    : TCar(red, green, blue) {
  level = rivalLevel < levelCount ? rivalLevel : uint8_t(levelMedium);
  road = drivenRoad;
  field = others;
  fieldCount = otherCount;
  turnRate = 0.0f;
  triangle = nullptr;
  lane = 0.0f;
  stepWait = 0.0f;
  yieldTo = nullptr;
  waypointIndex = 1;
  float yaw, climb;
  directionAngles(road->waypoints[0], road->waypoints[1], &yaw, &climb);
  standAt(road->waypoints[0], yaw);
}

void TRival::standAt(Vec3 place, float yaw) {
  position = place;
  triangle = road->findTriangle(place.x, place.y, place.z);
  position.y = triangle->heightAt(place.x, place.y, place.z);
  turnRate = 0.0f;
  setMotion(0.0f, yaw, triangle->slopeAngle);
}

void TRival::dropSpeed() {
  speed = ladderSpeed(speed, -1);
  if (speed < 0.0f) speed = 0.0f;
  stepWait = styles[level].stepPeriod;
  updateVelocity();
}

// The one step of driving: aim, speed, move, stand on the mesh, count the waypoint.
static void drive(TRival* car, float dt) {
  const TStyle& style = styles[car->level];
  const TTrack* road = car->road;
  float maxTurn = maxTurnRate();
  TLeg leg = legOf(road, car->waypointIndex);
  float along = alongOn(road, *car);
  float beside = besideOn(road, *car);

  float speedLimit = style.topSpeed;
  // The speed for the bends ahead: a bend of angle a spread over its legs takes a turn rate of
  // a * v / length, which the car can give only up to its sharpest; further bends leave time to brake.
  float brake = style.braking * (ladderSpeed(100.0f, 1) - 100.0f) / style.stepPeriod;  // units per second, each second
  float scan = maxFloat(minScan, scanTime * car->speed);
  // The bend just reached still counts until the car is half way down the leg after it.
  int32_t bendLeg = car->waypointIndex;
  TLeg in = leg;
  float toBend = leg.length - along;
  if (along < 0.5f * leg.length) {
    bendLeg = car->waypointIndex == 1 ? road->waypointCount : car->waypointIndex - 1;
    in = legOf(road, bendLeg);
    toBend = 0.0f;
  }
  for (int32_t n = 0; toBend < scan && n < road->waypointCount; n++) {
    int32_t outLeg = nextLeg(road, bendLeg);
    TLeg out = legOf(road, outLeg);
    float angle = bendAfter(in, out);
    if (angle > 1e-4f) {
      float bendSpeed = style.grip * maxTurn * 0.5f * (in.length + out.length) / angle;
      float timeToBend = toBend / maxFloat(car->speed, 20.0f);
      speedLimit = minFloat(speedLimit, bendSpeed + brake * timeToBend);
    }
    toBend += out.length;
    bendLeg = outLeg;
    in = out;
  }
  // Cars ahead in its path and slower than it would go: go round on the side with more road, and while
  // still behind one, no faster than it goes.
  float laneWanted = 0.0f, blockedAt = 1e30f;
  float wantedSpeed = speedLimit;
  float see = seeBase + seeTime * car->speed;
  // Cars are watched along the road, so one parked round a bend is seen as soon as one on a straight.
  TRoadPlace here = roadPlace(road, *car);
  float laneAtLeast = -laneLimit, laneAtMost = laneLimit;
  // A rival that lets the player by, while the player drives on at a pace: close ahead of them it
  // eases off and keeps to the other side of the road, and once behind it follows instead of passing.
  const TCar* letBy =
      style.yieldShare > 0.0f && car->yieldTo != nullptr && car->yieldTo->speed >= yieldFrom ? car->yieldTo : nullptr;
  if (letBy != nullptr) {
    TRoadPlace there = roadPlace(road, *letBy);
    float behind = roadGap(road, there, here, yieldReach);
    if (behind > 0.0f && behind <= yieldReach) {
      speedLimit = minFloat(speedLimit, style.yieldShare * letBy->speed);
      laneWanted = there.beside > 0.0f ? -laneLimit : laneLimit;
    }
  }
  for (int32_t i = 0; i < car->fieldCount; i++) {
    const TCar* other = car->field[i];
    if (other == car) continue;
    TRoadPlace there = roadPlace(road, *other);
    float ahead = roadGap(road, here, there, see);
    float itsSide = there.beside;
    // Watched a little wider than it passes, so a car being passed stays watched until it is behind.
    if (ahead <= -carLength || ahead > see || std::fabs(itsSide - here.beside) > carClearance + watchMargin) continue;
    // Alongside: it keeps to its own side of the other car, whatever it passes.
    if (ahead < carLength && std::fabs(itsSide - here.beside) >= sideBySide) {
      if (itsSide > here.beside)
        laneAtMost = minFloat(laneAtMost, itsSide - carClearance);
      else
        laneAtLeast = maxFloat(laneAtLeast, itsSide + carClearance);
      continue;
    }
    if (ahead <= -1.0f) continue;
    float itsSpeed = other->speed * std::cos(other->heading - car->heading);
    if (other == letBy && ahead > 0.0f) speedLimit = minFloat(speedLimit, itsSpeed);
    if (itsSpeed >= minFloat(wantedSpeed, car->speed) && ahead > followBase) continue;
    // Every car in its path limits its speed; the nearest decides its way round.
    if (ahead > 0.0f && std::fabs(beside - itsSide) < carClearance - 0.4f)
      speedLimit = minFloat(speedLimit, maxFloat(creepSpeed, itsSpeed + brake * maxFloat(0.0f, ahead - followBase) /
                                                                            maxFloat(car->speed, 20.0f)));
    if (ahead >= blockedAt) continue;
    if (ahead > 0.0f) blockedAt = ahead;
    // One going about as quick is followed, not passed: swapping lanes in a queue costs more than it gains.
    if (itsSpeed >= passShare * wantedSpeed && ahead > followBase) continue;
    // The side nearer its present lane, where the road leaves room to pass.
    float left = maxFloat(-laneLimit, minFloat(laneLimit, itsSide - carClearance));
    float right = maxFloat(-laneLimit, minFloat(laneLimit, itsSide + carClearance));
    bool leftRoom = itsSide - left >= carClearance - 0.4f, rightRoom = right - itsSide >= carClearance - 0.4f;
    bool goLeft = leftRoom && (!rightRoom || std::fabs(car->lane - left) <= std::fabs(car->lane - right));
    laneWanted = goLeft ? left : right;
  }
  if (laneAtLeast <= laneAtMost) laneWanted = maxFloat(laneAtLeast, minFloat(laneAtMost, laneWanted));
  float laneStep = laneRate * dt;
  if (car->lane < laneWanted) car->lane = minFloat(laneWanted, car->lane + laneStep);
  if (car->lane > laneWanted) car->lane = maxFloat(laneWanted, car->lane - laneStep);

  // Aim at the point on its lane a little way ahead along the centre line.
  float reach = along + aheadBase + style.aheadTime * car->speed;
  int32_t aimLeg = car->waypointIndex;
  TLeg aim = leg;
  for (int32_t n = 0; reach > aim.length && n < road->waypointCount; n++) {
    reach -= aim.length;
    aimLeg = nextLeg(road, aimLeg);
    aim = legOf(road, aimLeg);
  }
  // Still on the grid behind the start line: the aim follows the legs that lead to it.
  for (int32_t n = 0; reach < 0.0f && n < road->waypointCount; n++) {
    aimLeg = aimLeg == 1 ? road->waypointCount : aimLeg - 1;
    aim = legOf(road, aimLeg);
    reach += aim.length;
  }
  float targetX = aim.start.x + aim.dx * reach - aim.dz * car->lane;
  float targetZ = aim.start.z + aim.dz * reach + aim.dx * car->lane;
  float wanted = std::atan2(targetX - car->position.x, targetZ - car->position.z);
  float off = wrapAngle(wanted - car->heading, float(-pi));
  car->turnRate = maxFloat(-maxTurn, minFloat(maxTurn, off * steeringGain));

  // Off its line towards an edge and still drifting out: a step slower at once tightens the turn.
  float outwards = beside * (car->velocity.z * leg.dx - car->velocity.x * leg.dz);  // > 0: moving away from the line
  bool wide = std::fabs(beside) > wideLine && outwards > 0.0f;
  if (wide) speedLimit = minFloat(speedLimit, ladderSpeed(car->speed, -1));
  float target = maxFloat(ladderFloor(speedLimit / style.rounding), creepSpeed);
  // Near the edge it steps down at every substep, down to a crawl, whatever the level would round to.
  if (wide && std::fabs(beside) > edgeLine) target = minFloat(target, creepSpeed);
  car->stepWait -= dt;
  bool closing = blockedAt < followBase;  // about to touch a slower car: no time to wait
  bool stepsLately = car->stepWait > style.stepPeriod - style.wideGap;
  if (car->speed > target &&
      (car->stepWait <= 0.0f || closing || (wide && (!stepsLately || std::fabs(beside) > edgeLine)))) {
    car->speed = ladderSpeed(car->speed, -1);
    car->stepWait = style.stepPeriod;
  } else if (car->speed < target && car->stepWait <= 0.0f) {
    car->speed = ladderSpeed(car->speed, 1);
    car->stepWait = style.stepPeriod;
  }
  if (car->speed == 0.0f) car->turnRate = 0.0f;

  car->heading = wrapAngle(car->heading + dt * car->turnRate, headingBase);
  car->updateVelocity();
  car->position.x += dt * car->velocity.x;
  car->position.z += dt * car->velocity.z;
  car->triangle = triangleUnder(road, car->triangle, car->position);
  car->position.y = car->triangle->heightAt(car->position.x, car->position.y, car->position.z);
  car->pitch = car->triangle->slopeAngle;
  car->updateVelocity();

  if (distance(car->position, road->waypoints[car->waypointIndex]) > waypointReachDistance) return;
  car->waypointIndex++;
  if (car->waypointIndex > road->waypointCount) car->waypointIndex = 1;
}

void TRival::update(float dt) {
  int steps = int(std::ceil(dt / maxSubstep));
  if (steps < 1) steps = 1;
  for (int i = 0; i < steps; i++) drive(this, dt / float(steps));
}

void TRival::applyOrientation() {
  glRotatef(rotationDegrees(heading), 0.0f, 1.0f, 0.0f);
  triangle = triangleUnder(road, triangle, position);
  // Tilted with the road as the player's car is.
  float across = wrapAngle(triangle->slopeDirection - heading, headingBase);
  glRotatef(rotationDegrees(pitch), float(std::cos(double(across))), 0.0f, float(-std::sin(double(across))));
}
