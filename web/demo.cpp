// The page's demo (&demo in its address): the short race scripts/play drives without a display,
// the same inputs at the same times from the moment the race resumes: speeding up, through the
// first bend, every camera, following an opponent, and the help over the paused race.
#include <GL/glut.h>

#include "input/input.h"
#include "race/clock.h"
#include "web/page.h"

constexpr float demoWait = 1.0f;  // seconds the paused start is shown before the race resumes

namespace {

enum TDemoInput : uint8_t { inputSpecial, inputKey, inputSteer };

struct TDemoStep {
  float time;  // seconds after the race resumed
  TDemoInput kind;
  int value;  // the special key, the key, or the pointer's column (250 is straight on)
};

// Resumed and speeded up at once, watching from behind; the first straight bears a little east,
// and 332 is 41 degrees a second round the bend to the east.
const TDemoStep demoSteps[] = {
    {0.0f, inputSpecial, GLUT_KEY_UP},
    {0.0f, inputSpecial, GLUT_KEY_UP},
    {0.0f, inputSpecial, GLUT_KEY_UP},
    {0.0f, inputSpecial, GLUT_KEY_UP},
    {0.0f, inputSpecial, GLUT_KEY_F6},
    {0.0f, inputSteer, 252},
    {6.0f, inputSteer, 332},
    {6.95f, inputSteer, 250},
    {7.7f, inputSpecial, GLUT_KEY_F5},
    {8.7f, inputKey, ' '},
    {8.7f, inputSpecial, GLUT_KEY_F8},
    {9.7f, inputSpecial, GLUT_KEY_F7},
    {10.4f, inputKey, '1'},
    {11.6f, inputKey, '0'},
    {11.6f, inputKey, 'h'},
    {11.6f, inputKey, 'p'},
};

bool demoDriving = false;
float demoStart = 0.0f;  // game clock at the demo's start
size_t demoNext = 0;     // the first step not taken yet

}  // namespace

void startDemo() {
  demoDriving = true;
  demoStart = gameClock();
  demoNext = 0;
}

void stepPage() {
  if (!demoDriving) return;
  float since = gameClock() - demoStart - demoWait;
  for (; demoNext < sizeof demoSteps / sizeof demoSteps[0] && demoSteps[demoNext].time <= since; demoNext++) {
    const TDemoStep& step = demoSteps[demoNext];
    if (step.kind == inputSpecial) specialKey(step.value, 0, 0);
    if (step.kind == inputKey) keyboard(static_cast<unsigned char>(step.value), 0, 0);
    if (step.kind == inputSteer) passiveMotion(step.value, 200);
  }
  demoDriving = demoNext < sizeof demoSteps / sizeof demoSteps[0];
}
