// The player's car: mouse steering, the speed ladder, driving on the mesh, waypoints and laps.
#include "cars/player.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "events/race_events.h"
#include "race/clock.h"
#include "race/state.h"
#include "track/track.h"
#include "track/triangle.h"

// The speed ladder, units per second: 0, 5, 10, 20, 40, 60, ..., 160 up and down to -30.
constexpr float topSpeed = 160.0f;
constexpr float topReverseSpeed = -30.0f;
constexpr float doublingSpeed = 40.0f;      // below it (down to crawlSpeed) each step doubles or halves
constexpr float crawlSpeed = 5.0f;          // the slowest forward speed, and the step around 0
constexpr float slowReverseSpeed = -10.0f;  // beyond it reversing steps by reverseStep
constexpr float fastStep = 20.0f;           // step above doublingSpeed
constexpr float reverseStep = 10.0f;

// Headings are kept in [-pi/2, 3pi/2), the range directionAngles gives.
constexpr float headingBase = -1.5707964f;  // radians
// A waypoint counts as reached within this three-dimensional distance.
constexpr float waypointReachDistance = 8.0f;  // units
constexpr double steeringRate = 0.5;           // degrees per second of turn for each pixel off the centre column

static const char waypointMessage[] = "Waypoint reached";
static const char lapMessage[] = "Next lap started";

float pointerTurnRate(int offset) { return float(offset * pi / 180.0 * steeringRate); }

// The head-up display's message; the copy takes the terminating NUL along.
static void setMessageText(const char* text) { std::memcpy(messageText, text, std::strlen(text) + 1); }

// The triangle under p: the cached one while it still holds p, otherwise the track's search.
static TTriangle* triangleUnder(TTriangle* cached, Vec3 p) {
  if (cached != nullptr && cached->contains(p.x, p.y, p.z)) return cached;
  return track->findTriangle(p.x, p.y, p.z);
}

TPlayer::TPlayer(float red, float green, float blue) : TCar(red, green, blue) {
  triangle = nullptr;
  turnRate = 0.0f;
  speed = 0.0f;
  position = track->waypoints[0];
  waypointIndex = 1;
  float yaw, climb;
  directionAngles(position, track->waypoints[1], &yaw, &climb);
  setMotion(0.0f, yaw, climb);
}

void TPlayer::update(float dt) {
  if (turnRate != 0.0f) {
    heading = wrapAngle(heading + dt * turnRate, headingBase);
    updateVelocity();
  }

  position.x += dt * velocity.x;
  position.y += dt * velocity.y;
  position.z += dt * velocity.z;

  // The ground ends at the border the mesh was built to; hold the car inside it one axis at a
  // time, so a car pressed against the border still slides along it.
  float margin = float(track->margin);
  if (position.x < track->minCorner.x - margin) position.x = track->minCorner.x - margin;
  if (position.x > track->maxCorner.x + margin) position.x = track->maxCorner.x + margin;
  if (position.z < track->minCorner.z - margin) position.z = track->minCorner.z - margin;
  if (position.z > track->maxCorner.z + margin) position.z = track->maxCorner.z + margin;

  triangle = triangleUnder(triangle, position);
  position.y = triangle->heightAt(position.x, position.y, position.z);
  pitch = triangle->slopeAngle;
  updateVelocity();

  if (distance(position, track->waypoints[waypointIndex]) > waypointReachDistance) return;
  float now = gameClock();
  messageTime = now;
  waypointIndex++;
  if (waypointIndex <= track->waypointCount) {
    setMessageText(waypointMessage);
    reportRaceEvent(eventWaypointReached, waypointIndex - 1, now);
    return;
  }
  // Back at the start: the copy of waypoint 0 closes the lap.
  waypointIndex = 1;
  lastLapTime = now - lapStartTime - pausedTime;
  lapStartTime = now;
  pausedTime = 0.0f;
  if (lastLapTime < bestLapTime) bestLapTime = lastLapTime;
  setMessageText(lapMessage);
  reportRaceEvent(eventLapCompleted, track->waypointCount, now, lastLapTime);
}

void TPlayer::applyOrientation() {
  glRotatef(rotationDegrees(heading), 0.0f, 1.0f, 0.0f);
  triangle = triangleUnder(triangle, position);
  // Tilt by the slope about the level axis across the fall line, taken in the car's own frame,
  // which brings the body's up axis onto the triangle's upward normal.
  float across = wrapAngle(triangle->slopeDirection - heading, headingBase);
  glRotatef(rotationDegrees(pitch), float(std::cos(double(across))), 0.0f, float(-std::sin(double(across))));
}

float ladderSpeed(float s, int8_t step) {
  if (step > 0) {
    if (s < slowReverseSpeed) return s + reverseStep;
    if (s < crawlSpeed) return s + crawlSpeed;
    if (s < doublingSpeed) return s * 2.0f;
    if (s < topSpeed) return minFloat(topSpeed, s + fastStep);
    return s;
  }
  if (step == 0) return 0.0f;
  if (s > doublingSpeed) return s - fastStep;
  if (s > crawlSpeed) return s * 0.5f;
  if (s > slowReverseSpeed) return s - crawlSpeed;
  if (s > topReverseSpeed) return maxFloat(topReverseSpeed, s - reverseStep);
  return s;
}

void TPlayer::changeSpeed(int8_t step) {
  speed = ladderSpeed(speed, step);
  updateVelocity();
  if (speed == 0.0f) turnRate = 0.0f;
}

void TPlayer::rescue() {
  position = track->waypoints[waypointIndex - 1];
  float yaw, climb;
  directionAngles(position, track->waypoints[waypointIndex], &yaw, &climb);
  // A fresh search rather than the cache: where legs of different slope meet at the waypoint,
  // the car stands on the same triangle however it got there.
  triangle = track->findTriangle(position.x, position.y, position.z);
  position.y = triangle->heightAt(position.x, position.y, position.z);
  turnRate = 0.0f;
  setMotion(0.0f, yaw, triangle->slopeAngle);
}
