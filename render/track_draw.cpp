// Drawing the track: the solid mesh or the wireframe grid with the centre line, and the map.
//
// The solid mesh of a big track reaches far beyond the 800 units the camera sees, and feeding
// every triangle to a software renderer costs more than the rest of the frame. So a frame files
// the triangles of the grid cells under the view's plan box and draws those of them that neither
// miss that box in plan nor lie wholly beyond one side of the view, in their stored order: where
// two triangles meet at one depth the earlier one stays in front, as when every triangle is
// sent. A triangle left out is one that OpenGL would have clipped away entirely, so the picture
// is the same to the pixel.
#include "render/track_draw.h"

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <utility>

#include "race/state.h"
#include "render/pixels.h"
#include "track/track.h"
#include "track/triangle.h"

constexpr float gridSpacing = 8.0f;       // units between wireframe grid lines
constexpr double cullMargin = 1.0;        // units a triangle must lie beyond a side of the view to be left out
constexpr double cullMarginScale = 1e-5;  // and this much more per unit of coordinate size: OpenGL
                                          // works in floats, whose rounding grows with the numbers

namespace {

// What the current projection and modelview see, in world units.
struct TViewVolume {
  double planes[6][4];            // a x + b y + c z + d: distance inside each side (negative beyond it)
  int32_t planeCount;             // sides with a usable normal
  double minX, maxX, minZ, maxZ;  // plan box of the view's eight corners, widened by margin
  double margin;                  // units beyond a side that count as certainly outside
  bool bounded;                   // false when the corners could not be found: everything is drawn
};

// Inverts a column-major 4 x 4 matrix by Gauss-Jordan elimination; false when it is singular.
bool invert(const double (&m)[16], double (&inverse)[16]) {
  double a[4][8];
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) {
      a[r][c] = m[c * 4 + r];
      a[r][c + 4] = r == c ? 1.0 : 0.0;
    }
  for (int c = 0; c < 4; c++) {
    int pivot = c;
    for (int r = c + 1; r < 4; r++)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    if (!(std::fabs(a[pivot][c]) > 0.0)) return false;
    for (int k = 0; k < 8; k++) std::swap(a[c][k], a[pivot][k]);
    double scale = 1.0 / a[c][c];
    for (int k = 0; k < 8; k++) a[c][k] *= scale;
    for (int r = 0; r < 4; r++) {
      if (r == c) continue;
      double f = a[r][c];
      for (int k = 0; k < 8; k++) a[r][k] -= f * a[c][k];
    }
  }
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) inverse[c * 4 + r] = a[r][c + 4];
  return true;
}

// The view of the matrices OpenGL holds now: projection times modelview takes a world point to
// clip space, where it is inside when -w <= x, y, z <= w.
TViewVolume currentView() {
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  double m[16];
  for (int c = 0; c < 4; c++)
    for (int r = 0; r < 4; r++) {
      double sum = 0.0;
      for (int k = 0; k < 4; k++) sum += double(projection[k * 4 + r]) * modelview[c * 4 + k];
      m[c * 4 + r] = sum;
    }

  TViewVolume view{};
  view.bounded = false;
  double inverse[16];
  if (!invert(m, inverse)) return view;
  double size = 0.0;
  view.minX = view.minZ = INFINITY;
  view.maxX = view.maxZ = -INFINITY;
  for (int corner = 0; corner < 8; corner++) {
    double ndc[] = {corner & 1 ? 1.0 : -1.0, corner & 2 ? 1.0 : -1.0, corner & 4 ? 1.0 : -1.0, 1.0};
    double p[4];
    for (int r = 0; r < 4; r++)
      p[r] = inverse[r] * ndc[0] + inverse[4 + r] * ndc[1] + inverse[8 + r] * ndc[2] + inverse[12 + r];
    if (!(p[3] > 0.0)) return view;
    double x = p[0] / p[3], y = p[1] / p[3], z = p[2] / p[3];
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return view;
    view.minX = std::fmin(view.minX, x);
    view.maxX = std::fmax(view.maxX, x);
    view.minZ = std::fmin(view.minZ, z);
    view.maxZ = std::fmax(view.maxZ, z);
    size = std::fmax(size, std::fabs(x) + std::fabs(y) + std::fabs(z));
  }
  view.margin = cullMargin + cullMarginScale * size;
  view.minX -= view.margin;
  view.maxX += view.margin;
  view.minZ -= view.margin;
  view.maxZ += view.margin;

  // Each side is the last row of the matrix plus or minus one of the others, scaled to a unit normal.
  for (int axis = 0; axis < 3; axis++)
    for (double sign : {1.0, -1.0}) {
      double* plane = view.planes[view.planeCount];
      for (int c = 0; c < 4; c++) plane[c] = m[c * 4 + 3] + sign * m[c * 4 + axis];
      double length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (!(length > 0.0) || !std::isfinite(length)) continue;
      for (int c = 0; c < 4; c++) plane[c] /= length;
      view.planeCount++;
    }
  view.bounded = true;
  return view;
}

