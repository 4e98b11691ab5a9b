// Creating a race, resetting it for a new start, and releasing it.
#include "shell/race.h"

#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "contest/contest.h"
#include "race/clock.h"
#include "race/state.h"
#include "rivals/rival.h"
#include "sound/sound.h"
#include "track/track.h"
#include "trial/time_trial.h"

constexpr float playerGrey = 0.3f;  // red, green and blue of the player's car

void createRace() {
  player = new TPlayer(playerGrey, playerGrey, playerGrey);
  cars[0] = player;
  // Opponent i is painted by the bits of its index: bit 0 red, bit 1 green, bit 2 blue. They are
  // made in index order because each draws its start from the random sequence.
  for (int32_t i = 1; i < carCount; i++) {
    float red = float(i & 1), green = float((i >> 1) & 1), blue = float((i >> 2) & 1);
    if (raceLaps > 0) {
      TRival* rival = new TRival(red, green, blue, raceLevel, track, cars, carCount);
      rival->yieldTo = player;
      cars[i] = rival;
    } else {
      cars[i] = new TOpponent(red, green, blue);
    }
  }
  // A race stands its cars on the grid before the camera first looks at the player.
  if (raceLaps > 0) startContest();
  camera = new TCamera(player);
}

void resetRace() {
  for (int32_t i = 0; i < carCount; i++) {
    delete cars[i];
    cars[i] = nullptr;
  }
  delete camera;
  createRace();
  pauseState = statePaused;
  lastFrameTime = 0.0f;
  lapStartTime = gameClock();
  pauseStartTime = lapStartTime;
  pausedTime = 0.0f;
}

void releaseRace() {
  closeSound();
  closeTimeTrial();
  for (int32_t i = 0; cars != nullptr && i < carCount; i++) delete cars[i];
  delete[] cars;
  cars = nullptr;
  player = nullptr;
  delete camera;
  camera = nullptr;
  delete track;
  track = nullptr;
}

void cleanUpGame() { releaseRace(); }
