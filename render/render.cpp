// The frame and its overlays: pause banner, help text, head-up display and track overview; and
// the chooser, drawn as an overlay over the selected track's overview.
#include "render/render.h"

#include <GL/glut.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "camera/camera.h"
#include "cars/player.h"
#include "chooser/chooser.h"
#include "contest/contest.h"
#include "race/clock.h"
#include "race/state.h"
#include "records/record.h"
#include "render/car_draw.h"
#include "render/glyphs.h"
#include "render/offscreen.h"
#include "render/text.h"
#include "render/track_draw.h"
#include "rivals/rival.h"
#include "track/track.h"
#include "trial/time_trial.h"

constexpr float messageDuration = 1.5f;    // seconds a waypoint or lap message stays up
constexpr float newRecordDuration = 5.0f;  // seconds a new record stays lit up
constexpr float splitDuration = 2.0f;      // seconds a waypoint's gap to the record stays up
constexpr float medalDuration = 4.0f;      // seconds a medal just won is announced
constexpr float ghostNameDuration = 2.0f;  // seconds the ghost's name stays up after g
constexpr double overlayNearPlane = 0.5;   // units; nearer than the overlay plane at 1, so it is not clipped

static void* const smallFont = GLUT_BITMAP_HELVETICA_10;
static void* const largeFont = GLUT_BITMAP_HELVETICA_18;

static const GLfloat overlayText[] = {0.8f, 0.4f, 0.8f};
static const GLfloat newRecordText[] = {1.0f, 0.9f, 0.2f};  // also the chooser's selection
static const GLfloat refusedText[] = {1.0f, 0.35f, 0.25f};  // a track the game refuses
static const GLfloat aheadText[] = {0.2f, 0.9f, 0.3f};      // a split ahead of the record
static const GLfloat behindText[] = {1.0f, 0.25f, 0.2f};    // a split behind it

void drawTime(float seconds) {
  char text[16];
  formatTime(seconds, text);
  drawString(text, smallFont);
}

static void drawNumber(int value, void* font) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  drawString(text, font);
}

static void setBackground() {
  if (displayFlags & drawSolid) {
    glClearColor(0.6f, 0.8f, 0.8f, 0.0f);
    return;
  }
  // Wireframe: black with the eye at the lowest waypoint, dark teal at the highest. A track
  // without height differences gets the dark teal.
  float span = track->maxCorner.y - track->minCorner.y;
  float r = span != 0.0f ? (camera->eye.y - track->minCorner.y) / span : 1.0f;
  glClearColor(r / 6, r / 4, r / 4, 0.0f);
}

static void drawPauseBanner() {
  if (raceLaps > 0 && contestPhase == phaseFinished) return;  // the results say it
  if (pauseState == statePaused) {
    glColor3f(1.0f, 0.6f, 0.0f);
    glRasterPos2f(0.0f, -0.35f);
    drawString("PAUSED", largeFont);
  } else if (pauseState == stateCrashed) {
    glColor3f(1.0f, 0.2f, 0.0f);
    glRasterPos2f(0.0f, -0.35f);
    drawString("- CRASHED! -", largeFont);
  }
}

static void drawHelp(float a) {
  struct Line {
    const char* text;
    float x, y;
  };
  // Headings stand 0.02 x aspect to the right of the lines under them.
  const Line lines[] = {
      {"GRAPHICS:", -0.36f * a, 0.25f},
      {"F1, Back - help text", -0.38f * a, 0.20f},
      {"F2, LB - head-up controls", -0.38f * a, 0.15f},
      {"F3, RB - track overview", -0.38f * a, 0.10f},
      {"F4 - wireframe / solid mode", -0.38f * a, 0.05f},
      {"CAMERA MODE (D-pad up / down):", -0.36f * a, 0.0f},
      {"F5 - cockpit", -0.38f * a, -0.05f},
      {"F6 - from behind", -0.38f * a, -0.10f},
      {"F7 - from helicopter", -0.38f * a, -0.15f},
      {"F8 - track", -0.38f * a, -0.20f},
      {"CAR SELECTION (D-pad left / right):", -0.36f * a, -0.25f},
      {"0 - your car", -0.38f * a, -0.30f},
      {"1,2,... - opponents", -0.38f * a, -0.35f},
      {"CONTROLS:", 0.02f * a, 0.05f},
      {"mouse, left stick - steer", 0.0f, 0.0f},
      {"up / down, A / X - change speed", 0.0f, -0.05f},
      {"space, B - stop", 0.0f, -0.10f},
      {"p, Start - pause", 0.0f, -0.15f},
      {"m - sound off / on", 0.0f, -0.20f},
      {"r, Y - back to the road", 0.0f, -0.25f},
      {"g - the next ghost", 0.0f, -0.30f},
  };
  glColor3fv(overlayText);
  for (const Line& line : lines) {
    glRasterPos2f(line.x, line.y);
    drawString(line.text, smallFont);
  }
}

