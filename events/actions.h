// What the player asks the game to do. Keys, mouse buttons and pad buttons are turned into these
// actions, and one function applies each at once, so a key and the pad button that stands for it
// do the same thing through the same code.
#pragma once

#include <cstdint>

enum TAction : uint8_t {
  actionNone,
  actionSpeedUp,     // one step up the speed ladder; resumes a paused race first
  actionSpeedDown,   // one step down; resumes a paused race first
  actionStop,        // speed 0 while running
  actionPause,       // pause a running race, resume a paused one
  actionGo,          // resume a paused race; after a crash, a new race
  actionRescue,      // back on the road at the last waypoint reached; after a crash, race on
  actionQuit,        // leave the race
  actionFullScreen,  // full screen, or back to the window's size
  actionHelp,        // the overlays on and off: help text,
  actionHeadUp,      // head-up display,
  actionOverview,    // track overview,
  actionSolid,       // and solid or wireframe drawing
  actionCockpit,     // the camera's modes, in the camera's order
  actionBehind,
  actionHelicopter,
  actionTrackView,
  actionNextCamera,  // the camera's next mode, and its previous, round the four
  actionPreviousCamera,
  actionFollowCar,                       // the camera follows car 0, the player; actionFollowCar + n follows car n,
                                         // for each digit key n (cars beyond the last are ignored)
  actionNextCar = actionFollowCar + 10,  // the car after the followed one, and the one before
  actionPreviousCar,
  actionGhost,  // the next ghost: the record's, the gold lap's, a friend's, none
  actionMute,   // the sound off or on
};

// Actions gathered before they are applied: at most a pad poll's worth.
constexpr int32_t maxActions = 16;

struct TActions {
  TAction list[maxActions];  // in the order they were asked for
  int32_t count;             // 0 to maxActions; one more than that is dropped
};

// Adds an action when there is room for it.
inline void addAction(TActions* actions, TAction action) {
  if (actions->count < maxActions) actions->list[actions->count++] = action;
}
