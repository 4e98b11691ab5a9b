// What drawing keeps of the track it draws from one frame to the next: the marks that pick the
// solid triangles in view, and the map's outline as the pixels it covers. TTrack::draw and
// TTrack::drawOverview themselves are the track's, defined beside this.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/vector.h"

class TTrack;
class TTriangle;

struct TTrackDrawing {
  // The track kept for (null before the first), and enough of what it held then that another
  // track loaded where a freed one was is not taken for it.
  const TTrack* track;
  const Vec3* waypoints;
  int32_t waypointCount;
  Vec3 start, minCorner, maxCorner;  // waypoint 0 and the corners
  const TTriangle* const* triangles;
  int32_t triangleCount;
  std::vector<uint64_t> inView;     // one bit per triangle, set while a solid frame picks what it
                                    // draws; sized once for the track, so drawing never allocates
  int32_t trianglesDrawn;           // by the last solid frame, for the tests and benchmarks
  std::vector<float> outlineQuads;  // the map outline's pixels as rectangles in window pixels,
                                    // corners x0 y0, x1 y0, x1 y1, x0 y1 of each; empty when the
                                    // outline's lines are fewer
  int32_t outlineWidth;             // window size in pixels they were read for; 0: none
  int32_t outlineHeight;
};

// Kept for the track drawn last.
extern TTrackDrawing trackDrawing;

// What is kept for this track, started afresh when it is another than the one drawn last.
TTrackDrawing& drawingFor(const TTrack& track);
// True when the map's outline of this track was read for the window's present size.
bool outlineKeptFor(const TTrack& track);
// Keeps the map outline's pixels, read back from a window of width by height pixels in which
// only the outline was drawn (nonzero where it covers), as rectangles, if they are fewer than
// its lines.
void keepOverview(const TTrack& track, const uint8_t* covered, int32_t width, int32_t height);
