// The state every car shares and the one rule that ties its velocity to speed and direction.
#include "cars/car.h"

#include <cmath>

// Paint is darkened by this much per component for the body's front and back and the map dot.
constexpr double darkening = 0.1;  // colour units, 0 to 1

TCar::TCar(float red, float green, float blue)
    : colour{red, green, blue},
      darkColour{maxFloat(0.0f, float(red - darkening)), maxFloat(0.0f, float(green - darkening)),
                 maxFloat(0.0f, float(blue - darkening))} {}

void TCar::updateVelocity() {
  double cosPitch = std::cos(double(pitch));
  velocity.x = float(std::sin(double(heading)) * speed * cosPitch);
  velocity.z = float(std::cos(double(heading)) * speed * cosPitch);
  velocity.y = float(std::sin(double(pitch)) * speed);
}

void TCar::setMotion(float newSpeed, float newHeading, float newPitch) {
  speed = newSpeed;
  heading = newHeading;
  pitch = newPitch;
  updateVelocity();
}
