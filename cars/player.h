// The player's car: steered by the mouse, stepped through the speed ladder, driving on the
// track's surface and counting waypoints and laps.
#pragma once

#include "cars/car.h"

class TTriangle;

// Radians per second of turn, left positive, for a pointer this many pixels left of the window's
// centre column: half a degree a second for each pixel.
float pointerTurnRate(int offset);
// The speed one step up (+1) or down (-1) the ladder from s, or 0 for step 0; the ends hold.
float ladderSpeed(float s, int8_t step);

class TPlayer : public TCar {
 public:
  float turnRate;       // radians per second added to the heading while driving
  TTriangle* triangle;  // the triangle under the car at the last look-up; not owned

  // On waypoint 0, standing, facing waypoint 1.
  TPlayer(float red, float green, float blue);

  void update(float dt) override;
  void applyOrientation() override;
  // +1 one step faster, 0 stop, -1 one step slower; stopping also stops the turning.
  void changeSpeed(int8_t step);
  // Stands the car on the road at the last waypoint reached (the start before any), facing the next.
  void rescue();
};
