// The mesh's triangles by square plan cell, so that finding the triangle under a car tests the
// few triangles that pass through its cell instead of the whole list. Most triangles are a few
// units across; the long ground triangles reaching across the infield and out to the border
// would pass through hundreds of small cells, so they are kept in cells of their own, larger.
#pragma once

#include <cstdint>
#include <vector>

class TTriangle;

constexpr int cellsPerTriangle = 1;        // small cells per mesh triangle, spread over the mesh's plan box
constexpr int32_t smallTriangleCells = 4;  // small cells a triangle's plan box may span, either way, to be
                                           // filed under small cells
constexpr int32_t largeCellSpan = 8;       // small cells along a large cell's side

// One square grid of cells over the mesh's plan box.
struct TCellLevel {
  double originX = 0.0, originZ = 0.0;  // corner of cell (0, 0): the smallest x and z of any triangle
  double cellSize = 1.0;                // units
  int32_t columns = 0, rows = 0;
  std::vector<int32_t> cellStart;      // per cell, where its triangles begin in cellTriangles; one more at the end
  std::vector<int32_t> cellTriangles;  // indices into the track's triangles, ascending within a cell

  // The cell holding (x, z), or -1 outside every cell.
  int32_t cellAt(float x, float z) const;
};

class TTriangleGrid {
 public:
  TCellLevel small;  // triangles whose plan box spans at most smallTriangleCells of its cells
  TCellLevel large;  // the others
  bool isSmall(const TTriangle& t) const;

  void clear();
  // Files every triangle, in its level, under each cell where containment could answer true for
  // a point: the triangle and the lines through its edges, widened by the rounding of the test,
  // within its plan box.
  void build(const TTriangle* const* triangles, int32_t count);
};
