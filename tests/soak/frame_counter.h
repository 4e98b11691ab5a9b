// Counts the frames the game shows, from outside and without touching it: Mesa's software
// renderer puts every finished frame into the window as one image, and the X server reports
// each such change to anyone who asked with the DAMAGE extension.
#pragma once

#include <atomic>
#include <string>
#include <thread>

struct _XDisplay;  // Xlib's display; its header is kept out, as its Window clashes with the harness's

namespace soak {

class FrameCounter {
 public:
  // Watches the window with the given X id on $DISPLAY; throws if it cannot.
  explicit FrameCounter(const std::string& windowId);
  ~FrameCounter();
  FrameCounter(const FrameCounter&) = delete;
  FrameCounter& operator=(const FrameCounter&) = delete;

  long frames() const { return frames_.load(); }

 private:
  void watch();

  _XDisplay* display_ = nullptr;  // its own connection, used by the watching thread alone
  unsigned long damage_ = 0;
  int damageEvent_ = 0;
  std::atomic<long> frames_{0};
  std::atomic<bool> stop_{false};
  std::thread watcher_;
};

}  // namespace soak
