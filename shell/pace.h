// How the game loop keeps its pace between steps, which differs by platform.
#pragma once

// Waits out what is left of the shortest time between two steps, if anything.
void waitForFramePeriod();
