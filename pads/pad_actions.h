// What a pad's controls mean to the game, however the platform reads the pad: its buttons by the
// numbers of SDL's game controllers, which the browser's standard mapping is turned into, and
// the left stick's steering.
#pragma once

#include <cstdint>

#include "events/actions.h"

// SDL's game-controller buttons, by their numbers there.
enum : uint8_t {
  padA,
  padB,
  padX,
  padY,
  padBack,
  padGuide,
  padStart,
  padLeftStick,
  padRightStick,
  padLeftShoulder,
  padRightShoulder,
  padUp,
  padDown,
  padLeft,
  padRight,
  padNone = 255
};

// The action of a pad's button, as its key would give it; actionNone for a button without one.
TAction gamepadButtonAction(uint8_t button);
// The player's turn rate for the left stick at travel, -1 left to 1 right: none within the dead
// zone, and at full travel as sharp as the mouse's at the window's edge.
float stickTurnRate(float travel);
