// What start-up says about a track it refuses; the track checker says the same.
#pragma once

#include <cstdint>
#include <string>

// The message for a failed load result, line ends included. defaultTrack: no file was named and
// Default.tck was tried.
std::string loadFailureMessage(int8_t result, bool defaultTrack);
