// What every car in the race has: where it is, which way it points, how fast it goes, the
// waypoint it heads for and its paint.
#pragma once

#include <cstdint>

#include "geometry/vector.h"

// Radians as glRotatef takes them: times 1/pi, then times 180.
inline float rotationDegrees(float radians) { return float(radians * (1.0 / pi) * 180.0); }

class TCar {
 public:
  float speed;            // units per second along the direction of travel; negative reverses
  float heading;          // radians, 0 towards +z, pi/2 towards +x
  float pitch;            // radians above the horizontal
  Vec3 position;          // reference point at the bottom of the body
  Vec3 velocity;          // units per second, always derived from speed, heading and pitch
  int32_t waypointIndex;  // the waypoint the car heads for
  float colour[3];        // body red, green, blue
  float darkColour[3];    // colour less 0.1 per component, never below 0: front, back and map dot

  // Advances the car by dt seconds.
  virtual void update(float dt) = 0;
  // Turns the current modelview matrix to the car's heading and tilt.
  virtual void applyOrientation() = 0;
  virtual ~TCar() = default;

  // velocity = speed * (sin heading cos pitch, sin pitch, cos heading cos pitch).
  void updateVelocity();
  // Stores the three values, then updates the velocity; the heading is not wrapped.
  void setMotion(float speed, float heading, float pitch);
  // Draws the body at the car's position and orientation.
  void draw();

 protected:
  TCar(float red, float green, float blue);
};
