// Writes a shaped track to standard output, for timing the loader on long straights against a
// circle: zarvanto_shape_track circle|square|thin|comb WAYPOINTS [TURN-RADIANS].
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/reference/generated_track.h"

int main(int argc, char** argv) {
  const char* names[] = {"circle", "square", "thin", "comb"};
  int shape = -1;
  for (int k = 0; k < 4 && argc >= 3; k++)
    if (std::strcmp(argv[1], names[k]) == 0) shape = k;
  if (shape < 0 || argc > 4) {
    std::fprintf(stderr, "usage: zarvanto_shape_track circle|square|thin|comb WAYPOINTS [TURN-RADIANS]\n");
    return 2;
  }
  double angle = argc == 4 ? std::atof(argv[3]) : 0.0;
  std::string text = trackFileText(shapedWaypoints(TTrackShape(shape), std::atoi(argv[2]), angle));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
