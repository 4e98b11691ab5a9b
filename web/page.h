// The game as a web page: what the page's entry point shares with its frame and its demo.
#pragma once

// The game's step as GLUT's idle callback gives it, run at each frame; null while paused.
extern void (*idleStep)();

// What the page does each frame before the game's step: the demo's next inputs.
void stepPage();
// Starts driving the demo race on the race already begun.
void startDemo();
