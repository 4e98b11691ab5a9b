// Frames in a real OpenGL context: the track drawn with what lies outside the view left out looks
// exactly as the track drawn whole, and the running game allocates nothing, its sound included (on
// the wave writer that the test's environment names, when it does). Allocations are
// counted by replacing operator new for the whole program and wrapping malloc, calloc and realloc
// for the game's own code (the tests link with --wrap for them), on the game's thread only: Mesa's
// helper threads are not the game.
#define GL_GLEXT_PROTOTYPES  // glWindowPos2f
#include <AL/al.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "app/game.h"
#include "bench/reference/generated_track.h"
#include "bench/reference/plain_draw.h"
#include "camera/camera.h"
#include "cars/player.h"
#include "contest/contest.h"
#include "geometry/random.h"
#include "render/glyphs.h"
#include "render/offscreen.h"
#include "render/render.h"
#include "render/text.h"
#include "render/track_draw.h"
#include "rivals/rival.h"
#include "sound/sound.h"
#include "tests/test_support.h"
#include "track/track.h"
#include "trial/time_trial.h"

namespace {

thread_local bool counting = false;
thread_local long allocations = 0;

void* counted(void* p) {
  if (counting) allocations++;
  return p;
}

}  // namespace

// Every form of new and delete is replaced, so that all of them meet on malloc and free: a library
// that news in one form and deletes in another (Mesa does) still pairs them up, also under the
// address sanitizer, which would otherwise pair each form with its own. GCC takes the free in a
// replaced delete for a mismatch with new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(std::malloc(size ? size : 1)); }
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  std::size_t a = std::size_t(align);
  return counted(std::aligned_alloc(a, (size + a - 1) / a * a));
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
void* __wrap_malloc(std::size_t size) { return counted(__real_malloc(size)); }
void* __wrap_calloc(std::size_t count, std::size_t size) { return counted(__real_calloc(count, size)); }
void* __wrap_realloc(void* p, std::size_t size) { return counted(__real_realloc(p, size)); }
}

