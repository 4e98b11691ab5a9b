// Start-up: the command line, the track, the opponents and the first race; and the same race
// started from the chooser.
#pragma once

#include <cstdint>
#include <string>

// The opponents argument read as atoi reads it (blanks, a sign, digits up to the first
// non-digit, none giving 0), but held within the int range instead of overflowing.
int readOpponentArgument(const char* text);
// Takes every copy of the option ("--mute", "--choose") out of the command line, wherever it
// stands, so the track file and the opponents keep their places; true if there was one.
bool takeOption(int* argc, char** argv, const char* option);
// Takes "--race LAPS" and "--level easy|medium|hard" out of the command line wherever they
// stand, as takeOption does, and sets raceLaps and raceLevel. False when a value is missing or
// out of range, or a level is given without a race: the caller prints raceUsage and exits with 1.
bool takeRaceOptions(int* argc, char** argv);
// The command line of a race, for a refused one.
extern const char raceUsage[];
// Starts loading the track on a thread of its own before GLUT has read the command line, when
// no argument can be one of GLUT's options. initGame then takes its result.
void startLoadingTrack(int argc, char** argv);
// Start-up after the window exists: the track, the opponents, the cars and the clock. On a
// failure it prints its message and ends the process with status 1.
void initGame(int argc, char** argv);
// The race on the loaded track with carCount cars, as every start makes it: the car array, the
// race reset, the lap times cleared and the time trial opened.
void beginRace();
// A race from the chooser: the same track and cars the command line makes of that file and that
// many opponents, then the sound. False with the game's message when the track is refused.
bool startChosenRace(const char* fileName, int32_t opponents, std::string* message);
// What Escape does once the race or the chooser has had its say: ends the process, whose exit
// clean-up releases the game. A platform whose game can't end sets another.
extern void (*quitGame)();
// The three-line banner of a successful start.
void printBanner();
