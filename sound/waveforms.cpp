// Synthesis of the engine loop and the cues; nothing here touches the sound device.
#include "sound/waveforms.h"

#include <cmath>
#include <iterator>

constexpr int engineCycle = 300;  // samples in one engine cycle: a 73.5 Hz idle note
constexpr int engineCycles = 8;   // cycles in the loop, each alike
constexpr float engineHarmonics[] = {1.0f, 0.55f, 0.4f, 0.3f, 0.2f, 0.12f};  // fundamental first
constexpr float crashSeconds = 0.7f;
constexpr float crashThudStart = 90.0f;                  // Hz, falling to a third by the end
constexpr float chimeSeconds = 0.3f;                     // each chime note rings this long
constexpr float waypointNote = 1320.0f;                  // Hz
constexpr float lapNotes[] = {660.0f, 880.0f, 1320.0f};  // Hz, one after another
constexpr float lapNoteGap = 0.1f;                       // seconds between the lap's notes
constexpr float peak = 0.8f * 32767.0f;                  // headroom below full scale
constexpr double twoPi = 6.283185307179586;

static int16_t sample(double value) { return int16_t(std::lround(std::fmax(-1.0, std::fmin(1.0, value)) * peak)); }

std::vector<int16_t> engineLoop() {
  float sum = 0.0f;
  for (float a : engineHarmonics) sum += a;
  std::vector<int16_t> samples(engineCycle * engineCycles);
  for (size_t i = 0; i < samples.size(); i++) {
    double phase = twoPi * double(i % engineCycle) / engineCycle, value = 0.0;
    for (int k = 0; k < int(std::size(engineHarmonics)); k++)
      value += engineHarmonics[k] * std::sin((k + 1) * phase + 0.7 * k);  // offset phases: rougher, less buzz
    samples[i] = sample(value / sum);
  }
  return samples;
}

std::vector<int16_t> crashCue() {
  std::vector<int16_t> samples(size_t(crashSeconds * soundRate));
  uint32_t noise = 12345;  // its own generator: the game's random sequence must not move
  double thudPhase = 0.0;
  for (size_t i = 0; i < samples.size(); i++) {
    double t = double(i) / soundRate, left = 1.0 - t / crashSeconds;
    noise = noise * 1664525u + 1013904223u;
    double hiss = double(noise >> 8) / double(1u << 23) - 1.0;
    thudPhase += twoPi * crashThudStart * (1.0 - 0.67 * t / crashSeconds) / soundRate;
    samples[i] = sample((0.6 * hiss * left * left + 0.5 * std::sin(thudPhase) * left) * std::fmin(1.0, t * 200.0));
  }
  return samples;
}

// Adds one struck note, starting at `start` seconds, to the samples.
static void strike(std::vector<int16_t>* samples, float start, float hz) {
  size_t first = size_t(start * soundRate), count = size_t(chimeSeconds * soundRate);
  for (size_t i = 0; i < count && first + i < samples->size(); i++) {
    double t = double(i) / soundRate, ring = std::exp(-t * 12.0);
    double value = ring * (0.6 * std::sin(twoPi * hz * t) + 0.2 * std::sin(twoPi * 2.0 * hz * t));
    (*samples)[first + i] = sample((*samples)[first + i] / peak + value);
  }
}

std::vector<int16_t> waypointCue() {
  std::vector<int16_t> samples(size_t(chimeSeconds * soundRate));
  strike(&samples, 0.0f, waypointNote);
  return samples;
}

std::vector<int16_t> lapCue() {
  std::vector<int16_t> samples(size_t((lapNoteGap * (std::size(lapNotes) - 1) + chimeSeconds) * soundRate));
  for (size_t n = 0; n < std::size(lapNotes); n++) strike(&samples, lapNoteGap * n, lapNotes[n]);
  return samples;
}
