#include "track/track.h"

void TTrack::buildMesh() {}