// Whether all three corners lie more than the margin beyond one side of the view.
bool isOutside(const TViewVolume& view, const TTriangle& t) {
  for (int32_t k = 0; k < view.planeCount; k++) {
    const double* p = view.planes[k];
    auto inside = [p](const Vec3& v) { return p[0] * v.x + p[1] * v.y + p[2] * v.z + p[3]; };
    if (inside(t.vertexA) < -view.margin && inside(t.vertexB) < -view.margin && inside(t.vertexC) < -view.margin)
      return true;
  }
  return false;
}

// Whether the triangle's plan view misses the view's plan box: the triangle is then wholly
// outside the view. The long ground triangles filed under the large grid cells often reach past
// the view's corner with neither their box nor a side of the view separating them from it.
bool missesPlanBox(const TViewVolume& view, const TTriangle& t) {
  if (t.minX > view.maxX || t.maxX < view.minX || t.minZ > view.maxZ || t.maxZ < view.minZ) return true;
  const Vec3* corners[] = {&t.vertexA, &t.vertexB, &t.vertexC};
  for (int k = 0; k < 3; k++) {
    const Vec3 &p = *corners[k], &q = *corners[(k + 1) % 3], &r = *corners[(k + 2) % 3];
    double nx = double(q.z) - p.z, nz = double(p.x) - q.x;  // across the edge p-q
    double third = nx * (double(r.x) - p.x) + nz * (double(r.z) - p.z);
    if (third == 0.0) continue;  // a triangle flat in plan separates nothing
    // The box corner furthest towards the third corner's side of the edge.
    double sign = third > 0.0 ? 1.0 : -1.0;
    double x = sign * nx > 0.0 ? view.maxX : view.minX, z = sign * nz > 0.0 ? view.maxZ : view.minZ;
    if (sign * (nx * (x - p.x) + nz * (z - p.z)) < 0.0) return true;
  }
  return false;
}

// The first and last of count grid cells from origin that reach from low or up to high; first
// above last when none does.
int32_t firstCell(double low, double origin, double cellSize, int32_t count) {
  return int32_t(std::fmin(std::fmax(std::floor((low - origin) / cellSize), 0.0), count));
}
int32_t lastCell(double high, double origin, double cellSize, int32_t count) {
  return int32_t(std::fmax(std::fmin(std::floor((high - origin) / cellSize), count - 1.0), -1.0));
}

void drawTriangle(const TTriangle& t) {
  glColor3fv(t.colour);
  glVertex3fv(&t.vertexA.x);
  glVertex3fv(&t.vertexB.x);
  glVertex3fv(&t.vertexC.x);
}

