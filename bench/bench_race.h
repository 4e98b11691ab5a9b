// What the benchmarks share: the tracks they run on and a race under way on one of them.
#pragma once

#include <cstdint>
#include <string>

// A shipped track (0, 1, 2: Default, Flat, Hills) or a generated one of that many waypoints,
// written once to a file in /tmp.
std::string benchTrackPath(int64_t argument);
// Loads the track as the game's one track and makes a race of carCount cars, running, with the
// player at 40 units per second; the previous race and track are released.
void startRace(const std::string& path, int32_t carCount);
// One simulation step as the game loop takes it, every car then the camera, with the player
// steered towards its next waypoint as a driver would.
void driveStep(float dt);
