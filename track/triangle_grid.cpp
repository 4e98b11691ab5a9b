// Filing triangles under grid cells. contains() first tests the plan box exactly, then the signs
// of float cross products against the lines A-C and A-B from corner A and C-A and C-B from C. A
// sign can come out wrong only for a point within about three float roundings times its distance
// from that corner of the sign's line. With every sign right, only the triangle contains a point.
// The line A-C is tested from both ends, and where the two disagree a point anywhere along it
// within the box may count as contained; so the cells along that line get the triangle too. A
// wrong sign against A-B or C-B alone reaches only near B, the further the more nearly those two
// lines run parallel; so the triangle is widened by that. Where they run parallel within
// rounding, the whole lines A-B and C-B are filed as well. Every cell that region touches gets
// the triangle, which keeps findTriangle's answer the plain scan's.
#include "track/triangle_grid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

#include "track/triangle.h"

constexpr double floatRounding = 1.0 / 16777216.0;   // 2^-24, the relative error of one float operation
constexpr double lineWidening = 24 * floatRounding;  // per unit of box size: the line A-C, and the
                                                     // lines A-B and C-B where nearly parallel to it
constexpr double flatCorner = 16 * floatRounding;    // sine of the angle at B below which A-B and C-B
                                                     // count as parallel
constexpr int32_t trianglesWorthAThread = 4000;      // below it, a second thread costs about what it saves

