#include "app/input.h"

#include <cstdlib>

void keyboard(unsigned char key, int, int) {
  if (key == 27) std::exit(0);  // Escape; the exit clean-up releases the game
}