namespace {

constexpr int width = 300, height = 240;  // the game's 5:4 shape in the tests' window
constexpr int tolerance = 2;              // per channel: Mesa may round a colour either way

// The colours of the window's last frame, from the bottom row up.
std::vector<uint8_t> windowPixels() {
  std::vector<uint8_t> pixels(size_t(windowWidth) * size_t(windowHeight) * 3);
  glReadBuffer(GL_BACK);  // Mesa's software renderer keeps the frame there through the swap
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// Compares the window's last frame with the stored picture name, as the player would see it. A
// picture that differs is kept in e2e-failures/ of the folder the tests run in, with a map of
// where it differs; with ZARVANTO_NEW_PICTURES=1 it replaces the stored one instead.
void expectPicture(const std::string& name) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.format = PNG_FORMAT_RGB;
  image.width = uint32_t(windowWidth);
  image.height = uint32_t(windowHeight);
  size_t size = PNG_IMAGE_SIZE(image), row = PNG_IMAGE_ROW_STRIDE(image);
  std::vector<uint8_t> shown = windowPixels(), stored(size);
  std::string path = std::string(ZARVANTO_PICTURES) + "/" + name + ".png";
  // OpenGL reads from the bottom row up, which a negative stride tells the PNG.
  auto write = [&](const std::string& file, const std::vector<uint8_t>& pixels) {
    png_image_write_to_file(&image, file.c_str(), 0, pixels.data(), -png_int_32(row), nullptr);
  };
  if (const char* renew = std::getenv("ZARVANTO_NEW_PICTURES"); renew != nullptr && *renew == '1') write(path, shown);
  png_image read{};
  read.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&read, path.c_str())) << path;
  read.format = PNG_FORMAT_RGB;
  ASSERT_EQ(read.width * read.height, image.width * image.height) << path;
  ASSERT_TRUE(png_image_finish_read(&read, nullptr, stored.data(), -png_int_32(row), nullptr)) << path;
  int differing = 0;
  std::vector<uint8_t> difference(size);
  for (size_t i = 0; i < size; i += 3)
    if (std::abs(shown[i] - stored[i]) > tolerance || std::abs(shown[i + 1] - stored[i + 1]) > tolerance ||
        std::abs(shown[i + 2] - stored[i + 2]) > tolerance) {
      differing++;
      difference[i] = difference[i + 1] = difference[i + 2] = 255;
    }
  if (differing > 0) {
    mkdir("e2e-failures", 0755);
    write("e2e-failures/" + name + ".png", shown);
    write("e2e-failures/" + name + "-difference.png", difference);
  }
  EXPECT_EQ(differing, 0) << "pixels differ from " << path
                          << "; what was shown and where it differs are in e2e-failures/";
}

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    reshape(width, height);  // the game's projection: 45 degrees, near 1, far 800
    glEnable(GL_DEPTH_TEST);
    displayFlags = showHeadUp | showOverview | drawSolid;
  }
  void TearDown() override {
    delete track;
    track = nullptr;
    displayFlags = showHeadUp | showOverview | drawSolid;
  }
  void load(const std::string& text) {
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->loadText(text.data(), text.size()), loadOk);
  }
  void loadShipped(const char* name) {
    delete track;
    track = new TTrack();
    ASSERT_EQ(track->load((std::string(ZARVANTO_TRACKS_DIR) + "/" + name).c_str()), loadOk);
  }

  // Colour and depth of the track drawn from eye towards at, culled or whole.
  std::vector<uint8_t> picture(Vec3 eye, Vec3 at, bool culled) {
    glClearColor(0.6f, 0.8f, 0.8f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, at.x, at.y, at.z, double(at.x) - eye.x, double(at.y) - eye.y + 1.0,
              double(at.z) - eye.z);
    if (culled)
      track->draw();
    else if (displayFlags & drawSolid)
      plainDrawSolid(*track);
    else
      plainDrawWireframe(*track);
    std::vector<uint8_t> pixels(size_t(width) * height * 7);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, pixels.data() + width * height * 3);
    return pixels;
  }

  // From along the road at every k-th waypoint (a car's eye, a chase camera's, skimming the road
  // so triangles cross the near plane, across the road's edge, from under the ground), then from
  // high above, with the far plane cutting the ground, and from beyond the border.
  void expectCulledLooksWhole(int32_t every) {
    std::vector<std::pair<Vec3, Vec3>> views;
    for (int32_t i = 0; i < track->waypointCount; i += every) {
      Vec3 p = track->waypoints[i], q = track->waypoints[i + 1];
      float length = std::hypot(q.x - p.x, q.z - p.z), dx = (q.x - p.x) / length, dz = (q.z - p.z) / length;
      views.insert(views.end(), {{{p.x, p.y + 1.5f, p.z}, {q.x, q.y + 1.5f, q.z}},
                                 {{p.x - 12 * dx, p.y + 6, p.z - 12 * dz}, p},
                                 {{p.x, p.y + 0.4f, p.z}, {p.x + 10 * dx, p.y - 0.5f, p.z + 10 * dz}},
                                 {{p.x - 6 * dz, p.y + 2, p.z + 6 * dx}, {p.x + 40 * dz, p.y, p.z - 40 * dx}},
                                 {{p.x, p.y - 3, p.z}, {q.x, q.y + 20, q.z}}});
    }
    Vec3 c = track->centre, lo = track->minCorner;
    float m = float(track->margin);
    views.insert(views.end(), {{{c.x, c.y + 300, c.z + 1}, c},
                               {{c.x, c.y + 700, c.z - 300}, c},
                               {{c.x, c.y + 120, c.z}, {c.x + 600, c.y, c.z + 100}},
                               {{lo.x - m - 20, 5, lo.z - m - 20}, c},
                               {{lo.x - m + 5, 3, c.z}, {lo.x - m - 100, 0, c.z + 30}}});
    for (auto [eye, at] : views) {
      SCOPED_TRACE(testing::Message() << "from " << eye.x << " " << eye.y << " " << eye.z << " to " << at.x << " "
                                      << at.y << " " << at.z);
      ASSERT_TRUE(picture(eye, at, false) == picture(eye, at, true));
      if (displayFlags & drawSolid) drawn += trackDrawing.trianglesDrawn;
    }
  }
  int64_t drawn = 0;  // triangles the culled solid views drew, all told
};

