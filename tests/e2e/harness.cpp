#include "harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef ZARVANTO_BINARY
#error "ZARVANTO_BINARY must name the game executable"
#endif
#ifndef ZARVANTO_TRACKS_DIR
#error "ZARVANTO_TRACKS_DIR must name the shipped tracks folder"
#endif

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kPoll{20};

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string shown(const std::string& text) { return text.empty() ? std::string("(nothing)") : "\"" + text + "\""; }

}  // namespace

std::string gameBinary() { return ZARVANTO_BINARY; }
std::string tracksDir() { return ZARVANTO_TRACKS_DIR; }

bool haveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

// ---------------------------------------------------------------- TempDir

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/zarvanto-e2e-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder from " + pattern + ": " + std::strerror(errno));
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string full = path_ + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream out(full, std::ios::binary);
  out << content;
  if (!out.flush()) throw std::runtime_error("cannot write " + full);
  return full;
}

std::string TempDir::makeDir(const std::string& name) const {
  const std::string full = path_ + "/" + name;
  std::filesystem::create_directories(full);
  return full;
}

// ---------------------------------------------------------------- Process

Process::Process(const std::vector<std::string>& argv, const std::string& workDir) : argv_(argv) {
  if (argv_.empty()) throw std::invalid_argument("Process needs a command");

  // Everything the child needs is prepared before fork(): between fork and
  // exec only async-signal-safe calls are allowed in a threaded parent.
  std::vector<char*> args;
  for (auto& arg : argv_) args.push_back(arg.data());
  args.push_back(nullptr);
  const std::string outPath = capture_.path() + "/stdout";
  const std::string errPath = capture_.path() + "/stderr";
  static const char chdirFailed[] = "cannot enter the working folder\n";
  static const char execFailed[] = "cannot execute the command\n";

  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
  if (pid_ == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(workDir.c_str()) != 0) {
      ssize_t ignored = ::write(2, chdirFailed, sizeof chdirFailed - 1);
      (void)ignored;
      _exit(126);
    }
    execvp(args[0], args.data());
    ssize_t ignored = ::write(2, execFailed, sizeof execFailed - 1);
    (void)ignored;
    _exit(127);
  }
}

Process::~Process() { kill(); }

void Process::reap(int rawStatus) {
  if (WIFEXITED(rawStatus))
    status_ = WEXITSTATUS(rawStatus);
  else if (WIFSIGNALED(rawStatus))
    status_ = 128 + WTERMSIG(rawStatus);
  else
    status_ = -1;
}

bool Process::running() {
  if (status_ || pid_ <= 0) return false;
  int raw = 0;
  pid_t got = waitpid(pid_, &raw, WNOHANG);
  if (got == pid_) {
    reap(raw);
    return false;
  }
  return got == 0;
}

std::optional<int> Process::waitExit(Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  while (running()) {
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPoll);
  }
  return status_;
}

void Process::kill() {
  if (!running()) return;
  ::kill(pid_, SIGKILL);
  int raw = 0;
  if (waitpid(pid_, &raw, 0) == pid_) reap(raw);
}

std::string Process::out() const { return readFile(capture_.path() + "/stdout"); }
std::string Process::err() const { return readFile(capture_.path() + "/stderr"); }

std::string Process::describe() const {
  std::string text;
  for (const auto& arg : argv_) text += (text.empty() ? "" : " ") + (arg.empty() ? std::string("''") : arg);
  return "`" + text + "`";
}

Process startGame(const std::vector<std::string>& args, const std::string& workDir) {
  std::vector<std::string> argv{gameBinary()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Process(argv, workDir);
}

CommandResult runCommand(const std::vector<std::string>& argv, Millis timeout) {
  Process tool(argv, ".");
  auto status = tool.waitExit(timeout);
  if (!status) {
    tool.kill();
    throw std::runtime_error(tool.describe() + " did not finish within " + std::to_string(timeout.count()) + " ms");
  }
  if (*status == 127 && tool.err().rfind("cannot execute", 0) == 0)
    throw std::runtime_error(tool.describe() + " could not be started; is " + argv[0] +
                             " installed? (scripts/test installs it)");
  return {*status, tool.out(), tool.err()};
}

// ---------------------------------------------------------------- Image

bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

Image Image::readPpm(const std::string& path) {
  const std::string data = readFile(path);
  std::size_t pos = 0;
  auto fail = [&](const std::string& why) -> Image {
    throw std::runtime_error("cannot read screenshot " + path + ": " + why);
  };
  // Header: magic, width, height, maxval, separated by whitespace and
  // '#' comments, then exactly one whitespace byte before the pixels.
  auto token = [&]() {
    for (;;) {
      while (pos < data.size() && std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
      if (pos < data.size() && data[pos] == '#') {
        while (pos < data.size() && data[pos] != '\n') ++pos;
        continue;
      }
      break;
    }
    std::size_t start = pos;
    while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos]))) ++pos;
    return data.substr(start, pos - start);
  };
  auto number = [&]() {
    const std::string text = token();
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6)
      fail("bad number in header: " + shown(text));
    return std::stoi(text);
  };
  if (token() != "P6") return fail("not a binary PPM");
  Image image;
  image.width_ = number();
  image.height_ = number();
  const int maxval = number();
  if (image.width_ <= 0 || image.height_ <= 0 || maxval <= 0 || maxval > 65535) return fail("bad header");
  ++pos;
  const std::size_t bytesPerSample = maxval > 255 ? 2 : 1;
  const std::size_t samples = std::size_t(image.width_) * std::size_t(image.height_) * 3;
  if (data.size() < pos + samples * bytesPerSample) return fail("truncated pixel data");
  image.rgb_.resize(samples);
  for (std::size_t i = 0; i < samples; ++i) {
    unsigned value = static_cast<unsigned char>(data[pos + i * bytesPerSample]);
    if (bytesPerSample == 2) value = value << 8 | static_cast<unsigned char>(data[pos + i * 2 + 1]);
    image.rgb_[i] = static_cast<std::uint8_t>((value * 255 + maxval / 2) / maxval);
  }
  return image;
}

