// What the cars and the camera ask of the track while driving: all in plan view, read-only and
// without allocation, as they run on every step.
#include <cmath>

#include "track/track.h"
#include "track/triangle.h"

bool TTriangle::contains(float x, float, float z) const {
  if (x < minX || x > maxX || z < minZ || z > maxZ) return false;
  Vec2 fromA = {x - vertexA.x, z - vertexA.z};
  Vec2 fromC = {x - vertexC.x, z - vertexC.z};
  // Inside the angle at A and inside the angle at C means inside; comparing signs only works for
  // either winding.
  int8_t sideAC = sideOf(edgeAC, fromA);
  if (sideAC != 0 && sideAC != sideOf(edgeAB, fromA) && sideOf(edgeCA, fromC) != sideOf(edgeCB, fromC)) return true;
  if (sideAC != 0) return false;
  // On the line through A and C: inside only between them.
  return inUnitRange(paramAlong(fromA, edgeAC.x, edgeAC.z), true);
}

float TTriangle::heightAt(float x, float, float z) const {
  Vec2 fromC = {x - vertexC.x, z - vertexC.z};
  if (fromC.x == 0.0f && fromC.z == 0.0f) return vertexC.y;
  float meanHeight = (vertexA.y + vertexB.y + vertexC.y) / 3.0f;
  // Corners on one line in plan span no plane to extend.
  if (sideOf(edgeAB, edgeAC) == 0) return meanHeight;
  // The line from C through the point meets the line through A and B at A + s (B - A) =
  // C + t (point - C); the height there, interpolated between A and B, is scaled back to the point.
  // Summed in double, the terms of a level triangle cancel exactly, so it stays level however far
  // out it is asked.
  float s, t;
  float height;
  if (intersectLines(edgeAC, edgeAB, fromC, &s, &t))
    height = float(((1.0 - s) * vertexA.y + double(s) * vertexB.y + (t - 1.0) * vertexC.y) / t);
  else  // the point lies on the line through C parallel to A-B
    height = paramAlong(fromC, edgeAB.x, edgeAB.z) * (vertexB.y - vertexA.y) + vertexC.y;
  // A point so far off that the products overflow has no usable height; the triangle's mean
  // keeps the car and the camera on finite ground.
  return std::isfinite(height) ? height : meanHeight;
}

float TTrack::length() const {
  float sum = 0.0f;
  for (int32_t i = 0; i < waypointCount; i++) sum += distance(waypoints[i], waypoints[i + 1]);
  return sum;
}

// Through the grid, whose cells list in ascending order every triangle that may contain a point
// of the cell, so the first that does is the first of the whole list.
TTriangle* TTrack::findTriangle(float x, float y, float z) const {
  // A NaN coordinate passes every box test, and only the whole list gives its answer; so does a
  // list of triangles that the mesh did not make, which has no grid.
  if (std::isnan(x) || std::isnan(z) || triangleGrid.small.columns == 0) {
    for (int32_t i = 0; i < triangleCount; i++)
      if (triangles[i]->contains(x, y, z)) return triangles[i];
    return triangles[0];
  }
  // The two levels' lists for the point, each ascending, are walked together in index order, so
  // the first triangle that contains the point is still the lowest-numbered one.
  const TCellLevel &small = triangleGrid.small, &large = triangleGrid.large;
  int32_t smallCell = small.cellAt(x, z), largeCell = large.cellAt(x, z);
  // Outside the small cells, which cover every triangle's box, no triangle contains the point.
  if (smallCell < 0) return triangles[0];
  const int32_t* s = small.cellTriangles.data() + small.cellStart[size_t(smallCell)];
  const int32_t* sEnd = small.cellTriangles.data() + small.cellStart[size_t(smallCell) + 1];
  const int32_t* l = large.cellTriangles.data();
  const int32_t* lEnd = l;
  if (largeCell >= 0) {
    l += large.cellStart[size_t(largeCell)];
    lEnd = large.cellTriangles.data() + large.cellStart[size_t(largeCell) + 1];
  }
  while (s != sEnd || l != lEnd) {
    int32_t i = l == lEnd || (s != sEnd && *s < *l) ? *s++ : *l++;
    if (triangles[i]->contains(x, y, z)) return triangles[i];
  }
  return triangles[0];
}