// Under the lap lines: the next target to beat, the gap to the record at the last waypoint, a medal
// just won and the ghost just chosen.
static void drawAims(float now) {
  char time[24], line[64];
  float target;
  uint8_t next = targetsKnown ? nextMedal(medalHeld, lapTargets, &target) : uint8_t(medalNone);
  // Shown once there is a lap to measure against it: the first picture of a new track stays the
  // game's own.
  if (next != medalNone && (recordKept || friendKept || lastLapTime > 0.0f)) {
    formatRaceTime(target, time);
    std::snprintf(line, sizeof line, "to beat: %s %s", medalName(next), time);
    glRasterPos2f(0.0f, 0.11f);
    drawString(line, smallFont);
  }
  if (splitTime >= 0.0f && now - splitTime < splitDuration) {
    // The sign as shown picks the colour: green ahead, red behind or level.
    std::snprintf(line, sizeof line, "%+.2f", double(splitGap));
    glColor3fv(line[0] == '-' ? aheadText : behindText);
    glRasterPos2f(0.0f, 0.07f);
    drawString(line, largeFont);
  }
  if (medalWonTime >= 0.0f && now - medalWonTime < medalDuration) {
    std::snprintf(line, sizeof line, "%s medal!", medalName(medalHeld));
    glColor3fv(newRecordText);
    glRasterPos2f(0.0f, -0.08f);
    drawString(line, largeFont);
  }
  if (ghostChoiceTime >= 0.0f && now - ghostChoiceTime < ghostNameDuration) {
    std::snprintf(line, sizeof line, "ghost: %s", ghostChoiceName(ghostChoice));
    glColor3fv(overlayText);
    glRasterPos2f(0.0f, -0.14f);
    drawString(line, smallFont);
  }
}

static void drawHeadUp(float a) {
  flushText();
  glLineWidth(1.0f);
  glColor3f(0.8f, 0.5f, 0.8f);
  glBegin(GL_LINES);
  glVertex2f(-0.02f, 0.0f);
  glVertex2f(0.02f, 0.0f);
  glVertex2f(0.0f, -0.04f);
  glVertex2f(0.0f, 0.04f);
  glEnd();

  bool followsPlayer = camera->car == player;
  glColor3fv(overlayText);
  glRasterPos2f(-0.38f * a, 0.36f);
  drawString("your speed: ", smallFont);
  drawNumber(int(player->speed), followsPlayer ? largeFont : smallFont);

  glRasterPos2f(0.0f, 0.36f);
  if (followsPlayer) {
    drawString("your car", largeFont);
  } else {
    int i = carCount - 1;
    while (i >= 1 && cars[i] != camera->car) i--;
    drawString("car ", smallFont);
    drawNumber(i, smallFont);
  }

  glColor3fv(overlayText);
  glRasterPos2f(0.0f, 0.28f);
  drawString("best lap: ", smallFont);
  drawTime(bestLapTime);
  glRasterPos2f(0.0f, 0.24f);
  drawString("last lap: ", smallFont);
  drawTime(lastLapTime);
  // The best lap ever driven on this track, kept between games, and a friend's best beside it;
  // where neither is kept, no line.
  float now = gameClock();
  char time[24], line[64];
  if (recordKept) {
    bool fresh = newRecordTime >= 0.0f && now - newRecordTime < newRecordDuration;
    glColor3fv(fresh ? newRecordText : overlayText);
    glRasterPos2f(0.0f, 0.20f);
    drawString(fresh ? "new record: " : "record: ", smallFont);
    formatRaceTime(recordLapTime, time);
    drawString(time, smallFont);
  }
  if (friendKept) {
    formatRaceTime(friendLapTime, time);
    std::snprintf(line, sizeof line, "%sfriend: %s", recordKept ? "   " : "", time);
    glColor3fv(overlayText);
    if (!recordKept) glRasterPos2f(0.0f, 0.20f);
    drawString(line, smallFont);
  }

  glColor3fv(overlayText);
  if (now - messageTime < messageDuration) {
    glRasterPos2f(0.0f, 0.15f);
    drawString(messageText, largeFont);
  }
  drawAims(now);
}

