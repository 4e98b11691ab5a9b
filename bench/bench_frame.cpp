// The frame as the player sees it, in a real 500 by 400 GLUT window: the game's own display()
// with the race under way (track, eight cars, head-up display and overview) against a frame that
// only clears and swaps and one that paints the window once, in the same window; and the track
// alone, solid and wireframe, drawn culled against drawn whole. Every timing ends with glFinish,
// so the software renderer's work counts.
// Needs an X display: scripts/bench runs it in its own Xvfb with Mesa's software renderer.
#include <GL/freeglut.h>  // glutMainLoopEvent, to map the window before timing
#include <benchmark/benchmark.h>

#include <chrono>

#include "app/game.h"
#include "bench/bench_race.h"
#include "bench/reference/plain_draw.h"
#include "camera/camera.h"
#include "render/render.h"
#include "render/track_draw.h"
#include "track/track.h"

constexpr float stepSeconds = 0.008f;  // the race moves on by one frame period between frames
constexpr int settlingSteps = 500;     // 4 s of race before timing: the camera has glided in behind

namespace {

void startFrames(benchmark::State& state) {
  startRace(benchTrackPath(state.range(0)), maxCars);
  for (int k = 0; k < settlingSteps; k++) driveStep(stepSeconds);
  glFinish();
}

// A frame whose only picture is one flat quad over the whole window: what covering every pixel
// once costs the software renderer, the least any view of the ground can cost.
void drawFilledFrame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(0.2f, 0.6f, 0.2f);
  glBegin(GL_QUADS);
  glVertex2f(-1.0f, -1.0f);
  glVertex2f(1.0f, -1.0f);
  glVertex2f(1.0f, 1.0f);
  glVertex2f(-1.0f, 1.0f);
  glEnd();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glutSwapBuffers();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Per iteration an empty frame, a filled frame and the game's frame, each timed to its glFinish:
// taken side by side, all see the same load on the machine, which shifts them by far more than
// their difference when they run seconds apart. The game frame is the benchmark's time; the
// others' means are the counters empty_ms and filled_ms.
void GameFrame(benchmark::State& state) {
  startFrames(state);
  double emptySeconds = 0.0, filledSeconds = 0.0;
  for (auto _ : state) {
    driveStep(stepSeconds);
    auto start = std::chrono::steady_clock::now();
    glClearColor(0.6f, 0.8f, 0.8f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
    glFinish();
    emptySeconds += secondsSince(start);
    start = std::chrono::steady_clock::now();
    drawFilledFrame();
    glFinish();
    filledSeconds += secondsSince(start);
    start = std::chrono::steady_clock::now();
    display();
    glFinish();
    state.SetIterationTime(secondsSince(start));
  }
  state.counters["empty_ms"] = benchmark::Counter(emptySeconds * 1000.0, benchmark::Counter::kAvgIterations);
  state.counters["filled_ms"] = benchmark::Counter(filledSeconds * 1000.0, benchmark::Counter::kAvgIterations);
  state.counters["drawn"] = trackDrawing.trianglesDrawn;
  state.counters["triangles"] = track->triangleCount;
}

// The track alone, solid or wireframe, from the game's camera, without the swap.
void TrackDraw(benchmark::State& state, bool solid, bool culled) {
  startFrames(state);
  if (!solid) displayFlags &= uint8_t(~drawSolid);
  for (auto _ : state) {
    state.PauseTiming();
    driveStep(stepSeconds);
    state.ResumeTiming();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    camera->apply();
    if (culled)
      track->draw();
    else if (solid)
      plainDrawSolid(*track);
    else
      plainDrawWireframe(*track);
    glFinish();
  }
  displayFlags |= drawSolid;
}

void tracks(benchmark::internal::Benchmark* b) { b->Arg(0)->Arg(1)->Arg(2)->Arg(1000)->Arg(10000)->Arg(100000); }

}  // namespace

BENCHMARK(GameFrame)->Apply(tracks)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TrackDraw, plain, true, false)->Apply(tracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TrackDraw, culled, true, true)->Apply(tracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TrackDraw, plain_wireframe, false, false)->Apply(tracks)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TrackDraw, culled_wireframe, false, true)->Apply(tracks)->Unit(benchmark::kMillisecond);

// The game's window and projection, as main makes them, before the benchmarks run.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowPosition(120, 60);
  glutInitWindowSize(500, 400);
  glutCreateWindow("Zarvanto");
  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutVisibilityFunc(visibility);
  glEnable(GL_DEPTH_TEST);
  startRace(benchTrackPath(0), maxCars);
  // Until the window is mapped and has its size, nothing it draws reaches the screen.
  while (windowWidth == 0) glutMainLoopEvent();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
