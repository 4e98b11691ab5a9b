// Computer cars: a random start on the waypoint line, then straight from waypoint to waypoint.
#include "cars/opponent.h"

#include <GL/gl.h>

#include "geometry/random.h"
#include "race/state.h"
#include "track/track.h"

constexpr float opponentSpeed = 50.0f;  // units per second, for ever
// Turns a generator value into a fraction of the lap, held wide so that the top value lands
// on the lap's end.
constexpr long double randFraction = 1.0L / gameRandMax;

TOpponent::TOpponent(float red, float green, float blue) : TCar(red, green, blue) {
  const Vec3* waypoints = track->waypoints;
  float lapLength = track->length();
  float d = float(gameRand() * randFraction * lapLength);

  // Walk the legs until d falls on one. The closing leg is never measured: whatever is left
  // lies on it, since the lap length includes it.
  waypointIndex = 1;
  int32_t i = 0;
  while (i < track->waypointCount - 1) {
    float leg = distance(waypoints[i], waypoints[waypointIndex]);
    if (!(leg < d)) break;
    d = d - leg;
    i++;
    waypointIndex++;
  }
  if (waypointIndex == track->waypointCount) waypointIndex = 0;

  float yaw, climb;
  directionAngles(waypoints[i], waypoints[waypointIndex], &yaw, &climb);
  float t = d / distance(waypoints[i], waypoints[waypointIndex]);
  position.x = waypoints[i].x + t * (waypoints[waypointIndex].x - waypoints[i].x);
  position.y = waypoints[i].y + t * (waypoints[waypointIndex].y - waypoints[i].y);
  position.z = waypoints[i].z + t * (waypoints[waypointIndex].z - waypoints[i].z);
  setMotion(opponentSpeed, yaw, climb);
}

void TOpponent::update(float dt) {
  const Vec3* waypoints = track->waypoints;
  // The frame's travel only decides how many waypoints are passed; each one passed puts the
  // car on it and aims it at the next.
  float budget = speed * dt;
  float remaining = distance(position, waypoints[waypointIndex]);
  while (remaining < budget) {
    budget = budget - remaining;
    position = waypoints[waypointIndex];
    waypointIndex++;
    if (waypointIndex == track->waypointCount) waypointIndex = 0;
    remaining = distance(position, waypoints[waypointIndex]);
  }

  float yaw, climb;
  directionAngles(position, waypoints[waypointIndex], &yaw, &climb);
  setMotion(speed, yaw, climb);
  // A whole frame's travel from where the car stands now, also after a snap onto a waypoint.
  position.x += dt * velocity.x;
  position.y += dt * velocity.y;
  position.z += dt * velocity.z;
}

void TOpponent::applyOrientation() {
  glRotatef(rotationDegrees(heading), 0.0f, 1.0f, 0.0f);
  // Only the nose rises or drops with the leg; an opponent is never tilted sideways.
  glRotatef(rotationDegrees(pitch), -1.0f, 0.0f, 0.0f);
}