constexpr float goShown = 1.0f;  // seconds "go" stays up after the start

// A race's lines beside the head-up display: place, lap, the gap to the car ahead and a missed
// waypoint; the countdown large in the middle; after the finish, the results.
static void drawContest(float a) {
  // Over the map, which leaves its own transform behind.
  flushText();
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  char line[96];
  glColor3fv(overlayText);
  int32_t place = playerPosition();
  std::snprintf(line, sizeof line, "%d%s of %d", int(place), ordinalSuffix(place), int(carCount));
  glRasterPos2f(0.22f * a, 0.36f);
  drawString(line, largeFont);
  int32_t lap = standings[0].laps + 1 < raceLaps ? standings[0].laps + 1 : raceLaps;
  std::snprintf(line, sizeof line, "lap %d of %d", int(lap), int(raceLaps));
  glRasterPos2f(0.22f * a, 0.30f);
  drawString(line, smallFont);
  float gap = gapAhead();
  if (gap >= 0.0f && contestPhase == phaseRacing) {
    std::snprintf(line, sizeof line, "ahead: %.1f s", double(gap));
    glRasterPos2f(0.22f * a, 0.26f);
    drawString(line, smallFont);
  }
  if (missedWaypoint >= 0 && contestPhase == phaseRacing) {
    glColor3fv(refusedText);
    glRasterPos2f(-0.2f * a, 0.08f);
    drawString("waypoint missed: go back for it", largeFont);
  }
  if (contestPhase == phaseCountdown || (contestPhase == phaseRacing && raceTime < goShown)) {
    int32_t count = 3 - int32_t(countdownTime);
    std::snprintf(line, sizeof line, "%s",
                  contestPhase == phaseRacing ? "go"
                  : count == 3                ? "3"
                  : count == 2                ? "2"
                                              : "1");
    glColor3fv(newRecordText);
    glRasterPos2f(-0.01f, 0.05f);
    drawString(line, largeFont);
  }
  if (contestPhase != phaseFinished) return;
  // The results on a dark panel of their own, readable over any scene.
  flushText();
  glColor3f(0.1f, 0.12f, 0.16f);
  glRectf(-0.22f * a, 0.13f, 0.3f * a, 0.06f - 0.04f * float(carCount + 1));
  glColor3fv(newRecordText);
  std::snprintf(line, sizeof line, "finished: %d%s", int(place), ordinalSuffix(place));
  glRasterPos2f(-0.2f * a, 0.08f);
  drawString(line, largeFont);
  glColor3fv(overlayText);
  for (int32_t p = 1; p <= carCount; p++) {
    formatStanding(p, line);
    glRasterPos2f(-0.2f * a, 0.08f - 0.04f * float(p));
    drawString(line, smallFont);
  }
  glRasterPos2f(-0.2f * a, 0.08f - 0.04f * float(carCount + 1));
  drawString("Enter - race again   Esc - leave", smallFont);
}

static void drawOverviewWithCars(float a) {
  glColor3fv(overlayText);
  glRasterPos2f(-0.38f * a, 0.32f);
  drawString(track->title, smallFont);
  // A window with no area has no map scale.
  if (windowWidth <= 0 || windowHeight <= 0) return;
  flushText();
  track->drawOverview();

  glPointSize(5.0f);
  glBegin(GL_POINTS);
  for (int32_t i = 1; i < carCount; i++) {
    glColor3fv(cars[i]->darkColour);
    glVertex2f(cars[i]->position.x, cars[i]->position.z);
  }
  glEnd();

  glPointSize(7.0f);
  glBegin(GL_POINTS);
  glColor3fv(player->darkColour);
  glVertex2f(player->position.x, player->position.z);
  const Vec3& next = track->waypoints[player->waypointIndex];
  glColor3f(0.6f, 0.6f, 0.6f);
  glVertex2f(next.x, next.z);
  glEnd();
}

