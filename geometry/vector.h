// Points, plan-view vectors and the angle conventions every part of the game shares.
// y is up; the ground (plan) plane is x-z. On the map +x (east) is right and -z (north) is up;
// left, right and clockwise are meant in that view. A yaw is 0 towards +z and pi/2 towards +x.
#pragma once

#include <cmath>
#include <cstdint>

struct Vec3 {
  float x, y, z;  // track units
};

struct Vec2 {
  float x, z;  // plan-plane vector, y dropped
};

constexpr double pi = 3.141592653589793;
constexpr double twoPi = 6.283185307179586;
constexpr double threeHalfPi = 4.71238898038469;
constexpr float halfPiFloat = 1.5707963705062866f;  // the float nearest pi/2
constexpr float roadHalfWidth = 4.0f;               // units from the centre line to each road edge

// Length of the plan offset (dx, dz), for the grids' bounds: squares of differences of floats
// never overflow a double, and this is several times quicker than std::hypot.
inline double planLength(double dx, double dz) { return std::sqrt(dx * dx + dz * dz); }
// b if a > b, else a (so a NaN in a wins).
float minFloat(float a, float b);
// b if a < b, else a.
float maxFloat(float a, float b);
// atEnds when t is exactly 0 or 1; true inside (0, 1); false otherwise (NaN included).
bool inUnitRange(float t, bool atEnds);
// Three-dimensional Euclidean distance.
float distance(Vec3 a, Vec3 b);
// b - a per component.
Vec3 delta(Vec3 a, Vec3 b);
void copyVec3(const Vec3* source, Vec3* destination);
// a x b.
void cross(Vec3 a, Vec3 b, Vec3* out);
// (b.x - a.x, b.z - a.z).
Vec2 planDelta(Vec3 a, Vec3 b);
// Sign of d.z*w.x - d.x*w.z (as a float): +1 when w points to the left of d on the map, 0 when parallel.
int8_t sideOf(Vec2 d, Vec2 w);
// For a path p0 -> p1 = q0 -> q1: +1 left turn, -1 right turn, 0 straight on or straight back.
int8_t turnSign(Vec3 p0, Vec3 p1, Vec3 q0, Vec3 q1);
// Signed turn in [-pi/2, pi/2], positive for a right turn; a turn sharper than 90 degrees counts
// as the arcsine of its sine. A zero-length leg gives NaN.
float turnAngle(Vec3 p0, Vec3 p1, Vec3 q0, Vec3 q1);
// Parameter of offset w along direction (dx, dz): w.x / dx, else w.z / dz; 1 when the direction is zero.
float paramAlong(Vec2 w, float dx, float dz);
// Solves u*a - v*b = c. Parallel a and b (zero determinant): false, u and v untouched.
bool intersectLines(Vec2 c, Vec2 a, Vec2 b, float* u, float* v);
// Yaw in (-pi/2, 3pi/2) and pitch of the direction from -> to. Straight up or down, or no
// direction at all, gives yaw -pi/2; no direction gives pitch -pi/2.
void directionAngles(Vec3 from, Vec3 to, float* yaw, float* pitch);
// angle moved by whole turns into [base, base + 2pi). A non-finite angle comes back unchanged.
float wrapAngle(float angle, float base);
// (a + weight*b) / (1 + weight) along the shorter arc between the two angles.
float blendAngle(float a, float b, float weight);
// Road edge points of segment p -> q, roadHalfWidth to each side at the heights of p and q.
// A zero-length segment gives four points on p and q.
void edgeOffsets(Vec3 p, Vec3 q, Vec3* leftStart, Vec3* leftEnd, Vec3* rightStart, Vec3* rightEnd);
