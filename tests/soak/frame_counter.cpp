#include "soak/frame_counter.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>

#include <stdexcept>

namespace soak {

namespace {
// How long the watcher sleeps between looks when nothing arrives, so it notices the stop.
constexpr int kPollMillis = 50;
}  // namespace

FrameCounter::FrameCounter(const std::string& windowId) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) throw std::runtime_error("cannot open the X display to count frames");
  int damageError = 0;
  if (!XDamageQueryExtension(display_, &damageEvent_, &damageError)) {
    XCloseDisplay(display_);
    throw std::runtime_error("the X server has no DAMAGE extension to count frames with");
  }
  // Every rectangle drawn is reported, so frames coming faster than they are read still
  // count one each.
  damage_ = XDamageCreate(display_, std::stoul(windowId), XDamageReportRawRectangles);
  XSync(display_, False);
  watcher_ = std::thread([this] { watch(); });
}

FrameCounter::~FrameCounter() {
  stop_ = true;
  watcher_.join();
  XDamageDestroy(display_, damage_);
  XCloseDisplay(display_);
}

void FrameCounter::watch() {
  pollfd connection{ConnectionNumber(display_), POLLIN, 0};
  while (!stop_) {
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type != damageEvent_ + XDamageNotify) continue;
      // One frame may arrive as several rectangles; the last says there are no more.
      if (!reinterpret_cast<XDamageNotifyEvent&>(event).more) ++frames_;
    }
    poll(&connection, 1, kPollMillis);
  }
}

}  // namespace soak
