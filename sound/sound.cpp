// The sound device and its sources. Only these operations touch OpenAL.
#include "sound/sound.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camera/camera.h"
#include "cars/player.h"
#include "race/state.h"
#include "sound/waveforms.h"

constexpr float ladderTop = 160.0f;         // units per second: the top of the speed ladder
constexpr float topPitch = 3.2f;            // engine note at ladderTop, times the idle note
constexpr float idleGain = 0.4f;            // player's engine loudness at standstill
constexpr float topGain = 0.9f;             // and at ladderTop
constexpr float revSeconds = 0.2f;          // the engine note follows a speed change this fast
constexpr float opponentGain = 1.0f;        // an opponent's engine at referenceDistance
constexpr float opponentDetune = 0.035f;    // pitch step between opponents, so no two drone alike
constexpr float referenceDistance = 10.0f;  // units: nearer than this an engine is heard in full
constexpr float farthestDistance = 600.0f;  // units: beyond this it gets no quieter
constexpr float cueGain = 0.8f;

enum { cueCrash, cueWaypoint, cueLap, cueCount };

bool soundMuted = false;

static ALCdevice* device = nullptr;
static ALCcontext* context = nullptr;
static ALuint engineBuffer = 0;
static ALuint cueBuffers[cueCount] = {};
static ALuint engines[maxCars] = {};      // element i sounds cars[i]
static ALuint cueSources[cueCount] = {};  // each holds its own cue from the start, so playing one allocates nothing
static float playerRevs = 0.0f;           // units per second the player's note stands for, gliding to |speed|
static Vec3 lastEye = {0, 0, 0};          // the eye at the last step, for the listener's own Doppler

// The engine note times its idle pitch: rising with the speed either way, so backing up sounds
// like going forward and passing through standstill has no jump.
static float enginePitch(float revs) { return 1.0f + (topPitch - 1.0f) * revs / ladderTop; }

static void upload(ALuint buffer, const std::vector<int16_t>& samples) {
  alBufferData(buffer, AL_FORMAT_MONO16, samples.data(), ALsizei(samples.size() * sizeof(int16_t)), soundRate);
}

// The listener at the camera's eye, moving at velocity (units per second), and every
// engine as its car stands: the player's note for playerRevs, each opponent's where it is.
static void placeSounds(Vec3 velocity) {
  Vec3 eye = camera->eye, at = camera->lookAt;
  const float orientation[] = {at.x - eye.x, at.y - eye.y, at.z - eye.z, 0.0f, 1.0f, 0.0f};
  alListener3f(AL_POSITION, eye.x, eye.y, eye.z);
  alListener3f(AL_VELOCITY, velocity.x, velocity.y, velocity.z);
  alListenerfv(AL_ORIENTATION, orientation);
  alSourcef(engines[0], AL_PITCH, enginePitch(playerRevs));
  alSourcef(engines[0], AL_GAIN, idleGain + (topGain - idleGain) * playerRevs / ladderTop);
  for (int32_t i = 1; i < carCount; i++) {
    const TCar* car = cars[i];
    alSource3f(engines[i], AL_POSITION, car->position.x, car->position.y, car->position.z);
    alSource3f(engines[i], AL_VELOCITY, car->velocity.x, car->velocity.y, car->velocity.z);
    alSourcef(engines[i], AL_PITCH, enginePitch(std::fabs(car->speed)) * (1.0f + opponentDetune * float(i)));
  }
}

// The race as it stands now is what the next step's sounds are measured from. The engines take
// it at once: started before the first step, they would sound the last race's note, or the
// device's full loudness, for as long as that step takes to come.
static void followRace() {
  playerRevs = 0.0f;
  lastEye = camera->eye;
  placeSounds({0.0f, 0.0f, 0.0f});
}

// OpenAL Soft and ALSA write their own notes to standard error while a device is looked for;
// none of them is for the player, so standard error points nowhere until the search is over.
static void openQuietly() {
  setenv("ALSOFT_LOGLEVEL", "0", 0);  // quiet later too, as on a device lost mid-race, unless asked
  int savedError = dup(STDERR_FILENO);
  int nowhere = open("/dev/null", O_WRONLY);
  if (nowhere >= 0) dup2(nowhere, STDERR_FILENO);
  device = alcOpenDevice(nullptr);
  if (device != nullptr) context = alcCreateContext(device, nullptr);
  if (savedError >= 0) dup2(savedError, STDERR_FILENO);
  if (nowhere >= 0) close(nowhere);
  if (savedError >= 0) close(savedError);
}

