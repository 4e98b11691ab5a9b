// The messages of a refused track, one per load result.
#include "track/load_message.h"

#include "track/track.h"

std::string loadFailureMessage(int8_t result, bool defaultTrack) {
  switch (result) {
    case loadCantOpen:
      return defaultTrack ? "Can't open default.tck\nUsage: Zarvanto [track file] [opponents]\n"
                          : "Can't open track file\n";
    case loadNotTrackFile: return "Invalid track file\n";
    case loadTooClose:
      return "Track waypoints can't be closer to each other than " + std::to_string(int(minWaypointDistance)) + "\n";
    case loadCrossing: return "The track can't cross itself\n";
    case loadNotClockwise: return "Waypoints must be defined in clockwise order\n";
    default: return "Error: invalid track\n";
  }
}
