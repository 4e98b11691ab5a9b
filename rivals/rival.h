// A rival: a computer car that drives the player's own car round the road, on the speed ladder,
// no sharper than the mouse can turn, standing on the mesh, and counting waypoints as the player
// does. The level decides only how well it picks its line and its speed.
#pragma once

#include <cstdint>

#include "cars/car.h"

class TTrack;
class TTriangle;

enum TLevel : uint8_t { levelEasy, levelMedium, levelHard };
constexpr int levelCount = 3;

// The level's name on the command line and in the standings; null for a level beyond hard.
const char* levelName(uint8_t level);

class TRival : public TCar {
 public:
  uint8_t level;        // levelEasy, levelMedium or levelHard
  float turnRate;       // radians per second added to the heading, never beyond the player's sharpest
  TTriangle* triangle;  // the triangle under the car at the last look-up; not owned
  float lane;           // units right of the centre line it drives on now
  float stepWait;       // seconds before it changes speed again
  const TTrack* road;   // the track it drives; not owned
  TCar* const* field;   // the cars it watches and goes round, itself among them or not; not owned
  int32_t fieldCount;   // cars in field
  const TCar* yieldTo;  // the player, whom an easy rival lets by while they drive; null: nobody; not owned

  // On waypoint 0 of the road, standing, facing waypoint 1, as the player starts.
  TRival(float red, float green, float blue, uint8_t level, const TTrack* road, TCar* const* field, int32_t fieldCount);

  void update(float dt) override;
  void applyOrientation() override;
  // A knock from behind: one step down the speed ladder.
  void dropSpeed();
  // Stands the car at the given place and heading, on the triangle under it.
  void standAt(Vec3 place, float yaw);
};

// Units along the centre line from the waypoint before the car's target waypoint to the car,
// held within that leg (below 0 only behind the start, on the leg to waypoint 1).
float alongLeg(const TCar& car);
// Units to the right of the centre line of the car's current leg.
float besideLeg(const TCar& car);
