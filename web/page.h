// The game as a web page: what the page's entry point shares with its frame and its demo.
#pragma once

// Starts the browser's frames, each a step of the page and of the game.
void startFrames();
// What the page does each frame before the game's step: the demo's next inputs.
void stepPage();
// Starts driving the demo race on the race already begun.
void startDemo();
