// Creating a race and releasing it, at the chooser and at exit.
#include "app/chooser.h"
#include "app/game.h"
#include "app/gamepad.h"
#include "app/time_trial.h"
#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "sound/sound.h"
#include "track/track.h"

constexpr float playerGrey = 0.3f;  // red, green and blue of the player's car

void createRace() {
  player = new TPlayer(playerGrey, playerGrey, playerGrey);
  cars[0] = player;
  // Opponent i is painted by the bits of its index: bit 0 red, bit 1 green, bit 2 blue. They are
  // made in index order because each draws its start from the random sequence.
  for (int32_t i = 1; i < carCount; i++)
    cars[i] = new TOpponent(float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1));
  camera = new TCamera(player);
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

void cleanUpGame() {
  closeChooser();
  closeGamepads();
  releaseRace();
}