// The solid mesh as the current matrices see it.
void drawSolidMesh(const TTrack& track) {
  TTrackDrawing& kept = drawingFor(track);
  TViewVolume view = currentView();
  kept.trianglesDrawn = 0;
  glBegin(GL_TRIANGLES);
  // Without the view's corners (a degenerate camera) all are drawn.
  if (!view.bounded) {
    for (int32_t i = 0; i < track.triangleCount; i++) drawTriangle(*track.triangles[i]);
    kept.trianglesDrawn = track.triangleCount;
    glEnd();
    return;
  }

  // Mark the triangles filed under the cells the view's plan box covers, then draw the marked
  // ones in index order, clearing the marks for the next frame.
  for (const TCellLevel* grid : {&track.triangleGrid.small, &track.triangleGrid.large}) {
    int32_t column0 = firstCell(view.minX, grid->originX, grid->cellSize, grid->columns);
    int32_t column1 = lastCell(view.maxX, grid->originX, grid->cellSize, grid->columns);
    int32_t row0 = firstCell(view.minZ, grid->originZ, grid->cellSize, grid->rows);
    int32_t row1 = lastCell(view.maxZ, grid->originZ, grid->cellSize, grid->rows);
    for (int32_t row = row0; row <= row1; row++)
      for (int32_t column = column0; column <= column1; column++) {
        int32_t cell = row * grid->columns + column;
        for (int32_t k = grid->cellStart[size_t(cell)]; k < grid->cellStart[size_t(cell) + 1]; k++) {
          uint32_t i = uint32_t(grid->cellTriangles[size_t(k)]);
          kept.inView[i / 64] |= uint64_t(1) << (i % 64);
        }
      }
  }
  for (size_t word = 0; word < kept.inView.size(); word++) {
    for (uint64_t bits = kept.inView[word]; bits != 0; bits &= bits - 1) {
      const TTriangle& t = *track.triangles[word * 64 + size_t(__builtin_ctzll(bits))];
      if (missesPlanBox(view, t) || isOutside(view, t)) continue;
      drawTriangle(t);
      kept.trianglesDrawn++;
    }
    kept.inView[word] = 0;
  }
  glEnd();
}

// Fills quads given as corners in window pixels, leaving both matrices as they were.
void drawWindowQuads(const std::vector<float>& corners) {
  beginWindowPixels();
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, corners.data());
  glDrawArrays(GL_QUADS, 0, GLsizei(corners.size() / 2));
  glDisableClientState(GL_VERTEX_ARRAY);
  endWindowPixels();
}

}  // namespace

TTrackDrawing trackDrawing = {};

TTrackDrawing& drawingFor(const TTrack& track) {
  TTrackDrawing& kept = trackDrawing;
  auto same = [](Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; };
  Vec3 start = track.waypointCount > 0 ? track.waypoints[0] : Vec3{};
  if (kept.track == &track && kept.waypoints == track.waypoints && kept.waypointCount == track.waypointCount &&
      same(kept.start, start) && same(kept.minCorner, track.minCorner) && same(kept.maxCorner, track.maxCorner) &&
      kept.triangles == track.triangles && kept.triangleCount == track.triangleCount)
    return kept;
  kept.track = &track;
  kept.waypoints = track.waypoints;
  kept.waypointCount = track.waypointCount;
  kept.start = start;
  kept.minCorner = track.minCorner;
  kept.maxCorner = track.maxCorner;
  kept.triangles = track.triangles;
  kept.triangleCount = track.triangleCount;
  kept.inView.assign((size_t(track.triangleCount) + 63) / 64, 0);
  kept.trianglesDrawn = 0;
  kept.outlineQuads.clear();
  kept.outlineWidth = kept.outlineHeight = 0;
  return kept;
}

bool outlineKeptFor(const TTrack& track) {
  const TTrackDrawing& kept = drawingFor(track);
  return kept.outlineWidth == windowWidth && kept.outlineHeight == windowHeight;
}

