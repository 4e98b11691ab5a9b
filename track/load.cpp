// Reading a track file and the three track rules.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "track/segment_pairs.h"
#include "track/track.h"

namespace {

// The whole file, or false when it can't be read (a directory opens but does not read).
bool readFile(const char* fileName, std::vector<char>* bytes) {
  std::FILE* file = std::fopen(fileName, "r");
  if (file == nullptr) return false;
  char chunk[BUFSIZ];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return !failed;
}

// The next line from *pos, without its LF or CR LF end; false when the file ends first.
bool nextLine(std::string_view bytes, size_t* pos, std::string* line) {
  // An empty file has no storage at all, and memchr may not be handed a null pointer even to
  // search nothing.
  if (*pos >= bytes.size()) return false;
  const char* begin = bytes.data() + *pos;
  const char* end = static_cast<const char*>(std::memchr(begin, '\n', bytes.size() - *pos));
  if (end == nullptr) return false;
  *pos = size_t(end - bytes.data()) + 1;
  if (end > begin && end[-1] == '\r') end--;
  line->assign(begin, end);
  return true;
}

// White space as the number scanner skips it.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A whole token read as a float; false unless all of it is one number. "nan" and "inf" are not
// numbers of a track; a number too large for a float comes back infinite, for the range check.
bool parseNumber(const std::string& token, float* value) {
  char* end = nullptr;
  errno = 0;
  float v = std::strtof(token.c_str(), &end);
  if (end != token.c_str() + token.size() || std::isnan(v)) return false;
  if (std::isinf(v) && errno != ERANGE) return false;
  *value = v;
  return true;
}

bool inTrackRange(Vec3 p) {
  return std::fabs(p.x) <= maxTrackCoordinate && std::fabs(p.y) <= maxTrackCoordinate &&
         std::fabs(p.z) <= maxTrackCoordinate;
}

}  // namespace

int8_t TTrack::load(const char* fileName, TLoadDetail* detail, bool meshing) {
  std::vector<char> bytes;
  if (!readFile(fileName, &bytes)) {
    if (detail != nullptr) {
      detail->fault = faultCantOpen;
      detail->line = 0;
    }
    return loadCantOpen;
  }
  return loadText(bytes.data(), bytes.size(), detail, meshing);
}

int8_t TTrack::loadText(const char* text, size_t size, TLoadDetail* detail, bool meshing) {
  auto refuse = [detail](int8_t result, TLoadFault fault, int32_t line) {
    if (detail != nullptr) {
      detail->fault = fault;
      detail->line = line;
    }
    return result;
  };
  std::string_view bytes(text, size);
  size_t pos = 0;
  std::string line;
  bool haveLine = nextLine(bytes, &pos, &line);
  if (!haveLine || line != "#Track") {
    // What stands there instead, cut to a title's length: the file may be anything.
    if (detail != nullptr) {
      if (!haveLine) line.assign(bytes.begin(), bytes.end());
      detail->token = line.substr(0, size_t(maxTitleLength));
    }
    return refuse(loadNotTrackFile, faultHeader, 1);
  }

  std::free(waypoints);
  waypoints = nullptr;
  waypointCount = 0;

  if (!nextLine(bytes, &pos, &line)) return refuse(loadNotTrackFile, faultTitleUnterminated, 2);
  if (line.size() > size_t(maxTitleLength)) return refuse(loadNotTrackFile, faultTitleTooLong, 2);
  std::free(title);
  size_t titleLength = std::strlen(line.c_str());  // a NUL byte ends the title as it ends any text
  title = static_cast<char*>(std::malloc(titleLength + 1));
  std::memcpy(title, line.c_str(), titleLength + 1);

  // The three values keep their contents from one waypoint to the next, and the north value is
  // negated in place, so a final group of one or two numbers borrows the rest from the waypoint
  // before it.
  float values[] = {0.0f, 0.0f, 0.0f};
  int matched = 0;
  int32_t capacity = 0;
  std::string token;
  int32_t lineNumber = 3;    // the line the scan is on; waypoints start after the title
  int32_t waypointLine = 3;  // the line of the current waypoint's first number
  auto addWaypoint = [&]() -> int8_t {
    values[1] = -values[1];
    Vec3 p = {values[0], values[2], values[1]};
    matched = 0;
    if (detail != nullptr) detail->refused = p;
    if (!inTrackRange(p)) return refuse(loadInvalid, faultOutOfRange, waypointLine);
    if (!isFarFromWaypoints(p, detail != nullptr ? &detail->waypoint : nullptr))
      return refuse(loadTooClose, faultTooClose, waypointLine);
    bool first = waypointCount == 0;
    if (first || p.x < minCorner.x) minCorner.x = p.x;
    if (first || p.y < minCorner.y) minCorner.y = p.y;
    if (first || p.z < minCorner.z) minCorner.z = p.z;
    if (first || p.x > maxCorner.x) maxCorner.x = p.x;
    if (first || p.y > maxCorner.y) maxCorner.y = p.y;
    if (first || p.z > maxCorner.z) maxCorner.z = p.z;
    if (waypointCount + 2 > capacity) {
      capacity = capacity < 16 ? 16 : capacity * 2;
      waypoints = static_cast<Vec3*>(std::realloc(waypoints, sizeof(Vec3) * size_t(capacity)));
    }
    waypoints[waypointCount++] = p;
    // The closing copy follows the waypoints read so far, so even a track refused part-way
    // through is a closed loop for whoever shows where it went wrong.
    waypoints[waypointCount] = waypoints[0];
    if (detail != nullptr) detail->waypointLines.push_back(waypointLine);
    return loadOk;
  };

  while (pos < bytes.size()) {
    if (isBlank(bytes[pos])) {
      if (bytes[pos] == '\n') lineNumber++;
      pos++;
      continue;
    }
    size_t start = pos;
    while (pos < bytes.size() && !isBlank(bytes[pos])) pos++;
    token.assign(bytes.data() + start, pos - start);
    if (matched == 0) waypointLine = lineNumber;
    if (!parseNumber(token, &values[matched])) {
      if (detail != nullptr) detail->token = token;
      return refuse(loadTooClose, faultNotANumber, lineNumber);
    }
    if (++matched == 3) {
      int8_t result = addWaypoint();
      if (result != loadOk) return result;
    }
  }
  if (matched > 0) {
    if (detail != nullptr) detail->finalGroupNumbers = matched;
    int8_t result = addWaypoint();
    if (result != loadOk) return result;
  }
  if (waypointCount == 0) return refuse(loadNotTrackFile, faultNoWaypoints, 2);

  centre = {(minCorner.x + maxCorner.x) * 0.5f, (minCorner.y + maxCorner.y) * 0.5f, (minCorner.z + maxCorner.z) * 0.5f};
  margin = int32_t(maxFloat(maxCorner.x - minCorner.x, maxCorner.z - minCorner.z) * 0.5f);

  // These faults lie between waypoints, whose lines the detail already holds.
  if (!hasDistinctConsecutivePlanPositions(detail != nullptr ? &detail->waypoint : nullptr))
    return refuse(loadInvalid, faultSamePlanPosition, 0);
  if (!passesCrossingRule(detail != nullptr ? &detail->crossing : nullptr))
    return refuse(loadCrossing, faultCrossing, 0);
  if (!passesClockwiseRule(detail != nullptr ? &detail->turnSum : nullptr))
    return refuse(loadNotClockwise, faultNotClockwise, 0);
  if (meshing) buildMesh();
  return loadOk;
}