// Text cut from the glyph texture covers the pixels GLUT's bitmap characters cover, for every
// code of both fonts, bytes above 127 among them, from raster positions on a pixel's border, a
// hair short of it and between, continued from one string to the next.
TEST_F(Frame, GlyphTextLooksAsGlutsBitmapCharacters) {
  // Drawn aside in a framebuffer, which the GL offers through its core, or at 2.1 through either
  // extension; with none, in the window, which has no room while smaller than a glyph's cell: the
  // frame tests run once more at each, this test first (CMakeLists.txt).
  const char* removed = std::getenv("MESA_EXTENSION_OVERRIDE");
  bool framebuffers = removed == nullptr || std::strstr(removed, "-GL_EXT_framebuffer_object") == nullptr;
  TOffscreen offscreen;
  EXPECT_EQ(beginOffscreen(8, 8, &offscreen), framebuffers);
  endOffscreen(&offscreen);
  auto resizeWindow = [](int w, int h) {
    for (glutReshapeWindow(w, h); glutGet(GLUT_WINDOW_WIDTH) != w || glutGet(GLUT_WINDOW_HEIGHT) != h;)
      glutMainLoopEvent();
  };
  resizeWindow(8, 8);
  EXPECT_EQ(makeGlyphs(), framebuffers);
  resizeWindow(500, 400);
  reshape(500, 400);
  ASSERT_TRUE(makeGlyphs());
  auto shown = [](void* font, float fraction, bool glyphs) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.8f, 0.4f, 0.8f);
    for (int code = 1; code < 256; code += 8) {
      if (code % 32 == 1) glWindowPos2f(3.0f + fraction, 385.0f - float(code / 32 * 46) - fraction);
      char text[9] = {};
      for (int i = 0; i < 8; i++) text[i] = char(code + i);
      if (glyphs)
        drawString(text, font);
      else
        for (char c : std::string(text)) glutBitmapCharacter(font, int(static_cast<signed char>(c)));
    }
    flushText();
    return windowPixels();
  };
  std::vector<uint8_t> glyphs = shown(GLUT_BITMAP_HELVETICA_10, 0.0f, true);
  EXPECT_GT(std::count(glyphs.begin(), glyphs.end(), 102), 1000);  // the text's green is drawn
  for (void* font : {GLUT_BITMAP_HELVETICA_10, GLUT_BITMAP_HELVETICA_18})
    for (float fraction : {0.0f, 0.5f, 0.9999f, 0.99995f}) {
      SCOPED_TRACE(fraction);
      EXPECT_TRUE(shown(font, fraction, true) == shown(font, fraction, false));
    }
}

TEST_F(Frame, CulledTrackLooksAsTheWholeTrackSolidAndWireframe) {
  for (bool solid : {true, false}) {
    displayFlags = solid ? drawSolid : 0;
    for (const char* name : {"Default.tck", "Hills.tck"}) {
      SCOPED_TRACE(name);
      loadShipped(name);
      expectCulledLooksWhole(3);
    }
    // Coordinates in the tens of thousands, most of the mesh beyond the far plane, and ground
    // triangles long enough to cross the whole view.
    load(trackFileText(generatedWaypoints(10000, 2024)));
    expectCulledLooksWhole(997);
  }
  // Near the largest coordinates a track may have, where OpenGL's float transform rounds most.
  displayFlags = drawSolid;
  loadShipped("Hills.tck");
  std::string far = "#Track\nFar\n";
  for (int32_t i = 0; i < track->waypointCount; i++) {
    Vec3 p = track->waypoints[i];
    far += std::to_string(p.x + 990000.0f) + " " + std::to_string(-p.z - 990000.0f) + " " + std::to_string(p.y) + "\n";
  }
  load(far);
  expectCulledLooksWhole(4);
  // As few as the margins, which cover OpenGL's rounding, leave: wider ones draw more than this.
  EXPECT_EQ(drawn, 28024);
  // What the view cannot bound, a camera matrix with no inverse, it draws whole.
  glLoadIdentity();
  glScalef(1.0f, 0.0f, 1.0f);
  track->draw();
  EXPECT_EQ(trackDrawing.trianglesDrawn, track->triangleCount);
}

