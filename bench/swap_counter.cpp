// Counts the frames a program shows, so the game's frame rate and the time to its first picture
// can be measured from outside without the game knowing. Loaded with LD_PRELOAD, it wraps
// glXSwapBuffers and keeps its record in the file named by ZARVANTO_SWAP_RECORD (it does nothing
// without one), mapped shared: a reader sees it live, and the game makes no system call per frame
// for it. A benchmarking tool only; the game itself reads no environment variable.
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

// The file's contents: two unsigned 64-bit numbers in the machine's byte order.
struct TSwapRecord {
  uint64_t swaps;                 // buffer swaps so far
  uint64_t firstSwapNanoseconds;  // CLOCK_MONOTONIC when the first swap returned
};

namespace {

TSwapRecord* openRecord() {
  const char* path = std::getenv("ZARVANTO_SWAP_RECORD");
  if (path == nullptr) return nullptr;
  int file = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (file < 0) return nullptr;
  void* mapped = MAP_FAILED;
  if (ftruncate(file, sizeof(TSwapRecord)) == 0)
    mapped = mmap(nullptr, sizeof(TSwapRecord), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0);
  close(file);
  return mapped == MAP_FAILED ? nullptr : static_cast<TSwapRecord*>(mapped);
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
  using TSwap = void (*)(Display*, GLXDrawable);
  static TSwap realSwap = reinterpret_cast<TSwap>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
  static TSwapRecord* record = openRecord();
  realSwap(display, drawable);
  if (record == nullptr) return;
  if (record->swaps == 0) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    record->firstSwapNanoseconds = uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
  }
  record->swaps++;
}
