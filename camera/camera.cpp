// The viewpoint: eye targets per mode, the glide towards them, the floor clearance in solid
// drawing, and the view direction's blend.
#include "camera/camera.h"

#include <GL/glu.h>

#include <cmath>

#include "cars/car.h"
#include "race/state.h"
#include "track/track.h"
#include "track/triangle.h"

// Eye offsets from the followed car, units: ahead along the heading (negative: behind) and up.
constexpr double cockpitAhead = 0.5;
constexpr double cockpitHeight = 1.4;
constexpr double behindAhead = -10.0;
constexpr double behindHeight = 2.0;
constexpr double helicopterAhead = -15.0;
constexpr double helicopterHeight = 15.0;
// Least height of the eye above the ground under it in solid drawing, units; the cockpit has
// none, it rides with the car.
constexpr float behindClearance = 2.0f;
constexpr float helicopterClearance = 2.0f;
constexpr float trackClearance = 20.0f;
// Each step the helicopter's eye covers this fraction of the remaining way per second of it.
constexpr float helicopterGlide = 0.5f;  // per second
// Both lags fall from 1 to their floor within three seconds of a change.
constexpr long double lagFallPerSecond = 1.0L / 3.0L;
constexpr float behindPositionLag = 0.4f;  // from behind the eye never quite locks on

TCamera::TCamera(TCar* followed)
    : car(nullptr),
      mode(cameraHelicopter),
      eye(track->centre),
      eyeTarget(track->centre),
      lookAt(track->centre),
      lookTarget(track->centre),
      viewYaw(0.0f),
      viewPitch(0.0f),
      angleLag(1.0f),
      positionLag(1.0f) {
  setCar(followed);
  setMode(cameraHelicopter);
  update(0.0f);
  // Start in place rather than gliding in from the track centre.
  directionAngles(eyeTarget, lookTarget, &viewYaw, &viewPitch);
  eye = eyeTarget;
  lookAt = lookTarget;
}

void TCamera::setCar(TCar* followed) {
  car = followed;
  angleLag = 1.0f;
  positionLag = 1.0f;
}

void TCamera::setMode(uint8_t newMode) {
  if (newMode != mode) {
    angleLag = 1.0f;
    positionLag = 1.0f;
  }
  mode = newMode;
  if (mode == cameraTrack)
    eyeTarget = {track->centre.x, (track->maxCorner.y - track->minCorner.y) * 0.5f + track->centre.y, track->centre.z};
}

// The point `ahead` along the car's heading from its position and `height` above it.
static Vec3 besideCar(const TCar* car, double ahead, double height) {
  double heading = car->heading;
  return {float(car->position.x + ahead * std::sin(heading)), float(car->position.y + height),
          float(car->position.z + ahead * std::cos(heading))};
}

void TCamera::update(float dt) {
  float step;
  float clearance = 0.0f;
  switch (mode) {
    case cameraCockpit:
      eyeTarget = besideCar(car, cockpitAhead, cockpitHeight);
      step = (dt - 1.0f) * positionLag + 1.0f;
      break;
    case cameraBehind:
      eyeTarget = besideCar(car, behindAhead, behindHeight);
      step = (dt - 1.0f) * positionLag + 1.0f;
      clearance = behindClearance;
      break;
    case cameraHelicopter:
      positionLag = 1.0f;
      eyeTarget = besideCar(car, helicopterAhead, helicopterHeight);
      step = helicopterGlide * dt;
      clearance = helicopterClearance;
      break;
    default:  // cameraTrack: the eye target stays where setMode put it
      positionLag = 1.0f;
      step = dt;
      clearance = trackClearance;
      break;
  }
  eye.x = eye.x + (eyeTarget.x - eye.x) * step;
  eye.y = eye.y + (eyeTarget.y - eye.y) * step;
  eye.z = eye.z + (eyeTarget.z - eye.z) * step;

  // Solid ground hides what lies below it, so keep the eye above the surface there. Wireframe
  // can be seen through and needs no search.
  if ((displayFlags & drawSolid) != 0 && mode != cameraCockpit) {
    const TTriangle* ground = track->findTriangle(eye.x, eye.y, eye.z);
    eye.y = maxFloat(eye.y, ground->heightAt(eye.x, eye.y, eye.z) + clearance);
  }

  float yawTarget, pitchTarget;
  if (mode == cameraCockpit) {
    yawTarget = car->heading;
    pitchTarget = car->pitch;
    lookTarget = {eye.x + car->velocity.x, eye.y + car->velocity.y, eye.z + car->velocity.z};
  } else {
    lookTarget = car->position;
    directionAngles(eye, lookTarget, &yawTarget, &pitchTarget);
  }
  viewYaw = blendAngle(yawTarget, viewYaw, angleLag);
  viewPitch = blendAngle(pitchTarget, viewPitch, angleLag);

  // The view reaches as far as the target lies, so gluLookAt gets the car itself as its centre
  // once the angles have locked on. From the cockpit of a standing car that is no length at all.
  float reach = distance(eye, lookTarget);
  double cosPitch = std::cos(double(viewPitch));
  lookAt.x = float(eye.x + reach * std::sin(double(viewYaw)) * cosPitch);
  lookAt.y = float(eye.y + reach * std::sin(double(viewPitch)));
  lookAt.z = float(eye.z + reach * std::cos(double(viewYaw)) * cosPitch);

  angleLag = maxFloat(float(angleLag - dt * lagFallPerSecond), 0.0f);
  if (mode == cameraCockpit)
    positionLag = maxFloat(0.0f, float(positionLag - dt * lagFallPerSecond));
  else if (mode == cameraBehind)
    positionLag = maxFloat(behindPositionLag, float(positionLag - dt * lagFallPerSecond));
}

void TCamera::apply() {
  // A view of no length (the cockpit of a standing car) would collapse the picture to a point:
  // it looks a unit along the view's angles instead.
  double x = lookAt.x, y = lookAt.y, z = lookAt.z;
  if (x == eye.x && y == eye.y && z == eye.z) {
    double cosPitch = std::cos(double(viewPitch));
    x = eye.x + std::sin(double(viewYaw)) * cosPitch;
    y = eye.y + std::sin(double(viewPitch));
    z = eye.z + std::cos(double(viewYaw)) * cosPitch;
  }
  // The up vector is the view direction plus straight up: the same picture as straight up for
  // any view that is not vertical.
  gluLookAt(eye.x, eye.y, eye.z, x, y, z, x - eye.x, y - eye.y + 1.0, z - eye.z);
}