Rgb Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_)
    throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside the " +
                            std::to_string(width_) + "x" + std::to_string(height_) + " screenshot");
  const std::size_t at = (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 3;
  return {rgb_[at], rgb_[at + 1], rgb_[at + 2]};
}

namespace {
Rect clip(Rect area, int width, int height) {
  const int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
  const int x1 = std::min(area.x + area.width, width), y1 = std::min(area.y + area.height, height);
  return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

bool near(Rgb p, Rgb colour, int tolerance) {
  auto close = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
  return close(p.r, colour.r) && close(p.g, colour.g) && close(p.b, colour.b);
}
}  // namespace

bool Image::contains(Rgb colour, int tolerance, Rect area) const {
  const Rect r = clip(area, width_, height_);
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x)
      if (near(pixel(x, y), colour, tolerance)) return true;
  return false;
}

std::size_t Image::count(Rgb colour, int tolerance, Rect area) const {
  const Rect r = clip(area, width_, height_);
  std::size_t found = 0;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) found += near(pixel(x, y), colour, tolerance);
  return found;
}

std::optional<Rect> Image::extent(Rgb colour, int tolerance, Rect area) const {
  const Rect r = clip(area, width_, height_);
  int x0 = r.x + r.width, y0 = r.y + r.height, x1 = -1, y1 = -1;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x)
      if (near(pixel(x, y), colour, tolerance)) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  if (x1 < 0) return std::nullopt;
  return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

bool Image::sameIn(const Image& other, Rect area) const {
  const Rect r = clip(clip(area, width_, height_), other.width_, other.height_);
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x)
      if (!(pixel(x, y) == other.pixel(x, y))) return false;
  return true;
}

bool Image::sameIn(const Image& other, Rgb colour, Rect area) const {
  const Rect r = clip(clip(area, width_, height_), other.width_, other.height_);
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x)
      if ((pixel(x, y) == colour) != (other.pixel(x, y) == colour)) return false;
  return true;
}

std::size_t Image::distinctColours(Rect area) const {
  const Rect r = clip(area, width_, height_);
  std::set<std::uint32_t> seen;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) {
      const Rgb p = pixel(x, y);
      seen.insert(std::uint32_t(p.r) << 16 | std::uint32_t(p.g) << 8 | p.b);
    }
  return seen.size();
}

// ---------------------------------------------------------------- Window

namespace {
CommandResult xdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runCommand(argv);
}

CommandResult xdotoolOrThrow(const std::vector<std::string>& args) {
  CommandResult result = xdotool(args);
  if (result.status != 0) {
    std::string command = "xdotool";
    for (const auto& arg : args) command += " " + arg;
    throw std::runtime_error("`" + command + "` failed with status " + std::to_string(result.status) + ": " +
                             shown(result.err));
  }
  return result;
}
}  // namespace

Window Window::find(Process& game, Millis timeout) {
  if (!haveDisplay())
    throw std::runtime_error(
        "DISPLAY is not set: the end-to-end tests need an X server "
        "(scripts/test starts one)");
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (!game.running()) {
      const auto status = game.waitExit(Millis{0});
      throw std::runtime_error(game.describe() + " exited with status " + std::to_string(status.value_or(-1)) +
                               " before showing a window; stdout: " + shown(game.out()) +
                               ", stderr: " + shown(game.err()));
    }
    // freeglut does not set _NET_WM_PID, so the search by process finds
    // nothing there; the title is the fallback, which is why tests that
    // open windows run one at a time.
    for (const auto& by : {std::vector<std::string>{"--pid", std::to_string(game.pid())},
                           std::vector<std::string>{"--name", "^Zarvanto$"}}) {
      std::vector<std::string> args{"search", "--onlyvisible"};
      args.insert(args.end(), by.begin(), by.end());
      const CommandResult found = xdotool(args);
      const std::string id = firstLine(found.out);
      if (found.status == 0 && !id.empty()) {
        // With no window manager nothing has the focus, which makes
        // every later xdotool call complain on stderr.
        xdotool({"windowfocus", "--sync", id});
        return Window(id);
      }
    }
    if (Clock::now() >= deadline)
      throw std::runtime_error(game.describe() + " showed no window within " + std::to_string(timeout.count()) +
                               " ms; stderr so far: " + shown(game.err()));
    std::this_thread::sleep_for(Millis{100});
  }
}