// The overlays sit on the plane one unit in front of the eye, which is the scene's near plane.
// They are drawn through a projection with a nearer near plane, which leaves their place on the
// screen unchanged but keeps them from being clipped, and at the nearest depth, later over earlier.
static void beginOverlay() {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluPerspective(45.0, aspectRatio, overlayNearPlane, 800.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(0.0f, 0.0f, -1.0f);
  glDepthRange(0.0, 0.0);
  glDepthFunc(GL_LEQUAL);
}

static void endOverlay() {
  flushText();
  glDepthFunc(GL_LESS);
  glDepthRange(0.0, 1.0);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

// The map's outline costs the renderer a line set-up a waypoint every frame, though on a large
// track it covers far fewer pixels than that. Drawn alone once for each size of the window, in a
// framebuffer of its own where there is one, and read back, it is kept as rectangles of the pixels
// it covers. Before the frame's clear, as it draws in the window where there is none.
static void readOverview(const TTrack* shown) {
  if (outlineKeptFor(*shown)) return;
  // A reshape still on its way: the pixels to read are not all in the window yet.
  if (windowWidth != glutGet(GLUT_WINDOW_WIDTH) || windowHeight != glutGet(GLUT_WINDOW_HEIGHT)) return;
  static std::vector<uint8_t> covered;
  covered.resize(size_t(windowWidth) * size_t(windowHeight));
  TOffscreen offscreen;
  beginOffscreen(windowWidth, windowHeight, &offscreen);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  // Nothing is kept for this size yet, so the outline is drawn as lines.
  beginOverlay();
  shown->drawOverview();
  endOverlay();
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, windowWidth, windowHeight, GL_RED, GL_UNSIGNED_BYTE, covered.data());
  glPopClientAttrib();
  endOffscreen(&offscreen);
  keepOverview(*shown, covered.data(), windowWidth, windowHeight);
}

// The chooser's lines, each from the overlay plane's x at aspect 1.
static void drawLine(const char* text, float x, float y, void* font) {
  glRasterPos2f(x * aspectRatio, y);
  drawString(text, font);
}

// As much of text as fits in width pixels of font, "..." where it is cut: a title keeps its start,
// a path its end. The window's width, not a count of characters, is what runs out.
static const char* fitted(const char* text, float width, bool keepEnd, void* font, char (&kept)[64]) {
  if (stringWidth(text, font) <= width) return text;
  size_t length = std::strlen(text);
  for (size_t room = std::min(length, sizeof kept - 4);; room--) {
    if (keepEnd)
      std::snprintf(kept, sizeof kept, "...%s", text + length - room);
    else
      std::snprintf(kept, sizeof kept, "%.*s...", int(room), text);
    if (room == 0 || stringWidth(kept, font) <= width) return kept;
  }
}

// Window pixels across a width on the overlay plane at aspect 1.
static float overlayPixels(float across) { return across / overlayHalfHeight * float(windowWidth) / 2.0f; }

static void drawChooserDetails() {
  static const char* const keys[] = {"up / down, wheel, click - a track", "page up / down, home / end",
                                     "left / right, click - opponents",   "Enter - race",
                                     "Esc - quit; in a race, back here",  "F1 - these keys",
                                     "r - race rivals / free drive",      "+ / - - laps, v - level"};
  char line[128], cut[64];
  if (chooserHelp) {
    glColor3fv(overlayText);
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; i++)
      drawLine(keys[i], 0.02f, 0.26f - 0.04f * float(i), smallFont);
    return;
  }
  if (chooserSelected < 0) return;
  const ChooserEntry& entry = chooserEntries[size_t(chooserSelected)];
  glColor3fv(newRecordText);
  float room = overlayPixels(overlayHalfHeight - 0.04f);  // from the details' left to a margin short of the edge
  drawLine(fitted(entry.title.c_str(), room, false, largeFont, cut), 0.02f, 0.26f, largeFont);
  glColor3fv(overlayText);
  const char* whose = entry.own ? ", one of yours" : ", shipped";
  const char* name = std::strrchr(entry.path.c_str(), '/') + 1;
  std::snprintf(line, sizeof line, "%s%s", fitted(name, room - stringWidth(whose, smallFont), true, smallFont, cut),
                whose);
  drawLine(line, 0.02f, 0.21f, smallFont);
  if (!entry.message.empty()) {
    glColor3fv(refusedText);
    drawLine(entry.message.c_str(), 0.02f, 0.17f, smallFont);
    return;
  }
  if (!entry.judged) {
    drawLine("reading the track...", 0.02f, 0.17f, smallFont);
    return;
  }
  std::snprintf(line, sizeof line, "%.0f units round, %d waypoints", double(entry.length), int(entry.waypoints));
  drawLine(line, 0.02f, 0.17f, smallFont);
  // The record with its medal, the targets, and a friend's best, each where it is known.
  char times[3][24];
  float y = 0.13f;
  if (entry.recordKept) {
    formatRaceTime(entry.recordLapTime, times[0]);
    std::snprintf(line, sizeof line, "record: %s%s%s", times[0], entry.medal == medalNone ? "" : ", ",
                  entry.medal == medalNone ? "" : medalName(entry.medal));
    drawLine(line, 0.02f, y, smallFont);
    y -= 0.04f;
  }
  if (entry.friendKept) {
    formatRaceTime(entry.friendLapTime, times[0]);
    std::snprintf(line, sizeof line, "friend: %s", times[0]);
    drawLine(line, 0.02f, y, smallFont);
    y -= 0.04f;
  }
  if (!entry.targetsKnown) return;
  LapTargets targets = targetsFromGold(entry.goldTime);
  formatRaceTime(targets.gold, times[0]);
  formatRaceTime(targets.silver, times[1]);
  formatRaceTime(targets.bronze, times[2]);
  std::snprintf(line, sizeof line, "gold %s, silver %s, bronze %s", times[0], times[1], times[2]);
  drawLine(line, 0.02f, y, smallFont);
}

