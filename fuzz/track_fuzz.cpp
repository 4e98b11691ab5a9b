// libFuzzer target: every input is a track file. The game loads it, and so does the track
// checker, which then writes its text and JSON reports and draws its map; both must give the
// same verdict. A track that loads must have a finite mesh, and the questions the cars and the
// camera ask of it must have finite answers wherever they are asked.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/check_report.h"
#include "tools/track_check.h"
#include "tools/track_map.h"
#include "track/track.h"
#include "track/triangle.h"

namespace {

void expectFinite(float value) {
  if (!std::isfinite(value)) std::abort();
}

void expectFinite(Vec3 p) {
  expectFinite(p.x);
  expectFinite(p.y);
  expectFinite(p.z);
}

// What a car standing at (x, z) asks: the triangle under it and the height there.
void askAt(const TTrack& track, float x, float z) {
  const TTriangle* under = track.findTriangle(x, 0.0f, z);
  if (under == nullptr) std::abort();
  expectFinite(under->heightAt(x, 0.0f, z));
  expectFinite(under->slopeAngle);
}

void checkLoadedTrack(const TTrack& track) {
  if (track.triangleCount < 1 || track.title == nullptr) std::abort();
  for (int32_t i = 0; i < track.triangleCount; i++) {
    const TTriangle& t = *track.triangles[i];
    expectFinite(t.vertexA);
    expectFinite(t.vertexB);
    expectFinite(t.vertexC);
    expectFinite(t.slopeAngle);
    expectFinite(t.slopeDirection);
    for (float c : t.colour) expectFinite(c);
  }
  expectFinite(track.length());
  // On every waypoint and half way along every leg, where the cars drive, then at the centre
  // and past the border on both sides, where the camera may look from.
  for (int32_t i = 0; i < track.waypointCount; i++) {
    Vec3 p = track.waypoints[i], q = track.waypoints[i + 1];
    askAt(track, p.x, p.z);
    askAt(track, p.x + 0.5f * (q.x - p.x), p.z + 0.5f * (q.z - p.z));
  }
  float m = float(track.margin) * 2.0f + 1.0f;
  askAt(track, track.centre.x, track.centre.z);
  askAt(track, track.minCorner.x - m, track.minCorner.z - m);
  askAt(track, track.maxCorner.x + m, track.maxCorner.z + m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  TTrack game;
  int8_t result = game.loadText(text, size);
  if (result == loadOk) checkLoadedTrack(game);
  // The checker asks for the details of the same load; its verdict must be the game's.
  std::vector<TTrackCheck> checks;
  checks.push_back(checkTrackText("input", std::string(text, size)));
  const TTrackCheck& check = checks.back();
  if (check.result != result || (result == loadOk) != (check.detail.fault == faultNone)) std::abort();
  if (checkText(check).empty() || checksJson(checks).empty() || trackMapSvg(check).empty()) std::abort();
  return 0;
}
