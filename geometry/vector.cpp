// Vector and angle operations: stored values are 32-bit floats, intermediate results may be wider.
#include "geometry/vector.h"

#include <algorithm>
#include <cmath>

float minFloat(float a, float b) { return a > b ? b : a; }

float maxFloat(float a, float b) { return a < b ? b : a; }

bool inUnitRange(float t, bool atEnds) {
  if (t == 0.0f || t == 1.0f) return atEnds;
  return t > 0.0f && t < 1.0f;
}

float distance(Vec3 a, Vec3 b) {
  float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

Vec3 delta(Vec3 a, Vec3 b) { return {b.x - a.x, b.y - a.y, b.z - a.z}; }

void copyVec3(const Vec3* source, Vec3* destination) { *destination = *source; }

void cross(Vec3 a, Vec3 b, Vec3* out) { *out = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec2 planDelta(Vec3 a, Vec3 b) { return {b.x - a.x, b.z - a.z}; }

int8_t sideOf(Vec2 d, Vec2 w) {
  float s = d.z * w.x - d.x * w.z;
  return s > 0.0f ? 1 : (s < 0.0f ? -1 : 0);
}

int8_t turnSign(Vec3 p0, Vec3 p1, Vec3 q0, Vec3 q1) { return sideOf(planDelta(p0, p1), planDelta(q0, q1)); }

float turnAngle(Vec3 p0, Vec3 p1, Vec3 q0, Vec3 q1) {
  Vec2 a = planDelta(p0, p1), b = planDelta(q0, q1);
  double lengths = std::sqrt(double(a.x) * a.x + double(a.z) * a.z) * std::sqrt(double(b.x) * b.x + double(b.z) * b.z);
  double sine = double(a.z * b.x - a.x * b.z) / lengths;
  // Rounding can carry a right angle's sine just past 1, where the arcsine has no value.
  if (sine > 1.0) sine = 1.0;
  if (sine < -1.0) sine = -1.0;
  return float(-std::asin(sine));
}

float paramAlong(Vec2 w, float dx, float dz) {
  if (dx != 0.0f) return w.x / dx;
  if (dz == 0.0f) return 1.0f;
  return w.z / dz;
}

bool intersectLines(Vec2 c, Vec2 a, Vec2 b, float* u, float* v) {
  float det = a.z * b.x - a.x * b.z;
  if (det == 0.0f) return false;
  *u = (c.z * b.x - c.x * b.z) / det;
  *v = (c.z * a.x - c.x * a.z) / det;
  return true;
}

void directionAngles(Vec3 from, Vec3 to, float* yaw, float* pitch) {
  float dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
  if (dz > 0.0f)
    *yaw = float(std::atan(double(dx / dz)));
  else if (dz < 0.0f)
    *yaw = float(std::atan(double(dx / dz)) + pi);
  else
    *yaw = dx > 0.0f ? halfPiFloat : -halfPiFloat;
  double h = std::sqrt(double(dx) * dx + double(dz) * dz);
  if (h != 0.0)
    *pitch = float(std::atan(dy / h));
  else
    *pitch = dy > 0.0f ? halfPiFloat : -halfPiFloat;
}

float wrapAngle(float angle, float base) {
  // The loops would never end on an infinity; NaN falls through them unchanged.
  if (!std::isfinite(angle) || !std::isfinite(base)) return angle;
  double a = angle;
  if (a < base - 64.0 * twoPi || a >= base + 64.0 * twoPi)  // far-off angles: skip the whole turns at once
    a = base + std::fmod(a - base, twoPi);
  while (a < base) a += twoPi;
  while (base + twoPi <= a) a -= twoPi;
  return float(a);
}

float blendAngle(float a, float b, float weight) {
  double target = a, previous = b;
  if (std::fabs(target - previous) > pi) {
    if (target < previous)
      target += twoPi;
    else
      previous += twoPi;
    double r = (previous * weight + target) / (1.0 + weight);
    if (r >= threeHalfPi) r -= twoPi;
    return float(r);
  }
  return float((previous * weight + target) / (1.0 + weight));
}

void edgeOffsets(Vec3 p, Vec3 q, Vec3* leftStart, Vec3* leftEnd, Vec3* rightStart, Vec3* rightEnd) {
  float dx = q.x - p.x, dz = q.z - p.z;
  float length = std::sqrt(dz * dz + dx * dx);
  if (length != 0.0f) {
    float scale = roadHalfWidth / length;
    dx *= scale;
    dz *= scale;
  }
  *leftStart = {p.x + dz, p.y, p.z - dx};
  *leftEnd = {q.x + dz, q.y, q.z - dx};
  *rightStart = {p.x - dz, p.y, p.z + dx};
  *rightEnd = {q.x - dz, q.y, q.z + dx};
}
