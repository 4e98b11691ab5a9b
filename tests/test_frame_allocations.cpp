// The running game allocates nothing: thousands of simulation steps and frames, with every
// camera, overlay and drawing mode, the player steering over the hills and the sound following
// every car (on the wave writer that the test's environment names), without one call to the heap. Counted by
// replacing operator new for the whole program and wrapping malloc, calloc and realloc for the
// game's own code (the tests link with --wrap for them), on the game's thread only: Mesa's
// helper threads are not the game.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>

#include "app/clock.h"
#include "app/game.h"
#include "camera/camera.h"
#include "cars/opponent.h"
#include "cars/player.h"
#include "render/render.h"
#include "sound/sound.h"
#include "test_tracks.h"

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void countAllocation() {
  if (counting) allocations++;
}

}  // namespace

// Every form of new and delete is replaced, so that all of them meet on malloc and free: a
// library that news in one form and deletes in another still pairs them up.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  countAllocation();
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  countAllocation();
  std::size_t a = std::size_t(align);
  return std::aligned_alloc(a, (size + a - 1) / a * a);
}
void* operator new(std::size_t size) {
  if (void* p = operator new(size, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align) {
  if (void* p = operator new(size, align, std::nothrow)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return operator new(size, std::nothrow); }
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return operator new(size, align, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __wrap_malloc(std::size_t size) {
  countAllocation();
  return __real_malloc(size);
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  countAllocation();
  return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, std::size_t size) {
  countAllocation();
  return __real_realloc(p, size);
}
}

namespace {

constexpr int steps = 4000;  // about a minute of play at 60 frames a second
constexpr int64_t stepMilliseconds = 16;
constexpr float stepSeconds = 0.016f;
constexpr int stepsPerFrame = 4;     // draws a quarter of the steps, to keep the test quick
constexpr int stepsPerChange = 250;  // how often the view, the overlays or the steering change

class FrameAllocations : public TrackTest {
 protected:
  void SetUp() override {
    std::string hills = std::string(ZARVANTO_TRACKS_DIR) + "/Hills.tck";
    track = new TTrack();
    ASSERT_EQ(track->load(hills.c_str()), loadOk);
    carCount = maxCars;
    cars = new TCar*[carCount]();
    createRace();
    openSound(false);
    applySoundState(stateRunning);
    reshape(500, 400);
    holdGameClock(1000);
    lapStartTime = gameClock();
  }
  void TearDown() override {
    closeSound();
    releaseRace();
    holdGameClock(-1);
    displayFlags = showHeadUp | showOverview | drawSolid;
    TrackTest::TearDown();
  }

  // One stretch of play: what the idle step does (every car, then the camera), now and then a
  // frame, and a change of what is shown. The idle step itself would also wait out the frame
  // period, which only makes the test slow.
  void play(int count, int64_t* clock) {
    for (int i = 0; i < count; i++) {
      *clock += stepMilliseconds;
      holdGameClock(*clock);
      for (int32_t car = 0; car < carCount; car++) cars[car]->update(stepSeconds);
      camera->update(stepSeconds);
      updateSound(stepSeconds);
      if (i % stepsPerFrame == 0) display();
      if (i % stepsPerChange == 0) change(i / stepsPerChange);
    }
  }

  static void change(int n) {
    camera->setMode(uint8_t(n % 4));
    camera->setCar(cars[n % carCount]);
    displayFlags = uint8_t(n % 16);
    player->turnRate = float(n % 3 - 1) * 0.3f;
    if (n % 5 == 0) player->changeSpeed(1);
  }
};

TEST_F(FrameAllocations, StepsAndFramesAllocateNothing) {
  int64_t clock = 1000;
  player->changeSpeed(1);
  // Everything shown once before counting, so Mesa builds its programs for each state first.
  play(16 * stepsPerChange, &clock);
  counting = true;
  play(steps, &clock);
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(player->speed, 0.0f);
}

}  // namespace
