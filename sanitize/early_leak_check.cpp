// Sanitizer builds only: the leak check runs right after the game's own clean-up at exit. GLUT
// closes the X display in an exit handler of its own, and Mesa then drops its buffers without
// freeing them and unloads its driver, so a check after that finds leaks it can no longer place.
// Checked before, everything Mesa holds is still reachable through the open display, while
// anything the game forgot is not.
#include <sanitizer/lsan_interface.h>

#include <cstdlib>

namespace {

void checkLeaksNow() { __lsan_do_leak_check(); }

}  // namespace

// Linked with --wrap=glutInit. Exit handlers run last registered first: the game's clean-up,
// registered after start-up, then this check, then GLUT's own, registered inside glutInit.
extern "C" void __real_glutInit(int* argc, char** argv);
extern "C" void __wrap_glutInit(int* argc, char** argv) {
  __real_glutInit(argc, argv);
  std::atexit(checkLeaksNow);
}
