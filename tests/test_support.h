// Track files written by the tests into a temporary folder.
#pragma once

#include <string>

// Writes text to a fresh file in the test folder and returns its path.
std::string writeTrackFile(const std::string& name, const std::string& text);
// "#Track\n<title>\n" followed by the given waypoint lines.
std::string trackText(const std::string& waypointLines, const std::string& title = "Test track");