// A race of three opponents up the shipped hills from each camera, and from behind the first
// opponent, once every car and the camera have moved for three seconds of steps of a fixed length;
// the ghost beside the player on the level shipped track.
// The helicopter's view is in wireframe and the track camera's has the help text over it; the camera
// keeps its eye above solid ground only, so each view's drawing mode holds from the start.
TEST_F(Frame, EveryViewOfARaceLooksAsItsStoredPicture) {
  reshape(500, 400);
  carCount = 4;
  cars = new TCar*[carCount]();
  holdGameClock(100000);                         // a waypoint's message shows in every picture or in none
  std::strcpy(messageText, "Waypoint reached");  // shown over the opponent's view only
  lastLapTime = 0.0f;
  bestLapTime = std::numeric_limits<float>::max();
  const char* names[] = {"cockpit", "behind", "helicopter", "track", "opponent", "ghost"};
  for (uint8_t view : {0, 1, 2, 3, 4, 5}) {
    setGameRandState(1);  // as the game starts: the track's ground shades first, then the opponents
    loadShipped(view == 5 ? "Default.tck" : "Hills.tck");
    displayFlags = showHeadUp | showOverview | (view == 2 ? 0 : drawSolid) | (view == 3 ? showHelp : 0);
    createRace();
    player->changeSpeed(view == 0 ? 0 : 1);  // the cockpit's car standing on the grid, as a race starts
    camera->setMode(view >= 4 ? uint8_t(cameraBehind) : view);
    if (view == 4) camera->setCar(cars[1]);
    lastFrameTime = 0.0f;
    for (int i = 0; i < 180; i++) {
      holdGameClock(100000 + i * 50 / 3);
      stepRace();
    }
    // A kept record and a friend's lap, a medal just won, a split ahead, the ghost just chosen,
    // and the record's ghost a few lengths ahead, a little to the side, turning; over the cockpit,
    // a record just set. From the other views the message is gone just as its 1.5 seconds are up.
    messageTime = view == 4 ? 102.5f : gameClock() - 1.5f;
    recordKept = view == 0 || view == 5;
    ghostPlaced = friendKept = view == 5;
    recordLapTime = 83.0f;
    friendLapTime = 85.5f;
    medalHeld = medalSilver;
    medalWonTime = splitTime = ghostChoiceTime = view == 5 ? 102.5f : -1.0f;
    newRecordTime = view == 5 ? 90.0f : (view == 0 ? 102.0f : -1.0f);  // at 90, a record like any other
    splitGap = -0.42f;
    float ahead = 14.0f, aside = 2.5f, s = std::sin(player->heading), c = std::cos(player->heading);
    Vec3 at = player->position;
    ghostPose = {3.0f, {at.x + ahead * s + aside * c, at.y, at.z + ahead * c - aside * s}, player->heading + 0.3f};
    pauseState = stateRunning;
    display();
    expectPicture(names[view]);
    if (view == 0) {  // a standing car's cockpit, a view of no length, looks along its angles on a slope too
      camera->viewYaw = 0.5f, camera->viewPitch = 0.3f;
      glMatrixMode(GL_MODELVIEW);
      glLoadIdentity();
      camera->apply();
      GLfloat m[16];
      glGetFloatv(GL_MODELVIEW_MATRIX, m);
      expectNear({-m[2], -m[6], -m[10]},
                 {std::sin(0.5f) * std::cos(0.3f), std::sin(0.3f), std::cos(0.5f) * std::cos(0.3f)}, 1e-5f);
    }
    pauseState = statePaused;
    for (int32_t i = 0; i < carCount; i++) delete cars[i];
    delete camera;
    camera = nullptr;
  }
  recordKept = ghostPlaced = friendKept = false;
  medalWonTime = splitTime = ghostChoiceTime = newRecordTime = -1.0f;
  delete[] cars;
  holdGameClock(-1);
}

// A race in a window taller than wide, with the overview. Its countdown early in a game: the
// middle number over the grid and nothing else of the head-up display's news. Then just after
// go, with a waypoint missed: "go", the gap to the car ahead and the missed waypoint's message.
// Then the race finished: over the grid, on their own panel, the player's place, a line per car
// in order with its race time and best lap, a car still racing with its lap, and the keys.
TEST_F(Frame, AFinishedRaceShowsItsResults) {
  setGameRandState(1);
  loadShipped("Default.tck");
  reshape(300, 400);  // a window taller than wide, where the overview's width sets its scale
  carCount = 4;
  cars = new TCar*[carCount]();
  raceLaps = 2;
  raceLevel = levelEasy;
  holdGameClock(100000);
  displayFlags = showHeadUp | showOverview | drawSolid;
  createRace();
  contestPhase = phaseCountdown;
  countdownTime = 1.5f;                     // the count's middle number
  holdGameClock(500), messageTime = -2.0f;  // so early in the game that nothing else has been shown
  pauseState = stateRunning;
  display();
  expectPicture("countdown");
  contestPhase = phaseRacing, raceTime = 0.5f, missedWaypoint = 2;  // "go" still up, and a waypoint missed
  display();
  expectPicture("racing");
  holdGameClock(100000);
  const float finish[] = {61.5f, 58.25f, 63.0f, 0.0f};  // the player second; yellow still racing
  for (int32_t i = 0; i < carCount; i++) {
    standings[i].finished = finish[i] > 0.0f;
    standings[i].finishTime = finish[i];
    standings[i].laps = finish[i] > 0.0f ? 2 : 1;
    standings[i].bestLap = 29.0f + float(i);
    raceOrder[i] = i < 2 ? 1 - i : i;
  }
  contestPhase = phaseFinished;
  display();
  expectPicture("results");
  pauseState = statePaused;
  releaseRace();
  raceLaps = 0;
  contestPhase = phaseGrid;
  holdGameClock(-1);
}

