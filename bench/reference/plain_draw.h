// The track as the game first drew it, whatever the view: the pictures the culled drawing must
// match pixel for pixel.
#pragma once

#include "track/track.h"

// Every triangle of the solid mesh, in stored order.
void plainDrawSolid(const TTrack& track);
// The whole wireframe grid and the centre line.
void plainDrawWireframe(const TTrack& track);
