// Cutting a ground polygon into triangles by ear clipping. Only plan positions decide; every
// corner keeps its own height in the triangles.
#include <cstdlib>
#include <cstring>

#include "track/track.h"
#include "track/triangle.h"

namespace {

// Whether x blocks the ear a-b-c: strictly inside it, or on the diagonal a-c between its ends.
// Points on the two polygon edges or at the corners do not block, so the ear's own corners, their
// wrap copies and the two coinciding points of the outer ground's cut never stop a cut.
bool blocksEar(Vec3 x, Vec3 a, Vec3 c, Vec2 ab, Vec2 ac, Vec2 ca, Vec2 cb) {
  Vec2 fromA = planDelta(a, x);
  Vec2 fromC = planDelta(c, x);
  int8_t s1 = sideOf(ab, fromA);
  int8_t s2 = sideOf(ac, fromA);
  int8_t s3 = sideOf(ca, fromC);
  int8_t s4 = sideOf(cb, fromC);
  if (s1 != 0 && s2 != 0 && s4 != 0 && s1 != s2 && s3 != s4) return true;
  return s2 == 0 && inUnitRange(paramAlong(fromA, ac.x, ac.z), false);
}

}  // namespace

bool TTrack::isEar(int32_t n, const Vec3* points, int32_t i) const {
  Vec3 a = points[i], b = points[i + 1], c = points[i + 2];
  // A clockwise polygon turns right at a corner it can lose.
  if (turnSign(a, b, b, c) != -1) return false;
  Vec2 ab = planDelta(a, b), ac = planDelta(a, c), ca = planDelta(c, a), cb = planDelta(c, b);
  for (int32_t k = 0; k < n; k++) {
    if (k == i || k == i + 1) continue;
    if (blocksEar(points[k], a, c, ab, ac, ca, cb) || blocksEar(points[k + 1], a, c, ab, ac, ca, cb)) return false;
  }
  return true;
}

void TTrack::triangulatePolygon(int32_t n, Vec3* points) {
  auto addTriangle = [this](Vec3 a, Vec3 b, Vec3 c) {
    triangles = static_cast<TTriangle**>(std::realloc(triangles, sizeof(TTriangle*) * size_t(triangleCount + 1)));
    triangles[triangleCount++] = new TTriangle(a, b, c, false);
  };
  // Copies of the first two points after the last, so every corner triple reads without wrapping.
  points[n] = points[0];
  points[n + 1] = points[1];
  int32_t i = 0;
  int32_t missed = 0;  // corners tested since the last cut
  // A polygon that overlaps itself (parts of the track closer than the road's width) may have no
  // ear at all: a whole round without a cut ends the clipping.
  while (n > 3 && missed < n) {
    if (!isEar(n, points, i)) {
      i = (i + 1) % n;
      missed++;
      continue;
    }
    addTriangle(points[i], points[i + 1], points[i + 2]);
    int32_t j = (i + 1) % n;
    std::memmove(points + j, points + j + 1, sizeof(Vec3) * size_t(n + 1 - j));
    if (j <= 1) {
      points[n - 1] = points[0];
      points[n] = points[1];
    }
    n--;
    i = j % n;
    missed = 0;
  }
  // What is left, the last triangle or a polygon without an ear, is cut as a fan from its first
  // corner, so the ground keeps no hole and a polygon of m points always gives m - 2 triangles.
  addTriangle(points[0], points[1], points[2]);
  for (int32_t k = 2; k + 1 < n; k++) addTriangle(points[0], points[k], points[k + 1]);
  std::free(points);
}
