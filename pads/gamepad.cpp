// Game controllers: SDL's events turned into the game's actions and steering.
#include "pads/gamepad.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cars/player.h"
#include "events/race_events.h"
#include "pads/pad_actions.h"
#include "race/state.h"
#include "records/record.h"

// A button's meaning is looked up by SDL's own number for it.
static_assert(int(SDL_CONTROLLER_BUTTON_A) == padA && int(SDL_CONTROLLER_BUTTON_START) == padStart &&
              int(SDL_CONTROLLER_BUTTON_DPAD_RIGHT) == padRight);

constexpr int maxGamepads = 8;               // pads driving at once; one more is left alone
constexpr int triggerPress = 16384;          // trigger travel (of 32767) that counts as a press
constexpr int triggerRelease = 8192;         // and as letting go, lower so a resting finger doesn't repeat
constexpr Uint16 crashRumbleLow = 0xffff;    // strength of the heavy motor on a crash, of 0xffff
constexpr Uint16 crashRumbleHigh = 0x8000;   // and of the light one
constexpr Uint32 crashRumbleDuration = 400;  // milliseconds

struct Gamepad {
  SDL_GameController* controller;  // open pad, or nullptr for a free slot
  SDL_JoystickID id;               // SDL's instance id, as removal events name the pad
  bool triggerHeld[2];             // left and right trigger past triggerPress, not yet let go
};

static bool sdlOpen = false;
static Gamepad gamepads[maxGamepads];
static float stickTravel = 0.0f;  // the left stick's last position, -1 left to 1 right, from any pad

bool stickSteers = false;

bool openGamepads() {
  // SDL only reads pads here: the game's own signals, window and output stay as they are.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_LogSetOutputFunction([](void*, int, SDL_LogPriority, const char*) {}, nullptr);
  if (SDL_Init(SDL_INIT_GAMECONTROLLER) != 0) return false;
  sdlOpen = true;
  // SDL has read its own database and SDL_GAMECONTROLLERCONFIG, which keeps the upper hand; the
  // player's file adds the pads neither knows. No file is the usual case and says nothing.
  std::string folder = playerConfigFolder();
  if (folder.empty()) return true;
  std::string path = folder + "/gamecontrollerdb.txt";
  struct stat status;
  if (stat(path.c_str(), &status) != 0) return true;
  const char* why = S_ISREG(status.st_mode) ? nullptr : "not a file";
  if (why == nullptr && access(path.c_str(), R_OK) != 0) why = std::strerror(errno);
  if (why == nullptr) {
    int added = SDL_GameControllerAddMappingsFromFile(path.c_str());
    if (added < 0) why = SDL_GetError();
    if (added == 0) why = "no mapping for this system in it";
  }
  if (why != nullptr) std::fprintf(stderr, "Gamepad mappings in %s ignored: %s\n", path.c_str(), why);
  return true;
}

static Gamepad* findGamepad(SDL_JoystickID id) {
  for (Gamepad& pad : gamepads)
    if (pad.controller != nullptr && pad.id == id) return &pad;
  return nullptr;
}

static void addGamepad(int deviceIndex) {
  // A pad that a new mapping turns into a controller is announced again.
  if (findGamepad(SDL_JoystickGetDeviceInstanceID(deviceIndex)) != nullptr) return;
  for (Gamepad& pad : gamepads) {
    if (pad.controller != nullptr) continue;
    pad.controller = SDL_GameControllerOpen(deviceIndex);
    if (pad.controller != nullptr) pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad.controller));
    return;
  }
}

static void removeGamepad(SDL_JoystickID id, TActions* actions) {
  Gamepad* pad = findGamepad(id);
  if (pad == nullptr) return;
  SDL_GameControllerClose(pad->controller);
  *pad = Gamepad{};
  stickTravel = 0.0f;
  if (player != nullptr && pauseState == stateRunning) addAction(actions, actionPause);
}

static void moveAxis(SDL_JoystickID id, uint8_t axis, int value, TActions* actions) {
  if (axis == SDL_CONTROLLER_AXIS_LEFTX) {
    stickTravel = value < 0 ? float(value) / 32768.0f : float(value) / 32767.0f;
    stickSteers = true;
    return;
  }
  if (axis != SDL_CONTROLLER_AXIS_TRIGGERLEFT && axis != SDL_CONTROLLER_AXIS_TRIGGERRIGHT) return;
  Gamepad* pad = findGamepad(id);
  if (pad == nullptr) return;
  bool& held = pad->triggerHeld[axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT];
  if (!held && value >= triggerPress) {
    held = true;
    addAction(actions, axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT ? actionSpeedUp : actionSpeedDown);
  } else if (value <= triggerRelease) {
    held = false;
  }
}

void pollGamepads(TActions* actions) {
  if (!sdlOpen) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_CONTROLLERDEVICEADDED: addGamepad(event.cdevice.which); break;
      case SDL_CONTROLLERDEVICEREMOVED: removeGamepad(event.cdevice.which, actions); break;
      default: break;
    }
    // Between races, in the chooser, the pad's buttons and stick have no race to act on.
    if (player == nullptr) continue;
    if (event.type == SDL_CONTROLLERBUTTONDOWN) addAction(actions, gamepadButtonAction(event.cbutton.button));
    if (event.type == SDL_CONTROLLERAXISMOTION)
      moveAxis(event.caxis.which, event.caxis.axis, event.caxis.value, actions);
  }
  if (player != nullptr && stickSteers && pauseState == stateRunning && player->speed != 0.0f)
    player->turnRate = stickTurnRate(stickTravel);
}

void rumbleRaceEvent(const RaceEvent& event) {
  if (event.kind != eventCrash) return;
  for (Gamepad& pad : gamepads)
    if (pad.controller != nullptr)
      SDL_GameControllerRumble(pad.controller, crashRumbleLow, crashRumbleHigh, crashRumbleDuration);
}

void closeGamepads() {
  if (!sdlOpen) return;
  for (Gamepad& pad : gamepads) {
    if (pad.controller != nullptr) SDL_GameControllerClose(pad.controller);
    pad = Gamepad{};
  }
  SDL_Quit();
  sdlOpen = false;
  stickSteers = false;
  stickTravel = 0.0f;
}