std::string Window::title() const { return firstLine(xdotoolOrThrow({"getwindowname", id_}).out); }

Geometry Window::geometry() const {
  // --shell prints WINDOW=, X=, Y=, WIDTH=, HEIGHT=, SCREEN= lines.
  std::istringstream lines(xdotoolOrThrow({"getwindowgeometry", "--shell", id_}).out);
  Geometry g{-1, -1, -1, -1};
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const int value = std::atoi(line.c_str() + eq + 1);
    if (key == "X")
      g.x = value;
    else if (key == "Y")
      g.y = value;
    else if (key == "WIDTH")
      g.width = value;
    else if (key == "HEIGHT")
      g.height = value;
  }
  return g;
}

void Window::key(const std::string& keysym) const {
  // Typed through XTEST into the focused window, as a keyboard would.
  // Sending to the window directly (`key --window`) fails on the release
  // when the press closed the window (Escape), and leaves the key held
  // down for whatever runs next.
  const CommandResult sent = xdotool({"windowfocus", "--sync", id_, "key", keysym});
  if (sent.status != 0 && xdotool({"getwindowname", id_}).status == 0)
    throw std::runtime_error("`xdotool key " + keysym + "` into window " + id_ + " failed with status " +
                             std::to_string(sent.status) + ": " + shown(sent.err));
}

void Window::keysThenMouse(const std::vector<std::string>& keysyms, int x, int y) const {
  // One xdotool command line, with no pause between the keys.
  std::vector<std::string> args{"windowfocus", "--sync", id_, "key", "--delay", "0"};
  args.insert(args.end(), keysyms.begin(), keysyms.end());
  args.insert(args.end(), {"mousemove", "--window", id_, std::to_string(x), std::to_string(y)});
  xdotoolOrThrow(args);
}

void Window::mouseMove(int x, int y) const {
  xdotoolOrThrow({"mousemove", "--window", id_, std::to_string(x), std::to_string(y)});
}

void Window::resize(int width, int height) const {
  xdotoolOrThrow({"windowsize", "--sync", id_, std::to_string(width), std::to_string(height)});
}

namespace {
Image grab(const std::string& window) {
  TempDir scratch;
  const std::string path = scratch.path() + "/window.ppm";
  const CommandResult shot = runCommand({"import", "-silent", "-window", window, "-depth", "8", "ppm:" + path});
  if (shot.status != 0)
    throw std::runtime_error("`import -window " + window + "` failed with status " + std::to_string(shot.status) +
                             ": " + shown(shot.err));
  return Image::readPpm(path);
}
}  // namespace

Image Window::screenshot() const { return grab(id_); }

Image screenshotScreen() { return grab("root"); }

Geometry screenSize() {
  // Prints "WIDTH HEIGHT".
  std::istringstream size(xdotoolOrThrow({"getdisplaygeometry"}).out);
  Geometry g{0, 0, -1, -1};
  size >> g.width >> g.height;
  return g;
}

namespace {
Image pollFor(const std::string& what, const std::function<Image()>& take,
              const std::function<bool(const Image&)>& wanted, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    Image shot = take();
    if (wanted(shot)) return shot;
    if (Clock::now() >= deadline)
      throw std::runtime_error("the picture did not show " + what + " within " + std::to_string(timeout.count()) +
                               " ms");
    std::this_thread::sleep_for(kPoll);
  }
}
}  // namespace

Image Window::waitFor(const std::string& what, const std::function<bool(const Image&)>& wanted, Millis timeout) const {
  return pollFor(
      what, [this] { return screenshot(); }, wanted, timeout);
}

Image waitForScreen(const std::string& what, const std::function<bool(const Image&)>& wanted, Millis timeout) {
  return pollFor(what, screenshotScreen, wanted, timeout);
}

Point overlayToWindow(double x, double y, int width, int height) {
  // tan(22.5 degrees): the half height of the plane's visible part.
  const double halfHeight = std::tan(22.5 * std::acos(-1.0) / 180.0);
  const double halfWidth = halfHeight * width / height;
  return {(1.0 + x / halfWidth) / 2.0 * width, (1.0 - y / halfHeight) / 2.0 * height};
}

}  // namespace e2e