// On a track of 10,000 waypoints the frame draws the map's outline from the rectangles of pixels
// it kept of it, as few as its runs of pixels make, and the frame looks exactly as with the
// outline drawn as lines.
TEST_F(Frame, KeptOutlineLooksAsItsLines) {
  load(trackFileText(generatedWaypoints(10000, 2024)));
  reshape(500, 400);
  carCount = 1;
  cars = new TCar*[carCount]();
  createRace();
  auto frame = [] { return display(), windowPixels(); };
  std::vector<uint8_t> kept = frame();
  EXPECT_EQ(trackDrawing.outlineQuads.size() / 8, 318u);  // each run under one of the same span makes it taller
  trackDrawing.outlineQuads.clear();
  EXPECT_TRUE(frame() == kept);
  // Kept for that track as it was: the start moved alone starts it afresh, as does another track.
  track->waypoints[0].z += 1.0f;
  EXPECT_EQ(drawingFor(*track).trianglesDrawn, 0);
  TTrack none;
  EXPECT_EQ(drawingFor(none).track, &none);
  releaseRace();
}

TEST_F(Frame, StepsAndFramesAllocateNothing) {
  loadShipped("Hills.tck");
  carCount = maxCars;
  cars = new TCar*[carCount]();
  createRace();
  openSound(false);
  ALfloat engineGain = 0.0f;  // the player's engine, the first source made, stands at idle before any step
  alGetSourcef(1, AL_GAIN, &engineGain);
  EXPECT_EQ(engineGain, 0.4f);
  openTimeTrial();
  player->changeSpeed(1);
  // Every view, overlay and steering shown once before counting, so Mesa builds its programs for
  // each state first; then the same again, counted.
  for (bool count : {false, true}) {
    counting = count;
    for (int i = 0; i < 4000; i++) {
      holdGameClock(1000 + 16 * i);
      // Laps close now and then, each quicker than the last: every one a new record, whose ghost
      // is taken over and handed to the writer.
      if (i % 1000 == 999) {
        player->waypointIndex = track->waypointCount;
        player->position = track->waypoints[0];
        lapStartTime = gameClock() - (count ? 30.0f : 60.0f) + float(i) * 0.001f;
        pausedTime = 0.0f;
      }
      stepRace();
      if (i % 4 == 0) display();
      if (i % 250 == 0) {
        int n = i / 250;
        applySoundState(uint8_t(n % 3));  // running, paused, crashed in turn
        camera->setMode(uint8_t(n % 4));
        camera->setCar(cars[n % carCount]);
        displayFlags = uint8_t(n % 16);
        player->turnRate = float(n % 3 - 1) * 0.3f;
        if (n % 5 == 0) player->changeSpeed(1);
      }
    }
    counting = false;
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_TRUE(player->speed > 0.0f && recordKept);
  // The first opponent's engine, the second source, sounds where its car stands; a pause holds
  // the engines where they are, to go on from there.
  ALfloat at[3] = {};
  alGetSourcefv(2, AL_POSITION, at);
  expectNear({at[0], at[1], at[2]}, cars[1]->position, 0);
  applySoundState(statePaused);
  ALint engine = AL_STOPPED;
  alGetSourcei(1, AL_SOURCE_STATE, &engine);
  EXPECT_EQ(engine, AL_PAUSED);
  releaseRace();
  holdGameClock(-1);
}

}  // namespace
