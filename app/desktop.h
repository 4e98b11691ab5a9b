// What the desktop needs to know the game's window: its class and its icon.
#pragma once

// Names the current GLUT window's class after the menu entry and gives it the game's installed
// icon, so the dock and the task switcher match it to the entry. Without the icon file, or
// without X, the window simply goes without.
void identifyWindow();
