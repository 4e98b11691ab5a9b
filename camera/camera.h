// The one viewpoint: follows a car from the cockpit, from behind, from a helicopter or from
// above the track, gliding to each new eye position and view direction.
#pragma once

#include <cstdint>

#include "geometry/vector.h"

class TCar;

// Camera modes, chosen with F5 to F8.
enum : uint8_t { cameraCockpit = 0, cameraBehind = 1, cameraHelicopter = 2, cameraTrack = 3 };

class TCamera {
 public:
  TCar* car;          // the followed car; not owned
  uint8_t mode;       // cameraCockpit, cameraBehind, cameraHelicopter or cameraTrack
  Vec3 eye;           // current eye position
  Vec3 eyeTarget;     // where the eye glides to
  Vec3 lookAt;        // current point looked at
  Vec3 lookTarget;    // point the camera wants to look at; sets the view distance
  float viewYaw;      // radians
  float viewPitch;    // radians
  float angleLag;     // weight of the old view angles: 1 after a change, falling to 0 over 3 s
  float positionLag;  // eye lag in the cockpit and from behind; held at 1 otherwise

  // In place in the helicopter view behind the car, looking at it.
  explicit TCamera(TCar* car);

  // Follows another car (or the same one again), restarting the glide.
  void setCar(TCar* car);
  // Switches mode; a new mode restarts the glide, the same one changes nothing.
  void setMode(uint8_t mode);
  // Glides eye and view one step of dt seconds towards the followed car.
  void update(float dt);
  // Loads the view with gluLookAt.
  void apply();
};