static void drawChooser() {
  makeGlyphs();
  bool shaped = chooserShape != nullptr && !chooserHelp && windowWidth > 0 && windowHeight > 0;
  if (shaped) readOverview(chooserShape);
  glClearColor(0.1f, 0.12f, 0.16f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  beginOverlay();
  if (shaped) {
    chooserShape->drawOverview();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -1.0f);
  }
  glColor3fv(overlayText);
  drawLine("CHOOSE A TRACK", -0.38f, 0.35f, largeFont);
  if (chooserEntries.empty()) drawLine("no tracks found", -0.38f, chooserListTop, smallFont);
  char cut[64];
  for (int32_t row = 0; row < chooserRows && chooserFirstRow + row < int32_t(chooserEntries.size()); row++) {
    const ChooserEntry& entry = chooserEntries[size_t(chooserFirstRow + row)];
    bool selected = chooserFirstRow + row == chooserSelected;
    glColor3fv(selected ? newRecordText : entry.message.empty() ? overlayText : refusedText);
    glRasterPos2f(-0.38f * aspectRatio, chooserListTop - float(row) * chooserRowStep);
    drawString(fitted(entry.title.c_str(), overlayPixels(0.36f), false, smallFont, cut), smallFont);
  }
  drawChooserDetails();
  glColor3fv(overlayText);
  char mode[64];
  if (chooserRace)
    std::snprintf(mode, sizeof mode, "race: %d %s, %s", int(chooserLaps), chooserLaps == 1 ? "lap" : "laps",
                  levelName(chooserLevel));
  else
    std::snprintf(mode, sizeof mode, "free drive (r: race)");
  drawLine(mode, -0.38f, chooserOpponentsLine + chooserRowStep, smallFont);
  drawLine(chooserRace ? "rivals:" : "opponents:", -0.38f, chooserOpponentsLine, smallFont);
  for (int32_t count = 0; count <= maxOpponents; count++) {
    char digit[] = {char('0' + count), '\0'};
    glColor3fv(count == chooserOpponents ? newRecordText : overlayText);
    glRasterPos2f(chooserOpponentsX(aspectRatio) + float(count) * chooserOpponentStep, chooserOpponentsLine);
    drawString(digit, count == chooserOpponents ? largeFont : smallFont);
  }
  glColor3fv(overlayText);
  drawLine("Enter - race   Esc - quit   F1 - keys", -0.38f, -0.37f, smallFont);
  endOverlay();
  glutSwapBuffers();
}

void display() {
  if (!windowVisible) return;
  if (choosing) {
    drawChooser();
    return;
  }
  float a = aspectRatio;
  makeGlyphs();
  if ((displayFlags & showOverview) && windowWidth > 0 && windowHeight > 0) readOverview(track);

  setBackground();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  camera->apply();
  track->draw();
  for (int32_t i = 0; i < carCount; i++) cars[i]->draw();
  drawGhost();

  beginOverlay();
  drawPauseBanner();
  if (displayFlags & showHelp) drawHelp(a);
  if (displayFlags & showHeadUp) drawHeadUp(a);
  if (displayFlags & showOverview) drawOverviewWithCars(a);
  if (raceLaps > 0) drawContest(a);
  endOverlay();

  glutSwapBuffers();
}

void visibility(int state) {
  windowVisible = state == GLUT_VISIBLE;
  if (windowVisible) {
    glutDisplayFunc(display);
    glutPostRedisplay();
  }
}
