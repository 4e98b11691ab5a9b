// The solid mesh as the game first drew it: every triangle, in stored order, whatever the view.
// The picture the culled drawing must match pixel for pixel.
#pragma once

#include "track/track.h"

void plainDrawSolid(const TTrack& track);
