// The record lap's ghost, drawn in a car's shape; the cars themselves draw through TCar::draw.
#pragma once

// The ghost where the record's lap was at the current lap time, when it has a place and is shown.
void drawGhost();