namespace {

struct TSpan {
  double low, high;
};

// A line through (x0, z0) as x = x0 + (z - z0) * slope, or level (slope unused).
struct TLine {
  double x0, z0, slope;
  bool level;
};

TLine lineThrough(double px, double pz, double qx, double qz) {
  if (pz == qz) return {px, pz, 0.0, true};
  return {px, pz, (qx - px) / (qz - pz), false};
}

// x range of the line where its z lies in [low, high]; empty as low > high.
TSpan lineSpan(const TLine& line, double low, double high) {
  if (line.level) {
    if (line.z0 < low || line.z0 > high) return {1.0, 0.0};
    return {-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  }
  double x1 = line.x0 + (low - line.z0) * line.slope, x2 = line.x0 + (high - line.z0) * line.slope;
  return {std::min(x1, x2), std::max(x1, x2)};
}

// x range of the triangle's part with z in [low, high]: its corners there and where its edges
// cross the two levels.
TSpan triangleSpan(const std::array<double, 3>& x, const std::array<double, 3>& z, const std::array<TLine, 3>& edges,
                   double low, double high) {
  TSpan span = {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  for (int k = 0; k < 3; k++) {
    if (z[k] >= low && z[k] <= high) {
      span.low = std::min(span.low, x[k]);
      span.high = std::max(span.high, x[k]);
    }
    int m = k == 2 ? 0 : k + 1;
    for (double level : {low, high}) {
      if ((z[k] < level) == (z[m] < level) || edges[k].level) continue;
      double at = x[k] + (level - z[k]) * edges[k].slope;
      span.low = std::min(span.low, at);
      span.high = std::max(span.high, at);
    }
  }
  return span;
}

// (cell, triangle) pairs in triangle order, and per cell the last triangle filed under it.
struct TFiling {
  std::vector<int32_t> cells, triangles;
  std::vector<int32_t> lastFiled;
};

// Files the triangles of one level under every cell of it where containment could answer true
// for a point: the triangle and the lines through its edges, widened by the rounding of the
// test, within its plan box.
void fileTriangles(const TTriangleGrid& grid, bool small, const TTriangle* const* triangles, int32_t count,
                   TFiling* out) {
  const TCellLevel& level = small ? grid.small : grid.large;
  out->lastFiled.assign(size_t(level.columns) * size_t(level.rows), -1);
  double perCell = 1.0 / level.cellSize;
  auto columnOf = [&](double x) { return int32_t(std::floor((x - level.originX) * perCell)); };
  for (int32_t t = 0; t < count; t++) {
    const TTriangle& tri = *triangles[t];
    if (grid.isSmall(tri) != small) continue;
    std::array x{double(tri.vertexA.x), double(tri.vertexB.x), double(tri.vertexC.x)};
    std::array z{double(tri.vertexA.z), double(tri.vertexB.z), double(tri.vertexC.z)};
    double size = planLength(double(tri.maxX) - tri.minX, double(tri.maxZ) - tri.minZ);
    double scale = std::fabs(x[0]) + std::fabs(z[0]) + size;
    double widen = lineWidening * size + 1e-12 * scale;  // the second term covers this double arithmetic
    double abX = x[1] - x[0], abZ = z[1] - z[0], cbX = x[1] - x[2], cbZ = z[1] - z[2];
    double abLength = planLength(abX, abZ), cbLength = planLength(cbX, cbZ);
    double sine = abLength * cbLength > 0.0 ? std::fabs(abX * cbZ - abZ * cbX) / (abLength * cbLength) : 1.0;
    bool parallelAtB = sine < flatCorner;
    double nearB = parallelAtB ? widen : widen + 4 * floatRounding * (abLength + cbLength) / (sine - 8 * floatRounding);
    int32_t firstColumn = columnOf(tri.minX), lastColumn = columnOf(tri.maxX);
    int32_t firstRow = int32_t(std::floor((double(tri.minZ) - level.originZ) / level.cellSize));
    int32_t lastRow = int32_t(std::floor((double(tri.maxZ) - level.originZ) / level.cellSize));
    std::array edges{lineThrough(x[0], z[0], x[1], z[1]), lineThrough(x[1], z[1], x[2], z[2]),
                     lineThrough(x[2], z[2], x[0], z[0])};
    bool lineAC = x[0] != x[2] || z[0] != z[2];
    bool lineAB = parallelAtB && (x[0] != x[1] || z[0] != z[1]), lineCB = parallelAtB && (x[2] != x[1] || z[2] != z[1]);
    for (int32_t row = firstRow; row <= lastRow; row++) {
      double low = std::max(level.originZ + row * level.cellSize, double(tri.minZ));
      double high = std::min(level.originZ + (row + 1) * level.cellSize, double(tri.maxZ));
      TSpan spans[] = {triangleSpan(x, z, edges, low - nearB, high + nearB), {1.0, 0.0}, {1.0, 0.0}, {1.0, 0.0}};
      spans[0] = {spans[0].low - nearB, spans[0].high + nearB};
      if (lineAC) spans[1] = lineSpan(edges[2], low - widen, high + widen);
      if (lineAB) spans[2] = lineSpan(edges[0], low - widen, high + widen);
      if (lineCB) spans[3] = lineSpan(edges[1], low - widen, high + widen);
      for (int k = 0; k < 4; k++) {
        TSpan span = spans[k];
        if (span.low > span.high) continue;
        if (k > 0) span = {span.low - widen, span.high + widen};
        // A nearly level line crosses a row far outside the triangle's box, where its cell
        // number would not even fit an int; only the part within the box is filed.
        if (span.high < tri.minX || span.low > tri.maxX) continue;
        int32_t fromColumn = std::max(firstColumn, columnOf(std::max(span.low, double(tri.minX))));
        int32_t toColumn = std::min(lastColumn, columnOf(std::min(span.high, double(tri.maxX))));
        for (int32_t column = fromColumn; column <= toColumn; column++) {
          int32_t cell = row * level.columns + column;
          if (out->lastFiled[size_t(cell)] == t) continue;
          out->lastFiled[size_t(cell)] = t;
          out->cells.push_back(cell);
          out->triangles.push_back(t);
        }
      }
    }
  }
}

// Sorts a level's filing stably by cell into its lists.
void sortFiling(const TFiling& filing, TCellLevel* level) {
  level->cellStart.assign(size_t(level->columns) * size_t(level->rows) + 1, 0);
  for (int32_t cell : filing.cells) level->cellStart[size_t(cell) + 1]++;
  for (size_t c = 1; c < level->cellStart.size(); c++) level->cellStart[c] += level->cellStart[c - 1];
  level->cellTriangles.resize(filing.cells.size());
  std::vector<int32_t> next(level->cellStart.begin(), level->cellStart.end() - 1);
  for (size_t k = 0; k < filing.cells.size(); k++)
    level->cellTriangles[size_t(next[size_t(filing.cells[k])]++)] = filing.triangles[k];
}

// Cells of size over the box from (minX, minZ), width by depth.
void layOut(TCellLevel* level, double minX, double minZ, double width, double depth, double size) {
  level->originX = minX;
  level->originZ = minZ;
  level->cellSize = size;
  level->columns = int32_t(std::floor(width / size)) + 1;
  level->rows = int32_t(std::floor(depth / size)) + 1;
}

}  // namespace

void TTriangleGrid::clear() {
  for (TCellLevel* level : {&small, &large}) {
    level->columns = level->rows = 0;
    level->cellStart.clear();
    level->cellTriangles.clear();
  }
}

int32_t TCellLevel::cellAt(float x, float z) const {
  if (columns == 0) return -1;
  double column = std::floor((double(x) - originX) / cellSize), row = std::floor((double(z) - originZ) / cellSize);
  if (!(column >= 0.0 && column < columns && row >= 0.0 && row < rows)) return -1;
  return int32_t(row) * columns + int32_t(column);
}

bool TTriangleGrid::isSmall(const TTriangle& t) const {
  double reach = smallTriangleCells * small.cellSize;
  return double(t.maxX) - t.minX <= reach && double(t.maxZ) - t.minZ <= reach;
}

void TTriangleGrid::build(const TTriangle* const* triangles, int32_t count) {
  clear();
  if (count == 0) return;
  double minX = triangles[0]->minX, maxX = triangles[0]->maxX, minZ = triangles[0]->minZ, maxZ = triangles[0]->maxZ;
  for (int32_t t = 1; t < count; t++) {
    minX = std::min(minX, double(triangles[t]->minX));
    maxX = std::max(maxX, double(triangles[t]->maxX));
    minZ = std::min(minZ, double(triangles[t]->minZ));
    maxZ = std::max(maxZ, double(triangles[t]->maxZ));
  }
  double width = maxX - minX, depth = maxZ - minZ;
  double cells = double(cellsPerTriangle) * count;
  double cellSize = std::sqrt(width * depth / cells);
  // A mesh flat in one direction still gets cells along the other.
  cellSize = std::max({cellSize, width / cells, depth / cells, 1e-6 * (1.0 + std::fabs(minX) + std::fabs(minZ))});
  layOut(&small, minX, minZ, width, depth, cellSize);
  layOut(&large, minX, minZ, width, depth, cellSize * largeCellSpan);

  // Each level's (cell, triangle) pairs, filed in triangle order and then sorted stably by cell.
  // The levels are independent: with many triangles the large cells are filled on a second core.
  auto fill = [this, triangles, count](bool isSmallLevel) {
    TFiling filing;
    fileTriangles(*this, isSmallLevel, triangles, count, &filing);
    sortFiling(filing, isSmallLevel ? &small : &large);
  };
  std::thread largeFiller;
  if (count >= trianglesWorthAThread) {
    try {
      largeFiller = std::thread(fill, false);
    } catch (const std::system_error&) {
    }
  }
  fill(true);
  if (largeFiller.joinable())
    largeFiller.join();
  else
    fill(false);
}
