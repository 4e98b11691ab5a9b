// Game controllers through the browser's Gamepad API, with the buttons of SDL's game controllers:
// a pad in the browser's standard mapping has them in its own order, which is turned into SDL's.
#include "pads/gamepad.h"

#include <emscripten/html5.h>

#include <cmath>

#include "cars/player.h"
#include "events/race_events.h"
#include "pads/pad_actions.h"
#include "race/state.h"

constexpr int maxGamepads = 8;           // pads driving at once; one more is left alone
constexpr double triggerPress = 0.5;     // trigger travel that counts as a press
constexpr double triggerRelease = 0.25;  // and as letting go, lower so a resting finger doesn't repeat
constexpr int standardButtons = 17;      // buttons of the standard mapping
constexpr int leftTrigger = 6, rightTrigger = 7;

// The standard mapping's buttons in SDL's terms; the triggers are read as travel.
static const uint8_t sdlButton[standardButtons] = {
    padA,     padB,         padX,          padY,  padLeftShoulder, padRightShoulder, padNone,  padNone, padBack,
    padStart, padLeftStick, padRightStick, padUp, padDown,         padLeft,          padRight, padGuide};

struct Gamepad {
  bool connected;
  bool held[standardButtons];  // buttons down at the last look, and triggers past triggerPress
};

static bool padsOpen = false;
static Gamepad gamepads[maxGamepads];
static float stickTravel = 0.0f;  // the left stick's last position, -1 left to 1 right, from any pad

bool stickSteers = false;

bool openGamepads() {
  padsOpen = emscripten_sample_gamepad_data() == EMSCRIPTEN_RESULT_SUCCESS;
  return padsOpen;
}

static void readPad(Gamepad& pad, const EmscriptenGamepadEvent& state, TActions* actions) {
  for (int b = 0; b < standardButtons && b < state.numButtons; b++) {
    bool trigger = b == leftTrigger || b == rightTrigger;
    bool down =
        trigger ? state.analogButton[b] >= (pad.held[b] ? triggerRelease : triggerPress) : state.digitalButton[b];
    if (down && !pad.held[b] && player != nullptr)
      addAction(actions,
                trigger ? (b == rightTrigger ? actionSpeedUp : actionSpeedDown) : gamepadButtonAction(sdlButton[b]));
    pad.held[b] = down;
  }
  if (player != nullptr && state.numAxes > 0 && std::fabs(state.axis[0] - double(stickTravel)) > 1e-3) {
    stickTravel = float(state.axis[0]);
    stickSteers = true;
  }
}

void pollGamepads(TActions* actions) {
  if (!padsOpen || emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
  int count = emscripten_get_num_gamepads();
  for (int i = 0; i < maxGamepads; i++) {
    EmscriptenGamepadEvent state;
    bool present =
        i < count && emscripten_get_gamepad_status(i, &state) == EMSCRIPTEN_RESULT_SUCCESS && state.connected;
    Gamepad& pad = gamepads[i];
    if (!present) {
      // A pad pulled out of a running race pauses it.
      if (pad.connected && player != nullptr && pauseState == stateRunning) addAction(actions, actionPause);
      if (pad.connected) stickTravel = 0.0f;
      pad = Gamepad{};
      continue;
    }
    if (!pad.connected) pad = Gamepad{true, {}};
    readPad(pad, state, actions);
  }
  if (player != nullptr && stickSteers && pauseState == stateRunning && player->speed != 0.0f)
    player->turnRate = stickTurnRate(stickTravel);
}

// The Gamepad API gives a page no rumble that every browser has.
void rumbleRaceEvent(const RaceEvent&) {}

void closeGamepads() {
  padsOpen = false;
  stickSteers = false;
  stickTravel = 0.0f;
}
