// The game's own description of its command line and keys, for a player at a terminal.
#include "app/help.h"

#include <cstdio>

#include "race/state.h"

void printHelp() {
  std::printf(
      "Usage: zarvanto [--mute] [track file] [opponents]\n"
      "       zarvanto [--mute] --race LAPS [--level easy|medium|hard] [track file] [rivals]\n"
      "       zarvanto [--mute] --choose\n"
      "       zarvanto --help | --version\n"
      "\n"
      "Races round the track in the file (Default.tck in the current folder when none is\n"
      "named) against 0 to %d computer opponents (%d when not given). --mute, anywhere,\n"
      "starts with the sound off.\n"
      "\n"
      "--race LAPS races 1 to 99 laps against rivals that drive your own car, from a grid\n"
      "behind the start line with you at the back; Enter or Up starts the countdown.\n"
      "--level sets how well they drive: easy, medium (the default) or hard. The head-up\n"
      "display shows your place, lap and the gap to the car ahead; at the finish, or on\n"
      "Esc, the standings are printed. Enter races again once finished.\n"
      "\n"
      "--choose opens on a chooser of the shipped tracks and your own, in\n"
      "$XDG_DATA_HOME/zarvanto/tracks (~/.local/share/zarvanto/tracks): arrows, the wheel\n"
      "or a click pick a track, Left / Right the opponents, Enter races, F1 shows the keys,\n"
      "Esc quits. Esc in a race from there comes back to it. The last choice is kept in\n"
      "$XDG_CONFIG_HOME/zarvanto/chooser (~/.config/zarvanto/chooser).\n"
      "\n"
      "Keys (the race starts paused):\n"
      "  mouse           steer while the car moves\n"
      "  Up / Down       one step faster / slower; below 0 the car reverses\n"
      "  Space           stop\n"
      "  p               pause / resume\n"
      "  Enter           resume; after a crash, a new race\n"
      "  r               back to the last waypoint reached; after a crash, race on\n"
      "  Esc             quit; from a race the chooser started, back to it\n"
      "  F1 or h         help text\n"
      "  F2              head-up display\n"
      "  F3              track overview\n"
      "  F4              wireframe / solid\n"
      "  F5 F6 F7 F8     camera: cockpit, from behind, helicopter, above the track\n"
      "  0-7             the car the camera follows\n"
      "  f               full screen\n"
      "  m               sound off / on\n"
      "  g               the record lap's ghost: hide / show\n"
      "\n"
      "Gamepads, plugged in at any time (pulling one out pauses the race):\n"
      "  left stick      steer while the car moves\n"
      "  A / X           one step faster / slower (the right / left trigger too)\n"
      "  B               stop\n"
      "  Y               back to the last waypoint reached, as r\n"
      "  Start           pause / resume; after a crash, a new race\n"
      "  Back            help text\n"
      "  LB / RB         head-up display / track overview\n"
      "  D-pad           up / down: camera; left / right: the car the camera follows\n"
      "\n"
      "Exit status: 0 after Esc, 1 when the track, the opponents or the race's laps or\n"
      "level are refused.\n",
      maxOpponents, maxOpponents);
}

void printVersion() { std::printf("zarvanto %s\n", ZARVANTO_VERSION); }