// Through the hash of the waypoints read so far, which takes in new ones as the count grows.
bool TTrack::isFarFromWaypoints(Vec3 point, int32_t* nearWaypoint) const {
  static_assert(waypointCellSize >= minWaypointDistance, "cells must be as wide as the distance rule reaches");
  waypointHash.update(waypoints, waypointCount);
  int32_t near = waypointHash.firstTooClose(waypoints, point, minWaypointDistance);
  if (near < 0) return true;
  if (nearWaypoint != nullptr) *nearWaypoint = near;
  return false;
}

// A turn at a waypoint that repeats its neighbour's plan position has no angle.
bool TTrack::hasDistinctConsecutivePlanPositions(int32_t* firstOfPair) const {
  for (int32_t i = 0; i < waypointCount; i++)
    if (waypoints[i].x == waypoints[i + 1].x && waypoints[i].z == waypoints[i + 1].z) {
      if (firstOfPair != nullptr) *firstOfPair = i;
      return false;
    }
  return true;
}

// In plan only, so a bridge counts as a crossing; touching ends and parallel overlaps do not.
// Only the pairs that may cross are tested, in the order of a scan over all pairs, so the first
// crossing found is that scan's.
bool TTrack::passesCrossingRule(TCrossing* crossing) const {
  for (auto [i, j] : segmentPairsThatMayCross(waypoints, waypointCount)) {
    Vec2 a = planDelta(waypoints[i], waypoints[i + 1]);
    Vec2 c = planDelta(waypoints[i], waypoints[j]);
    Vec2 b = planDelta(waypoints[j], waypoints[j + 1]);
    float u, v;
    if (intersectLines(c, a, b, &u, &v) && inUnitRange(u, false) && inUnitRange(v, false)) {
      if (crossing != nullptr) *crossing = {i, j, u};
      return false;
    }
  }
  return true;
}

// Right turns count positive; the sum of the arcsines of the turns' sines decides, not the
// loop's true total turning.
bool TTrack::passesClockwiseRule(float* turnSum) const {
  int32_t n = waypointCount;
  float sum = turnAngle(waypoints[n - 1], waypoints[0], waypoints[0], waypoints[1]);
  for (int32_t i = 1; i < n; i++) sum += turnAngle(waypoints[i - 1], waypoints[i], waypoints[i], waypoints[i + 1]);
  if (turnSum != nullptr) *turnSum = sum;
  return sum > 0.0f;
}
