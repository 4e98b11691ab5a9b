// The mesh's triangles by square plan cell, so that finding the triangle under a car tests the
// few triangles that pass through its cell instead of the whole list.
#pragma once

#include <cstdint>
#include <vector>

class TTriangle;

constexpr double cellsPerTriangle = 0.25;  // grid cells per mesh triangle, spread over the mesh's plan box

class TTriangleGrid {
 public:
  double originX = 0.0, originZ = 0.0;  // corner of cell (0, 0): the smallest x and z of any triangle
  double cellSize = 1.0;                // units
  int32_t columns = 0, rows = 0;
  std::vector<int32_t> cellStart;      // per cell, where its triangles begin in cellTriangles; one more at the end
  std::vector<int32_t> cellTriangles;  // indices into the track's triangles, ascending within a cell

  void clear();
  // Files every triangle under each cell where containment could answer true for a point:
  // the triangle and the lines through its edges, widened by the rounding of the test, within
  // its plan box.
  void build(const TTriangle* const* triangles, int32_t count);
  // The cell holding (x, z), or -1 outside every triangle's box.
  int32_t cellAt(float x, float z) const;
};
