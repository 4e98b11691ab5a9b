// Drives the real game binary from GoogleTest: starts it as a child process,
// finds its window on the X display and pokes it with xdotool, and reads
// back what it drew through ImageMagick's `import`.
//
// Every wait here is bounded. When something does not come up, the helpers
// throw std::runtime_error saying what was awaited; GoogleTest reports that
// as the test's failure, so a broken game fails the run instead of hanging it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Millis = std::chrono::milliseconds;

// Software rendering on a busy two-core CI machine is slow to show the first
// frame, so starting gets more time than the rest; nothing legitimate takes
// longer than this.
inline constexpr Millis kStartTimeout{10000};
inline constexpr Millis kExitTimeout{5000};
inline constexpr Millis kToolTimeout{5000};
// How long a picture may take to show what a key or the game's own motion
// should bring about; the camera needs about three seconds to settle.
inline constexpr Millis kPictureTimeout{6000};

// Set by the build: the game executable and the shipped tracks folder.
std::string gameBinary();
std::string tracksDir();

// The tests talk to an X server; scripts/test starts one (Xvfb).
bool haveDisplay();

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `content` byte for byte to path()/name (making folders in `name`
  // as needed) and returns the full path.
  std::string write(const std::string& name, const std::string& content) const;
  std::string makeDir(const std::string& name) const;

 private:
  std::string path_;
};

// A child process with stdout and stderr captured to files, so a chatty
// child can never block on a full pipe while the test is busy elsewhere.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::string& workDir);
  ~Process();  // kills the child if it is still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Exit status, or 128 + signal number if it was killed; nullopt if the
  // child is still running when the timeout expires.
  std::optional<int> waitExit(Millis timeout);
  void kill();

  std::string out() const;  // everything written to stdout so far
  std::string err() const;
  std::string describe() const;  // command line, for failure messages

 private:
  void reap(int rawStatus);

  std::vector<std::string> argv_;
  TempDir capture_;
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// Starts the game in `workDir` with the given arguments (not including argv[0]).
Process startGame(const std::vector<std::string>& args, const std::string& workDir);

struct CommandResult {
  int status;
  std::string out;
  std::string err;
};
// Runs a helper tool to completion; throws if it outlives `timeout`.
CommandResult runCommand(const std::vector<std::string>& argv, Millis timeout = kToolTimeout);

struct Rgb {
  std::uint8_t r, g, b;
};
bool operator==(const Rgb& a, const Rgb& b);

struct Rect {
  int x, y, width, height;
  int bottom() const { return y + height - 1; }
};

class Image {
 public:
  // Binary PPM (P6), 8 or 16 bits per channel.
  static Image readPpm(const std::string& path);

  int width() const { return width_; }
  int height() const { return height_; }
  Rect bounds() const { return {0, 0, width_, height_}; }
  Rgb pixel(int x, int y) const;
  // True if some pixel in `area` is within `tolerance` of `colour` in every channel.
  bool contains(Rgb colour, int tolerance, Rect area) const;
  std::size_t count(Rgb colour, int tolerance, Rect area) const;
  // The smallest rectangle holding every pixel of `colour` in `area`.
  std::optional<Rect> extent(Rgb colour, int tolerance, Rect area) const;
  std::size_t distinctColours(Rect area) const;
  // True if both pictures hold the same pixels in `area`; with a colour,
  // if the pixels of that colour lie in the same places, which compares a
  // text without the scene behind it.
  bool sameIn(const Image& other, Rect area) const;
  bool sameIn(const Image& other, Rgb colour, Rect area) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> rgb_;
};

struct Geometry {
  int x, y, width, height;
};

// The size of the X screen the tests run on.
Geometry screenSize();
// What the whole screen shows, whichever windows cover it.
Image screenshotScreen();

// Where a point of the game's overlay plane lands in a window: the plane
// lies one unit in front of the eye, seen with a 45-degree vertical field of
// view, +y up. Pixel coordinates from the window's top left corner. A text
// placed at (x, y) starts in column x and stands on pixel row floor(y).
struct Point {
  double x, y;
};
Point overlayToWindow(double x, double y, int width, int height);

// Window::waitFor for the whole screen.
Image waitForScreen(const std::string& what, const std::function<bool(const Image&)>& wanted,
                    Millis timeout = kPictureTimeout);

class Window {
 public:
  // Waits for a visible window of `game` (or, failing that, one titled
  // "Zarvanto"); throws if the game exits first or nothing shows up within
  // the timeout.
  static Window find(Process& game, Millis timeout = kStartTimeout);

  const std::string& id() const { return id_; }
  std::string title() const;
  Geometry geometry() const;
  void key(const std::string& keysym) const;  // an X keysym name: "Escape", "Up", "F6", "p"
  // Several keys typed in one burst, then the pointer moved to (x, y),
  // fast enough for the game to take them all between two frames.
  void keysThenMouse(const std::vector<std::string>& keysyms, int x, int y) const;
  void mouseMove(int x, int y) const;  // relative to the window's top left corner
  void resize(int width, int height) const;
  // The part of the window that is on the screen.
  Image screenshot() const;
  // Takes screenshots until one satisfies `wanted` and returns it; throws
  // naming `what` if none does within the timeout.
  Image waitFor(const std::string& what, const std::function<bool(const Image&)>& wanted,
                Millis timeout = kPictureTimeout) const;

 private:
  explicit Window(std::string id) : id_(std::move(id)) {}
  std::string id_;
};

}  // namespace e2e
