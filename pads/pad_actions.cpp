// What a pad's buttons and stick do, the same on the desktop and on the page.
#include "pads/pad_actions.h"

#include <cmath>

#include "cars/player.h"
#include "race/state.h"

constexpr float stickDeadZone = 0.1f;  // fraction of the stick's travel that steers nothing

TAction gamepadButtonAction(uint8_t button) {
  switch (button) {
    case padA: return actionSpeedUp;
    case padX: return actionSpeedDown;
    case padB: return actionStop;
    case padY: return actionRescue;
    // Start pauses and resumes as p does, and after a crash starts a new race as Enter does.
    case padStart: return pauseState == stateCrashed ? actionGo : actionPause;
    case padBack: return actionHelp;
    case padLeftShoulder: return actionHeadUp;
    case padRightShoulder: return actionOverview;
    case padUp: return actionNextCamera;
    case padDown: return actionPreviousCamera;
    case padLeft: return actionPreviousCar;
    case padRight: return actionNextCar;
    default: return actionNone;
  }
}

// Squared beyond the dead zone, so the first part of the travel gives the small corrections.
float stickTurnRate(float travel) {
  float beyond = (std::abs(travel) - stickDeadZone) / (1.0f - stickDeadZone);
  if (beyond <= 0.0f) return 0.0f;
  float rate = pointerTurnRate(windowWidth / 2) * beyond * beyond;
  return travel < 0.0f ? rate : -rate;  // left of centre turns left, as the mouse does
}
