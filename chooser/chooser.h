// The chooser: the shipped tracks and the player's own, one picked with the number of opponents,
// and the race on it started and ended there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TTrack;

constexpr long long maxTrackFileBytes = 64LL << 20;  // bytes; a larger file is listed, never read whole
constexpr int chooserRows = 12;                      // titles shown at once

// Where the chooser stands on the overlay plane, in its units, for drawing and for the mouse.
constexpr float overlayHalfHeight = 0.41421356f;  // tan(22.5 degrees): the overlay plane's top
constexpr float chooserListTop = 0.30f;           // baseline of the first title shown
constexpr float chooserRowStep = 0.04f;           // between titles
constexpr float chooserLineAbove = 0.03f;         // a line reaches this far above its baseline for a click,
constexpr float chooserLineBelow = 0.01f;         // and this far below
constexpr float chooserOpponentsLine = -0.31f;    // baseline of the opponents' numbers
constexpr float chooserOpponentStep = 0.04f;      // between the numbers 0 to 7
constexpr float chooserOpponentsX(float aspect) { return -0.38f * aspect + 0.15f; }  // the number 0

struct ChooserEntry {
  std::string path;            // the track file
  bool own = false;            // in the player's tracks, not the shipped ones
  std::string title;           // its second line; the file's name when it has none
  std::string message;         // why the game refuses it, one line; empty while it may be raced
  bool judged = false;         // read whole and judged by the game's rules
  float length = 0.0f;         // units round the waypoint line, once judged
  int32_t waypoints = 0;       // once judged
  bool recordKept = false;     // a record lap of this track is kept
  float recordLapTime = 0.0f;  // seconds
  uint8_t medal = 0;           // the best medal the record won, medalNone to medalGold
  bool targetsKnown = false;   // the gold lap was driven on it and kept
  float goldTime = 0.0f;       // seconds of the gold lap
  bool friendKept = false;     // a friend's lap of it was added
  float friendLapTime = 0.0f;  // seconds of the fastest
};

extern bool choosing;                             // the chooser is shown, not a race
extern std::vector<ChooserEntry> chooserEntries;  // shipped tracks first, each folder by title
extern int32_t chooserSelected;                   // index into chooserEntries; -1 when it is empty
extern int32_t chooserFirstRow;                   // entry shown in the top row
extern int32_t chooserOpponents;                  // 0 to maxOpponents
extern bool chooserRace;                          // r: a race against rivals, not the free drive
extern int32_t chooserLaps;                       // + and -: the race's laps, 1 to maxRaceLaps
extern uint8_t chooserLevel;                      // v: the rivals' level
extern bool chooserHelp;                          // F1: the keys are shown
extern const TTrack* chooserShape;                // the selected track read whole, for its overview;
                                                  // null while it loads or when it has no shape

// The track files (*.tck) of a folder, appended to entries sorted by title, each with its title
// read from its first two lines alone. A file that is not regular, or a link that leads nowhere,
// is left out; one that can't be read, is too large or is no track file is listed with why. A
// folder that can't be listed adds nothing.
void listTracks(const std::string& folder, std::vector<ChooserEntry>* entries);

// Lists both folders, takes the last track and opponents kept in the settings, and shows the chooser.
void openChooser();
// At exit: the loading of a track's shape is stopped and waited for.
void closeChooser();
// Both folders listed again, with the track at path selected and read again, else the first.
void listTracksAgain(const std::string& path);
// Escape in a race from the chooser: the race is released and the chooser shown again.
void returnToChooser();

// The chooser's GLUT callbacks while it is shown: arrows, wheel and clicks pick; Enter races; F1
// the keys; Escape quits. A race started here has the race's keys, with Escape coming back here.
void chooserKeyboard(unsigned char key, int x, int y);
void chooserSpecialKey(int key, int x, int y);
void chooserMouse(int button, int state, int x, int y);
