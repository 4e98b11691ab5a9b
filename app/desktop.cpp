// The window's class and icon, set through Xlib, which freeglut offers no way to reach.
#include "app/desktop.h"

#include <GL/glut.h>
// After GLUT's header, which sets up what GLX's needs on this platform.
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <png.h>

#include <string>
#include <vector>

#include "records/record.h"

constexpr png_uint_32 maxIconSide = 256;  // pixels; a larger file is not the game's icon

// _NET_WM_ICON: width, height, then each pixel as one 32-bit ARGB value, rows from the top. Xlib
// takes 32-bit property items as longs.
static void setIcon(Display* display, Window window) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::string file = installedFolder("/../share/icons/hicolor/48x48/apps", ZARVANTO_SOURCE_ICONS).append(ZARVANTO_ICON);
  if (!png_image_begin_read_from_file(&image, file.c_str())) return;
  image.format = PNG_FORMAT_RGBA;
  if (image.width == 0 || image.width > maxIconSide || image.height == 0 || image.height > maxIconSide) {
    png_image_free(&image);
    return;
  }
  std::vector<png_byte> rgba(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return;
  std::vector<unsigned long> icon{image.width, image.height};
  for (size_t i = 0; i < rgba.size(); i += 4)
    icon.push_back(static_cast<unsigned long>(rgba[i + 3]) << 24 | static_cast<unsigned long>(rgba[i]) << 16 |
                   static_cast<unsigned long>(rgba[i + 1]) << 8 | rgba[i + 2]);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(icon.data()), int(icon.size()));
}

void identifyWindow() {
  Display* display = glXGetCurrentDisplay();
  Window window = glXGetCurrentDrawable();  // freeglut draws straight into its X window
  if (display == nullptr || window == 0) return;
  char windowClass[] = ZARVANTO_WINDOW_CLASS;
  XClassHint hint{windowClass, windowClass};  // instance and class alike: the menu entry's name
  XSetClassHint(display, window, &hint);
  setIcon(display, window);
}
