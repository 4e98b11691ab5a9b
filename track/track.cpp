// The track's lifetime and the room its triangles are kept in.
#include "track/track.h"

#include <cstdlib>
#include <new>
#include <type_traits>

#include "track/triangle.h"

TTrack::TTrack()
    : title(nullptr),
      waypointCount(0),
      waypoints(nullptr),
      minCorner{},
      maxCorner{},
      centre{},
      margin(0),
      triangleCount(0),
      triangles(nullptr),
      triangleBlock(nullptr),
      triangleRoom(0),
      infieldStart(0),
      outerStart(0),
      groundPointTests(0) {}

TTrack::~TTrack() {
  std::free(title);
  std::free(waypoints);
  clearTriangles();
}

void TTrack::clearTriangles() {
  triangleGrid.clear();
  groundPointTests = 0;
  if (triangles == nullptr) return;
  std::free(triangles);
  std::free(triangleBlock);
  triangles = nullptr;
  triangleBlock = nullptr;
  triangleCount = triangleRoom = 0;
}

// Triangles hold only floats, so the block moves as bytes; the array then points into its new place.
static_assert(std::is_trivially_copyable_v<TTriangle> && std::is_trivially_destructible_v<TTriangle>);

void TTrack::reserveTriangles(int32_t count) {
  if (count <= triangleRoom) return;
  TTriangle* block = static_cast<TTriangle*>(std::realloc(triangleBlock, sizeof(TTriangle) * size_t(count)));
  triangles = static_cast<TTriangle**>(std::realloc(triangles, sizeof(TTriangle*) * size_t(count)));
  if (block == nullptr || triangles == nullptr) std::abort();
  if (block != triangleBlock)
    for (int32_t i = 0; i < triangleCount; i++) triangles[i] = block + i;
  triangleBlock = block;
  triangleRoom = count;
}

void TTrack::addTriangle(Vec3 a, Vec3 b, Vec3 c, bool isRoad) {
  if (triangleCount == triangleRoom) reserveTriangles(triangleRoom < 16 ? 16 : 2 * triangleRoom);
  triangles[triangleCount] = new (triangleBlock + triangleCount) TTriangle(a, b, c, isRoad);
  triangleCount++;
}