void TTrack::draw() const {
  if (displayFlags & drawSolid) {
    drawSolidMesh(*this);
    return;
  }

  // The grid lies at height 0 and reaches a margin beyond the waypoints on every side. A line
  // beside the view's plan box is left out; the others are drawn whole, so OpenGL cuts them
  // where it always did.
  TViewVolume view = currentView();
  float m = float(margin);
  float x0 = minCorner.x - m, x1 = maxCorner.x + m;
  float z0 = minCorner.z - m, z1 = maxCorner.z + m;
  glLineWidth(1.0f);
  glColor3f(0.0f, 0.4f, 0.0f);
  glBegin(GL_LINES);
  for (float x = x0; x <= x1; x += gridSpacing) {
    if (view.bounded && (x < view.minX || x > view.maxX)) continue;
    glVertex3f(x, 0.0f, z0);
    glVertex3f(x, 0.0f, z1);
  }
  for (float z = z0; z <= z1; z += gridSpacing) {
    if (view.bounded && (z < view.minZ || z > view.maxZ)) continue;
    glVertex3f(x0, 0.0f, z);
    glVertex3f(x1, 0.0f, z);
  }
  glEnd();

  glLineWidth(2.0f);
  glColor3f(0.7f, 0.7f, 0.7f);
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < waypointCount; i++) glVertex3fv(&waypoints[i].x);
  glEnd();
}

void TTrack::drawOverview() const {
  glLoadIdentity();
  if (windowWidth <= 0 || windowHeight <= 0) return;  // no window area, no scale
  float m = float(margin);
  float w = (maxCorner.x - minCorner.x) + m;
  float h = (maxCorner.z - minCorner.z) + m;
  // The larger extent, with its margin, measures 0.8 units of the overlay plane.
  float s = h / float(windowHeight) > w / float(windowWidth) ? 0.8f / h : 0.8f * aspectRatio / w;
  float k = float(margin / 2);
  glTranslatef(-0.4f * aspectRatio, -0.4f, -1.0f);
  glScalef(s, -s, 1.0f);
  glTranslatef(-minCorner.x + k, -maxCorner.z - k, 0.0f);

  glLineWidth(1.0f);
  glColor3f(0.7f, 0.5f, 0.7f);
  const TTrackDrawing& kept = drawingFor(*this);
  if (outlineKeptFor(*this) && !kept.outlineQuads.empty()) {
    drawWindowQuads(kept.outlineQuads);
    return;
  }
  glBegin(GL_LINE_LOOP);
  for (int32_t i = 0; i < waypointCount; i++) glVertex2f(waypoints[i].x, waypoints[i].z);
  glEnd();
}

void keepOverview(const TTrack& track, const uint8_t* covered, int32_t width, int32_t height) {
  // Runs of covered pixels along each row. A run under one of the same span in the row below
  // makes that rectangle a row taller, so a steep stretch of the outline is one quad.
  struct TRun {
    int32_t x0, x1;  // pixels [x0, x1) of the row
    size_t rect;     // the rectangle it belongs to
  };
  std::vector<TRun> below, here;
  std::vector<std::array<int32_t, 4>> rects;  // x0, y0, x1, y1 in pixels, ends excluded
  for (int32_t y = 0; y < height; y++) {
    const uint8_t* row = covered + size_t(y) * size_t(width);
    here.clear();
    size_t k = 0;
    for (int32_t x = 0; x < width; x++) {
      if (row[x] == 0) continue;
      int32_t end = x;
      while (end < width && row[end] != 0) end++;
      while (k < below.size() && below[k].x0 < x) k++;
      size_t rect = rects.size();
      if (k < below.size() && below[k].x0 == x && below[k].x1 == end) {
        rect = below[k].rect;
        rects[rect][3] = y + 1;
      } else {
        rects.push_back({x, y, end, y + 1});
      }
      here.push_back({x, end, rect});
      x = end;
    }
    std::swap(below, here);
  }
  TTrackDrawing& kept = drawingFor(track);
  kept.outlineQuads.clear();
  if (rects.size() < size_t(track.waypointCount))
    for (const auto& r : rects) {
      float x0 = float(r[0]), y0 = float(r[1]), x1 = float(r[2]), y1 = float(r[3]);
      kept.outlineQuads.insert(kept.outlineQuads.end(), {x0, y0, x1, y0, x1, y1, x0, y1});
    }
  kept.outlineWidth = width;
  kept.outlineHeight = height;
}
