// A computer-driven car: starts at a random place on the waypoint line and drives from
// waypoint to waypoint for ever at a constant speed.
#pragma once

#include "cars/car.h"

class TOpponent : public TCar {
 public:
  // At a random distance along the closed waypoint line, drawn from gameRand.
  TOpponent(float red, float green, float blue);

  void update(float dt) override;
  void applyOrientation() override;
};