void openSound(bool muted) {
  soundMuted = muted;
  openQuietly();
  if (context != nullptr && alcMakeContextCurrent(context)) {
    alGenBuffers(1, &engineBuffer);
    alGenBuffers(cueCount, cueBuffers);
    alGenSources(carCount, engines);
    alGenSources(cueCount, cueSources);
  }
  if (context == nullptr || alGetError() != AL_NO_ERROR) {
    closeSound();
    std::fputs("Sound is off: no sound device could be opened\n", stderr);
    return;
  }
  upload(engineBuffer, engineLoop());
  upload(cueBuffers[cueCrash], crashCue());
  upload(cueBuffers[cueWaypoint], waypointCue());
  upload(cueBuffers[cueLap], lapCue());

  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  for (int32_t i = 0; i < carCount; i++) {
    alSourcei(engines[i], AL_BUFFER, ALint(engineBuffer));
    alSourcei(engines[i], AL_LOOPING, AL_TRUE);
    alSourcef(engines[i], AL_REFERENCE_DISTANCE, referenceDistance);
    alSourcef(engines[i], AL_MAX_DISTANCE, farthestDistance);
    alSourcef(engines[i], AL_GAIN, opponentGain);
  }
  // The player's own engine and the cues are in the player's ears, wherever the camera is.
  alSourcei(engines[0], AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(engines[0], AL_POSITION, 0.0f, 0.0f, 0.0f);
  for (int cue = 0; cue < cueCount; cue++) {
    alSourcei(cueSources[cue], AL_BUFFER, ALint(cueBuffers[cue]));
    alSourcei(cueSources[cue], AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(cueSources[cue], AL_GAIN, cueGain);
  }
  alListenerf(AL_GAIN, muted ? 0.0f : 1.0f);
  followRace();
}

void closeSound() {
  if (context != nullptr && alcGetCurrentContext() == context) {
    alDeleteSources(cueCount, cueSources);
    alDeleteSources(carCount, engines);
    alDeleteBuffers(cueCount, cueBuffers);
    alDeleteBuffers(1, &engineBuffer);
    alcMakeContextCurrent(nullptr);
  }
  if (context != nullptr) alcDestroyContext(context);
  if (device != nullptr) alcCloseDevice(device);
  context = nullptr;
  device = nullptr;
}

static void playCue(int cue) {
  alSourceStopv(cueCount, cueSources);  // one cue at a time: a crash cuts a chime short
  alSourcePlay(cueSources[cue]);
}

void updateSound(float dt) {
  if (context == nullptr) return;
  alcSuspendContext(context);  // the whole step reaches the mixer at once
  Vec3 eye = camera->eye;
  float perSecond = dt > 0.0f ? 1.0f / dt : 0.0f;
  Vec3 velocity = {(eye.x - lastEye.x) * perSecond, (eye.y - lastEye.y) * perSecond, (eye.z - lastEye.z) * perSecond};
  lastEye = eye;
  playerRevs += (std::fabs(player->speed) - playerRevs) * std::fmin(1.0f, dt / revSeconds);
  placeSounds(velocity);
  alcProcessContext(context);
}

void applySoundState(uint8_t runState) {
  if (context == nullptr) return;
  if (runState == stateRunning) {
    alSourcePlayv(carCount, engines);
    for (ALuint cue : cueSources) {
      ALint state = AL_STOPPED;
      alGetSourcei(cue, AL_SOURCE_STATE, &state);
      if (state == AL_PAUSED) alSourcePlay(cue);
    }
  } else if (runState == statePaused) {
    alSourcePausev(carCount, engines);
    alSourcePausev(cueCount, cueSources);
  } else {
    alSourceStopv(carCount, engines);
  }
}

void playRaceEvent(const RaceEvent& event) {
  if (context == nullptr) return;
  switch (event.kind) {
    case eventWaypointReached: playCue(cueWaypoint); break;
    case eventLapCompleted: playCue(cueLap); break;
    case eventCrash: playCue(cueCrash); break;
    case eventCountdown: playCue(event.waypoint == 0 ? cueLap : cueWaypoint); break;
    case eventNewRace:
      alSourceStopv(carCount, engines);
      alSourceStopv(cueCount, cueSources);
      followRace();
      break;
  }
}

void toggleMute() {
  soundMuted = !soundMuted;
  if (context != nullptr) alListenerf(AL_GAIN, soundMuted ? 0.0f : 1.0f);
}
