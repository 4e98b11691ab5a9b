// Building one mesh triangle: its plan edges and box for the containment test, its slope for the
// player's tilt and crash test, and its fill colour.
#include "track/triangle.h"

#include <algorithm>
#include <initializer_list>

#include "geometry/random.h"

constexpr double levelGreenDrop = 0.8;  // green lost from level ground to a vertical face, as a fraction of 1

namespace {

// The next value of the game's generator as a fraction from 0 to 1.
float randomFraction() { return float(gameRand()) / float(gameRandMax); }

}  // namespace

TTriangle::TTriangle(Vec3 a, Vec3 b, Vec3 c, bool isRoad) {
  edgeAB = planDelta(a, b);
  edgeAC = planDelta(a, c);
  edgeCA = planDelta(c, a);
  edgeCB = planDelta(c, b);
  vertexA = a;
  vertexB = b;
  vertexC = c;

  minX = maxX = a.x;
  minZ = maxZ = a.z;
  for (Vec3 p : {b, c}) {
    minX = std::min(minX, p.x);
    minZ = std::min(minZ, p.z);
    maxX = std::max(maxX, p.x);
    maxZ = std::max(maxZ, p.z);
  }

  // A clockwise triangle's normal points down; the slope is that of the upward normal, whose
  // plan part points the way the surface falls.
  Vec3 normal;
  cross(delta(a, b), delta(a, c), &normal);
  float pitch;
  directionAngles({0.0f, 0.0f, 0.0f}, normal, &slopeDirection, &pitch);
  if (pitch < 0.0f) {
    pitch = -pitch;
    slopeDirection = wrapAngle(float(slopeDirection + pi), -halfPiFloat);
  }
  slopeAngle = float(pi / 2.0 - pitch);

  if (isRoad) {
    colour[0] = colour[1] = colour[2] = roadGrey;
    return;
  }
  // Steeper ground is darker; two draws per triangle vary the shade so the ground reads as
  // grass, and the unseeded generator gives a track the same shades on every run.
  float g = float(1.0 - (2.0 / pi) * slopeAngle * levelGreenDrop);
  float s = randomFraction() * g * 0.5f;
  colour[1] = g - s * 0.5f;
  float t = randomFraction() * s;
  colour[0] = s - t / 3.0f;
  colour[2] = t;
}
